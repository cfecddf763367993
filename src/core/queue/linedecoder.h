#pragma once

#include <QByteArrayView>
#include <QString>

class QIODevice;

// Decodes the lines of one file by the encoding of the whole file: UTF-8 when all of its bytes
// are valid UTF-8, else Windows-1252. The file is never held whole for that: lines of plain
// ASCII read the same either way, and at the first other line the rest of the file is checked
// once, line by line, from that line on.
class LineDecoder
{
public:
    LineDecoder(QIODevice &device, qsizetype maxLineBytes);

    // A line read from the device, whose first byte stands at lineStart.
    QString decode(QByteArrayView line, qint64 lineStart);

private:
    bool restIsUtf8(QByteArrayView line, qint64 lineStart);

    enum class State
    {
        Undecided,
        Utf8,
        Windows1252,
    };

    QIODevice &m_device;
    const qsizetype m_maxLineBytes;
    State m_state = State::Undecided;
};
