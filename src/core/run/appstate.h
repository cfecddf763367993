#pragma once

#include <QList>
#include <QObject>
#include <QString>

class SlotWorker;

// The run state of the main window, free of widgets: the abort flag, the kind of the
// current or last run, the workers of the transfer slots, the status line and the overall
// progress. The GUI shows it; the command-line program prints it; tests read it.
class AppState final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppState)

public:
    struct Progress
    {
        int minimum = 0;
        int maximum = 100;
        int value = 0;
    };

    explicit AppState(QObject *parent = nullptr);
    ~AppState() override;

    bool AbortRequested = false;
    bool IsDownloading = false;
    QString QueueFileName;

    // The workers of the current or last run. Replacing them deletes the old ones.
    const QList<SlotWorker *> &colThreads() const { return m_threads; }
    void replaceThreads(const QList<SlotWorker *> &workers);
    bool AnyThreadBusy() const;

    // Asks the running search or download to stop; the driver reacts at its next step.
    void AbortAll();

    // A run (group search, album search or download) is active.
    bool isRunActive() const { return m_runActive; }
    void setRunActive(bool active);

    QString statusMessage() const { return m_statusMessage; }
    void setStatusMessage(const QString &text);

    Progress progress() const { return m_progress; }
    void setProgress(const Progress &progress);
    void setProgressValue(int value);

    // The download run's bytes, speed and time left ("" when none); shown with the overall bar.
    QString runDetail() const { return m_runDetail; }
    void setRunDetail(const QString &text);

Q_SIGNALS:
    // AbortAll() was called: a running driver stops handing out work.
    void abortRequested();
    void statusMessageChanged(const QString &text);
    void progressChanged();
    void runDetailChanged(const QString &text);
    void runActiveChanged(bool active);
    // Every worker of colThreads is idle now (also sent when they are replaced by none).
    void workersIdle();

private:
    void onWorkerFinishedChanged();

    QList<SlotWorker *> m_threads;
    QString m_statusMessage;
    QString m_runDetail;
    Progress m_progress;
    bool m_runActive = false;
};
