#include "core/download/retrypolicy.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace RetryPolicy {

bool isTransientStatus(int status)
{
    return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

int delayMs(int retry, int baseMs, double jitter, const QByteArray &retryAfter,
            const QDateTime &now)
{
    const QByteArray after = retryAfter.trimmed();
    if (!after.isEmpty()) {
        bool isNumber = false;
        const qint64 seconds = after.toLongLong(&isNumber);
        // Capped before multiplying, so no count of seconds overflows into a negative wait.
        if (isNumber && seconds >= 0)
            return int(std::min<qint64>(seconds, MaxDelayMs / 1000) * 1000);
        if (std::all_of(after.cbegin(), after.cend(), [](char c) { return c >= '0' && c <= '9'; }))
            return MaxDelayMs; // more seconds than 64 bits hold
        // An HTTP date: "Wed, 21 Oct 2026 07:28:00 GMT".
        const QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(after).chopped(4),
                                                       QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
        if (when.isValid() && after.endsWith(" GMT")) {
            QDateTime utc = when;
            utc.setTimeSpec(Qt::UTC);
            return int(std::clamp<qint64>(now.msecsTo(utc), 0, MaxDelayMs));
        }
    }
    const double exponential = double(baseMs) * std::pow(2.0, std::clamp(retry - 1, 0, 16));
    const double spread = 0.75 + 0.5 * std::clamp(jitter, 0.0, 1.0);
    return int(std::min(exponential * spread, double(MaxDelayMs)));
}

} // namespace RetryPolicy
