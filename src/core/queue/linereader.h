#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

// Reads a device line by line. Lines end with CR LF, a bare LF or a bare CR; a final line end
// opens no new line. At most one line and one read's worth of bytes are held, so a line
// longer than the limit is refused rather than read whole.
class LineReader
{
public:
    enum class Result
    {
        Line,    // line() holds the next line, without its line end
        End,     // no more lines
        TooLong, // the line numbered lineNumber() is longer than the limit
        Failed,  // the device could not be read
    };

    LineReader(QIODevice &device, qsizetype maxLineBytes);

    Result next();
    // The line last read; valid until the next call.
    QByteArrayView line() const { return m_line; }
    // 1-based number of the line last read or refused.
    qint64 lineNumber() const { return m_number; }
    // Device position of the first byte of that line.
    qint64 lineStart() const { return m_lineStart; }

private:
    Result takeLine(qsizetype length, bool ended);
    // Reads more bytes after those not yet returned; false at the end or on an error.
    bool fill();

    QIODevice &m_device;
    const qsizetype m_maxLineBytes;
    QByteArray m_buffer;
    qsizetype m_pos = 0;      // first byte of m_buffer not yet returned
    qint64 m_bufferStart = 0; // device position of m_buffer[0]
    QByteArrayView m_line;
    qint64 m_number = 0;
    qint64 m_lineStart = 0;
    bool m_skipLf = false; // the last line ended with CR, which may pair with an LF
    bool m_failed = false;
};
