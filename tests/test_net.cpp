#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
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

TestServer::Response redirect(int status, const QByteArray &location)
{
    TestServer::Response r;
    r.status = status;
    r.reason = status == 301 ? "Moved Permanently" : "Found";
    r.headers.append({"Location", location});
    r.body = "moved";
    return r;
}

QSet<QByteArray> cookieSet(const QByteArray &header)
{
    QSet<QByteArray> set;
    if (header.isEmpty())
        return set;
    const QList<QByteArray> parts = header.split(';');
    for (const QByteArray &part : parts)
        set.insert(part.trimmed());
    return set;
}

} // namespace

class TestNet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    // Host mapping
    void hostMappingRules_data();
    void hostMappingRules();
    void hostMappingResolve();
    void hostMappingEnvironment();

    // Cookies
    void cookieSentAndStoredThroughClient();

    // HTTP client against the test server
    void httpGetStatesProgressAndHeaders();
    void httpBodyFraming_data();
    void httpBodyFraming();
    void httpFailures_data();
    void httpFailures();
    void httpWireFraming_data();
    void httpWireFraming();
    void httpSixteenAtOnceOnOneThread();
    void httpConnectionRefused();
    void httpRedirectChainThroughMapping();
    void httpRedirectBodiesStayOutOfSink();
    void httpRedirectLimits_data();
    void httpRedirectLimits();
    void httpAbortMidTransfer();
    void httpAbortWhenIdleIsSilent();
    void httpGetWhileRunningAbortsFirst();
    void httpNextRequestFromIdleSignal();
    void httpSinkStreamsLargeBody();
    void httpSinkWriteFailure();
    void httpErrorPageStaysOutOfSink();
    void httpClientDestroyedWhileRunning();
    void httpHostMappingKeepsHostHeader();
    void httpKeepAliveReusesConnection();

    // TCP socket against the test server
    void tcpHeadRequestThroughMapping();
    void tcpConnectionRefused();
    void tcpCloseByClient();
    void tcpDestroyedWhileConnectedIsSilent();
};

void TestNet::initTestCase()
{
    // Keeps the global cookie jar away from the user's real cookies.txt.
    QStandardPaths::setTestModeEnabled(true);
}

// ---- Host mapping ----

void TestNet::hostMappingRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("targetHost");
    QTest::addColumn<int>("targetPort");

    QTest::newRow("plain") << "files.example.test:80:127.0.0.1:8080" << true << "files.example.test"
                           << 80 << "127.0.0.1" << 8080;
    QTest::newRow("extreme ports") << "a:1:b:65535" << true << "a" << 1 << "b" << 65535;
    QTest::newRow("port zero") << "a:0:b:80" << false << "a" << 0 << "" << 0;
    QTest::newRow("port too big") << "a:80:b:65536" << false << "a" << 80 << "" << 0;
    QTest::newRow("three parts") << "a:80:b" << false << "a" << 80 << "" << 0;
    QTest::newRow("five parts") << "a:80:b:81:82" << false << "a" << 80 << "" << 0;
    QTest::newRow("empty host") << ":80:b:81" << false << "" << 80 << "" << 0;
    QTest::newRow("empty target") << "a:80::81" << false << "a" << 80 << "" << 0;
    QTest::newRow("letters in port") << "a:http:b:81" << false << "a" << 80 << "" << 0;
    QTest::newRow("signed port") << "a:+80:b:81" << false << "a" << 80 << "" << 0;
    QTest::newRow("negative port") << "a:80:b:-1" << false << "a" << 80 << "" << 0;
    QTest::newRow("empty") << "" << false << "" << 0 << "" << 0;
}

void TestNet::hostMappingRules()
{
    QFETCH(QString, rule);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, targetHost);
    QFETCH(int, targetPort);

    HostMapping mapping;
    QCOMPARE(mapping.add(rule), valid);
    QCOMPARE(mapping.isEmpty(), !valid);
    const HostMapping::Target target = mapping.resolve(host, quint16(port));
    if (valid) {
        QCOMPARE(target.host, targetHost);
        QCOMPARE(int(target.port), targetPort);
    } else {
        QCOMPARE(target.host, host);
        QCOMPARE(int(target.port), port);
    }
}

void TestNet::hostMappingResolve()
{
    HostMapping mapping;
    QVERIFY(mapping.add(QStringLiteral("Files.Example.TEST:80:127.0.0.1:1001")));
    QVERIFY(mapping.add(QStringLiteral("files.example.test:80:127.0.0.2:1002")));
    QVERIFY(mapping.add(QStringLiteral("files.example.test:443:127.0.0.3:1003")));

    // Case-insensitive host; the first matching rule wins.
    HostMapping::Target target = mapping.resolve(QStringLiteral("FILES.example.test"), 80);
    QCOMPARE(target.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(target.port, quint16(1001));
    // The port is part of the match.
    target = mapping.resolve(QStringLiteral("files.example.test"), 443);
    QCOMPARE(target.host, QStringLiteral("127.0.0.3"));
    QCOMPARE(target.port, quint16(1003));
    target = mapping.resolve(QStringLiteral("files.example.test"), 8080);
    QCOMPARE(target.host, QStringLiteral("files.example.test"));
    QCOMPARE(target.port, quint16(8080));
    // Other hosts, including ones that merely contain the rule's host, pass unchanged.
    target = mapping.resolve(QStringLiteral("sub.files.example.test"), 80);
    QCOMPARE(target.host, QStringLiteral("sub.files.example.test"));
    QCOMPARE(target.port, quint16(80));
}

void TestNet::hostMappingEnvironment()
{
    const QByteArray name = "TRAWLBAY_CONNECT_TO";
    const QByteArray saved = qgetenv(name.constData());
    const bool wasSet = qEnvironmentVariableIsSet(name.constData());

    qunsetenv(name.constData());
    {
        HostMapping mapping;
        QVERIFY(mapping.addFromEnvironment());
        QVERIFY(mapping.isEmpty());
    }
    qputenv(name.constData(), "");
    {
        HostMapping mapping;
        QVERIFY(mapping.addFromEnvironment());
        QVERIFY(mapping.isEmpty());
    }
    qputenv(name.constData(), "one.test:80:127.0.0.1:1000, two.test:81:127.0.0.2:1001");
    {
        HostMapping mapping;
        QVERIFY(mapping.addFromEnvironment());
        QCOMPARE(mapping.resolve(QStringLiteral("one.test"), 80).port, quint16(1000));
        const HostMapping::Target two = mapping.resolve(QStringLiteral("TWO.test"), 81);
        QCOMPARE(two.host, QStringLiteral("127.0.0.2"));
        QCOMPARE(two.port, quint16(1001));
    }
    qputenv(name.constData(), "one.test:80:127.0.0.1:1000,broken");
    {
        HostMapping mapping;
        QVERIFY(!mapping.addFromEnvironment());
    }

    if (wasSet)
        qputenv(name.constData(), saved);
    else
        qunsetenv(name.constData());
}

// ---- Cookies ----

void TestNet::cookieSentAndStoredThroughClient()
{
    TestServer server;
    QVERIFY(server.listen());
    QVERIFY(HostMapping::global().add(
        QStringLiteral("cookie.example.test:80:127.0.0.1:%1").arg(server.port())));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("cookies.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# Netscape HTTP Cookie File\n"
               "cookie.example.test\tFALSE\t/\tFALSE\t0\tsid\tabc\n"
               "#HttpOnly_.example.test\tTRUE\t/\tFALSE\t0\tsecret\tthree\n"
               "elsewhere.test\tFALSE\t/\tFALSE\t0\tforeign\tno\n");
    file.close();
    QVERIFY(CurlMulti::instance().loadCookieFile(path));
    QVERIFY(!CurlMulti::instance().loadCookieFile(dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(!CurlMulti::instance().loadCookieFile(dir.path()));

    TestServer::Response login = serve("welcome");
    login.headers.append({QByteArray("Set-Cookie"), QByteArray("session=xyz; Path=/")});
    server.route("/login", login);
    server.route("/next", serve("next page"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    client.get(QUrl(QStringLiteral("http://cookie.example.test/login")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::Success);
    const QByteArray first = server.lastRequestHead();
    const qsizetype at = first.indexOf("\r\nCookie: ");
    QVERIFY2(at > 0, first.constData());
    QCOMPARE(cookieSet(first.mid(at + 10, first.indexOf('\r', at + 2) - at - 10)),
             (QSet<QByteArray>{"sid=abc", "secret=three"}));

    // The cookie set by the response belongs to the real host, not the mapped address.
    client.get(QUrl(QStringLiteral("http://cookie.example.test/next")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::Success);
    const QByteArray head = server.lastRequestHead();
    QVERIFY2(head.contains("sid=abc") && head.contains("session=xyz"), head.constData());
    // The address the connection went to never gets the host's cookies.
    client.get(QUrl(server.baseUrl() + QStringLiteral("/next")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QVERIFY2(!server.lastRequestHead().contains("Cookie:"), server.lastRequestHead().constData());
}

// ---- HTTP client ----

void TestNet::httpGetStatesProgressAndHeaders()
{
    TestServer server;
    QVERIFY(server.listen());
    const QByteArray body = patternBody(3000);
    server.route("/file.bin?x=1", serve(body));

    HttpClient client;
    QCOMPARE(client.state(), 0);
    QCOMPARE(client.outcome(), Outcome::None);
    QCOMPARE(client.inactivityTimeout(), HttpClient::DefaultInactivityTimeoutMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    QSignalSpy progress(&client, &HttpClient::progress);
    const QUrl url(server.baseUrl() + QStringLiteral("/file.bin?x=1"));
    client.get(url);
    QCOMPARE(client.url(), url);
    QVERIFY(client.state() != 0);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);

    QCOMPARE(statesOf(states), (QList<int>{1, 2, 3, 4, 5, 7, 9, 13, 0}));
    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(client.httpStatus(), 200);
    QVERIFY(client.errorString().isEmpty());
    QCOMPARE(client.body(), body);
    QCOMPARE(client.announcedSize(), qint64(body.size()));
    QCOMPARE(client.received(), qint64(body.size()));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(body.size()));
    QCOMPARE(progress.last().at(1).toLongLong(), qint64(body.size()));

    const QByteArray head = server.lastRequestHead();
    QVERIFY2(head.startsWith("GET /file.bin?x=1 HTTP/1.1\r\n"), head.constData());
    QVERIFY(head.contains("\r\nUser-Agent: Mozilla/5.0 (compatible; TrawlBay/1.0)\r\n"));
    QVERIFY(head.contains("\r\nAccept: */*\r\n"));
    QCOMPARE(server.lastHostHeader(), "127.0.0.1:" + QByteArray::number(server.port()));

    // No signal after the final 0.
    QTest::qWait(100);
    QCOMPARE(states.size(), 9);
}

void TestNet::httpBodyFraming_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("announced");

    QTest::newRow("content-length") << int(Mode::Normal) << true;
    QTest::newRow("no length, close") << int(Mode::NoLength) << false;
    QTest::newRow("chunked") << int(Mode::Chunked) << false;
    QTest::newRow("slow pieces") << int(Mode::Slow) << true;
    QTest::newRow("head in pieces") << int(Mode::SplitHead) << true;
    QTest::newRow("lower-case headers") << int(Mode::LowerCaseHeaders) << true;
}

void TestNet::httpBodyFraming()
{
    QFETCH(int, mode);
    QFETCH(bool, announced);

    TestServer server;
    QVERIFY(server.listen());
    const QByteArray body = patternBody(20000);
    TestServer::Response r = serve(body, Mode(mode));
    r.chunkSize = 4096;
    if (r.mode == Mode::Slow)
        r.delayMs = 20;
    if (r.mode == Mode::SplitHead)
        r.delayMs = 3;
    server.route("/body", r);

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    QSignalSpy progress(&client, &HttpClient::progress);
    client.get(QUrl(server.baseUrl() + QStringLiteral("/body")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);

    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(client.body(), body);
    QCOMPARE(client.received(), qint64(body.size()));
    QCOMPARE(client.announcedSize(), announced ? qint64(body.size()) : qint64(-1));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(body.size()));
    if (announced)
        QCOMPARE(progress.last().at(1).toLongLong(), qint64(body.size()));
    else
        QVERIFY(progress.last().at(1).toLongLong() <= 0);
    // Progress counts only grow.
    for (qsizetype i = 1; i < progress.size(); ++i)
        QVERIFY(progress[i].at(0).toLongLong() >= progress[i - 1].at(0).toLongLong());
    if (r.mode == Mode::Slow)
        QVERIFY(progress.size() >= 2);

    const QList<int> seen = statesOf(states);
    QCOMPARE(seen.first(), 1);
    QCOMPARE(seen.last(), 0);
    QCOMPARE(seen.count(0), 1);
    QVERIFY(seen.indexOf(9) >= 0 && seen.indexOf(9) < seen.indexOf(13));
}

void TestNet::httpFailures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("expectedStatus");

    QTest::newRow("404") << int(Mode::Normal) << 404 << int(Outcome::HttpError) << 404;
    QTest::newRow("500") << int(Mode::Normal) << 500 << int(Outcome::HttpError) << 500;
    QTest::newRow("stall before answer") << int(Mode::Stall) << 200 << int(Outcome::Timeout) << 0;
    QTest::newRow("stall after headers")
        << int(Mode::StallAfterHeaders) << 200 << int(Outcome::Timeout) << 200;
    QTest::newRow("reset mid body")
        << int(Mode::ResetMidBody) << 200 << int(Outcome::NetworkError) << 200;
    QTest::newRow("shorter than announced")
        << int(Mode::WrongLength) << 200 << int(Outcome::NetworkError) << 200;
    QTest::newRow("garbage") << int(Mode::Garbage) << 200 << int(Outcome::NetworkError) << 0;
}

void TestNet::httpFailures()
{
    QFETCH(int, mode);
    QFETCH(int, status);
    QFETCH(int, outcome);
    QFETCH(int, expectedStatus);

    TestServer server;
    QVERIFY(server.listen());
    TestServer::Response r = serve(patternBody(10000), Mode(mode));
    r.status = status;
    r.reason = status == 200 ? "OK" : "Failed";
    r.announcedLength = r.body.size() + 5000;
    server.route("/fail", r);

    HttpClient client;
    client.setInactivityTimeout(ShortTimeoutMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    QElapsedTimer elapsed;
    elapsed.start();
    client.get(QUrl(server.baseUrl() + QStringLiteral("/fail")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QVERIFY(elapsed.elapsed() < EndBoundMs);

    QCOMPARE(int(client.outcome()), outcome);
    QCOMPARE(client.httpStatus(), expectedStatus);
    QVERIFY(!client.errorString().isEmpty());
    if (client.outcome() == Outcome::Timeout)
        QCOMPARE(client.errorString(), QStringLiteral("No data for 0.4 s"));
    const QList<int> seen = statesOf(states);
    QCOMPARE(seen.first(), 1);
    QCOMPARE(seen.last(), 0);
    QCOMPARE(seen.count(0), 1);
    QVERIFY(!seen.contains(13));

    // Nothing more arrives once the request has ended.
    QTest::qWait(ShortTimeoutMs + 100);
    QCOMPARE(states.size(), seen.size());
    QCOMPARE(client.state(), 0);
}

void TestNet::httpWireFraming_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("body");

    const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray gzip(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00", 20);
    QTest::newRow("gzip stored as served")
        << ok + "Content-Encoding: gzip\r\nContent-Length: 20\r\n\r\n" + gzip << true << gzip;
    QTest::newRow("chunk size zz") << chunked + "zz\r\nhello\r\n0\r\n\r\n" << false << QByteArray();
    QTest::newRow("chunk size -5") << chunked + "-5\r\nhello\r\n0\r\n\r\n" << false << QByteArray();
    QTest::newRow("chunk size huge") << chunked + "fffffffffffffffffffff\r\nhello\r\n0\r\n\r\n"
                                     << false << QByteArray();
    QTest::newRow("chunked without its end") << chunked + "5\r\nhello\r\n" << false << QByteArray();
    QTest::newRow("length of 5000 digits")
        << ok + "Content-Length: " + QByteArray(5000, '9') + "\r\n\r\n"
        << false << QByteArray();
    QTest::newRow("length -5") << ok + "Content-Length: -5\r\n\r\nhello" << false << QByteArray();
    QTest::newRow("length abc") << ok + "Content-Length: abc\r\n\r\nhello" << false << QByteArray();
    QTest::newRow("two lengths") << ok + "Content-Length: 5\r\nContent-Length: 3\r\n\r\nhello"
                                 << false << QByteArray();
    QTest::newRow("body longer than length")
        << ok + "Content-Length: 5\r\n\r\nhello and more" << false << QByteArray();
    QTest::newRow("the same length twice")
        << ok + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nhello" << true
        << QByteArray("hello");
    QTest::newRow("redirect to file:")
        << QByteArray(
               "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n")
        << false << QByteArray();
}

void TestNet::httpWireFraming()
{
    QFETCH(QByteArray, wire);
    QFETCH(bool, ok);
    QFETCH(QByteArray, body);

    TestServer server;
    QVERIFY(server.listen());
    server.route("/f", serve(wire, Mode::Raw));
    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    client.get(QUrl(server.baseUrl() + QStringLiteral("/f")), &sink);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QVERIFY2((client.outcome() == Outcome::Success) == ok, qPrintable(client.errorString()));
    if (ok)
        QCOMPARE(sink.data(), body);
    else
        QVERIFY(!client.errorString().isEmpty());
}

void TestNet::httpSixteenAtOnceOnOneThread()
{
    TestServer server;
    QVERIFY(server.listen());
    TestServer::Response slow = serve(patternBody(4000), Mode::Slow);
    slow.delayMs = 30;
    server.route("/s", slow);
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

void TestNet::httpConnectionRefused()
{
    quint16 port = 0;
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    client.get(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port)));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::NetworkError);
    QCOMPARE(client.httpStatus(), 0);
    QVERIFY(!client.errorString().isEmpty());
    QCOMPARE(statesOf(states).last(), 0);
    QCOMPARE(statesOf(states).count(0), 1);
}

void TestNet::httpRedirectChainThroughMapping()
{
    TestServer server;
    QVERIFY(server.listen());
    QVERIFY(HostMapping::global().add(
        QStringLiteral("redirect.example.test:80:127.0.0.1:%1").arg(server.port())));
    server.route("/r1", redirect(301, "http://redirect.example.test/r2"));
    server.route("/r2", redirect(302, "/final?x=1"));
    server.route("/final?x=1", serve("arrived"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    const QUrl url(QStringLiteral("http://redirect.example.test/r1"));
    client.get(url);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);

    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(client.httpStatus(), 200);
    QCOMPARE(client.body(), QByteArray("arrived"));
    QCOMPARE(client.received(), qint64(7));
    QCOMPARE(client.url(), url);
    QCOMPARE(server.requestCount("/r1"), 1);
    QCOMPARE(server.requestCount("/r2"), 1);
    QCOMPARE(server.requestCount("/final?x=1"), 1);
    const QList<QByteArray> heads = server.requestHeads();
    QCOMPARE(heads.size(), 3);
    for (const QByteArray &head : heads)
        QVERIFY2(head.contains("\r\nHost: redirect.example.test\r\n"), head.constData());

    const QList<int> seen = statesOf(states);
    QCOMPARE(seen.first(), 1);
    QCOMPARE(seen.last(), 0);
    QCOMPARE(seen.count(0), 1);
    QCOMPARE(seen.count(13), 1);
    QCOMPARE(seen.count(1), 1);
}

void TestNet::httpRedirectBodiesStayOutOfSink()
{
    TestServer server;
    QVERIFY(server.listen());
    server.route("/old", redirect(302, "/new"));
    server.route("/new", serve("the file"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy progress(&client, &HttpClient::progress);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    client.get(QUrl(server.baseUrl() + QStringLiteral("/old")), &sink);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(sink.data(), QByteArray("the file"));
    QVERIFY(client.body().isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(8));
}

void TestNet::httpRedirectLimits_data()
{
    QTest::addColumn<int>("hops");
    QTest::addColumn<QByteArray>("lastLocation");
    QTest::addColumn<int>("outcome");

    QTest::newRow("ten redirects") << 10 << QByteArray("/end") << int(Outcome::Success);
    QTest::newRow("eleven redirects") << 11 << QByteArray("/end") << int(Outcome::NetworkError);
    QTest::newRow("to ftp") << 1 << QByteArray("ftp://127.0.0.1/end") << int(Outcome::NetworkError);
}

void TestNet::httpRedirectLimits()
{
    QFETCH(int, hops);
    QFETCH(QByteArray, lastLocation);
    QFETCH(int, outcome);

    TestServer server;
    QVERIFY(server.listen());
    for (int i = 0; i < hops; ++i) {
        const QByteArray next = i + 1 == hops ? lastLocation : "/hop" + QByteArray::number(i + 1);
        server.route("/hop" + QByteArray::number(i), redirect(302, next));
    }
    server.route("/end", serve("end"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    client.get(QUrl(server.baseUrl() + QStringLiteral("/hop0")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(int(client.outcome()), outcome);
    QCOMPARE(statesOf(states).count(0), 1);
    if (client.outcome() == Outcome::Success) {
        QCOMPARE(client.body(), QByteArray("end"));
        QCOMPARE(server.requestCount("/end"), 1);
    } else {
        QVERIFY(!client.errorString().isEmpty());
        QCOMPARE(server.requestCount("/end"), 0);
        QVERIFY(client.body().isEmpty());
    }
}

void TestNet::httpAbortMidTransfer()
{
    TestServer server;
    QVERIFY(server.listen());
    TestServer::Response endless = serve(QByteArray(), Mode::EndlessBody);
    endless.delayMs = 5;
    server.route("/endless", endless);

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    QSignalSpy progress(&client, &HttpClient::progress);
    client.get(QUrl(server.baseUrl() + QStringLiteral("/endless")));
    QVERIFY(progress.wait(EndBoundMs));
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 1, EndBoundMs);

    client.abort();
    // Synchronous: the state and its signal are there when abort() returns.
    QCOMPARE(client.state(), 0);
    QCOMPARE(states.last().at(0).toInt(), 0);
    QCOMPARE(client.outcome(), Outcome::Aborted);
    QCOMPARE(client.errorString(), QStringLiteral("Aborted"));
    QVERIFY(!client.body().isEmpty()); // what arrived stays readable
    const qsizetype stateCount = states.size();
    const qsizetype progressCount = progress.size();

    QTest::qWait(300);
    QCOMPARE(states.size(), stateCount);
    QCOMPARE(progress.size(), progressCount);
    // The server notices the client leaving and cleans up without crashing.
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, EndBoundMs);
}

void TestNet::httpAbortWhenIdleIsSilent()
{
    HttpClient client;
    QSignalSpy states(&client, &HttpClient::stateChanged);
    client.abort();
    QCOMPARE(states.size(), 0);
    QCOMPARE(client.outcome(), Outcome::None);
}

void TestNet::httpGetWhileRunningAbortsFirst()
{
    TestServer server;
    QVERIFY(server.listen());
    server.route("/stall", serve("never", Mode::Stall));
    server.route("/ok", serve("second"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    client.get(QUrl(server.baseUrl() + QStringLiteral("/stall")));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/stall"), 1, EndBoundMs);
    client.get(QUrl(server.baseUrl() + QStringLiteral("/ok")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);

    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(client.body(), QByteArray("second"));
    const QList<int> seen = statesOf(states);
    // The first request ended (0) before the second began (1).
    QCOMPARE(seen.count(0), 2);
    QCOMPARE(seen.count(1), 2);
    QVERIFY(seen.indexOf(0) < seen.lastIndexOf(1));
    QCOMPARE(seen.last(), 0);
}

void TestNet::httpNextRequestFromIdleSignal()
{
    TestServer server;
    QVERIFY(server.listen());
    server.route("/one", serve("1"));
    server.route("/two", serve("22"));
    server.route("/three", serve("333"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QStringList queue = {QStringLiteral("/two"), QStringLiteral("/three")};
    QByteArray bodies;
    connect(&client, &HttpClient::stateChanged, &client, [&](int state) {
        if (state != 0)
            return;
        bodies += client.body() + '|';
        if (!queue.isEmpty())
            client.get(QUrl(server.baseUrl() + queue.takeFirst()));
    });
    client.get(QUrl(server.baseUrl() + QStringLiteral("/one")));
    QTRY_COMPARE_WITH_TIMEOUT(bodies, QByteArray("1|22|333|"), EndBoundMs);
    QCOMPARE(client.state(), 0);
    QCOMPARE(client.outcome(), Outcome::Success);
}

void TestNet::httpSinkStreamsLargeBody()
{
    TestServer server;
    QVERIFY(server.listen());
    const QByteArray body = patternBody(5 * 1024 * 1024);
    server.route("/big.zip", serve(body));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy progress(&client, &HttpClient::progress);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    client.get(QUrl(server.baseUrl() + QStringLiteral("/big.zip")), &sink);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, 15000);

    QCOMPARE(client.outcome(), Outcome::Success);
    QVERIFY(client.body().isEmpty());
    QCOMPARE(sink.data().size(), body.size());
    QVERIFY(sink.data() == body);
    QCOMPARE(client.received(), qint64(body.size()));
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(body.size()));
    QCOMPARE(progress.last().at(1).toLongLong(), qint64(body.size()));
}

void TestNet::httpSinkWriteFailure()
{
    TestServer server;
    QVERIFY(server.listen());
    server.route("/file", serve(patternBody(4000)));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QSignalSpy states(&client, &HttpClient::stateChanged);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::ReadOnly)); // refuses every write
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
    client.get(QUrl(server.baseUrl() + QStringLiteral("/file")), &sink);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::NetworkError);
    QCOMPARE(client.errorString(), QStringLiteral("write failed"));
    QCOMPARE(statesOf(states).count(0), 1);
    QVERIFY(!statesOf(states).contains(13));
}

void TestNet::httpErrorPageStaysOutOfSink()
{
    TestServer server;
    QVERIFY(server.listen());
    TestServer::Response missing = serve(patternBody(200 * 1024));
    missing.status = 404;
    missing.reason = "Not Found";
    server.route("/gone.zip", missing);

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    client.get(QUrl(server.baseUrl() + QStringLiteral("/gone.zip")), &sink);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::HttpError);
    QCOMPARE(client.httpStatus(), 404);
    // The error page never lands in the download, and only a bounded part of it is kept.
    QVERIFY(sink.data().isEmpty());
    QVERIFY(!client.body().isEmpty());
    QVERIFY(client.body().size() <= 64 * 1024);
    QVERIFY(missing.body.startsWith(client.body()));
}

void TestNet::httpClientDestroyedWhileRunning()
{
    TestServer server;
    QVERIFY(server.listen());
    TestServer::Response endless = serve(QByteArray(), Mode::EndlessBody);
    endless.delayMs = 5;
    server.route("/endless", endless);

    auto *client = new HttpClient;
    QObject watcher;
    QList<int> states;
    connect(client, &HttpClient::stateChanged, &watcher,
            [&states](int state) { states.append(state); });
    QSignalSpy progress(client, &HttpClient::progress);
    client->get(QUrl(server.baseUrl() + QStringLiteral("/endless")));
    QVERIFY(progress.wait(EndBoundMs));
    const qsizetype before = states.size();
    delete client;
    QCOMPARE(states.size(), before);
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, EndBoundMs);
}

void TestNet::httpHostMappingKeepsHostHeader()
{
    TestServer server;
    QVERIFY(server.listen());
    QVERIFY(HostMapping::global().add(
        QStringLiteral("files.example.test:80:127.0.0.1:%1").arg(server.port())));
    QVERIFY(HostMapping::global().add(
        QStringLiteral("files.example.test:8080:127.0.0.1:%1").arg(server.port())));
    server.route("/a.txt", serve("file a"));
    server.route("/b.txt", serve("file b"));
    QSignalSpy requests(&server, &TestServer::requestReceived);

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    client.get(QUrl(QStringLiteral("http://files.example.test/a.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(client.body(), QByteArray("file a"));
    QCOMPARE(server.lastHostHeader(), QByteArray("files.example.test"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.last().at(0).toByteArray(), QByteArray("GET"));
    QCOMPARE(requests.last().at(1).toByteArray(), QByteArray("/a.txt"));

    // A non-default port stays in the Host header.
    client.get(QUrl(QStringLiteral("http://files.example.test:8080/b.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
    QCOMPARE(client.outcome(), Outcome::Success);
    QCOMPARE(client.body(), QByteArray("file b"));
    QCOMPARE(server.lastHostHeader(), QByteArray("files.example.test:8080"));
    QCOMPARE(requests.last().at(1).toByteArray(), QByteArray("/b.txt"));
}

void TestNet::httpKeepAliveReusesConnection()
{
    TestServer server;
    QVERIFY(server.listen());
    server.route("/k", serve("kept"));

    HttpClient client;
    client.setInactivityTimeout(EndBoundMs);
    for (int i = 0; i < 3; ++i) {
        client.get(QUrl(server.baseUrl() + QStringLiteral("/k")));
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), 0, EndBoundMs);
        QCOMPARE(client.outcome(), Outcome::Success);
        QCOMPARE(client.body(), QByteArray("kept"));
    }
    QCOMPARE(server.requestCount("/k"), 3);
    QCOMPARE(server.openConnections(), 1);
}

// ---- TCP socket ----

void TestNet::tcpHeadRequestThroughMapping()
{
    TestServer server;
    QVERIFY(server.listen());
    TestServer::Response r = serve(patternBody(1234), Mode::SplitHead);
    r.delayMs = 5;
    server.route("/files/x.zip", r);
    QVERIFY(HostMapping::global().add(
        QStringLiteral("link.example.test:80:127.0.0.1:%1").arg(server.port())));

    TcpSocket socket;
    QSignalSpy states(&socket, &TcpSocket::stateChanged);
    QSignalSpy received(&socket, &TcpSocket::received);
    QSignalSpy errors(&socket, &TcpSocket::error);
    QByteArray answer;
    connect(&socket, &TcpSocket::stateChanged, &socket, [&socket](int state) {
        if (state == 2)
            socket.send("HEAD /files/x.zip HTTP/1.1\r\nHost: link.example.test\r\n"
                        "Connection: close\r\n\r\n");
    });
    connect(&socket, &TcpSocket::received, &socket, [&] { answer += socket.receive(); });
    socket.connectToHost(QStringLiteral("link.example.test"), 80);
    QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty() && states.last().at(0).toInt() == 0, EndBoundMs);

    QCOMPARE(statesOf(states), (QList<int>{1, 2, 0}));
    QCOMPARE(socket.state(), 0);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(1).toString()));
    QVERIFY(received.size() >= 2); // the head arrived in pieces
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY(answer.contains("\r\nContent-Length: 1234\r\n"));
    QVERIFY(answer.endsWith("\r\n\r\n")); // a HEAD answer has no body
    QCOMPARE(server.lastHostHeader(), QByteArray("link.example.test"));
    QVERIFY(socket.receive().isEmpty());
}

void TestNet::tcpConnectionRefused()
{
    quint16 port = 0;
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    TcpSocket socket;
    QSignalSpy states(&socket, &TcpSocket::stateChanged);
    QSignalSpy errors(&socket, &TcpSocket::error);
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, EndBoundMs);
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), 0, EndBoundMs);
    QCOMPARE(errors.first().at(0).toInt(), int(QAbstractSocket::ConnectionRefusedError));
    QVERIFY(!errors.first().at(1).toString().isEmpty());
    QCOMPARE(statesOf(states), (QList<int>{1, 0}));
}

void TestNet::tcpCloseByClient()
{
    TestServer server;
    QVERIFY(server.listen());
    server.route("/hold", serve("x", Mode::Stall));

    TcpSocket socket;
    QSignalSpy states(&socket, &TcpSocket::stateChanged);
    QSignalSpy errors(&socket, &TcpSocket::error);
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), 2, EndBoundMs);
    socket.send("GET /hold HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/hold"), 1, EndBoundMs);
    QCOMPARE(server.openConnections(), 1);

    socket.close();
    QCOMPARE(socket.state(), 0);
    QCOMPARE(statesOf(states), (QList<int>{1, 2, 0}));
    socket.close(); // closing again changes nothing
    QCOMPARE(states.size(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, EndBoundMs);
    QVERIFY(errors.isEmpty());
}

void TestNet::tcpDestroyedWhileConnectedIsSilent()
{
    TestServer server;
    QVERIFY(server.listen());
    auto *socket = new TcpSocket;
    QObject watcher;
    QList<int> states;
    connect(socket, &TcpSocket::stateChanged, &watcher,
            [&states](int state) { states.append(state); });
    socket->connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QTRY_COMPARE_WITH_TIMEOUT(socket->state(), 2, EndBoundMs);
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 1, EndBoundMs);
    // No signal comes out of an object being destroyed.
    delete socket;
    QCOMPARE(states, (QList<int>{1, 2}));
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, EndBoundMs);
}

QTEST_GUILESS_MAIN(TestNet)
#include "test_net.moc"
