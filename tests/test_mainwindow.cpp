// The main window on the offscreen platform: start-up, mode switch, slot rows, history,
// window state, the close request, the command table and the result list's commands.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineView>
#include <memory>

#include "core/run/slotworker.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/aboutdialog.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/elidedlabel.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/prompts.h"
#include "gui/ui/slotrows.h"
#include "gui/ui/tipsdialog.h"
#include "gui/ui/twips.h"
#include "support/scriptedprompts.h"

namespace {

class FakeWorker final : public SlotWorker
{
public:
    bool finished = false;
    bool IsFinished() const override { return finished; }
    void abort() override {}
    void finish()
    {
        finished = true;
        Q_EMIT finishedChanged();
    }
};

QStringList captions(const FileListModel &model)
{
    QStringList list;
    for (int i = 0; i < model.columnCount(); ++i)
        list.append(model.headerData(i, Qt::Horizontal).toString());
    return list;
}

QStringList comboItems(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    PromptLog m_log;

    std::unique_ptr<frmDownload> makeWindow(const ProgramValues &values = {})
    {
        return std::make_unique<frmDownload>(*m_store, values,
                                             std::make_unique<ScriptedPrompts>(m_log));
    }
    QString setting(const QString &section, const QString &key)
    {
        return m_store->RegGetSetting(SettingKeys::Application, section, key,
                                      QStringLiteral("<none>"));
    }
    void save(const QString &section, const QString &key, const QString &value)
    {
        m_store->RegSaveSetting(SettingKeys::Application, section, key, value);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("settings.json")));
        m_log = PromptLog();
    }

    void firstStartShowsZingWithFourSlotsAndZeroTotals()
    {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay"));
        QCOMPARE(comboItems(w->cmbServer), (QStringList{"Zing", "Yahoo"}));
        QCOMPARE(w->cmbServer->currentText(), QStringLiteral("Zing"));
        QCOMPARE(w->state().CurrentServer, QStringLiteral("Zing"));
        QCOMPARE(w->lblURL->text(), QStringLiteral("Album URL:"));
        QCOMPARE(w->lblMask->text(), QStringLiteral("Album Password:"));
        QCOMPARE(w->txtDownloadTo->text(), QString());
        QCOMPARE(w->threadsPage->rowCount(), 4);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QCOMPARE(w->panelChecked->text(), QStringLiteral("0 checked, 0 bytes"));
        QCOMPARE(w->panelSelected->text(), QStringLiteral("0 selected, 0 bytes"));
        QCOMPARE(w->panelTotal->text(), QStringLiteral("0 files, 0 bytes"));
        QCOMPARE(captions(w->files()), (QStringList{"+File Name", "Size", "File URL", ""}));
        QVERIFY(w->lvFiles->isColumnHidden(3));
        QCOMPARE(m_log.tipsShown, 0);
        // The browser engine starts only when the Browser tab is used.
        QVERIFY(w->browserPage->view() == nullptr);
        QCOMPARE(w->browserPage->pendingUrl(), QUrl(QStringLiteral("about:blank")));
        const qreal dpi = Twips::dpiOf(w.get());
        QCOMPARE(w->size(), QSize(Twips::toPixels(9200, dpi), Twips::toPixels(8550, dpi)));
    }

    void storedDownloadFolderAndThreadsAreLoaded()
    {
        save(SettingKeys::SectionSettings, SettingKeys::DownloadFolder.key,
             QStringLiteral("/data/in/"));
        save(SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key, QStringLiteral("7"));
        auto w = makeWindow();
        QCOMPARE(w->txtDownloadTo->text(), QStringLiteral("/data/in/"));
        QCOMPARE(w->threadsPage->rowCount(), 7);
        QCOMPARE(w->values().gNumberOfThreads, qint16(7));
    }

    void modeSwitchSetsLabelsColumnsAndTips()
    {
        auto w = makeWindow();
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(w->lblURL->text(), QStringLiteral("Yahoo Group:"));
        QCOMPARE(w->lblMask->text(), QStringLiteral("Message Range:"));
        QVERIFY(
            w->cmbBaseURL->toolTip().startsWith(QStringLiteral("Enter URL for Yahoo Group, e.g ")));
        QVERIFY(w->cmbBaseURL->toolTip().contains(QStringLiteral("/group/")));
        QCOMPARE(w->txtMask->toolTip(),
                 QStringLiteral("Enter message numbers or message ranges separated by commas. "
                                "For example, 634,635,650-680"));
        QCOMPARE(captions(w->files()), (QStringList{"+Msg No.", "Subject", "Author", "File Name",
                                                    "Size", "File URL", ""}));
        QVERIFY(w->lvFiles->isColumnHidden(6));
        QCOMPARE(m_log.tipsShown, 1);
        QCOMPARE(w->state().CurrentServer, QStringLiteral("Yahoo"));

        w->selectMode(QStringLiteral("Zing"));
        QCOMPARE(m_log.tipsShown, 1); // never for Zing
        QVERIFY(
            w->cmbBaseURL->toolTip().startsWith(QStringLiteral("Enter URL for Zing Album, e.g ")));
        QVERIFY(w->cmbBaseURL->toolTip().contains(QStringLiteral("mode=invite")));
        QCOMPARE(w->txtMask->toolTip(),
                 QStringLiteral("Enter album password provided by the owner."));

        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(m_log.tipsShown, 2); // again while NoTips is still 0
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(m_log.tipsShown, 3); // selecting the mode shown runs the switch too

        save(SettingKeys::SectionSettings, SettingKeys::NoTips.key, QStringLiteral("1"));
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(m_log.tipsShown, 3);
    }

    void modeSwitchKeepsRows()
    {
        auto w = makeWindow();
        w->files().addRow({"a.jpg", "10", "http://h/a.jpg"});
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(w->files().rowCount(), 1);
        QCOMPARE(w->files().cell(0, 0), QStringLiteral("a.jpg"));
    }

    void tipsDialogStoresNoTipsHoweverItCloses()
    {
        {
            frmTips tips(*m_store);
            QCOMPARE(tips.windowTitle(), QStringLiteral("Useful Tips"));
            QVERIFY(!tips.chkNoTips->isChecked());
            tips.chkNoTips->setChecked(true);
            tips.show();
            tips.close(); // the close box
            QCOMPARE(setting(SettingKeys::SectionSettings, SettingKeys::NoTips.key),
                     QStringLiteral("1"));
        }
        {
            frmTips tips(*m_store);
            tips.show();
            tips.accept(); // OK with the box unchecked
            QCOMPARE(setting(SettingKeys::SectionSettings, SettingKeys::NoTips.key),
                     QStringLiteral("0"));
        }
    }

    void loadThreadsRebuildsNumberedRows()
    {
        auto w = makeWindow();
        const auto numbers = [&w] {
            QStringList list;
            for (QLabel *label : w->threadsPage->lblThreadNo)
                list.append(label->text());
            return list;
        };
        w->slotBoard().setStatus(0, QStringLiteral("Busy"));
        w->values().gNumberOfThreads = 2;
        w->LoadThreads();
        QCOMPARE(numbers(), (QStringList{"1", "2"}));
        QCOMPARE(w->threadsPage->lblThreadStatus.at(1)->text(), QStringLiteral("Idle"));
        w->values().gNumberOfThreads = 16;
        w->LoadThreads();
        QStringList expected;
        for (int i = 1; i <= 16; ++i)
            expected.append(QString::number(i));
        QCOMPARE(numbers(), expected);
        QCOMPARE(w->threadsPage->prgThreadProgress.size(), 16);
        QCOMPARE(w->threadsPage->lblThreadURL.size(), 16);
        w->values().gNumberOfThreads = 1;
        w->LoadThreads();
        QCOMPARE(numbers(), QStringList{"1"});
    }

    void slotRowsAreLaidOutOnTheThreadsTab()
    {
        auto w = makeWindow();
        w->values().gNumberOfThreads = 16;
        w->LoadThreads();
        QVERIFY(!w->layoutRules().slotRows.at(5).number.visible);
        w->SSTab1->setCurrentIndex(1);
        QCOMPARE(w->layoutRules().slotRows.at(15).number.top, 5175);
        QVERIFY(w->layoutRules().slotRows.at(15).url.visible);
    }

    void historyMovesEnteredUrlToTheTop()
    {
        auto w = makeWindow();
        const auto enter = [&w](const QString &text) {
            w->cmbBaseURL->setEditText(text);
            QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(w->cmbBaseURL->lineEdit(), &leave);
        };
        enter(QStringLiteral("http://a/"));
        enter(QStringLiteral("http://b/"));
        enter(QStringLiteral("http://c/"));
        QCOMPARE(comboItems(w->cmbBaseURL), (QStringList{"http://c/", "http://b/", "http://a/"}));
        enter(QStringLiteral("http://a/"));
        QCOMPARE(comboItems(w->cmbBaseURL), (QStringList{"http://a/", "http://c/", "http://b/"}));
        QCOMPARE(w->cmbBaseURL->currentText(), QStringLiteral("http://a/"));
        enter(QStringLiteral("http://A/")); // case counts
        QCOMPARE(w->cmbBaseURL->count(), 4);
        enter(QString()); // an empty box changes nothing
        QCOMPARE(w->cmbBaseURL->count(), 4);

        const auto stored = m_store->RegGetAllSettings(
            SettingKeys::Application, SettingKeys::mruSection(QStringLiteral("Zing")));
        QCOMPARE(stored.size(), 4);
        QCOMPARE(stored.at(0), (QPair<QString, QString>{"MRU1", "http://A/"}));
        QCOMPARE(stored.at(3), (QPair<QString, QString>{"MRU4", "http://b/"}));

        for (int i = 0; i < 25; ++i)
            enter(QStringLiteral("http://n%1/").arg(i));
        QCOMPARE(w->cmbBaseURL->count(), 20);
        QCOMPARE(w->cmbBaseURL->itemText(0), QStringLiteral("http://n24/"));
    }

    void eachModeShowsItsOwnHistory()
    {
        auto w = makeWindow();
        w->cmbBaseURL->setEditText(QStringLiteral("http://album/"));
        w->updateHistory();
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(w->cmbBaseURL->count(), 0);
        QCOMPARE(w->cmbBaseURL->currentText(), QString());
        w->cmbBaseURL->setEditText(QStringLiteral("http://group/"));
        w->updateHistory();
        w->selectMode(QStringLiteral("Zing"));
        QCOMPARE(comboItems(w->cmbBaseURL), QStringList{"http://album/"});
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(comboItems(w->cmbBaseURL), QStringList{"http://group/"});
    }

    void columnWidthsArePerMode()
    {
        auto w = makeWindow();
        const qreal dpi = Twips::dpiOf(w.get());
        w->lvFiles->setColumnWidth(0, 400); // "File Name" in Zing
        w->selectMode(QStringLiteral("Yahoo"));
        QCOMPARE(w->lvFiles->columnWidth(3), Twips::toPixels(3800, dpi)); // Yahoo's own
        w->selectMode(QStringLiteral("Zing"));
        QCOMPARE(w->lvFiles->columnWidth(0), 400);
        QCOMPARE(setting(SettingKeys::columnsSection(QStringLiteral("Zing")),
                         QStringLiteral("HiddenSize")),
                 QStringLiteral("<none>"));
    }

    void closeStoresStateAndRestartRestoresIt()
    {
        {
            auto w = makeWindow();
            w->showAsLoaded();
            w->move(30, 40);
            w->resize(700, 500);
            w->lvFiles->setColumnWidth(2, 321);
            w->txtDownloadTo->setText(QStringLiteral("/tmp/dl/"));
            QVERIFY(w->close());
        }
        const qreal dpi = 96; // offscreen screens report 96 dpi
        QCOMPARE(setting(SettingKeys::SectionWindow, SettingKeys::Width.key),
                 QString::number(Twips::fromPixels(700, dpi)));
        QCOMPARE(setting(SettingKeys::SectionWindow, SettingKeys::WindowState.key),
                 QStringLiteral("0"));
        QCOMPARE(setting(SettingKeys::SectionSettings, SettingKeys::DownloadFolder.key),
                 QStringLiteral("/tmp/dl/"));
        auto w = makeWindow();
        QCOMPARE(w->size(), QSize(700, 500));
        QCOMPARE(w->pos(), QPoint(30, 40));
        QCOMPARE(w->lvFiles->columnWidth(2), 321);
        QCOMPARE(w->txtDownloadTo->text(), QStringLiteral("/tmp/dl/"));
    }

    void maximizedWindowRestartsMaximized()
    {
        {
            auto w = makeWindow();
            w->resize(650, 520);
            w->showAsLoaded();
            QVERIFY(w->close()); // normal: bounds stored
        }
        {
            auto w = makeWindow();
            w->showAsLoaded();
            w->showMaximized();
            QVERIFY(w->close());
        }
        QCOMPARE(setting(SettingKeys::SectionWindow, SettingKeys::WindowState.key),
                 QStringLiteral("2"));
        auto w = makeWindow();
        w->showAsLoaded();
        QVERIFY(w->isMaximized());
        QCOMPARE(w->normalGeometry().size(), QSize(650, 520));
    }

    void strangeStoredValuesFallBack()
    {
        save(SettingKeys::SectionWindow, SettingKeys::Width.key, QStringLiteral("wide"));
        save(SettingKeys::SectionWindow, SettingKeys::Left.key, QStringLiteral("-900000"));
        save(SettingKeys::SectionWindow, SettingKeys::Top.key, QStringLiteral("-900000"));
        save(SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key, QStringLiteral("40"));
        save(SettingKeys::columnsSection(QStringLiteral("Zing")), QStringLiteral("Size"),
             QStringLiteral("x"));
        auto w = makeWindow();
        const qreal dpi = Twips::dpiOf(w.get());
        QCOMPARE(w->width(), Twips::toPixels(9200, dpi));
        QCOMPARE(w->threadsPage->rowCount(), 4);
        QVERIFY(w->lvFiles->columnWidth(1) >= Twips::toPixels(1000, dpi)); // the starting width
        // Bounds off every screen come back onto the primary screen.
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().intersects(w->geometry()));
    }

    void closeRequestAsksOnlyWhileWorkersAreBusy()
    {
        m_log.answerYes = false;
        auto w = makeWindow();
        w->showAsLoaded();
        auto *worker = new FakeWorker;
        w->state().replaceThreads({worker});
        QVERIFY(!w->close());
        QCOMPARE(m_log.abortAsked, 1);
        QVERIFY(w->isVisible());
        QVERIFY(!w->state().AbortRequested);

        worker->finish();
        QVERIFY(w->close()); // idle: no question
        QCOMPARE(m_log.abortAsked, 1);
    }

    void closeRequestYesWaitsForWorkersThenCloses()
    {
        auto w = makeWindow();
        w->showAsLoaded();
        auto *worker = new FakeWorker;
        w->state().replaceThreads({worker});
        w->txtDownloadTo->setText(QStringLiteral("/after/"));
        QVERIFY(!w->close());
        QCOMPARE(m_log.abortAsked, 1);
        QVERIFY(w->state().AbortRequested);
        QCOMPARE(w->panelMessage->text(), QStringLiteral("Aborting search..."));
        QVERIFY(w->isVisible());
        QCOMPARE(setting(SettingKeys::SectionSettings, SettingKeys::DownloadFolder.key),
                 QStringLiteral("<none>"));
        worker->finish();
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(setting(SettingKeys::SectionSettings, SettingKeys::DownloadFolder.key),
                 QStringLiteral("/after/"));
    }

    void abortWithNothingRunning()
    {
        auto w = makeWindow();
        w->commands().tbAbort->trigger();
        QVERIFY(w->state().AbortRequested);
        QCOMPARE(w->panelMessage->text(), QStringLiteral("Aborting search..."));
        w->state().IsDownloading = true;
        w->AbortAll();
        QCOMPARE(w->panelMessage->text(), QStringLiteral("Aborting download..."));
    }

    void commandTableHasEveryButtonAndMenuEntry()
    {
        auto w = makeWindow();
        const QList<QPair<QString, QString>> buttons = {
            {"New", "New Queue"},           {"Open", "Open queue file"},
            {"Save", "Save queue"},         {"Search", "Explore/Scan a Site"},
            {"Download", "Download Queue"}, {"Abort", "Abort Download/Search"}};
        const auto *bar = w->findChild<QToolBar *>(QStringLiteral("tbToolBar"));
        QVERIFY(bar);
        QStringList keys;
        for (QAction *a : bar->actions()) {
            if (!a->objectName().isEmpty())
                keys.append(a->objectName());
        }
        QCOMPARE(keys.size(), buttons.size());
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(keys.at(i), buttons.at(i).first);
            QCOMPARE(w->findChild<QAction *>(buttons.at(i).first)->toolTip(), buttons.at(i).second);
            QVERIFY(!w->findChild<QAction *>(buttons.at(i).first)->icon().isNull());
        }

        const auto entries = [](QMenu *menu) {
            QStringList list;
            for (QAction *a : menu->actions()) {
                list.append(a->isSeparator() ? QStringLiteral("-") : a->text());
                if (!a->isSeparator())
                    Q_ASSERT(a->shortcut().isEmpty());
            }
            return list;
        };
        const QList<QAction *> menus = w->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus.at(0)->text(), QStringLiteral("&File"));
        QCOMPARE(entries(menus.at(0)->menu()),
                 (QStringList{"&New Queue", "&Open Queue...", "&Save Queue", "Save &Queue As...",
                              "-", "&Advanced...", "O&ptions...", "-", "E&xit"}));
        QCOMPARE(menus.at(1)->text(), QStringLiteral("&Help"));
        QCOMPARE(entries(menus.at(1)->menu()),
                 (QStringList{"&Help...", "-", "&Technical Support...", "&About..."}));
    }

    void exitClosesThroughTheCloseRequest()
    {
        auto w = makeWindow();
        w->showAsLoaded();
        w->commands().mnuFileExit->trigger();
        QVERIFY(!w->isVisible());
        QCOMPARE(setting(SettingKeys::SectionSettings, SettingKeys::DownloadFolder.key), QString());
    }

    void runningRunDisablesRunStartingCommands()
    {
        auto w = makeWindow();
        w->state().setRunActive(true);
        const CommandTable &c = w->commands();
        for (QAction *a :
             {c.tbNew, c.tbOpen, c.tbSearch, c.tbDownload, c.mnuFileNew, c.mnuFileOpen})
            QVERIFY(!a->isEnabled());
        QVERIFY(c.tbAbort->isEnabled());
        w->state().setRunActive(false);
        QVERIFY(c.tbSearch->isEnabled());
    }

    void headerClicksSortAndMarkCaptions()
    {
        auto w = makeWindow();
        FileListModel &files = w->files();
        files.addRows({{"b.jpg", "10000", "u2", "0010000"},
                       {"a.jpg", "999", "u1", "0000999"},
                       {"c.jpg", "", "u3", ""}});
        QCOMPARE(files.cell(0, 0), QStringLiteral("a.jpg")); // added into the standing sort
        QHeaderView *header = w->lvFiles->header();
        Q_EMIT header->sectionClicked(1); // Size: by the hidden key
        QCOMPARE(captions(files).mid(0, 2), (QStringList{"File Name", "+Size"}));
        QCOMPARE(files.cell(0, 0), QStringLiteral("c.jpg"));
        QCOMPARE(files.cell(1, 0), QStringLiteral("a.jpg"));
        QCOMPARE(files.cell(2, 0), QStringLiteral("b.jpg"));
        Q_EMIT header->sectionClicked(1);
        QCOMPARE(captions(files).at(1), QStringLiteral("-Size"));
        QCOMPARE(files.cell(0, 0), QStringLiteral("b.jpg"));
    }

    void totalsFollowRowsTicksAndSelection_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("total");
        QTest::newRow("rows found") << ""
                                    << "2 checked, 3,000 bytes"
                                    << "0 selected, 0 bytes"
                                    << "3 files, 6,000 bytes";
        QTest::newRow("Ctrl+A") << "select all"
                                << "2 checked, 3,000 bytes"
                                << "3 selected, 6,000 bytes"
                                << "3 files, 6,000 bytes";
        QTest::newRow("tick cleared by a download") << "untick"
                                                    << "1 checked, 1,000 bytes"
                                                    << "0 selected, 0 bytes"
                                                    << "3 files, 6,000 bytes";
        QTest::newRow("Space ticks the selected rows") << "space"
                                                       << "3 checked, 6,000 bytes"
                                                       << "2 selected, 5,000 bytes"
                                                       << "3 files, 6,000 bytes";
        QTest::newRow("Delete removes them") << "delete"
                                             << "1 checked, 2,000 bytes"
                                             << "1 selected, 2,000 bytes"
                                             << "2 files, 5,000 bytes";
    }

    void totalsFollowRowsTicksAndSelection()
    {
        QFETCH(QString, change);
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->lvFiles->setFocus();
        FileListModel &files = w->files();
        // As a search adds them and a download unticks them: no command runs UpdateTotals.
        files.addRows({{"a", "1000", "u"}, {"b", "2000", "u"}, {"c", "3000", "u"}});
        files.setChecked(0, true);
        files.setChecked(1, true);
        QItemSelectionModel *sel = w->lvFiles->selectionModel();
        const auto selectRows = [&](int first, int last) {
            sel->setCurrentIndex(files.index(last, 0), QItemSelectionModel::NoUpdate);
            sel->select(QItemSelection(files.index(first, 0), files.index(last, 0)),
                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        };
        if (change == QLatin1String("select all")) {
            QTest::keyClick(w->lvFiles, Qt::Key_A, Qt::ControlModifier);
        } else if (change == QLatin1String("untick")) {
            files.setChecked(1, false);
        } else if (change == QLatin1String("space")) {
            selectRows(1, 2); // the current row is unticked: both get ticked
            QTest::keyClick(w->lvFiles, Qt::Key_Space);
        } else if (change == QLatin1String("delete")) {
            selectRows(0, 0);
            QTest::keyClick(w->lvFiles, Qt::Key_Delete);
        }
        QFETCH(QString, checked);
        QFETCH(QString, selected);
        QFETCH(QString, total);
        QTRY_COMPARE(w->panelTotal->text(), total);
        QTRY_COMPARE(w->panelChecked->text(), checked);
        QTRY_COMPARE(w->panelSelected->text(), selected);
    }

    void startingColumnWidthsShowNumbersInFull()
    {
        auto w = makeWindow();
        w->selectMode(QStringLiteral("Yahoo"));
        w->files().addRow({"99999", "s", "a", "f", "9999999999", "u", "9999999999"});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QAbstractItemView *view = w->lvFiles; // the tree view hides the public hint
        for (int column : {0, 4})
            QVERIFY(view->sizeHintForColumn(column) <= w->lvFiles->columnWidth(column));
    }

    void contextMenuIsEnabledOnlyWithRows()
    {
        auto w = makeWindow();
        const auto popupEnabled = [&w] {
            w->lvFiles->updatePopupEnabled();
            QList<bool> states;
            for (QAction *a : w->lvFiles->mnuPopup->actions()) {
                if (!a->isSeparator())
                    states.append(a->isEnabled());
            }
            return states;
        };
        QCOMPARE(popupEnabled(), QList<bool>(9, false));
        w->files().addRow({"a.jpg", "1", "u"});
        // No download folder, so no file to show in it.
        QCOMPARE(popupEnabled(), QList<bool>(8, true) << false);
        QStringList texts;
        for (QAction *a : w->lvFiles->mnuPopup->actions())
            texts.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(texts,
                 (QStringList{"Check All", "Uncheck All", "Check Selected", "Uncheck Selected",
                              "Inverse Selection", "-", "Remove Selected", "-", "Browse File...",
                              "Copy File URL", "Open Containing Folder"}));
    }

    void copyUrlsAndOpenFolderFollowTheRows()
    {
        auto w = makeWindow();
        QTemporaryDir folder;
        w->txtDownloadTo->setText(folder.path());
        FileListModel &files = w->files();
        // The first row has no name of its own: its file takes the URL's last part. The
        // rows are in the list's standing order, by name.
        files.addRows({{"", "1", "http://h/dir/named.jpg"},
                       {"gone.jpg", "1", "http://h/2"},
                       {"here.jpg", "1", "http://h/3"}});
        for (const char *name : {"here.jpg", "named.jpg"}) {
            QFile file(folder.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QItemSelectionModel *sel = w->lvFiles->selectionModel();
        for (const auto &[row, exists] : {std::pair{0, true}, {1, false}, {2, true}}) {
            sel->setCurrentIndex(files.index(row, 0), QItemSelectionModel::NoUpdate);
            w->lvFiles->updatePopupEnabled();
            QCOMPARE(w->lvFiles->mnuPopupOpenFolder->isEnabled(), exists);
        }

        sel->clearSelection();
        w->lvFiles->mnuPopupCopyUrl->trigger(); // nothing selected: the current row
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://h/3"));
        for (int row : {2, 0})
            sel->select(files.index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w->lvFiles->mnuPopupCopyUrl->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("http://h/dir/named.jpg\nhttp://h/3"));
    }

    void checkInverseRemoveAndTotals()
    {
        auto w = makeWindow();
        FileListModel &files = w->files();
        files.addRows(
            {{"a", "1000", "u"}, {"b", "234567", "u"}, {"c", "1000000", "u"}, {"d", "", "u"}});
        QItemSelectionModel *sel = w->lvFiles->selectionModel();
        sel->select(files.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sel->select(files.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(files.isSelected(0) && files.isSelected(2) && !files.isSelected(1));

        w->lvFiles->mnuPopupCheckSelected->trigger();
        QCOMPARE(w->panelChecked->text(), QStringLiteral("2 checked, 1,001,000 bytes"));
        QCOMPARE(w->panelSelected->text(), QStringLiteral("2 selected, 1,001,000 bytes"));
        QCOMPARE(w->panelTotal->text(), QStringLiteral("4 files, 1,235,567 bytes"));

        w->lvFiles->mnuPopupInverse->trigger();
        QVERIFY(sel->isRowSelected(1) && sel->isRowSelected(3));
        QVERIFY(!sel->isRowSelected(0) && !sel->isRowSelected(2));
        QCOMPARE(w->panelSelected->text(), QStringLiteral("2 selected, 234,567 bytes"));
        QCOMPARE(w->panelChecked->text(), QStringLiteral("2 checked, 1,001,000 bytes"));

        w->lvFiles->mnuPopupCheckAll->trigger();
        QCOMPARE(w->panelChecked->text(), QStringLiteral("4 checked, 1,235,567 bytes"));

        sel->setCurrentIndex(files.index(3, 0), QItemSelectionModel::NoUpdate);
        w->lvFiles->mnuPopupRemove->trigger();
        QCOMPARE(files.rowCount(), 2);
        QCOMPARE(files.cell(0, 0), QStringLiteral("a"));
        QCOMPARE(files.cell(1, 0), QStringLiteral("c"));
        QCOMPARE(w->panelTotal->text(), QStringLiteral("2 files, 1,001,000 bytes"));
        // The row holding the focus after the removal is selected.
        QCOMPARE(w->panelSelected->text(), QStringLiteral("1 selected, 1,000,000 bytes"));
        QVERIFY(sel->isRowSelected(1));

        sel->select(QItemSelection(files.index(0, 0), files.index(1, 0)),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w->RemoveSelected();
        QCOMPARE(files.rowCount(), 0);
        QCOMPARE(w->panelTotal->text(), QStringLiteral("0 files, 0 bytes"));
        QCOMPARE(w->panelChecked->text(), QStringLiteral("0 checked, 0 bytes"));
    }

    void totalsAboveTwoGigabytes()
    {
        auto w = makeWindow();
        w->files().addRows({{"a", "2000000000", "u"}, {"b", "2000000000", "u"}});
        w->UpdateTotals();
        QCOMPARE(w->panelTotal->text(), QStringLiteral("2 files, 4,000,000,000 bytes"));
    }

    void browseFileNavigatesAndShowsBrowserTab()
    {
        auto w = makeWindow();
        w->BrowseFile(); // no current row: nothing happens
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        w->files().addRow({"a.jpg", "1", "http://pics/a.jpg", "0000001"});
        w->lvFiles->setCurrentIndex(w->files().index(0, 0));
        w->BrowseFile();
        QCOMPARE(w->browserPage->pendingUrl(), QUrl(QStringLiteral("http://pics/a.jpg")));
        QCOMPARE(w->SSTab1->currentIndex(), 2);

        w->selectMode(QStringLiteral("Yahoo"));
        w->files().clear();
        w->files().addRow({"00001", "s", "a", "f.zip", "5", "http://files/f.zip", "0000005"});
        w->lvFiles->setCurrentIndex(w->files().index(0, 0));
        w->BrowseFile();
        QCOMPARE(w->browserPage->pendingUrl(), QUrl(QStringLiteral("http://files/f.zip")));
    }

    void browserTabCreatesTheWebViewAtAboutBlank()
    {
        auto w = makeWindow();
        w->showAsLoaded();
        QVERIFY(w->browserPage->view() == nullptr);
        w->SSTab1->setCurrentIndex(2);
        QVERIFY(w->browserPage->view() != nullptr);
        QCOMPARE(w->browserPage->view()->url(), QUrl(QStringLiteral("about:blank")));
        // Sized to the tab's contents, inside its page.
        QVERIFY(w->browserPage->view()->width() > 0);
        QVERIFY(w->browserPage->view()->geometry().bottom() <= w->browserPage->height());
    }

    void browserGoesWhereTheTransfersGo_data()
    {
        QTest::addColumn<QStringList>("connectTo");
        QTest::addColumn<QString>("rules");
        QTest::newRow("one") << QStringList{"groups.example.com:80:127.0.0.1:8080"}
                             << "MAP groups.example.com:80 127.0.0.1:8080";
        QTest::newRow("two, IPv6 target")
            << QStringList{"a.test:80:[::1]:81", "b.test:443:c.test:8443"}
            << "MAP a.test:80 [::1]:81,MAP b.test:443 c.test:8443";
        QTest::newRow("same host, other port")
            << QStringList{"a.test:80::8080"} << "MAP a.test:80 a.test:8080";
        QTest::newRow("any host") << QStringList{"::127.0.0.1:"} << "MAP * 127.0.0.1";
    }

    void browserGoesWhereTheTransfersGo()
    {
        QFETCH(QStringList, connectTo);
        QFETCH(QString, rules);
        QCOMPARE(BrowserPage::hostResolverRules(connectTo), rules);
    }

    void layoutFollowsTheWindowSize()
    {
        auto w = makeWindow();
        w->showAsLoaded();
        const qreal dpi = Twips::dpiOf(w.get());
        const int centralWidth = Twips::fromPixels(w->centralWidget()->width(), dpi);
        QCOMPARE(w->layoutRules().fraSettings.width, centralWidth - 100);
        // The labels may push the field's left edge; its right edge is the rules'.
        const Layout::Rect &url = w->layoutRules().cmbBaseURL;
        QVERIFY(qAbs(w->cmbBaseURL->geometry().right() + 1 -
                     Twips::toPixels(url.left + url.width, dpi)) <= 1);
        QCOMPARE(w->txtMask->width(), w->cmbBaseURL->width());
        // The browse button's right edge is flush with the address box's.
        QVERIFY(qAbs(w->cmdBrowse->geometry().right() - w->cmbBaseURL->geometry().right()) <= 1);
        w->resize(w->width() + 150, w->height());
        QCOMPARE(w->layoutRules().fraSettings.width,
                 Twips::fromPixels(w->centralWidget()->width(), dpi) - 100);
        // The tab area never reaches under the status bar.
        QVERIFY(w->SSTab1->geometry().bottom() < w->centralWidget()->height());
        QCOMPARE(w->minimumSize(), QSize(Twips::toPixels(7000, dpi), Twips::toPixels(6000, dpi)));
    }

    void aboutBoxShowsTitleAndVersion()
    {
        frmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Trawl Bay"));
        QCOMPARE(about.lblTitle->text(), QStringLiteral("Trawl Bay"));
        QVERIFY(about.lblVersion->text().contains(
            QRegularExpression(QStringLiteral("^Version \\d+\\.\\d+\\.\\d+$"))));
    }

    void systemInfoMissingShowsTheMessage()
    {
        const QByteArray oldPath = qgetenv("PATH");
        const QByteArray oldDirs = qgetenv("XDG_CONFIG_DIRS");
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", empty.path().toLocal8Bit());
        frmAbout about;
        QSignalSpy unavailable(&about, &frmAbout::sysInfoUnavailable);
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                shown = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
                box->close();
            }
        });
        about.StartSysInfo();
        qputenv("PATH", oldPath);
        qputenv("XDG_CONFIG_DIRS", oldDirs);
        QCOMPARE(unavailable.count(), 1);
        QCOMPARE(shown, QStringLiteral("System Information Is Unavailable At This Time"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
