#include "core/net/tcpsocket.h"

#include "core/net/hostmapping.h"

TcpSocket::TcpSocket(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                switch (state) {
                case QAbstractSocket::HostLookupState:
                case QAbstractSocket::ConnectingState:
                    setState(1);
                    break;
                case QAbstractSocket::ConnectedState:
                    setState(2);
                    break;
                case QAbstractSocket::UnconnectedState:
                case QAbstractSocket::ClosingState:
                    setState(0);
                    break;
                default:
                    break;
                }
            });
    connect(&m_socket, &QIODevice::readyRead, this, &TcpSocket::received);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError code) {
                // A server closing after its answer is the normal end, not a failure.
                if (code == QAbstractSocket::RemoteHostClosedError)
                    return;
                Q_EMIT error(int(code), m_socket.errorString());
            });
}

TcpSocket::~TcpSocket()
{
    // The member socket would otherwise report its closing through a half-destroyed object.
    m_socket.disconnect(this);
    m_socket.abort();
}

void TcpSocket::connectToHost(const QString &host, quint16 port)
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    const HostMapping::Target target = HostMapping::global().resolve(host, port);
    m_socket.connectToHost(target.host, target.port);
}

void TcpSocket::send(const QByteArray &bytes)
{
    // The socket buffers whatever the system does not take at once.
    m_socket.write(bytes);
}

QByteArray TcpSocket::receive()
{
    return m_socket.readAll();
}

void TcpSocket::close()
{
    m_socket.abort();
    setState(0);
}

void TcpSocket::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}
