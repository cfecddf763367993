#include "core/search/albumsearch.h"

#include <QUrl>

#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"
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
    return albumUrl + QStringLiteral("&pwd=") +
           QString::fromLatin1(QUrl::toPercentEncoding(password)) +
           QStringLiteral("&agree_accept=Y");
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
    m_report = {};

    if (m_fetcher)
        m_fetcher->deleteLater();
    m_fetcher = new cHTTPLinkFinder(m_state, m_board, m_files, 0, this);
    m_fetcher->client().setInactivityTimeout(params.timeouts.pageMs);
    m_fetcher->setCheckTimeout(params.timeouts.checkMs);
    connect(m_fetcher, &SlotWorker::finishedChanged, this, &AlbumSearch::onFetcherChanged);
    connect(m_fetcher, &cHTTPLinkFinder::pageFailed, this,
            [this](const QString &url, const QString &reason) {
                ++m_report.pagesFailed;
                Q_EMIT pageFailed(url, reason);
            });
    connect(m_fetcher, &cHTTPLinkFinder::pictureListMissing, this,
            [this] { m_report.noPictureList = true; });
    connect(m_fetcher, &cHTTPLinkFinder::checkEnded, this,
            [this](cDsckLinkVerifier::Outcome outcome) { countCheck(m_report, outcome); });
    m_running = true;
    m_state.setRunActive(true);
    PageRequest request;
    request.url = pageUrl(params.albumUrl, params.password);
    request.mode = Mode::Zing;
    request.checkSlots = std::max(1, params.threads);
    m_fetcher->start(request);
    onFetcherChanged();
}

void AlbumSearch::onFetcherChanged()
{
    if (!m_running || !m_fetcher || !m_fetcher->IsFinished())
        return;
    m_running = false;
    const bool aborted = m_state.AbortRequested;
    // A page without a picture list ends silently here; the command line warns of it.
    m_state.setStatusMessage(aborted ? QStringLiteral("Search aborted") : m_report.finishedText());
    m_state.setRunActive(false);
    Q_EMIT finished(aborted);
}
