#include "core/search/linkverifier.h"

#include "core/net/tcpsocket.h"
#include "core/search/linktarget.h"
#include "core/search/responsehead.h"

namespace {

// A response head larger than this is not one; reading stops there.
constexpr qsizetype MaxHeadBytes = 64 * 1024;

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// The path as request-line bytes: printable ASCII as it stands, anything else (spaces,
// letters beyond ASCII) percent-encoded as UTF-8, so the request line keeps its form.
QByteArray pathBytes(const QString &path)
{
    QByteArray out;
    const QByteArray utf8 = path.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += '%';
            out += QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
        }
    }
    return out;
}

} // namespace

cDsckLinkVerifier::cDsckLinkVerifier(QObject *parent) : SlotWorker(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(DefaultTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &cDsckLinkVerifier::onTimeout);
}

cDsckLinkVerifier::~cDsckLinkVerifier() = default;

void cDsckLinkVerifier::bind(FileListModel::RowId row, int slot)
{
    m_row = row;
    m_slot = slot;
}

QByteArray cDsckLinkVerifier::request(const QString &host, const QString &path)
{
    if (hasControlCharacter(host) || hasControlCharacter(path))
        return {};
    QByteArray bytes;
    bytes += "HEAD " + pathBytes(path) + " HTTP/1.1\r\n";
    bytes += "Accept: */*\r\n";
    bytes += "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n";
    bytes += "Host: " + host.toLatin1() + "\r\n";
    bytes += "Connection: close\r\n";
    bytes += "\r\n";
    return bytes;
}

void cDsckLinkVerifier::GetHeader()
{
    dropSocket();
    m_finished = false;
    Q_EMIT finishedChanged();
    m_outcome = Outcome::None;
    m_headOutcome = Outcome::NoSize;
    m_head.clear();
    m_headDone = false;
    setStatus(QStringLiteral("Connecting"));
    setUrlText(QStringLiteral("Verifying ") + FileName);
    const LinkTarget target = linkTarget(LinkURL);
    if (!LinkURL.mid(7).contains(QLatin1Char('/'))) {
        // No path after the host: nothing to ask. The labels keep their texts.
        finish(Outcome::Failed);
        return;
    }
    m_request = target.valid ? request(target.hostHeader, target.path) : QByteArray();
    if (m_request.isEmpty()) {
        onError();
        return;
    }
    Wsk1 = new TcpSocket(this);
    connect(Wsk1, &TcpSocket::stateChanged, this, &cDsckLinkVerifier::onState);
    connect(Wsk1, &TcpSocket::received, this, &cDsckLinkVerifier::onReceive);
    connect(Wsk1, &TcpSocket::error, this, &cDsckLinkVerifier::onError);
    m_timeout.start();
    Wsk1->connectToHost(target.host, target.port);
}

void cDsckLinkVerifier::onState(int state)
{
    if (m_finished)
        return;
    m_timeout.start();
    switch (state) {
    case 1:
        setStatus(QStringLiteral("Connecting"));
        break;
    case 2:
        setStatus(QStringLiteral("Connected"));
        setStatus(QStringLiteral("Requesting header"));
        Wsk1->send(m_request);
        break;
    case 0:
        readLength(true);
        setStatus(QStringLiteral("Closed"));
        setStatus(QStringLiteral("Idle"));
        setUrlText(QString());
        finish(m_headOutcome);
        break;
    default:
        break;
    }
}

void cDsckLinkVerifier::onReceive()
{
    if (m_finished)
        return;
    const QByteArray data = Wsk1->receive();
    if (m_headDone)
        return; // bytes after the head: a server that sends a body anyway
    m_timeout.start();
    m_head += data;
    readLength(false);
    if (!m_headDone && m_head.size() > MaxHeadBytes) {
        m_headDone = true; // not a response head
        m_head.clear();
    }
    // An answer to HEAD ends with its head: a server that keeps the connection open, or
    // streams a body anyway, cannot hold the check.
    if (m_headDone)
        onState(0);
}

void cDsckLinkVerifier::readLength(bool final)
{
    if (m_headDone)
        return;
    const HeadResult head = parseResponseHead(m_head, final);
    if (!head.complete)
        return;
    m_headDone = true;
    m_head.clear();
    if (!head.nameFound)
        return;
    if (head.hasLength) {
        m_headOutcome = Outcome::Size;
        Q_EMIT sizeFound(m_row, head.length);
    }
    setStatus(QStringLiteral("Link verified"));
}

void cDsckLinkVerifier::onError()
{
    fail(Outcome::Failed);
}

void cDsckLinkVerifier::onTimeout()
{
    fail(Outcome::TimedOut);
}

void cDsckLinkVerifier::fail(Outcome outcome)
{
    if (m_finished)
        return;
    setStatus(QStringLiteral("Error"));
    setUrlText(QString());
    finish(outcome);
}

void cDsckLinkVerifier::dropSocket()
{
    if (!Wsk1)
        return;
    // The socket may be the sender of the signal being handled: it goes once that returns,
    // and says nothing more to this object.
    Wsk1->disconnect(this);
    Wsk1->close();
    Wsk1->deleteLater();
    Wsk1 = nullptr;
}

void cDsckLinkVerifier::finish(Outcome outcome)
{
    m_timeout.stop();
    dropSocket();
    m_finished = true;
    m_outcome = outcome;
    Q_EMIT finished(); // the outcome is read here, before a dispatcher reuses the object
    Q_EMIT finishedChanged();
}

void cDsckLinkVerifier::setStatus(const QString &text)
{
    Q_EMIT slotStatus(m_slot, text);
}

void cDsckLinkVerifier::setUrlText(const QString &text)
{
    Q_EMIT slotUrl(m_slot, text);
}
