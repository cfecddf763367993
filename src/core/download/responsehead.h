#pragma once

#include <QByteArray>
#include <QString>

// Reads the announced length from the bytes of an HTTP response head received so far.
// Pure, so the size check's parsing can be tested and fuzzed without a socket.
struct HeadResult
{
    bool complete = false;  // the head ended at its blank line, or the connection closed
    bool nameFound = false; // a "Content-Length:" line starts somewhere in the head
    bool hasLength = false; // ... and its value ends with CR LF, so length is set
    QString length;         // the value, trimmed
};

// connectionClosed: no more bytes will come, so what arrived is the whole head.
HeadResult parseResponseHead(const QByteArray &bytes, bool connectionClosed);
