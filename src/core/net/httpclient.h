#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QUrl>

class QIODevice;
using CURL = void;

// One worker's HTTP client: GET one URL at a time, asynchronously, reporting states and
// progress as signals on the calling thread. Every client is a transfer on the process's
// one libcurl multi handle (CurlMulti), so connections are reused across slots.
//
// States: 0 idle (no request, or the request has ended), 1 starting request, 2 resolving
// host, 3 host resolved, 4 connecting, 5 connected, 7 request sent, 9 response headers
// received, 13 body complete; then 0 again. Only the steps curl reports are shown: a reused
// connection skips 2 to 4, and an address needs no resolving.
// Redirects are followed (at most 10, http and https only, never from HTTPS to HTTP).
// Connections go through the host mapping while the URL and Host header stay. A transfer
// that receives nothing for the inactivity timeout fails. Bodies are kept as served (no
// content decoding), and a body counts only when its framing is valid and it is whole.
class HttpClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpClient)

public:
    enum State
    {
        Idle = 0,
        StartingRequest = 1,
        ResolvingHost = 2,
        HostResolved = 3,
        Connecting = 4,
        Connected = 5,
        RequestSent = 7,
        ReceivedResponse = 9,
        ResponseCompleted = 13,
    };

    enum class Outcome
    {
        None,      // no request has ended yet
        Success,   // a 2xx response and its whole body
        HttpError, // the server answered with another status
        NetworkError,
        Timeout,
        Aborted,
    };

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    // Starts a GET; the body goes into body(), or into sink when one is given (the client
    // writes each arriving piece to it and keeps no copy). Any running request is aborted first.
    void get(const QUrl &url, QIODevice *sink = nullptr);
    // Stops the running request; the state is 0 when this returns, and stateChanged(0)
    // has been sent.
    void abort();
    // Extra request header lines ("Range: bytes=100-") for the next get() only.
    void setRequestHeaders(const QList<QByteArray> &lines) { m_requestHeaders = lines; }
    // A header of the response being read (or the last one read), "" when it has none; from
    // state 9 on, before any of its body arrives.
    QByteArray responseHeader(const QByteArray &name) const;

    int state() const { return m_state; }
    QByteArray body() const { return m_body; }
    QUrl url() const { return m_url; }

    Outcome outcome() const { return m_outcome; }
    int httpStatus() const { return m_httpStatus; } // 0 when no response arrived
    QString errorString() const { return m_errorString; }
    qint64 announcedSize() const { return m_announcedSize; } // -1 when not announced
    qint64 received() const { return m_received; }
    // The request failed on the way (refused, reset, cut short, timed out), not by an answer
    // or a fault of the server's framing: another attempt may well succeed.
    bool failedInTransit() const { return m_inTransit; }

    void setInactivityTimeout(int milliseconds);
    int inactivityTimeout() const { return m_timeoutMs; }
    static constexpr int DefaultInactivityTimeoutMs = 60000;

Q_SIGNALS:
    void stateChanged(int state);
    // count: bytes received so far; size: the announced length, or <= 0 when none.
    void progress(qint64 count, qint64 size);

private:
    struct Callbacks; // curl's callbacks, in the source file

    void configure();
    void headerLine(const QByteArray &line);
    void transferDone(int result);
    void finish(Outcome outcome, const QString &error);
    void setState(int state);
    void onInactivity();
    // Sends a state from inside curl; false when a handler ended this transfer meanwhile.
    bool reportState(int state);

    CURL *m_easy = nullptr;
    // curl's own low-speed limit averages over seconds and is coarse; this one hears every
    // callback and fires after exactly the timeout of silence.
    QTimer m_inactivity;
    QElapsedTimer m_lastActivity;
    QIODevice *m_sink = nullptr;
    QUrl m_url;
    QByteArray m_body;
    int m_state = Idle;
    int m_timeoutMs = DefaultInactivityTimeoutMs;
    int m_httpStatus = 0;
    qint64 m_announcedSize = -1;
    qint64 m_received = 0;
    quint64 m_transfer = 0; // counts requests, so callbacks notice a request that ended
    Outcome m_outcome = Outcome::None;
    bool m_inTransit = false;
    QString m_errorString;

    // The response being read (redirects and interim answers start a new one).
    int m_responseStatus = 0;
    QByteArray m_reason;
    QByteArray m_length;                            // the Content-Length value, when one was given
    QList<QPair<QByteArray, QByteArray>> m_headers; // names in lower case
    QList<QByteArray> m_requestHeaders;
    struct curl_slist *m_requestList = nullptr;
    bool m_chunked = false;
    bool m_secureSeen = false;
    QString m_refusal; // why the transfer was stopped from our side
    char m_curlError[256] = {};
};
