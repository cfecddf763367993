#pragma once

#include <QObject>
#include <optional>

#include "core/app/runsession.h"
#include "core/search/searchrun.h"

class FileListView;
class ModeSwitch;
class Prompts;
class ElidedLabel;
class QLineEdit;
class QProgressBar;
class QWidget;
struct CommandTable;
struct ProgramValues;

// Starts and stops the window's runs (Search, Download, Abort), shows their progress and
// status text, keeps a second run from starting under the first, and holds a close request
// until the workers have ended.
class RunControls final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunControls)

public:
    // The window's controls this class drives; the window owns and lays them out.
    struct Controls
    {
        QProgressBar &progress;
        ElidedLabel &message;
        FileListView &list;
        QLineEdit &folder;
    };

    RunControls(QWidget &window, const Controls &controls, const CommandTable &commands,
                RunSession &session, ModeSwitch &modes, const ProgramValues &values,
                Prompts &prompts);

    // The search of the mode shown.
    void Search();
    void DownloadFiles();
    void AbortAll();
    // Each failed page of the last search with its reason.
    void showFailedPages();
    // Puts the failed messages of the last group search into the message range and searches
    // them again; the rows found stay.
    void SearchFailedAgain();
    // The list no longer holds the last search's rows (New or Open): its failures are gone
    // with them.
    void forgetLastSearch();
    // Failed Pages and Search Failed Pages Again follow the last search, the run and the mode.
    void updateFailedCommands();

    // The options dialog changed the number of slots: asks for new slot rows now, or once
    // the running run has ended.
    void threadsChanged();

    // The folder picker for the download folder; false when cancelled.
    bool askDownloadFolder();

    // Whether the window may close now. While workers are busy it asks; on Yes it aborts
    // and closes the window itself once the last worker is idle.
    bool mayClose();
    // The close that mayClose allowed did not happen: the next one asks again.
    void closeCancelled() { m_closeAllowed = false; }

    // Timeouts of the searches' transfers; tests shorten them.
    void setSearchTimeouts(const SearchTimeouts &timeouts) { m_searchTimeouts = timeouts; }

Q_SIGNALS:
    // The slot rows are to be rebuilt for the stored number of slots.
    void slotRowsOutdated();

private:
    void wireDownload();
    void startSearch(const RunSession::Search &search);
    void onRunActiveChanged(bool active);
    void onWorkersIdle();

    QWidget &m_window;
    Controls m_c;
    const CommandTable &m_commands;
    RunSession &m_session;
    ModeSwitch &m_modes;
    const ProgramValues &m_values;
    Prompts &m_prompts;
    SearchTimeouts m_searchTimeouts;
    std::optional<RunSession::Search> m_lastSearch; // the last search that started
    bool m_threadsChangePending = false;
    bool m_closeWhenIdle = false;
    bool m_closeAllowed = false;
};
