#include "core/net/curlmulti.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

namespace {

// The notifiers of one socket that curl asked us to watch.
struct SocketWatch
{
    QSocketNotifier *read = nullptr;
    QSocketNotifier *write = nullptr;

    void drop()
    {
        // Called from inside a notifier's own signal: disable now, delete later.
        for (QSocketNotifier *notifier : {read, write}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
        read = write = nullptr;
    }
};

size_t refuseData(char *, size_t, size_t, void *)
{
    return 0;
}

} // namespace

CurlMulti &CurlMulti::instance()
{
    static CurlMulti multi;
    return multi;
}

CurlMulti::CurlMulti()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    // Every slot may talk to the same host at once; HTTP/1.1 only, so no multiplexing.
    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, 0L);
    curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, CURLPIPE_NOTHING);

    m_share = curl_share_init();
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);

    // The user's saved sign-in is there from the first request on.
    const QString cookies = defaultCookieFile();
    if (QFileInfo::exists(cookies))
        loadCookieFile(cookies);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    // Only at exit: the handles left are those of clients that outlive the event loop.
    const QList<CURL *> handles = m_done.keys();
    for (CURL *easy : handles) {
        curl_multi_remove_handle(m_multi, easy);
        curl_easy_cleanup(easy);
    }
    curl_multi_cleanup(m_multi);
    for (curl_slist *list : std::as_const(m_connectTo))
        curl_slist_free_all(list);
    curl_share_cleanup(m_share);
}

CURL *CurlMulti::newHandle()
{
    CURL *easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    // An empty name turns the cookie engine on without reading a file.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    return easy;
}

void CurlMulti::start(CURL *easy, std::function<void(CURLcode)> done)
{
    m_done.insert(easy, std::move(done));
    if (m_depth > 0)
        m_pending.append(easy); // curl refuses new transfers from inside its callbacks
    else
        curl_multi_add_handle(m_multi, easy);
}

void CurlMulti::release(CURL *easy)
{
    if (!easy)
        return;
    m_done.remove(easy);
    if (m_pending.removeOne(easy)) {
        curl_easy_cleanup(easy);
        return;
    }
    if (m_depth > 0) {
        // Its callbacks may still run before curl returns: they must not reach the client.
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &refuseData);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &refuseData);
        curl_easy_setopt(easy, CURLOPT_VERBOSE, 0L);
        curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, nullptr);
        m_doomed.append(easy);
        return;
    }
    curl_multi_remove_handle(m_multi, easy);
    curl_easy_cleanup(easy);
}

curl_slist *CurlMulti::connectTo(const QStringList &rules)
{
    if (rules.isEmpty())
        return nullptr;
    curl_slist *&list = m_connectTo[rules];
    if (!list) {
        for (const QString &rule : rules)
            list = curl_slist_append(list, rule.toUtf8().constData());
    }
    return list;
}

QString CurlMulti::defaultCookieFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/cookies.txt");
}

bool CurlMulti::loadCookieFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    CURL *easy = newHandle();
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, QFile::encodeName(path).constData());
    curl_easy_setopt(easy, CURLOPT_COOKIELIST, "RELOAD");
    curl_easy_cleanup(easy);
    return true;
}

QList<QNetworkCookie> CurlMulti::cookies()
{
    QList<QNetworkCookie> result;
    CURL *easy = newHandle();
    curl_slist *list = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
        // Netscape lines: domain, include-subdomains, path, secure, expiry, name, value.
        static const QByteArray HttpOnly = QByteArrayLiteral("#HttpOnly_");
        for (const curl_slist *item = list; item; item = item->next) {
            QByteArray line(item->data);
            const bool httpOnly = line.startsWith(HttpOnly);
            if (httpOnly)
                line.remove(0, HttpOnly.size());
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() < 7)
                continue;
            QNetworkCookie cookie(fields[5], fields[6]);
            const QString domain = QString::fromUtf8(fields[0]);
            if (fields[1] == "TRUE")
                cookie.setDomain(domain.startsWith(u'.') ? domain : u'.' + domain);
            else
                cookie.setDomain(domain);
            cookie.setPath(QString::fromUtf8(fields[2]));
            cookie.setSecure(fields[3] == "TRUE");
            cookie.setHttpOnly(httpOnly);
            const qint64 expiry = fields[4].toLongLong();
            if (expiry > 0)
                cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(expiry));
            result.append(cookie);
        }
    }
    curl_slist_free_all(list);
    curl_easy_cleanup(easy);
    return result;
}

int CurlMulti::onSocket(CURL *, curl_socket_t socket, int what, void *self, void *socketData)
{
    auto *multi = static_cast<CurlMulti *>(self);
    auto *watch = static_cast<SocketWatch *>(socketData);
    if (what == CURL_POLL_REMOVE) {
        if (watch) {
            watch->drop();
            delete watch;
            curl_multi_assign(multi->m_multi, socket, nullptr);
        }
        return 0;
    }
    if (!watch) {
        watch = new SocketWatch;
        curl_multi_assign(multi->m_multi, socket, watch);
    }
    const auto watchFor = [multi, socket](QSocketNotifier *&notifier, QSocketNotifier::Type type,
                                          int event, bool wanted) {
        if (!wanted) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = new QSocketNotifier(qintptr(socket), type, multi);
            connect(notifier, &QSocketNotifier::activated, multi,
                    [multi, socket, event] { multi->act(socket, event); });
        }
        notifier->setEnabled(true);
    };
    watchFor(watch->read, QSocketNotifier::Read, CURL_CSELECT_IN,
             what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    watchFor(watch->write, QSocketNotifier::Write, CURL_CSELECT_OUT,
             what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
    return 0;
}

int CurlMulti::onTimer(CURLM *, long timeoutMs, void *self)
{
    auto *multi = static_cast<CurlMulti *>(self);
    if (timeoutMs < 0)
        multi->m_timer.stop();
    else
        multi->m_timer.start(int(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlMulti::act(curl_socket_t socket, int events)
{
    int running = 0;
    ++m_depth;
    curl_multi_socket_action(m_multi, socket, events, &running);
    --m_depth;
    collect();
}

void CurlMulti::collect()
{
    if (m_depth > 0)
        return;
    for (CURL *easy : std::exchange(m_doomed, {})) {
        curl_multi_remove_handle(m_multi, easy);
        curl_easy_cleanup(easy);
    }
    for (CURL *easy : std::exchange(m_pending, {}))
        curl_multi_add_handle(m_multi, easy);
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode result = message->data.result;
        // The transfer is over; the handle stays with its client for the next request.
        curl_multi_remove_handle(m_multi, easy);
        if (std::function<void(CURLcode)> done = m_done.take(easy))
            done(result); // may start or release transfers; info_read stays valid
    }
}
