#include "core/download/transfermeter.h"

#include <QLocale>
#include <cmath>

#include "core/filelist/totals.h"

void TransferMeter::sample(qint64 nowMs, qint64 bytes)
{
    if (!m_samples.empty() && bytes < m_samples.back().bytes)
        m_samples.clear(); // started again from zero
    m_samples.push_back({nowMs, bytes});
    // Keep one sample older than the window, so the window is always spanned.
    while (m_samples.size() > 2 && nowMs - m_samples[1].ms >= WindowMs)
        m_samples.pop_front();
}

double TransferMeter::bytesPerSecond() const
{
    if (m_samples.size() < 2)
        return 0;
    const Sample &first = m_samples.front();
    const Sample &last = m_samples.back();
    const qint64 ms = last.ms - first.ms;
    if (ms < 200)
        return 0; // too short to say
    return double(last.bytes - first.bytes) * 1000.0 / double(ms);
}

QString TransferMeter::duration(qint64 seconds)
{
    const qint64 h = seconds / 3600;
    const qint64 m = seconds / 60 % 60;
    const qint64 s = seconds % 60;
    const auto two = [](qint64 v) {
        return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
    };
    return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(two(m), two(s))
                 : QStringLiteral("%1:%2").arg(m).arg(two(s));
}

QString TransferMeter::dataSize(qint64 bytes)
{
    return formatDataSize(bytes);
}

QString TransferMeter::elapsed(qint64 ms)
{
    // A short run in whole seconds would not add up with its bytes and speed.
    if (ms < 9950)
        return QLocale().toString(double(std::max<qint64>(ms, 0)) / 1000.0, 'f', 1) +
               QStringLiteral(" s");
    return duration((ms + 500) / 1000);
}

QString TransferMeter::summary(qint64 bytes, qint64 ms)
{
    return QStringLiteral("%1 in %2 \u00b7 %3/s")
        .arg(dataSize(bytes), elapsed(ms),
             dataSize(qint64(double(bytes) * 1000.0 / double(std::max<qint64>(ms, 1)))));
}

QString TransferMeter::text(qint64 done, qint64 total, double speed)
{
    const auto size = &TransferMeter::dataSize;
    QStringList parts;
    if (total > 0) {
        parts.append(QStringLiteral("%1%").arg(std::min<qint64>(done * 100 / total, 100)));
        parts.append(QStringLiteral("%1 of %2").arg(size(done), size(total)));
    } else {
        parts.append(size(done));
    }
    if (speed > 0) {
        parts.append(size(qint64(speed)) + QStringLiteral("/s"));
        if (total > 0 && done < total)
            parts.append(duration(qint64(std::ceil(double(total - done) / speed))) +
                         QStringLiteral(" left"));
    }
    return parts.join(QStringLiteral(" \u00b7 "));
}
