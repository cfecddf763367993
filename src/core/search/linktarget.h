#pragma once

#include <QString>

// Where a size check of a link goes and what it asks for. The parsers hand over
// "http://host/path" links: the first seven characters are skipped whatever they are, and
// the host runs up to the first "/". A user name and password before "@" never leave the
// program, a port after ":" is honoured, a host beyond ASCII goes out in its IDNA form
// ("xn--..."), and the fragment stays home.
struct LinkTarget
{
    bool valid = false;
    QString host; // the host to connect to (IDNA form, without brackets)
    quint16 port = 80;
    QString hostHeader; // the Host header's value: the host, and ":port" when one was written
    QString path;       // from the first "/" on, without the fragment
};

// valid is false when there is no "/" after the host, or the host or port cannot be used.
LinkTarget linkTarget(const QString &linkUrl);
