#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestTextHelpers)
#include "test_texthelpers.moc"
