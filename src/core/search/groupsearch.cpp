#include "core/search/groupsearch.h"

#include <algorithm>
#include <climits>

#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/run/slotdispatcher.h"
#include "core/search/messagemask.h"
#include "core/search/pagefetcher.h"

GroupSearch::GroupSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running)
            m_crew->abort();
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
        return false;
    }
    m_numbers = mask.numbers;
    m_next = 0;
    m_report = {};
    m_filters = params.filters;
    m_announced = false;
    m_state.setProgress({0, int(std::min<qsizetype>(m_numbers.size(), INT_MAX)), 0});

    if (m_crew)
        m_crew->retire(); // the last run's, idle since it ended
    m_crew = new SlotDispatcher(this);
    // A page that failed part-way may have given rows already; found again, they are the
    // same rows, not new ones.
    m_known.clear();
    if (params.keepRows)
        for (int row = 0; row < m_files.rowCount(); ++row)
            m_known.insert(rowKey(m_files.cells(row)), m_files.idAt(row));
    const auto addRows = [this](const QList<QStringList> &rows) {
        return m_known.isEmpty() ? m_files.addRows(rows) : addNewRows(rows);
    };
    for (int slot = 0; slot < std::max(1, params.threads); ++slot) {
        auto *fetcher = new cHTTPLinkFinder(slot, addRows);
        fetcher->client().setInactivityTimeout(params.timeouts.pageMs);
        fetcher->setCheckTimeout(params.timeouts.checkMs);
        connect(fetcher, &cHTTPLinkFinder::pageFailed, this,
                [this, fetcher](const QString &url, const QString &reason) {
                    m_report.addFailure({fetcher->messageNumber(), url, reason});
                    Q_EMIT pageFailed(url, reason);
                });
        connect(fetcher, &cHTTPLinkFinder::checkEnded, this,
                [this](cDsckLinkVerifier::Outcome outcome) { countCheck(m_report, outcome); });
        connect(fetcher, &cHTTPLinkFinder::sizeFound, this,
                [this](FileListModel::RowId row, const QString &size) {
                    writeSize(m_files, Mode::Yahoo, row, size);
                });
        connect(fetcher, &cHTTPLinkFinder::pageDone, this,
                [this] { m_state.setProgressValue(m_state.progress().value + 1); });
        m_board.follow(fetcher);
        m_crew->add(fetcher);
    }
    connect(m_crew, &SlotDispatcher::finished, this, &GroupSearch::end);
    if (!params.keepRows)
        m_files.clear();
    m_board.clear();
    m_state.setRunDetail(QString());
    m_running = true;
    m_state.setRunActive(true);
    m_crew->start({[this] { return hasPage(); },
                   [this](int slot) {
                       startPage(slot);
                   }});
    return true;
}

QString GroupSearch::rowKey(const QStringList &cells)
{
    return cells.value(0) + QLatin1Char('\t') + cells.value(fileUrlColumn(Mode::Yahoo));
}

QList<FileListModel::RowId> GroupSearch::addNewRows(const QList<QStringList> &rows)
{
    QList<QStringList> fresh;
    for (const QStringList &cells : rows)
        if (!m_known.contains(rowKey(cells)))
            fresh.append(cells);
    const QList<FileListModel::RowId> added = m_files.addRows(fresh);
    QList<FileListModel::RowId> ids;
    qsizetype next = 0;
    for (const QStringList &cells : rows) {
        const QString key = rowKey(cells);
        if (!m_known.contains(key))
            m_known.insert(key, added.value(next++));
        ids.append(m_known.value(key));
    }
    return ids;
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
    m_crew->worker<cHTTPLinkFinder>(slot)->start(request);
    if (m_state.AbortRequested)
        m_crew->abort();
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
