#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Sends connections meant for HOST:PORT to TARGET_HOST:TARGET_PORT, in curl's --connect-to
// form "HOST:PORT:TARGET_HOST:TARGET_PORT". The request itself (URL, Host header) stays as
// it was, so a local server can stand in for any host. Used for tests and local mirrors.
class HostMapping final
{
public:
    struct Rule
    {
        QString host; // compared case-insensitively
        quint16 port = 0;
        QString targetHost;
        quint16 targetPort = 0;
    };

    // Adds one rule; false (and nothing added) when the text is not of the form above.
    bool add(const QString &rule);
    // Adds the comma-separated rules of TRAWLBAY_CONNECT_TO; false when one is malformed.
    bool addFromEnvironment();

    struct Target
    {
        QString host;
        quint16 port = 0;
    };
    // Where a connection to host:port really goes (itself when no rule applies).
    Target resolve(const QString &host, quint16 port) const;

    bool isEmpty() const { return m_rules.isEmpty(); }
    // Every rule in the form it was given, for curl's CURLOPT_CONNECT_TO.
    QStringList rules() const;

    // The mapping both programs use, filled from the environment and the command line.
    static HostMapping &global();

private:
    QList<Rule> m_rules;
};
