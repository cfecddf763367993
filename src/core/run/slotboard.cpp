#include "core/run/slotboard.h"

#include <algorithm>

#include "core/run/slotworker.h"

SlotBoard::SlotBoard(QObject *parent) : QObject(parent)
{
    Slot first;
    first.number = QStringLiteral("1");
    m_slots.append(first);
}

void SlotBoard::resize(int count)
{
    count = std::clamp(count, 1, 16);
    m_slots.resize(1);
    for (int i = 1; i < count; ++i) {
        Slot slot;
        slot.number = QString::number(i + 1);
        m_slots.append(slot);
    }
    Q_EMIT slotsReset();
}

void SlotBoard::clear()
{
    for (int index = 0; index < count(); ++index) {
        setStatus(index, QStringLiteral("Idle"));
        setUrl(index, QString());
        setProgress(index, 0);
        setDetail(index, QString());
    }
}

void SlotBoard::follow(const SlotWorker *worker)
{
    connect(worker, &SlotWorker::slotStatus, this, &SlotBoard::setStatus);
    connect(worker, &SlotWorker::slotUrl, this, &SlotBoard::setUrl);
    connect(worker, &SlotWorker::slotProgress, this, &SlotBoard::setProgress);
    connect(worker, &SlotWorker::slotDetail, this, &SlotBoard::setDetail);
}

void SlotBoard::setStatus(int index, const QString &text)
{
    if (index < 0 || index >= count() || m_slots[index].status == text)
        return;
    m_slots[index].status = text;
    Q_EMIT slotChanged(index);
}

void SlotBoard::setUrl(int index, const QString &text)
{
    if (index < 0 || index >= count() || m_slots[index].url == text)
        return;
    m_slots[index].url = text;
    Q_EMIT slotChanged(index);
}

void SlotBoard::setProgress(int index, int value)
{
    value = std::clamp(value, 0, 100);
    if (index < 0 || index >= count() || m_slots[index].progress == value)
        return;
    m_slots[index].progress = value;
    Q_EMIT slotChanged(index);
}

void SlotBoard::setDetail(int index, const QString &text)
{
    if (index < 0 || index >= count() || m_slots[index].detail == text)
        return;
    m_slots[index].detail = text;
    Q_EMIT slotChanged(index);
}
