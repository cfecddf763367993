#include "core/queue/textencoding.h"

#include <QStringDecoder>
#include <array>

namespace TextEncoding {

namespace {

// Bytes 0x80..0x9F; the rest of Windows-1252 is Latin-1. Qt's own converters only know
// this code page when built with ICU, so the 32 entries are spelled out here.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(HighControls[byte - 0x80]) : QChar(byte);
    }
    return text;
}

bool toWindows1252(const QString &text, QByteArray *out)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *dst = bytes.data();
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *dst++ = static_cast<char>(u);
            continue;
        }
        int found = -1;
        for (int i = 0; i < int(HighControls.size()); ++i) {
            if (HighControls[i] == u) {
                found = i;
                break;
            }
        }
        if (found < 0)
            return false;
        *dst++ = static_cast<char>(0x80 + found);
    }
    *out = bytes;
    return true;
}

QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

QByteArray encodeText(const QString &text)
{
    QByteArray bytes;
    // Single bytes that also happen to form valid UTF-8 ("Ã©") would read back as other
    // characters; such a text is written as UTF-8.
    if (toWindows1252(text, &bytes) && decodeText(bytes) == text)
        return bytes;
    // Reading drops one leading byte order mark, so a text that itself starts with U+FEFF
    // gets a mark of its own in front; otherwise its first character would be lost.
    QByteArray utf8 = text.toUtf8();
    if (text.startsWith(QChar(0xFEFF)))
        utf8.prepend("\xef\xbb\xbf");
    return utf8;
}

} // namespace TextEncoding
