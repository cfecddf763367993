#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "core/app/programvalues.h"
#include "core/app/runsession.h"
#include "core/search/searchrun.h"
#include "gui/app/commandtable.h"
#include "gui/ui/layoutrules.h"
#include "gui/ui/prompts.h"

class BrowserPage;
class FileListView;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabWidget;
class QToolButton;
class SettingsStore;
class SlotRows;

// The main window: the search fields, the result list, the transfer slots and the web
// view, and the commands that start every piece of work. Its run state lives in AppState,
// the rows in FileListModel, the slots in SlotBoard; the widgets only show them.
class frmDownload final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmDownload)

public:
    // Runs the load sequence; the window is shown afterwards with showAsLoaded().
    frmDownload(const SettingsStore &store, const ProgramValues &values,
                std::unique_ptr<Prompts> prompts = nullptr, QWidget *parent = nullptr);
    ~frmDownload() override;

    // Shows the window normal or maximized, as it was stored.
    void showAsLoaded();

    RunSession &session() { return m_session; }
    AppState &state() { return m_session.state(); }
    SlotBoard &slotBoard() { return m_session.board(); }
    FileListModel &files() { return m_session.files(); }
    ProgramValues &values() { return m_values; }
    const Layout::MainLayout &layoutRules() const { return m_layout; }
    const CommandTable &commands() const { return m_commands; }

    void LoadThreads();
    void AbortAll();
    void UpdateTotals();
    void ArrangeTab();
    void CheckItems(bool AllItems, bool CheckState);
    void InverseSelection();
    void RemoveSelected();
    void BrowseFile();
    // The "File URL" cells of the selected rows (or of the current row), one per line.
    void CopyFileUrl();
    // Opens the download folder when the current row's file is there.
    void OpenContainingFolder();
    void DownloadFiles();
    // The search of the mode shown.
    void Search();
    // Timeouts of the searches' transfers; tests shorten them.
    void setSearchTimeouts(const SearchTimeouts &timeouts) { m_searchTimeouts = timeouts; }

    void NewQueue();
    void OpenQueue(const QString &file = QString());
    void SaveQueue(bool SaveAs);

    // Selects a mode in the mode box and runs the mode switch, also for the mode shown;
    // false when the text is not one of the modes.
    bool selectMode(const QString &mode);

    // The options dialog changed the number of slots: rebuilds the slot rows with the
    // "Threads" tab in front, or once the running run has ended.
    void threadsChanged();

    // Column widths and window placement, kept per user between runs.
    void LoadMRU(const QString &mode);
    void SaveMRU(const QString &mode);
    void SaveColumnWidths(const QString &mode);
    void LoadColumnWidths(const QString &mode);
    void LoadFormPosition();
    void SaveFormPosition();

    // The base-URL box lost the focus: moves its text to the top of the history.
    void updateHistory();

    // Controls, by the names the rest of the program uses.
    QComboBox *cmbServer = nullptr;
    QGroupBox *fraSettings = nullptr;
    QLabel *lblURL = nullptr;
    QComboBox *cmbBaseURL = nullptr;
    QLabel *lblMask = nullptr;
    QLineEdit *txtMask = nullptr;
    QLabel *lblDownloadTo = nullptr;
    QLineEdit *txtDownloadTo = nullptr;
    QToolButton *cmdBrowse = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTabWidget *SSTab1 = nullptr;
    FileListView *lvFiles = nullptr;
    SlotRows *threadsPage = nullptr;
    BrowserPage *browserPage = nullptr;
    QLabel *panelMessage = nullptr;
    QLabel *panelChecked = nullptr;
    QLabel *panelSelected = nullptr;
    QLabel *panelTotal = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectCommands();
    void connectKeys();
    void watchListChanges();
    void onListSettled();
    void fitToScreen();
    void onModeSwitch();
    void onColumnClicked(int column);
    // The path of the row's file in the download folder, or "" when it is not there.
    QString downloadedFile(int row) const;
    void onRunActiveChanged(bool active);
    void onWorkersIdle();
    void chooseDownloadFolder();
    void openHelp(const QString &anchor);
    void applyColumnSet(Mode mode);
    void applyWindowLayout();
    void applyTabLayout();
    void storeOnClose();
    QString queueDialogFolder() const;
    bool askDownloadFolder();
    void setQueueCaption(const QString &ending);
    void setQueueFileName(const QString &path);
    void showOptions();
    void showAdvancedCriteria();

    const SettingsStore &m_store;
    ProgramValues m_values;
    std::unique_ptr<Prompts> m_prompts;
    RunSession m_session;
    AppState &m_state = m_session.state();
    SlotBoard &m_slots = m_session.board();
    FileListModel &m_files = m_session.files();
    CommandTable m_commands;
    Layout::MainLayout m_layout;
    bool m_startMaximized = false;
    bool m_closeWhenIdle = false;
    bool m_closeAllowed = false;
    bool m_threadsChangePending = false;
    bool m_downloadWired = false;
    SearchTimeouts m_searchTimeouts;
    QTimer m_listSettle; // one totals update (and re-sort) per burst of list changes
    bool m_resortPending = false;
    QElapsedTimer m_lastResort;
    qint64 m_resortPause = 0;       // ms
    bool m_fitFramePending = false; // shown, but the window manager has not framed it yet
};
