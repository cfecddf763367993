#include "core/search/messagemask.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace MessageMask {

namespace {

// A mask expanding to more numbers than this is refused: the list would otherwise take
// gigabytes ("-2000000000-2000000000" alone is 4e9 numbers), far beyond any real archive.
constexpr qint64 MaxNumbers = 10000000;

// Only the space character is trimmed; a tab or line break makes the piece unreadable.
QStringView trimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Plain decimal notation only: [sign] digits [. digits] [e [sign] digits], where the
// mantissa needs a digit on at least one side of the point. Checked by hand because
// QString::toDouble also takes "inf", "nan" and leading or trailing whitespace.
bool isDecimal(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype mantissaDigits = 0;
    while (i < n && isDigit(text.at(i))) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text.at(i))) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && isDigit(text.at(i))) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

// Ties go to the even neighbour, so 2.5 and 1.5 both give 2.
double roundHalfToEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

std::optional<qint32> toNumber(QStringView text)
{
    if (!isDecimal(text))
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = roundHalfToEven(value);
    if (rounded < double(std::numeric_limits<qint32>::min()) ||
        rounded > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(rounded);
}

// Appends the piece's numbers; false leaves `numbers` as it was.
bool expandPiece(QStringView piece, QList<qint32> &numbers)
{
    if (const auto single = toNumber(piece)) {
        if (numbers.size() + 1 > MaxNumbers)
            return false;
        numbers.append(*single);
        return true;
    }
    // The first "-" separates the bounds, so a negative lower bound never reads as a range.
    const qsizetype dash = piece.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return false;
    const auto lower = toNumber(trimSpaces(piece.left(dash)));
    const auto upper = toNumber(trimSpaces(piece.mid(dash + 1)));
    if (!lower || !upper || *upper <= *lower)
        return false;
    const qint64 count = qint64(*upper) - qint64(*lower) + 1;
    if (numbers.size() + count > MaxNumbers)
        return false;
    // Grown geometrically: reserving the exact size for each of many small ranges would copy
    // the whole list every time.
    const qsizetype needed = numbers.size() + qsizetype(count);
    if (numbers.capacity() < needed)
        numbers.reserve(std::max(needed, numbers.capacity() * 2));
    // Counted in 64 bits so an upper bound of INT32_MAX cannot overflow the loop variable.
    for (qint64 n = *lower; n <= *upper; ++n)
        numbers.append(qint32(n));
    return true;
}

} // namespace

Result ParseMessageMask(const QString &mask)
{
    Result result;
    qsizetype start = 0;
    while (true) {
        qsizetype comma = mask.indexOf(QLatin1Char(','), start);
        const qsizetype end = comma < 0 ? mask.size() : comma;
        const QStringView piece = trimSpaces(QStringView(mask).mid(start, end - start));
        if (!expandPiece(piece, result.numbers)) {
            result.numbers.clear();
            result.badPiece = piece.toString();
            return result;
        }
        if (comma < 0)
            break;
        start = comma + 1;
    }
    result.ok = true;
    return result;
}

} // namespace MessageMask
