#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTcpServer>

class LocalServerConnection;

// A small HTTP/1.1 server on a loopback port, for the tests and the demo server. Each route
// answers with a canned response, and can misbehave on purpose (stall, reset, lie about the
// length, send garbage...). Event-driven: it needs a running event loop, never a thread of
// its own.
class LocalServer : public QObject
{
    Q_OBJECT

public:
    enum class Mode
    {
        Normal,            // Content-Length, keep-alive unless the client asks to close
        NoLength,          // no Content-Length; the body ends when the connection closes
        Chunked,           // Transfer-Encoding: chunked, chunkSize bytes a chunk
        Slow,              // the body in chunkSize pieces, delayMs apart
        Stall,             // reads the request, never answers
        StallAfterHeaders, // the head and half the body, then nothing
        ResetMidBody,      // the head and half the body, then a connection reset
        NeverClose,        // answers but keeps the connection open, even when asked to close
        Garbage,           // bytes that are not HTTP, then close
        SplitHead,         // the head in ~5 byte pieces, delayMs (default 20) apart
        LowerCaseHeaders,  // header names in lower case
        WrongLength,       // announces announcedLength, sends the body, closes
        EndlessBody,       // no length; chunkSize bytes every delayMs until the client leaves
        Raw,               // body is the whole answer, head included, sent as is; then close
    };

    struct Response
    {
        int status = 200;
        QByteArray reason = "OK";
        QList<QPair<QByteArray, QByteArray>> headers; // extra headers
        QByteArray body;
        Mode mode = Mode::Normal;
        // Slow: delay between chunks of chunkSize bytes; in every mode, when > 0, also a
        // delay before the answer starts.
        int delayMs = 0;
        int chunkSize = 1024;
        qint64 announcedLength = -1; // WrongLength: the Content-Length to announce
        // Answers one range ("bytes=N-", "N-M", "-N") with 206 and those bytes (416 past the
        // end), unless "If-Range" names another strong ETag or Last-Modified date than this
        // response's headers.
        bool ranges = false;
    };

    explicit LocalServer(QObject *parent = nullptr);
    ~LocalServer() override;

    bool listen(quint16 port = 0); // 127.0.0.1; 0 picks a free port
    quint16 port() const;
    QString errorString() const { return m_server.errorString(); } // why listen() failed
    QString baseUrl() const;                                       // "http://127.0.0.1:<port>"

    // Exact match of the request target (path and query as sent).
    void route(const QByteArray &pathAndQuery, const Response &response);
    // The n-th request of the target gets the n-th response; the last one repeats.
    void routeSequence(const QByteArray &pathAndQuery, const QList<Response> &responses);
    // Answer for unknown targets; by default 404 "Not Found" with a small HTML body.
    void setFallback(const Response &response);

    // Every raw request head received, in order (request line, headers, blank line).
    QList<QByteArray> requestHeads() const { return m_heads; }
    QByteArray lastRequestHead() const { return m_heads.isEmpty() ? QByteArray() : m_heads.last(); }
    int requestCount(const QByteArray &pathAndQuery) const { return m_counts.value(pathAndQuery); }
    QByteArray lastHostHeader() const { return m_lastHost; }
    int openConnections() const { return int(m_connections.size()); }

Q_SIGNALS:
    void requestReceived(const QByteArray &method, const QByteArray &target);

private:
    friend class LocalServerConnection;

    Response responseFor(const QByteArray &target, const QByteArray &range,
                         const QByteArray &ifRange) const;
    void record(const QByteArray &head, const QByteArray &method, const QByteArray &target,
                const QByteArray &host);
    void forget(LocalServerConnection *connection);

    QTcpServer m_server;
    QHash<QByteArray, QList<Response>> m_routes;
    Response m_fallback;
    QList<QByteArray> m_heads;
    QHash<QByteArray, int> m_counts;
    QByteArray m_lastHost;
    QSet<LocalServerConnection *> m_connections;
};
