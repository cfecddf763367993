#include "gui/app/runcontrols.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardPaths>
#include <QWidget>

#include "core/app/programvalues.h"
#include "core/app/runsession.h"
#include "gui/app/commandtable.h"
#include "gui/app/modeswitch.h"
#include "gui/ui/elidedlabel.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/prompts.h"

RunControls::RunControls(QWidget &window, const Controls &controls, const CommandTable &commands,
                         RunSession &session, ModeSwitch &modes, const ProgramValues &values,
                         Prompts &prompts)
    : m_window(window), m_c(controls), m_commands(commands), m_session(session), m_modes(modes),
      m_values(values), m_prompts(prompts)
{
    AppState &state = m_session.state();
    connect(&state, &AppState::statusMessageChanged, &m_c.message, &ElidedLabel::setFullText);
    connect(&state, &AppState::progressChanged, this, [this] {
        const AppState::Progress p = m_session.state().progress();
        m_c.progress.setRange(p.minimum, p.maximum);
        m_c.progress.setValue(p.value);
    });
    // The run's bytes, speed and time left, and its totals once it ended, on the bar itself.
    connect(&state, &AppState::runDetailChanged, this, [this](const QString &text) {
        m_c.progress.setFormat(text);
        m_c.progress.setTextVisible(!text.isEmpty());
        m_c.progress.setToolTip(text);
    });
    connect(&state, &AppState::runActiveChanged, this, &RunControls::onRunActiveChanged);
    connect(&m_session, &RunSession::searchFinished, this, &RunControls::onWorkersIdle);
    connect(&m_session, &RunSession::downloadFinished, this, &RunControls::onWorkersIdle);
    wireDownload();
}

void RunControls::wireDownload()
{
    DownloadRun &run = m_session.download();
    connect(&run, &DownloadRun::multiSelectChanged, this, [this](bool multi) {
        m_c.list.setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::SingleSelection);
    });
    connect(&run, &DownloadRun::rowStarted, this, [this](FileListModel::RowId id) {
        FileListModel &files = m_session.files();
        const int row = files.rowOf(id);
        if (row < 0)
            return;
        const QModelIndex index = files.index(row, 0);
        m_c.list.setCurrentIndex(index); // selects it alone: one row at a time
        m_c.list.scrollTo(index);
    });
}

void RunControls::Search()
{
    RunSession::Search search;
    search.mode = m_session.mode();
    search.url = m_modes.url();
    search.mask = m_modes.mask();
    search.threads = m_values.gNumberOfThreads;
    search.filters = {m_values.gFilterSubject, m_values.gFilterAuthor, m_values.gFilterFilename};
    search.timeouts = m_searchTimeouts;
    startSearch(search);
}

void RunControls::startSearch(const RunSession::Search &search)
{
    const std::optional<RunSession::Refusal> refusal = m_session.startSearch(search);
    if (!refusal)
        m_lastSearch = search;
    else if (refusal == RunSession::Refusal::BadMask)
        m_prompts.showCritical(&m_window, RunSession::refusalText(RunSession::Refusal::BadMask));
}

void RunControls::showFailedPages()
{
    if (m_lastSearch && !m_session.state().isRunActive())
        m_prompts.showFailedPages(&m_window, m_session.searchReport().failureLines());
}

void RunControls::SearchFailedAgain()
{
    if (!m_commands.mnuSearchFailedAgain->isEnabled())
        return;
    RunSession::Search search = *m_lastSearch;
    search.mask = m_session.searchReport().failedMask();
    search.keepRows = true;
    // The slots as they are now: the options may have changed their number since.
    search.threads = m_values.gNumberOfThreads;
    search.timeouts = m_searchTimeouts;
    m_modes.setMask(search.mask);
    startSearch(search);
}

void RunControls::forgetLastSearch()
{
    m_lastSearch.reset();
    updateFailedCommands();
}

void RunControls::updateFailedCommands()
{
    const bool idle = !m_session.state().isRunActive();
    const SearchReport &report = m_session.searchReport();
    m_commands.mnuSearchFailedPages->setEnabled(idle && m_lastSearch && report.pagesFailed > 0);
    // Not while the list shows album columns: group rows do not belong there.
    const bool group =
        m_lastSearch && m_lastSearch->mode == Mode::Yahoo && m_session.mode() == Mode::Yahoo;
    m_commands.mnuSearchFailedAgain->setEnabled(idle && group && !report.failedMask().isEmpty());
}

void RunControls::DownloadFiles()
{
    DownloadRun::Params params;
    params.folder = m_c.folder.text();
    params.threads = m_values.gNumberOfThreads;
    params.timeoutMs = m_searchTimeouts.pageMs;
    params.retries = m_values.gRetries;
    params.ifExists = m_values.gIfFileExists;
    const std::optional<RunSession::Refusal> refusal = m_session.startDownload(params);
    if (!refusal || refusal == RunSession::Refusal::Busy)
        return;
    m_prompts.showExclamation(&m_window, RunSession::refusalText(*refusal, params.folder));
    // The picker follows at once; with a folder chosen the download goes ahead.
    const bool folder =
        refusal == RunSession::Refusal::NoFolder || refusal == RunSession::Refusal::BadFolder;
    if (folder && askDownloadFolder())
        DownloadFiles();
}

void RunControls::AbortAll()
{
    m_session.state().AbortAll();
}

bool RunControls::askDownloadFolder()
{
    // The picker opens in a folder that is there: the one shown, the desktop's download
    // folder, or the home folder; a dialog opened elsewhere offers nothing to choose.
    QString start = m_c.folder.text();
    for (const QString &next :
         {QStandardPaths::writableLocation(QStandardPaths::DownloadLocation), QDir::homePath()}) {
        if (!QFileInfo(start).isDir())
            start = next;
    }
    QString folder = m_prompts.askFolder(&m_window, start);
    if (folder.isEmpty())
        return false;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_c.folder.setText(folder);
    return true;
}

void RunControls::onRunActiveChanged(bool active)
{
    // A second run must not start under a running one; Abort stays available.
    const CommandTable &c = m_commands;
    for (QAction *a : {c.tbNew, c.mnuFileNew, c.tbOpen, c.mnuFileOpen, c.tbSearch, c.tbDownload})
        a->setEnabled(!active);
    updateFailedCommands();
    if (!active && m_threadsChangePending)
        threadsChanged();
}

void RunControls::threadsChanged()
{
    // Rebuilding the rows under a running run would take them from its workers.
    m_threadsChangePending = m_session.state().isRunActive();
    if (!m_threadsChangePending)
        Q_EMIT slotRowsOutdated();
}

bool RunControls::mayClose()
{
    if (m_closeAllowed || !m_session.workersBusy())
        return true;
    if (m_closeWhenIdle)
        return false; // already waiting for the workers to end
    if (!m_prompts.askAbortPending(&m_window))
        return false;
    AbortAll();
    // The workers end their transfers by themselves; the window closes when the last is idle.
    m_closeWhenIdle = true;
    if (!m_session.workersBusy())
        onWorkersIdle();
    return false;
}

void RunControls::onWorkersIdle()
{
    if (!m_closeWhenIdle)
        return;
    m_closeWhenIdle = false;
    m_closeAllowed = true;
    // Queued: the workers may end inside the close request itself, where a nested close()
    // would be ignored.
    QMetaObject::invokeMethod(&m_window, &QWidget::close, Qt::QueuedConnection);
}
