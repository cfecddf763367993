#include "core/download/responsehead.h"

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
    if (lineEnd >= 0) {
        result.hasLength = true;
        result.length =
            QString::fromLatin1(head.mid(at + Name.size(), lineEnd - at - Name.size())).trimmed();
    }
    return result;
}
