#pragma once

// A run session against the test server, for the search and download tests: made-up hosts
// sent to the server, the status lines a run shows, the targets the server is asked for.
#include <QObject>
#include <QStringList>

#include "core/app/runsession.h"
#include "core/net/hostmapping.h"
#include "support/testserver.h"

// Sends each "host:port" to the test server.
inline bool mapHosts(const TestServer &server, const QStringList &hostPorts)
{
    const QString to = QStringLiteral(":127.0.0.1:") + QString::number(server.port());
    for (const QString &hostPort : hostPorts) {
        if (!HostMapping::global().add(hostPort + to))
            return false;
    }
    return true;
}

// One test's session and every status line it showed.
struct Session
{
    RunSession run;
    QStringList statuses;

    Session()
    {
        QObject::connect(&run.state(), &AppState::statusMessageChanged, &run,
                         [this](const QString &text) { statuses.append(text); });
    }
};

// The targets the server is asked for while the log lives, without the given prefix.
class RequestLog : public QObject
{
public:
    RequestLog(TestServer &server, const QByteArray &prefix = {})
    {
        connect(&server, &TestServer::requestReceived, this,
                [this, prefix](const QByteArray &, const QByteArray &target) {
                    targets.append(QString::fromLatin1(target.mid(prefix.size())));
                });
    }
    QStringList targets;
};
