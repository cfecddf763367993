#pragma once

#include <QList>
#include <QString>

#include "core/filelist/filelistmodel.h"
#include "core/filelist/mode.h"
#include "core/run/slotdispatcher.h"
#include "core/run/slotworker.h"
#include "core/search/groupparser.h"
#include "core/search/linkverifier.h"
#include "core/search/searchrun.h"

class AppState;
class HttpClient;
class SlotBoard;

// One page for a slot to fetch, and how to read it.
struct PageRequest
{
    QString url;
    Mode mode = Mode::Yahoo;
    qint32 messageNumber = 0; // the group's message of the page
    int checkSlots = 1;       // album: the slots over which the size checks are spread
    GroupParser::Filters filters;
};

// The worker of one transfer slot during a search: fetches one page at a time, shows the
// transfer on its slot, parses the page into result rows, and checks the size of every
// file found. It is idle again only when all of those checks have ended.
class cHTTPLinkFinder final : public SlotWorker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cHTTPLinkFinder)

public:
    cHTTPLinkFinder(AppState &state, SlotBoard &board, FileListModel &files, int slot,
                    QObject *parent = nullptr);
    ~cHTTPLinkFinder() override;

    bool IsFinished() const override { return m_finished; }
    void start(const PageRequest &request);
    void Abort();
    void abort() override { Abort(); }

    HttpClient &client() { return *m_client; }

    // How many size checks of one page run at once; the others wait their turn as plain
    // records, without a socket or an object of their own.
    static constexpr int MaxChecksAtOnce = 8;
    // A page larger than this is cut off there, and counts as failed.
    static constexpr qint64 MaxPageBytes = 16 * 1024 * 1024;
    void setCheckTimeout(int milliseconds) { m_checkTimeoutMs = milliseconds; }

Q_SIGNALS:
    // The page could not be fetched whole; sent when its transfer ends, before the parse.
    void pageFailed(const QString &url, const QString &reason);
    // An album page that arrived whole has no picture list (a wrong password, say).
    void pictureListMissing();
    void checkEnded(cDsckLinkVerifier::Outcome outcome);

private:
    // A found file whose size check has not started yet.
    struct PendingCheck
    {
        QString url;
        QString fileName;
        FileListModel::RowId row = 0;
        int slot = 0;
    };

    void onProgress(qint64 count, qint64 size);
    void onState(int state);
    QString failureReason() const;
    void ParsePage(const QString &page);
    void addGroupRows(const QString &page);
    void addAlbumRows(const QString &page);
    void startChecks();
    void startCheck(int slot);
    void completePage();
    void setFinished(bool finished);

    AppState &m_state;
    SlotBoard &m_board;
    FileListModel &m_files;
    const int m_slot;
    HttpClient *m_client = nullptr;
    PageRequest m_request;
    QList<PendingCheck> m_pending; // the page's files, in page order
    qsizetype m_nextCheck = 0;
    QList<cDsckLinkVerifier *> m_checks; // at most MaxChecksAtOnce, reused page to page
    SlotDispatcher m_checkDispatcher;
    int m_sizeColumn = 0;
    int m_hiddenSizeColumn = 0;
    bool m_completing = false;
    bool m_finished = true;
    bool m_capped = false;
    bool m_aborted = false;
    bool m_pageWhole = false; // the page arrived whole: no failure, no abort
    int m_checkTimeoutMs = 30000;
};

// Adds the end of a size check to a search's report: every check that gave no size counts.
inline void countCheck(SearchReport &report, cDsckLinkVerifier::Outcome outcome)
{
    using Outcome = cDsckLinkVerifier::Outcome;
    if (outcome == Outcome::Size || outcome == Outcome::None)
        return;
    ++report.sizesUnknown;
    if (outcome == Outcome::TimedOut)
        ++report.checksTimedOut;
}
