#pragma once

#include <QObject>

// A transfer-slot worker of a run: a page fetcher during a group search, a file
// downloader during a download. It is idle while IsFinished() is true.
class SlotWorker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool IsFinished() const = 0;
    virtual void abort() = 0;

Q_SIGNALS:
    // IsFinished() changed.
    void finishedChanged();
};
