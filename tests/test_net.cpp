#include <QBuffer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "core/net/curlmulti.h"
#include "core/net/hostmapping.h"
#include "core/net/httpclient.h"
#include "core/net/tcpsocket.h"
#include "support/testfiles.h"
#include "support/testserver.h"

using Outcome = HttpClient::Outcome;
using Mode = TestServer::Mode;

namespace {

// Short, so that failure cases end quickly; still far above loopback latency.
constexpr int ShortTimeoutMs = 400;
// Upper bound for "the request ended"; never a timing expectation.
constexpr int EndBoundMs = 5000;

QList<int> statesOf(const QSignalSpy &spy)
{
    QList<int> states;
    for (const QList<QVariant> &arguments : spy)
        states.append(arguments.at(0).toInt());
    return states;
}

// One request's states: from 1 to a single final 0.
bool endsOnce(const QList<int> &states)
{
    return !states.isEmpty() && states.first() == 1 && states.last() == 0 && states.count(0) == 1;
}

TestServer::Response redirect(const QByteArray &location)
{
    TestServer::Response r = serve("moved");
    r.status = 302;
    r.reason = "Found";
    r.headers.append({"Location", location});
    return r;
}

// A test server and a client whose signals are recorded.
struct Rig
{
    TestServer server;
    bool listening = server.listen();
    HttpClient client;
    QSignalSpy states{&client, &HttpClient::stateChanged};
    QSignalSpy progress{&client, &HttpClient::progress};
    QBuffer sink;

    // How the request ended: "outcome status received/announced error".
    QString ending() const
    {
        static const char *const outcomes[] = {"None",         "Success", "HttpError",
                                               "NetworkError", "Timeout", "Aborted"};
        return QStringLiteral("%1 %2 %3/%4 %5")
            .arg(outcomes[int(client.outcome())])
            .arg(client.httpStatus())
            .arg(client.received())
            .arg(client.announcedSize())
            .arg(client.errorString())
            .trimmed();
    }
    QUrl url(const QString &path) const { return QUrl(server.baseUrl() + path); }
    // One request to its end, into the sink when asked.
    bool run(const QUrl &url, bool toSink = false)
    {
        client.get(url, toSink ? &sink : nullptr);
        return QTest::qWaitFor([this] { return client.state() == 0; }, 15000);
    }
    QList<int> seen() const { return statesOf(states); }
};

// A port nothing listens on.
quint16 closedPort()
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    return closed.serverPort();
}

} // namespace

class TestNet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Keeps the global cookie jar away from the user's real cookies.txt.
        QStandardPaths::setTestModeEnabled(true);
    }

    // The host matches case-insensitively and with its port; the first matching rule wins.
    void hostMapping_data()
    {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("from"); // host:port
        QTest::addColumn<QString>("to");   // "": some rule is refused

        // clang-format off
        const QStringList three{"Files.Example.TEST:80:127.0.0.1:1001", "files.example.test:80:127.0.0.2:1002",
                                "files.example.test:443:127.0.0.3:1003"};
        dataRow("first rule wins", three, "FILES.example.test:80", "127.0.0.1:1001");
        dataRow("port is matched", three, "files.example.test:443", "127.0.0.3:1003");
        dataRow("one bad rule in a list", QStringList{"one.test:80:127.0.0.1:1000", "broken"}, "one.test:80", "");
        for (const char *bad : {"a:0:b:80", "a:80:b:65536", "a:80:b", ":80:b:81", "a:80::81", "a:+80:b:81"})
            dataRow(bad, QStringList{bad}, "a:80", "");
        // clang-format on
    }

    void hostMapping()
    {
        QFETCH(QStringList, rules);
        QFETCH(QString, from);
        QFETCH(QString, to);

        HostMapping mapping;
        bool allAdded = true;
        for (const QString &rule : rules)
            allAdded = mapping.add(rule) && allAdded;
        QCOMPARE(allAdded, !to.isEmpty());
        const auto t = mapping.resolve(from.section(':', 0, 0), from.section(':', 1).toUShort());
        if (!to.isEmpty() || rules.size() == 1) // a refused rule maps nothing
            QCOMPARE(t.host + ':' + QString::number(t.port), to.isEmpty() ? from : to);
    }

    void httpBodyFraming_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("toSink");

        // clang-format off
        dataRow("content-length", int(Mode::Normal), 20000, 0, true, false);
        dataRow("no length, close", int(Mode::NoLength), 20000, 0, false, false);
        dataRow("chunked", int(Mode::Chunked), 20000, 0, false, false);
        dataRow("lower-case headers", int(Mode::LowerCaseHeaders), 20000, 0, true, false);
        dataRow("5 MiB into a sink", int(Mode::Normal), 5 << 20, 0, true, true);
        // Every piece arrives well within the inactivity timeout, the whole body well after it.
        dataRow("slow but steady", int(Mode::Slow), 16 * 4096, 40, true, true);
        // clang-format on
    }

    void httpBodyFraming()
    {
        QFETCH(int, mode);
        QFETCH(int, size);
        QFETCH(int, delayMs);
        QFETCH(bool, announced);
        QFETCH(bool, toSink);

        Rig rig;
        QVERIFY(rig.listening && rig.sink.open(QIODevice::WriteOnly));
        const QByteArray body = patternBody(size);
        rig.server.route("/file.bin?x=1", serve(body, Mode(mode), delayMs, 4096));
        rig.client.setInactivityTimeout(ShortTimeoutMs);
        rig.client.abort(); // nothing to abort: silent
        QVERIFY(rig.run(rig.url("/file.bin?x=1"), toSink));
        QCOMPARE(rig.client.url(), rig.url("/file.bin?x=1"));
        QCOMPARE(rig.seen(), (QList<int>{1, 2, 3, 4, 5, 7, 9, 13, 0}));
        QCOMPARE(rig.ending(),
                 QStringLiteral("Success 200 %1/%2").arg(size).arg(announced ? size : -1));
        QVERIFY((toSink ? rig.sink.data() : rig.client.body()) == body);
        QVERIFY(!toSink || rig.client.body().isEmpty());
        QCOMPARE(rig.progress.last(),
                 (QList<QVariant>{qint64(size), announced ? qint64(size) : 0}));
        for (qsizetype i = 1; i < rig.progress.size(); ++i) // counts only grow
            QVERIFY(rig.progress[i].at(0).toLongLong() >= rig.progress[i - 1].at(0).toLongLong());
        const QByteArray head = rig.server.lastRequestHead();
        QVERIFY2(head.startsWith("GET /file.bin?x=1 HTTP/1.1\r\n"), head.constData());
        QVERIFY(head.contains(
            "\r\nUser-Agent: Mozilla/5.0 (compatible; TrawlBay/1.0)\r\nAccept: */*\r\n"));
        QCOMPARE(rig.server.lastHostHeader(), "127.0.0.1:" + QByteArray::number(rig.server.port()));
    }

    void httpFailures_data()
    {
        QTest::addColumn<int>("mode"); // -1: nothing listens, -2: a sink that refuses writes
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("ending"); // a pattern; every failure has its error text

        // clang-format off
        dataRow("404", int(Mode::Normal), 404, "HttpError 404 204800/-1 HTTP 404 Failed");
        dataRow("stall before answer", int(Mode::Stall), 200, "Timeout 0 0/-1 No data for 0.4 s");
        dataRow("stall after headers", int(Mode::StallAfterHeaders), 200, "Timeout 200 102400/204800 No data for 0.4 s");
        dataRow("reset mid body", int(Mode::ResetMidBody), 200, "NetworkError 200 \\d+/204800 .+");
        dataRow("shorter than announced", int(Mode::WrongLength), 200, "NetworkError 200 204800/209800 .+");
        dataRow("connection refused", -1, 200, "NetworkError 0 0/-1 .+");
        dataRow("sink refuses writes", -2, 200, "NetworkError 200 0/204800 write failed");
        // clang-format on
    }

    void httpFailures()
    {
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QString, ending);

        Rig rig;
        QVERIFY(rig.listening &&
                rig.sink.open(mode == -2 ? QIODevice::ReadOnly : QIODevice::WriteOnly));
        TestServer::Response r =
            serve(patternBody(200 * 1024), mode < 0 ? Mode::Normal : Mode(mode));
        r.status = status;
        r.reason = status == 200 ? "OK" : "Failed";
        r.announcedLength = r.body.size() + 5000; // for WrongLength
        rig.server.route("/fail", r);
        rig.client.setInactivityTimeout(ShortTimeoutMs);
        if (mode == -2)
            QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        QVERIFY(rig.run(QUrl(mode == -1 ? QStringLiteral("http://127.0.0.1:%1/").arg(closedPort())
                                        : rig.url("/fail")),
                        true));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(ending))
                     .match(rig.ending())
                     .hasMatch(),
                 qPrintable(rig.ending()));
        const QList<int> seen = rig.seen();
        QVERIFY(endsOnce(seen) && !seen.contains(13));
        // An error page never lands in the download, and only a bounded part of it is kept.
        if (status != 200) {
            QVERIFY(rig.sink.data().isEmpty());
            const QByteArray kept = rig.client.body();
            QVERIFY(!kept.isEmpty() && kept.size() <= 64 * 1024 && r.body.startsWith(kept));
        }
        if (ending.startsWith("Timeout 200")) { // the timer that ended it fires no more
            QTest::qWait(ShortTimeoutMs + 100);
            QCOMPARE(rig.seen(), seen);
        }
    }

    void httpWireFraming_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("body"); // empty: refused

        const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
        const QByteArray gzip(
            "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00", 20);
        // clang-format off
        dataRow("gzip stored as served", ok + "Content-Encoding: gzip\r\nContent-Length: 20\r\n\r\n" + gzip, gzip);
        dataRow("the same length twice", ok + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nhello", QByteArray("hello"));
        dataRow("length of 5000 digits", ok + "Content-Length: " + QByteArray(5000, '9') + "\r\n\r\n", QByteArray());
        dataRow("length abc", ok + "Content-Length: abc\r\n\r\nhello", QByteArray());
        dataRow("two lengths", ok + "Content-Length: 5\r\nContent-Length: 3\r\n\r\nhello", QByteArray());
        dataRow("body longer than length", ok + "Content-Length: 5\r\n\r\nhello and more", QByteArray());
        dataRow("redirect to file:", QByteArray("HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n"), QByteArray());
        // clang-format on
    }

    void httpWireFraming()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, body);

        Rig rig;
        QVERIFY(rig.listening && rig.sink.open(QIODevice::WriteOnly));
        rig.server.route("/f", serve(wire, Mode::Raw));
        QVERIFY(rig.run(rig.url("/f"), true));
        QVERIFY2((rig.client.outcome() == Outcome::Success) == !body.isEmpty(),
                 qPrintable(rig.client.errorString()));
        QVERIFY(body.isEmpty() ? !rig.client.errorString().isEmpty() : rig.sink.data() == body);
    }

    // Through a mapped host name the Host header keeps the name, across redirects too;
    // cookies, loaded or set, belong to the name, never the address.
    void httpMappedHost()
    {
        Rig rig;
        QVERIFY(rig.listening &&
                HostMapping::global().add(
                    QStringLiteral("files.example.test:80:127.0.0.1:%1").arg(rig.server.port())));
        QTemporaryDir dir;
        const QString cookies = dir.filePath(QStringLiteral("cookies.txt"));
        QVERIFY(writeFile(cookies, "files.example.test\tFALSE\t/\tFALSE\t0\tsid\tabc\n"));
        QVERIFY(CurlMulti::instance().loadCookieFile(cookies));
        QVERIFY(!CurlMulti::instance().loadCookieFile(dir.path()));
        TestServer::Response first = redirect("http://files.example.test/r2");
        first.headers.append({QByteArray("Set-Cookie"), QByteArray("session=xyz; Path=/")});
        rig.server.route("/r1", first);
        rig.server.route("/r2", redirect("/final?x=1"));
        rig.server.route("/final?x=1", serve("arrived"));
        const QUrl url(QStringLiteral("http://files.example.test/r1"));
        QVERIFY(rig.run(url));
        QCOMPARE(rig.ending(), "Success 200 7/7");
        QCOMPARE(rig.client.body(), QByteArray("arrived"));
        QCOMPARE(rig.client.url(), url);
        QCOMPARE(rig.server.requestHeads().size(), 3);
        for (const QByteArray &head : rig.server.requestHeads())
            QVERIFY2(head.contains("\r\nHost: files.example.test\r\n"), head.constData());
        const QByteArray last = rig.server.lastRequestHead();
        QVERIFY2(last.contains("sid=abc") && last.contains("session=xyz"), last.constData());
        QVERIFY(endsOnce(rig.seen()) && rig.seen().count(13) == 1);
        QVERIFY(rig.run(rig.url("/final?x=1")));
        QVERIFY(!rig.server.lastRequestHead().contains("Cookie"));
    }

    void httpRedirects_data()
    {
        QTest::addColumn<int>("hops");
        dataRow("ten redirects", 10);
        dataRow("eleven redirects", 11);
    }

    void httpRedirects()
    {
        QFETCH(int, hops);
        const bool ok = hops <= 10;

        Rig rig;
        QVERIFY(rig.listening && rig.sink.open(QIODevice::WriteOnly));
        for (int i = 0; i < hops; ++i)
            rig.server.route("/" + QByteArray::number(i),
                             redirect(i + 1 == hops ? "/end" : "/" + QByteArray::number(i + 1)));
        rig.server.route("/end", serve("end"));
        QVERIFY(rig.run(rig.url("/0"), true));
        QCOMPARE(rig.client.outcome(), ok ? Outcome::Success : Outcome::NetworkError);
        QVERIFY(endsOnce(rig.seen()));
        QCOMPARE(rig.server.requestCount("/end"), ok ? 1 : 0);
        // The redirects' own bodies stay out of the sink and out of the count.
        QCOMPARE(rig.sink.data(), ok ? QByteArray("end") : QByteArray());
        QVERIFY(rig.client.body().isEmpty());
        QVERIFY(!ok || rig.progress.last().at(0).toLongLong() == 3);
    }

    // Aborted mid-body: synchronous, nothing after, the connection goes. Deleted: the same.
    void httpStopMidTransfer()
    {
        Rig rig;
        QVERIFY(rig.listening);
        rig.server.route("/endless", serve(QByteArray(), Mode::EndlessBody, 5));
        rig.client.get(rig.url("/endless"));
        QVERIFY(rig.progress.wait(EndBoundMs));
        const qsizetype before = rig.states.size();
        rig.client.abort();
        QCOMPARE(rig.client.state(), 0);
        QCOMPARE(rig.seen().mid(before), QList<int>{0});
        QVERIFY2(rig.ending().startsWith("Aborted 200 ") && rig.ending().endsWith("/-1 Aborted"),
                 qPrintable(rig.ending()));
        QVERIFY(!rig.client.body().isEmpty()); // what arrived stays readable
        const qsizetype signalCount = rig.states.size() + rig.progress.size();
        auto other = std::make_unique<HttpClient>();
        QSignalSpy otherProgress(other.get(), &HttpClient::progress);
        other->get(rig.url("/endless"));
        QVERIFY(otherProgress.wait(EndBoundMs));
        other.reset();
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.openConnections(), 0, EndBoundMs);
        QCOMPARE(rig.states.size() + rig.progress.size(), signalCount);
    }

    // Nothing listens: one error, then closed, so a size check ends at once.
    void tcpConnectionRefused()
    {
        TcpSocket socket;
        QSignalSpy states(&socket, &TcpSocket::stateChanged);
        QSignalSpy errors(&socket, &TcpSocket::error);
        socket.connectToHost(QStringLiteral("127.0.0.1"), closedPort());
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), 0, EndBoundMs);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().at(0).toInt(), int(QAbstractSocket::ConnectionRefusedError));
        QVERIFY(!errors.first().at(1).toString().isEmpty());
        QCOMPARE(statesOf(states), (QList<int>{1, 0}));
    }
};

QTEST_GUILESS_MAIN(TestNet)
#include "test_net.moc"
