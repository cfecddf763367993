#include "core/run/slotdispatcher.h"

#include <algorithm>

#include "core/run/slotworker.h"

SlotDispatcher::SlotDispatcher(QObject *parent) : QObject(parent)
{}

// The workers go with their parent; none of them may call back into a half-gone dispatcher.
SlotDispatcher::~SlotDispatcher()
{
    for (SlotWorker *worker : std::as_const(m_workers))
        disconnect(worker, nullptr, this, nullptr);
}

void SlotDispatcher::add(SlotWorker *worker)
{
    worker->setParent(this);
    m_workers.append(worker);
    connect(worker, &SlotWorker::finishedChanged, this, &SlotDispatcher::onWorkerChanged);
}

void SlotDispatcher::start(Source source, int workers)
{
    m_active = workers < 0 ? size() : std::min(workers, size());
    m_source = std::move(source);
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

void SlotDispatcher::retire()
{
    m_running = false;
    m_source = {};
    for (SlotWorker *worker : std::as_const(m_workers))
        worker->disconnect();
    disconnect();
    deleteLater();
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
            while (slot < m_active && !m_workers.at(slot)->IsFinished())
                ++slot; // the lowest idle slot wins
            if (slot == m_active)
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
