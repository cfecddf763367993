#pragma once

#include <QString>
#include <deque>

// The speed of a transfer, smoothed over the last few seconds, and the text a slot shows of
// it: "45% · 12.3 of 27.1 MB · 2.4 MB/s · 0:06 left". Times come from the caller, so the
// numbers can be checked with a made-up clock.
class TransferMeter final
{
public:
    static constexpr qint64 WindowMs = 3000;

    void reset() { m_samples.clear(); }
    // bytes: all bytes done so far, at time nowMs.
    void sample(qint64 nowMs, qint64 bytes);
    // Bytes per second over the window; 0 until two samples are some time apart.
    double bytesPerSecond() const;

    // total < 0: not known. speed <= 0: not shown (nor the time left).
    static QString text(qint64 done, qint64 total, double speed);
    // "0:06", "12:05", "1:02:03"
    static QString duration(qint64 seconds);
    // "12.3 MB": formatDataSize() in the program's locale.
    static QString dataSize(qint64 bytes);
    // How long a run took: "0.3 s" below ten seconds, then as duration() ("0:12").
    static QString elapsed(qint64 ms);
    // What a transfer of bytes in ms came to: "1.5 MB in 0.3 s · 5.0 MB/s".
    static QString summary(qint64 bytes, qint64 ms);

private:
    struct Sample
    {
        qint64 ms;
        qint64 bytes;
    };
    std::deque<Sample> m_samples;
};
