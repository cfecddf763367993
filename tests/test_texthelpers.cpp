#include <QTest>

#include "core/search/texthelpers.h"

class TestTextHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stripTags_data();
    void stripTags();
    void getLastPart_data();
    void getLastPart();
};

void TestTextHelpers::stripTags_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");

    // Tags
    QTest::newRow("two tags") << "<b>bold</b> <i>it</i>"
                              << "bold it";
    QTest::newRow("tag with attribute") << "<a href='x'>link</a>"
                                        << "link";
    QTest::newRow("tag keeps spaces around it") << "a <br> b"
                                                << "a  b";
    QTest::newRow("tag across a line break") << "before<span\nclass='x'>after"
                                             << "beforeafter";
    // The first ">" after a "<" ends the tag, so an inner "<" is swallowed with it.
    QTest::newRow("nested brackets") << "a<b<c>d>e"
                                     << "ad>e";
    QTest::newRow("open bracket without close") << "a < b"
                                                << "a < b";
    QTest::newRow("close bracket alone") << "x > y"
                                         << "x > y";
    QTest::newRow("unclosed tag after a closed one") << "<b>x</b> 1 < 2"
                                                     << "x 1 < 2";
    QTest::newRow("empty") << ""
                           << "";

    // Entities
    QTest::newRow("nbsp between words") << "one&nbsp;two"
                                        << "onetwo";
    QTest::newRow("nbsp between spaces") << "one &nbsp; two"
                                         << "one  two";
    QTest::newRow("quot") << "&quot;hi&quot;"
                          << "\"hi\"";
    // Decoded after the tags are gone, so an encoded tag survives as text.
    QTest::newRow("encoded tag stays") << "&lt;b&gt;"
                                       << "<b>";
    QTest::newRow("amp decoded once") << "&amp;lt;"
                                      << "&lt;";
    QTest::newRow("amp before nbsp decoded once") << "&amp;nbsp;"
                                                  << "&nbsp;";
    QTest::newRow("entities are case-sensitive") << "&AMP; &Quot; &NBSP;"
                                                 << "&AMP; &Quot; &NBSP;";
    QTest::newRow("tags and entities") << "<td>Fish &amp; Chips&nbsp;<br/>&quot;menu&quot;</td>"
                                       << "Fish & Chips\"menu\"";
}

void TestTextHelpers::stripTags()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    QCOMPARE(TextHelpers::StripTags(html), expected);
}

void TestTextHelpers::getLastPart_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("url") << "http://h/a/b/c.zip"
                         << "/"
                         << "c.zip";
    QTest::newRow("windows path") << "C:\\dir\\f.tbq"
                                  << "\\"
                                  << "f.tbq";
    QTest::newRow("no delimiter") << "c.zip"
                                  << "/"
                                  << "c.zip";
    QTest::newRow("ends with delimiter") << "http://h/a/"
                                         << "/"
                                         << "";
    QTest::newRow("only the delimiter") << "/"
                                        << "/"
                                        << "";
    QTest::newRow("empty text") << ""
                                << "/"
                                << "";
    QTest::newRow("two-character delimiter") << "a//b//c"
                                             << "//"
                                             << "a//b//c";
    QTest::newRow("empty delimiter") << "a/b"
                                     << ""
                                     << "a/b";
}

void TestTextHelpers::getLastPart()
{
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(QString, expected);
    QCOMPARE(TextHelpers::GetLastPart(text, delimiter), expected);
}

QTEST_GUILESS_MAIN(TestTextHelpers)
#include "test_texthelpers.moc"
