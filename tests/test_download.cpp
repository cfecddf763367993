// The download run and its file downloader against a local server, and file names.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <optional>

#include <sys/file.h>
#include <sys/stat.h>

#include "core/download/filename.h"
#include "core/download/retrypolicy.h"
#include "core/filelist/columnset.h"
#include "support/runfixtures.h"
#include "support/testfiles.h"

namespace {

using Response = TestServer::Response;
using Serve = TestServer::Mode;
using RowId = FileListModel::RowId;
using Params = DownloadRun::Params;
using Mark = FileListModel::RowMark;
using Headers = QList<QPair<QByteArray, QByteArray>>;

const QString Host = QStringLiteral("http://dl.files.test"); // mapped to the test server
constexpr int EndBoundMs = 8000; // an upper bound for "the run ended", never a timing expectation
constexpr qint64 BigSize = 200000;

Response answer(int status, const QByteArray &body = "busy", const Headers &headers = {})
{
    Response r = serve(body);
    r.status = status;
    r.headers = headers;
    return r;
}

} // namespace

class TestDownload : public RunFixture
{
    Q_OBJECT

    QTemporaryDir m_elsewhere; // outside the download folder
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<int> m_progress; // the overall bar's values
    QList<bool> m_multi;
    QList<RowId> m_started;

    DownloadRun &run() { return session().download(); }
    QString target(const QString &name) const { return m_dir->filePath(name); }
    QString at(const QByteArray &path, const std::optional<Response> &response = {})
    {
        if (response)
            m_server.route(path, *response);
        return Host + QString::fromLatin1(path);
    }
    RowId add(const QString &name, const QString &url, bool ticked = true, const QString &size = {})
    {
        const RowId id = files().addRow({name, size, url, {}});
        files().setChecked(files().rowOf(id), ticked);
        return id;
    }
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
        p.folder = m_dir->path();
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
        return (!finished.isEmpty() || finished.wait(EndBoundMs)) && finished.count() == 1 &&
               !run().isRunning() && !state().isRunActive();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen() && mapHosts({"dl.files.test:80"}));
        QVERIFY(writeFile(m_elsewhere.filePath("local.bin"), patternBody(300000)));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        newSession();
        files().setColumns(columnSet(Mode::Zing));
        m_progress.clear();
        m_multi.clear();
        m_started.clear();
        connect(&state(), &AppState::progressChanged, &run(),
                [this] { m_progress.append(state().progress().value); });
        connect(&run(), &DownloadRun::multiSelectChanged, &run(), [this](bool m) { m_multi << m; });
        connect(&run(), &DownloadRun::rowStarted, &run(), [this](RowId id) { m_started << id; });
    }

    void cleanup() { m_session.reset(); }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url"); // empty: the name cleaned alone
        QTest::addColumn<QString>("saved");
        // clang-format off
        QTest::newRow("the nine") << "a\\b/c:d*e?f\"g<h>i|j" << "" << "a_b_c_d_e_f_g_h_i_j";
        QTest::newRow("control characters") << QStringLiteral("a\x01\t\n\r\x1f\177b") << "" << "a______b";
        QTest::newRow("dot dot") << ".." << "" << "_";
        // A name that says nothing takes the last part of the URL's path.
        QTest::newRow("empty: the URL's") << "" << "http://h/clean/file" << "file";
        QTest::newRow("an encoded path") << "" << "http://h/clean/caf%C3%A9%20a%3Ab.jpg" << QStringLiteral("caf\u00e9 a_b.jpg");
        QTest::newRow("a slash in the last part") << "" << "http://h/clean/a%2Fb" << "a_b";
        // Never the name of another row's part file or record.
        QTest::newRow("like a part file") << ".b.bin.tbpart" << "http://h/x" << "_b.bin.tbpart";
        QTest::newRow("like a record") << ".c.bin.TbPart.JSON" << "http://h/x" << "_c.bin.TbPart.JSON";
        QTest::newRow("a URL's like a part file") << "" << "http://h/.d.tbpart" << "_d.tbpart";
        // clang-format on
    }
    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, url);
        QTEST(url.isEmpty() ? CleanFileName(name) : downloadName(name, url), "saved");
    }

    void filesLandByteExact()
    {
        const QHash<QString, QByteArray> bodies{
            {"small.bin", patternBody(1, 1)},      {"medium.bin", patternBody(3000, 2)},
            {"large.bin", patternBody(300000, 3)}, {"chunked.bin", patternBody(50000, 4)},
            {".._up_.bin", patternBody(7000, 5)},  {"page.html", "<html/>"}};
        m_server.route("/ok/final", serve(bodies[".._up_.bin"]));
        // A size the check measured otherwise is told; the file is kept all the same.
        add("small.bin", at("/ok/small", serve(bodies["small.bin"])), true, "9");
        add("medium.bin", at("/ok/medium", serve(bodies["medium.bin"], Serve::Slow, 5, 500)));
        add("large.bin", at("/ok/large", serve(bodies["large.bin"])));
        add("chunked.bin",
            at("/ok/chunked", serve(bodies["chunked.bin"], Serve::Chunked, 0, 4000)));
        // Only the final body lands, never the redirect's page; the name stays inside.
        add("../up:.bin", at("/ok/moved", answer(302, "moved", {{"Location", "/ok/final"}})));
        // A web page is refused only where the name promises another kind of file.
        add("page.html", at("/ok/page", answer(200, "<html/>", {{"Content-Type", "text/html"}})));
        QVERIFY(QDir(m_dir->path()).mkdir("in"));
        Params p = params(2);
        p.folder = target("in/");
        QVERIFY(runToEnd(p));
        QCOMPARE(entries(m_dir->path()), QStringList{"in"});
        QCOMPARE(entries(target("in")).size(), bodies.size()); // no part file left
        for (auto it = bodies.cbegin(); it != bodies.cend(); ++it)
            QCOMPARE(readFile(target("in/" + it.key())), it.value());
        // A new file gets what any new file of the user gets, not a part file's 0600.
        QVERIFY(writeFile(target("plain"), "x"));
        QCOMPARE(QFileInfo(target("in/small.bin")).permissions(),
                 QFileInfo(target("plain")).permissions());
        QCOMPARE(ticks(), "000000");
        QCOMPARE(status(), "6 files downloaded; size differs from the size check: small.bin");
        QCOMPARE(m_progress, (QList<int>{0, 1, 2, 3, 4, 5, 6, 0})); // a step per file, then empty
    }

    void existingFilesFollowTheChoice_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("existing");    // has.bin holds "old" before the run
        QTest::addColumn<QString>("sizeCell"); // the size check's answer
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("kept"); // what has.bin holds afterwards
        QTest::addColumn<bool>("both");       // the body went to "has (2).bin"
        QTest::addColumn<int>("requests");
        using If = DownloadRun::IfExists;
        const int replace = int(If::Replace), skip = int(If::Skip), keepBoth = int(If::KeepBoth);
        const QByteArray none, n = "n", fresh = "new!", old = "old";
        // clang-format off
        QTest::newRow("replace, shorter") << replace << true << "" << n << n << false << 1;
        QTest::newRow("replace, empty") << replace << true << "" << none << none << false << 1;
        QTest::newRow("empty, no file before") << replace << false << "" << none << none << false << 1;
        QTest::newRow("skip") << skip << true << "" << fresh << old << false << 0;
        QTest::newRow("skip, same size") << skip << true << "3" << fresh << old << false << 0;
        QTest::newRow("skip, other size keeps both") << skip << true << "4" << fresh << old << true << 1;
        QTest::newRow("keep both") << keepBoth << true << "" << fresh << old << true << 1;
        // clang-format on
    }
    void existingFilesFollowTheChoice()
    {
        QFETCH(int, choice);
        QFETCH(bool, existing);
        QFETCH(QString, sizeCell);
        QFETCH(QByteArray, body);
        QFETCH(bool, both);
        if (existing)
            QVERIFY(writeFile(target("has.bin"), "old"));
        const QByteArray path =
            "/exists/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        add("has.bin", at(path, serve(body)), true, sizeCell);
        QSignalSpy skipped(&run(), &DownloadRun::skipped);
        Params p = params();
        p.ifExists = DownloadRun::IfExists(choice);
        QVERIFY(runToEnd(p));
        QTEST(readFile(target("has.bin")), "kept");
        QCOMPARE(readFile(target("has (2).bin")), both ? body : "<unreadable>");
        QCOMPARE(entries(m_dir->path()).size(), both ? 2 : 1);
        QTEST(m_server.requestCount(path), "requests");
        QCOMPARE(skipped.size() + m_server.requestCount(path), 1);
        QCOMPARE(ticks(), "0");
        QCOMPARE(status(), both ? "1 files downloaded, 1 under a new name" : "1 files downloaded");
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
        QTest::newRow("redirect to a 404") << at("/fail/moved", answer(302, "moved", {{"Location", "/fail/missing"}})) << 1 << "404";
        QTest::newRow("bad chunk size") << at("/fail/chunk", serve(ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n", Serve::Raw)) << 1 << "";
        QTest::newRow("huge length, no body") << at("/fail/huge", serve(ok + "Content-Length: " + QByteArray(5000, '7') + "\r\n\r\n", Serve::Raw)) << 1 << "";
        QTest::newRow("body longer than its length") << at("/fail/longer", serve(ok + "Content-Length: 3\r\n\r\nabcdef", Serve::Raw)) << 1 << "longer";
        QTest::newRow("connection reset") << at("/fail/reset", serve(patternBody(40000), Serve::ResetMidBody)) << 1 << "";
        QTest::newRow("shorter than announced") << at("/fail/short", liar) << 0 << "";
        QTest::newRow("half a body, then nothing") << at("/fail/half", serve(patternBody(20000), Serve::StallAfterHeaders)) << 1 << "";
        QTest::newRow("sign-in page") << at("/fail/page", answer(200, "<html/>", {{"Content-Type", "text/html; charset=UTF-8"}})) << 1 << "signed out?";
        QTest::newRow("a folder at the target") << at("/fail/folder", serve("body")) << 2 << "";
        // Only http and https are downloads: a queue file must not make us copy local files.
        QTest::newRow("not a URL") << "::not a url::" << 0 << "";
        QTest::newRow("local file") << local << 0 << "";
        // clang-format on
    }
    void failureKeepsWhatWasThere()
    {
        QFETCH(QString, url);
        QFETCH(int, existing);
        QFETCH(QString, reason);
        const QByteArray before = patternBody(5000, 7);
        QVERIFY(existing != 1 || writeFile(target("gone.jpg"), before));
        QVERIFY(existing != 2 || QDir(m_dir->path()).mkpath("gone.jpg/keep"));
        add("gone.jpg", url);
        QVERIFY(runToEnd(params(1, 400)));
        QCOMPARE(readFile(target("gone.jpg")), existing == 1 ? before : "<unreadable>");
        QCOMPARE(entries(m_dir->path()), existing ? QStringList{"gone.jpg"} : QStringList());
        QCOMPARE(entries(target("gone.jpg")), existing == 2 ? QStringList{"keep"} : QStringList());
        QVERIFY(files().isChecked(0)); // the next run tries it again
        QCOMPARE(files().rowMark(0), Mark::Failed);
        QCOMPARE(status().section(u';', 0, 0), "0 files downloaded, 1 failed");
        QCOMPARE(status().contains("sign in again and export your cookies"),
                 reason == "signed out?");
        QCOMPARE(run().failures().first().target, target("gone.jpg"));
        QVERIFY2(run().failures().first().reason.contains(reason),
                 qPrintable(run().failures().first().reason));
    }

    void targetsThatAreNotOursAreKept_data()
    {
        QTest::addColumn<bool>("during"); // planted during the transfer, else before the run
        QTest::addColumn<int>("kind"); // 0 a link outside, 1 a dangling link, 2 a file, 3 a folder
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("reason");
        const QString link = QStringLiteral("target is a symbolic link");
        using If = DownloadRun::IfExists;
        const int replace = int(If::Replace), skip = int(If::Skip), keepBoth = int(If::KeepBoth);
        // clang-format off
        QTest::newRow("link to a file outside the folder") << false << 0 << replace << link;
        QTest::newRow("dangling link") << false << 1 << replace << link;
        // Only a file is already there: nothing else is skipped as if it were the row's.
        QTest::newRow("dangling link, skipping") << false << 1 << skip << link;
        QTest::newRow("a folder, skipping") << false << 3 << skip << "a folder is in the way";
        QTest::newRow("link planted during the transfer") << true << 0 << replace << link;
        QTest::newRow("file that appeared during the transfer, keeping both") << true << 2 << keepBoth << "was kept";
        // clang-format on
    }
    void targetsThatAreNotOursAreKept()
    {
        QFETCH(bool, during);
        QFETCH(int, kind);
        QFETCH(int, choice);
        QFETCH(QString, reason);
        const QString inner = target("inner"), outside = target("outside"), name = inner + "/evil";
        QVERIFY(QDir(m_dir->path()).mkdir("inner"));
        QVERIFY(kind == 1 || writeFile(outside, "keep me"));
        const auto plant = [&] {
            return kind == 2   ? writeFile(name, "theirs")
                   : kind == 3 ? QDir(inner).mkdir("evil")
                               : QFile::link(outside, name);
        };
        QVERIFY(during || plant());
        add("evil", at("/link/evil", serve("attacker", Serve::Normal, during ? 300 : 0)));
        QObject context;
        if (during)
            connect(&m_server, &TestServer::requestReceived, &context, [&] { QVERIFY(plant()); });
        Params p = params();
        p.folder = inner;
        p.ifExists = DownloadRun::IfExists(choice);
        QVERIFY(runToEnd(p));
        QCOMPARE(run().failures().size(), 1);
        QVERIFY2(run().failures().first().reason.contains(reason),
                 qPrintable(run().failures().first().reason));
        QCOMPARE(readFile(outside), kind == 1 ? "<unreadable>" : "keep me");
        if (kind == 2)
            QCOMPARE(readFile(name), "theirs");
        else if (kind == 3)
            QVERIFY(QFileInfo(name).isDir() && entries(name).isEmpty());
        else
            QCOMPARE(QFileInfo(name).symLinkTarget(), outside);
        QCOMPARE(entries(inner), QStringList{"evil"});
    }

    void partFilesAreOursAlone_data()
    {
        QTest::addColumn<int>("kind"); // what another program did with the row's part file
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("left"); // the folder afterwards
        const QString part = ".f.bin.tbpart", record = part + ".json";
        // clang-format off
        dataRow("held by another process", 0, QString("being downloaded by another process"), QStringList{part, record});
        dataRow("a FIFO as the part file", 1, QString("part file is not a regular file"), QStringList{part});
        dataRow("a FIFO as the record", 2, QString("record is not a regular file"), QStringList{record});
        dataRow("written to during the transfer", 3, QString("part file changed"), QStringList());
        // clang-format on
    }
    void partFilesAreOursAlone()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        const QString part = target(".f.bin.tbpart"), record = part + ".json";
        const QByteArray theirs = patternBody(5000, 6);
        QFile held(part);
        QVERIFY(kind != 0 || (writeFile(record, "{}") && writeFile(part, theirs) &&
                              held.open(QIODevice::ReadWrite) &&
                              ::flock(held.handle(), LOCK_EX | LOCK_NB) == 0));
        QVERIFY((kind != 1 && kind != 2) ||
                ::mkfifo(QFile::encodeName(kind == 1 ? part : record).constData(), 0600) == 0);
        const QByteArray path = "/held/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        add("f.bin", at(path, serve(patternBody(BigSize), Serve::Chunked))); // no length to check
        QObject context;
        connect(&board(), &SlotBoard::slotChanged, &context, [&] { // once bytes arrived
            if (kind == 3 && !held.isOpen() && QFileInfo(part).size() > 0)
                QVERIFY(held.open(QIODevice::ReadWrite | QIODevice::Unbuffered) &&
                        held.seek(BigSize * 2) && held.write("x") == 1);
        });
        QVERIFY(runToEnd(params()));
        QCOMPARE(run().failures().size(), 1);
        QVERIFY2(run().failures().first().reason.contains(reason),
                 qPrintable(run().failures().first().reason));
        QTEST(entries(m_dir->path()), "left");
        QCOMPARE(m_server.requestCount(path), kind == 3 ? 1 : 0);
        if (kind == 0)
            QCOMPARE(readFile(part) + readFile(record), theirs + "{}");
        else if (kind != 3) // the FIFO stays as it was
            QVERIFY(!QFileInfo(kind == 1 ? part : record).isFile());
    }

    // Refused, then every row failing inside start(), then a mixed run, then its failed rows.
    void runsOneAfterAnother()
    {
        m_server.routeSequence("/next/b", {answer(503), serve("now here")});
        add("a.txt", at("/next/a", serve("aaa")));
        add("b.txt", at("/next/b"));
        add("c.txt", at("/next/c", serve("ccc")), false);
        add("d.txt", at("/next/missing"));
        Params p = params(3);
        p.folder.clear();
        QCOMPARE(run().start(p), DownloadRun::Start::NoFolder);
        QVERIFY(!state().isRunActive() && m_started.isEmpty() && m_multi.isEmpty());
        p.folder = target("no/such/folder");
        QVERIFY(runToEnd(p));
        QCOMPARE(status(), "0 files downloaded, 3 failed");
        QCOMPARE(run().failures().first().target, p.folder + "/a.txt");
        QCOMPARE(m_server.requestCount("/next/a"), 0);
        QVERIFY(!QFileInfo::exists(p.folder));
        QCOMPARE(ticks(), "1101");
        files().setChecked(2, true);
        m_progress.clear();
        QVERIFY(runToEnd(params(3)));
        QCOMPARE(status(), "2 files downloaded, 2 failed");
        QCOMPARE(entries(m_dir->path()), (QStringList{"a.txt", "c.txt"}));
        QCOMPARE(m_progress, (QList<int>{0, 1, 2, 3, 4, 0})); // a failure counts too
        QCOMPARE(ticks(), "0101");
        QVERIFY(runToEnd(params(3)));
        // The counts are those of this run alone.
        QCOMPARE(status(), "1 files downloaded, 1 failed");
        QCOMPARE(readFile(target("b.txt")), "now here");
        QCOMPARE(files().rowMark(1), Mark::None);
        QCOMPARE(ticks(), "0001");
    }

    void abortStopsEverything()
    {
        const QByteArray before = patternBody(3000, 8);
        QVERIFY(writeFile(target("had.bin"), before));
        add("had.bin", at("/abort/had", serve(patternBody(200000), Serve::Slow, 20, 1000)));
        add("new.bin", at("/abort/new", serve(patternBody(200000), Serve::Slow, 20, 1000)));
        add("busy.bin", at("/abort/busy", answer(503, "busy", {{"Retry-After", "30"}})));
        add("later.bin", at("/abort/later", serve("later")));
        board().resize(3);
        QSignalSpy finished(&run(), &DownloadRun::finished);
        Params p = params(3);
        p.retries = 3;
        QCOMPARE(run().start(p), DownloadRun::Start::Started);
        // Two transfers have bytes on their way into part files; the third waits to retry.
        QTRY_VERIFY_WITH_TIMEOUT(board().at(0).progress > 0 && board().at(1).progress > 0 &&
                                     board().at(2).status.startsWith("Retrying in 30 s"),
                                 EndBoundMs);
        state().AbortAll();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, EndBoundMs); // not after the back-off
        QCOMPARE(status(), "Download aborted");
        QCOMPARE(readFile(target("had.bin")), before);
        // An abort is no failure of a file: ticked, in the normal colour.
        QCOMPARE(ticks(), "1111");
        QCOMPARE(files().rowMark(2), Mark::None);
        QCOMPARE(board().at(2).status, "Aborted");
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QVERIFY(!run().isRunning() && !state().isRunActive());
        QTest::qWait(200); // nothing arrives after the end, nor starts later
        QCOMPARE(entries(m_dir->path()), QStringList{"had.bin"});
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_server.requestCount("/abort/later"), 0);
    }

    void cutTransfersResume_data()
    {
        QTest::addColumn<QByteArray>("etagThen"); // the ETag of the later answers
        QTest::addColumn<bool>("ranges");         // the server honours Range
        QTest::addColumn<qint64>("sizeThen");     // the file's size by then
        QTest::addColumn<bool>("lastAskedRange"); // the last request carried Range
        QTest::addColumn<QByteArray>("partEtag"); // a 206 sent whatever If-Range says, its ETag
        const QByteArray v1 = "\"v1\"", v2 = "\"v2\"", none;
        QTest::newRow("same file: the rest") << v1 << true << BigSize << true << none;
        QTest::newRow("changed file: from zero") << v2 << true << BigSize << true << none;
        QTest::newRow("no range support: from zero") << v1 << false << BigSize << true << none;
        QTest::newRow("416: from zero") << v1 << true << BigSize / 4 << false << none;
        // A 206 of another version (a cache that ignores If-Range) is never appended.
        QTest::newRow("206 of another version: from zero") << v2 << true << BigSize << false << v2;
        QTest::newRow("206, weak tag: from zero") << v2 << true << BigSize << false << "W/" + v1;
    }
    void cutTransfersResume()
    {
        QFETCH(QByteArray, etagThen);
        QFETCH(bool, ranges);
        QFETCH(qint64, sizeThen);
        QFETCH(bool, lastAskedRange);
        QFETCH(QByteArray, partEtag);
        const QByteArray first = patternBody(BigSize, 1);
        const QByteArray second =
            etagThen == "\"v1\"" && sizeThen == BigSize ? first : patternBody(sizeThen, 2);
        Response cut = serve(first, Serve::ResetMidBody);
        cut.headers = {{"ETag", "\"v1\""}};
        Response whole = answer(200, second, {{"ETag", etagThen}});
        whole.ranges = ranges;
        const QByteArray path =
            "/resume/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        QList<Response> answers{cut, whole};
        if (!partEtag.isEmpty())
            answers.insert(1, serve("HTTP/1.1 206 Partial Content\r\nETag: " + partEtag +
                                        "\r\nContent-Range: bytes 100000-199999/200000\r\n"
                                        "Content-Length: 100000\r\n\r\n" +
                                        second.mid(BigSize / 2),
                                    Serve::Raw));
        m_server.routeSequence(path, answers);
        add("big.bin", at(path));
        QVERIFY(runToEnd(params()));
        // What arrived waits in a hidden part file; the target's name is not taken.
        QCOMPARE(entries(m_dir->path()), (QStringList{".big.bin.tbpart", ".big.bin.tbpart.json"}));
        QCOMPARE(QFileInfo(target(".big.bin.tbpart")).size(), BigSize / 2);
        QVERIFY(runToEnd(params()));
        QCOMPARE(readFile(target("big.bin")), second);
        QCOMPARE(entries(m_dir->path()), QStringList{"big.bin"});
        const QList<QByteArray> heads = m_server.requestHeads();
        QVERIFY(heads.at(heads.size() - (lastAskedRange ? 1 : 2))
                    .contains("\r\nRange: bytes=100000-\r\nIf-Range: \"v1\"\r\n"));
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
            answers << answer(status ? status : 200, status < 400 ? body : "busy",
                              {{"ETag", "\"e\""}});
            answers.last().ranges = true;
            answers.last().mode = status ? Serve::Normal : Serve::ResetMidBody;
        }
        const QByteArray path = "/retry/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
        m_server.routeSequence(path, answers);
        add("file.bin", at(path));
        QStringList shown;
        QObject context;
        connect(&board(), &SlotBoard::slotChanged, &context,
                [&] { shown << board().at(0).status; });
        Params p = params();
        p.retries = retries;
        p.retryBaseMs = 10;
        QVERIFY(runToEnd(p));
        QCOMPARE(m_server.requestCount(path), requests);
        QCOMPARE(readFile(target("file.bin")), ok ? body : "<unreadable>");
        QCOMPARE(shown.contains(QStringLiteral("Retrying in 1 s (1 of %1)").arg(retries)),
                 requests > 1);
        QCOMPARE(board().at(0).status,
                 ok ? "Done: file.bin" : "Failed: " + run().failures().first().reason);
    }

    void retryDelays_data()
    {
        QTest::addColumn<int>("retry");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("delay");
        // clang-format off
        QTest::newRow("third, high jitter") << 3 << 1.0 << QByteArray() << 5000;
        QTest::newRow("capped") << 12 << 0.5 << QByteArray() << 60000;
        QTest::newRow("retry-after capped") << 1 << 0.5 << QByteArray("3600") << 60000;
        QTest::newRow("retry-after, 64 bits") << 1 << 0.5 << QByteArray("9223372036854775807") << 60000;
        QTest::newRow("retry-after past 64 bits") << 1 << 0.5 << QByteArray("99999999999999999999") << 60000;
        // clang-format on
    }
    void retryDelays()
    {
        QFETCH(int, retry);
        QFETCH(double, jitter);
        QFETCH(QByteArray, retryAfter);
        QTEST(
            RetryPolicy::delayMs(retry, 1000, jitter, retryAfter, QDateTime::currentDateTimeUtc()),
            "delay");
    }

    void oneRunNeverReplacesItsOwnFiles_data()
    {
        QTest::addColumn<QString>("names"); // a "|" between rows
        QTest::addColumn<QString>("paths");
        QTest::addColumn<QString>("ends"); // the file each row ends in
        QTest::addColumn<int>("renamed");  // rows saved under another name than their own
        // clang-format off
        QTest::newRow("three empty captions") << "||" << "1/|2/|3/" << "_|_ (2)|_ (3)" << 2;
        QTest::newRow("the same name") << "a.jpg|a.jpg" << "a1|a2" << "a.jpg|a (2).jpg" << 1;
        QTest::newRow("the same file twice") << "x.bin|y.bin|x.bin" << "x|y|x" << "x.bin|y.bin|x.bin" << 0;
        QTest::newRow("a name like a part file") << "b.bin|.b.bin.tbpart" << "b1|b2" << "b.bin|_b.bin.tbpart" << 1;
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
            add(rows[i],
                at(path, serve("body of " + path, Serve::Normal, int(rows.size() - i) * 60)));
        }
        QSignalSpy savedAs(&run(), &DownloadRun::savedAs);
        const qsizetype before = m_server.requestHeads().size();
        QVERIFY(runToEnd(params(4)));
        QStringList unique = QSet<QString>(saved.cbegin(), saved.cend()).values();
        unique.sort();
        QCOMPARE(entries(m_dir->path()), unique);
        for (qsizetype i = 0; i < rows.size(); ++i)
            QCOMPARE(readFile(target(saved[i])), "body of " + base + urls[i].toLatin1());
        // A file the run already has is not fetched again.
        QCOMPARE(m_server.requestHeads().size() - before, unique.size());
        QCOMPARE(ticks(), QString(rows.size(), u'0'));
        // Every row saved under another name than its own is told, in the list, by signal and
        // in the end text; the row shows both names, its cell keeps the one found.
        QTEST(int(savedAs.size()), "renamed");
        QFETCH(int, renamed);
        QCOMPARE(status(), QString::number(rows.size()) + " files downloaded" +
                               (renamed ? QString(", %1 under a new name").arg(renamed) : ""));
        for (const QList<QVariant> &signal : std::as_const(savedAs)) {
            const int row = files().rowOf(signal.at(0).value<RowId>());
            QCOMPARE(files().index(row, 0).data(Qt::ToolTipRole),
                     "Saved as " + signal.at(2).toString());
            QCOMPARE(files().index(row, 0).data().toString(),
                     signal.at(1).toString() + " \u2192 " + signal.at(2).toString());
            QCOMPARE(files().cell(row, 0), signal.at(1).toString());
        }
    }

    // Sorted by name, descending: the rows go in the list's order, each to the lowest idle slot.
    void slotsTakeRowsInListOrder()
    {
        for (const char *name : {"m", "c", "x", "a", "q"})
            add(name, at("/order/" + QByteArray(name), serve(name, Serve::Normal, 10)));
        files().setSortKey(1);
        files().columnClick(0);
        files().columnClick(0);
        const SlotLog log(board());
        QVERIFY(runToEnd(params(5)));
        QCOMPARE(log.taken.join(u' '), "0:x 1:q 2:m 3:c 4:a");
        QList<RowId> ids;
        for (int row = 0; row < files().rowCount(); ++row)
            ids << files().idAt(row);
        QCOMPARE(m_started, ids);
        QCOMPARE(status(), "5 files downloaded");
    }

    void rowsRemovedUntickedOrClearedDuringTheRun()
    {
        add("r1", at("/removed/r1", serve("r1", Serve::Normal, 300)));
        for (const char *name : {"r2", "r3", "r4", "r5"})
            add(name, at("/removed/" + QByteArray(name), serve(name)));
        QSignalSpy finished(&run(), &DownloadRun::finished);
        QCOMPARE(run().start(params()), DownloadRun::Start::Started);
        // r1 (running) and r3 (waiting) go; r4 is unticked.
        files().setSelected(0, 0, true);
        files().setSelected(2, 2, true);
        QCOMPARE(files().removeSelected(), 2);
        files().setChecked(1, false);
        QVERIFY(finished.wait(EndBoundMs));
        QCOMPARE(m_server.requestCount("/removed/r3") + m_server.requestCount("/removed/r4"), 0);
        QCOMPARE(readFile(target("r5")), "r5");
        // A list cleared during the run: nothing more is asked for.
        add("c1", at("/removed/c1", serve("c1", Serve::Slow, 30, 1)));
        add("c2", at("/removed/c2", serve("c2")));
        QCOMPARE(run().start(params()), DownloadRun::Start::Started);
        files().clear();
        QVERIFY(finished.wait(EndBoundMs));
        QCOMPARE(m_server.requestCount("/removed/c2"), 0);
        QVERIFY(!state().isRunActive());
    }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "test_download.moc"
