#include "core/download/downloadrun.h"

#include "core/app/appstate.h"
#include "core/app/slotboard.h"
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
        connect(downloader, &cHTTPDownloader::fileDone, this,
                [this](FileListModel::RowId row, bool ok, const QString &target,
                       const QString &reason) {
                    if (ok)
                        ++m_succeeded;
                    else
                        m_failures.append({target, reason});
                    Q_EMIT fileDone(row, ok, target, reason);
                });
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
    for (cHTTPDownloader *downloader : std::as_const(m_downloaders))
        downloader->DownloadFolder = folder;

    m_queue.clear();
    for (int row = 0; row < m_files.rowCount(); ++row) {
        if (m_files.isChecked(row))
            m_queue.append(m_files.idAt(row));
    }
    m_next = 0;
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
            const QString name = m_files.cell(row, fileNameColumn(m_params.mode));
            const QString url = m_files.cell(row, fileUrlColumn(m_params.mode));
            idle->itmX = id;
            idle->sFileName = CleanFileName(name);
            m_files.setRowMark(id, FileListModel::RowMark::Running);
            idle->DownloadFile(url);
        }
    } while (m_pumpAgain);
    m_pumping = false;
    if (m_running && !m_aborting && m_next >= m_queue.size() && !m_state.AnyThreadBusy())
        end(false);
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
