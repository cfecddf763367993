// Applies the window's layout rules (in twips) to its widgets.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QResizeEvent>
#include <QTabWidget>
#include <QToolButton>

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
    // Qt's frames and tab bars are not the original's; keep the contents inside their page.
    if (bound.isValid()) {
        rect.setWidth(std::max(0, std::min(rect.width(), bound.width() - rect.left())));
        rect.setHeight(std::max(0, std::min(rect.height(), bound.height() - rect.top())));
    }
    widget->setGeometry(rect);
}

} // namespace

void frmDownload::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    applyWindowLayout();
}

void frmDownload::applyWindowLayout()
{
    QWidget *central = centralWidget();
    if (!central || !SSTab1)
        return;
    const qreal dpi = Twips::dpiOf(this);
    const int outerWidth = Twips::fromPixels(central->width(), dpi);
    const int outerHeight = Twips::fromPixels(central->height(), dpi) + ExtraOuterHeight;
    Layout::resizeWindow(m_layout, outerWidth, outerHeight, SSTab1->currentIndex());

    place(fraSettings, m_layout.fraSettings, dpi, 0, ToolBarBand);
    place(lblURL, m_layout.lblURL, dpi);
    place(cmbBaseURL, m_layout.cmbBaseURL, dpi);
    place(lblMask, m_layout.lblMask, dpi);
    place(txtMask, m_layout.txtMask, dpi);
    place(lblDownloadTo, m_layout.lblDownloadTo, dpi);
    place(txtDownloadTo, m_layout.txtDownloadTo, dpi);
    place(cmdBrowse, m_layout.cmdBrowse, dpi);
    place(ProgressBar1, m_layout.ProgressBar1, dpi, 0, ToolBarBand);
    place(SSTab1, m_layout.SSTab1, dpi, 0, ToolBarBand, central->size());
    applyTabLayout();
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
