// The result list's commands and the totals in the status bar.
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "core/download/filename.h"
#include "core/filelist/columnset.h"
#include "gui/app/frmdownload.h"
#include "gui/app/modeswitch.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/elidedlabel.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/twips.h"

void frmDownload::watchListChanges()
{
    // Rows, ticks, sizes and the selection change in bursts (a search, a download, a
    // select-all over many rows): the totals, and the standing sort when cells of its column
    // changed, follow once per burst.
    m_listSettle.setSingleShot(true);
    connect(&m_listSettle, &QTimer::timeout, this, &frmDownload::onListSettled);
    const auto changed = [this] {
        if (!m_listSettle.isActive())
            m_listSettle.start(100);
    };
    connect(&m_files, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&m_files, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&m_files, &QAbstractItemModel::modelReset, this, changed);
    connect(&m_files, &FileListModel::selectionFlagsChanged, this, changed);
    connect(lvFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this, changed);
    connect(&m_files, &QAbstractItemModel::dataChanged, this,
            [this, changed](const QModelIndex &topLeft, const QModelIndex &bottomRight,
                            const QList<int> &roles) {
                const FileListModel::SortState sort = m_files.sortState();
                const bool cells = roles.isEmpty() || roles.contains(Qt::DisplayRole);
                if (cells && sort.sorted && sort.key >= topLeft.column() &&
                    sort.key <= bottomRight.column())
                    m_resortPending = true;
                changed();
            });
}

void frmDownload::onListSettled()
{
    if (m_resortPending) {
        // Sizes keep arriving through a long search; re-sorting a large list after every
        // burst would take the window's whole time, so sorts keep a pause of five times
        // their own length between them.
        const qint64 wait = m_resortPause - (m_lastResort.isValid() ? m_lastResort.elapsed() : 0);
        if (m_lastResort.isValid() && wait > 0) {
            m_listSettle.start(int(std::min<qint64>(wait, 5000)));
        } else {
            m_resortPending = false;
            QElapsedTimer took;
            took.start();
            m_files.resort();
            m_resortPause = 5 * took.elapsed();
            m_lastResort.start();
        }
    }
    UpdateTotals();
}

void frmDownload::UpdateTotals()
{
    const Mode mode = m_modes->mode();
    const Totals totals = m_files.totals(sizeColumn(mode));
    const TotalsTexts texts = formatTotals(totals);
    const TotalsTexts shortTexts = formatShortTotals(totals);
    panelChecked->setFullText(texts.checked);
    panelChecked->setShortText(shortTexts.checked);
    panelSelected->setFullText(texts.selected);
    panelSelected->setShortText(shortTexts.selected);
    panelTotal->setFullText(texts.total);
    panelTotal->setShortText(shortTexts.total);
    fitStatusPanels();
}

void frmDownload::fitStatusPanels()
{
    // The message and the totals, whole, where the bar has the room; else the totals in their
    // short form, and the message the rest. Only where that would leave the message less than
    // 750 twips do the totals share what is left: a short text keeps its room, the longer
    // ones split the rest evenly and are cut. The whole texts stay in the tooltips.
    const qreal dpi = Twips::dpiOf(this);
    QStatusBar *bar = statusBar();
    // QStatusBar keeps 6 px between its panels and a few at its ends.
    const int grip =
        bar->isSizeGripEnabled() ? bar->style()->pixelMetric(QStyle::PM_SizeGripSize) : 0;
    int room = bar->contentsRect().width() - grip - 6 * 5;
    if (cmdFailedPages->isVisibleTo(this))
        room -= cmdFailedPages->sizeHint().width() + 6;
    const QList<ElidedLabel *> panels{panelChecked, panelSelected, panelTotal};
    const int minimum = Twips::toPixels(1000, dpi);
    int whole = panelMessage->widthFor(panelMessage->fullText());
    for (const ElidedLabel *panel : panels)
        whole += std::max(minimum, panel->widthFor(panel->fullText()));
    const bool roomForAll = whole <= room;
    int left = room - Twips::toPixels(750, dpi);
    QList<std::pair<int, ElidedLabel *>> needs;
    for (ElidedLabel *panel : panels) {
        needs.append({roomForAll ? std::max(minimum, panel->widthFor(panel->fullText()))
                                 : panel->widthFor(panel->shortText()),
                      panel});
    }
    std::ranges::sort(needs, {}, &std::pair<int, ElidedLabel *>::first);
    for (qsizetype i = 0; i < needs.size(); ++i) {
        const int width = std::clamp(left / int(needs.size() - i), 0, needs[i].first);
        needs[i].second->setFixedWidth(width);
        left -= width;
    }
}

void frmDownload::CheckItems(bool AllItems, bool CheckState)
{
    m_files.CheckItems(AllItems, CheckState);
    UpdateTotals();
}

void frmDownload::InverseSelection()
{
    m_files.inverseSelection();
    UpdateTotals();
}

void frmDownload::RemoveSelected()
{
    m_files.removeSelected();
    // The row that holds the focus after the removal becomes the selection.
    const int current = lvFiles->currentRow();
    if (m_files.rowCount() > 0 && current >= 0) {
        m_files.setSelected(current, current, true);
        lvFiles->syncSelectionFromModel();
    }
    UpdateTotals();
}

void frmDownload::BrowseFile()
{
    const int row = lvFiles->currentRow();
    if (row < 0)
        return;
    const Mode mode = m_modes->mode();
    browserPage->Navigate(QUrl(m_files.cell(row, fileUrlColumn(mode))));
    SSTab1->setCurrentIndex(2);
}

void frmDownload::CopyFileUrl()
{
    const int column = fileUrlColumn(m_modes->mode());
    QStringList urls;
    for (int row = 0; row < m_files.rowCount(); ++row) {
        if (m_files.isSelected(row))
            urls.append(m_files.cell(row, column));
    }
    const int current = lvFiles->currentRow();
    if (urls.isEmpty() && current >= 0)
        urls.append(m_files.cell(current, column));
    if (!urls.isEmpty())
        QGuiApplication::clipboard()->setText(urls.join(QLatin1Char('\n')));
}

QString frmDownload::downloadedFile(int row) const
{
    const QString folder = txtDownloadTo->text();
    if (row < 0 || row >= m_files.rowCount() || folder.isEmpty())
        return QString();
    const Mode mode = m_modes->mode();
    const QString name = downloadName(m_files.cell(row, fileNameColumn(mode)),
                                      m_files.cell(row, fileUrlColumn(mode)));
    const QFileInfo file(QDir(folder).filePath(name));
    return file.isFile() ? file.absoluteFilePath() : QString();
}

void frmDownload::OpenContainingFolder()
{
    const QString file = downloadedFile(lvFiles->currentRow());
    if (file.isEmpty())
        return;
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        m_prompts->showError(
            this,
            QStringLiteral("Could not open the folder %1.").arg(QDir::toNativeSeparators(folder)));
}
