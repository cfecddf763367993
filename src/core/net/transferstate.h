#pragma once

#include <QString>
#include <algorithm>

// What a slot shows of an HTTP transfer, shared by the page fetcher and the downloader.
namespace TransferState {

// The status text of an HTTP client state; a null string for states that show nothing.
inline QString text(int state)
{
    switch (state) {
    case 1:
        return QStringLiteral("Starting request");
    case 2:
        return QStringLiteral("Resolving host");
    case 3:
        return QStringLiteral("Host resolved");
    case 4:
        return QStringLiteral("Connecting");
    case 5:
        return QStringLiteral("Connected");
    case 7:
        return QStringLiteral("Request sent");
    case 9:
        return QStringLiteral("Received response");
    case 13:
        return QStringLiteral("Response completed");
    default:
        return {};
    }
}

// The slot's bar after a progress event: the share of the announced size, or, without one,
// ten more than before but never past 99 until the transfer ends.
inline int progress(int current, qint64 count, qint64 size)
{
    if (size > 0)
        return int(std::clamp(double(count) * 100.0 / double(size), 0.0, 100.0));
    return std::min(current + 10, 99);
}

} // namespace TransferState
