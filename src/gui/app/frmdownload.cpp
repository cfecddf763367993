#include "gui/app/frmdownload.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include "core/app/appinfo.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/app/helppage.h"
#include "gui/app/modeswitch.h"
#include "gui/app/queuecommands.h"
#include "gui/app/runcontrols.h"
#include "gui/ui/advanceddialog.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/elidedlabel.h"
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
    setWindowTitle(AppInfo::Title + QStringLiteral("[*]")); // "*" marks an unsaved list
    setWindowIcon(Icons::appIcon());
    const qreal dpi = Twips::dpiOf(this);
    setMinimumSize(Twips::toPixels(Layout::MinWidth, dpi), Twips::toPixels(Layout::MinHeight, dpi));

    m_commands = CommandTable::build(*this);
    buildControls();
    buildParts();
    connectCommands();
    connectKeys();
    watchListChanges();

    // The load sequence, in its order. A queue file in Yahoo mode brings the tips, which wait
    // for the window to be shown.
    m_modes->holdTips(true);
    const QString startupQueueFile = m_values.gStartupQueueFile;
    m_values.load(m_store);
    m_values.gStartupQueueFile = startupQueueFile;
    txtDownloadTo->setText(m_store.RegGetSetting(SettingKeys::DownloadFolder));
    LoadFormPosition();
    LoadThreads();
    m_modes->load();
    browserPage->Navigate(QUrl(QStringLiteral("about:blank")));
    SSTab1->setCurrentIndex(Layout::FilesTab);
    if (!m_values.gStartupQueueFile.isEmpty())
        m_queue->OpenQueue(m_values.gStartupQueueFile);
    m_modes->holdTips(false);
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
    // Typed or chosen with the button; a typed folder is checked when a download starts.
    txtDownloadTo->setToolTip(QStringLiteral("The folder the files are downloaded into"));
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
    threadsPage = new SlotRows(m_session.board());
    browserPage = new BrowserPage;
    SSTab1->addTab(filesPage, QStringLiteral("Files"));
    SSTab1->addTab(threadsPage, QStringLiteral("Threads"));
    SSTab1->addTab(browserPage, QStringLiteral("Browser"));
    for (QWidget *page :
         {filesPage, static_cast<QWidget *>(threadsPage), static_cast<QWidget *>(browserPage)})
        page->installEventFilter(this);

    // Each text is cut where it does not fit, whole in its tooltip; fitStatusPanels() gives
    // the totals their room and the message the rest.
    const auto panel = [this](const char *key) {
        auto *label = new ElidedLabel(this);
        label->setObjectName(QLatin1String(key));
        return label;
    };
    panelMessage = panel("Message");
    panelChecked = panel("Checked");
    panelSelected = panel("Selected");
    panelTotal = panel("Total");
    for (ElidedLabel *total : {panelChecked, panelSelected, panelTotal})
        total->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(panelMessage, 1);
    // The failed pages one click from the status line that counts them; shown while there are.
    cmdFailedPages = new QToolButton(this);
    cmdFailedPages->setObjectName(QStringLiteral("cmdFailedPages"));
    m_commands.mnuSearchFailedPages->setIconText(QStringLiteral("Failed Pages..."));
    cmdFailedPages->setDefaultAction(m_commands.mnuSearchFailedPages);
    // An icon beside the message that names the pages: a narrow window keeps its room.
    m_commands.mnuSearchFailedPages->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    cmdFailedPages->setToolButtonStyle(Qt::ToolButtonIconOnly);
    cmdFailedPages->setAutoRaise(true);
    cmdFailedPages->setVisible(false);
    connect(m_commands.mnuSearchFailedPages, &QAction::changed, cmdFailedPages, [this] {
        cmdFailedPages->setVisible(m_commands.mnuSearchFailedPages->isEnabled());
        fitStatusPanels();
    });
    statusBar()->addWidget(cmdFailedPages);
    statusBar()->addPermanentWidget(panelChecked);
    statusBar()->addPermanentWidget(panelSelected);
    statusBar()->addPermanentWidget(panelTotal);
    statusBar()->installEventFilter(this);
    // A longer message may leave the totals less room, a shorter one more; after it is shown.
    connect(&m_session.state(), &AppState::statusMessageChanged, this,
            &frmDownload::fitStatusPanels, Qt::QueuedConnection);

    applyWindowLayout();
}

void frmDownload::buildParts()
{
    m_modes = std::make_unique<ModeSwitch>(
        *this, ModeSwitch::Controls{*cmbServer, *lblURL, *cmbBaseURL, *lblMask, *txtMask, *lvFiles},
        m_store, m_session, *m_prompts);
    m_queue = std::make_unique<QueueCommands>(*this, m_session, *m_modes, m_values, *m_prompts);
    m_runs = std::make_unique<RunControls>(
        *this, RunControls::Controls{*ProgressBar1, *panelMessage, *lvFiles, *txtDownloadTo},
        m_commands, m_session, *m_modes, m_values, *m_prompts);
    connect(m_queue.get(), &QueueCommands::listReplaced, this, &frmDownload::UpdateTotals);
    connect(m_queue.get(), &QueueCommands::listReplaced, m_runs.get(),
            &RunControls::forgetLastSearch);
    connect(m_modes.get(), &ModeSwitch::modeSwitched, m_runs.get(),
            &RunControls::updateFailedCommands);
    connect(m_runs.get(), &RunControls::slotRowsOutdated, this, &frmDownload::rebuildSlotRows);
}

void frmDownload::connectCommands()
{
    const CommandTable &c = m_commands;
    QueueCommands *queue = m_queue.get();
    for (QAction *a : {c.tbNew, c.mnuFileNew})
        connect(a, &QAction::triggered, queue, &QueueCommands::NewQueue);
    for (QAction *a : {c.tbOpen, c.mnuFileOpen})
        connect(a, &QAction::triggered, queue, [queue] { queue->OpenQueue(); });
    for (QAction *a : {c.tbSave, c.mnuFileSave})
        connect(a, &QAction::triggered, queue, [queue] { queue->SaveQueue(false); });
    connect(c.mnuFileSaveAs, &QAction::triggered, queue, [queue] { queue->SaveQueue(true); });
    RunControls *runs = m_runs.get();
    connect(c.tbSearch, &QAction::triggered, runs, &RunControls::Search);
    connect(c.tbDownload, &QAction::triggered, runs, &RunControls::DownloadFiles);
    connect(c.tbAbort, &QAction::triggered, runs, &RunControls::AbortAll);
    connect(c.mnuSearchFailedPages, &QAction::triggered, runs, &RunControls::showFailedPages);
    connect(c.mnuSearchFailedAgain, &QAction::triggered, runs, &RunControls::SearchFailedAgain);
    connect(c.mnuFileAdvanced, &QAction::triggered, this, &frmDownload::showAdvancedCriteria);
    connect(c.mnuFileOptions, &QAction::triggered, this, &frmDownload::showOptions);
    connect(c.mnuFileExit, &QAction::triggered, this, &QWidget::close);
    connect(c.mnuHelpHelp, &QAction::triggered, this, [this] { openHelp(QString()); });
    connect(c.mnuHelpSupport, &QAction::triggered, this,
            [this] { openHelp(QStringLiteral("support")); });
    connect(c.mnuHelpAbout, &QAction::triggered, this, [this] { m_prompts->showAbout(this); });

    connect(cmdBrowse, &QToolButton::clicked, runs, [runs] { runs->askDownloadFolder(); });
    connect(SSTab1, &QTabWidget::currentChanged, this, &frmDownload::ArrangeTab);
    connect(threadsPage, &SlotRows::rowsRebuilt, this, &frmDownload::ArrangeTab);

    connect(lvFiles, &FileListView::listClicked, this, &frmDownload::UpdateTotals);
    connect(lvFiles, &FileListView::browseRequested, this, &frmDownload::BrowseFile);
    connect(&m_files, &FileListModel::userCheckChanged, this, &frmDownload::UpdateTotals);
    connect(lvFiles->header(), &QHeaderView::sectionClicked, &m_files, &FileListModel::columnClick);
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
}

void frmDownload::LoadThreads()
{
    m_session.board().resize(m_values.gNumberOfThreads);
    m_layout.slotRows = Layout::startingLayout(m_session.board().count()).slotRows;
    // The tab-change handling arranges the rows, as if the tab had been changed.
    ArrangeTab();
}

void frmDownload::rebuildSlotRows()
{
    const int tab = SSTab1->currentIndex();
    SSTab1->setCurrentIndex(Layout::ThreadsTab);
    LoadThreads();
    SSTab1->setCurrentIndex(tab);
}

void frmDownload::showOptions()
{
    RunControls &runs = *m_runs;
    frmOptions options(
        m_store, m_values, [&runs] { runs.threadsChanged(); }, this);
    options.exec();
}

void frmDownload::showAdvancedCriteria()
{
    frmAdvancedCriteria criteria(m_store, m_values, this);
    criteria.exec();
}

void frmDownload::openHelp(const QString &anchor)
{
    if (HelpPage::open(anchor))
        return;
    // No browser could take it: the guide still opens, in the Browser tab.
    const QUrl guide = HelpPage::location(anchor);
    if (!guide.isValid()) {
        m_session.state().setStatusMessage(QStringLiteral("The help page could not be opened"));
        return;
    }
    browserPage->Navigate(guide);
    SSTab1->setCurrentIndex(Layout::BrowserTab);
}

void frmDownload::closeEvent(QCloseEvent *event)
{
    if (!m_runs->mayClose()) {
        event->ignore();
        return;
    }
    // Asked once the run has ended (an abort asked above closes again when it has): the list
    // is whole by then.
    if (!m_queue->maySaveChanges()) {
        m_runs->closeCancelled();
        event->ignore();
        return;
    }
    storeOnClose();
    event->accept();
}

void frmDownload::storeOnClose()
{
    SaveFormPosition();
    m_modes->SaveColumnWidths(m_modes->mode());
    m_store.RegSaveSetting(SettingKeys::DownloadFolder, txtDownloadTo->text());
}
