#pragma once

#include <QString>

// Timeouts of a search's transfers; tests shorten them.
struct SearchTimeouts
{
    int pageMs = 60000;  // a page that sends nothing for this long ends
    int checkMs = 30000; // a size check that hears nothing for this long ends
};

// What went wrong in a search, for its end message and the command-line summary.
struct SearchReport
{
    int pagesFailed = 0;        // pages that could not be fetched whole
    qint64 sizesUnknown = 0;    // size checks that ended without a size
    qint64 checksTimedOut = 0;  // ... of them, those that heard nothing for the timeout
    bool noPictureList = false; // the album page came whole but held no picture list

    // "Finished search", with ", N pages failed" when some did.
    QString finishedText() const
    {
        QString text = QStringLiteral("Finished search");
        if (pagesFailed > 0)
            text += QStringLiteral(", %1 pages failed").arg(pagesFailed);
        return text;
    }
};
