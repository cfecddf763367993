// The download run, started from the toolbar's "Download".
#include <QAbstractItemView>
#include <QLineEdit>

#include "gui/app/frmdownload.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/prompts.h"

void frmDownload::DownloadFiles()
{
    if (!m_downloadWired) {
        m_downloadWired = true;
        DownloadRun &run = m_session.download();
        connect(&run, &DownloadRun::multiSelectChanged, this, [this](bool multi) {
            lvFiles->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                                            : QAbstractItemView::SingleSelection);
        });
        connect(&run, &DownloadRun::rowStarted, this, [this](FileListModel::RowId id) {
            const int row = m_files.rowOf(id);
            if (row < 0)
                return;
            const QModelIndex index = m_files.index(row, 0);
            lvFiles->setCurrentIndex(index); // selects it alone: one row at a time
            lvFiles->scrollTo(index);
        });
    }
    DownloadRun::Params params;
    params.folder = txtDownloadTo->text();
    params.threads = m_values.gNumberOfThreads;
    params.timeoutMs = m_searchTimeouts.pageMs;
    params.retries = m_values.gRetries;
    params.ifExists = m_values.gIfFileExists;
    const std::optional<RunSession::Refusal> refusal = m_session.startDownload(params);
    if (!refusal || refusal == RunSession::Refusal::Busy)
        return;
    m_prompts->showExclamation(this, RunSession::refusalText(*refusal));
    // The picker follows at once; with a folder chosen the download goes ahead.
    if (refusal == RunSession::Refusal::NoFolder && askDownloadFolder())
        DownloadFiles();
}
