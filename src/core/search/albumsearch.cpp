#include "core/search/albumsearch.h"

#include <QUrl>
#include <memory>

#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/run/slotdispatcher.h"
#include "core/search/pagefetcher.h"

AlbumSearch::AlbumSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running)
            m_crew->abort();
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

    if (m_crew)
        m_crew->retire(); // the last run's, idle since it ended
    m_crew = new SlotDispatcher(this);
    auto *fetcher =
        new cHTTPLinkFinder(0, [this](const QList<QStringList> &rows) { return addRows(rows); });
    fetcher->client().setInactivityTimeout(params.timeouts.pageMs);
    fetcher->setCheckTimeout(params.timeouts.checkMs);
    connect(fetcher, &cHTTPLinkFinder::pageFailed, this,
            [this](const QString &url, const QString &reason) {
                m_report.addFailure({std::nullopt, url, reason});
                Q_EMIT pageFailed(url, reason);
            });
    connect(fetcher, &cHTTPLinkFinder::pictureListMissing, this,
            [this] { m_report.noPictureList = true; });
    connect(fetcher, &cHTTPLinkFinder::checkEnded, this,
            [this](cDsckLinkVerifier::Outcome outcome) { countCheck(m_report, outcome); });
    connect(fetcher, &cHTTPLinkFinder::sizeFound, this,
            [this](FileListModel::RowId row, const QString &size) {
                writeSize(m_files, Mode::Zing, row, size);
            });
    m_board.follow(fetcher);
    m_crew->add(fetcher);
    connect(m_crew, &SlotDispatcher::finished, this, &AlbumSearch::end);
    m_board.clear();
    m_state.setRunDetail(QString());
    m_running = true;
    m_state.setRunActive(true);
    PageRequest request;
    request.url = pageUrl(params.albumUrl, params.password);
    request.mode = Mode::Zing;
    request.checkSlots = std::max(1, params.threads);
    auto asked = std::make_shared<bool>(false); // one page, on slot 1
    m_crew->start({[asked] { return !*asked; },
                   [this, asked, request](int slot) {
                       *asked = true;
                       m_crew->worker<cHTTPLinkFinder>(slot)->start(request);
                   }});
}

QList<quint64> AlbumSearch::addRows(const QList<QStringList> &rows)
{
    AppState::Progress progress = m_state.progress();
    progress.maximum = int(rows.size());
    progress.value += int(rows.size());
    m_state.setProgress(progress);
    return m_files.addRows(rows);
}

void AlbumSearch::end(bool aborted)
{
    if (!m_running)
        return;
    m_running = false;
    aborted = aborted || m_state.AbortRequested;
    m_state.setStatusMessage(aborted ? QStringLiteral("Search aborted") : m_report.finishedText());
    m_state.setRunActive(false);
    Q_EMIT finished(aborted);
}
