#include "core/queue/linedecoder.h"

#include <QIODevice>
#include <algorithm>

#include "core/queue/linereader.h"
#include "core/queue/textencoding.h"

LineDecoder::LineDecoder(QIODevice &device, qsizetype maxLineBytes)
    : m_device(device), m_maxLineBytes(maxLineBytes)
{}

QString LineDecoder::decode(QByteArrayView line, qint64 lineStart)
{
    if (m_state == State::Undecided) {
        const bool ascii =
            std::all_of(line.begin(), line.end(), [](char c) { return uchar(c) < 0x80; });
        if (ascii)
            return QString::fromLatin1(line);
        m_state = restIsUtf8(line, lineStart) ? State::Utf8 : State::Windows1252;
    }
    return m_state == State::Utf8 ? TextEncoding::fromUtf8(line)
                                  : TextEncoding::fromWindows1252(line);
}

bool LineDecoder::restIsUtf8(QByteArrayView line, qint64 lineStart)
{
    if (!TextEncoding::isUtf8(line))
        return false;
    // A device that cannot go back (a pipe) is judged by this line alone.
    const qint64 resume = m_device.pos();
    if (m_device.isSequential() || !m_device.seek(lineStart))
        return true;
    LineReader rest(m_device, m_maxLineBytes);
    bool utf8 = true;
    // An over-long line or a read error ends the reading there, so the check ends there too.
    while (utf8 && rest.next() == LineReader::Result::Line)
        utf8 = TextEncoding::isUtf8(rest.line());
    m_device.seek(resume);
    return utf8;
}
