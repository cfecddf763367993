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
        dataRow("tags with attributes", "<b>bold</b> <a href='x'>link</a>", "bold link");
        dataRow("spaces around a tag stay", "a <br> b", "a  b");
        dataRow("tag across a line break", "before<span\nclass='x'>after", "beforeafter");
        // The first ">" after a "<" ends the tag, so an inner "<" is swallowed with it.
        dataRow("nested brackets", "a<b<c>d>e", "ad>e");
        dataRow("open bracket without close", "a < b", "a < b");
        dataRow("close bracket alone", "x > y", "x > y");
        dataRow("unclosed tag after a closed one", "<b>x</b> 1 < 2", "x 1 < 2");
        dataRow("nbsp removed", "one&nbsp;two &nbsp; three", "onetwo  three");
        // Decoded after the tags are gone, so an encoded tag survives as text.
        dataRow("encoded tag stays", "&lt;b&gt;", "<b>");
        dataRow("amp decoded once", "&amp;lt; &amp;nbsp;", "&lt; &nbsp;");
        dataRow("entities are case-sensitive", "&AMP; &Quot; &NBSP;", "&AMP; &Quot; &NBSP;");
        dataRow("tags and entities", "<td>Fish &amp; Chips&nbsp;<br/>&quot;menu&quot;</td>", "Fish & Chips\"menu\"");
        // clang-format on
    }

    void stripTags()
    {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(TextHelpers::StripTags(html), expected);
    }

    void getLastPart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("expected");

        // clang-format off
        dataRow("url", "http://h/a/b/c.zip", "/", "c.zip");
        dataRow("windows path", "C:\\dir\\f.tbq", "\\", "f.tbq");
        dataRow("no delimiter", "c.zip", "/", "c.zip");
        dataRow("ends with delimiter", "http://h/a/", "/", "");
        dataRow("empty text", "", "/", "");
        dataRow("two-character delimiter", "a//b//c", "//", "a//b//c");
        dataRow("empty delimiter", "a/b", "", "a/b");
        // clang-format on
    }

    void getLastPart()
    {
        QFETCH(QString, text);
        QFETCH(QString, delimiter);
        QFETCH(QString, expected);
        QCOMPARE(TextHelpers::GetLastPart(text, delimiter), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextHelpers)
#include "test_texthelpers.moc"
