#pragma once

#include <QStringList>
#include <QUrl>
#include <QWidget>

class QWebEngineView;

// The "Browser" tab. Its web view `WebBrowser1` is created the first time the tab is shown
// or asked to navigate, so that starting the program (and every test that never browses)
// does not start a browser engine. The view goes where the transfers go (the host mapping)
// and sends the cookies they send.
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

    // The transfers' HOST:PORT:TARGET_HOST:TARGET_PORT rules as Chromium's host resolver
    // rules ("MAP HOST:PORT TARGET_HOST:TARGET_PORT", comma-separated).
    static QString hostResolverRules(const QStringList &connectTo);

    // Places the view (pixels, relative to this page).
    void setViewGeometry(const QRect &rect);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWebEngineView *WebBrowser1 = nullptr;
    QUrl m_pendingUrl{QStringLiteral("about:blank")};
    QRect m_viewRect;
};
