// The mode switch, the base-URL history, the column widths and the window placement.
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include "core/app/history.h"
#include "core/app/programvalues.h"
#include "core/app/windowplacement.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/prompts.h"
#include "gui/ui/twips.h"

namespace {

struct ModeTexts
{
    QString urlLabel;
    QString maskLabel;
    QString urlToolTip;
    QString maskToolTip;
};

ModeTexts textsFor(Mode mode)
{
    if (mode == Mode::Yahoo)
        return {QStringLiteral("Yahoo Group:"), QStringLiteral("Message Range:"),
                QStringLiteral("Enter URL for Yahoo Group, e.g "
                               "http://groups.yahoo.com/group/photo-circle/"),
                QStringLiteral("Enter message numbers or message ranges separated by commas. "
                               "For example, 634,635,650-680")};
    return {QStringLiteral("Album URL:"), QStringLiteral("Album Password:"),
            QStringLiteral("Enter URL for Zing Album, e.g "
                           "http://www.zing.com/album/?id=4294967295&code=50917&mode=invite"),
            QStringLiteral("Enter album password provided by the owner.")};
}

} // namespace

bool frmDownload::selectMode(const QString &mode)
{
    const int index = cmbServer->findText(mode, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    cmbServer->setCurrentIndex(index);
    onModeSwitch();
    return true;
}

void frmDownload::onModeSwitch()
{
    if (!m_state.CurrentServer.isEmpty())
        SaveColumnWidths(m_state.CurrentServer);
    const QString m = cmbServer->currentText();
    const Mode mode = modeFromText(m);

    const ModeTexts texts = textsFor(mode);
    lblURL->setText(texts.urlLabel);
    lblMask->setText(texts.maskLabel);
    cmbBaseURL->setToolTip(texts.urlToolTip);
    txtMask->setToolTip(texts.maskToolTip);

    // The rows stay; only the columns change.
    applyColumnSet(mode);

    if (mode == Mode::Yahoo) {
        if (numberFromText(m_store.RegGetSetting(SettingKeys::NoTips), 0) == 0)
            m_prompts->showTips(this, m_store);
    }

    LoadMRU(m);
    LoadColumnWidths(m);
    m_state.CurrentServer = m;
}

void frmDownload::applyColumnSet(Mode mode)
{
    m_session.setMode(mode);
    const qreal dpi = Twips::dpiOf(this);
    const QList<ColumnDef> &columns = m_files.columns();
    for (int i = 0; i < columns.size(); ++i) {
        const bool hidden = columns[i].key == ColumnKeys::HiddenSize;
        lvFiles->setColumnHidden(i, hidden);
        if (hidden)
            continue;
        // The starting widths show a five-digit message number and a ten-digit size in full.
        QString sample;
        if (columns[i].key == ColumnKeys::MsgNo)
            sample = QStringLiteral("00000");
        else if (columns[i].key == ColumnKeys::Size)
            sample = QStringLiteral("0000000000");
        lvFiles->setColumnWidth(i, std::max(Twips::toPixels(columns[i].widthTwips, dpi),
                                            lvFiles->fittingWidth(i, sample)));
    }
}

void frmDownload::LoadMRU(const QString &mode)
{
    cmbBaseURL->clear();
    cmbBaseURL->addItems(History::loadMRU(m_store, mode));
    // Filling the list must not put an entry into the box.
    cmbBaseURL->setCurrentIndex(-1);
    cmbBaseURL->clearEditText();
}

void frmDownload::SaveMRU(const QString &mode)
{
    QStringList entries;
    for (int i = 0; i < cmbBaseURL->count(); ++i)
        entries.append(cmbBaseURL->itemText(i));
    History::saveMRU(m_store, mode, entries);
}

void frmDownload::updateHistory()
{
    const QString text = cmbBaseURL->currentText();
    QStringList entries;
    for (int i = 0; i < cmbBaseURL->count(); ++i)
        entries.append(cmbBaseURL->itemText(i));
    if (!History::update(entries, text))
        return;
    const QSignalBlocker blocker(cmbBaseURL);
    cmbBaseURL->clear();
    cmbBaseURL->addItems(entries);
    cmbBaseURL->setCurrentIndex(-1);
    cmbBaseURL->setEditText(text);
    SaveMRU(cmbServer->currentText());
}

bool frmDownload::eventFilter(QObject *watched, QEvent *event)
{
    // The central area gets its size only after the window's own resize (also when a stored
    // size is restored before the first show): lay out what it really holds.
    if (watched == centralWidget() && event->type() == QEvent::Resize && !isMinimized())
        applyWindowLayout();
    // Likewise a tab's page gets its size after the tab area's: its contents follow it.
    if (SSTab1 && watched == SSTab1->currentWidget() && event->type() == QEvent::Resize)
        applyTabLayout();
    if (cmbBaseURL && watched == cmbBaseURL->lineEdit() && event->type() == QEvent::FocusOut) {
        // Opening the box's own drop-down list is not leaving the box.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            updateHistory();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmDownload::SaveColumnWidths(const QString &mode)
{
    const qreal dpi = Twips::dpiOf(this);
    History::ColumnWidths widths;
    const QList<ColumnDef> &columns = m_files.columns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].key != ColumnKeys::HiddenSize)
            widths.append({columns[i].key, Twips::fromPixels(lvFiles->columnWidth(i), dpi)});
    }
    History::saveColumnWidths(m_store, mode, widths);
}

void frmDownload::LoadColumnWidths(const QString &mode)
{
    const qreal dpi = Twips::dpiOf(this);
    const QList<ColumnDef> &columns = m_files.columns();
    QStringList keys;
    for (const ColumnDef &column : columns)
        keys.append(column.key);
    const QList<int> widths = History::loadColumnWidths(m_store, mode, keys);
    for (int i = 0; i < columns.size(); ++i) {
        if (widths[i] >= 0 && columns[i].key != ColumnKeys::HiddenSize)
            lvFiles->setColumnWidth(i, Twips::toPixels(widths[i], dpi));
    }
}

void frmDownload::LoadFormPosition()
{
    const WindowPlacement placement = loadWindowPlacement(m_store);
    const qreal dpi = Twips::dpiOf(this);
    QRect bounds(Twips::toPixels(placement.left, dpi), Twips::toPixels(placement.top, dpi),
                 Twips::toPixels(placement.width, dpi), Twips::toPixels(placement.height, dpi));
    bounds.setSize(bounds.size().expandedTo(minimumSize()));

    // Bounds stored on a screen that is gone would open the window where nobody sees it.
    bool onScreen = false;
    for (const QScreen *screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(bounds);
    if (!onScreen) {
        if (const QScreen *primary = QGuiApplication::primaryScreen())
            bounds.moveTopLeft(primary->availableGeometry().topLeft());
    }
    move(bounds.topLeft());
    resize(bounds.size());
    fitToScreen();
    m_startMaximized = placement.state == WindowPlacement::Maximized;
}

void frmDownload::SaveFormPosition()
{
    const qreal dpi = Twips::dpiOf(this);
    WindowPlacement placement;
    placement.state = isMinimized()   ? WindowPlacement::Minimized
                      : isMaximized() ? WindowPlacement::Maximized
                                      : WindowPlacement::Normal;
    placement.left = Twips::fromPixels(x(), dpi);
    placement.top = Twips::fromPixels(y(), dpi);
    placement.width = Twips::fromPixels(width(), dpi);
    placement.height = Twips::fromPixels(height(), dpi);
    saveWindowPlacement(m_store, placement);
}
