#pragma once

#include <QHash>
#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

#include <curl/curl.h>

// The process's one libcurl multi handle, driven by the Qt event loop of the thread that
// first uses it: curl tells which sockets to watch and when to wake up, and QSocketNotifiers
// and one single-shot timer call it back. No threads of our own; connections, DNS answers
// and cookies are shared by every transfer.
class CurlMulti final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CurlMulti)

public:
    static CurlMulti &instance();

    // A new easy handle that shares cookies and DNS answers with all others.
    CURL *newHandle();
    // Starts a transfer; done is called once with curl's result, outside curl's callbacks.
    void start(CURL *easy, std::function<void(CURLcode)> done);
    // Stops a transfer (if any) and frees the handle; its done is never called. Safe inside
    // curl's callbacks: the handle is then freed as soon as curl returns.
    void release(CURL *easy);

    // The host mapping rules as a list for CURLOPT_CONNECT_TO; it lives as long as the process.
    curl_slist *connectTo(const QStringList &rules);

    // Loads a Netscape cookies.txt into the shared cookie store; false when unreadable.
    // cookies.txt in the config folder is loaded at start when it exists.
    bool loadCookieFile(const QString &path);
    static QString defaultCookieFile();
    // The cookies the shared store holds, for a web view that must send what transfers send.
    // A domain with a leading "." includes its subdomains; one without names a single host.
    QList<QNetworkCookie> cookies();

private:
    CurlMulti();
    ~CurlMulti() override;

    static int onSocket(CURL *easy, curl_socket_t socket, int what, void *self, void *socketData);
    static int onTimer(CURLM *multi, long timeoutMs, void *self);
    void act(curl_socket_t socket, int events);
    void collect();

    CURLM *m_multi = nullptr;
    CURLSH *m_share = nullptr;
    QTimer m_timer;
    int m_depth = 0;         // > 0 while curl runs our callbacks
    QList<CURL *> m_doomed;  // released inside a callback, freed when curl returns
    QList<CURL *> m_pending; // started inside a callback, added when curl returns
    QHash<CURL *, std::function<void(CURLcode)>> m_done;
    QHash<QStringList, curl_slist *> m_connectTo;
};
