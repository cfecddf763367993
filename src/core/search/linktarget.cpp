#include "core/search/linktarget.h"

#include <QUrl>

namespace {

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7F)
            return false;
    }
    return true;
}

} // namespace

LinkTarget linkTarget(const QString &linkUrl)
{
    LinkTarget target;
    const QString rest = linkUrl.mid(7);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return target;
    QStringView authority = QStringView(rest).left(slash);
    target.path = rest.mid(slash);
    if (const qsizetype hash = target.path.indexOf(QLatin1Char('#')); hash >= 0)
        target.path.truncate(hash);

    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0)
        authority = authority.mid(at + 1);
    QStringView host = authority;
    QStringView port;
    if (authority.startsWith(QLatin1Char('['))) {
        // An IPv6 address: its colons are not the port's.
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return target;
        host = authority.mid(1, close - 1);
        const QStringView after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return target;
        port = after.mid(1);
    } else if (const qsizetype colon = authority.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = authority.left(colon);
        port = authority.mid(colon + 1);
    }
    if (host.isEmpty())
        return target;
    if (!port.isEmpty()) {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        for (const QChar c : port) {
            if (!c.isDigit() || c.unicode() > 0x7F)
                ok = false;
        }
        if (!ok || number == 0 || number > 65535)
            return target;
        target.port = quint16(number);
    }

    // ASCII names go out exactly as written; others in their IDNA form.
    target.host = host.toString();
    if (!isAscii(host)) {
        target.host = QString::fromLatin1(QUrl::toAce(target.host));
        if (target.host.isEmpty())
            return target;
    }
    const bool ipv6 = target.host.contains(QLatin1Char(':'));
    target.hostHeader = ipv6 ? QLatin1Char('[') + target.host + QLatin1Char(']') : target.host;
    if (!port.isEmpty())
        target.hostHeader += QLatin1Char(':') + QString::number(target.port);
    target.valid = true;
    return target;
}
