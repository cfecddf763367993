#include "gui/ui/browserpage.h"

#include <QWebEngineView>

BrowserPage::BrowserPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BrowserPage"));
}

void BrowserPage::Navigate(const QUrl &url)
{
    m_pendingUrl = url;
    if (WebBrowser1)
        WebBrowser1->setUrl(url);
}

QWebEngineView *BrowserPage::ensureView()
{
    if (!WebBrowser1) {
        WebBrowser1 = new QWebEngineView(this);
        WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
        if (m_viewRect.isValid())
            WebBrowser1->setGeometry(m_viewRect);
        WebBrowser1->setUrl(m_pendingUrl);
        WebBrowser1->show();
    }
    return WebBrowser1;
}

void BrowserPage::setViewGeometry(const QRect &rect)
{
    m_viewRect = rect;
    if (WebBrowser1)
        WebBrowser1->setGeometry(rect);
}

void BrowserPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ensureView();
}
