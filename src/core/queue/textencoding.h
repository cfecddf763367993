#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Queue files were written one byte per character in Windows-1252. We read UTF-8 when the
// bytes are valid UTF-8 (files of newer versions, names outside Windows-1252), else
// Windows-1252; we write Windows-1252 whenever every character fits, so older versions
// keep reading our files, and UTF-8 otherwise, so no character is lost.
namespace TextEncoding {

enum class Encoding
{
    Windows1252,
    Utf8,
};

// UTF-8 when the bytes are valid UTF-8 (a leading byte order mark is dropped), else
// Windows-1252.
QString decodeText(const QByteArray &bytes);

// Windows-1252 to text; the five unassigned bytes become U+0081, U+008D, ... like Latin-1.
QString fromWindows1252(QByteArrayView bytes);
// UTF-8 to text, a byte order mark included: within a file it is a character.
QString fromUtf8(QByteArrayView bytes);
bool isUtf8(QByteArrayView bytes);

// Appends text in the encoding; a character Windows-1252 lacks is written as "?".
void append(QStringView text, Encoding encoding, QByteArray &out);

// Chooses the encoding of a text written in pieces, without building its bytes: Windows-1252
// when every character fits, unless those bytes would read back as other text because they
// also form valid UTF-8 ("Ã©" is C3 A9, UTF-8 for "é"); else UTF-8. The pieces must be
// separated by ASCII in the written text, as the fields and lines of a file are.
class EncodingChooser
{
public:
    void add(QStringView text);
    Encoding encoding() const;

private:
    bool m_fits = true;
    bool m_ascii = true;
    bool m_validUtf8 = true;
};

} // namespace TextEncoding
