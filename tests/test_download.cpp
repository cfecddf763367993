// The download run and its file downloader against a local server, and file name cleaning.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/download/downloadrun.h"
#include "core/download/filename.h"
#include "core/download/retrypolicy.h"
#include "core/download/transfermeter.h"
#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/hostmapping.h"
#include "support/testfiles.h"
#include "support/testserver.h"

namespace {

using Response = TestServer::Response;
using Serve = TestServer::Mode;
using RowId = FileListModel::RowId;

// A made-up host of this executable only; the host mapping sends it to the test server.
const QString Host = QStringLiteral("http://dl.files.test");
// Upper bound for "the run ended"; never a timing expectation.
constexpr int EndBoundMs = 8000;
constexpr qint64 BigSize = 200000;

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SlotBoard> m_board;
    std::unique_ptr<FileListModel> m_files;
    std::unique_ptr<DownloadRun> m_run;
    QStringList m_statuses;
    QList<bool> m_multi;
    QList<RowId> m_started;
    QList<int> m_progressValues;

    QString folder() const { return m_dir->path(); }
    QString target(const QString &name) const { return m_dir->filePath(name); }

    RowId addZing(const QString &name, const QByteArray &path, bool checked = true)
    {
        const RowId id = m_files->addRow({name, QString(), Host + QString::fromLatin1(path), {}});
        m_files->setChecked(m_files->rowOf(id), checked);
        return id;
    }

    DownloadRun::Params params(int threads = 1, int timeoutMs = 5000) const
    {
        DownloadRun::Params p;
        p.folder = folder();
        p.mode = ::Mode::Zing;
        p.threads = threads;
        p.timeoutMs = timeoutMs;
        p.retries = 0; // the retry tests ask for them
        return p;
    }

    // Starts a run that must be accepted and waits for its end; false when it did not end.
    bool runToEnd(const DownloadRun::Params &p)
    {
        m_board->resize(p.threads);
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        if (m_run->start(p) != DownloadRun::Start::Started)
            return false;
        // Every row may fail at once (a folder that cannot be written), ending the run
        // inside start() itself.
        if (finished.isEmpty() && !finished.wait(EndBoundMs))
            return false;
        return finished.count() == 1 && !m_run->isRunning() && !m_state->isRunActive() &&
               !m_state->AnyThreadBusy();
    }

    // Runs to the end and returns slot 1's progress values, each change once.
    QList<int> slotProgress(const DownloadRun::Params &p)
    {
        QList<int> values;
        QObject context;
        connect(m_board.get(), &SlotBoard::slotChanged, &context, [&](int index) {
            const int v = m_board->at(index).progress;
            if (index == 0 && (values.isEmpty() || values.last() != v))
                values.append(v);
        });
        if (!runToEnd(p))
            return {-1};
        return values;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        const QString to = QStringLiteral(":127.0.0.1:") + QString::number(m_server.port());
        QVERIFY(HostMapping::global().add(QStringLiteral("dl.files.test:80") + to));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_state = std::make_unique<AppState>();
        m_board = std::make_unique<SlotBoard>();
        m_files = std::make_unique<FileListModel>();
        m_files->setColumns(columnSet(::Mode::Zing));
        m_run = std::make_unique<DownloadRun>(*m_state, *m_board, *m_files);
        m_statuses.clear();
        m_multi.clear();
        m_started.clear();
        m_progressValues.clear();
        connect(m_state.get(), &AppState::statusMessageChanged, this,
                [this](const QString &text) { m_statuses.append(text); });
        connect(m_state.get(), &AppState::progressChanged, this,
                [this] { m_progressValues.append(m_state->progress().value); });
        connect(m_run.get(), &DownloadRun::multiSelectChanged, this,
                [this](bool multi) { m_multi.append(multi); });
        connect(m_run.get(), &DownloadRun::rowStarted, this,
                [this](RowId id) { m_started.append(id); });
    }

    void cleanup()
    {
        // The state owns the workers; they go before the list and board they write to.
        m_run.reset();
        m_state.reset();
        m_files.reset();
        m_board.reset();
        m_dir.reset();
    }

    // File names

    void cleanFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("clean");
        QTest::newRow("plain") << "photo 1.jpg"
                               << "photo 1.jpg";
        QTest::newRow("the nine") << "a\\b/c:d*e?f\"g<h>i|j"
                                  << "a_b_c_d_e_f_g_h_i_j";
        QTest::newRow("only forbidden") << "\\/:*?\"<>|"
                                        << "_________";
        QTest::newRow("control characters")
            << QStringLiteral("a") + QChar(0x01) + QChar(0x09) + QChar(0x0A) + QChar(0x0D) +
                   QChar(0x1F) + QChar(0x7F) + QStringLiteral("b")
            << "a______b";
        QTest::newRow("nul") << QString(QChar(0)) << "_";
        QTest::newRow("empty") << ""
                               << "_";
        QTest::newRow("dot") << "."
                             << "_";
        QTest::newRow("dot dot") << ".."
                                 << "_";
        QTest::newRow("three dots stay") << "..."
                                         << "...";
        QTest::newRow("hidden name stays") << ".profile"
                                           << ".profile";
        QTest::newRow("parent path") << "../x"
                                     << ".._x";
        QTest::newRow("windows parent path") << "..\\..\\x"
                                             << ".._.._x";
        QTest::newRow("absolute path") << "/etc/passwd"
                                       << "_etc_passwd";
        QTest::newRow("question mark") << "?"
                                       << "_";
        QTest::newRow("unicode kept") << QStringLiteral("Strand \u00e9t\u00e9 \u6d77.jpg")
                                      << QStringLiteral("Strand \u00e9t\u00e9 \u6d77.jpg");
        QTest::newRow("spaces kept") << "  "
                                     << "  ";
    }

    void cleanFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, clean);
        QCOMPARE(CleanFileName(name), clean);
    }

    // Refusals

    void nothingCheckedStartsNothing()
    {
        addZing(QStringLiteral("a.bin"), "/refuse/a.bin", false);
        m_state->setProgress({0, 10, 7});
        const int requests = m_server.requestHeads().size();
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        QCOMPARE(m_run->start(params()), DownloadRun::Start::NothingChecked);
        QVERIFY(!m_run->isRunning());
        QVERIFY(!m_state->isRunActive());
        QCOMPARE(m_state->progress().maximum, 10);
        QCOMPARE(m_state->progress().value, 7);
        QVERIFY(m_multi.isEmpty());
        QVERIFY(m_started.isEmpty());
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_server.requestHeads().size(), requests);
        QVERIFY(entries(folder()).isEmpty());
    }

    void noFolderResetsProgressOnly()
    {
        addZing(QStringLiteral("a.bin"), "/refuse/a.bin");
        addZing(QStringLiteral("b.bin"), "/refuse/b.bin", false);
        addZing(QStringLiteral("c.bin"), "/refuse/c.bin");
        m_state->setProgress({0, 10, 7});
        const int requests = m_server.requestHeads().size();
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        DownloadRun::Params p = params();
        p.folder.clear();
        QCOMPARE(m_run->start(p), DownloadRun::Start::NoFolder);
        QVERIFY(!m_run->isRunning());
        QVERIFY(!m_state->isRunActive());
        QCOMPARE(m_state->progress().minimum, 0);
        QCOMPARE(m_state->progress().maximum, 2);
        QCOMPARE(m_state->progress().value, 0);
        QVERIFY(m_multi.isEmpty());
        QVERIFY(m_started.isEmpty());
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_server.requestHeads().size(), requests);
        QVERIFY(m_files->isChecked(0));
        QCOMPARE(m_files->rowMark(0), FileListModel::RowMark::None);
    }

    // Successful transfers

    void filesLandByteExact()
    {
        const QByteArray small = patternBody(1, 1);
        const QByteArray medium = patternBody(3000, 2);
        const QByteArray large = patternBody(300000, 3);
        const QByteArray chunked = patternBody(50000, 4);
        m_server.route("/ok/small.bin", serve(small));
        m_server.route("/ok/medium.bin", serve(medium, Serve::Slow, 5, 500));
        m_server.route("/ok/large.bin", serve(large));
        m_server.route("/ok/chunked.bin", serve(chunked, Serve::Chunked, 0, 4000));
        const QList<RowId> ids = {
            addZing(QStringLiteral("small.bin"), "/ok/small.bin"),
            addZing(QStringLiteral("medium.bin"), "/ok/medium.bin"),
            addZing(QStringLiteral("large.bin"), "/ok/large.bin"),
            addZing(QStringLiteral("chunked.bin"), "/ok/chunked.bin"),
        };
        QSignalSpy done(m_run.get(), &DownloadRun::fileDone);
        QVERIFY(runToEnd(params(2)));

        QCOMPARE(readFile(target(QStringLiteral("small.bin"))), small);
        QCOMPARE(readFile(target(QStringLiteral("medium.bin"))), medium);
        QCOMPARE(readFile(target(QStringLiteral("large.bin"))), large);
        QCOMPARE(readFile(target(QStringLiteral("chunked.bin"))), chunked);
        // A new file gets what any new file of the user gets, not a temporary file's 0600.
        QFile plain(target(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QCOMPARE(QFileInfo(target(QStringLiteral("small.bin"))).permissions(), plain.permissions());
        plain.remove();
        QCOMPARE(entries(folder()), (QStringList{"chunked.bin", "large.bin", "medium.bin",
                                                 "small.bin"})); // no temporary file left
        for (int row = 0; row < m_files->rowCount(); ++row) {
            QVERIFY(!m_files->isChecked(row));
            QCOMPARE(m_files->rowMark(row), FileListModel::RowMark::None);
        }
        QCOMPARE(m_statuses.last(), QStringLiteral("4 files downloaded"));
        QCOMPARE(m_run->succeeded(), 4);
        QVERIFY(m_run->failures().isEmpty());
        QCOMPARE(done.count(), 4);
        for (const QList<QVariant> &args : std::as_const(done))
            QVERIFY(args.at(1).toBool());
        // The overall bar counts files, one step each, up to the number of ticked rows.
        // One step per file, then empty again when the run ends.
        QCOMPARE(m_progressValues, (QList<int>{0, 1, 2, 3, 4, 0}));
        QCOMPARE(m_state->progress().maximum, 4);
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QCOMPARE(m_started, ids);
        for (int slot = 0; slot < m_board->count(); ++slot) {
            QVERIFY(m_board->at(slot).status.startsWith(QLatin1String("Done: ")));
            QCOMPARE(m_board->at(slot).url, QString());
            QCOMPARE(m_board->at(slot).progress, 0);
        }
    }

    void uncheckedRowsStayAlone()
    {
        m_server.route("/ok/want.txt", serve("want"));
        m_server.route("/ok/skip.txt", serve("skip"));
        const RowId skipped = addZing(QStringLiteral("skip.txt"), "/ok/skip.txt", false);
        const RowId wanted = addZing(QStringLiteral("want.txt"), "/ok/want.txt");
        const int before = m_server.requestCount("/ok/skip.txt");
        QVERIFY(runToEnd(params(2)));
        QCOMPARE(m_started, QList<RowId>{wanted});
        QCOMPARE(m_server.requestCount("/ok/skip.txt"), before);
        QCOMPARE(entries(folder()), QStringList{"want.txt"});
        QCOMPARE(m_files->rowMark(m_files->rowOf(skipped)), FileListModel::RowMark::None);
        QCOMPARE(m_state->progress().maximum, 1);
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
    }

    void progressWithoutLengthClimbsByTen()
    {
        // Without a usable length each arriving piece adds 10, capped at 99 until the body
        // is whole. A transfer coding makes the client ignore the length and read until the
        // server closes; the pieces are paced so each arrives on its own.
        Response r = serve(patternBody(15000), Serve::Slow, 50, 1000);
        r.headers.append({QByteArray("Transfer-Encoding"), QByteArray("identity")});
        r.headers.append({QByteArray("Connection"), QByteArray("close")});
        m_server.route("/nolen/paced.bin", r);
        addZing(QStringLiteral("paced.bin"), "/nolen/paced.bin");
        const QList<int> values = slotProgress(params());
        QCOMPARE(values, (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 99, 100, 0}));
        QCOMPARE(readFile(target(QStringLiteral("paced.bin"))), patternBody(15000));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
    }

    void progressWithoutLengthCloseDelimited()
    {
        // The body ends when the server closes; the pieces come as the socket delivers them.
        m_server.route("/nolen/big.bin", serve(patternBody(2 * 1024 * 1024), Serve::NoLength));
        addZing(QStringLiteral("big.bin"), "/nolen/big.bin");
        const QList<int> values = slotProgress(params());
        QVERIFY(values.size() >= 4);
        QCOMPARE(values.first(), 0);
        QCOMPARE(values.mid(values.size() - 2), (QList<int>{100, 0}));
        for (qsizetype i = 1; i + 2 < values.size(); ++i)
            QCOMPARE(values.at(i), std::min(int(i) * 10, 99));
        QCOMPARE(readFile(target(QStringLiteral("big.bin"))), patternBody(2 * 1024 * 1024));
    }

    void progressWithLengthReachesHundred()
    {
        m_server.route("/len/slow.bin", serve(patternBody(5000), Serve::Slow, 5, 1000));
        addZing(QStringLiteral("slow.bin"), "/len/slow.bin");
        QCOMPARE(slotProgress(params()), (QList<int>{0, 20, 40, 60, 80, 100, 0}));
    }

    void replacesAnExistingFile_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("shorter body") << true << patternBody(100, 5);
        QTest::newRow("empty body") << true << QByteArray();
        QTest::newRow("longer body") << true << patternBody(9000, 6);
        QTest::newRow("empty body, no file before") << false << QByteArray();
    }

    // The file holds exactly the body afterwards, even an empty one.
    void replacesAnExistingFile()
    {
        QFETCH(bool, existing);
        QFETCH(QByteArray, body);
        if (existing)
            QVERIFY(writeFile(target(QStringLiteral("old.bin")), QByteArray(5000, 'o')));
        m_server.route("/replace/old.bin", serve(body));
        addZing(QStringLiteral("old.bin"), "/replace/old.bin");
        QVERIFY(runToEnd(params()));
        QCOMPARE(readFile(target(QStringLiteral("old.bin"))), body);
        QCOMPARE(entries(folder()), QStringList{"old.bin"});
        QVERIFY(!m_files->isChecked(0));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
    }

    // Failures

    void failureKeepsWhatWasThere_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QByteArray>("wire"); // empty: the fallback's 404 page
        QTest::addColumn<QString>("reason");
        const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
        QTest::newRow("404 over an existing file") << true << QByteArray() << "404";
        QTest::newRow("404, no file before") << false << QByteArray() << "404";
        QTest::newRow("bad chunk size over an existing file")
            << true << ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n"
            << "";
        QTest::newRow("huge length without body over an existing file")
            << true << ok + "Content-Length: " + QByteArray(5000, '7') + "\r\n\r\n"
            << "";
        QTest::newRow("body longer than its length")
            << true << ok + "Content-Length: 3\r\n\r\nabcdef"
            << "longer";
    }

    void failureKeepsWhatWasThere()
    {
        QFETCH(bool, existing);
        QFETCH(QByteArray, wire);
        QFETCH(QString, reason);
        const QByteArray before = patternBody(5000, 7);
        if (existing)
            QVERIFY(writeFile(target(QStringLiteral("gone.jpg")), before));
        if (!wire.isEmpty())
            m_server.route("/broken/gone.jpg", serve(wire, Serve::Raw));
        const RowId id = addZing(QStringLiteral("gone.jpg"),
                                 wire.isEmpty() ? "/missing/gone.jpg" : "/broken/gone.jpg");
        QSignalSpy done(m_run.get(), &DownloadRun::fileDone);
        QVERIFY(runToEnd(params()));

        if (existing)
            QCOMPARE(readFile(target(QStringLiteral("gone.jpg"))), before);
        QCOMPARE(entries(folder()), existing ? QStringList{"gone.jpg"} : QStringList());
        const int row = m_files->rowOf(id);
        QVERIFY(m_files->isChecked(row)); // the next run tries it again
        QCOMPARE(m_files->rowMark(row), FileListModel::RowMark::Failed);
        QVERIFY(m_files->data(m_files->index(row, 0), Qt::ToolTipRole)
                    .toString()
                    .startsWith(QLatin1String("Failed: ")));
        QCOMPARE(m_statuses.last(), QStringLiteral("0 files downloaded, 1 failed"));
        QCOMPARE(m_run->succeeded(), 0);
        QCOMPARE(m_run->failures().size(), 1);
        QCOMPARE(m_run->failures().first().target, target(QStringLiteral("gone.jpg")));
        QVERIFY2(m_run->failures().first().reason.contains(reason),
                 qPrintable(m_run->failures().first().reason));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.first().at(1).toBool(), false);
        QCOMPARE(m_progressValues.mid(m_progressValues.size() - 2),
                 (QList<int>{1, 0})); // a failed file still counts
    }

    void targetsThatAreNotOursAreKept_data()
    {
        QTest::addColumn<bool>("duringTransfer"); // else before the run
        QTest::addColumn<int>("kind"); // 0 link to a file outside, 1 dangling link, 2 file
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
        const QString inner = m_dir->filePath(QStringLiteral("inner"));
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("inner")));
        const QString outside = target(QStringLiteral("outside.txt"));
        if (kind != 1)
            QVERIFY(writeFile(outside, "keep me"));
        const QString name = inner + QStringLiteral("/evil.txt");
        const auto plant = [&] {
            return kind == 2 ? writeFile(name, "theirs") : QFile::link(outside, name);
        };
        if (!duringTransfer)
            QVERIFY(plant());
        m_server.route("/link/evil.txt",
                       serve("attacker", Serve::Normal, duringTransfer ? 300 : 0));
        addZing(QStringLiteral("evil.txt"), "/link/evil.txt");
        if (duringTransfer)
            connect(&m_server, &TestServer::requestReceived, this, [&] { QVERIFY(plant()); });
        DownloadRun::Params p = params();
        p.folder = inner;
        if (kind == 2)
            p.ifExists = DownloadRun::IfExists::KeepBoth;
        QVERIFY(runToEnd(p));
        m_server.disconnect(this);
        QCOMPARE(m_run->failures().size(), 1);
        QVERIFY2(m_run->failures().first().reason.contains(reason),
                 qPrintable(m_run->failures().first().reason));
        QCOMPARE(readFile(outside), kind == 1 ? QByteArray("<unreadable>") : QByteArray("keep me"));
        if (kind == 2)
            QCOMPARE(readFile(name), QByteArray("theirs"));
        else
            QCOMPARE(QFileInfo(name).symLinkTarget(), outside);
        QCOMPARE(entries(inner), QStringList{"evil.txt"});
    }

    void mixedRunCountsBoth()
    {
        m_server.route("/mixed/a.txt", serve("aaa"));
        m_server.route("/mixed/c.txt", serve("ccc"));
        addZing(QStringLiteral("a.txt"), "/mixed/a.txt");
        addZing(QStringLiteral("b.txt"), "/mixed/missing-b.txt");
        addZing(QStringLiteral("c.txt"), "/mixed/c.txt");
        addZing(QStringLiteral("d.txt"), "/mixed/missing-d.txt");
        QVERIFY(runToEnd(params(3)));
        QCOMPARE(m_statuses.last(), QStringLiteral("2 files downloaded, 2 failed"));
        QCOMPARE(entries(folder()), (QStringList{"a.txt", "c.txt"}));
        QCOMPARE(m_progressValues.mid(m_progressValues.size() - 2), (QList<int>{4, 0}));
        QCOMPARE(m_state->progress().maximum, 4);
        QCOMPARE(QList<bool>({m_files->isChecked(0), m_files->isChecked(1), m_files->isChecked(2),
                              m_files->isChecked(3)}),
                 (QList<bool>{false, true, false, true}));
    }

    void failedRowsAreRetriedByTheNextRun()
    {
        Response missing = serve("<html>gone</html>");
        missing.status = 503;
        missing.reason = "Service Unavailable";
        m_server.route("/retry/r.txt", missing);
        m_server.route("/retry/s.txt", serve("fine"));
        addZing(QStringLiteral("r.txt"), "/retry/r.txt");
        addZing(QStringLiteral("s.txt"), "/retry/s.txt");
        QVERIFY(runToEnd(params()));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded, 1 failed"));
        QVERIFY(m_run->failures().first().reason.contains(QLatin1String("503")));

        m_server.route("/retry/r.txt", serve("now here"));
        m_progressValues.clear();
        m_multi.clear();
        QVERIFY(runToEnd(params()));
        // The counts are those of the second run alone.
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
        QVERIFY(m_run->failures().isEmpty());
        QCOMPARE(m_run->succeeded(), 1);
        QCOMPARE(readFile(target(QStringLiteral("r.txt"))), QByteArray("now here"));
        QCOMPARE(m_files->rowMark(0), FileListModel::RowMark::None);
        QVERIFY(!m_files->isChecked(0));
        QCOMPARE(m_progressValues, (QList<int>{0, 1, 0}));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
    }

    void stalledServerTimesOut_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("no answer") << int(Serve::Stall);
        QTest::newRow("half a body") << int(Serve::StallAfterHeaders);
    }

    void stalledServerTimesOut()
    {
        QFETCH(int, mode);
        m_server.route("/stall/s.bin", serve(patternBody(20000), Serve(mode)));
        m_server.route("/stall/fine.bin", serve("fine"));
        addZing(QStringLiteral("s.bin"), "/stall/s.bin");
        addZing(QStringLiteral("fine.bin"), "/stall/fine.bin");
        QVERIFY(runToEnd(params(1, 400)));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded, 1 failed"));
        QCOMPARE(m_run->failures().size(), 1);
        QCOMPARE(m_run->failures().first().target, target(QStringLiteral("s.bin")));
        QVERIFY(!m_run->failures().first().reason.isEmpty());
        QCOMPARE(entries(folder()), QStringList{"fine.bin"});
        QVERIFY(m_files->isChecked(0));
        QCOMPARE(m_files->rowMark(0), FileListModel::RowMark::Failed);
    }

    void cutConnectionFails()
    {
        QVERIFY(writeFile(target(QStringLiteral("cut.bin")), "before"));
        m_server.route("/cut/cut.bin", serve(patternBody(40000), Serve::ResetMidBody));
        Response liar = serve(patternBody(1000), Serve::WrongLength);
        liar.announcedLength = 2000;
        m_server.route("/cut/short.bin", liar);
        addZing(QStringLiteral("cut.bin"), "/cut/cut.bin");
        addZing(QStringLiteral("short.bin"), "/cut/short.bin");
        QVERIFY(runToEnd(params(2)));
        QCOMPARE(m_statuses.last(), QStringLiteral("0 files downloaded, 2 failed"));
        QCOMPARE(readFile(target(QStringLiteral("cut.bin"))), QByteArray("before"));
        QCOMPARE(entries(folder()), QStringList{"cut.bin"});
    }

    void targetThatIsAFolderFails()
    {
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("taken")));
        QVERIFY(writeFile(target(QStringLiteral("taken/keep.txt")), "keep"));
        m_server.route("/taken/taken", serve("body"));
        addZing(QStringLiteral("taken"), "/taken/taken");
        QVERIFY(runToEnd(params()));
        QCOMPARE(m_statuses.last(), QStringLiteral("0 files downloaded, 1 failed"));
        QCOMPARE(m_run->failures().first().target, target(QStringLiteral("taken")));
        QVERIFY(QFileInfo(target(QStringLiteral("taken"))).isDir());
        QCOMPARE(entries(folder()), QStringList{"taken"});
        QCOMPARE(entries(target(QStringLiteral("taken"))), QStringList{"keep.txt"});
    }

    void unusableUrlsFail_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("empty") << QString();
        QTest::newRow("not a url") << "::not a url::";
        QTest::newRow("local file") << "LOCAL";
        QTest::newRow("data") << "data:text/plain,hello";
        QTest::newRow("unknown scheme") << "gopher://dl.files.test/x";
    }

    void unusableUrlsFail()
    {
        QFETCH(QString, url);
        QTemporaryDir elsewhere;
        if (url == QLatin1String("LOCAL")) {
            const QString source = elsewhere.filePath(QStringLiteral("local.bin"));
            QVERIFY(writeFile(source, patternBody(300000)));
            url = QUrl::fromLocalFile(source).toString();
        }
        m_server.route("/unusable/next.txt", serve("next"));
        const RowId id = m_files->addRow({QStringLiteral("u.txt"), QString(), url, QString()});
        m_files->setChecked(m_files->rowOf(id), true);
        addZing(QStringLiteral("next.txt"), "/unusable/next.txt");
        QVERIFY(runToEnd(params(1, 2000)));
        // Only http and https are downloads: a queue file must not make us copy local files.
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded, 1 failed"));
        QCOMPARE(entries(folder()), QStringList{"next.txt"});
        QCOMPARE(m_run->failures().first().target, target(QStringLiteral("u.txt")));
    }

    void redirectsAreFollowed()
    {
        Response moved;
        moved.status = 302;
        moved.reason = "Found";
        moved.headers.append({QByteArray("Location"), QByteArray("/redir/final.bin")});
        moved.body = "<html>moved</html>";
        m_server.route("/redir/start.bin", moved);
        m_server.route("/redir/final.bin", serve(patternBody(7000, 9)));
        Response toMissing = moved;
        toMissing.headers = {{QByteArray("Location"), QByteArray("/redir/missing.bin")}};
        m_server.route("/redir/broken.bin", toMissing);
        addZing(QStringLiteral("got.bin"), "/redir/start.bin");
        addZing(QStringLiteral("lost.bin"), "/redir/broken.bin");
        QVERIFY(runToEnd(params()));
        // Only the final body lands, never the redirect's own page.
        QCOMPARE(readFile(target(QStringLiteral("got.bin"))), patternBody(7000, 9));
        QCOMPARE(entries(folder()), QStringList{"got.bin"});
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded, 1 failed"));
        QVERIFY(m_run->failures().first().reason.contains(QLatin1String("404")));
        QCOMPARE(m_server.lastHostHeader(), QByteArray("dl.files.test"));
    }

    void missingFolderFailsEveryRow()
    {
        const QString missing = m_dir->filePath(QStringLiteral("no/such/folder"));
        addZing(QStringLiteral("a.txt"), "/nofolder/a.txt");
        addZing(QStringLiteral("b.txt"), "/nofolder/b.txt");
        addZing(QStringLiteral("c.txt"), "/nofolder/c.txt");
        const int requests = m_server.requestHeads().size();
        DownloadRun::Params p = params(2);
        p.folder = missing;
        QVERIFY(runToEnd(p));
        QCOMPARE(m_statuses.last(), QStringLiteral("0 files downloaded, 3 failed"));
        QCOMPARE(m_run->failures().size(), 3);
        QCOMPARE(m_run->failures().first().target, missing + QStringLiteral("/a.txt"));
        QCOMPARE(m_server.requestHeads().size(), requests);
        QVERIFY(!QFileInfo::exists(missing));
        QCOMPARE(m_started.size(), 3);
        QCOMPARE(m_progressValues.mid(m_progressValues.size() - 2), (QList<int>{3, 0}));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        for (int row = 0; row < 3; ++row) {
            QVERIFY(m_files->isChecked(row));
            QCOMPARE(m_files->rowMark(row), FileListModel::RowMark::Failed);
        }
    }

    void folderWithoutSeparatorAndWithOne_data()
    {
        QTest::addColumn<bool>("slash");
        QTest::newRow("without /") << false;
        QTest::newRow("with /") << true;
    }

    void folderWithoutSeparatorAndWithOne()
    {
        QFETCH(bool, slash);
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("in")));
        m_server.route("/sep/s.txt", serve("sep"));
        addZing(QStringLiteral("s.txt"), "/sep/s.txt");
        DownloadRun::Params p = params();
        p.folder =
            m_dir->filePath(QStringLiteral("in")) + (slash ? QStringLiteral("/") : QString());
        QVERIFY(runToEnd(p));
        QCOMPARE(entries(folder()), QStringList{"in"});
        QCOMPARE(entries(m_dir->filePath(QStringLiteral("in"))), QStringList{"s.txt"});
    }

    // Abort

    void abortLeavesNoPartialFile()
    {
        const QByteArray before = patternBody(3000, 8);
        QVERIFY(writeFile(target(QStringLiteral("had.bin")), before));
        m_server.route("/abort/had.bin", serve(patternBody(200000), Serve::Slow, 20, 1000));
        m_server.route("/abort/new.bin", serve(patternBody(200000), Serve::Slow, 20, 1000));
        m_server.route("/abort/later.bin", serve("later"));
        addZing(QStringLiteral("had.bin"), "/abort/had.bin");
        addZing(QStringLiteral("new.bin"), "/abort/new.bin");
        addZing(QStringLiteral("later.bin"), "/abort/later.bin");
        m_board->resize(2);
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        QCOMPARE(m_run->start(params(2)), DownloadRun::Start::Started);
        // Both transfers have bytes on their way into temporary files.
        QTRY_VERIFY_WITH_TIMEOUT(m_board->at(0).progress > 0 && m_board->at(1).progress > 0,
                                 EndBoundMs);
        m_state->AbortAll();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, EndBoundMs);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(m_statuses.last(), QStringLiteral("Download aborted"));
        QCOMPARE(readFile(target(QStringLiteral("had.bin"))), before);
        QCOMPARE(entries(folder()), QStringList{"had.bin"});
        QCOMPARE(m_server.requestCount("/abort/later.bin"), 0);
        for (int row = 0; row < 3; ++row)
            QVERIFY(m_files->isChecked(row));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QVERIFY(!m_run->isRunning());
        QVERIFY(!m_state->isRunActive());
        QVERIFY(!m_state->AnyThreadBusy());
        // Nothing arrives after the end, nor starts later.
        QTest::qWait(200);
        QCOMPARE(entries(folder()), QStringList{"had.bin"});
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_server.requestCount("/abort/later.bin"), 0);
    }

    // Resume, retries, existing files

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
        cut.headers.append({QByteArray("ETag"), QByteArray("\"v1\"")});
        Response whole = serve(second);
        whole.headers.append({QByteArray("ETag"), etagThen});
        whole.ranges = ranges;
        const QByteArray path =
            "/resume/" + QByteArray(QTest::currentDataTag()).toPercentEncoding() + "/big.bin";
        m_server.routeSequence(path, {cut, whole});
        addZing(QStringLiteral("big.bin"), path);

        QVERIFY(runToEnd(params()));
        QCOMPARE(m_run->failures().size(), 1);
        // What arrived waits in a hidden part file; the target's name is not taken.
        QCOMPARE(entries(folder()), (QStringList{".big.bin.tbpart", ".big.bin.tbpart.json"}));
        QCOMPARE(QFileInfo(target(QStringLiteral(".big.bin.tbpart"))).size(), BigSize / 2);

        m_files->setChecked(0, true);
        QVERIFY(runToEnd(params()));
        QVERIFY(m_run->failures().isEmpty());
        QCOMPARE(readFile(target(QStringLiteral("big.bin"))), second);
        QCOMPARE(entries(folder()), QStringList{"big.bin"});
        const QByteArray asked =
            "\r\nRange: bytes=" + QByteArray::number(BigSize / 2) + "-\r\nIf-Range: \"v1\"\r\n";
        QVERIFY(m_server.requestHeads()
                    .at(m_server.requestHeads().size() - (lastAskedRange ? 1 : 2))
                    .contains(asked));
        QCOMPARE(m_server.lastRequestHead().contains("Range:"), lastAskedRange);
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
            Response r = serve(body, status == 0 ? Serve::ResetMidBody : Serve::Normal);
            r.headers.append({QByteArray("ETag"), QByteArray("\"e\"")});
            r.ranges = true;
            if (status >= 400) {
                r.status = status;
                r.reason = "Try later";
                r.body = "busy";
            }
            answers.append(r);
        }
        const QByteArray path =
            "/retry/" + QByteArray(QTest::currentDataTag()).toPercentEncoding() + "/file.bin";
        m_server.routeSequence(path, answers);
        addZing(QStringLiteral("file.bin"), path);
        QStringList slotTexts;
        connect(m_board.get(), &SlotBoard::slotChanged, this,
                [&](int index) { slotTexts.append(m_board->at(index).status); });
        DownloadRun::Params p = params();
        p.retries = retries;
        p.retryBaseMs = 10;
        QVERIFY(runToEnd(p));
        m_board->disconnect(this);
        QCOMPARE(m_server.requestCount(path), requests);
        QCOMPARE(m_run->failures().isEmpty(), ok);
        if (ok)
            QCOMPARE(readFile(target(QStringLiteral("file.bin"))), body);
        if (requests > 1)
            QVERIFY2(slotTexts.contains(QStringLiteral("Retrying in 1 s (1 of %1)").arg(retries)),
                     qPrintable(slotTexts.join(QLatin1Char('|'))));
        QCOMPARE(m_board->at(0).status,
                 ok ? QStringLiteral("Done: file.bin")
                    : QStringLiteral("Failed: ") + m_run->failures().first().reason);
    }

    void abortEndsTheBackOffAtOnce()
    {
        Response busy = serve("busy");
        busy.status = 503;
        busy.headers.append({QByteArray("Retry-After"), QByteArray("30")});
        m_server.route("/busy/file.bin", busy);
        const RowId id = addZing(QStringLiteral("file.bin"), "/busy/file.bin");
        m_board->resize(1);
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        DownloadRun::Params p = params();
        p.retries = 3;
        QCOMPARE(m_run->start(p), DownloadRun::Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_board->at(0).status.startsWith(QLatin1String("Retrying in 30 s")), EndBoundMs);
        m_state->AbortAll();
        QCOMPARE(finished.count(), 1); // no waiting for the back-off
        QCOMPARE(m_statuses.last(), QStringLiteral("Download aborted"));
        // An abort is no failure of the file: ticked, in the normal colour.
        const int row = m_files->rowOf(id);
        QVERIFY(m_files->isChecked(row));
        QCOMPARE(m_files->rowMark(row), FileListModel::RowMark::None);
        QCOMPARE(m_board->at(0).status, QStringLiteral("Aborted"));
    }

    void existingFilesFollowTheChoice_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("sizeCell"); // the size check's answer
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("kept"); // what has.bin holds afterwards
        QTest::addColumn<int>("requests");
        using C = DownloadRun::IfExists;
        QTest::newRow("replace") << int(C::Replace) << "" << QStringList{"has.bin"}
                                 << QByteArray("new!") << 1;
        QTest::newRow("skip") << int(C::Skip) << "" << QStringList{"has.bin"} << QByteArray("old")
                              << 0;
        QTest::newRow("skip, same size")
            << int(C::Skip) << "3" << QStringList{"has.bin"} << QByteArray("old") << 0;
        QTest::newRow("skip, other size keeps both")
            << int(C::Skip) << "4" << QStringList{"has (2).bin", "has.bin"} << QByteArray("old")
            << 1;
        QTest::newRow("keep both")
            << int(C::KeepBoth) << "" << QStringList{"has (2).bin", "has.bin"} << QByteArray("old")
            << 1;
    }

    void existingFilesFollowTheChoice()
    {
        QFETCH(int, choice);
        QFETCH(QString, sizeCell);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, kept);
        QFETCH(int, requests);
        QVERIFY(writeFile(target(QStringLiteral("has.bin")), "old"));
        const int before = m_server.requestCount("/exists/has.bin");
        m_server.route("/exists/has.bin", serve("new!"));
        const RowId id = m_files->addRow(
            {QStringLiteral("has.bin"), sizeCell, Host + QStringLiteral("/exists/has.bin"), {}});
        m_files->setChecked(m_files->rowOf(id), true);
        QSignalSpy skipped(m_run.get(), &DownloadRun::skipped);
        DownloadRun::Params p = params();
        p.ifExists = DownloadRun::IfExists(choice);
        QVERIFY(runToEnd(p));
        QCOMPARE(entries(folder()), files);
        QCOMPARE(readFile(target(QStringLiteral("has.bin"))), kept);
        QCOMPARE(m_server.requestCount("/exists/has.bin") - before, requests);
        QCOMPARE(skipped.size(), 1 - requests);
        QVERIFY(!m_files->isChecked(m_files->rowOf(id)));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
    }

    void answersThatAreNotTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("sizeCell");
        QTest::addColumn<QString>("status");
        const QString signedOut = QStringLiteral(
            "0 files downloaded, 1 failed; the server sent web pages instead of the files: sign "
            "in again and export your cookies to ");
        QTest::newRow("sign-in page for a zip")
            << "a.zip" << QByteArray("text/html; charset=UTF-8") << "" << signedOut;
        QTest::newRow("a web page that is one") << "a.html" << QByteArray("text/html") << ""
                                                << "1 files downloaded";
        QTest::newRow("size differs from the check")
            << "a.zip" << QByteArray("application/zip") << "999"
            << "1 files downloaded; size differs from the size check: a.zip";
    }

    void answersThatAreNotTheFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, type);
        QFETCH(QString, sizeCell);
        QFETCH(QString, status);
        QVERIFY(writeFile(target(name), "mine"));
        Response page = serve("<html>sign in</html>");
        page.headers.append({QByteArray("Content-Type"), QByteArray(type)});
        m_server.route("/page/" + name.toLatin1(), page);
        const RowId id =
            m_files->addRow({name, sizeCell, Host + QStringLiteral("/page/") + name, {}});
        m_files->setChecked(m_files->rowOf(id), true);
        QVERIFY(runToEnd(params()));
        QVERIFY2(m_statuses.last().startsWith(status), qPrintable(m_statuses.last()));
        const bool refused = status.contains(QLatin1String("web pages"));
        QCOMPARE(readFile(target(name)), refused ? QByteArray("mine") : page.body);
        QCOMPARE(m_run->sizesDiffering().size(), sizeCell.isEmpty() ? 0 : 1);
    }

    void retryDelays_data()
    {
        QTest::addColumn<int>("retry");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("expected");
        QTest::newRow("first, no jitter") << 1 << 0.5 << QByteArray() << 1000;
        QTest::newRow("second, low jitter") << 2 << 0.0 << QByteArray() << 1500;
        QTest::newRow("third, high jitter") << 3 << 1.0 << QByteArray() << 5000;
        QTest::newRow("capped") << 12 << 0.5 << QByteArray() << 60000;
        QTest::newRow("retry-after seconds") << 1 << 0.5 << QByteArray("7") << 7000;
        QTest::newRow("retry-after capped") << 1 << 0.5 << QByteArray("3600") << 60000;
        QTest::newRow("retry-after date")
            << 1 << 0.5 << QByteArray("Mon, 07 Dec 2026 12:00:20 GMT") << 20000;
        QTest::newRow("retry-after in the past")
            << 1 << 0.5 << QByteArray("Mon, 07 Dec 2026 11:00:00 GMT") << 0;
        QTest::newRow("retry-after garbage") << 2 << 0.5 << QByteArray("soon") << 2000;
    }

    void retryDelays()
    {
        QFETCH(int, retry);
        QFETCH(double, jitter);
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, expected);
        const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
        QCOMPARE(RetryPolicy::delayMs(retry, 1000, jitter, retryAfter, now), expected);
    }

    void transferTexts_data()
    {
        QTest::addColumn<QList<qint64>>("samples"); // ms, bytes, ms, bytes, ...
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        const qint64 MB = 1024 * 1024;
        QTest::newRow("no speed yet")
            << QList<qint64>{0, 0} << 10 * MB << "0% \u00b7 0 bytes of 10.0 MB";
        QTest::newRow("steady 1 MB/s")
            << QList<qint64>{0, 0, 1000, MB, 2000, 2 * MB} << 10 * MB
            << "20% \u00b7 2.0 MB of 10.0 MB \u00b7 1.0 MB/s \u00b7 0:08 left";
        // Only the last three seconds count: a burst long ago no longer lifts the speed.
        QTest::newRow("old burst forgotten")
            << QList<qint64>{0, 0, 100, 50 * MB, 5000, 50 * MB + 2 * MB, 8000, 50 * MB + 5 * MB}
            << 400 * MB << "13% \u00b7 55.0 MB of 400.0 MB \u00b7 1.0 MB/s \u00b7 5:45 left";
        QTest::newRow("length unknown")
            << QList<qint64>{0, 0, 2000, 4 * MB} << qint64(-1) << "4.0 MB \u00b7 2.0 MB/s";
        QTest::newRow("hours left")
            << QList<qint64>{0, 0, 1000, 1024} << 10 * MB
            << "0% \u00b7 1.0 kB of 10.0 MB \u00b7 1.0 kB/s \u00b7 2:50:39 left";
        QTest::newRow("restarted from zero")
            << QList<qint64>{0, 0, 1000, 5 * MB, 1500, 0, 2000, MB / 2} << 10 * MB
            << "5% \u00b7 512.0 kB of 10.0 MB \u00b7 1.0 MB/s \u00b7 0:10 left";
    }

    void transferTexts()
    {
        QFETCH(QList<qint64>, samples);
        QFETCH(qint64, total);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale::c());
        TransferMeter meter;
        for (qsizetype i = 0; i + 1 < samples.size(); i += 2)
            meter.sample(samples[i], samples[i + 1]);
        QCOMPARE(TransferMeter::text(samples.last(), total, meter.bytesPerSecond()), text);
    }

    void abortWhileIdleChangesNothing()
    {
        m_server.route("/abort/idle.txt", serve("idle"));
        addZing(QStringLiteral("idle.txt"), "/abort/idle.txt");
        QVERIFY(runToEnd(params()));
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        m_state->AbortAll();
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QCOMPARE(readFile(target(QStringLiteral("idle.txt"))), QByteArray("idle"));
    }

    // Names on disk

    void namesAreCleanedOnDisk_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("onDisk");
        const QByteArray file = "/clean/file";
        QTest::newRow("colon and question mark") << "a:b?.jpg" << file << "a_b_.jpg";
        QTest::newRow("question mark alone") << "?" << file << "_";
        QTest::newRow("parent path") << "../x" << file << ".._x";
        QTest::newRow("sub path") << "sub/inner.txt" << file << "sub_inner.txt";
        QTest::newRow("backslash path") << "..\\y" << file << ".._y";
        // A name that says nothing takes the last part of the URL's path.
        QTest::newRow("empty") << "" << file << "file";
        QTest::newRow("dot") << "." << file << "file";
        QTest::newRow("dot dot") << ".." << file << "file";
        QTest::newRow("empty, encoded path") << "" << QByteArray("/clean/caf%C3%A9%20a%3Ab.jpg")
                                             << QStringLiteral("caf\u00e9 a_b.jpg");
        QTest::newRow("empty, path says nothing either") << "" << QByteArray("/clean/") << "_";
        QTest::newRow("empty, slash in the last part") << "" << QByteArray("/clean/a%2Fb") << "a_b";
    }

    void namesAreCleanedOnDisk()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, path);
        QFETCH(QString, onDisk);
        // The folder sits one level down, so a name that climbed out would show beside it.
        const QString inner = m_dir->filePath(QStringLiteral("inner"));
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("inner")));
        m_server.route(path, serve("cleaned body"));
        addZing(name, path);
        DownloadRun::Params p = params();
        p.folder = inner;
        QVERIFY(runToEnd(p));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
        QCOMPARE(entries(folder()), QStringList{"inner"});
        QCOMPARE(entries(inner), QStringList{onDisk});
        QCOMPARE(readFile(inner + QLatin1Char('/') + onDisk), QByteArray("cleaned body"));
    }

    void oneRunNeverReplacesItsOwnFiles_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("files"); // the file each row ends in
        QTest::addColumn<int>("requests");

        QTest::newRow("three empty captions")
            << QStringList{"", "", ""} << QStringList{"/own/1/", "/own/2/", "/own/3/"}
            << QStringList{"_", "_ (2)", "_ (3)"} << 3;
        QTest::newRow("the same name")
            << QStringList{"a.jpg", "a.jpg"} << QStringList{"/own/a1", "/own/a2"}
            << QStringList{"a.jpg", "a (2).jpg"} << 2;
        QTest::newRow("names that clean alike")
            << QStringList{"a:b.txt", "a_b.txt", "a?b.txt"}
            << QStringList{"/own/c1", "/own/c2", "/own/c3"}
            << QStringList{"a_b.txt", "a_b (2).txt", "a_b (3).txt"} << 3;
        QTest::newRow("a double extension")
            << QStringList{"s.tar.gz", "s.tar.gz"} << QStringList{"/own/t1", "/own/t2"}
            << QStringList{"s.tar.gz", "s (2).tar.gz"} << 2;
        QTest::newRow("the same file twice")
            << QStringList{"x.bin", "y.bin", "x.bin"} << QStringList{"/own/x", "/own/y", "/own/x"}
            << QStringList{"x.bin", "y.bin", "x.bin"} << 2;
        QTest::newRow("a name that is taken by a numbered one")
            << QStringList{"a.jpg", "a (2).jpg", "a.jpg"}
            << QStringList{"/own/n1", "/own/n2", "/own/n3"}
            << QStringList{"a.jpg", "a (2).jpg", "a (3).jpg"} << 3;
    }

    void oneRunNeverReplacesItsOwnFiles()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, files);
        QFETCH(int, requests);
        QHash<QString, QByteArray> expected; // file -> body
        int before = 0;
        const QStringList unique(QSet<QString>(paths.cbegin(), paths.cend()).values());
        for (const QString &path : unique)
            before += m_server.requestCount(path.toLatin1());
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QByteArray body = "body of " + paths[i].toLatin1();
            // Slow first rows, so later rows finish first and would win a race for the name.
            m_server.route(paths[i].toLatin1(),
                           serve(body, Serve::Normal, int(names.size() - i) * 60));
            addZing(names[i], paths[i].toLatin1());
            expected.insert(files[i], body);
        }
        QSignalSpy savedAs(m_run.get(), &DownloadRun::savedAs);
        QVERIFY(runToEnd(params(4)));

        QStringList onDisk = expected.keys();
        onDisk.sort();
        QCOMPARE(entries(folder()), onDisk);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(readFile(target(it.key())), it.value());
        int after = 0;
        for (const QString &path : unique)
            after += m_server.requestCount(path.toLatin1());
        QCOMPARE(after - before, requests);
        QCOMPARE(m_statuses.last(), QStringLiteral("%1 files downloaded").arg(names.size()));
        for (int row = 0; row < m_files->rowCount(); ++row)
            QVERIFY(!m_files->isChecked(row));
        // Every row saved under another name than its own is told, in the list and by signal.
        int renamed = 0;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (files[i] != CleanFileName(names[i]) && !(i > 0 && paths.indexOf(paths[i]) < i))
                ++renamed;
        }
        QCOMPARE(savedAs.size(), renamed);
        for (const QList<QVariant> &signal : std::as_const(savedAs)) {
            const int row = m_files->rowOf(signal.at(0).value<RowId>());
            QCOMPARE(m_files->data(m_files->index(row, 0), Qt::ToolTipRole).toString(),
                     QStringLiteral("Saved as ") + signal.at(2).toString());
        }
    }

    // Order and slots

    void oneSlotFollowsListOrder_data()
    {
        QTest::addColumn<bool>("sortDescending");
        QTest::newRow("as added") << false;
        QTest::newRow("sorted by name, descending") << true;
    }

    void oneSlotFollowsListOrder()
    {
        QFETCH(bool, sortDescending);
        const QByteArray base = sortDescending ? "/order-d/" : "/order-a/";
        const QStringList names = {"m.txt", "c.txt", "x.txt", "a.txt", "q.txt"};
        for (const QString &name : names) {
            m_server.route(base + name.toLatin1(), serve(name.toLatin1(), Serve::Normal, 10));
            addZing(name, base + name.toLatin1());
        }
        if (sortDescending) {
            m_files->setSortKey(1);
            m_files->columnClick(0);
            m_files->columnClick(0);
        }
        QStringList listed;
        for (int row = 0; row < m_files->rowCount(); ++row)
            listed.append(m_files->cell(row, 0));
        const QStringList expected =
            sortDescending ? QStringList{"x.txt", "q.txt", "m.txt", "c.txt", "a.txt"} : names;
        QCOMPARE(listed, expected);

        QObject context;
        QStringList requested;
        connect(&m_server, &TestServer::requestReceived, &context,
                [&](const QByteArray &, const QByteArray &path) {
                    requested.append(QString::fromLatin1(path.mid(base.size())));
                });
        QVERIFY(runToEnd(params(1)));
        QCOMPARE(requested, expected);
        QList<RowId> ids;
        for (int row = 0; row < m_files->rowCount(); ++row)
            ids.append(m_files->idAt(row));
        QCOMPARE(m_started, ids);
        QCOMPARE(m_statuses.last(), QStringLiteral("5 files downloaded"));
    }

    void slotsWorkInParallelFromTheLowest()
    {
        // The answers wait, so every transfer is still running when the last request arrives.
        for (const char *name : {"p1", "p2", "p3"})
            m_server.route(QByteArray("/par/") + name, serve(name, Serve::Normal, 200));
        addZing(QStringLiteral("p1"), "/par/p1");
        addZing(QStringLiteral("p2"), "/par/p2");
        addZing(QStringLiteral("p3"), "/par/p3");
        QSet<QString> seen[5];
        m_board->resize(5);
        QObject context;
        connect(m_board.get(), &SlotBoard::slotChanged, &context, [&](int index) {
            if (!m_board->at(index).url.isEmpty())
                seen[index].insert(m_board->at(index).url);
        });
        int mostBusy = 0;
        connect(&m_server, &TestServer::requestReceived, &context, [&] {
            int busy = 0;
            for (int slot = 0; slot < m_board->count(); ++slot)
                busy += m_board->at(slot).url.isEmpty() ? 0 : 1;
            mostBusy = std::max(mostBusy, busy);
        });
        QVERIFY(runToEnd(params(5)));
        QCOMPARE(mostBusy, 3);
        QCOMPARE(seen[0], QSet<QString>{"p1"});
        QCOMPARE(seen[1], QSet<QString>{"p2"});
        QCOMPARE(seen[2], QSet<QString>{"p3"});
        QVERIFY(seen[3].isEmpty());
        QVERIFY(seen[4].isEmpty());
        QCOMPARE(m_statuses.last(), QStringLiteral("3 files downloaded"));
    }

    // Modes

    void yahooRowsUseNameAndUrlColumns()
    {
        m_files->setColumns(columnSet(::Mode::Yahoo));
        m_server.route("/yahoo/real.bin", serve("yahoo body"));
        m_server.route("/yahoo/decoy.bin", serve("decoy"));
        // Decoys in the other columns: only column 3 names the file, only 5 locates it.
        const RowId id =
            m_files->addRow({QStringLiteral("00042"), QStringLiteral("subject.bin"),
                             Host + QStringLiteral("/yahoo/decoy.bin"), QStringLiteral("y:1.bin"),
                             QStringLiteral("10"), Host + QStringLiteral("/yahoo/real.bin"),
                             QStringLiteral("0000010")});
        m_files->setChecked(m_files->rowOf(id), true);
        const int decoys = m_server.requestCount("/yahoo/decoy.bin");
        DownloadRun::Params p = params();
        p.mode = ::Mode::Yahoo;
        QVERIFY(runToEnd(p));
        QCOMPARE(entries(folder()), QStringList{"y_1.bin"});
        QCOMPARE(readFile(target(QStringLiteral("y_1.bin"))), QByteArray("yahoo body"));
        QCOMPARE(m_server.requestCount("/yahoo/decoy.bin"), decoys);
        QVERIFY(!m_files->isChecked(0));
        QCOMPARE(m_statuses.last(), QStringLiteral("1 files downloaded"));
    }

    // The list changing under the run

    void rowsRemovedOrUntickedDuringTheRun()
    {
        const QByteArray base = "/removed/";
        m_server.route(base + "r1", serve("r1", Serve::Normal, 300));
        for (const char *name : {"r2", "r3", "r4", "r5"})
            m_server.route(base + name, serve(name));
        addZing(QStringLiteral("r1"), base + "r1");
        addZing(QStringLiteral("r2"), base + "r2");
        addZing(QStringLiteral("r3"), base + "r3");
        addZing(QStringLiteral("r4"), base + "r4");
        addZing(QStringLiteral("r5"), base + "r5");
        QObject context;
        QStringList requested;
        connect(&m_server, &TestServer::requestReceived, &context,
                [&](const QByteArray &, const QByteArray &path) {
                    requested.append(QString::fromLatin1(path.mid(base.size())));
                });
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        QCOMPARE(m_run->start(params(1)), DownloadRun::Start::Started);
        QCOMPARE(m_board->at(0).url, QStringLiteral("r1"));
        // r1 (running) and r3 (waiting) go; r4 is unticked.
        m_files->setSelected(0, 0, true);
        m_files->setSelected(2, 2, true);
        QCOMPARE(m_files->removeSelected(), 2);
        QCOMPARE(m_files->cell(1, 0), QStringLiteral("r4"));
        m_files->setChecked(1, false);
        QVERIFY(finished.wait(EndBoundMs));
        QCOMPARE(requested, (QStringList{"r1", "r2", "r5"}));
        QCOMPARE(m_files->rowCount(), 3);
        QVERIFY(QFileInfo::exists(target(QStringLiteral("r2"))));
        QVERIFY(QFileInfo::exists(target(QStringLiteral("r5"))));
        QVERIFY(!QFileInfo::exists(target(QStringLiteral("r3"))));
        QVERIFY(!QFileInfo::exists(target(QStringLiteral("r4"))));
        QCOMPARE(m_multi, (QList<bool>{false, true}));
        QVERIFY(!m_state->AnyThreadBusy());
        QVERIFY(m_statuses.last().endsWith(QLatin1String("files downloaded")));
    }

    void listClearedDuringTheRun()
    {
        m_server.route("/cleared/c1", serve("c1", Serve::Slow, 30, 1));
        m_server.route("/cleared/c2", serve("c2"));
        addZing(QStringLiteral("c1"), "/cleared/c1");
        addZing(QStringLiteral("c2"), "/cleared/c2");
        const int before = m_server.requestCount("/cleared/c2");
        QSignalSpy finished(m_run.get(), &DownloadRun::finished);
        QCOMPARE(m_run->start(params(1)), DownloadRun::Start::Started);
        m_files->clear();
        QVERIFY(finished.wait(EndBoundMs));
        QCOMPARE(m_server.requestCount("/cleared/c2"), before);
        QCOMPARE(m_files->rowCount(), 0);
        QVERIFY(!m_state->isRunActive());
    }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "test_download.moc"
