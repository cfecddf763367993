#include "core/download/downloadrun.h"

#include <utility>

#include "core/app/appstate.h"
#include "core/app/slotboard.h"
#include "core/download/downloadtarget.h"
#include "core/download/filedownloader.h"
#include "core/download/filename.h"
#include "core/filelist/columnset.h"
#include "core/net/httpclient.h"

DownloadRun::DownloadRun(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running && !m_aborting)
            beginAbort();
    });
}

int DownloadRun::CountChecked() const
{
    int count = 0;
    for (int row = 0; row < m_files.rowCount(); ++row)
        count += m_files.isChecked(row) ? 1 : 0;
    return count;
}

void DownloadRun::CreateDownloaders(int threads)
{
    QList<SlotWorker *> workers;
    m_downloaders.clear();
    for (int slot = 0; slot < std::max(1, threads); ++slot) {
        auto *downloader = new cHTTPDownloader(m_state, m_board, m_files, slot);
        downloader->client().setInactivityTimeout(m_params.timeoutMs);
        connect(downloader, &SlotWorker::finishedChanged, this, &DownloadRun::onWorkerChanged);
        connect(downloader, &cHTTPDownloader::fileDone, this, &DownloadRun::onFileDone);
        m_downloaders.append(downloader);
        workers.append(downloader);
    }
    m_state.replaceThreads(workers);
}

DownloadRun::Start DownloadRun::start(const Params &params)
{
    m_state.AbortRequested = false;
    m_state.IsDownloading = true;
    m_params = params;
    const int checked = CountChecked();
    CreateDownloaders(params.threads);
    if (checked < 1)
        return Start::NothingChecked;
    m_state.setProgress({0, checked, 0});
    if (params.folder.isEmpty())
        return Start::NoFolder;
    // A stored folder may lack its separator; the name must not be glued onto it.
    QString folder = params.folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_params.folder = folder;
    for (cHTTPDownloader *downloader : std::as_const(m_downloaders))
        downloader->DownloadFolder = folder;

    m_queue.clear();
    for (int row = 0; row < m_files.rowCount(); ++row) {
        if (m_files.isChecked(row))
            m_queue.append(m_files.idAt(row));
    }
    m_next = 0;
    m_claims.clear();
    m_claimOf.clear();
    m_succeeded = 0;
    m_failures.clear();
    m_aborting = false;
    m_running = true;
    m_state.setRunActive(true);
    Q_EMIT multiSelectChanged(false);
    pump();
    return Start::Started;
}

void DownloadRun::pump()
{
    // A downloader may end inside DownloadFile (a target it cannot write) and call back.
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    do {
        m_pumpAgain = false;
        while (m_running && !m_aborting && m_next < m_queue.size()) {
            const FileListModel::RowId id = m_queue.at(m_next);
            const int row = m_files.rowOf(id);
            if (row < 0 || !m_files.isChecked(row)) {
                ++m_next; // removed or unticked since the run started
                continue;
            }
            cHTTPDownloader *idle = nullptr;
            for (cHTTPDownloader *downloader : std::as_const(m_downloaders)) {
                if (downloader->IsFinished()) {
                    idle = downloader; // the lowest idle slot wins
                    break;
                }
            }
            if (!idle)
                break; // a downloader that becomes idle calls back
            ++m_next;
            Q_EMIT rowStarted(id);
            const QString url = m_files.cell(row, fileUrlColumn(m_params.mode));
            const QString name =
                claimName(id, m_files.cell(row, fileNameColumn(m_params.mode)), url);
            if (name.isEmpty())
                continue; // the same file as an earlier row: no slot needed
            idle->itmX = id;
            idle->sFileName = name;
            m_files.setRowMark(id, FileListModel::RowMark::Running);
            idle->DownloadFile(url);
        }
    } while (m_pumpAgain);
    m_pumping = false;
    if (m_running && !m_aborting && m_next >= m_queue.size() && !m_state.AnyThreadBusy())
        end(false);
}

QString DownloadRun::claimName(FileListModel::RowId row, const QString &cell, const QString &url)
{
    const QString name = downloadName(cell, url);
    QString free = name;
    for (int k = 2; m_claims.contains(free); ++k) {
        Claim &claim = m_claims[free];
        if (claim.url == url) {
            if (claim.state == Claim::State::Running)
                claim.followers.append(row);
            else
                settleFollower(row, claim.state == Claim::State::Written, m_params.folder + free,
                               claim.reason);
            return {};
        }
        free = numberedName(name, k);
    }
    Claim &claim = m_claims[free];
    claim.url = url;
    claim.owner = row;
    m_claimOf.insert(row, free);
    const bool renamed = free != CleanFileName(cell);
    m_files.setToolTip(row, renamed ? tr("Saved as %1").arg(free) : QString());
    if (renamed)
        Q_EMIT savedAs(row, cell, free);
    return free;
}

void DownloadRun::onFileDone(FileListModel::RowId row, bool ok, const QString &target,
                             const QString &reason)
{
    if (ok) {
        ++m_succeeded;
    } else {
        m_failures.append({target, reason});
        m_files.setToolTip(row, tr("Failed: %1").arg(reason));
    }
    Q_EMIT fileDone(row, ok, target, reason);
    const auto name = m_claimOf.constFind(row);
    if (name == m_claimOf.cend())
        return;
    Claim &claim = m_claims[*name];
    claim.state = ok ? Claim::State::Written : Claim::State::Failed;
    claim.reason = reason;
    for (const FileListModel::RowId follower : std::exchange(claim.followers, {}))
        settleFollower(follower, ok, target, reason);
}

void DownloadRun::settleFollower(FileListModel::RowId row, bool ok, const QString &target,
                                 const QString &reason)
{
    if (ok) {
        m_files.setChecked(m_files.rowOf(row), false);
        m_files.setRowMark(row, FileListModel::RowMark::None);
        ++m_succeeded;
    } else {
        m_files.setRowMark(row, FileListModel::RowMark::Failed);
        m_files.setToolTip(row, tr("Failed: %1").arg(reason));
        m_failures.append({target, reason});
    }
    m_state.setProgressValue(m_state.progress().value + 1);
    Q_EMIT fileDone(row, ok, target, reason);
}

void DownloadRun::beginAbort()
{
    m_aborting = true;
    for (cHTTPDownloader *downloader : std::as_const(m_downloaders))
        downloader->Abort();
    if (m_running && !m_state.AnyThreadBusy())
        end(true);
}

void DownloadRun::onWorkerChanged()
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

void DownloadRun::end(bool aborted)
{
    if (!m_running)
        return;
    m_running = false;
    // New files took their names without a sync each; one sync of the folder keeps them.
    if (m_succeeded > 0)
        syncFolder(m_params.folder);
    Q_EMIT multiSelectChanged(true);
    if (aborted) {
        m_state.setStatusMessage(QStringLiteral("Download aborted"));
    } else {
        QString text = QString::number(m_succeeded) + QStringLiteral(" files downloaded");
        if (!m_failures.isEmpty())
            text += QStringLiteral(", ") + QString::number(m_failures.size()) +
                    QStringLiteral(" failed");
        m_state.setStatusMessage(text);
    }
    m_state.setRunActive(false);
    Q_EMIT finished(aborted);
}
