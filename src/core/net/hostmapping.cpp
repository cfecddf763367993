#include "core/net/hostmapping.h"

#include <QtGlobal>

namespace {

// A port is a plain decimal number in 1..65535 (no sign, no spaces).
bool parsePort(const QString &text, quint16 &port)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return false;
    port = quint16(value);
    return true;
}

} // namespace

bool HostMapping::add(const QString &rule)
{
    const QStringList parts = rule.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 4)
        return false;
    Rule parsed;
    parsed.host = parts[0].trimmed();
    parsed.targetHost = parts[2].trimmed();
    if (parsed.host.isEmpty() || parsed.targetHost.isEmpty())
        return false;
    if (!parsePort(parts[1].trimmed(), parsed.port) ||
        !parsePort(parts[3].trimmed(), parsed.targetPort))
        return false;
    m_rules.append(parsed);
    return true;
}

bool HostMapping::addFromEnvironment()
{
    const QString value = qEnvironmentVariable("TRAWLBAY_CONNECT_TO").trimmed();
    if (value.isEmpty())
        return true;
    bool allValid = true;
    const QStringList rules = value.split(QLatin1Char(','));
    for (const QString &rule : rules) {
        // A trailing or doubled comma is harmless.
        if (rule.trimmed().isEmpty())
            continue;
        if (!add(rule))
            allValid = false;
    }
    return allValid;
}

HostMapping::Target HostMapping::resolve(const QString &host, quint16 port) const
{
    for (const Rule &rule : m_rules) {
        if (rule.port == port && rule.host.compare(host, Qt::CaseInsensitive) == 0)
            return {rule.targetHost, rule.targetPort};
    }
    return {host, port};
}

HostMapping &HostMapping::global()
{
    static HostMapping mapping;
    return mapping;
}

QStringList HostMapping::rules() const
{
    QStringList texts;
    texts.reserve(m_rules.size());
    for (const Rule &rule : m_rules)
        texts.append(QStringLiteral("%1:%2:%3:%4")
                         .arg(rule.host)
                         .arg(rule.port)
                         .arg(rule.targetHost)
                         .arg(rule.targetPort));
    return texts;
}
