#pragma once

#include <QList>
#include <QObject>
#include <functional>

class SlotWorker;

// The workers of one run and the hand-out of its jobs: each job, in its order, goes to the
// lowest idle worker until none is left and every worker is idle again; then finished(false)
// follows. After stop() or abort() no job starts any more, and finished(true) follows once
// every worker is idle. Driven by the workers' signals: it never waits in a loop, and a
// worker that ends inside its own start is handled after that start returns.
//
// The dispatcher owns its workers: they live exactly as long as it does, so no one holds a
// worker that a later run has thrown away. A run makes a new dispatcher for every start and
// retires the old one.
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
    ~SlotDispatcher() override;

    // Takes the worker of the next slot; it is deleted with the dispatcher.
    void add(SlotWorker *worker);
    int size() const { return int(m_workers.size()); }
    template <class Worker> Worker *worker(int slot) const
    {
        return static_cast<Worker *>(m_workers.at(slot));
    }

    // Hands out the source's jobs over the first `workers` workers (all of them when -1).
    void start(Source source, int workers = -1);
    // No further job starts; running ones end by themselves.
    void stop();
    // No further job starts, and every worker is told to abort.
    void abort();

    bool isRunning() const { return m_running; }
    bool anyBusy() const;

    // Cuts every connection from the dispatcher and its workers to anything else, and deletes
    // them once control is back in the event loop (this may be called from one of their own
    // signals). For a run that starts anew or goes away.
    void retire();

Q_SIGNALS:
    void finished(bool aborted);

private:
    void pump();
    void onWorkerChanged();
    void endIfDone();

    QList<SlotWorker *> m_workers; // owned, as children
    int m_active = 0;              // the slots of the current start
    Source m_source;
    bool m_running = false;
    bool m_stopping = false;
    bool m_pumping = false;
    bool m_pumpAgain = false;
};
