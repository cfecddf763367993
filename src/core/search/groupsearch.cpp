#include "core/search/groupsearch.h"

#include <algorithm>
#include <climits>

#include "core/app/appstate.h"
#include "core/app/slotboard.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/search/messagemask.h"
#include "core/search/pagefetcher.h"

GroupSearch::GroupSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running && !m_aborting)
            beginAbort();
    });
}

bool GroupSearch::start(const Params &params)
{
    m_state.AbortRequested = false;
    m_state.IsDownloading = false;
    m_base = params.baseUrl;
    if (!m_base.endsWith(QLatin1Char('/')))
        m_base += QLatin1Char('/');

    const MessageMask::Result mask = MessageMask::ParseMessageMask(params.mask);
    if (!mask.ok) {
        m_state.setStatusMessage(QStringLiteral("Error parsing message mask"));
        Q_EMIT maskRefused(mask.badPiece);
        return false;
    }
    m_numbers = mask.numbers;
    m_next = 0;
    m_report = {};
    m_aborting = false;
    m_announced = false;
    m_state.setProgress({0, int(std::min<qsizetype>(m_numbers.size(), INT_MAX)), 0});

    QList<SlotWorker *> workers;
    m_fetchers.clear();
    for (int slot = 0; slot < std::max(1, params.threads); ++slot) {
        auto *fetcher = new cHTTPLinkFinder(m_state, m_board, m_files, slot);
        fetcher->sServerType = QStringLiteral("Yahoo");
        fetcher->filters = params.filters;
        fetcher->client().setInactivityTimeout(params.timeouts.pageMs);
        fetcher->setCheckTimeout(params.timeouts.checkMs);
        connect(fetcher, &SlotWorker::finishedChanged, this, &GroupSearch::onWorkerChanged);
        connect(fetcher, &cHTTPLinkFinder::pageFailed, this,
                [this](const QString &url, const QString &reason) {
                    ++m_report.pagesFailed;
                    Q_EMIT pageFailed(url, reason);
                });
        connect(fetcher, &cHTTPLinkFinder::checkEnded, this,
                [this](cDsckLinkVerifier::Outcome outcome) { countCheck(m_report, outcome); });
        m_fetchers.append(fetcher);
        workers.append(fetcher);
    }
    m_state.replaceThreads(workers);
    m_files.clear();
    m_running = true;
    m_state.setRunActive(true);
    pump();
    return true;
}

void GroupSearch::pump()
{
    // A fetcher may finish inside GetURL and call back here; the outer call goes on.
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    do {
        m_pumpAgain = false;
        while (m_running && !m_aborting && m_next < m_numbers.size()) {
            const qint32 number = m_numbers.at(m_next);
            if (!m_announced) {
                m_state.setStatusMessage(QStringLiteral("Processing message ") +
                                         QString::number(number));
                m_announced = true;
            }
            cHTTPLinkFinder *idle = nullptr;
            for (cHTTPLinkFinder *fetcher : std::as_const(m_fetchers)) {
                if (fetcher->IsFinished()) {
                    idle = fetcher; // the lowest idle slot wins
                    break;
                }
            }
            if (!idle)
                break; // a fetcher that becomes idle calls back
            m_announced = false;
            ++m_next;
            idle->MsgNo = number;
            idle->GetURL(m_base + QStringLiteral("message/") + QString::number(number));
            if (m_state.AbortRequested && !m_aborting)
                beginAbort();
        }
    } while (m_pumpAgain);
    m_pumping = false;
    if (m_running && !m_aborting && m_next >= m_numbers.size() && !m_state.AnyThreadBusy())
        end(false);
}

void GroupSearch::beginAbort()
{
    m_aborting = true;
    for (cHTTPLinkFinder *fetcher : std::as_const(m_fetchers))
        fetcher->Abort();
    if (m_running && !m_state.AnyThreadBusy())
        end(true);
}

void GroupSearch::onWorkerChanged()
{
    if (!m_running)
        return;
    if (m_aborting) {
        if (!m_state.AnyThreadBusy())
            end(true);
        return;
    }
    pump();
}

void GroupSearch::end(bool aborted)
{
    if (!m_running)
        return;
    m_running = false;
    m_state.setStatusMessage(aborted ? QStringLiteral("Search aborted") : m_report.finishedText());
    m_state.setRunActive(false);
    Q_EMIT finished(aborted);
}
