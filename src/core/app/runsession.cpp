#include "core/app/runsession.h"

#include <QFileInfo>

#include "core/filelist/columnset.h"

RunSession::RunSession(QObject *parent)
    : QObject(parent), m_groupSearch(m_state, m_board, m_files),
      m_albumSearch(m_state, m_board, m_files), m_download(m_state, m_board, m_files)
{
    connect(&m_groupSearch, &GroupSearch::pageFailed, this, &RunSession::pageFailed);
    connect(&m_albumSearch, &AlbumSearch::pageFailed, this, &RunSession::pageFailed);
    connect(&m_groupSearch, &GroupSearch::finished, this, &RunSession::searchFinished);
    connect(&m_albumSearch, &AlbumSearch::finished, this, &RunSession::searchFinished);
    connect(&m_download, &DownloadRun::finished, this, &RunSession::downloadFinished);
}

RunSession::~RunSession() = default;

QString RunSession::refusalText(Refusal refusal, const QString &folder)
{
    switch (refusal) {
    case Refusal::Busy:
        return QStringLiteral("A search or download is running.");
    case Refusal::BadMask:
        return QStringLiteral("Wrong message mask.");
    case Refusal::NothingChecked:
        return QStringLiteral("Check files you want to download.");
    case Refusal::NoFolder:
        return QStringLiteral("Please select download folder.");
    case Refusal::BadFolder:
        return QStringLiteral("Cannot download into \"%1\": it is not a folder that can be "
                              "written to. Please select download folder.")
            .arg(folder);
    }
    return {};
}

void RunSession::setMode(Mode mode)
{
    m_mode = mode;
    m_files.setColumns(columnSet(mode));
    m_files.setSortKey(1);
    m_files.columnClick(0);
}

std::optional<RunSession::Refusal> RunSession::startSearch(const Search &search)
{
    if (m_state.isRunActive())
        return Refusal::Busy;
    m_searched = search.mode;
    if (search.mode == Mode::Yahoo) {
        GroupSearch::Params params;
        params.baseUrl = search.url;
        params.mask = search.mask;
        params.threads = search.threads;
        params.filters = search.filters;
        params.timeouts = search.timeouts;
        params.keepRows = search.keepRows;
        if (!m_groupSearch.start(params))
            return Refusal::BadMask;
        return std::nullopt;
    }
    AlbumSearch::Params params;
    params.albumUrl = search.url;
    params.password = search.mask;
    params.threads = search.threads;
    params.timeouts = search.timeouts;
    m_albumSearch.start(params);
    return std::nullopt;
}

std::optional<RunSession::Refusal> RunSession::startDownload(DownloadRun::Params params)
{
    if (m_state.isRunActive())
        return Refusal::Busy;
    params.mode = m_mode;
    // A typed folder is checked before anything starts, or every row would fail on its own.
    if (!params.folder.isEmpty() && m_download.CountChecked() > 0) {
        const QFileInfo folder(params.folder);
        if (!folder.isDir() || !folder.isWritable())
            return Refusal::BadFolder;
    }
    switch (m_download.start(params)) {
    case DownloadRun::Start::NothingChecked:
        return Refusal::NothingChecked;
    case DownloadRun::Start::NoFolder:
        return Refusal::NoFolder;
    case DownloadRun::Start::Started:
        break;
    }
    return std::nullopt;
}

const SearchReport &RunSession::searchReport() const
{
    return m_searched == Mode::Yahoo ? m_groupSearch.report() : m_albumSearch.report();
}
