#pragma once

#include <QByteArray>
#include <QString>

// Reads the announced length from the bytes of an HTTP response head received so far.
// Pure, so the size check's parsing can be tested and fuzzed without a socket.
struct HeadResult
{
    bool complete = false;  // the head ended at its blank line, or the connection closed
    int status = 0;         // the status code of an "HTTP/x.y NNN" first line, else 0
    bool nameFound = false; // a "Content-Length:" line starts somewhere in the head
    // A 2xx answer whose length value ends with CR LF, is all digits and fits in 64 bits
    // (signed); only then is length set. Any other answer's length says nothing of the file.
    bool hasLength = false;
    QString length; // the value, trimmed of spaces
};

// connectionClosed: no more bytes will come, so what arrived is the whole head.
HeadResult parseResponseHead(const QByteArray &bytes, bool connectionClosed);
