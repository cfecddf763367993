#include "core/net/httpclient.h"

#include <QIODevice>

#include <curl/curl.h>
#include <sys/socket.h>

#include "core/net/curlmulti.h"
#include "core/net/hostmapping.h"

namespace {

constexpr long MaxRedirects = 10;
// With a sink, an error page is kept only for its message, never a whole large body.
constexpr qsizetype MaxErrorBodyWithSink = 64 * 1024;
constexpr long FileBufferBytes = CURL_MAX_READ_SIZE;
constexpr long PageBufferBytes = 64 * 1024;
constexpr qsizetype MaxHeadersKept = 100;
const char UserAgent[] = "Mozilla/5.0 (compatible; TrawlBay/1.0)";

bool isHttps(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

// A Content-Length is a run of digits that fits in 63 bits, nothing else.
bool validLength(const QByteArray &value)
{
    if (value.isEmpty() || value.size() > 18)
        return false;
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QString secondsText(int milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'g', 4);
}

} // namespace

struct HttpClient::Callbacks
{
    static size_t body(char *data, size_t size, size_t count, void *self)
    {
        auto *client = static_cast<HttpClient *>(self);
        client->m_lastActivity.start();
        const qsizetype bytes = qsizetype(size * count);
        if (!isSuccess(client->m_responseStatus)) {
            // An error page: kept for its message (bounded when a file was asked for).
            if (!client->m_sink)
                client->m_body.append(data, bytes);
            else if (client->m_body.size() < MaxErrorBodyWithSink)
                client->m_body.append(
                    data, std::min(bytes, MaxErrorBodyWithSink - client->m_body.size()));
        } else if (client->m_sink) {
            if (client->m_sink->write(data, bytes) != bytes) {
                client->m_refusal = tr("write failed");
                return 0;
            }
        } else {
            client->m_body.append(data, bytes);
        }
        client->m_received += bytes;
        const quint64 transfer = client->m_transfer;
        Q_EMIT client->progress(client->m_received,
                                client->m_announcedSize > 0 ? client->m_announcedSize : 0);
        return transfer == client->m_transfer ? size * count : 0;
    }

    static size_t header(char *data, size_t size, size_t count, void *self)
    {
        auto *client = static_cast<HttpClient *>(self);
        client->m_lastActivity.start();
        const quint64 transfer = client->m_transfer;
        client->headerLine(QByteArray(data, qsizetype(size * count)));
        if (transfer != client->m_transfer || !client->m_refusal.isEmpty())
            return 0;
        return size * count;
    }

    static int debug(CURL *, curl_infotype type, char *data, size_t size, void *self)
    {
        auto *client = static_cast<HttpClient *>(self);
        if (type == CURLINFO_HEADER_OUT) {
            client->reportState(RequestSent);
        } else if (type == CURLINFO_TEXT) {
            // curl drops what follows the announced end of a body and only says so here;
            // such a body does not end where its framing says, so it is not trusted.
            const QByteArray text = QByteArray::fromRawData(data, qsizetype(size));
            if ((text.startsWith("Excess found") || text.startsWith("Leftovers after chunking")) &&
                isSuccess(client->m_responseStatus) && client->m_refusal.isEmpty())
                client->m_refusal = tr("body longer than its announced length");
        }
        return 0;
    }

    static int resolverStart(void *, void *, void *self)
    {
        return static_cast<HttpClient *>(self)->reportState(ResolvingHost) ? 0 : 1;
    }

    static curl_socket_t openSocket(void *self, curlsocktype, curl_sockaddr *address)
    {
        auto *client = static_cast<HttpClient *>(self);
        if (client->m_state == ResolvingHost && !client->reportState(HostResolved))
            return CURL_SOCKET_BAD;
        if (!client->reportState(Connecting))
            return CURL_SOCKET_BAD;
        return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    }

    // Called with the connection up, before the request goes out.
    static int prereq(void *self, char *, char *, int, int)
    {
        auto *client = static_cast<HttpClient *>(self);
        char *effective = nullptr;
        curl_easy_getinfo(client->m_easy, CURLINFO_EFFECTIVE_URL, &effective);
        const bool secure = effective && qstrnicmp(effective, "https:", 6) == 0;
        if (client->m_secureSeen && !secure) {
            client->m_refusal = tr("Redirect from HTTPS to HTTP refused");
            return CURL_PREREQFUNC_ABORT;
        }
        client->m_secureSeen = client->m_secureSeen || secure;
        return client->reportState(Connected) ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
    }
};

HttpClient::HttpClient(QObject *parent) : QObject(parent)
{
    m_inactivity.setSingleShot(true);
    connect(&m_inactivity, &QTimer::timeout, this, &HttpClient::onInactivity);
}

void HttpClient::setInactivityTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds;
    if (m_state != Idle && milliseconds > 0)
        m_inactivity.start(milliseconds);
    else if (milliseconds <= 0)
        m_inactivity.stop();
}

void HttpClient::onInactivity()
{
    if (m_state == Idle || m_timeoutMs <= 0)
        return;
    const qint64 quiet = m_lastActivity.elapsed();
    if (quiet < m_timeoutMs) {
        m_inactivity.start(int(m_timeoutMs - quiet));
        return;
    }
    CurlMulti::instance().release(m_easy);
    m_easy = nullptr;
    m_inTransit = true;
    finish(Outcome::Timeout, tr("No data for %1 s").arg(secondsText(m_timeoutMs)));
}

HttpClient::~HttpClient()
{
    // A client being destroyed sends no more signals.
    CurlMulti::instance().release(m_easy);
    curl_slist_free_all(m_requestList);
}

void HttpClient::get(const QUrl &url, QIODevice *sink)
{
    abort();
    ++m_transfer;
    m_url = url;
    m_sink = sink;
    m_body.clear();
    m_outcome = Outcome::None;
    m_inTransit = false;
    m_errorString.clear();
    m_refusal.clear();
    m_httpStatus = 0;
    m_responseStatus = 0;
    m_announcedSize = -1;
    m_received = 0;
    m_secureSeen = isHttps(url);
    setState(StartingRequest);
    // Only web addresses: a page or a queue file must not make us read local files.
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty()) {
        finish(Outcome::NetworkError,
               tr("not an http or https address: %1").arg(url.toDisplayString()));
        return;
    }
    if (!m_easy) {
        m_easy = CurlMulti::instance().newHandle();
        configure();
    }
    curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, m_secureSeen ? "https" : "http,https");
    // The fragment is the browser's business; user name and password never leave.
    QUrl target = url.adjusted(QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    curl_easy_setopt(m_easy, CURLOPT_URL, target.toEncoded().constData());
    curl_slist_free_all(std::exchange(m_requestList, nullptr));
    for (const QByteArray &line : std::exchange(m_requestHeaders, {}))
        m_requestList = curl_slist_append(m_requestList, line.constData());
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_requestList);
    curl_easy_setopt(m_easy, CURLOPT_CONNECT_TO,
                     CurlMulti::instance().connectTo(HostMapping::global().rules()));
    // Files come in large reads, so a big file costs few system calls; pages are small.
    curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, sink ? FileBufferBytes : PageBufferBytes);
    m_lastActivity.start();
    if (m_timeoutMs > 0)
        m_inactivity.start(m_timeoutMs);
    const quint64 transfer = m_transfer;
    CurlMulti::instance().start(m_easy, [this, transfer](CURLcode result) {
        if (transfer == m_transfer)
            transferDone(result);
    });
}

void HttpClient::configure()
{
    CURL *easy = m_easy;
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // Files are stored as served: a .tar.gz sent with "Content-Encoding: gzip" stays gzip.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(easy, CURLOPT_TRANSFER_ENCODING, 0L);
    // A length too large for us is an error, not a reason to read until the server closes.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     curl_off_t(std::numeric_limits<qint64>::max() / 2));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_curlError);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Callbacks::body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Callbacks::header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &Callbacks::resolverStart);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Callbacks::openSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Callbacks::prereq);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    // The request going out and curl's notes on a body's framing come only this way.
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &Callbacks::debug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
}

QByteArray HttpClient::responseHeader(const QByteArray &name) const
{
    const QByteArray wanted = name.toLower();
    for (const auto &header : m_headers) {
        if (header.first == wanted)
            return header.second;
    }
    return {};
}

void HttpClient::abort()
{
    if (m_state == Idle)
        return;
    // The handle may be inside one of its own callbacks: it goes, and a new one serves the
    // next request.
    CurlMulti::instance().release(m_easy);
    m_easy = nullptr;
    finish(Outcome::Aborted, tr("Aborted"));
}

void HttpClient::headerLine(const QByteArray &raw)
{
    const QByteArray line = raw.trimmed();
    if (raw.startsWith("HTTP/")) {
        // A new response: after a redirect, or after an interim "100 Continue".
        const QList<QByteArray> parts = line.split(' ');
        m_responseStatus = parts.size() > 1 ? parts.at(1).toInt() : 0;
        m_reason = parts.size() > 2 ? line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1)
                                    : QByteArray();
        m_length.clear();
        m_headers.clear();
        m_chunked = false;
        m_announcedSize = -1;
        m_received = 0;
        m_body.clear();
        return;
    }
    if (!line.isEmpty()) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (m_headers.size() < MaxHeadersKept)
            m_headers.append({name, value});
        if (!isSuccess(m_responseStatus))
            return; // an error page's framing does not matter: it fails anyway
        if (name == "content-length") {
            // Only one length, and only digits: anything else leaves the body's end unknown.
            if (!validLength(value) || (!m_length.isNull() && m_length != value))
                m_refusal =
                    tr("invalid Content-Length: %1").arg(QString::fromLatin1(value.left(40)));
            m_length = value;
        } else if (name == "transfer-encoding") {
            m_chunked = true;
        }
        return;
    }
    // The blank line: the head is complete.
    if (m_responseStatus < 200)
        return;
    if (!m_chunked && validLength(m_length))
        m_announcedSize = m_length.toLongLong();
    m_httpStatus = m_responseStatus;
    reportState(ReceivedResponse);
}

void HttpClient::transferDone(int code)
{
    const auto result = CURLcode(code);
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    m_httpStatus = int(status);
    if (!m_refusal.isEmpty()) {
        finish(Outcome::NetworkError, m_refusal);
        return;
    }
    switch (result) {
    case CURLE_OK:
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        finish(Outcome::NetworkError, tr("Too many redirects"));
        return;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        m_inTransit = true;
        [[fallthrough]];
    default:
        finish(Outcome::NetworkError, m_curlError[0]
                                          ? QString::fromLocal8Bit(m_curlError)
                                          : QString::fromLatin1(curl_easy_strerror(result)));
        return;
    }
    if (m_httpStatus >= 300) {
        finish(Outcome::HttpError,
               tr("HTTP %1 %2").arg(m_httpStatus).arg(QString::fromLatin1(m_reason)).trimmed());
    } else if (m_httpStatus < 200) {
        finish(Outcome::NetworkError, tr("No valid HTTP response"));
    } else if (m_announcedSize >= 0 && m_received != m_announcedSize) {
        m_inTransit = true;
        finish(Outcome::NetworkError,
               tr("Incomplete body: %1 of %2 bytes").arg(m_received).arg(m_announcedSize));
    } else {
        const quint64 transfer = m_transfer;
        setState(ResponseCompleted);
        if (transfer == m_transfer)
            finish(Outcome::Success, QString());
    }
}

void HttpClient::finish(Outcome outcome, const QString &error)
{
    m_outcome = outcome;
    m_errorString = error;
    m_curlError[0] = '\0';
    m_inactivity.stop();
    // The caller owns the sink; it is not touched after the request.
    m_sink = nullptr;
    ++m_transfer;
    // Last, so a slot may start the next request right away.
    setState(Idle);
}

bool HttpClient::reportState(int state)
{
    m_lastActivity.start();
    const quint64 transfer = m_transfer;
    setState(state);
    return transfer == m_transfer;
}

void HttpClient::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}
