#include "core/download/filename.h"

QString CleanFileName(const QString &name)
{
    static const QString Forbidden = QStringLiteral("\\/:*?\"<>|");
    QString clean = name;
    for (QChar &c : clean) {
        if (Forbidden.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('_');
    }
    if (clean.isEmpty() || clean == QLatin1String(".") || clean == QLatin1String(".."))
        return QStringLiteral("_");
    return clean;
}
