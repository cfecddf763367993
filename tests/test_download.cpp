// The download run and its file downloader against a local server, and file names.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <optional>
#include <utility>

#include "core/download/filename.h"
#include "core/download/retrypolicy.h"
#include "core/download/transfermeter.h"
#include "core/filelist/columnset.h"
#include "support/runfixtures.h"
#include "support/testfiles.h"

namespace {

using Response = TestServer::Response;
using Serve = TestServer::Mode;
using RowId = FileListModel::RowId;
using Params = DownloadRun::Params;
using Mark = FileListModel::RowMark;

// A made-up host of this executable only; the host mapping sends it to the test server.
const QString Host = QStringLiteral("http://dl.files.test");
// Upper bound for "the run ended"; never a timing expectation.
constexpr int EndBoundMs = 8000;
constexpr qint64 BigSize = 200000;

Response answer(int status, const QByteArray &body = "busy",
                const QList<QPair<QByteArray, QByteArray>> &headers = {})
{
    Response r = serve(body);
    r.status = status;
    r.reason = "Reason";
    r.headers = headers;
    return r;
}

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

    TestServer m_server;
    QTemporaryDir m_elsewhere; // outside the download folder
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Session> m_s;
    QList<int> m_progress; // the overall bar's values
    QList<bool> m_multi;
    QList<RowId> m_started;

    AppState &state() { return m_s->run.state(); }
    SlotBoard &board() { return m_s->run.board(); }
    FileListModel &files() { return m_s->run.files(); }
    DownloadRun &run() { return m_s->run.download(); }
    QString status() const { return m_s->statuses.value(m_s->statuses.size() - 1); }
    QString folder() const { return m_dir->path(); }
    QString target(const QString &name) const { return m_dir->filePath(name); }

    QString at(const QByteArray &path, const std::optional<Response> &response = {})
    {
        if (response)
            m_server.route(path, *response);
        return Host + QString::fromLatin1(path);
    }
    RowId addUrl(const QString &name, const QString &url, bool checked = true,
                 const QString &size = {})
    {
        const RowId id = files().addRow({name, size, url, {}});
        files().setChecked(files().rowOf(id), checked);
        return id;
    }
    RowId add(const QString &name, const QByteArray &path, bool checked = true)
    {
        return addUrl(name, at(path), checked);
    }
    RowId add(const QString &name, const QByteArray &path, const Response &response)
    {
        return addUrl(name, at(path, response));
    }
    // One 0 or 1 per row: its tick.
    QString ticks()
    {
        QString bits;
        for (int row = 0; row < files().rowCount(); ++row)
            bits += files().isChecked(row) ? u'1' : u'0';
        return bits;
    }

    Params params(int threads = 1, int timeoutMs = 5000) const
    {
        Params p;
        p.folder = folder();
        p.mode = Mode::Zing;
        p.threads = threads;
        p.timeoutMs = timeoutMs;
        p.retries = 0; // the retry tests ask for them
        return p;
    }

    // Starts a run that must be accepted and waits for its end; false when it did not end.
    bool runToEnd(const Params &p)
    {
        board().resize(p.threads);
        QSignalSpy finished(&run(), &DownloadRun::finished);
        if (run().start(p) != DownloadRun::Start::Started)
            return false;
        // Every row may fail at once (a folder that cannot be written), inside start() itself.
        if (finished.isEmpty() && !finished.wait(EndBoundMs))
            return false;
        return finished.count() == 1 && !run().isRunning() && !state().isRunActive() &&
               !state().AnyThreadBusy();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        QVERIFY(mapHosts(m_server, {"dl.files.test:80"}));
        QVERIFY(writeFile(m_elsewhere.filePath("local.bin"), patternBody(300000)));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_s = std::make_unique<Session>();
        files().setColumns(columnSet(Mode::Zing));
        m_progress.clear();
        m_multi.clear();
        m_started.clear();
        connect(&state(), &AppState::progressChanged, &run(),
                [this] { m_progress.append(state().progress().value); });
        connect(&run(), &DownloadRun::multiSelectChanged, &run(),
                [this](bool multi) { m_multi.append(multi); });
        connect(&run(), &DownloadRun::rowStarted, &run(),
                [this](RowId id) { m_started.append(id); });
    }

    void cleanup()
    {
        m_s.reset();
        m_dir.reset();
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url"); // empty: the name cleaned alone
        QTest::addColumn<QString>("saved");
        const QString control = "a" + QString(QChar(0x01)) + QChar(0x09) + QChar(0x0A) +
                                QChar(0x0D) + QChar(0x1F) + QChar(0x7F) + "b";
        const QString url = QStringLiteral("http://h/clean/file");
        // clang-format off
        QTest::newRow("plain") << "photo 1.jpg" << "" << "photo 1.jpg";
        QTest::newRow("the nine") << "a\\b/c:d*e?f\"g<h>i|j" << "" << "a_b_c_d_e_f_g_h_i_j";
        QTest::newRow("only forbidden") << "\\/:*?\"<>|" << "" << "_________";
        QTest::newRow("control characters") << control << "" << "a______b";
        QTest::newRow("nul") << QString(QChar(0)) << "" << "_";
        QTest::newRow("empty") << "" << "" << "_";
        QTest::newRow("dot") << "." << "" << "_";
        QTest::newRow("dot dot") << ".." << "" << "_";
        QTest::newRow("three dots stay") << "..." << "" << "...";
        QTest::newRow("hidden name stays") << ".profile" << "" << ".profile";
        QTest::newRow("parent path") << "../x" << "" << ".._x";
        QTest::newRow("windows parent path") << "..\\..\\x" << "" << ".._.._x";
        QTest::newRow("absolute path") << "/etc/passwd" << "" << "_etc_passwd";
        QTest::newRow("unicode kept") << QStringLiteral("Strand \u00e9t\u00e9 \u6d77.jpg") << "" << QStringLiteral("Strand \u00e9t\u00e9 \u6d77.jpg");
        QTest::newRow("spaces kept") << "  " << "" << "  ";
        // A name that says nothing takes the last part of the URL's path.
        QTest::newRow("a name wins") << "a:b.jpg" << url << "a_b.jpg";
        QTest::newRow("empty: the URL's") << "" << url << "file";
        QTest::newRow("dot: the URL's") << "." << url << "file";
        QTest::newRow("dot dot: the URL's") << ".." << url << "file";
        QTest::newRow("an encoded path") << "" << "http://h/clean/caf%C3%A9%20a%3Ab.jpg" << QStringLiteral("caf\u00e9 a_b.jpg");
        QTest::newRow("the path says nothing either") << "" << "http://h/clean/" << "_";
        QTest::newRow("a slash in the last part") << "" << "http://h/clean/a%2Fb" << "a_b";
        // clang-format on
    }

    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, url);
        QTEST(url.isEmpty() ? CleanFileName(name) : downloadName(name, url), "saved");
    }

    void refusalsChangeNothing_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("withFolder");
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("progress"); // maximum, value
        QTest::newRow("nothing ticked")
            << false << true << int(DownloadRun::Start::NothingChecked) << QList<int>{10, 7};
        QTest::newRow("no folder")
            << true << false << int(DownloadRun::Start::NoFolder) << QList<int>{2, 0};
    }

    void refusalsChangeNothing()
    {
        QFETCH(bool, ticked);
        QFETCH(bool, withFolder);
        add("a.bin", "/refuse/a.bin", ticked);
        add("b.bin", "/refuse/b.bin", false);
        add("c.bin", "/refuse/c.bin", ticked);
        state().setProgress({0, 10, 7});
        const qsizetype requests = m_server.requestHeads().size();
        QSignalSpy finished(&run(), &DownloadRun::finished);
        Params p = params();
        p.folder = withFolder ? p.folder : QString();
        QTEST(int(run().start(p)), "start");
        QTEST((QList<int>{state().progress().maximum, state().progress().value}), "progress");
        QVERIFY(!run().isRunning());
        QVERIFY(!state().isRunActive());
        QVERIFY(m_multi.isEmpty() && m_started.isEmpty());
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_server.requestHeads().size(), requests);
        QVERIFY(entries(folder()).isEmpty());
        QCOMPARE(ticks(), ticked ? "101" : "000");
        QCOMPARE(files().rowMark(0), Mark::None);
    }

    void filesLandByteExact()
    {
        const QByteArray small = patternBody(1, 1), medium = patternBody(3000, 2),
                         large = patternBody(300000, 3);
        const QByteArray chunked = patternBody(50000, 4), moved = patternBody(7000, 9);
        m_server.route("/ok/final.bin", serve(moved));
        const QList<RowId> ids = {
            add("small.bin", "/ok/small.bin", serve(small)),
            add("medium.bin", "/ok/medium.bin", serve(medium, Serve::Slow, 5, 500)),
            add("large.bin", "/ok/large.bin", serve(large)),
            add("chunked.bin", "/ok/chunked.bin", serve(chunked, Serve::Chunked, 0, 4000)),
            // Only the final body lands, never the redirect's own page; the name stays inside.
            add("../up:.bin", "/ok/moved.bin",
                answer(302, "<html>moved</html>", {{"Location", "/ok/final.bin"}})),
        };
        const RowId skipped = add("skip.txt", "/ok/skip.txt", false);
        QSignalSpy done(&run(), &DownloadRun::fileDone);
        QVERIFY(QDir(folder()).mkdir("in"));
        Params p = params(2);
        p.folder = target("in/");
        QVERIFY(runToEnd(p));

        const QString in = target("in/");
        QCOMPARE(readFile(in + "small.bin"), small);
        QCOMPARE(readFile(in + "medium.bin"), medium);
        QCOMPARE(readFile(in + "large.bin"), large);
        QCOMPARE(readFile(in + "chunked.bin"), chunked);
        QCOMPARE(readFile(in + ".._up_.bin"), moved);
        QCOMPARE(entries(folder()), QStringList{"in"});
        QCOMPARE(entries(in), (QStringList{".._up_.bin", "chunked.bin", "large.bin", "medium.bin",
                                           "small.bin"}));
        // A new file gets what any new file of the user gets, not a temporary file's 0600.
        QVERIFY(writeFile(target("plain"), "x"));
        QCOMPARE(QFileInfo(in + "small.bin").permissions(),
                 QFileInfo(target("plain")).permissions());
        QCOMPARE(m_server.requestCount("/ok/skip.txt"), 0);
        QCOMPARE(m_server.lastHostHeader(), QByteArray("dl.files.test"));
        QCOMPARE(ticks(), "000000");
        for (int row = 0; row < files().rowCount(); ++row)
            QCOMPARE(files().rowMark(row), Mark::None);
        QCOMPARE(status(), QStringLiteral("5 files downloaded"));
        QCOMPARE(run().succeeded(), 5);
        QVERIFY(run().failures().isEmpty());
        QCOMPARE(done.count(), 5);
        for (const QList<QVariant> &args : std::as_const(done))
            QVERIFY(args.at(1).toBool() && args.at(0).value<RowId>() != skipped);
        // One step per file up to the ticked rows, then empty again when the run ends.
        QCOMPARE(m_progress, (QList<int>{0, 1, 2, 3, 4, 5, 0}));
        QCOMPARE(state().progress().maximum, 5);
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QCOMPARE(m_started, ids);
        for (int slot = 0; slot < board().count(); ++slot) {
            QVERIFY(board().at(slot).status.startsWith(QLatin1String("Done: ")));
            QCOMPARE(board().at(slot).url, QString());
            QCOMPARE(board().at(slot).progress, 0);
        }
    }

    void slotProgress_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<int>("size");
        // Without a usable length each piece adds 10, up to 99 until the body is whole. A
        // transfer coding makes the client ignore the length; the pieces arrive one by one.
        Response paced = serve(patternBody(15000), Serve::Slow, 50, 1000);
        paced.headers = {{"Transfer-Encoding", "identity"}, {"Connection", "close"}};
        m_server.route("/progress/paced", paced);
        m_server.route("/progress/length", serve(patternBody(5000), Serve::Slow, 5, 1000));
        QTest::newRow("no length")
            << QByteArray("/progress/paced")
            << QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 99, 100, 0} << 15000;
        QTest::newRow("a length") << QByteArray("/progress/length")
                                  << QList<int>{0, 20, 40, 60, 80, 100, 0} << 5000;
    }

    void slotProgress()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, size);
        add("p.bin", path);
        QList<int> values;
        QObject context;
        connect(&board(), &SlotBoard::slotChanged, &context, [&](int slot) {
            if (slot == 0 && (values.isEmpty() || values.last() != board().at(0).progress))
                values.append(board().at(0).progress);
        });
        QVERIFY(runToEnd(params()));
        QTEST(values, "values");
        QCOMPARE(readFile(target("p.bin")), patternBody(size));
        QCOMPARE(status(), QStringLiteral("1 files downloaded"));
    }

    void existingFilesFollowTheChoice_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("existing");    // has.bin holds "old" before the run
        QTest::addColumn<QString>("sizeCell"); // the size check's answer
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("kept"); // what has.bin holds afterwards
        QTest::addColumn<int>("requests");
        const int replace = int(DownloadRun::IfExists::Replace),
                  skip = int(DownloadRun::IfExists::Skip);
        const QStringList one{"has.bin"}, both{"has (2).bin", "has.bin"};
        const QByteArray longer = patternBody(9000, 6);
        // clang-format off
        QTest::newRow("replace, shorter") << replace << true << "" << QByteArray("n") << one << QByteArray("n") << 1;
        QTest::newRow("replace, empty") << replace << true << "" << QByteArray() << one << QByteArray() << 1;
        QTest::newRow("replace, longer") << replace << true << "" << longer << one << longer << 1;
        QTest::newRow("empty, no file before") << replace << false << "" << QByteArray() << one << QByteArray() << 1;
        QTest::newRow("skip") << skip << true << "" << QByteArray("new!") << one << QByteArray("old") << 0;
        QTest::newRow("skip, same size") << skip << true << "3" << QByteArray("new!") << one << QByteArray("old") << 0;
        QTest::newRow("skip, other size keeps both") << skip << true << "4" << QByteArray("new!") << both << QByteArray("old") << 1;
        QTest::newRow("keep both") << int(DownloadRun::IfExists::KeepBoth) << true << "" << QByteArray("new!") << both << QByteArray("old") << 1;
        // clang-format on
    }

    void existingFilesFollowTheChoice()
    {
        QFETCH(int, choice);
        QFETCH(QString, sizeCell);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, files);
        QFETCH(int, requests);
        QFETCH(bool, existing);
        if (existing)
            QVERIFY(writeFile(target("has.bin"), "old"));
        const QByteArray path =
            "/exists/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        addUrl("has.bin", at(path, serve(body)), true, sizeCell);
        QSignalSpy skipped(&run(), &DownloadRun::skipped);
        Params p = params();
        p.ifExists = DownloadRun::IfExists(choice);
        QVERIFY(runToEnd(p));
        QCOMPARE(entries(folder()), files);
        QTEST(readFile(target("has.bin")), "kept");
        if (files.size() == 2)
            QCOMPARE(readFile(target("has (2).bin")), body);
        QCOMPARE(m_server.requestCount(path), requests);
        QCOMPARE(skipped.size(), 1 - requests);
        QCOMPARE(ticks(), "0");
        QCOMPARE(status(), QStringLiteral("1 files downloaded"));
    }

    void failureKeepsWhatWasThere_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("existing"); // 0 nothing, 1 a file, 2 a folder at the target
        QTest::addColumn<QString>("reason");
        const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
        Response liar = serve(patternBody(1000), Serve::WrongLength);
        liar.announcedLength = 2000;
        const QString local = QUrl::fromLocalFile(m_elsewhere.filePath("local.bin")).toString();
        // clang-format off
        QTest::newRow("404 over a file") << at("/fail/missing") << 1 << "404";
        QTest::newRow("404, nothing before") << at("/fail/missing") << 0 << "404";
        QTest::newRow("redirect to a 404") << at("/fail/moved", answer(302, "moved", {{"Location", "/fail/missing"}})) << 1 << "404";
        QTest::newRow("bad chunk size") << at("/fail/chunk", serve(ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n", Serve::Raw)) << 1 << "";
        QTest::newRow("huge length, no body") << at("/fail/huge", serve(ok + "Content-Length: " + QByteArray(5000, '7') + "\r\n\r\n", Serve::Raw)) << 1 << "";
        QTest::newRow("body longer than its length") << at("/fail/longer", serve(ok + "Content-Length: 3\r\n\r\nabcdef", Serve::Raw)) << 1 << "longer";
        QTest::newRow("connection reset") << at("/fail/reset", serve(patternBody(40000), Serve::ResetMidBody)) << 1 << "";
        QTest::newRow("shorter than announced") << at("/fail/short", liar) << 0 << "";
        QTest::newRow("no answer") << at("/fail/stall", serve(patternBody(20000), Serve::Stall)) << 0 << "";
        QTest::newRow("half a body, then nothing") << at("/fail/half", serve(patternBody(20000), Serve::StallAfterHeaders)) << 1 << "";
        QTest::newRow("a folder at the target") << at("/fail/folder", serve("body")) << 2 << "";
        // Only http and https are downloads: a queue file must not make us copy local files.
        QTest::newRow("empty URL") << "" << 0 << "";
        QTest::newRow("not a URL") << "::not a url::" << 0 << "";
        QTest::newRow("local file") << local << 0 << "";
        QTest::newRow("data URL") << "data:text/plain,hello" << 0 << "";
        QTest::newRow("unknown scheme") << "gopher://dl.files.test/x" << 0 << "";
        // clang-format on
    }

    void failureKeepsWhatWasThere()
    {
        QFETCH(QString, url);
        QFETCH(int, existing);
        QFETCH(QString, reason);
        const QByteArray before = patternBody(5000, 7);
        if (existing == 1)
            QVERIFY(writeFile(target("gone.jpg"), before));
        if (existing == 2)
            QVERIFY(QDir(folder()).mkpath("gone.jpg/keep"));
        const RowId id = addUrl("gone.jpg", url);
        QSignalSpy done(&run(), &DownloadRun::fileDone);
        QVERIFY(runToEnd(params(1, 400)));

        if (existing == 1)
            QCOMPARE(readFile(target("gone.jpg")), before);
        QCOMPARE(entries(folder()), existing ? QStringList{"gone.jpg"} : QStringList());
        if (existing == 2)
            QCOMPARE(entries(target("gone.jpg")), QStringList{"keep"});
        const int row = files().rowOf(id);
        QVERIFY(files().isChecked(row)); // the next run tries it again
        QCOMPARE(files().rowMark(row), Mark::Failed);
        QVERIFY(
            files().data(files().index(row, 0), Qt::ToolTipRole).toString().startsWith("Failed: "));
        QCOMPARE(status(), QStringLiteral("0 files downloaded, 1 failed"));
        QCOMPARE(run().failures().size(), 1);
        QCOMPARE(run().failures().first().target, target("gone.jpg"));
        QVERIFY2(run().failures().first().reason.contains(reason),
                 qPrintable(run().failures().first().reason));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.first().at(1).toBool(), false);
        QCOMPARE(m_progress.mid(m_progress.size() - 2),
                 (QList<int>{1, 0})); // a failed file still counts
    }

    void targetsThatAreNotOursAreKept_data()
    {
        QTest::addColumn<bool>("duringTransfer"); // else before the run
        QTest::addColumn<int>("kind"); // 0 a link to a file outside, 1 a dangling link, 2 a file
        QTest::addColumn<QString>("reason");
        const QString link = QStringLiteral("target is a symbolic link");
        QTest::newRow("link to a file outside the folder") << false << 0 << link;
        QTest::newRow("dangling link") << false << 1 << link;
        QTest::newRow("link planted during the transfer") << true << 0 << link;
        QTest::newRow("file that appeared during the transfer, keeping both")
            << true << 2 << "was kept";
    }

    void targetsThatAreNotOursAreKept()
    {
        QFETCH(bool, duringTransfer);
        QFETCH(int, kind);
        QFETCH(QString, reason);
        const QString inner = target("inner"), outside = target("outside.txt"),
                      name = inner + "/evil.txt";
        QVERIFY(QDir(folder()).mkdir("inner"));
        if (kind != 1)
            QVERIFY(writeFile(outside, "keep me"));
        const auto plant = [&] {
            return kind == 2 ? writeFile(name, "theirs") : QFile::link(outside, name);
        };
        if (!duringTransfer)
            QVERIFY(plant());
        add("evil.txt", "/link/evil.txt",
            serve("attacker", Serve::Normal, duringTransfer ? 300 : 0));
        QObject context;
        if (duringTransfer)
            connect(&m_server, &TestServer::requestReceived, &context, [&] { QVERIFY(plant()); });
        Params p = params();
        p.folder = inner;
        p.ifExists = kind == 2 ? DownloadRun::IfExists::KeepBoth : p.ifExists;
        QVERIFY(runToEnd(p));
        QCOMPARE(run().failures().size(), 1);
        QVERIFY2(run().failures().first().reason.contains(reason),
                 qPrintable(run().failures().first().reason));
        QCOMPARE(readFile(outside), kind == 1 ? QByteArray("<unreadable>") : QByteArray("keep me"));
        if (kind == 2)
            QCOMPARE(readFile(name), QByteArray("theirs"));
        else
            QCOMPARE(QFileInfo(name).symLinkTarget(), outside);
        QCOMPARE(entries(inner), QStringList{"evil.txt"});
    }

    void failedRowsAreRetriedByTheNextRun()
    {
        m_server.routeSequence("/mixed/b.txt", {answer(503), serve("now here")});
        add("a.txt", "/mixed/a.txt", serve("aaa"));
        add("b.txt", "/mixed/b.txt");
        add("c.txt", "/mixed/c.txt", serve("ccc"));
        add("d.txt", "/mixed/missing-d.txt");
        QVERIFY(runToEnd(params(3)));
        QCOMPARE(status(), QStringLiteral("2 files downloaded, 2 failed"));
        QCOMPARE(entries(folder()), (QStringList{"a.txt", "c.txt"}));
        QCOMPARE(m_progress.mid(m_progress.size() - 2), (QList<int>{4, 0}));
        QCOMPARE(ticks(), "0101");

        m_progress.clear();
        m_multi.clear();
        QVERIFY(runToEnd(params(3)));
        // The counts are those of the second run alone.
        QCOMPARE(status(), QStringLiteral("1 files downloaded, 1 failed"));
        QCOMPARE(run().succeeded(), 1);
        QCOMPARE(readFile(target("b.txt")), QByteArray("now here"));
        QCOMPARE(files().rowMark(1), Mark::None);
        QCOMPARE(ticks(), "0001");
        QCOMPARE(m_progress, (QList<int>{0, 1, 2, 0}));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        // An abort while idle changes nothing.
        QSignalSpy finished(&run(), &DownloadRun::finished);
        state().AbortAll();
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_multi.size(), 2);
    }

    void missingFolderFailsEveryRow()
    {
        const QString missing = target("no/such/folder");
        for (const char *name : {"a.txt", "b.txt", "c.txt"})
            add(name, "/nofolder/" + QByteArray(name));
        const qsizetype requests = m_server.requestHeads().size();
        Params p = params(2);
        p.folder = missing;
        QVERIFY(runToEnd(p));
        QCOMPARE(status(), QStringLiteral("0 files downloaded, 3 failed"));
        QCOMPARE(run().failures().first().target, missing + "/a.txt");
        QCOMPARE(m_server.requestHeads().size(), requests);
        QVERIFY(!QFileInfo::exists(missing));
        QCOMPARE(m_started.size(), 3);
        QCOMPARE(m_progress.mid(m_progress.size() - 2), (QList<int>{3, 0}));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QCOMPARE(ticks(), "111");
        QCOMPARE(files().rowMark(2), Mark::Failed);
    }

    void abortLeavesNoPartialFile()
    {
        const QByteArray before = patternBody(3000, 8);
        QVERIFY(writeFile(target("had.bin"), before));
        add("had.bin", "/abort/had.bin", serve(patternBody(200000), Serve::Slow, 20, 1000));
        add("new.bin", "/abort/new.bin", serve(patternBody(200000), Serve::Slow, 20, 1000));
        add("later.bin", "/abort/later.bin", serve("later"));
        board().resize(2);
        QSignalSpy finished(&run(), &DownloadRun::finished);
        QCOMPARE(run().start(params(2)), DownloadRun::Start::Started);
        // Both transfers have bytes on their way into part files.
        QTRY_VERIFY_WITH_TIMEOUT(board().at(0).progress > 0 && board().at(1).progress > 0,
                                 EndBoundMs);
        state().AbortAll();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, EndBoundMs);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(status(), QStringLiteral("Download aborted"));
        QCOMPARE(readFile(target("had.bin")), before);
        QCOMPARE(ticks(), "111");
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QVERIFY(!run().isRunning() && !state().isRunActive() && !state().AnyThreadBusy());
        // Nothing arrives after the end, nor starts later.
        QTest::qWait(200);
        QCOMPARE(entries(folder()), QStringList{"had.bin"});
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_server.requestCount("/abort/later.bin"), 0);
    }

    void abortEndsTheBackOffAtOnce()
    {
        const RowId id =
            add("file.bin", "/busy/file.bin", answer(503, "busy", {{"Retry-After", "30"}}));
        board().resize(1);
        QSignalSpy finished(&run(), &DownloadRun::finished);
        Params p = params();
        p.retries = 3;
        QCOMPARE(run().start(p), DownloadRun::Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(board().at(0).status.startsWith(QLatin1String("Retrying in 30 s")),
                                 EndBoundMs);
        state().AbortAll();
        QCOMPARE(finished.count(), 1); // no waiting for the back-off
        QCOMPARE(status(), QStringLiteral("Download aborted"));
        // An abort is no failure of the file: ticked, in the normal colour.
        QVERIFY(files().isChecked(files().rowOf(id)));
        QCOMPARE(files().rowMark(files().rowOf(id)), Mark::None);
        QCOMPARE(board().at(0).status, QStringLiteral("Aborted"));
    }

    void cutTransfersResume_data()
    {
        QTest::addColumn<QByteArray>("etagThen"); // the ETag of the later answers
        QTest::addColumn<bool>("ranges");         // the server honours Range
        QTest::addColumn<qint64>("sizeThen");     // the file's size by then
        QTest::addColumn<bool>("lastAskedRange"); // the last request carried Range
        QTest::newRow("same file: the rest") << QByteArray("\"v1\"") << true << BigSize << true;
        QTest::newRow("changed file: from zero") << QByteArray("\"v2\"") << true << BigSize << true;
        QTest::newRow("no range support: from zero")
            << QByteArray("\"v1\"") << false << BigSize << true;
        QTest::newRow("416: from zero") << QByteArray("\"v1\"") << true << BigSize / 4 << false;
    }

    void cutTransfersResume()
    {
        QFETCH(QByteArray, etagThen);
        QFETCH(bool, ranges);
        QFETCH(qint64, sizeThen);
        QFETCH(bool, lastAskedRange);
        const QByteArray first = patternBody(BigSize, 1);
        const QByteArray second =
            etagThen == "\"v1\"" && sizeThen == BigSize ? first : patternBody(sizeThen, 2);
        Response cut = serve(first, Serve::ResetMidBody);
        cut.headers = {{"ETag", "\"v1\""}};
        Response whole = serve(second);
        whole.headers = {{"ETag", etagThen}};
        whole.ranges = ranges;
        const QByteArray path =
            "/resume/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        m_server.routeSequence(path, {cut, whole});
        add("big.bin", path);
        QVERIFY(runToEnd(params()));
        QCOMPARE(run().failures().size(), 1);
        // What arrived waits in a hidden part file; the target's name is not taken.
        QCOMPARE(entries(folder()), (QStringList{".big.bin.tbpart", ".big.bin.tbpart.json"}));
        QCOMPARE(QFileInfo(target(".big.bin.tbpart")).size(), BigSize / 2);

        files().setChecked(0, true);
        QVERIFY(runToEnd(params()));
        QVERIFY(run().failures().isEmpty());
        QCOMPARE(readFile(target("big.bin")), second);
        QCOMPARE(entries(folder()), QStringList{"big.bin"});
        const QList<QByteArray> heads = m_server.requestHeads();
        QVERIFY(heads.at(heads.size() - (lastAskedRange ? 1 : 2))
                    .contains("\r\nRange: bytes=" + QByteArray::number(BigSize / 2) +
                              "-\r\nIf-Range: \"v1\"\r\n"));
        QCOMPARE(heads.last().contains("Range:"), lastAskedRange);
    }

    void failuresOnTheWayAreRetried_data()
    {
        QTest::addColumn<QList<int>>("statuses"); // answers in turn; 0 resets mid-body
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("ok");
        QTest::newRow("503 twice, then the file") << QList<int>{503, 503, 200} << 3 << 3 << true;
        QTest::newRow("a reset, then the rest") << QList<int>{0, 200} << 3 << 2 << true;
        QTest::newRow("429 beyond the retries") << QList<int>{429, 429, 429} << 2 << 3 << false;
        QTest::newRow("404 is final") << QList<int>{404, 200} << 3 << 1 << false;
        QTest::newRow("no retries asked for") << QList<int>{500, 200} << 0 << 1 << false;
    }

    void failuresOnTheWayAreRetried()
    {
        QFETCH(QList<int>, statuses);
        QFETCH(int, retries);
        QFETCH(int, requests);
        QFETCH(bool, ok);
        const QByteArray body = patternBody(40000, 3);
        QList<Response> answers;
        for (const int status : std::as_const(statuses)) {
            Response r = status >= 400 ? answer(status)
                                       : serve(body, status ? Serve::Normal : Serve::ResetMidBody);
            r.headers = {{"ETag", "\"e\""}};
            r.ranges = true;
            answers.append(r);
        }
        const QByteArray path = "/retry/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        m_server.routeSequence(path, answers);
        add("file.bin", path);
        QStringList slotTexts;
        QObject context;
        connect(&board(), &SlotBoard::slotChanged, &context,
                [&](int i) { slotTexts.append(board().at(i).status); });
        Params p = params();
        p.retries = retries;
        p.retryBaseMs = 10;
        QVERIFY(runToEnd(p));
        QCOMPARE(m_server.requestCount(path), requests);
        QCOMPARE(run().failures().isEmpty(), ok);
        if (ok)
            QCOMPARE(readFile(target("file.bin")), body);
        if (requests > 1)
            QVERIFY2(slotTexts.contains(QStringLiteral("Retrying in 1 s (1 of %1)").arg(retries)),
                     qPrintable(slotTexts.join(QLatin1Char('|'))));
        QCOMPARE(board().at(0).status, ok ? QStringLiteral("Done: file.bin")
                                          : "Failed: " + run().failures().first().reason);
    }

    void answersThatAreNotTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("sizeCell");
        QTest::addColumn<QString>("summary");
        const QString signedOut =
            QStringLiteral("0 files downloaded, 1 failed; the server sent web pages instead of "
                           "the files: sign in again and export your cookies to ");
        // clang-format off
        QTest::newRow("sign-in page for a zip") << "a.zip" << QByteArray("text/html; charset=UTF-8") << "" << signedOut;
        QTest::newRow("a web page that is one") << "a.html" << QByteArray("text/html") << "" << "1 files downloaded";
        QTest::newRow("size differs from the check") << "a.zip" << QByteArray("application/zip") << "999"
                                                     << "1 files downloaded; size differs from the size check: a.zip";
        // clang-format on
    }

    void answersThatAreNotTheFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, type);
        QFETCH(QString, sizeCell);
        QFETCH(QString, summary);
        QVERIFY(writeFile(target(name), "mine"));
        const QByteArray page = "<html>sign in</html>";
        addUrl(name, at("/page/" + name.toLatin1(), answer(200, page, {{"Content-Type", type}})),
               true, sizeCell);
        QVERIFY(runToEnd(params()));
        QVERIFY2(status().startsWith(summary), qPrintable(status()));
        QCOMPARE(readFile(target(name)),
                 summary.contains(QLatin1String("web pages")) ? QByteArray("mine") : page);
        QCOMPARE(run().sizesDiffering().size(), sizeCell.isEmpty() ? 0 : 1);
    }

    void retryDelays_data()
    {
        QTest::addColumn<int>("retry");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("expected");
        // clang-format off
        QTest::newRow("first, no jitter") << 1 << 0.5 << QByteArray() << 1000;
        QTest::newRow("second, low jitter") << 2 << 0.0 << QByteArray() << 1500;
        QTest::newRow("third, high jitter") << 3 << 1.0 << QByteArray() << 5000;
        QTest::newRow("capped") << 12 << 0.5 << QByteArray() << 60000;
        QTest::newRow("retry-after seconds") << 1 << 0.5 << QByteArray("7") << 7000;
        QTest::newRow("retry-after capped") << 1 << 0.5 << QByteArray("3600") << 60000;
        QTest::newRow("retry-after date") << 1 << 0.5 << QByteArray("Mon, 07 Dec 2026 12:00:20 GMT") << 20000;
        QTest::newRow("retry-after in the past") << 1 << 0.5 << QByteArray("Mon, 07 Dec 2026 11:00:00 GMT") << 0;
        QTest::newRow("retry-after garbage") << 2 << 0.5 << QByteArray("soon") << 2000;
        // clang-format on
    }

    void retryDelays()
    {
        QFETCH(int, retry);
        QFETCH(double, jitter);
        QFETCH(QByteArray, retryAfter);
        const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
        QTEST(RetryPolicy::delayMs(retry, 1000, jitter, retryAfter, now), "expected");
    }

    void transferTexts_data()
    {
        QTest::addColumn<QList<qint64>>("samples"); // ms, bytes, ms, bytes, ...
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        const qint64 MB = 1024 * 1024;
        // clang-format off
        QTest::newRow("no speed yet") << QList<qint64>{0, 0} << 10 * MB << "0% \u00b7 0 bytes of 10.0 MB";
        QTest::newRow("steady 1 MB/s") << QList<qint64>{0, 0, 1000, MB, 2000, 2 * MB} << 10 * MB
                                       << "20% \u00b7 2.0 MB of 10.0 MB \u00b7 1.0 MB/s \u00b7 0:08 left";
        // Only the last three seconds count: a burst long ago no longer lifts the speed.
        QTest::newRow("old burst forgotten") << QList<qint64>{0, 0, 100, 50 * MB, 5000, 52 * MB, 8000, 55 * MB} << 400 * MB
                                             << "13% \u00b7 55.0 MB of 400.0 MB \u00b7 1.0 MB/s \u00b7 5:45 left";
        QTest::newRow("length unknown") << QList<qint64>{0, 0, 2000, 4 * MB} << qint64(-1) << "4.0 MB \u00b7 2.0 MB/s";
        QTest::newRow("hours left") << QList<qint64>{0, 0, 1000, 1024} << 10 * MB
                                    << "0% \u00b7 1.0 kB of 10.0 MB \u00b7 1.0 kB/s \u00b7 2:50:39 left";
        QTest::newRow("restarted from zero") << QList<qint64>{0, 0, 1000, 5 * MB, 1500, 0, 2000, MB / 2} << 10 * MB
                                             << "5% \u00b7 512.0 kB of 10.0 MB \u00b7 1.0 MB/s \u00b7 0:10 left";
        // clang-format on
    }

    void transferTexts()
    {
        QFETCH(QList<qint64>, samples);
        QFETCH(qint64, total);
        QLocale::setDefault(QLocale::c());
        TransferMeter meter;
        for (qsizetype i = 0; i + 1 < samples.size(); i += 2)
            meter.sample(samples[i], samples[i + 1]);
        QTEST(TransferMeter::text(samples.last(), total, meter.bytesPerSecond()), "text");
    }

    void oneRunNeverReplacesItsOwnFiles_data()
    {
        QTest::addColumn<QString>("names"); // "|" between rows
        QTest::addColumn<QString>("paths");
        QTest::addColumn<QString>("ends"); // the file each row ends in
        QTest::addColumn<int>("renamed");   // rows saved under another name than their own
        // clang-format off
        QTest::newRow("three empty captions") << "||" << "1/|2/|3/" << "_|_ (2)|_ (3)" << 2;
        QTest::newRow("the same name") << "a.jpg|a.jpg" << "a1|a2" << "a.jpg|a (2).jpg" << 1;
        QTest::newRow("names that clean alike") << "a:b.txt|a_b.txt|a?b.txt" << "c1|c2|c3" << "a_b.txt|a_b (2).txt|a_b (3).txt" << 2;
        QTest::newRow("a double extension") << "s.tar.gz|s.tar.gz" << "t1|t2" << "s.tar.gz|s (2).tar.gz" << 1;
        QTest::newRow("the same file twice") << "x.bin|y.bin|x.bin" << "x|y|x" << "x.bin|y.bin|x.bin" << 0;
        QTest::newRow("a name taken by a numbered one") << "a.jpg|a (2).jpg|a.jpg" << "n1|n2|n3" << "a.jpg|a (2).jpg|a (3).jpg" << 1;
        // clang-format on
    }

    void oneRunNeverReplacesItsOwnFiles()
    {
        QFETCH(QString, names);
        QFETCH(QString, paths);
        QFETCH(QString, ends);
        const QStringList rows = names.split(u'|'), urls = paths.split(u'|'),
                          saved = ends.split(u'|');
        const QByteArray base =
            "/own/" + QByteArray(QTest::currentDataTag()).toPercentEncoding() + '/';
        for (qsizetype i = 0; i < rows.size(); ++i) {
            // Slow first rows, so later rows finish first and would win a race for the name.
            const QByteArray path = base + urls[i].toLatin1();
            add(rows[i], path, serve("body of " + path, Serve::Normal, int(rows.size() - i) * 60));
        }
        QSignalSpy savedAs(&run(), &DownloadRun::savedAs);
        QVERIFY(runToEnd(params(4)));
        QStringList onDisk = QSet<QString>(saved.cbegin(), saved.cend()).values();
        onDisk.sort();
        QCOMPARE(entries(folder()), onDisk);
        for (qsizetype i = 0; i < rows.size(); ++i)
            QCOMPARE(readFile(target(saved[i])), "body of " + base + urls[i].toLatin1());
        int requests = 0;
        for (const QString &path : QSet<QString>(urls.cbegin(), urls.cend()))
            requests += m_server.requestCount(base + path.toLatin1());
        QCOMPARE(requests, onDisk.size());
        QCOMPARE(status(), QStringLiteral("%1 files downloaded").arg(rows.size()));
        QCOMPARE(ticks(), QString(rows.size(), u'0'));
        // Every row saved under another name than its own is told, in the list and by signal.
        QTEST(int(savedAs.size()), "renamed");
        for (const QList<QVariant> &signal : std::as_const(savedAs)) {
            const int row = files().rowOf(signal.at(0).value<RowId>());
            QCOMPARE(files().data(files().index(row, 0), Qt::ToolTipRole).toString(),
                     "Saved as " + signal.at(2).toString());
        }
    }

    void slotsTakeRowsInListOrder_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<bool>("descending"); // the list sorted by name, descending
        QTest::addColumn<QString>("taken");   // slot:name, in the order taken
        QTest::newRow("one slot, as added") << 1 << false << "0:m 0:c 0:x 0:a 0:q";
        QTest::newRow("one slot, sorted") << 1 << true << "0:x 0:q 0:m 0:c 0:a";
        QTest::newRow("the lowest idle slot") << 5 << false << "0:m 1:c 2:x 3:a 4:q";
    }

    void slotsTakeRowsInListOrder()
    {
        QFETCH(int, threads);
        QFETCH(bool, descending);
        for (const char *name : {"m", "c", "x", "a", "q"})
            add(name, "/order/" + QByteArray(name), serve(name, Serve::Normal, 10));
        if (descending) {
            files().setSortKey(1);
            files().columnClick(0);
            files().columnClick(0);
        }
        QStringList taken;
        QHash<int, QString> shown;
        QObject context;
        connect(&board(), &SlotBoard::slotChanged, &context, [&](int i) {
            const QString url = board().at(i).url;
            if (!url.isEmpty() && std::exchange(shown[i], url) != url)
                taken.append(QStringLiteral("%1:%2").arg(i).arg(url));
        });
        RequestLog log(m_server, "/order/");
        QVERIFY(runToEnd(params(threads)));
        QTEST(taken.join(u' '), "taken");
        QList<RowId> ids;
        for (int row = 0; row < files().rowCount(); ++row)
            ids.append(files().idAt(row));
        QCOMPARE(m_started, ids);
        if (threads == 1)
            QCOMPARE(log.targets, column(files(), 0)); // the server is asked in the same order
        QCOMPARE(status(), QStringLiteral("5 files downloaded"));
    }

    void yahooRowsUseNameAndUrlColumns()
    {
        files().setColumns(columnSet(Mode::Yahoo));
        // Decoys in the other columns: only column 3 names the file, only 5 locates it.
        const RowId id = files().addRow({"00042", "subject.bin",
                                         at("/yahoo/decoy.bin", serve("decoy")), "y:1.bin", "10",
                                         at("/yahoo/real.bin", serve("yahoo body")), "0000010"});
        files().setChecked(files().rowOf(id), true);
        Params p = params();
        p.mode = Mode::Yahoo;
        QVERIFY(runToEnd(p));
        QCOMPARE(entries(folder()), QStringList{"y_1.bin"});
        QCOMPARE(readFile(target("y_1.bin")), QByteArray("yahoo body"));
        QCOMPARE(m_server.requestCount("/yahoo/decoy.bin"), 0);
        QCOMPARE(ticks(), "0");
    }

    void rowsRemovedUntickedOrClearedDuringTheRun()
    {
        add("r1", "/removed/r1", serve("r1", Serve::Normal, 300));
        for (const char *name : {"r2", "r3", "r4", "r5"})
            add(name, "/removed/" + QByteArray(name), serve(name));
        RequestLog log(m_server, "/removed/");
        board().resize(1);
        QSignalSpy finished(&run(), &DownloadRun::finished);
        QCOMPARE(run().start(params(1)), DownloadRun::Start::Started);
        QCOMPARE(board().at(0).url, QStringLiteral("r1"));
        // r1 (running) and r3 (waiting) go; r4 is unticked.
        files().setSelected(0, 0, true);
        files().setSelected(2, 2, true);
        QCOMPARE(files().removeSelected(), 2);
        QCOMPARE(files().cell(1, 0), QStringLiteral("r4"));
        files().setChecked(1, false);
        QVERIFY(finished.wait(EndBoundMs));
        QCOMPARE(log.targets, (QStringList{"r1", "r2", "r5"}));
        const QStringList got = entries(folder());
        QVERIFY(got.contains("r2") && got.contains("r5") && !got.contains("r3") &&
                !got.contains("r4"));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QVERIFY(!state().AnyThreadBusy());

        // A list cleared during the run: nothing more is asked for.
        add("c1", "/removed/c1", serve("c1", Serve::Slow, 30, 1));
        add("c2", "/removed/c2", serve("c2"));
        QCOMPARE(run().start(params(1)), DownloadRun::Start::Started);
        files().clear();
        QVERIFY(finished.wait(EndBoundMs));
        QCOMPARE(log.targets.mid(3), QStringList{"c1"});
        QVERIFY(!state().isRunActive());
    }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "test_download.moc"
