#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/filelist/filelistmodel.h"
#include "core/filelist/mode.h"
#include "core/run/slotdispatcher.h"
#include "core/run/slotworker.h"
#include "core/search/groupparser.h"
#include "core/search/linkverifier.h"
#include "core/search/searchrun.h"

class HttpClient;

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
// transfer on its slot, parses the page into result rows, hands them to its run, and checks
// the size of every file found. It is idle again only when all of those checks have ended.
class cHTTPLinkFinder final : public SlotWorker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cHTTPLinkFinder)

public:
    // Adds a page's rows to the results and gives their ids, in order. The run that owns the
    // fetcher provides it, so the run alone writes the list.
    using RowSink = std::function<QList<FileListModel::RowId>(const QList<QStringList> &rows)>;

    cHTTPLinkFinder(int slot, RowSink addRows, QObject *parent = nullptr);
    ~cHTTPLinkFinder() override;

    bool IsFinished() const override { return m_finished; }
    void start(const PageRequest &request);
    void Abort();
    void abort() override { Abort(); }

    HttpClient &client() { return *m_client; }
    // The group message of the page fetched now or last.
    qint32 messageNumber() const { return m_request.messageNumber; }

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
    // A size check found the size of a row's file.
    void sizeFound(FileListModel::RowId row, const QString &size);
    // The page and all of its size checks ended.
    void pageDone();

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
    void showProgress(int percent);

    const int m_slot;
    const RowSink m_addRows;
    HttpClient *m_client = nullptr;
    PageRequest m_request;
    QList<PendingCheck> m_pending; // the page's files, in page order
    qsizetype m_nextCheck = 0;
    // The size checks, at most MaxChecksAtOnce, made as a page first needs them and reused.
    SlotDispatcher m_checks;
    int m_progress = 0; // what the slot's bar shows
    bool m_completing = false;
    bool m_finished = true;
    bool m_capped = false;
    bool m_aborted = false;
    bool m_pageWhole = false; // the page arrived whole: no failure, no abort
    int m_checkTimeoutMs = 30000;
};

// Writes a size check's size into a row's size cells (the shown and the hidden sort key).
void writeSize(FileListModel &files, Mode mode, FileListModel::RowId row, const QString &size);

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
