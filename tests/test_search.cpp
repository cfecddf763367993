// The size check, the page fetcher and the two searches against a local server.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QUrl>
#include <optional>
#include <utility>

#include "core/search/groupsearch.h"
#include "core/search/linkverifier.h"
#include "core/search/pagefetcher.h"
#include "core/search/responsehead.h"
#include "support/runfixtures.h"
#include "support/testfiles.h"

namespace {

using Response = TestServer::Response;
using Serve = TestServer::Mode;
using Outcome = cDsckLinkVerifier::Outcome;

// Hosts of the made-up services; the host mapping sends them to the test server.
const QString GroupBase = QStringLiteral("http://groups.example.test/group/cars");
const QString FileHost = QStringLiteral("http://f1.grp.example.test");
const QString AlbumBase = QStringLiteral("http://www.zing.com/album/?id=");

QByteArray groupPage(const QByteArray &author, const QByteArray &subject,
                     const QList<QByteArray> &paths)
{
    QByteArray page = "<html><body><table><tr><td><b>From:</b> " + author + "<br></td></tr>";
    page += "<tr><td><b>Subject:</b> " + subject + "<br></td></tr></table>\n";
    for (const QByteArray &path : paths)
        page += "<p><a href=\"" + FileHost.toLatin1() + path + "\">" + path + "</a></p>\n";
    return page + "</body></html>";
}

QByteArray message(int number)
{
    return "/group/cars/message/" + QByteArray::number(number);
}

QByteArray head(const QByteArray &status, const QByteArray &rest)
{
    return "HTTP/1.1 " + status + "\r\n" + rest;
}

} // namespace

class TestSearch : public RunFixture
{
    Q_OBJECT

    QString routed(const QByteArray &path, const Response &response)
    {
        m_server.route(path, response);
        return FileHost + QString::fromLatin1(path);
    }

    std::optional<RunSession::Refusal> start(Mode mode, const QString &url, const QString &mask,
                                             int threads, SearchTimeouts timeouts = {2000, 700},
                                             const GroupParser::Filters &filters = {})
    {
        session().setMode(mode);
        board().resize(threads);
        return session().startSearch({mode, url, mask, threads, filters, timeouts});
    }

    // Runs a search to its end; false when it was refused or did not end.
    template <class... Args> bool search(Args &&...args)
    {
        QSignalSpy finished(&session(), &RunSession::searchFinished);
        return !start(std::forward<Args>(args)...) && (finished.size() || finished.wait(10000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        QVERIFY(mapHosts({"groups.example.test:80", "f1.grp.example.test:80",
                          "f1.grp.example.test:8080", "xn--f-eha.grp.example.test:80",
                          "www.zing.com:80"}));
        QTcpServer closed; // a port that refuses: bound, then released
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        QVERIFY(HostMapping::global().add("refused.example.test:80:127.0.0.1:" +
                                          QString::number(closed.serverPort())));
    }

    void init() { newSession(); }
    void cleanup() { m_session.reset(); }

    // Nothing from a page may break the size check's request lines.
    void sizeCheckRequestRefusesLineBreaks()
    {
        for (const char *path : {"/a\r\nX: y", "/a\tb", "/a\nb"})
            QCOMPARE(cDsckLinkVerifier::request("H", QString::fromLatin1(path)), "");
        QCOMPARE(cDsckLinkVerifier::request("H\n", "/a"), "");
    }

    void responseHeadIsRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("found"); // c complete, n name found, l a length
        QTest::addColumn<QString>("length");
        const QByteArray ok = "200 OK", max = "9223372036854775807";
        // clang-format off
        QTest::newRow("plain") << head(ok, "Content-Length: 1234\r\n\r\n") << false << "cnl" << "1234";
        QTest::newRow("lower-case name") << head(ok, "content-length:42 \r\n\r\n") << false << "cnl" << "42";
        QTest::newRow("head not yet complete") << head(ok, "Content-Length: 9\r\n") << false << "" << "";
        QTest::newRow("closed before the blank line") << head(ok, "Content-Length: 9\r\n") << true << "cnl" << "9";
        QTest::newRow("no length") << head(ok, "Server: x\r\n\r\n") << false << "c" << "";
        QTest::newRow("name inside another line") << head(ok, "X-Content-Length: 5\r\n\r\n") << false << "c" << "";
        QTest::newRow("length in the body is not read") << head(ok, "\r\nContent-Length: 5\r\n") << false << "c" << "";
        // Only a 2xx answer with a real number gives a size.
        QTest::newRow("404") << head("404 Not Found", "Content-Length: 345\r\n\r\n") << false << "cn" << "";
        QTest::newRow("trailing letters") << head(ok, "Content-Length: 12abc\r\n\r\n") << false << "cn" << "";
        QTest::newRow("beyond 64 bits") << head(ok, "Content-Length: 9223372036854775808\r\n\r\n") << false << "cn" << "";
        QTest::newRow("largest 64-bit") << head("206 Partial", "Content-Length: " + max + "\r\n\r\n") << false << "cnl" << QString(max);
        // clang-format on
    }
    void responseHeadIsRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, closed);
        const HeadResult head = parseResponseHead(bytes, closed);
        QTEST(QString(head.complete ? "c" : "") + (head.nameFound ? "n" : "") +
                  (head.hasLength ? "l" : ""),
              "found");
        QTEST(head.length, "length");
    }

    void sizeCheck_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("size");    // the size cell afterwards; "old" before
        QTest::addColumn<QByteArray>("host"); // the Host header; empty: no request
        const QByteArray f1 = "f1.grp.example.test";
        const QString shape = routed("/shape/a.zip", serve("abc"));
        const int size = int(Outcome::Size);
        // clang-format off
        QTest::newRow("plain") << routed("/check/1", serve(QByteArray(1234, 'x'))) << size << "1234" << f1;
        QTest::newRow("head over many reads") << routed("/check/2", serve(QByteArray(777, 'x'), Serve::SplitHead)) << size << "777" << f1;
        QTest::newRow("never closes") << routed("/check/3", serve("12345", Serve::NeverClose)) << size << "5" << f1;
        QTest::newRow("stalled") << routed("/check/4", serve("x", Serve::Stall)) << int(Outcome::TimedOut) << "old" << f1;
        QTest::newRow("row removed") << routed("/check/5", serve("abc")) << size << "" << f1;
        QTest::newRow("no path") << "http://f1.grp.example.test" << int(Outcome::Failed) << "old" << QByteArray();
        QTest::newRow("fragment stays home") << shape + "#part2" << size << "3" << f1;
        QTest::newRow("explicit port") << "http://f1.grp.example.test:8080/shape/a.zip" << size << "3" << f1 + ":8080";
        QTest::newRow("IDNA host") << QStringLiteral("http://f\u00fc.grp.example.test/shape/a.zip") << size << "3" << "xn--f-eha" + f1.mid(2);
        // clang-format on
    }
    void sizeCheck()
    {
        QFETCH(QString, link);
        QFETCH(QByteArray, host);
        session().setMode(Mode::Zing);
        const auto id = files().addRow({"a.zip", "old", link, "old"});
        files().setSelected(0, 0, QTest::currentDataTag() == QLatin1String("row removed"));
        files().removeSelected();
        const qsizetype before = m_server.requestHeads().size();
        cDsckLinkVerifier check;
        check.LinkURL = link;
        check.setTimeout(400);
        check.bind(id, 0);
        connect(&check, &cDsckLinkVerifier::sizeFound, this,
                [this](FileListModel::RowId row, const QString &size) {
                    writeSize(files(), Mode::Zing, row, size);
                });
        QSignalSpy done(&check, &cDsckLinkVerifier::finished);
        check.GetHeader();
        QVERIFY(check.IsFinished() || done.wait(5000));
        QTEST(int(check.outcome()), "outcome");
        QTEST(files().cell(0, 1), "size");
        QCOMPARE(m_server.requestHeads().size() - before, host.isEmpty() ? 0 : 1);
        const QByteArray line = "HEAD " + QUrl(link).path().toLatin1() + " HTTP/1.1\r\n";
        QVERIFY(host.isEmpty() || m_server.lastRequestHead().startsWith(line));
        QVERIFY(host.isEmpty() || m_server.lastHostHeader() == host);
    }

    void groupScanListsRowsWithSizes()
    {
        m_server.route(message(634), serve(groupPage("<span>Ann</span>", "Red &amp; blue",
                                                     {"/g/red.jpg", "/g/a.txt", "/g/blue.jpg"})));
        m_server.route(message(635), serve(groupPage("Bob", "red", {"/g/b.jpg"})));
        m_server.route(message(636), serve("<html>no such message</html>", Serve::NoLength));
        m_server.route("/g/red.jpg", serve(QByteArray(1234, 'r')));
        m_server.route("/g/blue.jpg", serve(QByteArray(99, 'b')));
        GroupParser::Filters filters;
        filters.subject = QStringLiteral("Red*");
        filters.fileName = QStringLiteral("*.jpg");
        QVERIFY(search(Mode::Yahoo, GroupBase, "634-636", 2, SearchTimeouts{2000, 700}, filters));
        QCOMPARE(m_statuses.first(), "Processing message 634");
        QCOMPARE(status(), "Finished search");
        QCOMPARE(column(files(), 3) + column(files(), 4),
                 (QStringList{"red.jpg", "blue.jpg", "1234", "99"}));
        QCOMPARE((QList<int>{state().progress().value, state().progress().maximum}),
                 (QList<int>{3, 3}));
        QVERIFY(!state().isRunActive());
        QCOMPARE(board().at(0).status, "Idle");
    }

    void abortEndsTheSearchAtOnce_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("asked"); // pages asked for before the abort
        for (int n = 20; n < 30; ++n)
            m_server.route(message(n), serve("x", Serve::Stall));
        m_server.route("/album/?id=9&pwd=x&agree_accept=Y", serve("x", Serve::Stall));
        // clang-format off
        QTest::newRow("group") << Mode::Yahoo << GroupBase << "20-29" << 3;
        QTest::newRow("album") << Mode::Zing << AlbumBase + "9" << "x" << 1;
        // clang-format on
    }
    void abortEndsTheSearchAtOnce()
    {
        QFETCH(Mode, mode);
        QFETCH(QString, url);
        QFETCH(QString, mask);
        QFETCH(int, asked);
        QSignalSpy finished(&session(), &RunSession::searchFinished);
        const qsizetype before = m_server.requestHeads().size();
        QVERIFY(!start(mode, url, mask, 3, {60000, 30000}));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.openConnections(), asked, 5000);
        state().AbortAll();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 3000); // at once, not after the timeout
        QCOMPARE(status(), "Search aborted");
        QTest::qWait(100);
        QCOMPARE(m_server.requestHeads().size() - before, asked); // no page after the abort
    }

    void failuresAreCounted_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("failed");
        QTest::addColumn<QStringList>("sizes"); // of page 60's three links, then page 61's
        QTest::addColumn<int>("timedOut");
        const QString refused = QStringLiteral("http://refused.example.test/group/cars");
        const int normal = int(Serve::Normal);
        // clang-format off
        QTest::newRow("404, its links still listed") << GroupBase << normal << 404 << "HTTP status 404" << 1 << QStringList{"", "", "5", "2"} << 1;
        QTest::newRow("refused") << refused << normal << 200 << "" << 2 << QStringList() << 0;
        QTest::newRow("stalled") << GroupBase << int(Serve::Stall) << 200 << "timed out" << 1 << QStringList{"2"} << 0;
        QTest::newRow("cut off") << GroupBase << int(Serve::EndlessBody) << 200 << "cut off at 16 MiB" << 1 << QStringList{"2"} << 0;
        // clang-format on
    }
    void failuresAreCounted()
    {
        QFETCH(QString, base);
        QFETCH(int, mode);
        QFETCH(int, code);
        QFETCH(QString, reason);
        QFETCH(int, failed);
        QFETCH(QStringList, sizes);
        Response page = serve(groupPage("A", "S", {"/sizes/gone", "/sizes/stall", "/sizes/ok"}),
                              Serve(mode), 0, 1 << 20);
        page.status = code;
        m_server.route(message(60), page);
        m_server.route(message(61), serve(groupPage("B", "T", {"/g/t.jpg"})));
        m_server.route("/g/t.jpg", serve("12"));
        Response gone = serve("gone");
        gone.status = 404; // its length is the error page's, not the file's
        m_server.route("/sizes/gone", gone);
        m_server.route("/sizes/stall", serve("x", Serve::Stall));
        m_server.route("/sizes/ok", serve("12345"));
        QSignalSpy pageFailed(&session(), &RunSession::pageFailed);
        QVERIFY(search(Mode::Yahoo, base, "60,61", 1, SearchTimeouts{400, 500}));
        const SearchReport &report = session().searchReport();
        QCOMPARE(report.pagesFailed, failed);
        QCOMPARE(pageFailed.size(), failed);
        QCOMPARE(status(), QStringList({"Finished search", "Finished search, 1 page failed: 60",
                                        "Finished search, 2 pages failed: 60-61"})
                               .at(failed));
        if (failed) {
            QCOMPARE(pageFailed.first().at(0).toString(), base + "/message/60");
            QVERIFY2(pageFailed.first().at(1).toString().contains(reason),
                     qPrintable(pageFailed.first().at(1).toString()));
        }
        QCOMPARE(column(files(), 4), sizes);
        QCOMPARE(report.sizesUnknown, qint64(sizes.count(QString())));
        QTEST(int(report.checksTimedOut), "timedOut");
    }

    void albumSearchSpreadsChecksOverSlots()
    {
        m_server.route(
            "/album/?id=7&pwd=a%20b%26c%23d&agree_accept=Y",
            serve("<script>var theUrls = new Array('http://www.zing.com/picture/p1',\n"
                  "'http://www.zing.com/picture/p2','http://www.zing.com/picture/p3',"
                  "'http://www.zing.com/picture/p4','http://www.zing.com/picture/p5');\nvar "
                  "imgCleanCaptions = new Array('One','Two','Bob\\'s','Four','Five');</script>"));
        for (int i = 1; i <= 5; ++i)
            m_server.route("/picture/p" + QByteArray::number(i) + ".orig.jpg",
                           serve(QByteArray(i * 100, 'p')));
        const SlotLog log(board());
        QVERIFY(search(Mode::Zing, AlbumBase + "7", "a b&c#d", 3));
        QCOMPARE(m_statuses.first(), "Getting album...");
        QCOMPARE(status(), "Finished search");
        QCOMPARE(column(files(), 0), (QStringList{"Bobs", "Five", "Four", "One", "Two"}));
        QCOMPARE(files().cell(3, 2), "http://www.zing.com/picture/p1.orig.jpg");
        QCOMPARE(files().cell(3, 1), "100");
        QCOMPARE((QList<int>{state().progress().value, state().progress().maximum}),
                 (QList<int>{5, 5}));
        QCOMPARE(log.taken.filter(":Verifying ").replaceInStrings(":Verifying ", ":").join(u' '),
                 "0:One 1:Two 2:Bobs 0:Four 1:Five");
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
