// The page fetcher, the size check and the two search drivers against a local server.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <memory>

#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/search/linkverifier.h"
#include "core/search/responsehead.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/hostmapping.h"
#include "core/net/httpclient.h"
#include "core/search/albumsearch.h"
#include "core/search/groupsearch.h"
#include "core/search/pagefetcher.h"
#include "support/testfiles.h"
#include "support/testserver.h"

namespace {

using Response = TestServer::Response;
using Serve = TestServer::Mode;

// Hosts of the made-up services; the host mapping sends them to the test server.
const QString GroupBase = QStringLiteral("http://groups.example.test/group/cars");
const QString FileHost = QStringLiteral("http://f1.grp.example.test");

QByteArray groupPage(const QByteArray &author, const QByteArray &subject,
                     const QList<QByteArray> &paths)
{
    QByteArray page = "<html><body><table><tr><td><b>From:</b> " + author + "<br></td></tr>";
    page += "<tr><td><b>Subject:</b> " + subject + "<br></td></tr></table>\n";
    for (const QByteArray &path : paths)
        page += "<p><a href=\"" + FileHost.toLatin1() + path + "\">" + path + "</a></p>\n";
    page += "</body></html>";
    return page;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SlotBoard> m_board;
    std::unique_ptr<FileListModel> m_files;
    QStringList m_statuses;

    void makeList(::Mode mode)
    {
        m_files->setColumns(columnSet(mode));
        m_files->setSortKey(1);
        m_files->columnClick(0);
    }

    SearchTimeouts shortTimeouts() const { return {2000, 700}; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        const QString target = QStringLiteral(":127.0.0.1:") + QString::number(m_server.port());
        QVERIFY(HostMapping::global().add(QStringLiteral("groups.example.test:80") + target));
        QVERIFY(HostMapping::global().add(QStringLiteral("f1.grp.example.test:80") + target));
        QVERIFY(HostMapping::global().add(QStringLiteral("www.zing.com:80") + target));
        QVERIFY(HostMapping::global().add(QStringLiteral("f1.grp.example.test:8080") + target));
        QVERIFY(
            HostMapping::global().add(QStringLiteral("xn--f-eha.grp.example.test:80") + target));
        QTcpServer closed; // a port that refuses: bound, then released
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        QVERIFY(HostMapping::global().add(QStringLiteral("refused.example.test:80:127.0.0.1:") +
                                          QString::number(closed.serverPort())));
    }

    void init()
    {
        m_state = std::make_unique<AppState>();
        m_board = std::make_unique<SlotBoard>();
        m_files = std::make_unique<FileListModel>();
        m_statuses.clear();
        connect(m_state.get(), &AppState::statusMessageChanged, this,
                [this](const QString &text) { m_statuses.append(text); });
    }

    // The size check

    void requestIsByteExact()
    {
        QCOMPARE(
            cDsckLinkVerifier::request(QStringLiteral("H"), QStringLiteral("/dir/a.zip")),
            QByteArray("HEAD /dir/a.zip HTTP/1.1\r\nAccept: */*\r\n"
                       "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n"
                       "Host: H\r\nConnection: close\r\n\r\n"));
        // Nothing from a page may break the request's lines.
        QVERIFY(cDsckLinkVerifier::request(QStringLiteral("H"), QStringLiteral("/a\r\nX: y"))
                    .isEmpty());
        QVERIFY(cDsckLinkVerifier::request(QStringLiteral("H\n"), QStringLiteral("/a")).isEmpty());
        QVERIFY(cDsckLinkVerifier::request(QStringLiteral("H"), QStringLiteral("/a\tb")).isEmpty());
        QCOMPARE(
            cDsckLinkVerifier::request(QStringLiteral("H"), QStringLiteral("/a b/é.jpg")).left(27),
            QByteArray("HEAD /a%20b/%C3%A9.jpg HTTP"));
    }

    void responseHeadIsRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("nameFound");
        QTest::addColumn<bool>("hasLength");
        QTest::addColumn<QString>("length");
        QTest::newRow("plain") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n")
                               << false << true << true << true << "1234";
        QTest::newRow("lower-case name")
            << QByteArray("HTTP/1.1 200 OK\r\ncontent-length:42 \r\n\r\n") << false << true << true
            << true << "42";
        QTest::newRow("head not yet complete")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n") << false << false << false
            << false << "";
        QTest::newRow("closed before the blank line")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n") << true << true << true
            << true << "9";
        QTest::newRow("closed inside the value")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9") << true << true << true << false
            << "";
        QTest::newRow("no length") << QByteArray("HTTP/1.1 200 OK\r\nServer: x\r\n\r\n") << false
                                   << true << false << false << "";
        QTest::newRow("name inside another line")
            << QByteArray("HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\n\r\n") << false << true
            << false << false << "";
        QTest::newRow("length in the body is not read")
            << QByteArray("HTTP/1.1 200 OK\r\n\r\nContent-Length: 5\r\n") << false << true << false
            << false << "";
        QTest::newRow("empty and closed") << QByteArray() << true << true << false << false << "";
        // Only a 2xx answer with a real number gives a size.
        QTest::newRow("404 gives no size")
            << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 345\r\n\r\n") << false << true
            << true << false << "";
        QTest::newRow("302 gives no size")
            << QByteArray("HTTP/1.1 302 Found\r\nContent-Length: 20\r\n\r\n") << false << true
            << true << false << "";
        QTest::newRow("not all digits")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\thttp://x/evil\r\n\r\n") << false
            << true << true << false << "";
        QTest::newRow("negative") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n")
                                  << false << true << true << false << "";
        QTest::newRow("beyond 64 bits")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n") << false
            << true << true << false << "";
        QTest::newRow("largest 64-bit")
            << QByteArray("HTTP/1.1 206 Partial\r\nContent-Length: 9223372036854775807\r\n\r\n")
            << false << true << true << true << "9223372036854775807";
    }

    void responseHeadIsRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, closed);
        const HeadResult head = parseResponseHead(bytes, closed);
        QTEST(head.complete, "complete");
        QTEST(head.nameFound, "nameFound");
        QTEST(head.hasLength, "hasLength");
        QTEST(head.length, "length");
    }

    void checkWritesSizeCells_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("hidden");
        QTest::newRow("plain") << int(Serve::Normal) << 1234 << "1234"
                               << "0001234";
        QTest::newRow("eight digits") << int(Serve::Normal) << 12345678 << "12345678"
                                      << "12345678";
        QTest::newRow("head over many reads") << int(Serve::SplitHead) << 777 << "777"
                                              << "0000777";
        QTest::newRow("lower-case names") << int(Serve::LowerCaseHeaders) << 42 << "42"
                                          << "0000042";
    }

    void checkWritesSizeCells()
    {
        QFETCH(int, mode);
        QFETCH(int, length);
        QFETCH(QString, size);
        QFETCH(QString, hidden);
        Response r = serve(QByteArray(), Serve(mode));
        r.mode = Serve(mode) == Serve::Normal ? Serve::WrongLength : Serve(mode);
        r.announcedLength = length;
        r.body = Serve(mode) == Serve::Normal ? QByteArray() : QByteArray(length, 'x');
        m_server.route("/check/a.zip", r);
        makeList(::Mode::Zing);
        const auto id = m_files->addRow({"a.zip", "", FileHost + "/check/a.zip", ""});
        cDsckLinkVerifier check;
        check.LinkURL = FileHost + "/check/a.zip";
        check.FileName = QStringLiteral("a.zip");
        check.bind(m_files.get(), id, 1, 3, m_board.get(), 0);
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(done.wait(5000));
        QVERIFY(check.IsFinished());
        QCOMPARE(m_files->cell(0, 1), size);
        QCOMPARE(m_files->cell(0, 3), hidden);
        QCOMPARE(m_board->at(0).status, QStringLiteral("Idle"));
        QCOMPARE(m_board->at(0).url, QString());
        QVERIFY(m_server.lastRequestHead().startsWith("HEAD /check/a.zip HTTP/1.1\r\n"));
        QVERIFY(m_server.lastRequestHead().contains("\r\nHost: f1.grp.example.test\r\n"));
    }

    void checkAsksTheRightHost_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QByteArray>("host");
        QTest::newRow("fragment stays home")
            << FileHost + "/shape/a.zip#part2" << QByteArray("f1.grp.example.test");
        QTest::newRow("no user or password")
            << "http://ann:pw@f1.grp.example.test/shape/a.zip" << QByteArray("f1.grp.example.test");
        QTest::newRow("explicit port") << "http://f1.grp.example.test:8080/shape/a.zip"
                                       << QByteArray("f1.grp.example.test:8080");
        QTest::newRow("IDNA host")
            << QString::fromUtf8("http://f\u00fc.grp.example.test/shape/a.zip")
            << QByteArray("xn--f-eha.grp.example.test");
    }

    void checkAsksTheRightHost()
    {
        QFETCH(QString, link);
        m_server.route("/shape/a.zip", serve("abc"));
        makeList(::Mode::Zing);
        const auto id = m_files->addRow({"a.zip", "", link, ""});
        cDsckLinkVerifier check;
        check.LinkURL = link;
        check.bind(m_files.get(), id, 1, 3, m_board.get(), 0);
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(done.wait(5000));
        QCOMPARE(m_files->cell(0, 1), QStringLiteral("3")); // the mapped server answered
        QVERIFY(m_server.lastRequestHead().startsWith("HEAD /shape/a.zip HTTP/1.1\r\n"));
        QTEST(m_server.lastHostHeader(), "host");
    }

    void checkWithoutLengthLeavesCells()
    {
        m_server.route("/check/nolen.zip", serve("abc", Serve::NoLength));
        makeList(::Mode::Zing);
        const auto id = m_files->addRow({"n.zip", "old", FileHost + "/check/nolen.zip", "old"});
        cDsckLinkVerifier check;
        check.LinkURL = FileHost + "/check/nolen.zip";
        check.bind(m_files.get(), id, 1, 3, m_board.get(), 0);
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(done.wait(5000));
        QCOMPARE(m_files->cell(0, 1), QStringLiteral("old"));
    }

    void checkOfAServerThatNeverClosesEnds()
    {
        Response r = serve("12345", Serve::NeverClose);
        m_server.route("/check/open.zip", r);
        makeList(::Mode::Zing);
        const auto id = m_files->addRow({"o.zip", "", FileHost + "/check/open.zip", ""});
        cDsckLinkVerifier check;
        check.LinkURL = FileHost + "/check/open.zip";
        check.setTimeout(400);
        check.bind(m_files.get(), id, 1, 3, m_board.get(), 0);
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(done.wait(5000));
        QCOMPARE(done.count(), 1);
        QCOMPARE(m_files->cell(0, 1), QStringLiteral("5")); // the length arrived before the stall
    }

    void checkOfAStalledServerEnds()
    {
        m_server.route("/check/stall.zip", serve("x", Serve::Stall));
        cDsckLinkVerifier check;
        check.LinkURL = FileHost + "/check/stall.zip";
        check.setTimeout(300);
        check.bind(m_files.get(), 1, 1, 3, m_board.get(), 0);
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(done.wait(5000));
        QCOMPARE(m_board->at(0).status, QStringLiteral("Error"));
    }

    void checkWithoutPathEndsAtOnce()
    {
        const int before = m_server.requestHeads().size();
        cDsckLinkVerifier check;
        check.LinkURL = QStringLiteral("http://f1.grp.example.test");
        check.FileName = QStringLiteral("x");
        check.bind(m_files.get(), 1, 1, 3, m_board.get(), 0);
        check.GetHeader();
        QVERIFY(check.IsFinished());
        QCOMPARE(m_board->at(0).url, QStringLiteral("Verifying x"));
        QTest::qWait(50);
        QCOMPARE(m_server.requestHeads().size(), before);
    }

    void checkOfARemovedRowWritesNothing()
    {
        m_server.route("/check/gone.zip", serve(QByteArray(10, 'x')));
        makeList(::Mode::Zing);
        const auto id = m_files->addRow({"g.zip", "", FileHost + "/check/gone.zip", ""});
        m_files->setSelected(0, 0, true);
        m_files->removeSelected();
        cDsckLinkVerifier check;
        check.LinkURL = FileHost + "/check/gone.zip";
        check.bind(m_files.get(), id, 1, 3, m_board.get(), 0);
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(done.wait(5000));
        QCOMPARE(m_files->rowCount(), 0);
    }

    // The page fetcher

    void fetcherShowsProgressWithoutLength()
    {
        Response r = serve(QByteArray(8000, 'z'), Serve::Slow, 5);
        r.mode = Serve::NoLength;
        r.chunkSize = 500;
        m_server.route("/group/cars/message/1", r);
        QList<int> values;
        connect(m_board.get(), &SlotBoard::slotChanged, this,
                [&](int) { values.append(m_board->at(0).progress); });
        cHTTPLinkFinder fetcher(*m_state, *m_board, *m_files, 0);
        QVERIFY(fetcher.IsFinished());
        QSignalSpy changed(&fetcher, &SlotWorker::finishedChanged);
        fetcher.start({GroupBase + "/message/1", ::Mode::Yahoo, 0, 1, {}});
        QVERIFY(!fetcher.IsFinished());
        QTRY_VERIFY_WITH_TIMEOUT(fetcher.IsFinished(), 5000);
        QVERIFY(!values.isEmpty());
        for (int v : std::as_const(values))
            QVERIFY(v <= 100);
        QVERIFY(values.contains(100));
        QCOMPARE(m_board->at(0).progress, 0);
        QCOMPARE(m_board->at(0).status, QStringLiteral("Idle"));
    }

    void fetcherStaysBusyUntilItsChecksEnd()
    {
        m_server.route("/group/cars/message/2",
                       serve(groupPage("Ann", "S", QList<QByteArray>(12, "/busy/slow.zip"))));
        m_server.route("/busy/slow.zip", serve("x", Serve::Stall));
        makeList(::Mode::Yahoo);
        cHTTPLinkFinder fetcher(*m_state, *m_board, *m_files, 0);
        fetcher.setCheckTimeout(600);
        fetcher.start({GroupBase + "/message/2", ::Mode::Yahoo, 2, 1, {}});
        QTRY_COMPARE_WITH_TIMEOUT(m_files->rowCount(), 12, 5000);
        QTest::qWait(200);
        QVERIFY(!fetcher.IsFinished()); // the page is in, its checks are not
        // Waiting checks are plain records: no object (and socket) each.
        QCOMPARE(fetcher.findChildren<cDsckLinkVerifier *>().size(),
                 cHTTPLinkFinder::MaxChecksAtOnce);
        QTRY_VERIFY_WITH_TIMEOUT(fetcher.IsFinished(), 5000);
        QCOMPARE(m_files->cell(0, 0), QStringLiteral("00002"));
    }

    // The group scan

    void groupScanListsRowsWithSizes()
    {
        m_server.route(
            "/group/cars/message/634",
            serve(groupPage("<span>Ann</span>", "Red &amp; blue", {"/g/red.jpg", "/g/blue.jpg"})));
        m_server.route("/group/cars/message/635", serve("<html>no such message</html>"));
        m_server.route("/g/red.jpg", serve(QByteArray(1234, 'r')));
        m_server.route("/g/blue.jpg", serve(QByteArray(99, 'b')));
        makeList(::Mode::Yahoo);
        m_board->resize(2);
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        GroupSearch::Params params;
        params.baseUrl = GroupBase; // no "/" at the end: one is added
        params.mask = QStringLiteral("634,635");
        params.threads = 2;
        params.timeouts = shortTimeouts();
        QVERIFY(search.start(params));
        QVERIFY(m_state->isRunActive());
        QVERIFY(finished.wait(8000));
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(m_statuses, (QStringList{"Processing message 634", "Processing message 635",
                                          "Finished search"}));
        QCOMPARE(column(*m_files, 0), (QStringList{"00634", "00634"}));
        QCOMPARE(column(*m_files, 1), (QStringList{"Red & blue", "Red & blue"}));
        QCOMPARE(column(*m_files, 2), (QStringList{"Ann", "Ann"}));
        QCOMPARE(column(*m_files, 3), (QStringList{"red.jpg", "blue.jpg"}));
        QCOMPARE(column(*m_files, 4), (QStringList{"1234", "99"}));
        QCOMPARE(column(*m_files, 6), (QStringList{"0001234", "0000099"}));
        QCOMPARE(m_state->progress().value, 2);
        QCOMPARE(m_state->progress().maximum, 2);
        QVERIFY(!m_state->isRunActive());
        QVERIFY(!m_state->AnyThreadBusy());
    }

    void twoSlotsTakePagesInTurn()
    {
        m_server.route("/group/cars/message/10", serve("<html>a</html>", Serve::Normal, 300));
        m_server.route("/group/cars/message/11", serve("<html>b</html>"));
        m_board->resize(2);
        QStringList slotUrls[2];
        connect(m_board.get(), &SlotBoard::slotChanged, this, [&](int i) {
            const QString n = m_board->at(i).url.section(QLatin1Char('/'), -1);
            if (m_board->at(i).url.contains(QLatin1String("message/")) &&
                (slotUrls[i].isEmpty() || slotUrls[i].last() != n))
                slotUrls[i].append(n);
        });
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        GroupSearch::Params params{
            GroupBase + "/", QStringLiteral("10,11"), 2, {}, shortTimeouts()};
        QVERIFY(search.start(params));
        QVERIFY(finished.wait(8000));
        QCOMPARE(slotUrls[0], QStringList{"10"});
        QCOMPARE(slotUrls[1], QStringList{"11"}); // while 10 was still loading
    }

    void oneSlotFetchesInMaskOrder()
    {
        for (const char *n : {"3", "1", "2"})
            m_server.route(QByteArray("/group/cars/message/") + n, serve("<html></html>"));
        QList<QByteArray> targets;
        QObject scope; // the server outlives this test; the connection must not
        connect(&m_server, &TestServer::requestReceived, &scope,
                [&](const QByteArray &, const QByteArray &target) { targets.append(target); });
        m_board->resize(1);
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        QVERIFY(search.start({GroupBase, QStringLiteral("3,1,2"), 1, {}, shortTimeouts()}));
        QVERIFY(finished.wait(8000));
        QCOMPARE(targets, (QList<QByteArray>{"/group/cars/message/3", "/group/cars/message/1",
                                             "/group/cars/message/2"}));
    }

    void refusedMaskChangesNothing()
    {
        makeList(::Mode::Yahoo);
        m_files->addRow({"00001", "s", "a", "f", "1", "u", "0000001"});
        m_state->setProgress({0, 50, 7});
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy refused(&search, &GroupSearch::maskRefused);
        QVERIFY(!search.start({GroupBase, QStringLiteral("1-3,abc,9"), 2, {}, shortTimeouts()}));
        QCOMPARE(refused.count(), 1);
        QCOMPARE(refused.first().first().toString(), QStringLiteral("abc"));
        QCOMPARE(m_statuses, QStringList{"Error parsing message mask"});
        QCOMPARE(m_files->rowCount(), 1);
        QCOMPARE(m_state->progress().value, 7);
        QVERIFY(!m_state->isRunActive());
    }

    void abortDuringScanEndsWhenAllSlotsAreIdle()
    {
        for (int n = 20; n < 30; ++n)
            m_server.route("/group/cars/message/" + QByteArray::number(n),
                           serve("x", Serve::Stall));
        m_board->resize(3);
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        QVERIFY(search.start({GroupBase, QStringLiteral("20-29"), 3, {}, {60000, 30000}}));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.openConnections(), 3, 5000);
        m_state->AbortAll();
        // At once, not after the page timeout.
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 3000);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(m_statuses.last(), QStringLiteral("Search aborted"));
        QVERIFY(!m_state->AnyThreadBusy());
        QCOMPARE(m_server.requestCount("/group/cars/message/23"), 0); // no page after the abort
    }

    void stalledPageEndsByTimeoutAndScanGoesOn()
    {
        m_server.route("/group/cars/message/40", serve("x", Serve::Stall));
        m_server.route("/group/cars/message/41", serve(groupPage("B", "T", {"/g/t.jpg"})));
        m_server.route("/g/t.jpg", serve("12"));
        m_board->resize(1);
        makeList(::Mode::Yahoo);
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        QVERIFY(search.start({GroupBase, QStringLiteral("40,41"), 1, {}, {400, 700}}));
        QVERIFY(finished.wait(8000));
        QCOMPARE(m_statuses.last(), QStringLiteral("Finished search, 1 pages failed"));
        QCOMPARE(column(*m_files, 0), QStringList{"00041"});
    }

    void failuresAreCounted_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("pagesFailed");
        QTest::addColumn<QStringList>("sizes");
        QTest::addColumn<int>("timedOut");
        const QString refused = QStringLiteral("http://refused.example.test/group/cars");
        QTest::newRow("404, its links still listed")
            << GroupBase << int(Serve::Normal) << 404 << "HTTP status 404" << 1
            << QStringList{"", "", "5"} << 1;
        QTest::newRow("refused") << refused << int(Serve::Normal) << 200 << "" << 1 << QStringList()
                                 << 0;
        QTest::newRow("stalled") << GroupBase << int(Serve::Stall) << 200 << "timed out" << 1
                                 << QStringList() << 0;
        QTest::newRow("cut off") << GroupBase << int(Serve::EndlessBody) << 200
                                 << "cut off at 16 MiB" << 1 << QStringList() << 0;
        QTest::newRow("sizes unknown")
            << GroupBase << int(Serve::Normal) << 200 << "" << 0 << QStringList{"", "", "5"} << 1;
    }

    void failuresAreCounted()
    {
        QFETCH(QString, base);
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QStringList, sizes);
        QFETCH(QString, reason);
        Response page =
            serve(groupPage("A", "S", {"/sizes/gone.zip", "/sizes/stall.zip", "/sizes/ok.zip"}),
                  Serve(mode));
        page.status = status;
        page.chunkSize = 1 << 20;
        m_server.route("/group/cars/message/60", page);
        Response gone = serve("gone");
        gone.status = 404; // its length is the error page's, not the file's
        m_server.route("/sizes/gone.zip", gone);
        m_server.route("/sizes/stall.zip", serve("x", Serve::Stall));
        m_server.route("/sizes/ok.zip", serve("12345"));
        makeList(::Mode::Yahoo);
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        QSignalSpy failed(&search, &GroupSearch::pageFailed);
        QVERIFY(search.start({base, QStringLiteral("60"), 1, {}, {400, 500}}));
        QVERIFY(finished.wait(10000));
        QTEST(search.report().pagesFailed, "pagesFailed");
        QCOMPARE(failed.size(), search.report().pagesFailed);
        if (!failed.isEmpty()) {
            QCOMPARE(failed.first().at(0).toString(), base + "/message/60");
            const QString said = failed.first().at(1).toString();
            QVERIFY2(!said.isEmpty() && said.contains(reason), qPrintable(said));
        }
        QCOMPARE(m_statuses.last(), failed.isEmpty()
                                        ? QStringLiteral("Finished search")
                                        : QStringLiteral("Finished search, 1 pages failed"));
        QCOMPARE(column(*m_files, 4), sizes);
        QCOMPARE(search.report().sizesUnknown, qint64(sizes.count(QString())));
        QTEST(int(search.report().checksTimedOut), "timedOut");
    }

    void filtersApply()
    {
        m_server.route("/group/cars/message/50",
                       serve(groupPage("Ann", "CZ69 red", {"/g/a.jpg", "/g/b.txt"})));
        m_server.route("/group/cars/message/51",
                       serve(groupPage("Bob", "cz69 blue", {"/g/c.jpg"})));
        makeList(::Mode::Yahoo);
        GroupSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &GroupSearch::finished);
        GroupSearch::Params params{GroupBase, QStringLiteral("50-51"), 2, {}, shortTimeouts()};
        params.filters.subject = QStringLiteral("CZ69*");
        params.filters.fileName = QStringLiteral("*.jpg");
        QVERIFY(search.start(params));
        QVERIFY(finished.wait(8000));
        QCOMPARE(column(*m_files, 3), QStringList{"a.jpg"});
    }

    // The album search

    void albumSearchSpreadsChecksOverSlots()
    {
        const QByteArray page =
            "<script>var theUrls = new Array('http://www.zing.com/picture/p1',\n"
            "'http://www.zing.com/picture/p2','http://www.zing.com/picture/p3',"
            "'http://www.zing.com/picture/p4','http://www.zing.com/picture/p5');\n"
            "var imgCleanCaptions = new Array('One','Two','Bob\\'s','Four','Five');</script>";
        m_server.route("/album/?id=7&pwd=a%20b%26c%23d&agree_accept=Y", serve(page));
        for (int i = 1; i <= 5; ++i)
            m_server.route("/picture/p" + QByteArray::number(i) + ".orig.jpg",
                           serve(QByteArray(i * 100, 'p')));
        m_board->resize(3);
        QList<QPair<int, QString>> verifying;
        QStringList lastUrl(3);
        connect(m_board.get(), &SlotBoard::slotChanged, this, [&](int i) {
            const QString url = m_board->at(i).url;
            if (url != lastUrl[i] && url.startsWith(QLatin1String("Verifying ")))
                verifying.append({i, url.mid(10)});
            lastUrl[i] = url;
        });
        makeList(::Mode::Zing);
        AlbumSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &AlbumSearch::finished);
        search.start({QStringLiteral("http://www.zing.com/album/?id=7"), QStringLiteral("a b&c#d"),
                      3, shortTimeouts()});
        QCOMPARE(m_statuses.first(), QStringLiteral("Getting album..."));
        QVERIFY(finished.wait(8000));
        QCOMPARE(m_statuses.last(), QStringLiteral("Finished search"));
        QCOMPARE(column(*m_files, 0), (QStringList{"Bobs", "Five", "Four", "One", "Two"}));
        QCOMPARE(m_files->cell(3, 2), QStringLiteral("http://www.zing.com/picture/p1.orig.jpg"));
        QCOMPARE(m_files->cell(3, 1), QStringLiteral("100"));
        QCOMPARE(m_state->progress().maximum, 5);
        QCOMPARE(m_state->progress().value, 5);
        QCOMPARE(verifying.size(), 5);
        QCOMPARE(verifying.at(0), (QPair<int, QString>{0, "One"}));
        QCOMPARE(verifying.at(1), (QPair<int, QString>{1, "Two"}));
        QCOMPARE(verifying.at(2), (QPair<int, QString>{2, "Bobs"}));
        QCOMPARE(verifying.at(3), (QPair<int, QString>{0, "Four"}));
        QCOMPARE(verifying.at(4), (QPair<int, QString>{1, "Five"}));
        QVERIFY(m_server.lastHostHeader() == "www.zing.com");
    }

    void albumWithoutPictureListFinishes()
    {
        m_server.route("/album/?id=8&pwd=x&agree_accept=Y", serve("<html>wrong password</html>"));
        AlbumSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &AlbumSearch::finished);
        search.start({QStringLiteral("http://www.zing.com/album/?id=8"), QStringLiteral("x"), 4,
                      shortTimeouts()});
        QVERIFY(finished.wait(8000));
        QCOMPARE(m_statuses.last(), QStringLiteral("Finished search"));
        QCOMPARE(m_files->rowCount(), 0);
        QVERIFY(search.report().noPictureList); // the command line warns of it
    }

    void albumAbortAndNextSearchIsNotAborted()
    {
        m_server.route("/album/?id=9&pwd=x&agree_accept=Y", serve("x", Serve::Stall));
        AlbumSearch search(*m_state, *m_board, *m_files);
        QSignalSpy finished(&search, &AlbumSearch::finished);
        search.start({QStringLiteral("http://www.zing.com/album/?id=9"), QStringLiteral("x"), 2,
                      shortTimeouts()});
        QTest::qWait(100);
        m_state->AbortAll();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 3000);
        QCOMPARE(m_statuses.last(), QStringLiteral("Search aborted"));

        m_server.route("/album/?id=10&pwd=x&agree_accept=Y", serve("<html></html>"));
        search.start({QStringLiteral("http://www.zing.com/album/?id=10"), QStringLiteral("x"), 2,
                      shortTimeouts()});
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        QCOMPARE(m_statuses.last(), QStringLiteral("Finished search"));
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
