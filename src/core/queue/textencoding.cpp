#include "core/queue/textencoding.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>

namespace TextEncoding {

namespace {

// Bytes 0x80..0x9F; the rest of Windows-1252 is Latin-1. Qt's own converters only know
// this code page when built with ICU, so the 32 entries are spelled out here.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a character, or -1 when the code page lacks it.
int windows1252Byte(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    const auto found = std::find(HighControls.begin(), HighControls.end(), u);
    return found == HighControls.end() ? -1 : 0x80 + int(found - HighControls.begin());
}

} // namespace

QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(HighControls[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QString fromUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

bool isUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    // Decoding is the check; the text itself is not needed.
    [[maybe_unused]] const QString text = utf8.decode(bytes);
    return !utf8.hasError();
}

void append(QStringView text, Encoding encoding, QByteArray &out)
{
    if (encoding == Encoding::Utf8) {
        // Straight into out: a QByteArray per cell would cost a third of a save's time.
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        const qsizetype start = out.size();
        out.resize(start + utf8.requiredSpace(text.size()));
        out.resize(utf8.appendToBuffer(out.data() + start, text) - out.constData());
        return;
    }
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *dst = out.data() + start;
    for (const QChar ch : text) {
        const int byte = windows1252Byte(ch.unicode());
        *dst++ = byte < 0 ? '?' : static_cast<char>(byte);
    }
}

void EncodingChooser::add(QStringView text)
{
    if (!m_fits)
        return;
    bool ascii = true;
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80)
            continue;
        ascii = false;
        if (windows1252Byte(ch.unicode()) < 0) {
            m_fits = false;
            return;
        }
    }
    if (ascii)
        return;
    m_ascii = false;
    // Once one piece is no UTF-8, the whole text is none: the check is done.
    if (m_validUtf8) {
        QByteArray bytes;
        append(text, Encoding::Windows1252, bytes);
        m_validUtf8 = isUtf8(bytes);
    }
}

Encoding EncodingChooser::encoding() const
{
    return m_fits && (m_ascii || !m_validUtf8) ? Encoding::Windows1252 : Encoding::Utf8;
}

} // namespace TextEncoding
