#include "core/search/groupsearch.h"

#include <algorithm>
#include <climits>

#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/search/messagemask.h"
#include "core/search/pagefetcher.h"

GroupSearch::GroupSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running)
            m_dispatcher.abort();
    });
    connect(&m_dispatcher, &SlotDispatcher::finished, this, &GroupSearch::end);
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
        return false;
    }
    m_numbers = mask.numbers;
    m_next = 0;
    m_report = {};
    m_filters = params.filters;
    m_announced = false;
    m_state.setProgress({0, int(std::min<qsizetype>(m_numbers.size(), INT_MAX)), 0});

    QList<SlotWorker *> workers;
    m_fetchers.clear();
    for (int slot = 0; slot < std::max(1, params.threads); ++slot) {
        auto *fetcher = new cHTTPLinkFinder(m_state, m_board, m_files, slot);
        fetcher->client().setInactivityTimeout(params.timeouts.pageMs);
        fetcher->setCheckTimeout(params.timeouts.checkMs);
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
    m_dispatcher.start(workers, {[this] { return hasPage(); },
                                 [this](int slot) {
                                     startPage(slot);
                                 }});
    return true;
}

bool GroupSearch::hasPage()
{
    if (m_next >= m_numbers.size())
        return false;
    // The message next in line is named while it waits for a slot.
    if (!m_announced) {
        m_state.setStatusMessage(QStringLiteral("Processing message ") +
                                 QString::number(m_numbers.at(m_next)));
        m_announced = true;
    }
    return true;
}

void GroupSearch::startPage(int slot)
{
    const qint32 number = m_numbers.at(m_next++);
    m_announced = false;
    PageRequest request;
    request.url = m_base + QStringLiteral("message/") + QString::number(number);
    request.mode = Mode::Yahoo;
    request.messageNumber = number;
    request.filters = m_filters;
    m_fetchers.at(slot)->start(request);
    if (m_state.AbortRequested)
        m_dispatcher.abort();
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
