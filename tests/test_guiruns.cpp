// Searches and downloads started from the main window, against a local server: they prove
// the window's wiring; the runs themselves are the core tests' business.
#include <QAction>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTest>

#include "core/net/hostmapping.h"
#include "core/settings/settingkeys.h"
#include "gui/app/modeswitch.h"
#include "gui/app/runcontrols.h"
#include "support/testfiles.h"
#include "support/testserver.h"
#include "support/windowparts.h"

namespace {
const QString Host = QStringLiteral("http://dl.gui.test"); // mapped to the test server
constexpr int EndBoundMs = 8000; // upper bound for "the run ended"; never a timing expectation
} // namespace

class TestGuiRuns : public QObject
{
    Q_OBJECT

    TestServer m_server;
    std::unique_ptr<WindowFixture> m_f;
    std::unique_ptr<QTemporaryDir> m_downloads;

    std::unique_ptr<frmDownload> window()
    {
        auto w = m_f->window();
        w->runs().setSearchTimeouts({3000, 1000});
        WindowParts(*w).txtDownloadTo->setText(m_downloads->path());
        return w;
    }
    // Ticked Zing rows, one for each name=path.
    static void addTicked(frmDownload &w, const QStringList &rows)
    {
        for (const QString &row : rows) {
            w.files().addRow({row.section('=', 0, 0), {}, Host + row.section('=', 1), {}});
            w.files().setChecked(w.files().rowCount() - 1, true);
        }
    }
    // The folder as name=content, one entry a file.
    QStringList downloaded() const
    {
        QStringList found;
        for (const QString &name : entries(m_downloads->path()))
            found.append(name + '=' + readFile(m_downloads->filePath(name)));
        return found;
    }
    // How many of the six commands that start a run are enabled.
    static int startable(const frmDownload &w)
    {
        const CommandTable &c = w.commands();
        int enabled = 0;
        for (const QAction *a :
             {c.tbNew, c.mnuFileNew, c.tbOpen, c.mnuFileOpen, c.tbSearch, c.tbDownload})
            enabled += a->isEnabled();
        return enabled;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
        const QString to = ":80:127.0.0.1:" + QString::number(m_server.port());
        for (const char *host : {"dl.gui.test", "groups.gui.test", "www.zing.com"})
            QVERIFY(HostMapping::global().add(host + to));
    }
    void init()
    {
        m_f = std::make_unique<WindowFixture>();
        m_downloads = std::make_unique<QTemporaryDir>();
    }

    // A refused download shows why and starts nothing; without a folder the picker follows.
    // The stored options (keep both files, no retry) reach the run as the window starts.
    void downloadFromTheToolbar()
    {
        m_server.route("/gui/a.bin", serve("a"));
        m_server.route("/gui/b.bin", serve("b"));
        TestServer::Response refused = serve("busy");
        refused.status = 503;
        m_server.routeSequence("/gui/e.bin", {refused, serve("e")});
        QVERIFY(writeFile(m_downloads->filePath("a.bin"), "old"));
        m_f->store.RegSaveSetting(SettingKeys::IfFileExists, "keep-both");
        m_f->store.RegSaveSetting(SettingKeys::Retries, "0");
        auto w = window();
        const WindowParts p(*w);
        w->commands().tbDownload->trigger(); // nothing ticked
        addTicked(*w, {"a.bin=/gui/a.bin", "b:c.bin=/gui/b.bin", "e.bin=/gui/e.bin"});
        p.txtDownloadTo->clear();
        w->commands().tbDownload->trigger(); // the picker is cancelled
        QCOMPARE(m_f->log.exclamations.join('|'),
                 "Check files you want to download.|Please select download folder.");
        QCOMPARE(m_f->log.folderStarts,
                 QStringList{QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)});
        p.txtDownloadTo->setText(m_downloads->path());
        w->commands().tbDownload->trigger();
        // One run at a time: only Abort stays available.
        QVERIFY(startable(*w) == 0 && w->commands().tbAbort->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(p.panelMessage->text(), "2 files downloaded, 1 failed",
                                  EndBoundMs);
        QCOMPARE(startable(*w), 6);
        QCOMPARE(downloaded(), (QStringList{"a (2).bin=a", "a.bin=old", "b_c.bin=b"}));
        QVERIFY(!w->files().isChecked(0) && !w->files().isChecked(1) && w->files().isChecked(2));
    }

    void searchKeepsTheStandingSort()
    {
        // The sizes arrive after the rows: the rows must still end in the marked order, the
        // sizes compared as numbers.
        m_server.route("/album/?id=2&pwd=pw&agree_accept=Y",
                       serve("<script>var theUrls = new Array('http://www.zing.com/picture/s1',"
                             "'http://www.zing.com/picture/s2','http://www.zing.com/picture/s3');\n"
                             "var imgCleanCaptions = new Array('Mid','Big','Small');</script>"));
        for (int i : {1, 2, 3})
            m_server.route("/picture/s" + QByteArray::number(i) + ".orig.jpg",
                           serve(QByteArray(QList{900, 40000, 20}[i - 1], 'p')));
        auto w = window();
        const WindowParts p(*w);
        w->files().addRows({{"old", "5", "u", "0000005"}});
        for (int click = 0; click < 2; ++click)
            Q_EMIT p.lvFiles->header()->sectionClicked(1); // "-Size" stands
        p.cmbBaseURL->setEditText("http://www.zing.com/album/?id=2");
        p.txtMask->setText("pw");
        w->commands().tbSearch->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(p.panelMessage->text(), "Finished search", EndBoundMs);
        QTRY_COMPARE(column(w->files(), 0), (QStringList{"Big", "Mid", "Small"}));
        QTRY_COMPARE(p.panelTotal->text(), "3 files, 40,920 bytes");
    }

    void enterStartsAndEscapeStops()
    {
        m_server.route("/group/keys/message/1", serve({}, TestServer::Mode::Stall));
        auto w = window();
        const WindowParts p(*w);
        w->showAsLoaded();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(p.txtMask, Qt::Key_Escape); // with nothing running, nothing changes
        QVERIFY(!w->state().AbortRequested);
        w->modes().selectMode("Yahoo");
        p.cmbBaseURL->setEditText("http://groups.gui.test/group/keys");
        for (const char *mask : {"10-5", "1"}) {
            p.txtMask->setText(mask);
            QTest::keyClick(p.txtMask, Qt::Key_Return);
        }
        QCOMPARE(m_f->log.criticals, QStringList{"Wrong message mask."}); // and no run
        QVERIFY(w->state().isRunActive());
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/group/keys/message/1"), 1, EndBoundMs);
        QTest::keyClick(p.txtMask, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(p.panelMessage->text(), "Search aborted", EndBoundMs);
    }
};

QTEST_MAIN(TestGuiRuns)
#include "test_guiruns.moc"
