#include "core/search/texthelpers.h"

namespace TextHelpers {

QString StripTags(const QString &text)
{
    QString result;
    result.reserve(text.size());
    // Removing each first "<...>" and starting again from the front comes to one
    // left-to-right pass: text before a removed tag never holds a "<" with a ">" after it.
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), pos);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break;
        result += QStringView(text).mid(pos, open - pos);
        pos = close + 1;
    }
    result += QStringView(text).mid(pos);

    result.replace(QStringLiteral("&nbsp;"), QString());
    result.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    result.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    result.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    result.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return result;
}

QString GetLastPart(const QString &text, const QString &delimiter)
{
    if (delimiter.size() != 1)
        return text;
    const qsizetype at = text.lastIndexOf(delimiter.at(0));
    return at < 0 ? text : text.mid(at + 1);
}

} // namespace TextHelpers
