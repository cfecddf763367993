// The download run, started from the toolbar's "Download".
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

#include "core/download/downloadrun.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/prompts.h"

void frmDownload::DownloadFiles()
{
    if (m_state.isRunActive())
        return;
    if (!m_downloadRun) {
        m_downloadRun = std::make_unique<DownloadRun>(m_state, m_slots, m_files);
        connect(m_downloadRun.get(), &DownloadRun::multiSelectChanged, this, [this](bool multi) {
            lvFiles->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                                            : QAbstractItemView::SingleSelection);
        });
        connect(m_downloadRun.get(), &DownloadRun::rowStarted, this,
                [this](FileListModel::RowId id) {
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
    params.mode = modeFromText(cmbServer->currentText());
    params.threads = m_values.gNumberOfThreads;
    params.timeoutMs = m_searchTimeouts.pageMs;
    params.retries = m_values.gRetries;
    params.ifExists = m_values.gIfFileExists;
    switch (m_downloadRun->start(params)) {
    case DownloadRun::Start::NothingChecked:
        m_prompts->showExclamation(this, QStringLiteral("Check files you want to download."));
        break;
    case DownloadRun::Start::NoFolder:
        m_prompts->showExclamation(this, QStringLiteral("Please select download folder."));
        // The picker follows at once; with a folder chosen the download goes ahead.
        if (askDownloadFolder())
            DownloadFiles();
        break;
    case DownloadRun::Start::Started:
        break;
    }
}
