#pragma once

// The base of the search and download tests: a test server, made-up hosts sent to it, and a
// fresh run session per test whose status lines and slot changes can be read back.
#include <QHash>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <utility>

#include "core/app/runsession.h"
#include "core/net/hostmapping.h"
#include "support/testserver.h"

class RunFixture : public QObject
{
protected:
    TestServer m_server;
    std::unique_ptr<RunSession> m_session;
    QStringList m_statuses;

    // Sends each "host:port" to the test server; call once the server listens.
    bool mapHosts(const QStringList &hostPorts)
    {
        const QString to = QStringLiteral(":127.0.0.1:") + QString::number(m_server.port());
        return std::all_of(hostPorts.cbegin(), hostPorts.cend(), [&to](const QString &hostPort) {
            return HostMapping::global().add(hostPort + to);
        });
    }

    void newSession()
    {
        m_session = std::make_unique<RunSession>();
        m_statuses.clear();
        connect(&state(), &AppState::statusMessageChanged, m_session.get(),
                [this](const QString &text) { m_statuses.append(text); });
    }

    RunSession &session() { return *m_session; }
    AppState &state() { return m_session->state(); }
    SlotBoard &board() { return m_session->board(); }
    FileListModel &files() { return m_session->files(); }
    QString status() const { return m_statuses.isEmpty() ? QString() : m_statuses.last(); }
};

// What the slots show, as "slot:url" each time a slot shows another non-empty URL.
class SlotLog : public QObject
{
public:
    explicit SlotLog(SlotBoard &board)
    {
        connect(&board, &SlotBoard::slotChanged, this, [this, &board](int slot) {
            const QString url = board.at(slot).url;
            if (!url.isEmpty() && std::exchange(m_shown[slot], url) != url)
                taken.append(QString::number(slot) + QLatin1Char(':') + url);
        });
    }
    QStringList taken;

private:
    QHash<int, QString> m_shown;
};
