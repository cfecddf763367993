#pragma once

#include <QList>
#include <QObject>
#include <QString>

class SlotWorker;

// The transfer slots as rows of number, status text, URL text and progress (0-100).
// A run shows its workers here; the "Threads" tab shows it and the command-line program prints it.
class SlotBoard final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SlotBoard)

public:
    struct Slot
    {
        QString number;
        QString status = QStringLiteral("Idle");
        QString url;
        int progress = 0;
        QString detail; // bytes, speed and time left of the transfer ("" when none)
    };

    explicit SlotBoard(QObject *parent = nullptr);

    int count() const { return int(m_slots.size()); }
    const Slot &at(int index) const { return m_slots.at(index); }

    // Keeps slot 1 as it is and rebuilds slots 2..n fresh ("Idle", no URL, 0 %), numbered
    // from 1. count is clamped to 1..16.
    void resize(int count);
    // Every slot "Idle" again, with no URL, progress or detail: a new run starts.
    void clear();
    // Shows what the worker reports for its slots, for as long as the worker lives.
    void follow(const SlotWorker *worker);

    void setStatus(int index, const QString &text);
    void setUrl(int index, const QString &text);
    void setProgress(int index, int value);
    void setDetail(int index, const QString &text);

Q_SIGNALS:
    void slotsReset();
    void slotChanged(int index);

private:
    QList<Slot> m_slots;
};
