#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "core/app/programvalues.h"
#include "core/app/runsession.h"
#include "gui/app/commandtable.h"
#include "gui/ui/layoutrules.h"
#include "gui/ui/prompts.h"

class BrowserPage;
class ElidedLabel;
class FileListView;
class ModeSwitch;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabWidget;
class QToolButton;
class QueueCommands;
class RunControls;
class SettingsStore;
class SlotRows;

// The main window: the search fields, the result list, the transfer slots and the web
// view, and the command table that starts every piece of work. The mode switch, the queue
// commands and the runs live in classes of their own; the result list's commands and the
// window's placement stay here.
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
    ModeSwitch &modes() { return *m_modes; }
    QueueCommands &queue() { return *m_queue; }
    RunControls &runs() { return *m_runs; }

    void LoadThreads();
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

    // Window placement, kept per user between runs.
    void LoadFormPosition();
    void SaveFormPosition();

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildParts();
    void connectCommands();
    void connectKeys();
    void watchListChanges();
    void onListSettled();
    void fitToScreen();
    // The path of the row's file in the download folder, or "" when it is not there.
    QString downloadedFile(int row) const;
    // New slot rows for the stored count, built with the "Threads" tab in front.
    void rebuildSlotRows();
    void openHelp(const QString &anchor);
    void applyWindowLayout();
    void applyTabLayout();
    // Shares the status bar's width between the message and the totals.
    void fitStatusPanels();
    void storeOnClose();
    void showOptions();
    void showAdvancedCriteria();

    const SettingsStore &m_store;
    ProgramValues m_values;
    std::unique_ptr<Prompts> m_prompts;
    RunSession m_session;
    FileListModel &m_files = m_session.files();
    CommandTable m_commands;
    Layout::MainLayout m_layout;

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
    ElidedLabel *panelMessage = nullptr;
    QToolButton *cmdFailedPages = nullptr;
    ElidedLabel *panelChecked = nullptr;
    ElidedLabel *panelSelected = nullptr;
    ElidedLabel *panelTotal = nullptr;

    // Declared after the session and the values they refer to, so they go first.
    std::unique_ptr<ModeSwitch> m_modes;
    std::unique_ptr<QueueCommands> m_queue;
    std::unique_ptr<RunControls> m_runs;

    bool m_startMaximized = false;
    QTimer m_listSettle; // one totals update (and re-sort) per burst of list changes
    bool m_resortPending = false;
    QElapsedTimer m_lastResort;
    qint64 m_resortPause = 0;       // ms
    bool m_fitFramePending = false; // shown, but the window manager has not framed it yet
};
