#include "gui/ui/browserpage.h"

#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "core/net/curlmulti.h"
#include "core/net/hostmapping.h"

namespace {

const char ChromiumFlags[] = "QTWEBENGINE_CHROMIUM_FLAGS";

// Chromium reads its flags once, when the first web view starts the engine: the host
// mapping of the transfers goes in as host resolver rules before that.
void passHostMapping()
{
    const QString rules = BrowserPage::hostResolverRules(HostMapping::global().rules());
    if (rules.isEmpty())
        return;
    QByteArray flags = qgetenv(ChromiumFlags);
    if (!flags.isEmpty())
        flags += ' ';
    flags += "--host-resolver-rules=\"" + rules.toUtf8() + '"';
    qputenv(ChromiumFlags, flags);
}

// The user's sign-in reaches the pages as it reaches the transfers.
void passCookies(QWebEngineCookieStore *store)
{
    for (QNetworkCookie cookie : CurlMulti::instance().cookies()) {
        const QString domain = cookie.domain();
        const bool forSubdomains = domain.startsWith(u'.');
        QUrl origin;
        origin.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
        origin.setHost(forSubdomains ? domain.mid(1) : domain);
        if (!forSubdomains)
            cookie.setDomain(QString()); // a cookie without a domain is its origin's alone
        store->setCookie(cookie, origin);
    }
}

} // namespace

BrowserPage::BrowserPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BrowserPage"));
}

QString BrowserPage::hostResolverRules(const QStringList &connectTo)
{
    QStringList rules;
    for (const QString &rule : connectTo) {
        // HOST:PORT:TARGET_HOST:TARGET_PORT; an IPv6 target keeps its colons in brackets.
        const qsizetype first = rule.indexOf(u':');
        const qsizetype second = rule.indexOf(u':', first + 1);
        const qsizetype last = rule.lastIndexOf(u':');
        if (first < 0 || second < 0 || last <= second)
            continue;
        const QString host = rule.left(first);
        const QString port = rule.mid(first + 1, second - first - 1);
        const QString targetHost = rule.mid(second + 1, last - second - 1);
        const QString targetPort = rule.mid(last + 1);
        QString pattern = host.isEmpty() ? QStringLiteral("*") : host;
        if (!port.isEmpty())
            pattern += u':' + port;
        QString target = targetHost.isEmpty() ? host : targetHost;
        if (target.isEmpty())
            continue; // "any host to itself" maps nothing
        if (!targetPort.isEmpty())
            target += u':' + targetPort;
        rules.append(QStringLiteral("MAP %1 %2").arg(pattern, target));
    }
    return rules.join(u',');
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
        passHostMapping();
        WebBrowser1 = new QWebEngineView(this);
        WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
        passCookies(WebBrowser1->page()->profile()->cookieStore());
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
