#include "core/search/albumsearch.h"

#include "core/app/appstate.h"
#include "core/app/slotboard.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/search/pagefetcher.h"

AlbumSearch::AlbumSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running && m_fetcher && !m_fetcher->IsFinished())
            m_fetcher->Abort();
    });
}

AlbumSearch::~AlbumSearch() = default;

QString AlbumSearch::pageUrl(const QString &albumUrl, const QString &password)
{
    return albumUrl + QStringLiteral("&pwd=") + password + QStringLiteral("&agree_accept=Y");
}

void AlbumSearch::start(const Params &params)
{
    m_state.AbortRequested = false;
    m_state.IsDownloading = false;
    m_files.clear();
    AppState::Progress progress = m_state.progress();
    progress.minimum = 0;
    progress.value = 0;
    m_state.setProgress(progress);
    m_state.setStatusMessage(QStringLiteral("Getting album..."));

    if (m_fetcher)
        m_fetcher->deleteLater();
    m_fetcher = new cHTTPLinkFinder(m_state, m_board, m_files, 0, this);
    m_fetcher->sServerType = QStringLiteral("Zing");
    m_fetcher->NumThreads = std::max(1, params.threads);
    m_fetcher->client().setInactivityTimeout(params.timeouts.pageMs);
    m_fetcher->setCheckTimeout(params.timeouts.checkMs);
    connect(m_fetcher, &SlotWorker::finishedChanged, this, &AlbumSearch::onFetcherChanged);
    m_running = true;
    m_state.setRunActive(true);
    m_fetcher->GetURL(pageUrl(params.albumUrl, params.password));
    onFetcherChanged();
}

void AlbumSearch::onFetcherChanged()
{
    if (!m_running || !m_fetcher || !m_fetcher->IsFinished())
        return;
    m_running = false;
    const bool aborted = m_state.AbortRequested;
    m_state.setStatusMessage(aborted ? QStringLiteral("Search aborted")
                                     : QStringLiteral("Finished search"));
    m_state.setRunActive(false);
    Q_EMIT finished(aborted);
}
