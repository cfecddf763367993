#include <QStringList>
#include <QTest>

#include "core/search/albumparser.h"
#include "core/search/groupparser.h"
#include "core/search/messagemask.h"
#include "core/search/wildcard.h"
#include "support/testfiles.h"

using Numbers = QList<qint32>;
using S = QStringList;

namespace {

Numbers range(qint32 first, qint32 last)
{
    Numbers numbers;
    for (qint64 n = first; n <= last; ++n) // 64 bits, so the largest number ends the loop
        numbers.append(qint32(n));
    return numbers;
}

// A message page laid out like the group service's: header lines closed by "<br>", then the
// message body holding the attachment links.
QString messagePage(const QString &from, const QString &subject, const QString &body)
{
    return "<html><body>\n<table class=\"msghead\"><tr><td>\n<b>From:</b> " + from +
           "<br>\n<b>Subject:</b> " + subject +
           "<br>\n<b>Date:</b> Mon Jun 3, 2002 10:15 am<br>\n</td></tr></table>\n"
           "<div class=\"msgbody\">\n" +
           body + "\n</div></body></html>";
}

QString attachment(const QString &url)
{
    return "<a href=\"" + url + "\">download</a><br>\n";
}

// A script array the way album pages write it: one quoted item per line.
QString scriptArray(const S &items)
{
    return "new Array(\n'" + items.join("',\n'") + "')";
}

QString album(const S &urls, const S &captions)
{
    return "<script>\nvar theUrls = " + scriptArray(urls) +
           ";\nvar imgCleanCaptions = " + scriptArray(captions) +
           ";\nshowAlbum(theUrls);\n</script>";
}

} // namespace

class TestParsers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messageMask_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<Numbers>("numbers"); // none when the mask is refused
        QTest::addColumn<QString>("badPiece");

        // clang-format off
        // Plain decimals, rounded half to even, within 32 bits.
        const std::pair<const char *, qint32> singles[] = {
            {"634", 634}, {"-5", -5}, {"+7", 7}, {"  12  ", 12}, {"1e3", 1000}, {"2.5e1", 25}, {"1e-1", 0}, {"2.5", 2},
            {"3.5", 4}, {"-3.5", -4}, {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<qint32>::min()}};
        for (const auto &[mask, number] : singles)
            dataRow(mask, mask, Numbers{number}, "");
        dataRow("list and range", "634,635,650-680", Numbers{634, 635} + range(650, 680), "");
        dataRow("up to the largest", "2147483645-2147483647", range(2147483645, 2147483647), "");
        dataRow("order and repeats kept", "7,3,1-3,2,7", Numbers{7, 3, 1, 2, 3, 2, 7}, "");
        // Refused, the piece named: no plain decimal, past 32 bits, no ascending range (the first
        // "-" splits a range, so a negative lower bound leaves the lower text empty), too large.
        for (const char *bad : {"2147483648", "2147483647.5", "1e400", "63x4", "0x10", "1 2", "inf", "\n1", "1.6-2.4",
                                "5-5", "10-5", "1-2-3", "1-", "-3-5", "1-10000001"})
            dataRow(bad, bad, Numbers{}, bad);
        for (const char *empty : {"", "   ", "1,,2", "1,", ",1"})
            dataRow(empty, empty, Numbers{}, "");
        // The first bad piece stops the reading, reported trimmed, and nothing is returned.
        dataRow("bad piece in the middle", "1-3, abc ,9", Numbers{}, "abc");
        dataRow("bad range after good ones", "1-3,4-2", Numbers{}, "4-2");
        dataRow("pieces adding up past the cap", "1-6000000,1-5000000", Numbers{}, "1-5000000");
        // Large masks are read whole, up to ten million numbers.
        dataRow("ten million", "1-10000000", range(1, 10000000), "");
        // clang-format on
    }

    void messageMask()
    {
        QFETCH(QString, mask);
        QFETCH(Numbers, numbers);
        QFETCH(QString, badPiece);

        const MessageMask::Result result = MessageMask::ParseMessageMask(mask);
        QCOMPARE(result.ok, !numbers.isEmpty());
        QCOMPARE(result.numbers, numbers);
        QCOMPARE(result.badPiece, badPiece);
    }

    void wildcard_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<S>("matches");
        QTest::addColumn<S>("misses");

        // clang-format off
        const QString as(10000, 'a');
        dataRow("whole text, case-sensitive", "ab", S{"ab"}, S{"abc", "a", "AB", "Ab", ""});
        dataRow("backslash is plain", "a\\b", S{"a\\b"}, S{"ab", "a/b"});
        dataRow("star both sides", "*b*", S{"b", "abc"}, S{"acd", ""});
        dataRow("star inside", "a*c", S{"ac", "abc", "abcbc"}, S{"acb"});
        dataRow("extension", "*.jpg", S{"photo.jpg", ".jpg"}, S{"Photo.JPG", "photo.jpg.zip"});
        // A star gives back characters when a later part fails.
        dataRow("retry after partial", "*bc", S{"abcbc", "bc"}, S{"abcbd"});
        dataRow("second star retries", "*ss*ss*", S{"mississippi"}, S{"missip"});
        dataRow("question", "a?c", S{"abc", "a#c"}, S{"ac", "abbc"});
        dataRow("digit", "a#b", S{"a1b", "a0b", "a9b"}, S{"aXb", "a#b", "ab", "a\uFF15b"});
        dataRow("list", "[abc]", S{"a", "c"}, S{"d", "ab", ""});
        dataRow("range", "[a-z]", S{"a", "m", "z"}, S{"M", "-"});
        dataRow("negated list", "[!abc]", S{"d"}, S{"a", ""});
        // Wildcard characters inside a list are plain characters.
        dataRow("wildcards in list", "[*?#]", S{"*", "?", "#"}, S{"x", "1", ""});
        // An unclosed "[" makes the whole pattern match nothing.
        dataRow("unclosed list", "[abc", S{}, S{"[abc", "a"});
        // Backtracking into every star would take longer than the test's time limit here.
        dataRow("many stars", "*a*a*a*a*a*b", S{as + 'b'}, S{as});
        // clang-format on
    }

    void wildcard()
    {
        QFETCH(QString, pattern);
        QFETCH(S, matches);
        QFETCH(S, misses);
        for (const QString &text : matches)
            QVERIFY2(Wildcard::matches(text, pattern), qPrintable(text));
        for (const QString &text : misses)
            QVERIFY2(!Wildcard::matches(text, pattern), qPrintable(text.left(20)));
    }

    void groupPage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("filters"); // "author|subject|file name"
        QTest::addColumn<bool>("rejected");
        QTest::addColumn<QString>("expected"); // "author|subject|URL and file name of each link"

        // clang-format off
        const QString zip = "http://f1.grp.example/a/b.zip", Z = zip + " b.zip";
        const QString jpg = "http://f2.grp.example/msg/12/photo%201.jpg", J = jpg + " photo%201.jpg";
        const QString twoLinks =
            attachment(zip) + "<p><a href=\"http://groups.example.com/\">group</a>" + attachment(jpg);
        const QString ann = "<span class=\"author\">Ann</span>";
        const QString normal = messagePage(ann, "CZ69 parts", twoLinks), parts = "Ann|CZ69 parts|";
        const QString noName = messagePage(ann, "Hi", attachment("http://f1.grp/a/"));
        const QString bare = "<a href=\"" + zip + "\">b</a>";
        const QString otherLinks = "<A HREF=\"http://f1.g/x.zip\"><a href='http://f1.g/y.zip'>"
                                   "<a  href=\"http://f1.g/z.zip\"><a href=\"https://f1.g/w.zip\">";

        dataRow("two links", normal, "", false, parts + Z + ' ' + J);
        const QString tagged = messagePage("<a href=\"mailto:b@x\">Bob &amp; Co</a> ", "<i>&quot;R&quot;</i>&nbsp;p", "");
        dataRow("tags and entities in the fields", tagged, "", false, "Bob & Co|\"R\"p|");
        dataRow("address cut short", messagePage("<i>Ann &lt;a@x</i>", "Hi", ""), "", false, "Ann <a@x>|Hi|");
        dataRow("other link spellings ignored", messagePage(ann, "Hi", otherLinks + attachment(jpg)), "", false, "Ann|Hi|" + J);
        dataRow("author filter passes", normal, "*Ann*", false, parts + Z + ' ' + J);
        dataRow("author filter is case-sensitive", normal, "*ann*", true, "Ann||");
        dataRow("subject filter passes", normal, "|CZ69*", false, parts + Z + ' ' + J);
        dataRow("subject filter is case-sensitive", messagePage(ann, "cz69", twoLinks), "|CZ69*", true, "Ann|cz69|");
        dataRow("file name filter", normal, "||*.jpg", false, parts + J);
        dataRow("empty file name fails a filter", noName, "||*.jpg", false, "Ann|Hi|");
        // A missing marker leaves its field empty and its filter unapplied.
        dataRow("empty page", "", "*x*|*x*", false, "||");
        dataRow("no author, name filter", twoLinks, "Ann", false, "||" + Z + ' ' + J);
        // Malformed pages end without a crash and keep what could be read.
        dataRow("author line never ends", "<b>From:</b> Ann " + bare, "Bob", false, "||" + Z);
        dataRow("subject line never ends", "<b>From:</b> Ann<br><b>Subject:</b> Hi " + bare, "|Bye", false, "Ann||" + Z);
        // clang-format on
    }

    void groupPage()
    {
        QFETCH(QString, page);
        QFETCH(QString, filters);
        QFETCH(bool, rejected);
        QFETCH(QString, expected);

        const S f = filters.split('|');
        const GroupParser::Page result =
            GroupParser::parse(page, {f.value(1), f.value(0), f.value(2)});
        QCOMPARE(result.rejected, rejected);
        S links;
        for (const GroupParser::Link &link : result.links)
            links << link.url << link.fileName;
        QCOMPARE(result.author + '|' + result.subject + '|' + links.join(' '), expected);
    }

    void albumPage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("hasPictureList");
        QTest::addColumn<S>("urls");
        QTest::addColumn<S>("captions");

        // clang-format off
        const QString P1 = "http://www.zing.com/picture/a1/p1", O1 = P1 + ".orig.jpg";
        const QString P2 = "http://www.zing.com/picture/a1/p2", O2 = P2 + ".orig.jpg";
        const QString P3 = "http://www.zing.com/picture/a1/p3", O3 = P3 + ".orig.jpg";
        const QString urls = "<script>var theUrls = " + scriptArray({P1, P2}) + ";\n";
        const S two{O1, O2};

        dataRow("three", album({P1, P2, P3}, {"x", "y", "z"}), true, S{O1, O2, O3}, S{"x", "y", "z"});
        // An item without the prefix keeps its place; the list ends at the last picture.
        dataRow("no picture inside", album({P1, "/s.gif", P3}, {"x", "y", "z"}), true, S{O1, "", O3}, S{"x", "y", "z"});
        dataRow("no picture last", album({P1, P2, "/end.gif"}, {"x", "y", "z"}), true, two, S{"x", "y"});
        dataRow("empty list", "<script>var theUrls = new Array();</script>", true, S{""}, S{""});
        dataRow("prefix is case-sensitive", album({P1.toUpper()}, {"x"}), true, S{""}, S{"x"});
        dataRow("comma in a caption splits it", album({P1, P2}, {"Sun, red", "B"}), true, two, S{"Sun", " red"});
        // The caption list ends at ");", so a bracket inside a caption is kept.
        dataRow("bracket in a caption", album({P1, P2}, {"Me (l)", "Hi :)"}), true, two, S{"Me (l)", "Hi :)"});
        // The script's escaping backslash goes with the quote it escapes.
        dataRow("quotes removed", album({P1, P2}, {"Bob's", "Bob\\'s"}), true, two, S{"Bobs", "Bobs"});
        dataRow("fewer captions", album({P1, P2, P3}, {"x"}), true, S{O1, O2, O3}, S{"x", "", ""});
        dataRow("no captions", urls, true, two, S{"", ""});
        dataRow("empty page", "", false, S{}, S{});
        dataRow("no list", "<html><body>Album not found</body></html>", false, S{}, S{});
        dataRow("list never closes", "var theUrls = new Array('" + P1 + "',\n'", true, S{}, S{});
        // clang-format on
    }

    void albumPage()
    {
        QFETCH(QString, page);
        QFETCH(bool, hasPictureList);
        QFETCH(S, urls);
        QFETCH(S, captions);

        const AlbumParser::Page result = AlbumParser::parse(page);
        QCOMPARE(result.hasPictureList, hasPictureList);
        S gotUrls, gotCaptions;
        for (const AlbumParser::Picture &picture : result.pictures) {
            gotUrls.append(picture.url);
            gotCaptions.append(picture.caption);
        }
        QCOMPARE(gotUrls, urls);
        QCOMPARE(gotCaptions, captions);
    }
};

QTEST_GUILESS_MAIN(TestParsers)
#include "test_parsers.moc"
