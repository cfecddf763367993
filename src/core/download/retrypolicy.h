#pragma once

#include <QByteArray>
#include <QDateTime>

// When a failed transfer is worth another attempt, and how long to wait before it.
namespace RetryPolicy {

// 408, 429 and every 5xx may pass; other answers of the server are final.
bool isTransientStatus(int status);

// The wait before attempt number retry (1 for the first retry): about 1, 2, 4 s... from
// baseMs, spread by jitter (0 to 1) over 0.75 to 1.25 of that, so that slots that failed
// together do not all come back at once. A "Retry-After" of seconds or an HTTP date wins;
// every wait is capped at 60 s.
int delayMs(int retry, int baseMs, double jitter, const QByteArray &retryAfter,
            const QDateTime &now);

constexpr int MaxDelayMs = 60000;

} // namespace RetryPolicy
