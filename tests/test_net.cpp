#include <QBuffer>
#include <QDir>
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

    // Rules given one by one or in TRAWLBAY_CONNECT_TO (comma-separated) map the same way.
    void hostMapping_data()
    {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("from"); // host:port
        QTest::addColumn<QString>("to");   // "": some rule is refused

        // clang-format off
        // Case-insensitive host, the port part of the match, the first matching rule wins.
        const QStringList three{"Files.Example.TEST:80:127.0.0.1:1001", "files.example.test:80:127.0.0.2:1002",
                                "files.example.test:443:127.0.0.3:1003"};
        dataRow("plain", QStringList{"files.example.test:80:127.0.0.1:8080"}, "files.example.test:80", "127.0.0.1:8080");
        dataRow("extreme ports", QStringList{"a:1:b:65535"}, "a:1", "b:65535");
        dataRow("first rule wins", three, "FILES.example.test:80", "127.0.0.1:1001");
        dataRow("port is matched", three, "files.example.test:443", "127.0.0.3:1003");
        dataRow("other port", three, "files.example.test:8080", "files.example.test:8080");
        dataRow("host containing the rule's", three, "sub.files.example.test:80", "sub.files.example.test:80");
        dataRow("one bad rule in a list", QStringList{"one.test:80:127.0.0.1:1000", "broken"}, "one.test:80", "");
        for (const char *bad : {"a:0:b:80", "a:80:b:65536", "a:80:b", "a:80:b:81:82", ":80:b:81", "a:80::81", "a:http:b:81",
                                "a:+80:b:81", "a:80:b:-1"})
            dataRow(bad, QStringList{bad}, "a:80", "");
        // clang-format on
    }

    void hostMapping()
    {
        QFETCH(QStringList, rules);
        QFETCH(QString, from);
        QFETCH(QString, to);

        const auto resolved = [&from](const HostMapping &mapping) {
            const auto t =
                mapping.resolve(from.section(':', 0, 0), quint16(from.section(':', 1).toUInt()));
            return t.host + ':' + QString::number(t.port);
        };
        HostMapping added;
        bool allAdded = true;
        for (const QString &rule : rules)
            allAdded = added.add(rule) && allAdded;
        QCOMPARE(allAdded, !to.isEmpty());
        if (!to.isEmpty())
            QCOMPARE(resolved(added), to);
        else if (rules.size() == 1) // a refused rule maps nothing
            QCOMPARE(resolved(added), from);

        const QByteArray saved = qgetenv("TRAWLBAY_CONNECT_TO");
        qputenv("TRAWLBAY_CONNECT_TO", rules.join(", ").toUtf8());
        HostMapping fromEnvironment;
        QCOMPARE(fromEnvironment.addFromEnvironment(), !to.isEmpty());
        QVERIFY(to.isEmpty() || resolved(fromEnvironment) == to);
        // Empty or unset: nothing mapped, and no error.
        qputenv("TRAWLBAY_CONNECT_TO", "");
        HostMapping none;
        QVERIFY(none.addFromEnvironment() && none.isEmpty());
        qunsetenv("TRAWLBAY_CONNECT_TO");
        QVERIFY(none.addFromEnvironment() && none.isEmpty());
        if (!saved.isNull())
            qputenv("TRAWLBAY_CONNECT_TO", saved);
    }

    void cookieSentAndStoredThroughClient()
    {
        Rig rig;
        QVERIFY(rig.listening);
        QVERIFY(HostMapping::global().add(
            QStringLiteral("cookie.example.test:80:127.0.0.1:%1").arg(rig.server.port())));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cookies.txt"));
        QVERIFY(writeFile(path, "# Netscape HTTP Cookie File\n"
                                "cookie.example.test\tFALSE\t/\tFALSE\t0\tsid\tabc\n"
                                "#HttpOnly_.example.test\tTRUE\t/\tFALSE\t0\tsecret\tthree\n"
                                "elsewhere.test\tFALSE\t/\tFALSE\t0\tforeign\tno\n"));
        QVERIFY(CurlMulti::instance().loadCookieFile(path));
        QVERIFY(!CurlMulti::instance().loadCookieFile(dir.filePath(QStringLiteral("missing.txt"))));
        QVERIFY(!CurlMulti::instance().loadCookieFile(dir.path()));
        TestServer::Response login = serve("welcome");
        login.headers.append({QByteArray("Set-Cookie"), QByteArray("session=xyz; Path=/")});
        rig.server.route("/login", login);
        rig.server.route("/next", serve("next page"));

        const auto sent = [&rig](const QString &url) {
            if (!rig.run(QUrl(url)) || rig.client.outcome() != Outcome::Success)
                return QList<QByteArray>{"failed"};
            const QByteArray head = rig.server.lastRequestHead();
            const qsizetype at = head.indexOf("\r\nCookie: ") + 10;
            QList<QByteArray> parts = at < 10
                                          ? QList<QByteArray>()
                                          : head.mid(at, head.indexOf('\r', at) - at).split(';');
            for (QByteArray &part : parts)
                part = part.trimmed();
            std::sort(parts.begin(), parts.end());
            return parts;
        };
        QCOMPARE(sent("http://cookie.example.test/login"),
                 (QList<QByteArray>{"secret=three", "sid=abc"}));
        // The cookie set by the response belongs to the real host, not the mapped address.
        QCOMPARE(sent("http://cookie.example.test/next"),
                 (QList<QByteArray>{"secret=three", "session=xyz", "sid=abc"}));
        // The address the connection went to never gets the host's cookies.
        QCOMPARE(sent(rig.server.baseUrl() + "/next"), QList<QByteArray>());
    }

    void httpGetStatesProgressAndHeaders()
    {
        Rig rig;
        QVERIFY(rig.listening);
        const QByteArray body = patternBody(3000);
        rig.server.route("/file.bin?x=1", serve(body));
        rig.client.abort(); // nothing to abort: silent
        QCOMPARE(rig.states.size(), 0);
        QCOMPARE(rig.client.outcome(), Outcome::None);
        QVERIFY(rig.run(rig.url("/file.bin?x=1")));
        QCOMPARE(rig.client.url(), rig.url("/file.bin?x=1"));
        QCOMPARE(rig.seen(), (QList<int>{1, 2, 3, 4, 5, 7, 9, 13, 0}));
        QCOMPARE(rig.ending(), "Success 200 3000/3000");
        QCOMPARE(rig.client.body(), body);
        QCOMPARE(rig.progress.last(), (QList<QVariant>{qint64(3000), qint64(3000)}));

        const QByteArray head = rig.server.lastRequestHead();
        QVERIFY2(head.startsWith("GET /file.bin?x=1 HTTP/1.1\r\n"), head.constData());
        QVERIFY(head.contains("\r\nUser-Agent: Mozilla/5.0 (compatible; TrawlBay/1.0)\r\n"));
        QVERIFY(head.contains("\r\nAccept: */*\r\n"));
        QCOMPARE(rig.server.lastHostHeader(), "127.0.0.1:" + QByteArray::number(rig.server.port()));
        QTest::qWait(100); // no signal after the final 0
        QCOMPARE(rig.states.size(), 9);
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
        dataRow("head in pieces", int(Mode::SplitHead), 20000, 3, true, false);
        dataRow("lower-case headers", int(Mode::LowerCaseHeaders), 20000, 0, true, false);
        dataRow("5 MiB into a sink", int(Mode::Normal), 5 << 20, 0, true, true);
        // Every piece arrives well within the inactivity timeout, the whole body well after it.
        dataRow("slow but steady", int(Mode::Slow), 20 * 4096, 50, true, true);
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
        rig.server.route("/body", serve(body, Mode(mode), delayMs, 4096));
        rig.client.setInactivityTimeout(600);
        QVERIFY(rig.run(rig.url("/body"), toSink));
        QCOMPARE(rig.ending(),
                 QStringLiteral("Success 200 %1/%2").arg(size).arg(announced ? size : -1));
        QVERIFY((toSink ? rig.sink.data() : rig.client.body()) == body);
        QVERIFY(!toSink || rig.client.body().isEmpty());
        QCOMPARE(rig.progress.last(),
                 (QList<QVariant>{qint64(size), announced ? qint64(size) : 0}));
        for (qsizetype i = 1; i < rig.progress.size(); ++i) // counts only grow
            QVERIFY(rig.progress[i].at(0).toLongLong() >= rig.progress[i - 1].at(0).toLongLong());
        QVERIFY(endsOnce(rig.seen()));
        QVERIFY(rig.seen().indexOf(9) >= 0 && rig.seen().indexOf(9) < rig.seen().indexOf(13));
    }

    void httpFailures_data()
    {
        QTest::addColumn<int>("mode"); // -1: nothing listens, -2: a sink that refuses writes
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("ending"); // a pattern; every failure has its error text

        // clang-format off
        dataRow("404", int(Mode::Normal), 404, "HttpError 404 204800/-1 HTTP 404 Failed");
        dataRow("500", int(Mode::Normal), 500, "HttpError 500 204800/-1 HTTP 500 Failed");
        dataRow("stall before answer", int(Mode::Stall), 200, "Timeout 0 0/-1 No data for 0.4 s");
        dataRow("stall after headers", int(Mode::StallAfterHeaders), 200, "Timeout 200 102400/204800 No data for 0.4 s");
        dataRow("reset mid body", int(Mode::ResetMidBody), 200, "NetworkError 200 \\d+/204800 .+");
        dataRow("shorter than announced", int(Mode::WrongLength), 200, "NetworkError 200 204800/209800 .+");
        dataRow("garbage", int(Mode::Garbage), 200, "NetworkError 0 0/-1 .+");
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
        QTest::qWait(ShortTimeoutMs + 100); // nothing more arrives once the request has ended
        QCOMPARE(rig.seen(), seen);
    }

    void httpWireFraming_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("body"); // empty: refused

        const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
        const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray gzip(
            "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00", 20);
        // clang-format off
        dataRow("gzip stored as served", ok + "Content-Encoding: gzip\r\nContent-Length: 20\r\n\r\n" + gzip, gzip);
        dataRow("the same length twice", ok + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nhello", QByteArray("hello"));
        dataRow("chunk size zz", chunked + "zz\r\nhello\r\n0\r\n\r\n", QByteArray());
        dataRow("chunk size -5", chunked + "-5\r\nhello\r\n0\r\n\r\n", QByteArray());
        dataRow("chunk size huge", chunked + "fffffffffffffffffffff\r\nhello\r\n0\r\n\r\n", QByteArray());
        dataRow("chunked without its end", chunked + "5\r\nhello\r\n", QByteArray());
        dataRow("length of 5000 digits", ok + "Content-Length: " + QByteArray(5000, '9') + "\r\n\r\n", QByteArray());
        dataRow("length -5", ok + "Content-Length: -5\r\n\r\nhello", QByteArray());
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

    void httpSixteenAtOnceOnOneThread()
    {
        TestServer server;
        QVERIFY(server.listen());
        server.route("/s", serve(patternBody(4000), Mode::Slow, 30));
        const auto threads = [] {
            return QDir(QStringLiteral("/proc/self/task")).count();
        };
        const uint before = threads();
        std::vector<std::unique_ptr<HttpClient>> clients;
        for (int i = 0; i < 16; ++i) {
            clients.push_back(std::make_unique<HttpClient>());
            clients.back()->get(QUrl(server.baseUrl() + QStringLiteral("/s")));
        }
        // All sixteen talk to the one host at the same time, from this thread alone.
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 16, EndBoundMs);
        QCOMPARE(threads(), before);
        for (const auto &client : clients) {
            QTRY_COMPARE_WITH_TIMEOUT(client->state(), 0, EndBoundMs);
            QCOMPARE(client->outcome(), Outcome::Success);
        }
    }

    // Through a mapped host name the Host header keeps the name (and a port other than 80),
    // across redirects too.
    void httpHostMappingKeepsHostHeader()
    {
        Rig rig;
        QVERIFY(rig.listening);
        for (const int port : {80, 8080})
            QVERIFY(HostMapping::global().add(QStringLiteral("files.example.test:%1:127.0.0.1:%2")
                                                  .arg(port)
                                                  .arg(rig.server.port())));
        rig.server.route("/r1", redirect("http://files.example.test/r2"));
        rig.server.route("/r2", redirect("/final?x=1"));
        rig.server.route("/final?x=1", serve("arrived"));
        const QUrl url(QStringLiteral("http://files.example.test/r1"));
        QVERIFY(rig.run(url));
        QCOMPARE(rig.client.outcome(), Outcome::Success);
        QCOMPARE(rig.client.body(), QByteArray("arrived"));
        QCOMPARE(rig.client.received(), qint64(7));
        QCOMPARE(rig.client.url(), url);
        QCOMPARE(rig.server.requestHeads().size(), 3);
        for (const QByteArray &head : rig.server.requestHeads())
            QVERIFY2(head.contains("\r\nHost: files.example.test\r\n"), head.constData());
        QVERIFY(endsOnce(rig.seen()) && rig.seen().count(13) == 1);
        QVERIFY(rig.run(QUrl(QStringLiteral("http://files.example.test:8080/final?x=1"))));
        QCOMPARE(rig.client.body(), QByteArray("arrived"));
        QCOMPARE(rig.server.lastHostHeader(), QByteArray("files.example.test:8080"));
    }

    void httpRedirects_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<QByteArray>("lastLocation");
        QTest::addColumn<bool>("ok");

        dataRow("one redirect", 1, QByteArray("/end"), true);
        dataRow("ten redirects", 10, QByteArray("/end"), true);
        dataRow("eleven redirects", 11, QByteArray("/end"), false);
        dataRow("to ftp", 1, QByteArray("ftp://127.0.0.1/end"), false);
    }

    void httpRedirects()
    {
        QFETCH(int, hops);
        QFETCH(QByteArray, lastLocation);
        QFETCH(bool, ok);

        Rig rig;
        QVERIFY(rig.listening && rig.sink.open(QIODevice::WriteOnly));
        for (int i = 0; i < hops; ++i)
            rig.server.route(
                "/" + QByteArray::number(i),
                redirect(i + 1 == hops ? lastLocation : "/" + QByteArray::number(i + 1)));
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

    // Aborting or deleting the client mid-body: no signal after, and the connection goes.
    void httpStopMidTransfer_data()
    {
        QTest::addColumn<bool>("destroy");
        dataRow("abort", false);
        dataRow("destroy", true);
    }

    void httpStopMidTransfer()
    {
        QFETCH(bool, destroy);

        TestServer server;
        QVERIFY(server.listen());
        server.route("/endless", serve(QByteArray(), Mode::EndlessBody, 5));
        auto *client = new HttpClient;
        QList<int> states;
        QObject watcher;
        connect(client, &HttpClient::stateChanged, &watcher,
                [&states](int state) { states.append(state); });
        QSignalSpy progress(client, &HttpClient::progress);
        client->get(QUrl(server.baseUrl() + QStringLiteral("/endless")));
        QVERIFY(progress.wait(EndBoundMs));
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 1, EndBoundMs);
        const qsizetype before = states.size();
        if (destroy) {
            delete client;
            QCOMPARE(states.size(), before);
        } else {
            client->abort();
            // Synchronous: the state and its signal are there when abort() returns.
            QCOMPARE(client->state(), 0);
            QCOMPARE(states.mid(before), QList<int>{0});
            QCOMPARE(client->outcome(), Outcome::Aborted);
            QCOMPARE(client->errorString(), QStringLiteral("Aborted"));
            QVERIFY(!client->body().isEmpty()); // what arrived stays readable
        }
        const qsizetype signalCount = states.size() + progress.size();
        QTest::qWait(300);
        QCOMPARE(states.size() + progress.size(), signalCount);
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, EndBoundMs);
        if (!destroy)
            delete client;
    }

    void httpGetWhileRunningAbortsFirst()
    {
        Rig rig;
        QVERIFY(rig.listening);
        rig.server.route("/stall", serve("never", Mode::Stall));
        rig.server.route("/ok", serve("second"));
        rig.client.get(rig.url("/stall"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.requestCount("/stall"), 1, EndBoundMs);
        QVERIFY(rig.run(rig.url("/ok")));
        QCOMPARE(rig.client.outcome(), Outcome::Success);
        QCOMPARE(rig.client.body(), QByteArray("second"));
        // The first request ended (0) before the second began (1).
        const QList<int> seen = rig.seen();
        QCOMPARE(seen.count(0), 2);
        QCOMPARE(seen.count(1), 2);
        QVERIFY(seen.indexOf(0) < seen.lastIndexOf(1));
        QCOMPARE(seen.last(), 0);
    }

    void httpNextRequestFromIdleSignal()
    {
        Rig rig;
        QVERIFY(rig.listening);
        rig.server.route("/one", serve("1"));
        rig.server.route("/two", serve("22"));
        rig.server.route("/three", serve("333"));
        QStringList queue = {QStringLiteral("/two"), QStringLiteral("/three")};
        QByteArray bodies;
        connect(&rig.client, &HttpClient::stateChanged, &rig.client, [&](int state) {
            if (state != 0)
                return;
            bodies += rig.client.body() + '|';
            if (!queue.isEmpty())
                rig.client.get(rig.url(queue.takeFirst()));
        });
        rig.client.get(rig.url("/one"));
        QTRY_COMPARE_WITH_TIMEOUT(bodies, QByteArray("1|22|333|"), EndBoundMs);
        QCOMPARE(rig.client.outcome(), Outcome::Success);
        QCOMPARE(rig.server.openConnections(), 1); // one connection serves them all
    }

    void tcpConnectionRefused()
    {
        TcpSocket socket;
        QSignalSpy states(&socket, &TcpSocket::stateChanged);
        QSignalSpy errors(&socket, &TcpSocket::error);
        socket.connectToHost(QStringLiteral("127.0.0.1"), closedPort());
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, EndBoundMs);
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), 0, EndBoundMs);
        QCOMPARE(errors.first().at(0).toInt(), int(QAbstractSocket::ConnectionRefusedError));
        QVERIFY(!errors.first().at(1).toString().isEmpty());
        QCOMPARE(statesOf(states), (QList<int>{1, 0}));
    }

    // A connection ends when the server closes it, when the client closes it (twice changes
    // nothing) or deletes the socket, which then sends no signal; never with an error.
    void tcpConnectionEnds_data()
    {
        QTest::addColumn<int>("by"); // 0: the server, 1: close(), 2: delete
        QTest::addColumn<QList<int>>("states");
        dataRow("server closes", 0, QList<int>{1, 2, 0});
        dataRow("client closes", 1, QList<int>{1, 2, 0});
        dataRow("client deleted", 2, QList<int>{1, 2});
    }

    void tcpConnectionEnds()
    {
        QFETCH(int, by);
        QFETCH(QList<int>, states);

        TestServer server;
        QVERIFY(server.listen());
        server.route("/x.zip", serve(patternBody(1234), by ? Mode::Stall : Mode::SplitHead, 5));
        auto socket = std::make_unique<TcpSocket>();
        QList<int> seen;
        QByteArray answer;
        QObject watcher;
        connect(socket.get(), &TcpSocket::stateChanged, &watcher, [&](int state) {
            seen.append(state);
            if (state == 2)
                socket->send("HEAD /x.zip HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
        });
        connect(socket.get(), &TcpSocket::received, &watcher, [&] { answer += socket->receive(); });
        QSignalSpy errors(socket.get(), &TcpSocket::error);
        socket->connectToHost(QStringLiteral("127.0.0.1"), server.port());
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/x.zip"), 1, EndBoundMs);
        if (by == 0) {
            QTRY_COMPARE_WITH_TIMEOUT(socket->state(), 0, EndBoundMs);
            // The head arrived in pieces, whole; a HEAD answer has no body.
            QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n") && answer.endsWith("\r\n\r\n"),
                     answer.constData());
            QVERIFY(answer.contains("\r\nContent-Length: 1234\r\n"));
        } else if (by == 1) {
            socket->close();
            QCOMPARE(socket->state(), 0);
            socket->close();
        } else {
            QVERIFY(errors.isEmpty());
            socket.reset();
        }
        QCOMPARE(seen, states);
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, EndBoundMs);
        QVERIFY(errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNet)
#include "test_net.moc"
