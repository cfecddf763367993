// Searches and downloads started from the main window's toolbar, against a local server.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/net/hostmapping.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/elidedlabel.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/slotrows.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "support/testserver.h"

namespace {

using Serve = TestServer::Mode;

// A made-up host of this executable only; the host mapping sends it to the test server.
const QString Host = QStringLiteral("http://dl.gui.test");
// Upper bound for "the run ended"; never a timing expectation.
constexpr int EndBoundMs = 8000;

} // namespace

class TestGuiRuns : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_downloads;
    std::unique_ptr<SettingsStore> m_store;
    PromptLog m_log;

    std::unique_ptr<frmDownload> makeWindow()
    {
        auto w = std::make_unique<frmDownload>(*m_store, ProgramValues(),
                                               std::make_unique<ScriptedPrompts>(m_log));
        w->setSearchTimeouts({3000, 1000});
        return w;
    }

    QString downloads() const { return m_downloads->path(); }

    // Adds Zing rows {name, path} and ticks them.
    static void addTicked(frmDownload &w, const QList<QPair<QString, QByteArray>> &rows)
    {
        QList<QStringList> cells;
        for (const auto &row : rows)
            cells.append({row.first, QString(), Host + QString::fromLatin1(row.second), {}});
        const int first = w.files().rowCount();
        w.files().addRows(cells);
        for (int row = first; row < w.files().rowCount(); ++row)
            w.files().setChecked(row, true);
    }

    // The actions that start a run, which must stay off while one runs.
    static QList<QAction *> startingActions(const frmDownload &w)
    {
        const CommandTable &c = w.commands();
        return {c.tbNew, c.mnuFileNew, c.tbOpen, c.mnuFileOpen, c.tbSearch, c.tbDownload};
    }

    static bool allEnabled(const QList<QAction *> &actions, bool enabled)
    {
        for (const QAction *a : actions) {
            if (a->isEnabled() != enabled)
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
        const QString to = QStringLiteral(":127.0.0.1:") + QString::number(m_server.port());
        for (const char *host : {"dl.gui.test", "groups.gui.test", "f9.gui.test", "www.zing.com"})
            QVERIFY(HostMapping::global().add(QLatin1String(host) + QStringLiteral(":80") + to));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_downloads = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid() && m_downloads->isValid());
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("settings.json")));
        m_log = PromptLog();
    }

    void downloadFromTheToolbar()
    {
        m_server.route("/gui/a.bin", serve(QByteArray(3000, 'a'), Serve::Slow, 100, 1000));
        m_server.route("/gui/b.bin", serve(QByteArray(10, 'b'), Serve::Normal, 100));
        auto w = makeWindow();
        w->txtDownloadTo->setText(downloads());
        addTicked(*w, {{QStringLiteral("a.bin"), "/gui/a.bin"},
                       {QStringLiteral("b:c.bin"), "/gui/b.bin"}});
        QCOMPARE(w->lvFiles->selectionMode(), QAbstractItemView::ExtendedSelection);

        w->commands().tbDownload->trigger();
        // One run at a time; only Abort stays available, and the list shows one row.
        QVERIFY(allEnabled(startingActions(*w), false));
        QVERIFY(w->commands().tbAbort->isEnabled());
        QCOMPARE(w->lvFiles->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(w->state().AnyThreadBusy());

        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("2 files downloaded"),
                                  EndBoundMs);
        QVERIFY(allEnabled(startingActions(*w), true));
        QVERIFY(!w->state().AnyThreadBusy()); // so closing now does not ask
        QCOMPARE(w->lvFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(readFile(m_downloads->filePath(QStringLiteral("a.bin"))), QByteArray(3000, 'a'));
        QCOMPARE(readFile(m_downloads->filePath(QStringLiteral("b_c.bin"))), QByteArray(10, 'b'));
        QCOMPARE(entries(downloads()), (QStringList{"a.bin", "b_c.bin"}));
        QVERIFY(!w->files().isChecked(0));
        QVERIFY(!w->files().isChecked(1));
        QCOMPARE(w->ProgressBar1->maximum(), 2);
        QCOMPARE(w->ProgressBar1->value(), 0); // empty again once the run ended
        QVERIFY(w->ProgressBar1->text().contains(QStringLiteral(" in "))); // "3.0 KB in 0:01 …"
        QCOMPARE(w->ProgressBar1->text(), w->state().runDetail());
        QVERIFY(m_log.exclamations.isEmpty());
    }

    void refusalsShowTheirMessage()
    {
        auto w = makeWindow();
        const int requests = m_server.requestHeads().size();
        w->txtDownloadTo->setText(downloads());
        addTicked(*w, {{QStringLiteral("r.bin"), "/gui/r.bin"}});
        w->files().setChecked(0, false);
        QSignalSpy active(&w->state(), &AppState::runActiveChanged);

        w->commands().tbDownload->trigger();
        QCOMPARE(m_log.exclamations, QStringList{"Check files you want to download."});

        w->files().setChecked(0, true);
        w->txtDownloadTo->clear();
        w->commands().tbDownload->trigger();
        QCOMPARE(m_log.exclamations, (QStringList{"Check files you want to download.",
                                                  "Please select download folder."}));
        // The folder picker follows, in the user's Downloads folder; cancelled, nothing runs.
        QCOMPARE(m_log.folderStarts,
                 QStringList{QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)});

        QCOMPARE(active.count(), 0);
        QVERIFY(allEnabled(startingActions(*w), true));
        QCOMPARE(w->lvFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
        QTest::qWait(100);
        QCOMPARE(m_server.requestHeads().size(), requests);
        QVERIFY(entries(downloads()).isEmpty());
        QVERIFY(w->files().isChecked(0));
    }

    void failuresShowInTheStatus()
    {
        m_server.route("/gui/fine.txt", serve("fine"));
        auto w = makeWindow();
        w->txtDownloadTo->setText(downloads());
        addTicked(*w, {{QStringLiteral("fine.txt"), "/gui/fine.txt"},
                       {QStringLiteral("lost.txt"), "/gui/no-such-file.txt"}});
        w->commands().tbDownload->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(),
                                  QStringLiteral("1 files downloaded, 1 failed"), EndBoundMs);
        QCOMPARE(entries(downloads()), QStringList{"fine.txt"});
        QVERIFY(!w->files().isChecked(0));
        QVERIFY(w->files().isChecked(1));
        QCOMPARE(w->files().rowMark(1), FileListModel::RowMark::Failed);
        QVERIFY(allEnabled(startingActions(*w), true));
    }

    void yahooModeFromTheWindow()
    {
        m_server.route("/gui/y.txt", serve("yahoo"));
        auto w = makeWindow();
        QVERIFY(w->selectMode(QStringLiteral("Yahoo")));
        w->txtDownloadTo->setText(downloads());
        w->files().addRows({{QStringLiteral("00007"), QStringLiteral("s"), QStringLiteral("a"),
                             QStringLiteral("y?.txt"), QStringLiteral("5"), Host + "/gui/y.txt",
                             QStringLiteral("0000005")}});
        w->files().setChecked(0, true);
        w->commands().tbDownload->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("1 files downloaded"),
                                  EndBoundMs);
        QCOMPARE(entries(downloads()), QStringList{"y_.txt"});
        QCOMPARE(readFile(m_downloads->filePath(QStringLiteral("y_.txt"))), QByteArray("yahoo"));
    }

    void abortFromTheToolbar()
    {
        m_server.route("/gui/long.bin", serve(QByteArray(100000, 'l'), Serve::Slow, 30, 1000));
        auto w = makeWindow();
        w->txtDownloadTo->setText(downloads());
        addTicked(*w, {{QStringLiteral("long.bin"), "/gui/long.bin"}});
        w->commands().tbDownload->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->slotBoard().at(0).progress > 0, EndBoundMs);
        // The slot's bytes show on the Threads tab, whole in the tooltip.
        QTRY_VERIFY(w->threadsPage->lblThreadDetail[0]->toolTip().contains(QStringLiteral(" of ")));
        w->commands().tbAbort->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("Download aborted"),
                                  EndBoundMs);
        QVERIFY(allEnabled(startingActions(*w), true));
        QCOMPARE(w->lvFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(entries(downloads()).isEmpty());
        QVERIFY(w->files().isChecked(0));
    }

    void optionsReachTheRun_data()
    {
        QTest::addColumn<QString>("ifExists");
        QTest::addColumn<QString>("retries");
        QTest::addColumn<int>("firstStatus"); // 503: one refusal before the file
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("files"); // the folder afterwards, as name=content
        QTest::newRow("replace") << "replace"
                                 << "0" << 200 << "1 files downloaded" << QStringList{"e.bin=new"};
        QTest::newRow("skip") << "skip"
                              << "0" << 200 << "1 files downloaded" << QStringList{"e.bin=old"};
        QTest::newRow("keep both")
            << "keep-both"
            << "0" << 200 << "1 files downloaded" << QStringList{"e (2).bin=new", "e.bin=old"};
        QTest::newRow("no retry") << "replace"
                                  << "0" << 503 << "0 files downloaded, 1 failed"
                                  << QStringList{"e.bin=old"};
        QTest::newRow("one retry")
            << "replace"
            << "1" << 503 << "1 files downloaded" << QStringList{"e.bin=new"};
    }

    // The stored options, read as the window starts, decide the run.
    void optionsReachTheRun()
    {
        QFETCH(QString, ifExists);
        QFETCH(QString, retries);
        QFETCH(int, firstStatus);
        QFETCH(QString, message);
        QFETCH(QStringList, files);
        const QByteArray path = "/gui/e-" + QByteArray(QTest::currentDataTag()).replace(' ', '-');
        TestServer::Response refused = serve("busy");
        refused.status = firstStatus;
        if (firstStatus == 200)
            m_server.route(path, serve("new"));
        else
            m_server.routeSequence(path, {refused, serve("new")});
        QFile old(m_downloads->filePath(QStringLiteral("e.bin")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        m_store->RegSaveSetting(SettingKeys::IfFileExists, ifExists);
        m_store->RegSaveSetting(SettingKeys::Retries, retries);
        auto w = makeWindow();
        w->txtDownloadTo->setText(downloads());
        addTicked(*w, {{QStringLiteral("e.bin"), path}});
        w->commands().tbDownload->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), message, EndBoundMs);
        QStringList found;
        for (const QString &name : entries(downloads()))
            found.append(name + u'=' + QString::fromLatin1(readFile(m_downloads->filePath(name))));
        QCOMPARE(found, files);
    }

    void standingSortHoldsForANewSearch()
    {
        // The sizes arrive after the rows: the rows must still end in the marked order.
        m_server.route("/album/?id=2&pwd=pw&agree_accept=Y",
                       serve("<script>var theUrls = new Array('http://www.zing.com/picture/s1',"
                             "'http://www.zing.com/picture/s2','http://www.zing.com/picture/s3');\n"
                             "var imgCleanCaptions = new Array('Mid','Big','Small');</script>"));
        const QList<int> sizes{3000, 40000, 20};
        for (int i = 0; i < sizes.size(); ++i)
            m_server.route("/picture/s" + QByteArray::number(i + 1) + ".orig.jpg",
                           serve(QByteArray(sizes[i], 'p')));

        auto w = makeWindow();
        w->files().addRows({{"old", "5", "u", "0000005"}});
        w->lvFiles->header()->sectionClicked(1);
        w->lvFiles->header()->sectionClicked(1); // "-Size" stands
        w->cmbBaseURL->setEditText(QStringLiteral("http://www.zing.com/album/?id=2"));
        w->txtMask->setText(QStringLiteral("pw"));
        w->commands().tbSearch->trigger();
        QVERIFY(!w->commands().tbSearch->isEnabled()); // no second run under this one
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("Finished search"), 8000);
        QVERIFY(w->commands().tbSearch->isEnabled());
        QCOMPARE(w->files().headerData(1, Qt::Horizontal).toString(), QStringLiteral("-Size"));
        QTRY_COMPARE(column(w->files(), 0), (QStringList{"Big", "Mid", "Small"}));
        QCOMPARE(column(w->files(), 1), (QStringList{"40000", "3000", "20"}));
        QTRY_COMPARE(w->panelTotal->text(), QStringLiteral("3 files, 43,020 bytes"));
    }

    void refusedMaskShowsTheMessage()
    {
        auto w = makeWindow();
        w->selectMode(QStringLiteral("Yahoo"));
        w->cmbBaseURL->setEditText(QStringLiteral("http://groups.gui.test/group/x"));
        w->txtMask->setText(QStringLiteral("10-5"));
        w->commands().tbSearch->trigger();
        QCOMPARE(m_log.criticals, QStringList{"Wrong message mask."});
        QCOMPARE(w->panelMessage->text(), QStringLiteral("Error parsing message mask"));
        QVERIFY(w->commands().tbSearch->isEnabled());
    }

    void enterStartsAndEscapeStops()
    {
        m_server.route("/group/keys/message/1", serve({}, Serve::Stall));
        auto w = makeWindow();
        w->showAsLoaded();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // Escape with nothing running changes nothing.
        QTest::keyClick(w->txtMask, Qt::Key_Escape);
        QVERIFY(!w->state().AbortRequested);
        w->selectMode(QStringLiteral("Yahoo"));
        w->cmbBaseURL->setEditText(QStringLiteral("http://groups.gui.test/group/keys"));
        w->txtMask->setText(QStringLiteral("1"));
        QTest::keyClick(w->txtMask, Qt::Key_Return);
        QVERIFY(w->state().isRunActive());
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/group/keys/message/1"), 1, 5000);
        QTest::keyClick(w->txtMask, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("Search aborted"), 5000);
        QVERIFY(!w->state().isRunActive());
    }

    void closingDuringARunAsks_data()
    {
        QTest::addColumn<bool>("download");
        QTest::addColumn<QString>("aborted");
        QTest::newRow("download") << true << "Download aborted";
        QTest::newRow("group search") << false << "Search aborted";
    }

    void closingDuringARunAsks()
    {
        QFETCH(bool, download);
        QFETCH(QString, aborted);
        auto w = makeWindow();
        w->showAsLoaded();
        if (download) {
            m_server.route("/gui/close.bin", serve(QByteArray(100000, 'c'), Serve::Slow, 30, 1000));
            w->txtDownloadTo->setText(downloads());
            addTicked(*w, {{QStringLiteral("close.bin"), "/gui/close.bin"}});
            w->commands().tbDownload->trigger();
        } else {
            m_server.route("/group/x/message/1", serve({}, Serve::Stall));
            m_server.route("/group/x/message/2", serve({}, Serve::Stall));
            w->selectMode(QStringLiteral("Yahoo"));
            w->cmbBaseURL->setEditText(QStringLiteral("http://groups.gui.test/group/x"));
            w->txtMask->setText(QStringLiteral("1,2"));
            w->commands().tbSearch->trigger();
        }
        QVERIFY(w->state().AnyThreadBusy());

        m_log.answerYes = false;
        QVERIFY(!w->close());
        QCOMPARE(m_log.abortAsked, 1);
        QVERIFY(w->isVisible());
        QVERIFY(w->state().AnyThreadBusy()); // No: the run goes on

        m_log.answerYes = true;
        QVERIFY(!w->close()); // Yes: aborts, then closes once every slot is idle
        QCOMPARE(m_log.abortAsked, 2);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), EndBoundMs);
        QVERIFY(!w->state().AnyThreadBusy());
        QCOMPARE(w->panelMessage->text(), aborted);
        QVERIFY(entries(downloads()).isEmpty());
    }
};

QTEST_MAIN(TestGuiRuns)
#include "test_guiruns.moc"
