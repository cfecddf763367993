#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/queue/queuefile.h"
#include "support/testfiles.h"

using QueueFile::Content;
using QueueFile::Error;
using QueueFile::MemorySink;
using S = QStringList;

Q_DECLARE_METATYPE(QueueFile::Content)

namespace {

const QString YahooUrl = QStringLiteral("http://groups.example.com/group/photos/messages");
const QString ZingUrl = QStringLiteral("http://zing.example/album/123");

// Lines joined and ended the way the program writes them.
QByteArray crlf(const QByteArrayList &lines)
{
    return lines.join("\r\n") + "\r\n";
}

const QByteArray YahooHeader =
    crlf({"Server: Yahoo", "URL: " + YahooUrl.toLatin1(), "Message Range: 634"});
const QByteArray ZingHeader =
    crlf({"Server: Zing", "URL: " + ZingUrl.toLatin1(), "Password: s3cret"});

// Rows as the window hands them over: the hidden size key is the last cell.
Content yahoo(const QList<S> &rows)
{
    return {QStringLiteral("Yahoo"), YahooUrl, QStringLiteral("634"), rows};
}

Content zing(const QList<S> &rows)
{
    return {QStringLiteral("Zing"), ZingUrl, QStringLiteral("s3cret"), rows};
}

// What was read, one line each: "server|URL|mask", then each row's cells joined by "|".
S summary(const Content &content)
{
    S lines{content.server + '|' + content.url + '|' + content.mask};
    for (const S &row : content.rows)
        lines.append(row.join('|'));
    return lines;
}

} // namespace

class TestQueueFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name = QStringLiteral("queue.tbq")) const
    {
        return m_dir->filePath(name);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void write_data()
    {
        QTest::addColumn<Content>("content");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<S>("readBack"); // empty: the content itself

        // clang-format off
        const QList<S> two = {{"1", "Café", "Müller", "b.jpg", "123456", "http://y/b", "0123456"},
                              {"2", "Re: € prices", "anna", "p.zip", "12345678", "http://y/p", "12345678"}};
        const QByteArray twoRows = crlf({"1\tCaf\xe9\tM\xfcller\tb.jpg\t123456\thttp://y/b", "2\tRe: \x80 prices\tanna\tp.zip\t12345678\thttp://y/p"});
        const auto named = [](const QString &name) { return zing({{name, "7", "u", "0000007"}}); };
        const auto file = [](const QByteArray &name) { return ZingHeader + crlf({name + "\t7\tu"}); };
        Content later = named("Â£");
        later.rows.append({"é", "8", "v", "0000008"});
        // Older versions read single bytes only, so everything that fits is written as Windows-1252.
        dataRow("yahoo, two rows", yahoo(two), YahooHeader + twoRows, S{});
        dataRow("no rows", yahoo({}), YahooHeader, S{});
        dataRow("short row padded", yahoo({{"1", "two"}}), YahooHeader + "1\ttwo\t\t\t\t\r\n", S{"Yahoo|" + YahooUrl + "|634", "1|two|||||"});
        dataRow("windows-1252 punctuation", named("“q” – Šœ €"), file("\x93q\x94 \x96 \x8a\x9c \x80"), S{});
        // One character outside the code page makes the whole file UTF-8, "é" included.
        dataRow("mixed", named("Café Ω"), file("Caf\xc3\xa9 \xce\xa9"), S{});
        // Found by fuzzing: a byte order mark at the start of a line is text, kept on reading.
        dataRow("byte order mark first", named(QChar(0xFEFF) + QString("a")), file("\xef\xbb\xbf" "a"), S{});
        // A size answer that smuggles in a field would make the next download fetch this URL.
        const Content separated{"Zing", "u\nv", "p\tq", {{"a\r\nb", "5\tu", "u\rv"}}};
        dataRow("separators as spaces", separated, crlf({"Server: Zing", "URL: u v", "Password: p q", "a  b\t5 u\tu v"}), S{"Zing|u v|p q", "a  b|5 u|u v|5 u"});
        // Windows-1252 text whose bytes would read as other UTF-8 text is written as UTF-8 ...
        dataRow("A tilde, copyright", named("Ã©"), file("\xc3\x83\xc2\xa9"), S{});
        // ... unless a later "é" alone (E9) is no UTF-8: then the whole file is Windows-1252.
        dataRow("then an e acute", later, file("\xc2\xa3") + "\xe9\t8\tv\r\n", S{});
        // clang-format on
    }

    void write()
    {
        QFETCH(Content, content);
        QFETCH(QByteArray, bytes);
        QFETCH(S, readBack);

        // A longer file is there before: what is written replaces it whole.
        QVERIFY(!QueueFile::write(path(), yahoo(QList<S>(200, {"1", "s", "a", "f", "5", "u"})))
                     .isError());
        const Error written = QueueFile::write(path(), content);
        QVERIFY2(!written.isError(), qPrintable(written.message()));
        QCOMPARE(readFile(path()), bytes);
        MemorySink sink;
        const Error read = QueueFile::read(path(), sink);
        QVERIFY2(!read.isError(), qPrintable(read.message()));
        QCOMPARE(summary(sink.content), readBack.isEmpty() ? summary(content) : readBack);
        // Saving what was opened gives the same file.
        QVERIFY(!QueueFile::write(path(), sink.content).isError());
        QCOMPARE(readFile(path()), bytes);
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<S>("expected");

        // clang-format off
        const QString zingHead = "Zing|" + ZingUrl + "|s3cret";
        const auto file = [](const QByteArray &name) { return ZingHeader + name + "\t7\tu\r\n"; };
        const auto row = [&](const QString &name) { return S{zingHead, name + "|7|u|0000007"}; };
        // Without a final line end the file ends inside the "é" of the last URL.
        const QByteArray utf8 = "\xef\xbb\xbfServer: Zing\r\nURL: z\r\nPassword: pw\r\na\t12\tu\r\nCaf\xc3\xa9\t3\tu\xc3\xa9";
        QByteArray split = "Server: Zing\r\nURL: z\r\nPassword: pw\r\na\t12\tu\r\nCaf\xe9\t3\tu\xe9\r\n";
        // Spaces after the password push its CR to the last byte of the first 64 KiB read.
        split.insert(split.indexOf("\r\na\t"), QByteArray(65535 - split.indexOf("\r\na\t"), ' '));
        const S read{"Zing|z|pw", "a|12|u|0000012", "Café|3|ué|0000003"};
        // Values trimmed, split at the first colon, the later line wins.
        dataRow("header lines", QByteArray("Server:   Yahoo  \nURL:http://h:8/a?b=c:d \nMessage Range: 5\nMessage Range:  6 \n"), S{"Yahoo|http://h:8/a?b=c:d|6"});
        // A Server line lays out the rows after it; extra fields are ignored.
        dataRow("server line switches layout", YahooHeader + "1\ts\ta\ty\t10\tu\nServer: Zing\nz\t20\tu\tx\nServer: Yahoo\n2\ts\ta\ty\t4\tu\tx\n",
                S{"Yahoo|" + YahooUrl + "|634", "1|s|a|y|10|u|0000010", "z|20|u|0000020", "2|s|a|y|4|u|0000004"});
        // Album captions that look like header lines stay rows, as a TAB marks them.
        for (const char *caption : {"URL: home", "Server: Zing"})
            dataRow(caption, file(caption), row(caption));
        dataRow("blank lines anywhere", "\r\n\n" + ZingHeader + "\r\na\t7\tu\r\n  \r\n\r\n", row("a"));
        // The hidden size key: digits padded to seven places, anything else as it is.
        dataRow("hidden size keys", ZingHeader + "a\t\tu\nb\t0\tu\nc\t1234\tu\nd\t12345678\tu\ne\t12kb\tu\nf\t-5\tu\n",
                S{zingHead, "a||u|", "b|0|u|0000000", "c|1234|u|0001234", "d|12345678|u|12345678", "e|12kb|u|12kb", "f|-5|u|-5"});
        // Bytes the code page leaves unassigned come back as the C1 controls.
        dataRow("windows-1252 unassigned byte", file("a\x81z"), row(QString::fromUtf16(u"a\u0081z")));
        dataRow("utf-8 with bom, no final line end", utf8, read);
        dataRow("crlf across reads", split, read);
        dataRow("mixed line ends", QByteArray("Server: Zing\nURL: z\r\nPassword: pw\ra\t12\tu\r\nCaf\xe9\t3\tu\xe9\n"), read);
        // clang-format on
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(S, expected);

        MemorySink sink;
        QVERIFY(writeFile(path(), bytes));
        const Error error = QueueFile::read(path(), sink);
        QVERIFY2(!error.isError(), qPrintable(error.message()));
        QCOMPARE(summary(sink.content), expected);
    }

    // A broken file ends the reading with a numbered message; the rows before it stay. What
    // is no queue file, a folder or an unreadable file is refused before any row.
    void readFailures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size"); // grown with a sparse hole; -1: a folder, -2: unreadable
        QTest::addColumn<QString>("messageStart"); // %1: the file's path
        QTest::addColumn<int>("keptRows");
        QTest::addColumn<QString>("serverAfter");

        const QByteArray y = "1\ts\ta\tf\t1\tu\n";
        const QString notQueue =
            "321 %1 is not a queue file: it does not start with a \"Server:\" line";
        // clang-format off
        dataRow("zing row with two fields", ZingHeader + "a\t1\tu\nb\t2\nc\t3\tu\n", 0ll, "9 line 5: a Zing row needs 3 fields, found 2", 1, "Zing");
        dataRow("mode in lower case after rows", YahooHeader + y + "Server: yahoo\n" + y, 0ll, "380 line 5: ", 1, "Yahoo");
        dataRow("empty mode", QByteArray("Server:\na\t1\tu\n"), 0ll, "380 line 1: ", 0, "");
        dataRow("empty", QByteArray(), 0ll, notQueue, 0, "");
        dataRow("1 GiB sparse", QByteArray(), 1ll << 30, notQueue, 0, "");
        dataRow("server line after 4 KiB", QByteArray(4096, '\n') + ZingHeader, 0ll, notQueue, 0, "");
        dataRow("lower-case key", QByteArray("server: Zing\n"), 0ll, notQueue, 0, "");
        dataRow("a row first", QByteArray("Server: Zing\t5\thttp://z/a\n"), 0ll, notQueue, 0, "");
        dataRow("a folder", QByteArray(), -1ll, "75 Cannot open %1", 0, "");
        dataRow("unreadable", ZingHeader, -2ll, "70 Cannot open %1", 0, "");
        // clang-format on
    }

    void readFailures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(QString, messageStart);
        QFETCH(int, keptRows);
        QFETCH(QString, serverAfter);

        if (size == -2 && runningAsRoot())
            QSKIP("root reads files without read permission");
        QVERIFY(size == -1 ? QDir().mkdir(path()) : writeFile(path(), bytes));
        QVERIFY(size <= 0 || QFile::resize(path(), size));
        QVERIFY(size != -2 || QFile::setPermissions(path(), QFileDevice::WriteOwner));
        MemorySink sink;
        const Error error = QueueFile::read(path(), sink);
        QVERIFY2(error.message().startsWith(QString(messageStart).replace("%1", path())),
                 qPrintable(error.message()));
        QCOMPARE(sink.content.rows.size(), keptRows);
        QCOMPARE(sink.content.server, serverAfter);
        if (size == -1) { // saving over the folder fails too, and leaves it as it was
            QVERIFY(QueueFile::write(path(), zing({})).isError());
            QVERIFY(QFileInfo(path()).isDir() &&
                    entries(m_dir->path()) == QStringList{"queue.tbq"});
        }
    }
};

QTEST_GUILESS_MAIN(TestQueueFile)
#include "test_queuefile.moc"
