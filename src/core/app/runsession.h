#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "core/download/downloadrun.h"
#include "core/filelist/filelistmodel.h"
#include "core/filelist/mode.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/search/albumsearch.h"
#include "core/search/groupparser.h"
#include "core/search/groupsearch.h"
#include "core/search/searchrun.h"

// One window's or one command's work: the run state, the transfer slots, the result rows,
// and the searches and download that fill and use them. The window and trawlbay-cli
// both start their runs here, so both behave alike; they only show what happens.
class RunSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunSession)

public:
    // Why a run did not start.
    enum class Refusal
    {
        Busy,           // another run is active
        BadMask,        // the message range cannot be read
        NothingChecked, // no row is ticked
        NoFolder,       // no download folder is chosen
        BadFolder,      // the folder is not an existing folder that can be written
    };
    // The message the window shows for a refusal; folder is the one refused.
    static QString refusalText(Refusal refusal, const QString &folder = {});

    struct Search
    {
        Mode mode = Mode::Yahoo;
        QString url;
        QString mask; // the message range, or the album's password
        int threads = 4;
        GroupParser::Filters filters;
        SearchTimeouts timeouts;
        bool keepRows = false; // group: the rows found before stay, the new ones join them
    };

    explicit RunSession(QObject *parent = nullptr);
    ~RunSession() override;

    AppState &state() { return m_state; }
    SlotBoard &board() { return m_board; }
    FileListModel &files() { return m_files; }
    DownloadRun &download() { return m_download; }

    // The columns of a mode, sorted ascending by the first one; the rows stay.
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }

    std::optional<Refusal> startSearch(const Search &search);
    // params.mode is the session's mode.
    std::optional<Refusal> startDownload(DownloadRun::Params params);

    // What went wrong in the current or last search.
    const SearchReport &searchReport() const;

    // A group search or a download has workers that have not ended. (The album search's
    // single page is not waited for when the window closes.)
    bool workersBusy() const { return m_groupSearch.isRunning() || m_download.isRunning(); }

Q_SIGNALS:
    // A search's page could not be fetched whole.
    void pageFailed(const QString &url, const QString &reason);
    void searchFinished(bool aborted);
    void downloadFinished(bool aborted);

private:
    AppState m_state;
    SlotBoard m_board;
    FileListModel m_files;
    GroupSearch m_groupSearch;
    AlbumSearch m_albumSearch;
    DownloadRun m_download;
    Mode m_mode = Mode::Zing;
    Mode m_searched = Mode::Zing;
};
