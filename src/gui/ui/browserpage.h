#pragma once

#include <QUrl>
#include <QWidget>

class QWebEngineView;

// The "Browser" tab. Its web view `WebBrowser1` is created the first time the tab is shown
// or asked to navigate, so that starting the program (and every test that never browses)
// does not start a browser engine.
class BrowserPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserPage)

public:
    explicit BrowserPage(QWidget *parent = nullptr);

    // Navigates the web view; before it exists, remembers the address for its creation.
    void Navigate(const QUrl &url);
    // Creates the web view if it does not exist yet.
    QWebEngineView *ensureView();
    QWebEngineView *view() const { return WebBrowser1; }
    QUrl pendingUrl() const { return m_pendingUrl; }

    // Places the view (pixels, relative to this page).
    void setViewGeometry(const QRect &rect);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWebEngineView *WebBrowser1 = nullptr;
    QUrl m_pendingUrl{QStringLiteral("about:blank")};
    QRect m_viewRect;
};
