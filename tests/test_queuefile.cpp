#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/filelist/columnset.h"
#include "core/queue/queuefile.h"
#include "support/testfiles.h"

using QueueFile::Content;
using QueueFile::Error;
using QueueFile::MemorySink;

Q_DECLARE_METATYPE(QueueFile::Content)

namespace {

const QString Yahoo = QStringLiteral("Yahoo");
const QString Zing = QStringLiteral("Zing");

// Lines joined and ended the way the program writes them.
QByteArray crlfLines(const QByteArrayList &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

const QByteArray YahooHeader =
    crlfLines({"Server: Yahoo", "URL: http://groups.example.com/group/photos/messages",
               "Message Range: 634,650-680"});
const QByteArray ZingHeader =
    crlfLines({"Server: Zing", "URL: http://zing.example/album/123", "Password: s3cret"});

// Rows as the window hands them over: the hidden size key is the last cell.
Content yahooContent()
{
    Content content;
    content.server = Yahoo;
    content.url = QStringLiteral("http://groups.example.com/group/photos/messages");
    content.mask = QStringLiteral("634,650-680");
    content.rows = {
        {"00634", "Café trip", "Müller", "beach.jpg", "123456",
         "http://groups.example.com/group/photos/files/beach.jpg", "0123456"},
        {"00651", "Re: € prices", "anna", "prices.zip", "12345678",
         "http://groups.example.com/group/photos/files/prices.zip", "12345678"},
    };
    return content;
}

Content zingContent()
{
    Content content;
    content.server = Zing;
    content.url = QStringLiteral("http://zing.example/album/123");
    content.mask = QStringLiteral("s3cret");
    content.rows = {{"holiday.jpg", "2048", "http://zing.example/img/holiday.jpg", "0002048"}};
    return content;
}

QStringList withoutHiddenKey(QStringList cells)
{
    cells.removeLast();
    return cells;
}

QStringList firstCells(const QList<QStringList> &rows)
{
    QStringList firsts;
    for (const QStringList &row : rows)
        firsts.append(row.value(0));
    return firsts;
}

} // namespace

class TestQueueFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Whole files
    void roundTrip_data();
    void roundTrip();
    void shortRowIsPaddedAndReadsBack();
    void separatorsWrittenAsSpaces_data();
    void separatorsWrittenAsSpaces();

    // Headers and layout
    void headerValues_data();
    void headerValues();
    void serverLineSwitchesLayout();
    void linesWithTabsAreRows_data();
    void linesWithTabsAreRows();
    void hiddenSizeRebuilt_data();
    void hiddenSizeRebuilt();
    void rowCells_data();
    void rowCells();

    // Broken files
    void readErrors_data();
    void readErrors();
    void refusesOtherFiles_data();
    void refusesOtherFiles();
    void openMissingFile();
    void openDirectory();
    void openUnreadableFile();

    // Encodings and line ends
    void readEncodings_data();
    void readEncodings();
    void writeEncodings_data();
    void writeEncodings();
    void windows1252LookingLikeUtf8_data();
    void windows1252LookingLikeUtf8();
    void lineEnds_data();
    void lineEnds();

    // Saving
    void saveReplacesLongerFile();
    void failedSaveKeepsOldFile();
    void saveToMissingFolder();
    void saveOverDirectory();

private:
    QString path(const QString &name = QStringLiteral("queue.tbq")) const
    {
        return m_dir->filePath(name);
    }
    // Writes bytes to a fresh file and reads it.
    Error readBytes(const QByteArray &bytes, MemorySink &sink) const
    {
        if (!writeFile(path(), bytes))
            return {Error::AccessError, QStringLiteral("test could not write its file")};
        return QueueFile::read(path(), sink);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestQueueFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestQueueFile::cleanup()
{
    // A test may leave the folder read-only; the removal needs it writable again.
    QFile::setPermissions(m_dir->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_dir.reset();
}

void TestQueueFile::roundTrip_data()
{
    QTest::addColumn<Content>("content");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lineCount");

    // Windows-1252 single bytes, no hidden key, a subject with a colon stays a row.
    QTest::newRow("yahoo, two rows")
        << yahooContent()
        << YahooHeader + crlfLines({"00634\tCaf\xe9 trip\tM\xfcller\tbeach.jpg\t123456\t"
                                    "http://groups.example.com/group/photos/files/beach.jpg",
                                    "00651\tRe: \x80 prices\tanna\tprices.zip\t12345678\t"
                                    "http://groups.example.com/group/photos/files/prices.zip"})
        << 5;
    QTest::newRow("zing, one row")
        << zingContent()
        << ZingHeader + crlfLines({"holiday.jpg\t2048\thttp://zing.example/img/holiday.jpg"}) << 4;

    Content empty = yahooContent();
    empty.rows.clear();
    QTest::newRow("yahoo, no rows") << empty << YahooHeader << 3;
}

void TestQueueFile::roundTrip()
{
    QFETCH(Content, content);
    QFETCH(QByteArray, bytes);
    QFETCH(int, lineCount);

    const Error written = QueueFile::write(path(), content);
    QVERIFY2(!written.isError(), qPrintable(written.message()));
    const QByteArray onDisk = readFile(path());
    QCOMPARE(onDisk, bytes);
    QCOMPARE(int(onDisk.count("\r\n")), lineCount);

    MemorySink sink;
    const Error read = QueueFile::read(path(), sink);
    QVERIFY2(!read.isError(), qPrintable(read.message()));
    QCOMPARE(sink.content.server, content.server);
    QCOMPARE(sink.content.url, content.url);
    QCOMPARE(sink.content.mask, content.mask);
    QCOMPARE(sink.content.rows, content.rows);

    // Saving what was opened gives the same file, with or without the hidden key.
    const QString again = path(QStringLiteral("again.tbq"));
    QVERIFY(!QueueFile::write(again, sink.content).isError());
    QCOMPARE(readFile(again), bytes);
    Content plain = sink.content;
    for (QStringList &row : plain.rows)
        row = withoutHiddenKey(row);
    QVERIFY(!QueueFile::write(again, plain).isError());
    QCOMPARE(readFile(again), bytes);
}

void TestQueueFile::shortRowIsPaddedAndReadsBack()
{
    Content content = yahooContent();
    content.rows = {{"00001", "only two cells"}};
    QVERIFY(!QueueFile::write(path(), content).isError());
    QCOMPARE(readFile(path()), YahooHeader + crlfLines({"00001\tonly two cells\t\t\t\t"}));

    MemorySink sink;
    const Error error = QueueFile::read(path(), sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    const QList<QStringList> expected = {{"00001", "only two cells", "", "", "", "", ""}};
    QCOMPARE(sink.content.rows, expected);
}

void TestQueueFile::separatorsWrittenAsSpaces_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("field"); // a cell, or -1 for the URL and -2 for the mask
    QTest::addColumn<QString>("separator");

    for (const char *separator : {"\t", "\r", "\n", "\r\n"}) {
        for (const QString &server : {Yahoo, Zing}) {
            for (int field = -2; field < (server == Yahoo ? 6 : 3); ++field)
                QTest::addRow("%s %d %s", qPrintable(server), field,
                              QByteArray(separator).toPercentEncoding().constData())
                    << server << field << QString::fromLatin1(separator);
        }
    }
}

void TestQueueFile::separatorsWrittenAsSpaces()
{
    QFETCH(QString, server);
    QFETCH(int, field);
    QFETCH(QString, separator);

    // A size answer that smuggles in a field would make the next download fetch this URL.
    const QString value = "5" + separator + "http://127.0.0.1:1/evil";
    Content content = server == Yahoo ? yahooContent() : zingContent();
    Content expected = content;
    const QString spaced =
        "5" + QString(separator.size(), QLatin1Char(' ')) + "http://127.0.0.1:1/evil";
    QString &cell = field == -1   ? content.url
                    : field == -2 ? content.mask
                                  : content.rows.first()[field];
    cell = value;
    QString &expectedCell = field == -1   ? expected.url
                            : field == -2 ? expected.mask
                                          : expected.rows.first()[field];
    expectedCell = spaced;
    QStringList &first = expected.rows.first();
    first.last() = formatHiddenSize(first.at(server == Yahoo ? 4 : 1));

    QVERIFY(!QueueFile::write(path(), content).isError());
    MemorySink sink;
    const Error error = QueueFile::read(path(), sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    QCOMPARE(sink.content.url, expected.url);
    QCOMPARE(sink.content.mask, expected.mask);
    QCOMPARE(sink.content.rows, expected.rows);
}

void TestQueueFile::headerValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("mask");

    QTest::newRow("values trimmed")
        << crlfLines({"Server:   Yahoo  ", "URL:    http://x/   ", "Message Range:  634 "}) << Yahoo
        << "http://x/"
        << "634";
    QTest::newRow("colons in the url")
        << crlfLines({"Server: Yahoo", "URL: http://h:8080/a?b=c:d", "Message Range: 1-9"}) << Yahoo
        << "http://h:8080/a?b=c:d"
        << "1-9";
    QTest::newRow("no space after the colon")
        << crlfLines({"Server:Zing", "URL:http://z/", "Password:pw"}) << Zing << "http://z/"
        << "pw";
    QTest::newRow("empty values") << crlfLines({"Server: Zing", "URL:", "Password: "}) << Zing << ""
                                  << "";
    QTest::newRow("any order after the server")
        << crlfLines({"Server: Zing", "Password: pw", "URL: http://z/"}) << Zing << "http://z/"
        << "pw";
    QTest::newRow("later line wins")
        << crlfLines({"Server: Yahoo", "URL: http://a/", "URL: http://b/", "Message Range: 5"})
        << Yahoo << "http://b/"
        << "5";
}

void TestQueueFile::headerValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, server);
    QFETCH(QString, url);
    QFETCH(QString, mask);

    MemorySink sink;
    const Error error = readBytes(bytes, sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    QCOMPARE(sink.content.server, server);
    QCOMPARE(sink.content.url, url);
    QCOMPARE(sink.content.mask, mask);
    QVERIFY(sink.content.rows.isEmpty());
}

void TestQueueFile::serverLineSwitchesLayout()
{
    const QByteArray bytes = YahooHeader + crlfLines({
                                               "00001\tsubj\tauth\ty1.jpg\t10\thttp://y/1",
                                               "Server: Zing",
                                               "z1.jpg\t20\thttp://z/1",
                                               "z2.jpg\t30\thttp://z/2\textra",
                                               "Server: Yahoo",
                                               "00002\tsubj\tauth\ty2.jpg\t40\thttp://y/2",
                                           });
    MemorySink sink;
    const Error error = readBytes(bytes, sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    const QList<QStringList> expected = {
        {"00001", "subj", "auth", "y1.jpg", "10", "http://y/1", "0000010"},
        {"z1.jpg", "20", "http://z/1", "0000020"},
        {"z2.jpg", "30", "http://z/2", "0000030"},
        {"00002", "subj", "auth", "y2.jpg", "40", "http://y/2", "0000040"},
    };
    QCOMPARE(sink.content.rows, expected);
    QCOMPARE(sink.content.server, Yahoo);
}

void TestQueueFile::linesWithTabsAreRows_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rowNames");

    // Album captions that look like header lines stay rows, as a TAB marks them.
    for (const QByteArray caption : {"URL: home", "Password: x", "Server: Bob", "Server: Zing"})
        QTest::newRow(caption) << ZingHeader +
                                      crlfLines({caption + "\t5\thttp://z/a", "b\t6\thttp://z/b"})
                               << QStringList{caption, "b"};
    QTest::newRow("blank lines anywhere")
        << "\r\n\n" + ZingHeader +
               crlfLines({"", "a\t5\thttp://z/a", "  ", "", "b\t6\thttp://z/b", ""})
        << QStringList{"a", "b"};
}

void TestQueueFile::linesWithTabsAreRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rowNames);

    MemorySink sink;
    const Error error = readBytes(bytes, sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    QCOMPARE(sink.content.server, Zing);
    QCOMPARE(sink.content.url, QStringLiteral("http://zing.example/album/123"));
    QCOMPARE(sink.content.mask, QStringLiteral("s3cret"));
    QCOMPARE(firstCells(sink.content.rows), rowNames);
    QCOMPARE(sink.content.rows.first().size(), 4);
}

void TestQueueFile::hiddenSizeRebuilt_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("hidden");

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("zero") << "0"
                          << "0000000";
    QTest::newRow("four digits") << "1234"
                                 << "0001234";
    QTest::newRow("seven digits") << "1234567"
                                  << "1234567";
    QTest::newRow("eight digits") << "12345678"
                                  << "12345678";
    QTest::newRow("not a number") << "abc"
                                  << "abc";
    QTest::newRow("digits and letters") << "12kb"
                                        << "12kb";
    QTest::newRow("negative") << "-5"
                              << "-5";
}

void TestQueueFile::hiddenSizeRebuilt()
{
    QFETCH(QString, size);
    QFETCH(QString, hidden);

    const QByteArray sizeBytes = size.toLatin1();
    const QByteArray bytes =
        YahooHeader + crlfLines({"00001\ts\ta\tf.jpg\t" + sizeBytes + "\thttp://y/f.jpg",
                                 "Server: Zing", "g.jpg\t" + sizeBytes + "\thttp://z/g.jpg"});
    MemorySink sink;
    const Error error = readBytes(bytes, sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    QCOMPARE(sink.content.rows.size(), 2);
    const QStringList &yahooRow = sink.content.rows.at(0);
    const QStringList &zingRow = sink.content.rows.at(1);
    QCOMPARE(yahooRow.size(), 7);
    QCOMPARE(yahooRow.at(4), size);
    QCOMPARE(yahooRow.at(6), hidden);
    QCOMPARE(zingRow.size(), 4);
    QCOMPARE(zingRow.at(1), size);
    QCOMPARE(zingRow.at(3), hidden);
}

void TestQueueFile::rowCells_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("needed");

    QTest::newRow("yahoo, six fields")
        << "1\ts\ta\tf\t12\tu" << Yahoo << QStringList{"1", "s", "a", "f", "12", "u", "0000012"}
        << 6;
    QTest::newRow("yahoo, extra fields ignored")
        << "1\ts\ta\tf\t12\tu\tx\ty" << Yahoo
        << QStringList{"1", "s", "a", "f", "12", "u", "0000012"} << 6;
    QTest::newRow("yahoo, five fields") << "1\ts\ta\tf\t12" << Yahoo << QStringList{} << 6;
    QTest::newRow("zing, three fields")
        << "f\t12\tu" << Zing << QStringList{"f", "12", "u", "0000012"} << 3;
    QTest::newRow("zing, extra fields ignored")
        << "f\t12\tu\tx\ty\tz" << Zing << QStringList{"f", "12", "u", "0000012"} << 3;
    QTest::newRow("zing, two fields") << "f\t12" << Zing << QStringList{} << 3;
    QTest::newRow("no mode lays out like zing")
        << "f\t12\tu"
        << "" << QStringList{"f", "12", "u", "0000012"} << 3;
    QTest::newRow("empty fields count") << "\t\t" << Zing << QStringList{"", "", "", ""} << 3;
    QTest::newRow("empty line") << "" << Zing << QStringList{} << 3;
}

void TestQueueFile::rowCells()
{
    QFETCH(QString, line);
    QFETCH(QString, server);
    QFETCH(QStringList, expected);
    QFETCH(int, needed);

    int gotNeeded = -1;
    QCOMPARE(QueueFile::rowCells(line, server, &gotNeeded), expected);
    QCOMPARE(gotNeeded, needed);
}

void TestQueueFile::readErrors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("messageStart");
    QTest::addColumn<QStringList>("keptRows"); // first cell of each row read before
    QTest::addColumn<QString>("serverAfter");

    const QByteArray yahooRow1 = "00634\ts\ta\tf1.jpg\t1\thttp://y/1";
    const QByteArray yahooRow3 = "00636\ts\ta\tf3.jpg\t3\thttp://y/3";
    const QByteArray zingRow1 = "a.jpg\t1\thttp://z/a";

    QTest::newRow("yahoo row with three fields")
        << YahooHeader + crlfLines({yahooRow1, "00635\tsubject\tauthor", yahooRow3})
        << int(Error::MissingField) << "9 line 5: a Yahoo row needs 6 fields, found 3"
        << QStringList{"00634"} << Yahoo;
    QTest::newRow("zing row with two fields")
        << ZingHeader + crlfLines({zingRow1, "b.jpg\t2", "c.jpg\t3\thttp://z/c"})
        << int(Error::MissingField) << "9 line 5: a Zing row needs 3 fields, found 2"
        << QStringList{"a.jpg"} << Zing;
    QTest::newRow("line over 1 MiB")
        << YahooHeader + crlfLines({yahooRow1, QByteArray(1024 * 1024 + 1, 'x'), yahooRow3})
        << int(Error::NotAQueueFile) << "321 line 5: longer than 1 MiB" << QStringList{"00634"}
        << Yahoo;
    QTest::newRow("lower-case url key after rows")
        << YahooHeader + crlfLines({yahooRow1, "url: http://y/", yahooRow3})
        << int(Error::MissingField) << "9 line 5: a Yahoo row needs 6 fields, found 1"
        << QStringList{"00634"} << Yahoo;
    QTest::newRow("unknown mode") << crlfLines({"Server: Foo", "URL: http://y/", yahooRow1})
                                  << int(Error::UnknownMode) << "380 line 1: " << QStringList{}
                                  << "";
    QTest::newRow("mode in lower case after rows")
        << YahooHeader + crlfLines({yahooRow1, "Server: yahoo", yahooRow3})
        << int(Error::UnknownMode) << "380 line 5: " << QStringList{"00634"} << Yahoo;
    QTest::newRow("empty mode") << crlfLines({"Server:", zingRow1}) << int(Error::UnknownMode)
                                << "380 line 1: " << QStringList{} << "";
}

void TestQueueFile::readErrors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, code);
    QFETCH(QString, messageStart);
    QFETCH(QStringList, keptRows);
    QFETCH(QString, serverAfter);

    MemorySink sink;
    const Error error = readBytes(bytes, sink);
    QCOMPARE(int(error.code), code);
    QVERIFY(error.isError());
    QVERIFY2(error.message().startsWith(messageStart), qPrintable(error.message()));
    QCOMPARE(firstCells(sink.content.rows), keptRows);
    QCOMPARE(sink.content.server, serverAfter);
}

void TestQueueFile::refusesOtherFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("size"); // grown with a sparse hole

    QTest::newRow("empty") << QByteArray() << qint64(0);
    QTest::newRow("picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR") << qint64(0);
    QTest::newRow("1 GiB sparse") << QByteArray() << (qint64(1) << 30);
    QTest::newRow("server line after 4 KiB") << QByteArray(4096, '\n') + ZingHeader << qint64(0);
    QTest::newRow("url line first") << crlfLines({"URL: http://z/", "Server: Zing"}) << qint64(0);
    QTest::newRow("lower-case key") << crlfLines({"server: Zing"}) << qint64(0);
    QTest::newRow("a row first") << crlfLines({"Server: Zing\t5\thttp://z/a"}) << qint64(0);
    QTest::newRow("space before the colon") << crlfLines({"Server : Zing"}) << qint64(0);
}

void TestQueueFile::refusesOtherFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, size);

    QVERIFY(writeFile(path(), bytes));
    if (size > 0)
        QVERIFY(QFile::resize(path(), size));
    MemorySink sink;
    const Error error = QueueFile::read(path(), sink);
    QCOMPARE(int(error.code), int(Error::NotAQueueFile));
    QCOMPARE(error.message(),
             "321 " + path() + " is not a queue file: it does not start with a \"Server:\" line");
    QVERIFY(sink.content.server.isEmpty());
}

void TestQueueFile::openMissingFile()
{
    MemorySink sink;
    const QString missing = path(QStringLiteral("missing.tbq"));
    const Error error = QueueFile::read(missing, sink);
    QCOMPARE(int(error.code), int(Error::FileNotFound));
    QVERIFY2(error.message().startsWith(QLatin1String("53 ")), qPrintable(error.message()));
    QVERIFY2(error.message().contains(QLatin1String("missing.tbq")), qPrintable(error.message()));
    QVERIFY(sink.content.server.isEmpty());
    QVERIFY(sink.content.rows.isEmpty());
}

void TestQueueFile::openDirectory()
{
    MemorySink sink;
    const Error error = QueueFile::read(m_dir->path(), sink);
    QVERIFY(error.isError());
    QVERIFY2(error.message().startsWith(QString::number(int(error.code)) + QLatin1Char(' ')),
             qPrintable(error.message()));
    QVERIFY(sink.content.rows.isEmpty());
}

void TestQueueFile::openUnreadableFile()
{
    if (runningAsRoot())
        QSKIP("root reads files without read permission");
    QVERIFY(writeFile(path(), ZingHeader));
    QVERIFY(QFile::setPermissions(path(), QFileDevice::WriteOwner));

    MemorySink sink;
    const Error error = QueueFile::read(path(), sink);
    QCOMPARE(int(error.code), int(Error::PermissionDenied));
    QVERIFY2(error.message().startsWith(QLatin1String("70 ")), qPrintable(error.message()));
    QVERIFY(sink.content.server.isEmpty());
}

void TestQueueFile::readEncodings_data()
{
    QTest::addColumn<QByteArray>("nameBytes");
    QTest::addColumn<QString>("name");

    QTest::newRow("windows-1252 e acute") << QByteArray("Caf\xe9.jpg") << "Café.jpg";
    QTest::newRow("windows-1252 euro") << QByteArray("\x80") << "€";
    QTest::newRow("windows-1252 curly quotes") << QByteArray("\x93quoted\x94") << "“quoted”";
    QTest::newRow("windows-1252 letters above 0x80")
        << QByteArray("\x8a\x9a\x9f") << QString::fromUtf16(u"\u0160\u0161\u0178");
    // Bytes the code page leaves unassigned come back as the C1 controls.
    QTest::newRow("windows-1252 unassigned byte")
        << QByteArray("a\x81z") << QString::fromUtf16(u"a\u0081z");
    QTest::newRow("utf-8 e acute") << QByteArray("Caf\xc3\xa9.jpg") << "Café.jpg";
    QTest::newRow("utf-8 outside windows-1252")
        << QByteArray("\xe6\x97\xa5\xe6\x9c\xac.jpg") << "日本.jpg";
}

void TestQueueFile::readEncodings()
{
    QFETCH(QByteArray, nameBytes);
    QFETCH(QString, name);

    MemorySink sink;
    const Error error =
        readBytes(ZingHeader + crlfLines({nameBytes + "\t7\thttp://z/" + nameBytes}), sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    const QList<QStringList> expected = {{name, "7", "http://z/" + name, "0000007"}};
    QCOMPARE(sink.content.rows, expected);
}

void TestQueueFile::writeEncodings_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("nameBytes");

    // Older versions read single bytes only, so everything that fits is written that way.
    QTest::newRow("within windows-1252") << "Café €" << QByteArray("Caf\xe9 \x80");
    QTest::newRow("windows-1252 punctuation")
        << "“quoted” – Šœ" << QByteArray("\x93quoted\x94 \x96 \x8a\x9c");
    QTest::newRow("cjk") << "日本.jpg" << QByteArray("\xe6\x97\xa5\xe6\x9c\xac.jpg");
    QTest::newRow("greek omega") << "Ω" << QByteArray("\xce\xa9");
    // One character outside the code page makes the whole file UTF-8, "é" included.
    QTest::newRow("mixed") << "Café Ω" << QByteArray("Caf\xc3\xa9 \xce\xa9");
    // Found by fuzzing: a byte order mark at the start of a line is text, kept on reading.
    QTest::newRow("byte order mark first") << QChar(0xFEFF) + QStringLiteral("a")
                                           << QByteArray("\xef\xbb\xbf"
                                                         "a");
}

void TestQueueFile::writeEncodings()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, nameBytes);

    Content content = zingContent();
    content.rows = {{name, "7", "http://z/" + name, "0000007"}};
    const Error written = QueueFile::write(path(), content);
    QVERIFY2(!written.isError(), qPrintable(written.message()));
    QCOMPARE(readFile(path()), ZingHeader + crlfLines({nameBytes + "\t7\thttp://z/" + nameBytes}));

    MemorySink sink;
    const Error read = QueueFile::read(path(), sink);
    QVERIFY2(!read.isError(), qPrintable(read.message()));
    QCOMPARE(sink.content.rows, content.rows);
}

void TestQueueFile::windows1252LookingLikeUtf8_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("later"); // a later row's name, "" for none

    // Each name fits Windows-1252, and its bytes there are also valid UTF-8 for another text.
    QTest::newRow("A tilde, copyright") << "Ã©.jpg"
                                        << ""; // C3 A9 is UTF-8 for "é"
    QTest::newRow("A circumflex, pound") << "Â£5.jpg"
                                         << ""; // C2 A3 is UTF-8 for "£"
    QTest::newRow("euro spelled in three") << "â‚¬.jpg"
                                           << ""; // E2 82 AC is UTF-8 for "€"
    // A later "é" alone (E9) is no UTF-8, so the whole file is Windows-1252, first line too.
    QTest::newRow("then an e acute") << "Ã©.jpg"
                                     << "é.jpg";
}

void TestQueueFile::windows1252LookingLikeUtf8()
{
    QFETCH(QString, name);
    QFETCH(QString, later);

    Content content = zingContent();
    content.rows = {{name, "7", "http://z/x", "0000007"}};
    if (!later.isEmpty())
        content.rows.append({later, "8", "http://z/y", "0000008"});
    QVERIFY(!QueueFile::write(path(), content).isError());
    if (!later.isEmpty()) // one byte per character
        QCOMPARE(readFile(path()).size(), ZingHeader.size() + name.size() + later.size() + 30);

    MemorySink sink;
    const Error error = QueueFile::read(path(), sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    QCOMPARE(sink.content.rows, content.rows);
}

void TestQueueFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // The same two-row Zing file in every variant; the last byte of the second row is the
    // "é" of its URL, so a file without a final line end ends inside a character.
    const auto file = [](const QByteArray &eol, bool utf8, bool finalEol) {
        const QByteArray e = utf8 ? QByteArray("\xc3\xa9") : QByteArray("\xe9");
        QByteArray bytes = "Server: Zing" + eol + "URL: http://z/" + eol + "Password: pw" + eol +
                           "a.jpg\t12\thttp://z/a.jpg" + eol + "Caf" + e + ".jpg\t3\thttp://z/Caf" +
                           e;
        if (finalEol)
            bytes += eol;
        return bytes;
    };
    const QByteArray bom = "\xef\xbb\xbf";

    QTest::newRow("crlf") << file("\r\n", false, true);
    QTest::newRow("bare lf") << file("\n", false, true);
    QTest::newRow("bare cr") << file("\r", false, true);
    QTest::newRow("crlf, no final line end") << file("\r\n", false, false);
    QTest::newRow("lf, no final line end") << file("\n", false, false);
    QTest::newRow("utf-8, no final line end") << file("\r\n", true, false);
    QTest::newRow("utf-8 with bom") << bom + file("\r\n", true, true);
    QTest::newRow("utf-8 with bom, lf") << bom + file("\n", true, true);
    // Spaces after the password push its CR to the last byte of the first 64 KiB read.
    QByteArray split = file("\r\n", false, true);
    const qsizetype cr = split.indexOf("\r\na.jpg");
    QTest::newRow("crlf across reads") << split.insert(cr, QByteArray(65535 - cr, ' '));
    QTest::newRow("mixed line ends")
        << QByteArray("Server: Zing\nURL: http://z/\r\nPassword: pw\r"
                      "a.jpg\t12\thttp://z/a.jpg\r\nCaf\xe9.jpg\t3\thttp://z/Caf\xe9\n");
}

void TestQueueFile::lineEnds()
{
    QFETCH(QByteArray, bytes);

    MemorySink sink;
    const Error error = readBytes(bytes, sink);
    QVERIFY2(!error.isError(), qPrintable(error.message()));
    QCOMPARE(sink.content.server, Zing);
    QCOMPARE(sink.content.url, QStringLiteral("http://z/"));
    QCOMPARE(sink.content.mask, QStringLiteral("pw"));
    const QList<QStringList> expected = {
        {"a.jpg", "12", "http://z/a.jpg", "0000012"},
        {"Café.jpg", "3", "http://z/Café", "0000003"},
    };
    QCOMPARE(sink.content.rows, expected);
}

void TestQueueFile::saveReplacesLongerFile()
{
    Content big = yahooContent();
    for (int i = 0; i < 200; ++i)
        big.rows.append(big.rows.first());
    QVERIFY(!QueueFile::write(path(), big).isError());
    const QByteArray bigBytes = readFile(path());

    const Content small = zingContent();
    QVERIFY(!QueueFile::write(path(), small).isError());
    const QByteArray smallBytes = readFile(path());
    QVERIFY(smallBytes.size() < bigBytes.size());
    QCOMPARE(smallBytes, ZingHeader + crlfLines({"holiday.jpg\t2048\thttp://zing.example/img/"
                                                 "holiday.jpg"}));
}

void TestQueueFile::failedSaveKeepsOldFile()
{
    if (runningAsRoot())
        QSKIP("root writes into read-only folders");
    QVERIFY(!QueueFile::write(path(), yahooContent()).isError());
    const QByteArray before = readFile(path());

    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto restore = qScopeGuard([this] {
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    });
    const Error error = QueueFile::write(path(), zingContent());
    QVERIFY(error.isError());
    QVERIFY2(error.message().startsWith(QString::number(int(error.code)) + QLatin1Char(' ')),
             qPrintable(error.message()));
    QCOMPARE(readFile(path()), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("queue.tbq")});
}

void TestQueueFile::saveToMissingFolder()
{
    const QString folder = m_dir->filePath(QStringLiteral("missing"));
    const Error error = QueueFile::write(folder + QStringLiteral("/queue.tbq"), yahooContent());
    QVERIFY(error.isError());
    QVERIFY2(error.message().startsWith(QString::number(int(error.code)) + QLatin1Char(' ')),
             qPrintable(error.message()));
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(QDir(m_dir->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestQueueFile::saveOverDirectory()
{
    const QString folder = m_dir->filePath(QStringLiteral("folder.tbq"));
    QVERIFY(QDir().mkdir(folder));
    const Error error = QueueFile::write(folder, yahooContent());
    QVERIFY(error.isError());
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("folder.tbq")});
}

QTEST_GUILESS_MAIN(TestQueueFile)
#include "test_queuefile.moc"
