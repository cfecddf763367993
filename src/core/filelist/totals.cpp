#include "core/filelist/totals.h"

#include <limits>

qint64 parseSizeCell(const QString &text)
{
    QStringView s = QStringView(text).trimmed();
    if (s.startsWith(u'+'))
        s = s.mid(1);
    if (s.isEmpty())
        return 0;

    // Read by hand: the cells are plain digits, and toLongLong()/toDouble() would accept
    // forms such as "1e5" or "inf" that a size cell never means.
    constexpr qint64 maxValue = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    qsizetype i = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        const int digit = s[i].unicode() - u'0';
        if (value > (maxValue - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    if (i == 0)
        return 0;
    if (i == s.size())
        return value;

    // A decimal size rounds to the nearest byte.
    if (s[i] != u'.')
        return 0;
    const qsizetype fractionStart = ++i;
    for (; i < s.size(); ++i) {
        if (s[i] < u'0' || s[i] > u'9')
            return 0;
    }
    if (fractionStart < s.size() && s[fractionStart] >= u'5' && value < maxValue)
        ++value;
    return value;
}

TotalsTexts formatTotals(const Totals &totals, const QLocale &locale)
{
    // QLocale::c() leaves the group separator out unless told otherwise.
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    const auto line = [&grouped](qint64 count, const char *what, qint64 bytes) {
        return QString::number(count) + QLatin1Char(' ') + QLatin1String(what) +
               QStringLiteral(", ") + grouped.toString(bytes) + QStringLiteral(" bytes");
    };
    return {line(totals.checkedCount, "checked", totals.checkedBytes),
            line(totals.selectedCount, "selected", totals.selectedBytes),
            line(totals.totalCount, "files", totals.totalBytes)};
}

QString formatDataSize(qint64 bytes, const QLocale &locale)
{
    // Qt picks the unit before rounding, so 999,990 bytes would read "1,000.0 kB": a value
    // that rounds up to the next unit is shown in that unit.
    for (qint64 unit = 1000 * 1000; unit <= qint64(1e15); unit *= 1000) {
        if (bytes < unit && bytes >= unit - unit / 20000) { // no product that could overflow
            bytes = unit;
            break;
        }
    }
    return locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

TotalsTexts formatShortTotals(const Totals &totals, const QLocale &locale)
{
    const auto line = [&locale](qint64 count, const char *what, qint64 bytes) {
        QString text = QString::number(count) + QLatin1Char(' ') + QLatin1String(what);
        if (count > 0)
            text += QStringLiteral(", ") + formatDataSize(bytes, locale);
        return text;
    };
    return {line(totals.checkedCount, "checked", totals.checkedBytes),
            line(totals.selectedCount, "selected", totals.selectedBytes),
            line(totals.totalCount, "files", totals.totalBytes)};
}
