#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>

// The link check's TCP socket: connect, send, receive, as signals on the calling thread.
// States: 0 closed, 1 connecting (looking up or connecting), 2 connected. Connections go
// through the host mapping.
class TcpSocket final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpSocket)

public:
    explicit TcpSocket(QObject *parent = nullptr);
    ~TcpSocket() override;

    void connectToHost(const QString &host, quint16 port);
    int state() const { return m_state; }
    void send(const QByteArray &bytes);
    // The bytes that arrived since the last call.
    QByteArray receive();
    void close();

Q_SIGNALS:
    void stateChanged(int state);
    void received();
    void error(int number, const QString &description);

private:
    void setState(int state);

    QTcpSocket m_socket;
    int m_state = 0;
};
