#include <QTest>

#include "core/download/transfermeter.h"
#include "core/search/texthelpers.h"
#include "support/testfiles.h"

class TestTextHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stripTags_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");

        // clang-format off
        dataRow("tag across a line break", "before<span\nclass='x'>after", "beforeafter");
        // The first ">" after a "<" ends the tag, so an inner "<" is swallowed with it.
        dataRow("nested brackets", "a<b<c>d>e", "ad>e");
        dataRow("unclosed tag after a closed one", "<b>x</b> 1 < 2", "x 1 < 2");
        dataRow("nbsp removed", "one&nbsp;two &nbsp; three", "onetwo  three");
        // Decoded after the tags are gone, so an encoded tag survives as text.
        dataRow("encoded tag stays", "&lt;b&gt;", "<b>");
        dataRow("amp decoded once", "&amp;lt; &amp;nbsp;", "&lt; &nbsp;");
        // clang-format on
    }

    void stripTags()
    {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(TextHelpers::StripTags(html), expected);
    }

    // A run's summary: decimal units that never read "1,000.0 kB", tenths of a second for a
    // short run so bytes, time and speed add up.
    void transferSummary_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("expected");

        // clang-format off
        dataRow("short run", qint64(1500000), qint64(300), QString("1.5 MB in 0.3 s \u00b7 5.0 MB/s"));
        dataRow("rounds up a unit", qint64(999990), qint64(1000), QString("1.0 MB in 1.0 s \u00b7 1.0 MB/s"));
        dataRow("just under 10 s", qint64(1000), qint64(9949), QString("1.0 kB in 9.9 s \u00b7 100 bytes/s"));
        dataRow("10 s and on", qint64(1000), qint64(9950), QString("1.0 kB in 0:10 \u00b7 100 bytes/s"));
        // clang-format on
    }

    void transferSummary()
    {
        QFETCH(qint64, bytes);
        QFETCH(qint64, ms);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(TransferMeter::summary(bytes, ms), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextHelpers)
#include "test_texthelpers.moc"
