#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

// One worker's HTTP client: GET one URL at a time, asynchronously, reporting states and
// progress as signals on the calling thread. Each client owns its own network manager, so
// one host's connection limit never caps the transfer slots.
//
// States: 0 idle (no request, or the request has ended), 1 starting request, 4 connecting,
// 7 request sent, 9 response headers received, 13 body complete; then 0 again.
// Redirects are followed (at most 10, never from HTTPS to HTTP). Connections go through
// the host mapping while the URL and Host header stay. A transfer that receives nothing
// for the inactivity timeout is aborted and ends as a failure.
class HttpClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpClient)

public:
    enum State
    {
        Idle = 0,
        StartingRequest = 1,
        Connecting = 4,
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

    int state() const { return m_state; }
    QByteArray body() const { return m_body; }
    QUrl url() const { return m_url; }

    Outcome outcome() const { return m_outcome; }
    int httpStatus() const { return m_httpStatus; } // 0 when no response arrived
    QString errorString() const { return m_errorString; }
    qint64 announcedSize() const { return m_announcedSize; } // -1 when not announced
    qint64 received() const { return m_received; }

    void setInactivityTimeout(int milliseconds);
    int inactivityTimeout() const { return m_timeoutMs; }
    static constexpr int DefaultInactivityTimeoutMs = 60000;
    static constexpr qint64 StreamBufferBytes = 2 * 1024 * 1024;

Q_SIGNALS:
    void stateChanged(int state);
    // count: bytes received so far; size: the announced length, or <= 0 when none.
    void progress(qint64 count, qint64 size);

private:
    void start(const QUrl &url);
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void onTimeout();
    void finish(Outcome outcome, const QString &error);
    void setState(int state);

    QNetworkAccessManager *m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    QIODevice *m_sink = nullptr;
    QTimer m_inactivity;
    QUrl m_url;
    QUrl m_currentUrl;
    QByteArray m_body;
    int m_state = Idle;
    int m_redirects = 0;
    int m_timeoutMs = DefaultInactivityTimeoutMs;
    int m_httpStatus = 0;
    qint64 m_announcedSize = -1;
    qint64 m_received = 0;
    Outcome m_outcome = Outcome::None;
    QString m_errorString;
};
