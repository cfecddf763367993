#pragma once

#include <QObject>
#include <QString>

// A transfer-slot worker of a run: a page fetcher or a size check during a search, a file
// downloader during a download. It is idle while IsFinished() is true.
//
// A worker belongs to the run that starts it and never writes shared state: it reports what
// its slots are to show through the signals below, and what it found or fetched through
// signals of its own, and the run that owns it writes rows, marks, slot texts and progress.
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

    // What a transfer slot is to show (a size check may show on another slot than its page's).
    void slotStatus(int slot, const QString &text);
    void slotUrl(int slot, const QString &text);
    void slotProgress(int slot, int percent);
    void slotDetail(int slot, const QString &text);
};
