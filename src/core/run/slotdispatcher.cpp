#include "core/run/slotdispatcher.h"

#include "core/run/slotworker.h"

SlotDispatcher::SlotDispatcher(QObject *parent) : QObject(parent)
{}

void SlotDispatcher::start(const QList<SlotWorker *> &workers, Source source)
{
    for (SlotWorker *old : std::as_const(m_workers))
        disconnect(old, nullptr, this, nullptr);
    m_workers = workers;
    m_source = std::move(source);
    for (SlotWorker *worker : workers)
        connect(worker, &SlotWorker::finishedChanged, this, &SlotDispatcher::onWorkerChanged);
    m_running = true;
    m_stopping = false;
    pump();
}

void SlotDispatcher::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    if (!m_pumping)
        endIfDone();
}

void SlotDispatcher::abort()
{
    if (!m_running)
        return;
    m_stopping = true;
    for (SlotWorker *worker : std::as_const(m_workers))
        worker->abort();
    if (!m_pumping)
        endIfDone();
}

bool SlotDispatcher::anyBusy() const
{
    for (const SlotWorker *worker : m_workers) {
        if (!worker->IsFinished())
            return true;
    }
    return false;
}

void SlotDispatcher::pump()
{
    // A worker may end inside startJob and call back here; the outer call goes on.
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    do {
        m_pumpAgain = false;
        while (m_running && !m_stopping && m_source.hasJob()) {
            int slot = 0;
            while (slot < m_workers.size() && !m_workers.at(slot)->IsFinished())
                ++slot; // the lowest idle slot wins
            if (slot == m_workers.size())
                break; // a worker that becomes idle calls back
            m_source.startJob(slot);
        }
    } while (m_pumpAgain);
    m_pumping = false;
    endIfDone();
}

void SlotDispatcher::onWorkerChanged()
{
    if (!m_running)
        return;
    if (m_stopping) {
        if (!m_pumping)
            endIfDone();
        return;
    }
    pump();
}

void SlotDispatcher::endIfDone()
{
    if (!m_running || anyBusy())
        return;
    if (!m_stopping && m_source.hasJob())
        return;
    m_running = false;
    Q_EMIT finished(m_stopping);
}
