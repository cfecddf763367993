#pragma once

#include <QByteArray>
#include <QString>

// Queue files were written one byte per character in Windows-1252. We read UTF-8 when the
// bytes are valid UTF-8 (files of newer versions, names outside Windows-1252), else
// Windows-1252; we write Windows-1252 whenever every character fits, so older versions
// keep reading our files, and UTF-8 otherwise, so no character is lost.
namespace TextEncoding {

QString decodeText(const QByteArray &bytes);
QByteArray encodeText(const QString &text);

// Windows-1252 both ways; fromWindows1252 maps the five unassigned bytes to U+0080..U+009F
// like Latin-1. toWindows1252 returns false when a character does not fit.
QString fromWindows1252(const QByteArray &bytes);
bool toWindows1252(const QString &text, QByteArray *out);

} // namespace TextEncoding
