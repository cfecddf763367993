#include "core/download/filename.h"

#include <QUrl>

namespace {

QString replaceForbidden(const QString &name)
{
    static const QString Forbidden = QStringLiteral("\\/:*?\"<>|");
    QString clean = name;
    for (QChar &c : clean) {
        if (Forbidden.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('_');
    }
    return clean;
}

bool saysNothing(const QString &name)
{
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

} // namespace

QString CleanFileName(const QString &name)
{
    const QString clean = replaceForbidden(name);
    return saysNothing(clean) ? QStringLiteral("_") : clean;
}

QString downloadName(const QString &name, const QString &url)
{
    const QString clean = replaceForbidden(name);
    if (!saysNothing(clean))
        return clean;
    // Split before decoding, so an encoded "/" stays inside the last part (and is cleaned).
    const QByteArray path = QUrl(url).path(QUrl::FullyEncoded).toUtf8();
    return CleanFileName(QUrl::fromPercentEncoding(path.mid(path.lastIndexOf('/') + 1)));
}

QString numberedName(const QString &name, int k)
{
    // The number goes before the extension; ".tar.gz" and the like count as one extension,
    // and a leading dot (".profile") is part of the name.
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype tar = name.lastIndexOf(QLatin1String(".tar."), -1, Qt::CaseInsensitive);
    if (tar > 0 && name.indexOf(QLatin1Char('.'), tar + 5) < 0)
        dot = tar;
    if (dot <= 0)
        dot = name.size();
    return name.left(dot) + QStringLiteral(" (%1)").arg(k) + name.mid(dot);
}
