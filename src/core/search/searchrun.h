#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Timeouts of a search's transfers; tests shorten them.
struct SearchTimeouts
{
    int pageMs = 60000;  // a page that sends nothing for this long ends
    int checkMs = 30000; // a size check that hears nothing for this long ends
};

// What went wrong in a search, for its end message and the command-line summary.
struct SearchReport
{
    // A page that could not be fetched whole, and why.
    struct FailedPage
    {
        std::optional<qint32> message; // the group's message; none for an album page
        QString url;
        QString reason;
    };

    static constexpr qsizetype MaxShownMask = 120;

    int pagesFailed = 0;        // pages that could not be fetched whole
    QList<FailedPage> failures; // ... each of them, in the order they failed
    qint64 sizesUnknown = 0;    // size checks that ended without a size
    qint64 checksTimedOut = 0;  // ... of them, those that heard nothing for the timeout
    bool noPictureList = false; // the album page came whole but held no picture list

    void addFailure(const FailedPage &page)
    {
        ++pagesFailed;
        failures.append(page);
    }

    // The failed messages as a message mask, ascending, runs written as ranges ("9-11,23");
    // "" when no group page failed.
    QString failedMask() const;
    // "3 pages failed: 9,23,31", "1 page failed" (an album page has no number); "" for none.
    // A mask longer than MaxShownMask characters is cut after a number, with ",…".
    QString failedText() const;
    // One line a failed page: "message 9: HTTP status 404", "album page: ...".
    QStringList failureLines() const;
    // "Finished search", with ", 3 pages failed: 9,23,31" when some did, and ": no picture
    // list on the album page (wrong password?)" when the album page held none.
    QString finishedText() const;
};
