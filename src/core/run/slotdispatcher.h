#pragma once

#include <QList>
#include <QObject>
#include <functional>

class SlotWorker;

// Hands a run's jobs, in their order, to the lowest idle worker, until none is left and
// every worker is idle again; then sends finished(false). After stop() or abort() no job
// starts any more, and finished(true) follows once every worker is idle. Driven by the
// workers' signals: it never waits in a loop, and a worker that ends inside its own start
// is handled after that start returns.
class SlotDispatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SlotDispatcher)

public:
    // hasJob: whether a job is left (it may skip jobs that no longer count);
    // startJob: starts the next job on the worker of that slot, or settles it without one.
    struct Source
    {
        std::function<bool()> hasJob;
        std::function<void(int slot)> startJob;
    };

    explicit SlotDispatcher(QObject *parent = nullptr);

    // The workers are not owned; they must outlive the run or be replaced by the next start.
    void start(const QList<SlotWorker *> &workers, Source source);
    // No further job starts; running ones end by themselves.
    void stop();
    // No further job starts, and every worker is told to abort.
    void abort();

    bool isRunning() const { return m_running; }
    bool anyBusy() const;

Q_SIGNALS:
    void finished(bool aborted);

private:
    void pump();
    void onWorkerChanged();
    void endIfDone();

    QList<SlotWorker *> m_workers;
    Source m_source;
    bool m_running = false;
    bool m_stopping = false;
    bool m_pumping = false;
    bool m_pumpAgain = false;
};
