#include "gui/app/frmdownload.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include "core/app/appinfo.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/app/helppage.h"
#include "gui/ui/advanceddialog.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/icons.h"
#include "gui/ui/optionsdialog.h"
#include "gui/ui/prompts.h"
#include "gui/ui/slotrows.h"
#include "gui/ui/twips.h"

frmDownload::frmDownload(const SettingsStore &store, const ProgramValues &values,
                         std::unique_ptr<Prompts> prompts, QWidget *parent)
    : QMainWindow(parent), m_store(store), m_values(values),
      m_prompts(prompts ? std::move(prompts) : std::make_unique<Prompts>()),
      m_layout(Layout::startingLayout(1))
{
    setObjectName(QStringLiteral("frmDownload"));
    setWindowTitle(AppInfo::Title);
    setWindowIcon(Icons::appIcon());
    const qreal dpi = Twips::dpiOf(this);
    setMinimumSize(Twips::toPixels(Layout::MinWidth, dpi), Twips::toPixels(Layout::MinHeight, dpi));

    m_commands = CommandTable::build(*this);
    buildControls();
    connectCommands();
    connectKeys();
    watchListChanges();

    // The load sequence, in its order.
    const QString startupQueueFile = m_values.gStartupQueueFile;
    m_values.load(m_store);
    m_values.gStartupQueueFile = startupQueueFile;
    txtDownloadTo->setText(m_store.RegGetSetting(SettingKeys::DownloadFolder));
    LoadFormPosition();
    LoadThreads();
    cmbServer->addItem(QStringLiteral("Zing"));
    cmbServer->addItem(QStringLiteral("Yahoo"));
    selectMode(QStringLiteral("Zing"));
    browserPage->Navigate(QUrl(QStringLiteral("about:blank")));
    SSTab1->setCurrentIndex(Layout::FilesTab);
    if (!m_values.gStartupQueueFile.isEmpty())
        OpenQueue(m_values.gStartupQueueFile);
    UpdateTotals();
}

frmDownload::~frmDownload() = default;

void frmDownload::buildControls()
{
    const qreal dpi = Twips::dpiOf(this);

    cmbServer = new QComboBox(this);
    cmbServer->setObjectName(QStringLiteral("cmbServer"));
    cmbServer->setEditable(false);
    cmbServer->setFixedWidth(Twips::toPixels(1965, dpi));
    cmbServer->setToolTip(QStringLiteral("The kind of site to search"));
    m_commands.tbToolBar->addWidget(cmbServer);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    central->installEventFilter(this);
    setCentralWidget(central);

    fraSettings = new QGroupBox(QStringLiteral("Settings"), central);
    fraSettings->setObjectName(QStringLiteral("fraSettings"));
    lblURL = new QLabel(QStringLiteral("Yahoo Group:"), fraSettings);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    cmbBaseURL = new QComboBox(fraSettings);
    cmbBaseURL->setObjectName(QStringLiteral("cmbBaseURL"));
    cmbBaseURL->setEditable(true);
    // The history keeps its own order; Enter must not add entries behind its back.
    cmbBaseURL->setInsertPolicy(QComboBox::NoInsert);
    cmbBaseURL->setMaxVisibleItems(20);
    cmbBaseURL->lineEdit()->installEventFilter(this);
    lblURL->setBuddy(cmbBaseURL);
    lblMask = new QLabel(QStringLiteral("Search Messages:"), fraSettings);
    lblMask->setObjectName(QStringLiteral("lblMask"));
    txtMask = new QLineEdit(fraSettings);
    txtMask->setObjectName(QStringLiteral("txtMask"));
    lblMask->setBuddy(txtMask);
    lblDownloadTo = new QLabel(QStringLiteral("Download To:"), fraSettings);
    lblDownloadTo->setObjectName(QStringLiteral("lblDownloadTo"));
    txtDownloadTo = new QLineEdit(fraSettings);
    txtDownloadTo->setObjectName(QStringLiteral("txtDownloadTo"));
    txtDownloadTo->setReadOnly(true);
    lblDownloadTo->setBuddy(txtDownloadTo);
    cmdBrowse = new QToolButton(fraSettings);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setIcon(Icons::themed(QStringLiteral("folder-open"), QStringLiteral("folder")));
    cmdBrowse->setIconSize(QSize(16, 16));
    cmdBrowse->setToolTip(QStringLiteral("Choose the download folder"));

    ProgressBar1 = new QProgressBar(central);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAlignment(Qt::AlignCenter); // the run's text inside the bar, not beside
    ProgressBar1->setValue(0);

    SSTab1 = new QTabWidget(central);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setTabPosition(QTabWidget::South);
    SSTab1->setDocumentMode(false);
    auto *filesPage = new QWidget;
    filesPage->setObjectName(QStringLiteral("FilesPage"));
    lvFiles = new FileListView(m_files, filesPage);
    threadsPage = new SlotRows(m_slots);
    browserPage = new BrowserPage;
    SSTab1->addTab(filesPage, QStringLiteral("Files"));
    SSTab1->addTab(threadsPage, QStringLiteral("Threads"));
    SSTab1->addTab(browserPage, QStringLiteral("Browser"));
    for (QWidget *page :
         {filesPage, static_cast<QWidget *>(threadsPage), static_cast<QWidget *>(browserPage)})
        page->installEventFilter(this);

    const auto panel = [this, dpi](const char *key, int minTwips) {
        auto *label = new QLabel(this);
        label->setObjectName(QLatin1String(key));
        label->setMinimumWidth(Twips::toPixels(minTwips, dpi));
        return label;
    };
    panelMessage = panel("Message", 3000);
    panelChecked = panel("Checked", 1000);
    panelSelected = panel("Selected", 1000);
    panelTotal = panel("Total", 1000);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(panelMessage, 1);
    statusBar()->addPermanentWidget(panelChecked);
    statusBar()->addPermanentWidget(panelSelected);
    statusBar()->addPermanentWidget(panelTotal);

    applyWindowLayout();
}

void frmDownload::connectCommands()
{
    const CommandTable &c = m_commands;
    for (QAction *a : {c.tbNew, c.mnuFileNew})
        connect(a, &QAction::triggered, this, &frmDownload::NewQueue);
    for (QAction *a : {c.tbOpen, c.mnuFileOpen})
        connect(a, &QAction::triggered, this, [this] { OpenQueue(); });
    for (QAction *a : {c.tbSave, c.mnuFileSave})
        connect(a, &QAction::triggered, this, [this] { SaveQueue(false); });
    connect(c.mnuFileSaveAs, &QAction::triggered, this, [this] { SaveQueue(true); });
    connect(c.tbSearch, &QAction::triggered, this, &frmDownload::Search);
    connect(c.tbDownload, &QAction::triggered, this, &frmDownload::DownloadFiles);
    connect(c.tbAbort, &QAction::triggered, this, &frmDownload::AbortAll);
    connect(c.mnuFileAdvanced, &QAction::triggered, this, &frmDownload::showAdvancedCriteria);
    connect(c.mnuFileOptions, &QAction::triggered, this, &frmDownload::showOptions);
    connect(c.mnuFileExit, &QAction::triggered, this, &QWidget::close);
    connect(c.mnuHelpHelp, &QAction::triggered, this, [this] { openHelp(QString()); });
    connect(c.mnuHelpSupport, &QAction::triggered, this,
            [this] { openHelp(QStringLiteral("support")); });
    connect(c.mnuHelpAbout, &QAction::triggered, this, [this] { m_prompts->showAbout(this); });

    connect(cmbServer, &QComboBox::activated, this, &frmDownload::onModeSwitch);
    connect(cmdBrowse, &QToolButton::clicked, this, &frmDownload::chooseDownloadFolder);
    connect(SSTab1, &QTabWidget::currentChanged, this, &frmDownload::ArrangeTab);
    connect(threadsPage, &SlotRows::rowsRebuilt, this, &frmDownload::ArrangeTab);

    connect(lvFiles, &FileListView::listClicked, this, &frmDownload::UpdateTotals);
    connect(lvFiles, &FileListView::browseRequested, this, &frmDownload::BrowseFile);
    connect(&m_files, &FileListModel::userCheckChanged, this, &frmDownload::UpdateTotals);
    connect(lvFiles->header(), &QHeaderView::sectionClicked, this, &frmDownload::onColumnClicked);
    connect(lvFiles->mnuPopupCheckAll, &QAction::triggered, this,
            [this] { CheckItems(true, true); });
    connect(lvFiles->mnuPopupUncheckAll, &QAction::triggered, this,
            [this] { CheckItems(true, false); });
    connect(lvFiles->mnuPopupCheckSelected, &QAction::triggered, this,
            [this] { CheckItems(false, true); });
    connect(lvFiles->mnuPopupUncheckSelected, &QAction::triggered, this,
            [this] { CheckItems(false, false); });
    connect(lvFiles->mnuPopupInverse, &QAction::triggered, this, &frmDownload::InverseSelection);
    connect(lvFiles->mnuPopupRemove, &QAction::triggered, this, &frmDownload::RemoveSelected);
    connect(lvFiles->mnuPopupBrowse, &QAction::triggered, this, &frmDownload::BrowseFile);
    connect(lvFiles->mnuPopupCopyUrl, &QAction::triggered, this, &frmDownload::CopyFileUrl);
    connect(lvFiles->mnuPopupOpenFolder, &QAction::triggered, this,
            &frmDownload::OpenContainingFolder);
    lvFiles->fileExists = [this](int row) {
        return !downloadedFile(row).isEmpty();
    };

    connect(&m_state, &AppState::statusMessageChanged, panelMessage, &QLabel::setText);
    connect(&m_state, &AppState::progressChanged, this, [this] {
        const AppState::Progress p = m_state.progress();
        ProgressBar1->setRange(p.minimum, p.maximum);
        ProgressBar1->setValue(p.value);
    });
    // The run's bytes, speed and time left, and its totals once it ended, on the bar itself.
    connect(&m_state, &AppState::runDetailChanged, this, [this](const QString &text) {
        ProgressBar1->setFormat(text);
        ProgressBar1->setTextVisible(!text.isEmpty());
        ProgressBar1->setToolTip(text);
    });
    connect(&m_state, &AppState::runActiveChanged, this, &frmDownload::onRunActiveChanged);
    connect(&m_state, &AppState::workersIdle, this, &frmDownload::onWorkersIdle);
}

void frmDownload::LoadThreads()
{
    m_slots.resize(m_values.gNumberOfThreads);
    m_layout.slotRows = Layout::startingLayout(m_slots.count()).slotRows;
    // The tab-change handling arranges the rows, as if the tab had been changed.
    ArrangeTab();
}

void frmDownload::AbortAll()
{
    m_state.AbortAll();
}

void frmDownload::onRunActiveChanged(bool active)
{
    // A second run must not start under a running one; Abort stays available.
    const CommandTable &c = m_commands;
    for (QAction *a : {c.tbNew, c.mnuFileNew, c.tbOpen, c.mnuFileOpen, c.tbSearch, c.tbDownload})
        a->setEnabled(!active);
    if (!active && m_threadsChangePending)
        threadsChanged();
}

void frmDownload::threadsChanged()
{
    // Rebuilding the rows under a running run would take them from its workers.
    if (m_state.isRunActive()) {
        m_threadsChangePending = true;
        return;
    }
    m_threadsChangePending = false;
    const int tab = SSTab1->currentIndex();
    SSTab1->setCurrentIndex(Layout::ThreadsTab);
    LoadThreads();
    SSTab1->setCurrentIndex(tab);
}

void frmDownload::showOptions()
{
    frmOptions options(
        m_store, m_values, [this] { threadsChanged(); }, this);
    options.exec();
}

void frmDownload::showAdvancedCriteria()
{
    frmAdvancedCriteria criteria(m_store, m_values, this);
    criteria.exec();
}

void frmDownload::chooseDownloadFolder()
{
    askDownloadFolder();
}

bool frmDownload::askDownloadFolder()
{
    const QString current = txtDownloadTo->text();
    QString folder = m_prompts->askFolder(
        this, current.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)
                                : current);
    if (folder.isEmpty())
        return false;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    txtDownloadTo->setText(folder);
    return true;
}

void frmDownload::openHelp(const QString &anchor)
{
    if (HelpPage::open(anchor))
        return;
    // No browser could take it: the guide still opens, in the Browser tab.
    const QUrl guide = HelpPage::location(anchor);
    if (!guide.isValid()) {
        m_state.setStatusMessage(QStringLiteral("The help page could not be opened"));
        return;
    }
    browserPage->Navigate(guide);
    SSTab1->setCurrentIndex(Layout::BrowserTab);
}

void frmDownload::showAsLoaded()
{
    if (m_startMaximized)
        showMaximized();
    else
        show();
    // Once framed, the frame too must fit on the screen; a window manager frames the window
    // a moment after it is shown, and without one there is no frame to wait for.
    m_fitFramePending = true;
    QTimer::singleShot(2000, this, [this] { m_fitFramePending = false; });
}

void frmDownload::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_fitFramePending && frameGeometry() != geometry()) {
        m_fitFramePending = false;
        fitToScreen();
    }
}

void frmDownload::closeEvent(QCloseEvent *event)
{
    if (m_closeAllowed || !m_state.AnyThreadBusy()) {
        storeOnClose();
        event->accept();
        return;
    }
    event->ignore();
    if (m_closeWhenIdle)
        return; // already waiting for the workers to end
    if (!m_prompts->askAbortPending(this))
        return;
    AbortAll();
    // The workers end their transfers by themselves; the window closes when the last is idle.
    m_closeWhenIdle = true;
    if (!m_state.AnyThreadBusy())
        onWorkersIdle();
}

void frmDownload::onWorkersIdle()
{
    if (!m_closeWhenIdle)
        return;
    m_closeWhenIdle = false;
    m_closeAllowed = true;
    // Queued: the workers may end inside the close request itself, where a nested close()
    // would be ignored.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void frmDownload::storeOnClose()
{
    SaveFormPosition();
    SaveColumnWidths(cmbServer->currentText());
    m_store.RegSaveSetting(SettingKeys::DownloadFolder, txtDownloadTo->text());
}
