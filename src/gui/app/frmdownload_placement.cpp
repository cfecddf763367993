// Where the window opens and how it stays on its screen, kept between runs.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "core/app/windowplacement.h"
#include "gui/app/frmdownload.h"
#include "gui/app/modeswitch.h"
#include "gui/ui/twips.h"

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

void frmDownload::fitToScreen()
{
    // A window is never larger than the room its screen offers, nor placed beyond it.
    const QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen || isMaximized() || isFullScreen())
        return;
    const QRect room = screen->availableGeometry();
    const QRect outer = frameGeometry(); // the client area alone until the window is framed
    const QMargins frame(geometry().left() - outer.left(), geometry().top() - outer.top(),
                         outer.right() - geometry().right(), outer.bottom() - geometry().bottom());
    const QSize roomInside = room.size().shrunkBy(frame);
    setMinimumSize(minimumSize().boundedTo(roomInside));
    const QSize inside = size().boundedTo(roomInside);
    if (inside != size())
        resize(inside);
    const QSize outside = inside.grownBy(frame);
    const QPoint corner(std::clamp(pos().x(), room.left(), room.right() + 1 - outside.width()),
                        std::clamp(pos().y(), room.top(), room.bottom() + 1 - outside.height()));
    if (corner != pos())
        move(corner);
}

void frmDownload::showAsLoaded()
{
    if (m_startMaximized)
        showMaximized();
    else
        show();
    m_modes->showHeldTips();
    // Once framed, the frame too must fit on the screen; a window manager frames the window
    // a moment after it is shown, and without one there is no frame to wait for.
    m_fitFramePending = true;
    QTimer::singleShot(2000, this, [this] { m_fitFramePending = false; });
}

void frmDownload::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_fitFramePending && frameGeometry() != geometry()) {
        m_fitFramePending = false;
        fitToScreen();
    }
}
