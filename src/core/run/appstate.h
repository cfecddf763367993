#pragma once

#include <QObject>
#include <QString>

// The run state of the main window, free of widgets: the abort flag, the kind of the
// current or last run, the status line and the overall progress. Only the runs write it;
// their workers report to them. The GUI shows it; the command-line program prints it;
// tests read it.
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

private:
    QString m_statusMessage;
    QString m_runDetail;
    Progress m_progress;
    bool m_runActive = false;
};
