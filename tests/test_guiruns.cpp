// Searches and downloads started from the main window, against a local server: they prove
// the window's wiring; the runs themselves are the core tests' business.
#include <QAction>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include "core/download/transfermeter.h"
#include "core/filelist/columnset.h"
#include "core/net/hostmapping.h"
#include "core/search/messagemask.h"
#include "core/settings/settingkeys.h"
#include "gui/app/modeswitch.h"
#include "gui/app/runcontrols.h"
#include "gui/ui/optionsdialog.h"
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
    QHash<QString, QByteArray> m_bodies; // every served file by URL
    int m_run = 0;                       // numbers each step's files, across sessions

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

    // This step's files at path (%1 the step, %2 the file), with a validator and ranges; a
    // file to be cut is large and crawls, until its resumed request.
    QStringList serveFiles(const QString &host, const QString &path, bool cut = false)
    {
        QStringList urls;
        for (int k = 1; k <= 2 - int(cut); ++k) {
            const QString at = path.arg(m_run).arg(k);
            TestServer::Response r = serve(patternBody(cut ? 2 << 20 : 700 * k + m_run, m_run));
            r.headers = {{"ETag", "\"v1\""}};
            r.ranges = true;
            TestServer::Response first = r;
            if (cut)
                std::tie(first.mode, first.delayMs, first.chunkSize) =
                    std::tuple(TestServer::Mode::Slow, 20, 8192);
            m_server.routeSequence(at.toLatin1(), {first, r});
            urls.append(host + at);
            m_bodies.insert(urls.last(), r.body);
        }
        return urls;
    }
    // Shows the mode and routes this step's search page, one that never answers when the
    // search is to be aborted; the page's request target and the URLs it lists.
    std::pair<QByteArray, QStringList> prepareSearch(frmDownload &w, bool yahoo, bool stall)
    {
        const QString run = QString::number(m_run);
        const QStringList urls =
            yahoo ? serveFiles("http://f1.gui.test", "/f/y%1-%2.bin")
                  : serveFiles("http://www.zing.com", "/picture/z%1-%2.orig.jpg");
        QString page = "var theUrls = new Array('" +
                       QStringList(urls).replaceInStrings(".orig.jpg", "").join("','") +
                       "');\nvar imgCleanCaptions = new Array('z" + run + "-1','z" + run + "-2');";
        if (yahoo)
            page = "<b>From:</b> a<br><b>Subject:</b> s<br><a href=\"" +
                   urls.join("\">f</a><a href=\"") + "\">f</a>";
        const QByteArray target = (yahoo ? "/group/s" + run + "/message/1"
                                         : "/album/?id=" + run + "&pwd=pw&agree_accept=Y")
                                      .toLatin1();
        m_server.route(target, stall ? serve({}, TestServer::Mode::Stall) : serve(page.toLatin1()));
        w.modes().selectMode(yahoo ? "Yahoo" : "Zing");
        w.modes().setUrl(yahoo ? "http://groups.gui.test/group/s" + run
                               : "http://www.zing.com/album/?id=" + run);
        w.modes().setMask(yahoo ? "1" : "pw");
        return {target, stall ? QStringList() : urls}; // an aborted search lists nothing
    }
    // Slots whose texts are not among those a step may leave, as "slot: status url".
    static QStringList slotsBeyond(frmDownload &w, const QStringList &allowed)
    {
        QStringList beyond;
        for (int s = 0; s < w.slotBoard().count(); ++s) {
            const SlotBoard::Slot &slot = w.slotBoard().at(s);
            if (!allowed.contains(slot.status) || !slot.url.isEmpty())
                beyond.append(QString::number(s) + ": " + slot.status + ' ' + slot.url);
        }
        return beyond;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
        const QString to = ":80:127.0.0.1:" + QString::number(m_server.port());
        for (const char *host : {"dl.gui.test", "groups.gui.test", "f1.gui.test", "www.zing.com"})
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
        QCOMPARE(m_f->log.folderStarts.size(), 1); // where: typedFolderIsCheckedAtStart
        p.txtDownloadTo->setText(m_downloads->path());
        w->commands().tbDownload->trigger();
        // One run at a time: only Abort stays available.
        QVERIFY(startable(*w) == 0 && w->commands().tbAbort->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(p.panelMessage->fullText(),
                                  "2 files downloaded, 1 failed, 1 under a new name", EndBoundMs);
        QCOMPARE(startable(*w), 6);
        QCOMPARE(downloaded(), (QStringList{"a (2).bin=a", "a.bin=old", "b_c.bin=b"}));
        QVERIFY(!w->files().isChecked(0) && !w->files().isChecked(1) && w->files().isChecked(2));
    }

    // A typed folder is used as typed when it is a folder; else the download is refused with
    // its name, and the picker opens in a folder that is there.
    void typedFolderIsCheckedAtStart_data()
    {
        QTest::addColumn<QString>("typed");     // in a home of its own; "-" none
        QTest::addColumn<bool>("hasDownloads"); // the home has a Downloads folder
        QTest::addColumn<QString>("pickedIn");  // where the picker opened; "" not at all
        QTest::newRow("a folder, no slash: used") << "in" << false << "";
        QTest::newRow("no such folder: Downloads") << "none" << true << "Downloads";
        QTest::newRow("a file, no Downloads: home") << "f.txt" << false << ".";
        QTest::newRow("none, no Downloads: home") << "-" << false << ".";
    }
    void typedFolderIsCheckedAtStart()
    {
        QFETCH(QString, typed);
        QFETCH(bool, hasDownloads);
        QFETCH(QString, pickedIn);
        QTemporaryDir home;
        const QByteArray realHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", realHome); });
        qputenv("HOME", home.path().toLocal8Bit());
        QVERIFY(QDir(home.path()).mkpath("in") && writeFile(home.filePath("f.txt"), "f"));
        QVERIFY(!hasDownloads || QDir(home.path()).mkpath("Downloads"));
        m_server.route("/typed/t.bin", serve("t"));
        auto w = window();
        addTicked(*w, {"t.bin=/typed/t.bin"});
        const QString folder = typed == "-" ? QString() : home.filePath(typed);
        WindowParts(*w).txtDownloadTo->setText(folder);
        w->commands().tbDownload->trigger();
        QCOMPARE(m_f->log.folderStarts,
                 pickedIn.isEmpty() ? QStringList()
                                    : QStringList{QDir::cleanPath(home.filePath(pickedIn))});
        QCOMPARE(m_f->log.exclamations,
                 pickedIn.isEmpty() ? QStringList()
                 : typed == "-"     ? QStringList{"Please select download folder."}
                                    : QStringList{"Cannot download into \"" + folder +
                                              "\": it is not a folder that can be written to. "
                                                  "Please select download folder."});
        if (pickedIn.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(readFile(home.filePath("in/t.bin")), "t", EndBoundMs);
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
        QTRY_COMPARE_WITH_TIMEOUT(p.panelMessage->fullText(), "Finished search", EndBoundMs);
        QTRY_COMPARE(column(w->files(), 0), (QStringList{"Big", "Mid", "Small"}));
        QTRY_COMPARE(p.panelTotal->fullText(), "3 files, 40,920 bytes");
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
        QTRY_COMPARE_WITH_TIMEOUT(p.panelMessage->fullText(), "Search aborted", EndBoundMs);
    }

    void failedPagesAreNamed_data()
    {
        QTest::addColumn<QString>("mask");       // none: an album page without a picture list
        QTest::addColumn<QList<int>>("failing"); // messages that fail the first time
        QTest::addColumn<QString>("status");
        dataRow("one page", QString("1-2"), QList<int>{2},
                QString("Finished search, 1 page failed: 2"));
        dataRow("three pages, a range", QString("1-5"), QList<int>{2, 3, 5},
                QString("Finished search, 3 pages failed: 2-3,5"));
        dataRow("wrong album password", QString(), QList<int>{},
                QString("Finished search: no picture list on the album page (wrong password?)"));
    }
    // The status line names the failed messages, the reasons are one command away, and
    // searching them again keeps the rows found and adds the new ones, once each.
    void failedPagesAreNamed()
    {
        QFETCH(QString, mask);
        QFETCH(QList<int>, failing);
        QFETCH(QString, status);
        const QString run = QString::number(++m_run);
        auto w = window();
        const WindowParts p(*w);
        const CommandTable &c = w->commands();
        QStringList urls, reasons;
        TestServer::Response gone = serve("gone");
        gone.status = 404;
        for (int n : MessageMask::ParseMessageMask(mask).numbers) {
            urls.append(QString("http://f1.gui.test/x%1/%2.jpg").arg(run).arg(n));
            const TestServer::Response page =
                serve("<b>From:</b> a<br><b>Subject:</b> s<br><a href=\"" + urls.last().toLatin1() +
                      "\">f</a>");
            m_server.routeSequence(QString("/group/f%1/message/%2").arg(run).arg(n).toLatin1(),
                                   failing.contains(n) ? QList{gone, page} : QList{page});
            if (failing.contains(n))
                reasons.append(QString("message %1: HTTP status 404").arg(n));
        }
        m_server.route("/album/?id=" + run.toLatin1() + "&pwd=pw&agree_accept=Y",
                       serve("<html>no</html>"));
        w->modes().selectMode(mask.isEmpty() ? "Zing" : "Yahoo");
        w->modes().setUrl(mask.isEmpty() ? "http://www.zing.com/album/?id=" + run
                                         : "http://groups.gui.test/group/f" + run);
        w->modes().setMask(mask.isEmpty() ? "pw" : mask);
        for (QAction *command : {c.tbSearch, c.mnuSearchFailedPages, c.mnuSearchFailedAgain}) {
            command->trigger(); // a disabled one does nothing
            QTRY_VERIFY_WITH_TIMEOUT(!w->state().isRunActive(), EndBoundMs);
            if (command == c.tbSearch) {
                QCOMPARE(p.panelMessage->fullText(), status);
                QCOMPARE(p.title(), mask.isEmpty() ? "Trawl Bay" : "Trawl Bay*"); // rows found
                QCOMPARE(w->findChild<QToolButton *>("cmdFailedPages")->isVisibleTo(w.get()),
                         !failing.isEmpty());
            }
        }
        m_f->log.failedPagesShown.sort();
        QCOMPARE(m_f->log.failedPagesShown, reasons);
        QCOMPARE(p.txtMask->text(),
                 failing.isEmpty() ? p.txtMask->text() : status.section(": ", 1));
        QCOMPARE(p.panelMessage->fullText(), failing.isEmpty() ? status : "Finished search");
        QStringList listed = column(w->files(), fileUrlColumn(w->session().mode()));
        listed.sort();
        QCOMPARE(listed, urls);
        QVERIFY(!c.mnuSearchFailedPages->isEnabled() && !c.mnuSearchFailedAgain->isEnabled());
    }

    void sessionsInOneWindow_data()
    {
        QTest::addColumn<QStringList>("steps");
        dataRow("search, download, twice", QStringList{"yahoo", "download", "yahoo", "download"});
        dataRow("cut download resumes", QStringList{"download", "abort", "download"});
        dataRow("slots 4, 16, 1",
                QStringList{"yahoo", "threads 4", "threads 16", "threads 1", "download"});
        dataRow("both modes", QStringList{"yahoo", "zing", "download"});
        dataRow("new and open queue", QStringList{"download", "new", "open", "download"});
        dataRow("aborted search", QStringList{"yahoo", "abort", "yahoo"});
    }

    // Runs in any order in one window: each step ends with its own status, slot texts,
    // progress text, rows and files, never those of the step before.
    void sessionsInOneWindow()
    {
        QFETCH(const QStringList, steps);
        auto w = window();
        const WindowParts p(*w);
        const CommandTable &c = w->commands();
        QMap<QString, QByteArray> onDisk; // the download folder as it must be
        QString summary;                  // the last download's text on the bar
        // Texts left over from the step before, told at the end so that a crash in a later
        // step still shows.
        QStringList stale, urls; // and the rows the list must hold
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString step = steps.at(i), at = QString::number(i) + ' ' + step + ": ",
                          before = p.panelMessage->fullText();
            const bool search = step == "yahoo" || step == "zing",
                       cut = steps.value(i + 1) == "abort";
            QByteArray page;
            QMap<QString, QByteArray> files; // a download's, by name
            ++m_run;
            if (search) {
                std::tie(page, urls) = prepareSearch(*w, step == "yahoo", cut);
            } else if (step == "download") {
                if (urls.isEmpty()) { // nothing listed yet: rows of its own
                    urls = serveFiles(Host, "/d/d%1-%2.bin", cut);
                    for (const QString &url : std::as_const(urls))
                        w->files().addRow({url.section('/', -1), {}, url, {}});
                }
                p.select(0, w->files().rowCount() - 1);
                p.lvFiles->mnuPopupCheckSelected->trigger();
                const Mode mode = w->session().mode();
                for (int row = 0; row < w->files().rowCount(); ++row)
                    files.insert(w->files().cell(row, fileNameColumn(mode)),
                                 m_bodies.value(w->files().cell(row, fileUrlColumn(mode))));
            } else if (step == "new") {
                c.tbNew->trigger();
                urls.clear();
            } else if (step == "open") {
                urls = serveFiles(Host, "/q/q%1-%2.bin");
                m_f->log.openAnswer = m_f->dir.filePath("session.tbq");
                QVERIFY(writeFile(m_f->log.openAnswer,
                                  "Server: Zing\r\nURL: u\r\nPassword: p\r\nq-1\t\t" +
                                      urls.join("\r\nq-2\t\t").toLatin1()));
                c.tbOpen->trigger();
            } else if (step.startsWith("threads")) { // as the options dialog sets it
                frmOptions options(m_f->store, w->values(), [&w] { w->runs().threadsChanged(); });
                options.txtNoThreads->setText(step.section(' ', 1));
                options.ok();
                QCOMPARE(p.threadsPage->rowCount(), step.section(' ', 1).toInt());
            }
            if (search || !files.isEmpty() || step == "abort") {
                (search ? c.tbSearch : files.isEmpty() ? c.tbAbort : c.tbDownload)->trigger();
                // A run that starts clears the last one's status.
                if (step != "abort" && !before.isEmpty() && p.panelMessage->fullText() == before)
                    stale.append(at + "status " + before);
                if (cut) { // cut once the page was asked for, or the first bytes are in
                    QTRY_VERIFY_WITH_TIMEOUT(search ? m_server.requestCount(page) == 1
                                                    : w->slotBoard().at(0).progress > 0,
                                             EndBoundMs);
                    continue;
                }
                QTRY_VERIFY_WITH_TIMEOUT(!w->state().isRunActive(), EndBoundMs);
            }
            if (search) {
                QCOMPARE(p.panelMessage->fullText(), "Finished search");
                // ... and its slot texts and the bar's summary.
                if (const QStringList left = slotsBeyond(*w, {"Idle"}); !left.isEmpty())
                    stale.append(at + "slots " + left.join(", "));
                if (p.progressBar->isTextVisible() && p.progressBar->text() == summary)
                    stale.append(at + "bar " + summary);
            }
            if (step == "abort") {
                QCOMPARE(p.panelMessage->fullText(),
                         steps.at(i - 1) == "download" ? "Download aborted" : "Search aborted");
                QCOMPARE(slotsBeyond(*w, {"Idle", "Aborted"}), QStringList());
                // Nothing written; the cut row still ticked for the next run.
                QCOMPARE(QDir(m_downloads->path()).entryList(QDir::Files), onDisk.keys());
                QCOMPARE(w->session().download().CountChecked(), urls.size());
            }
            QStringList listed = column(w->files(), fileUrlColumn(w->session().mode()));
            listed.sort();
            QCOMPARE(listed, urls);
            if (files.isEmpty())
                continue;
            QCOMPARE(p.panelMessage->fullText(),
                     QString::number(files.size()) + " files downloaded");
            onDisk.insert(files);
            QMap<QString, QByteArray> found; // byte-exact, and no part file left
            for (const QString &name : entries(m_downloads->path()))
                found.insert(name, readFile(m_downloads->filePath(name)));
            QVERIFY2(found == onDisk, qPrintable(QStringList(found.keys()).join(", ")));
            QStringList done = files.keys().replaceInStrings(QRegularExpression("^"), "Done: ");
            qint64 bytes = 0;
            for (const QByteArray &body : std::as_const(files))
                bytes += body.size();
            QCOMPARE(slotsBeyond(*w, done << "Idle"), QStringList());
            summary = p.progressBar->text();
            QVERIFY2(summary.startsWith(TransferMeter::dataSize(bytes) + " in "),
                     qPrintable(summary));
            const QByteArray head = m_server.lastRequestHead(); // resumed where it was cut
            QCOMPARE(steps.value(i - 1) == "abort",
                     head.contains("\r\nRange: bytes=") && !head.contains("=0-"));
        }
        QVERIFY2(stale.isEmpty(), qPrintable(stale.join("; ")));
    }
};

QTEST_MAIN(TestGuiRuns)
#include "test_guiruns.moc"
