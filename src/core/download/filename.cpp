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

// Part files and their records are ".NAME.tbpart" and ".NAME.tbpart.json": a row of such a
// name would take another row's, so its leading dot becomes "_".
QString notOurHiddenName(const QString &name)
{
    const bool hidden = name.startsWith(QLatin1Char('.')) &&
                        (name.endsWith(QLatin1String(".tbpart"), Qt::CaseInsensitive) ||
                         name.endsWith(QLatin1String(".tbpart.json"), Qt::CaseInsensitive));
    return hidden ? QLatin1Char('_') + name.mid(1) : name;
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
        return notOurHiddenName(clean);
    // Split before decoding, so an encoded "/" stays inside the last part (and is cleaned).
    const QByteArray path = QUrl(url).path(QUrl::FullyEncoded).toUtf8();
    return notOurHiddenName(
        CleanFileName(QUrl::fromPercentEncoding(path.mid(path.lastIndexOf('/') + 1))));
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
