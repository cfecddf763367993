#pragma once

#include <QString>

#include "core/queue/queuefile.h"

// A queue file error as the terminal says it: the window's message box shows the error's
// number, a terminal user needs only the words ("cannot open q.tbq: No such file or
// directory", "q.tbq: line 7: a Yahoo row needs 6 fields, found 3").
inline QString queueErrorText(const QString &path, const QueueFile::Error &error)
{
    if (error.code == QueueFile::Error::MissingField || error.code == QueueFile::Error::UnknownMode)
        return path + QStringLiteral(": ") + error.description;
    QString text = error.description;
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}
