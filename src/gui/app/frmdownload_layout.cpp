// Applies the window's layout rules (in twips) to its widgets.
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

#include "gui/app/frmdownload.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/slotrows.h"
#include "gui/ui/twips.h"

namespace {

// The rules were drawn for a window whose toolbar band (360 twips) sits inside its client
// area and whose title, menu and borders take 690 twips of its height. Our toolbar and
// menu sit outside the central area, so the central area is fed to the rules as the outer
// size such a window would need for the same room: the tab area then ends 20 twips above
// the status bar, as it does there.
constexpr int ToolBarBand = 360;
constexpr int ExtraOuterHeight = 1365;

void place(QWidget *widget, const Layout::Rect &r, qreal dpi, int offsetLeft = 0, int offsetTop = 0,
           QSize bound = {})
{
    QRect rect(Twips::toPixels(r.left - offsetLeft, dpi), Twips::toPixels(r.top - offsetTop, dpi),
               Twips::toPixels(r.width, dpi), Twips::toPixels(r.height, dpi));
    // Qt's frames and tab bars take more room than the rules allow for; keep the contents
    // inside their page.
    if (bound.isValid()) {
        rect.setWidth(std::max(0, std::min(rect.width(), bound.width() - rect.left())));
        rect.setHeight(std::max(0, std::min(rect.height(), bound.height() - rect.top())));
    }
    widget->setGeometry(rect);
}

// The width the field labels need for the widest text they show in any mode, in pixels.
int labelColumnWidth(const QList<QLabel *> &labels, const QStringList &texts)
{
    int widest = 0;
    for (const QLabel *label : labels) {
        const int margins =
            label->sizeHint().width() - label->fontMetrics().horizontalAdvance(label->text());
        widest = std::max(widest, label->sizeHint().width());
        for (const QString &text : texts)
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(text) + margins);
    }
    return widest;
}

} // namespace

void frmDownload::applyWindowLayout()
{
    QWidget *central = centralWidget();
    if (!central || !SSTab1)
        return;
    const qreal dpi = Twips::dpiOf(this);
    const int outerWidth = Twips::fromPixels(central->width(), dpi);
    const int outerHeight = Twips::fromPixels(central->height(), dpi) + ExtraOuterHeight;
    Layout::resizeWindow(m_layout, outerWidth, outerHeight, SSTab1->currentIndex());

    // The labels take the room their texts need in the desktop's font (both modes' texts);
    // the fields beside them start that much further right.
    const int labelNeed = Twips::fromPixels(
        labelColumnWidth({lblURL, lblMask, lblDownloadTo},
                         {QStringLiteral("Yahoo Group:"), QStringLiteral("Message Range:"),
                          QStringLiteral("Album URL:"), QStringLiteral("Album Password:")}),
        dpi);
    const int extra = std::max(0, labelNeed - m_layout.lblURL.width);
    const auto label = [extra](Layout::Rect r) {
        r.width += extra;
        return r;
    };
    const auto field = [extra](Layout::Rect r) {
        r.left += extra;
        r.width = std::max(0, r.width - extra);
        return r;
    };

    place(fraSettings, m_layout.fraSettings, dpi, 0, ToolBarBand);
    place(lblURL, label(m_layout.lblURL), dpi);
    place(cmbBaseURL, field(m_layout.cmbBaseURL), dpi);
    place(lblMask, label(m_layout.lblMask), dpi);
    place(txtMask, field(m_layout.txtMask), dpi);
    place(lblDownloadTo, label(m_layout.lblDownloadTo), dpi);
    place(txtDownloadTo, field(m_layout.txtDownloadTo), dpi);
    place(cmdBrowse, m_layout.cmdBrowse, dpi);
    place(ProgressBar1, m_layout.ProgressBar1, dpi, 0, ToolBarBand);
    place(SSTab1, m_layout.SSTab1, dpi, 0, ToolBarBand, central->size());
    applyTabLayout();
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
    if (watched == statusBar() && event->type() == QEvent::Resize)
        fitStatusPanels();
    return QMainWindow::eventFilter(watched, event);
}

void frmDownload::ArrangeTab()
{
    if (!SSTab1)
        return;
    Layout::ArrangeTab(m_layout, SSTab1->currentIndex());
    applyTabLayout();
}

void frmDownload::applyTabLayout()
{
    const qreal dpi = Twips::dpiOf(this);
    QWidget *page = SSTab1->currentWidget();
    if (!page)
        return;
    // Tab contents are measured from the tab area's corner; the page sits inside its frame.
    const QPoint pageOffset = page->mapTo(SSTab1, QPoint(0, 0));
    const int offsetLeft = Twips::fromPixels(pageOffset.x(), dpi);
    const int offsetTop = Twips::fromPixels(pageOffset.y(), dpi);
    switch (SSTab1->currentIndex()) {
    case Layout::FilesTab:
        place(lvFiles, m_layout.lvFiles, dpi, offsetLeft, offsetTop, page->size());
        break;
    case Layout::ThreadsTab:
        threadsPage->applyLayout(m_layout.slotRows, offsetLeft, offsetTop);
        break;
    case Layout::BrowserTab: {
        const Layout::Rect &r = m_layout.WebBrowser1;
        QRect rect(Twips::toPixels(r.left - offsetLeft, dpi),
                   Twips::toPixels(r.top - offsetTop, dpi), Twips::toPixels(r.width, dpi),
                   Twips::toPixels(r.height, dpi));
        rect = rect.intersected(QRect(QPoint(0, 0), page->size()));
        browserPage->setViewGeometry(rect);
        break;
    }
    default:
        break;
    }
}
