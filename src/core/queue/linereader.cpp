#include "core/queue/linereader.h"

#include <QIODevice>
#include <algorithm>

namespace {

constexpr qint64 ReadBytes = 64 * 1024;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

LineReader::LineReader(QIODevice &device, qsizetype maxLineBytes)
    : m_device(device), m_maxLineBytes(maxLineBytes), m_bufferStart(device.pos())
{}

LineReader::Result LineReader::next()
{
    m_line = {};
    qsizetype scanned = 0; // bytes after m_pos already known to hold no line end
    for (;;) {
        if (m_skipLf && m_pos < m_buffer.size()) {
            if (m_buffer.at(m_pos) == '\n')
                ++m_pos;
            m_skipLf = false;
        }
        const auto from = m_buffer.cbegin() + m_pos;
        const auto end = std::find_if(from + scanned, m_buffer.cend(), isLineEnd);
        const qsizetype length = end - from;
        if (length > m_maxLineBytes) {
            ++m_number;
            m_lineStart = m_bufferStart + m_pos;
            return Result::TooLong;
        }
        if (end != m_buffer.cend())
            return takeLine(length, true);
        scanned = length;
        if (!fill()) {
            if (m_failed)
                return Result::Failed;
            return length == 0 ? Result::End : takeLine(length, false);
        }
    }
}

LineReader::Result LineReader::takeLine(qsizetype length, bool ended)
{
    ++m_number;
    m_lineStart = m_bufferStart + m_pos;
    m_line = QByteArrayView(m_buffer).sliced(m_pos, length);
    m_pos += length;
    if (ended) {
        m_skipLf = m_buffer.at(m_pos) == '\r';
        ++m_pos;
    }
    return Result::Line;
}

bool LineReader::fill()
{
    // Drop what was returned before reading more, so the buffer holds one line at most.
    m_buffer.remove(0, m_pos);
    m_bufferStart += m_pos;
    m_pos = 0;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + ReadBytes);
    const qint64 got = m_device.read(m_buffer.data() + kept, ReadBytes);
    m_buffer.resize(kept + std::max<qint64>(got, 0));
    m_failed = got < 0;
    return got > 0;
}
