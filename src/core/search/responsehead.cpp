#include "core/search/responsehead.h"

#include <limits>

namespace {

// "HTTP/1.1 200 OK": the three digits after the first space, or 0.
int statusCode(const QByteArray &head)
{
    if (!head.startsWith("HTTP/"))
        return 0;
    const qsizetype space = head.indexOf(' ');
    if (space < 0 || head.size() < space + 4)
        return 0;
    int code = 0;
    for (qsizetype i = space + 1; i < space + 4; ++i) {
        const char c = head.at(i);
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    const qsizetype after = space + 4;
    if (after < head.size() && head.at(after) != ' ' && head.at(after) != '\r')
        return 0;
    return code;
}

bool isSize(const QByteArray &value)
{
    if (value.isEmpty())
        return false;
    qint64 number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return false;
        const int digit = c - '0';
        if (number > (std::numeric_limits<qint64>::max() - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    return true;
}

// Only spaces are trimmed: a tab or anything else around the digits makes no size.
QByteArray trimSpaces(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == ' ')
        ++begin;
    while (end > begin && text.at(end - 1) == ' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

HeadResult parseResponseHead(const QByteArray &bytes, bool connectionClosed)
{
    HeadResult result;
    // The head may arrive over several reads; it is complete at its blank line (or when
    // the server closes the connection).
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0 && !connectionClosed)
        return result;
    result.complete = true;
    const QByteArray head = end < 0 ? bytes : bytes.left(end + 2);
    result.status = statusCode(head);
    // Header names are case-insensitive.
    const QByteArray lower = head.toLower();
    static const QByteArray Name = "content-length:";
    qsizetype at = -1;
    for (qsizetype from = 0; (at = lower.indexOf(Name, from)) >= 0; from = at + 1) {
        if (at == 0 || lower.at(at - 1) == '\n')
            break;
    }
    if (at < 0)
        return result;
    result.nameFound = true;
    const qsizetype lineEnd = head.indexOf("\r\n", at);
    if (lineEnd < 0 || result.status < 200 || result.status > 299)
        return result;
    const QByteArray value = trimSpaces(head.mid(at + Name.size(), lineEnd - at - Name.size()));
    if (isSize(value)) {
        result.hasLength = true;
        result.length = QString::fromLatin1(value);
    }
    return result;
}
