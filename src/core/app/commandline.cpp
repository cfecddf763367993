#include "core/app/commandline.h"

namespace CommandLine {

QString fromArguments(const QStringList &arguments)
{
    return arguments.mid(1).join(QLatin1Char(' '));
}

QString startupQueueFile(const QString &commandLine)
{
    static const QString Switch = QStringLiteral("-tbq");
    if (!commandLine.startsWith(Switch, Qt::CaseSensitive))
        return {};
    // Only spaces are trimmed: a tab or newline would be part of an odd but real name.
    QString rest = commandLine.mid(Switch.size());
    qsizetype begin = 0;
    qsizetype end = rest.size();
    while (begin < end && rest.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && rest.at(end - 1) == QLatin1Char(' '))
        --end;
    return rest.mid(begin, end - begin);
}

} // namespace CommandLine
