#include "demo/localserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

// Past this much unsent data an endless body waits for the client to read.
constexpr qint64 MaxPendingBytes = 1024 * 1024;

bool headerHasToken(const QByteArray &value, const QByteArray &token)
{
    const QList<QByteArray> parts = value.split(',');
    for (const QByteArray &part : parts) {
        if (part.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray headerValue(const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &name)
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

} // namespace

// One accepted connection: reads requests and plays the planned answer step by step.
// Its socket and timer are children, so they go away with it.
class LocalServerConnection final : public QObject
{
public:
    LocalServerConnection(LocalServer *server, QTcpSocket *socket);
    ~LocalServerConnection() override;

    void detach() { m_server = nullptr; }

private:
    // What happens once the planned steps are written.
    enum class After
    {
        KeepAlive,
        Close,
        Reset,
        Hold,
        Endless
    };
    enum class Phase
    {
        Reading,
        Sending,
        Resetting,
        Endless,
        Holding,
        Gone
    };
    struct Step
    {
        int delayMs = 0;
        QByteArray bytes;
    };

    void processRequests();
    void plan(const QByteArray &method, bool clientCloses, const LocalServer::Response &response);
    void runSteps();
    void afterSteps();
    void onTimer();
    void writeEndless();
    void reset();
    void gone();
    bool connected() const { return m_socket->state() == QAbstractSocket::ConnectedState; }

    LocalServer *m_server;
    QTcpSocket *m_socket;
    QTimer *m_timer;
    QByteArray m_buffer;
    qint64 m_skipBody = 0;
    Phase m_phase = Phase::Reading;
    QList<Step> m_steps;
    After m_after = After::KeepAlive;
    QByteArray m_endlessChunk;
    int m_endlessDelayMs = 1;
};

LocalServerConnection::LocalServerConnection(LocalServer *server, QTcpSocket *socket)
    : QObject(server), m_server(server), m_socket(socket), m_timer(new QTimer(this))
{
    m_socket->setParent(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &LocalServerConnection::onTimer);
    connect(m_socket, &QIODevice::readyRead, this, [this] {
        m_buffer += m_socket->readAll();
        processRequests();
    });
    connect(m_socket, &QAbstractSocket::disconnected, this, &LocalServerConnection::gone);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            gone();
    });
    if (m_socket->bytesAvailable() > 0) {
        m_buffer += m_socket->readAll();
        QTimer::singleShot(0, this, &LocalServerConnection::processRequests);
    }
}

LocalServerConnection::~LocalServerConnection()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void LocalServerConnection::processRequests()
{
    const QPointer<LocalServerConnection> self(this);
    while (m_phase == Phase::Reading) {
        if (m_skipBody > 0) {
            const qint64 skipped = std::min<qint64>(m_skipBody, m_buffer.size());
            m_buffer.remove(0, skipped);
            m_skipBody -= skipped;
            if (m_skipBody > 0)
                return;
        }
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = m_buffer.left(end + 4);
        m_buffer.remove(0, end + 4);

        const QList<QByteArray> lines = head.left(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        const QByteArray method = requestLine.value(0);
        const QByteArray target = requestLine.value(1);
        const QByteArray version = requestLine.value(2);
        QByteArray host;
        QByteArray connection;
        QByteArray range;
        QByteArray ifRange;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            if (name == "host")
                host = value;
            else if (name == "connection")
                connection = value;
            else if (name == "range")
                range = value;
            else if (name == "if-range")
                ifRange = value;
            else if (name == "content-length")
                m_skipBody = std::max<qint64>(0, value.toLongLong());
        }
        const bool clientCloses =
            headerHasToken(connection, "close") ||
            (version == "HTTP/1.0" && !headerHasToken(connection, "keep-alive"));

        if (!m_server)
            return;
        const LocalServer::Response response = m_server->responseFor(target, range, ifRange);
        m_server->record(head, method, target, host);
        if (!self || !m_server)
            return; // a slot on requestReceived dropped the server
        plan(method, clientCloses, response);
        runSteps();
        if (!self)
            return;
    }
}

void LocalServerConnection::plan(const QByteArray &method, bool clientCloses,
                                 const LocalServer::Response &response)
{
    using Mode = LocalServer::Mode;
    const Mode mode = response.mode;
    const bool isHead = method == "HEAD";
    const QByteArray body = isHead ? QByteArray() : response.body;
    const int chunkSize = std::max(1, response.chunkSize);
    const QByteArray half = body.left(body.size() / 2);

    QList<QPair<QByteArray, QByteArray>> headers;
    const QByteArray length = QByteArray::number(response.body.size());
    bool closeAfter = clientCloses;
    switch (mode) {
    case Mode::Normal:
    case Mode::Slow:
    case Mode::SplitHead:
    case Mode::LowerCaseHeaders:
    case Mode::StallAfterHeaders:
    case Mode::ResetMidBody:
        headers.append({"Content-Length", length});
        break;
    case Mode::NeverClose:
        headers.append({"Content-Length", length});
        closeAfter = false;
        break;
    case Mode::Chunked:
        headers.append({QByteArray("Transfer-Encoding"), QByteArray("chunked")});
        break;
    case Mode::WrongLength:
        headers.append({"Content-Length", response.announcedLength >= 0
                                              ? QByteArray::number(response.announcedLength)
                                              : length});
        closeAfter = true;
        break;
    case Mode::NoLength:
    case Mode::EndlessBody:
    case Mode::Garbage:
    case Mode::Stall:
    case Mode::Raw:
        closeAfter = true;
        break;
    }
    for (const auto &header : response.headers)
        closeAfter = closeAfter || (header.first.compare("Connection", Qt::CaseInsensitive) == 0 &&
                                    header.second.toLower().contains("close"));
    if (closeAfter && mode != Mode::Stall && mode != Mode::Garbage && mode != Mode::Raw &&
        !response.headers.contains({QByteArray("Connection"), QByteArray("close")}))
        headers.append({QByteArray("Connection"), QByteArray("close")});
    headers += response.headers;

    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto &header : std::as_const(headers)) {
        const QByteArray name =
            mode == Mode::LowerCaseHeaders ? header.first.toLower() : header.first;
        head += name + ": " + header.second + "\r\n";
    }
    head += "\r\n";

    m_steps.clear();
    m_after = closeAfter ? After::Close : After::KeepAlive;
    switch (mode) {
    case Mode::Normal:
    case Mode::NoLength:
    case Mode::LowerCaseHeaders:
    case Mode::WrongLength:
    case Mode::NeverClose:
        m_steps.append({0, head + body});
        break;
    case Mode::Chunked: {
        QByteArray bytes = head;
        if (!isHead) {
            for (qsizetype at = 0; at < body.size(); at += chunkSize) {
                const QByteArray piece = body.mid(at, chunkSize);
                bytes += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
            }
            bytes += "0\r\n\r\n";
        }
        m_steps.append({0, bytes});
        break;
    }
    case Mode::Slow:
        m_steps.append({0, head});
        for (qsizetype at = 0; at < body.size(); at += chunkSize)
            m_steps.append({response.delayMs, body.mid(at, chunkSize)});
        break;
    case Mode::SplitHead: {
        const int delay = response.delayMs > 0 ? response.delayMs : 20;
        for (qsizetype at = 0; at < head.size(); at += 5)
            m_steps.append({at == 0 ? 0 : delay, head.mid(at, 5)});
        if (!body.isEmpty())
            m_steps.append({delay, body});
        break;
    }
    case Mode::Stall:
        m_after = After::Hold;
        break;
    case Mode::StallAfterHeaders:
        m_steps.append({0, head + half});
        m_after = After::Hold;
        break;
    case Mode::ResetMidBody:
        m_steps.append({0, head + half});
        m_after = After::Reset;
        break;
    case Mode::Garbage:
        m_steps.append({0, "this is not http\r\n\r\n"});
        m_after = After::Close;
        break;
    case Mode::Raw:
        m_steps.append({0, response.body});
        m_after = After::Close;
        break;
    case Mode::EndlessBody:
        m_steps.append({0, head});
        m_after = isHead ? After::Close : After::Endless;
        m_endlessChunk = QByteArray(chunkSize, 'x');
        m_endlessDelayMs = std::max(1, response.delayMs);
        break;
    }
    // The initial delay comes before the first byte, in every mode.
    if (response.delayMs > 0) {
        if (m_steps.isEmpty())
            m_steps.append({response.delayMs, QByteArray()});
        else
            m_steps.first().delayMs = response.delayMs;
    }
    m_phase = Phase::Sending;
}

void LocalServerConnection::runSteps()
{
    while (!m_steps.isEmpty()) {
        if (!connected()) {
            gone();
            return;
        }
        Step &step = m_steps.first();
        if (step.delayMs > 0) {
            m_timer->start(step.delayMs);
            step.delayMs = 0;
            return;
        }
        const QByteArray bytes = m_steps.takeFirst().bytes;
        if (!bytes.isEmpty())
            m_socket->write(bytes);
    }
    afterSteps();
}

void LocalServerConnection::afterSteps()
{
    if (!connected()) {
        gone();
        return;
    }
    switch (m_after) {
    case After::KeepAlive:
        m_phase = Phase::Reading;
        // The next pipelined request, if any, on the next turn of the event loop.
        QTimer::singleShot(0, this, &LocalServerConnection::processRequests);
        break;
    case After::Close:
        m_phase = Phase::Gone;
        m_socket->disconnectFromHost(); // sends what is buffered first
        break;
    case After::Hold:
        m_phase = Phase::Holding;
        break;
    case After::Reset:
        m_phase = Phase::Resetting;
        m_socket->flush();
        // Give the client a moment to read the half body before the reset hits.
        m_timer->start(50);
        break;
    case After::Endless:
        m_phase = Phase::Endless;
        m_timer->start(m_endlessDelayMs);
        break;
    }
}

void LocalServerConnection::onTimer()
{
    switch (m_phase) {
    case Phase::Sending:
        runSteps();
        break;
    case Phase::Resetting:
        if (connected() && m_socket->bytesToWrite() > 0)
            m_timer->start(10);
        else
            reset();
        break;
    case Phase::Endless:
        writeEndless();
        break;
    default:
        break;
    }
}

void LocalServerConnection::writeEndless()
{
    if (!connected()) {
        gone();
        return;
    }
    if (m_socket->bytesToWrite() < MaxPendingBytes)
        m_socket->write(m_endlessChunk);
    m_timer->start(m_endlessDelayMs);
}

void LocalServerConnection::reset()
{
#ifdef Q_OS_UNIX
    // A zero linger time makes closing send RST instead of FIN.
    const qintptr descriptor = m_socket->socketDescriptor();
    if (descriptor >= 0) {
        struct linger option;
        option.l_onoff = 1;
        option.l_linger = 0;
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &option, sizeof option);
    }
#endif
    m_socket->abort();
    gone();
}

void LocalServerConnection::gone()
{
    if (m_phase == Phase::Gone && !m_server)
        return;
    m_phase = Phase::Gone;
    m_timer->stop();
    m_steps.clear();
    if (m_server)
        m_server->forget(this);
    m_server = nullptr;
    deleteLater();
}

LocalServer::LocalServer(QObject *parent) : QObject(parent)
{
    m_fallback.status = 404;
    m_fallback.reason = "Not Found";
    m_fallback.headers.append({QByteArray("Content-Type"), QByteArray("text/html")});
    m_fallback.body = "<html><body><h1>404 Not Found</h1></body></html>";
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            m_connections.insert(new LocalServerConnection(this, socket));
    });
}

LocalServer::~LocalServer()
{
    const QSet<LocalServerConnection *> connections = m_connections;
    m_connections.clear();
    for (LocalServerConnection *connection : connections) {
        connection->detach();
        delete connection;
    }
}

bool LocalServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

quint16 LocalServer::port() const
{
    return m_server.serverPort();
}

QString LocalServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void LocalServer::route(const QByteArray &pathAndQuery, const Response &response)
{
    m_routes.insert(pathAndQuery, {response});
}

void LocalServer::routeSequence(const QByteArray &pathAndQuery, const QList<Response> &responses)
{
    m_routes.insert(pathAndQuery, responses);
}

void LocalServer::setFallback(const Response &response)
{
    m_fallback = response;
}

LocalServer::Response LocalServer::responseFor(const QByteArray &target, const QByteArray &range,
                                               const QByteArray &ifRange) const
{
    const QList<Response> answers = m_routes.value(target, {m_fallback});
    Response r = answers.value(std::min<qsizetype>(m_counts.value(target), answers.size() - 1));
    // One range only: "N-", "N-M" or "-N" (the last N bytes). Anything else gets the whole body,
    // as a server that ignores Range would send it.
    const QList<QByteArray> bounds = range.mid(6).trimmed().split('-');
    if (!r.ranges || !range.startsWith("bytes=") || range.contains(',') || bounds.size() != 2)
        return r;
    const QByteArray etag = headerValue(r.headers, "ETag");
    // If-Range names a strong ETag, or else the Last-Modified date, exactly.
    const bool byTag = ifRange.startsWith('"') || ifRange.startsWith("W/");
    const QByteArray validator = byTag ? etag : headerValue(r.headers, "Last-Modified");
    if (!ifRange.isEmpty() &&
        (ifRange != validator || ifRange.startsWith("W/") || validator.startsWith("W/")))
        return r; // the file changed: the whole of it
    const qint64 size = r.body.size();
    bool firstOk = false, lastOk = false;
    qint64 first = bounds[0].toLongLong(&firstOk);
    qint64 last = bounds[1].isEmpty() ? size - 1 : bounds[1].toLongLong(&lastOk);
    if (bounds[0].isEmpty() && lastOk) { // a suffix: the last N bytes
        first = std::max<qint64>(0, size - last);
        last = size - 1;
    } else if (!firstOk || (!bounds[1].isEmpty() && (!lastOk || last < first))) {
        return r;
    }
    if (first >= size) {
        r.status = 416;
        r.reason = "Range Not Satisfiable";
        r.headers.append({"Content-Range", "bytes */" + QByteArray::number(size)});
        r.body.clear();
        return r;
    }
    last = std::min(last, size - 1);
    r.status = 206;
    r.reason = "Partial Content";
    r.headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-' +
                                           QByteArray::number(last) + '/' +
                                           QByteArray::number(size)});
    r.body = r.body.mid(first, last - first + 1);
    return r;
}

void LocalServer::record(const QByteArray &head, const QByteArray &method, const QByteArray &target,
                         const QByteArray &host)
{
    m_heads.append(head);
    m_counts[target] += 1;
    m_lastHost = host;
    Q_EMIT requestReceived(method, target);
}

void LocalServer::forget(LocalServerConnection *connection)
{
    m_connections.remove(connection);
}
