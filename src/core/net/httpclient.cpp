#include "core/net/httpclient.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "core/net/cookies.h"
#include "core/net/hostmapping.h"

namespace {

constexpr int MaxRedirects = 10;
// With a sink, an error page is kept only for its message, never a whole large body.
constexpr qsizetype MaxErrorBodyWithSink = 64 * 1024;
const QByteArray UserAgent = "Mozilla/5.0 (compatible; TrawlBay/1.0)";

bool isHttps(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool isHttpScheme(const QUrl &url)
{
    return isHttps(url) || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
}

quint16 defaultPort(const QUrl &url)
{
    return isHttps(url) ? 443 : 80;
}

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isRedirect(const QNetworkReply *reply)
{
    switch (statusOf(reply)) {
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
        return !reply->rawHeader("Location").trimmed().isEmpty();
    default:
        return false;
    }
}

void restartTimer(QTimer &timer, int milliseconds)
{
    if (milliseconds > 0)
        timer.start(milliseconds);
}

QString secondsText(int milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'g', 4);
}

} // namespace

HttpClient::HttpClient(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_inactivity.setSingleShot(true);
    connect(&m_inactivity, &QTimer::timeout, this, &HttpClient::onTimeout);
}

HttpClient::~HttpClient()
{
    // A client being destroyed sends no more signals.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void HttpClient::get(const QUrl &url, QIODevice *sink)
{
    abort();
    m_url = url;
    m_currentUrl = url;
    m_sink = sink;
    m_body.clear();
    m_outcome = Outcome::None;
    m_errorString.clear();
    m_httpStatus = 0;
    m_announcedSize = -1;
    m_received = 0;
    m_redirects = 0;
    setState(StartingRequest);
    // Only web addresses: a page or a queue file must not make us read local files.
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty()) {
        finish(Outcome::NetworkError,
               tr("not an http or https address: %1").arg(url.toDisplayString()));
        return;
    }
    start(url);
}

void HttpClient::abort()
{
    if (!m_reply && m_state == Idle)
        return;
    finish(Outcome::Aborted, tr("Aborted"));
}

void HttpClient::setInactivityTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds;
    if (!m_reply)
        return;
    if (milliseconds > 0)
        m_inactivity.start(milliseconds);
    else
        m_inactivity.stop();
}

void HttpClient::start(const QUrl &url)
{
    if (m_reply) {
        // Only reachable when a slot started a request from inside get(); the older one goes.
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }

    QNetworkRequest request;
    QUrl target = url;
    const quint16 port = quint16(url.port(defaultPort(url)));
    const HostMapping::Target mapped = HostMapping::global().resolve(url.host(), port);
    if (mapped.port != port || mapped.host.compare(url.host(), Qt::CaseInsensitive) != 0) {
        // The connection goes elsewhere; the server still learns which site is meant.
        target.setHost(mapped.host);
        target.setPort(mapped.port);
        QByteArray host = QUrl::toAce(url.host());
        if (url.port() != -1 && url.port() != defaultPort(url))
            host += ':' + QByteArray::number(url.port());
        request.setRawHeader("Host", host);
        request.setPeerVerifyName(url.host());
    }
    request.setUrl(target);
    // Cookies and redirects belong to the real URL, not the mapped one, so the network
    // manager handles neither.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent);
    request.setRawHeader("Accept", "*/*");
    const QByteArray cookies = CookieJar::global().cookieHeaderFor(url);
    if (!cookies.isEmpty())
        request.setRawHeader("Cookie", cookies);

    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;
    // A file streams into its sink: the network may run ahead of the disk by this much and
    // no more, so memory stays flat whatever the size of the file.
    if (m_sink)
        reply->setReadBufferSize(StreamBufferBytes);
    // Each handler ignores a reply that is no longer the current one.
    connect(reply, &QNetworkReply::socketStartedConnecting, this, [this, reply] {
        if (reply == m_reply)
            restartTimer(m_inactivity, m_timeoutMs);
    });
    connect(reply, &QNetworkReply::requestSent, this, [this, reply] {
        if (reply != m_reply)
            return;
        restartTimer(m_inactivity, m_timeoutMs);
        if (m_state < RequestSent)
            setState(RequestSent);
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (reply == m_reply)
            onMetaData();
    });
    connect(reply, &QIODevice::readyRead, this, [this, reply] {
        if (reply == m_reply)
            onReadyRead();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply == m_reply)
            onFinished();
    });
    restartTimer(m_inactivity, m_timeoutMs);
    // The network manager reports no finer steps before the request is written.
    setState(Connecting);
}

void HttpClient::onMetaData()
{
    QNetworkReply *reply = m_reply;
    restartTimer(m_inactivity, m_timeoutMs);
    if (m_state < RequestSent) {
        setState(RequestSent);
        if (reply != m_reply)
            return;
    }
    m_httpStatus = statusOf(reply);

    QList<QByteArray> setCookies;
    for (const QNetworkReply::RawHeaderPair &pair : reply->rawHeaderPairs()) {
        if (pair.first.compare("Set-Cookie", Qt::CaseInsensitive) == 0)
            setCookies.append(pair.second);
    }
    if (!setCookies.isEmpty())
        CookieJar::global().storeFromResponse(setCookies, m_currentUrl);

    // The length counts the bytes on the wire; when the body is decoded or chunked the
    // received count cannot be compared with it.
    m_announcedSize = -1;
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (!reply->hasRawHeader("Transfer-Encoding") &&
        (encoding.isEmpty() || encoding == "identity")) {
        bool ok = false;
        const qint64 length = reply->rawHeader("Content-Length").trimmed().toLongLong(&ok);
        if (ok && length >= 0)
            m_announcedSize = length;
    }
    setState(ReceivedResponse);
}

void HttpClient::onReadyRead()
{
    QNetworkReply *reply = m_reply;
    restartTimer(m_inactivity, m_timeoutMs);
    const QByteArray data = reply->readAll();
    if (data.isEmpty() || isRedirect(reply))
        return; // a redirect's own body is never part of the result

    const bool success = m_httpStatus >= 200 && m_httpStatus < 300;
    if (m_sink && success) {
        if (m_sink->write(data) != data.size()) {
            finish(Outcome::NetworkError, tr("write failed"));
            return;
        }
    } else if (!m_sink) {
        m_body += data;
    } else if (m_body.size() < MaxErrorBodyWithSink) {
        m_body += data.left(MaxErrorBodyWithSink - m_body.size());
    }
    m_received += data.size();
    Q_EMIT progress(m_received, m_announcedSize > 0 ? m_announcedSize : 0);
}

void HttpClient::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (reply->bytesAvailable() > 0) {
        onReadyRead();
        if (reply != m_reply)
            return;
    }
    if (const int status = statusOf(reply))
        m_httpStatus = status;
    const QNetworkReply::NetworkError error = reply->error();

    if (error == QNetworkReply::NoError && isRedirect(reply)) {
        const QUrl location =
            m_currentUrl.resolved(QUrl::fromEncoded(reply->rawHeader("Location").trimmed()));
        if (!location.isValid() || !isHttpScheme(location) || location.host().isEmpty()) {
            finish(Outcome::NetworkError,
                   tr("Redirect to an unsupported address: %1").arg(location.toString()));
            return;
        }
        if (isHttps(m_currentUrl) && !isHttps(location)) {
            finish(Outcome::NetworkError, tr("Redirect from HTTPS to HTTP refused"));
            return;
        }
        if (m_redirects >= MaxRedirects) {
            finish(Outcome::NetworkError, tr("Too many redirects"));
            return;
        }
        ++m_redirects;
        m_currentUrl = location;
        m_body.clear();
        m_received = 0;
        m_announcedSize = -1;
        m_httpStatus = 0;
        reply->disconnect(this);
        reply->deleteLater();
        m_reply = nullptr;
        start(location);
        return;
    }

    if (m_httpStatus >= 300) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        finish(Outcome::HttpError, tr("HTTP %1 %2").arg(m_httpStatus).arg(reason).trimmed());
    } else if (error != QNetworkReply::NoError) {
        finish(Outcome::NetworkError, reply->errorString());
    } else if (m_httpStatus < 200) {
        finish(Outcome::NetworkError, tr("No valid HTTP response"));
    } else if (m_announcedSize >= 0 && m_received != m_announcedSize) {
        finish(Outcome::NetworkError,
               tr("Incomplete body: %1 of %2 bytes").arg(m_received).arg(m_announcedSize));
    } else {
        setState(ResponseCompleted);
        if (reply == m_reply)
            finish(Outcome::Success, QString());
    }
}

void HttpClient::onTimeout()
{
    if (!m_reply)
        return;
    finish(Outcome::Timeout, tr("No data for %1 s").arg(secondsText(m_timeoutMs)));
}

void HttpClient::finish(Outcome outcome, const QString &error)
{
    m_outcome = outcome;
    m_errorString = error;
    m_inactivity.stop();
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        if (reply->isRunning())
            reply->abort();
        reply->deleteLater();
    }
    // The caller owns the sink; it is not touched after the request.
    m_sink = nullptr;
    // Last, so a slot may start the next request right away.
    setState(Idle);
}

void HttpClient::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}
