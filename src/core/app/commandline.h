#pragma once

#include <QString>
#include <QStringList>

// The program's command line is the arguments after its own path, joined by single
// spaces; it names a queue file to open at start with "-tbq" in front.
namespace CommandLine {

QString fromArguments(const QStringList &arguments);

// The queue file named by a command line that begins exactly with "-tbq" (lower case),
// with the spaces around it removed; "" for any other command line. Quotes stay part of
// the name.
QString startupQueueFile(const QString &commandLine);

} // namespace CommandLine
