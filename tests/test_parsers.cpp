#include <QStringList>
#include <QTest>

#include "core/search/albumparser.h"
#include "core/search/groupparser.h"
#include "core/search/messagemask.h"
#include "core/search/wildcard.h"

namespace {

QList<qint32> range(qint32 first, qint32 last)
{
    QList<qint32> numbers;
    for (qint32 n = first; n <= last; ++n)
        numbers.append(n);
    return numbers;
}

// A message page laid out like the group service's: the header lines, each closed by
// "<br>", then the message body holding the attachment links.
QString messagePage(const QString &from, const QString &subject, const QString &body)
{
    return QStringLiteral("<html><head><title>Message</title></head><body>\n"
                          "<table class=\"msghead\"><tr><td>\n<b>From:</b> ") +
           from + QStringLiteral("<br>\n<b>Subject:</b> ") + subject +
           QStringLiteral("<br>\n<b>Date:</b> Mon Jun 3, 2002 10:15 am<br>\n</td></tr></table>\n"
                          "<div class=\"msgbody\">\n") +
           body + QStringLiteral("\n</div></body></html>");
}

QString attachment(const QString &url)
{
    return QStringLiteral("<a href=\"") + url + QStringLiteral("\">download</a><br>\n");
}

// A script array the way album pages write it: one quoted item per line.
QString scriptArray(const QStringList &items)
{
    return QStringLiteral("new Array(\n'") + items.join(QStringLiteral("',\n'")) +
           QStringLiteral("')");
}

QString albumScript(const QStringList &urls, const QStringList &captions)
{
    return QStringLiteral("<html><body><div id=\"album\"></div>\n<script>\nvar theUrls = ") +
           scriptArray(urls) + QStringLiteral(";\nvar imgCleanCaptions = ") +
           scriptArray(captions) +
           QStringLiteral(";\nshowAlbum(theUrls);\n</script></body></html>");
}

const QString P1 = QStringLiteral("http://www.zing.com/picture/a1/p1");
const QString P2 = QStringLiteral("http://www.zing.com/picture/a1/p2");
const QString P3 = QStringLiteral("http://www.zing.com/picture/a1/p3");

QString orig(const QString &url)
{
    return url + QStringLiteral(".orig.jpg");
}

} // namespace

class TestParsers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messageMask_data();
    void messageMask();
    void messageMaskLargeRanges();
    void messageMaskSizeCap_data();
    void messageMaskSizeCap();

    void wildcard_data();
    void wildcard();
    void wildcardManyStarsOnLongText();

    void groupPage_data();
    void groupPage();

    void albumPage_data();
    void albumPage();
};

void TestParsers::messageMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<qint32>>("numbers");
    QTest::addColumn<QString>("badPiece");

    // Single numbers
    QTest::newRow("one number") << "634" << true << QList<qint32>{634} << "";
    QTest::newRow("negative") << "-5" << true << QList<qint32>{-5} << "";
    QTest::newRow("plus sign") << "+7" << true << QList<qint32>{7} << "";
    QTest::newRow("spaces around") << "  12  " << true << QList<qint32>{12} << "";
    QTest::newRow("leading zeros") << "007" << true << QList<qint32>{7} << "";
    QTest::newRow("exponent") << "1e3" << true << QList<qint32>{1000} << "";
    QTest::newRow("exponent 2") << "1e2" << true << QList<qint32>{100} << "";
    QTest::newRow("capital exponent") << "1E2" << true << QList<qint32>{100} << "";
    QTest::newRow("fraction and exponent") << "2.5e1" << true << QList<qint32>{25} << "";
    QTest::newRow("negative exponent") << "1e-1" << true << QList<qint32>{0} << "";

    // Rounding: ties go to the even neighbour
    QTest::newRow("2.5 to 2") << "2.5" << true << QList<qint32>{2} << "";
    QTest::newRow("3.5 to 4") << "3.5" << true << QList<qint32>{4} << "";
    QTest::newRow("1.5 to 2") << "1.5" << true << QList<qint32>{2} << "";
    QTest::newRow("0.5 to 0") << "0.5" << true << QList<qint32>{0} << "";
    QTest::newRow("-2.5 to -2") << "-2.5" << true << QList<qint32>{-2} << "";
    QTest::newRow("-3.5 to -4") << "-3.5" << true << QList<qint32>{-4} << "";
    QTest::newRow("2.6 up") << "2.6" << true << QList<qint32>{3} << "";
    QTest::newRow("2.4 down") << "2.4" << true << QList<qint32>{2} << "";
    QTest::newRow("no digits before point") << ".5" << true << QList<qint32>{0} << "";

    // 32-bit limits
    QTest::newRow("largest") << "2147483647" << true << QList<qint32>{2147483647} << "";
    QTest::newRow("smallest") << "-2147483648" << true
                              << QList<qint32>{std::numeric_limits<qint32>::min()} << "";
    QTest::newRow("one above largest") << "2147483648" << false << QList<qint32>{} << "2147483648";
    QTest::newRow("one below smallest")
        << "-2147483649" << false << QList<qint32>{} << "-2147483649";
    QTest::newRow("tie rounding past largest")
        << "2147483647.5" << false << QList<qint32>{} << "2147483647.5";
    QTest::newRow("tie rounding to even below largest")
        << "2147483646.5" << true << QList<qint32>{2147483646} << "";
    QTest::newRow("infinite exponent") << "1e400" << false << QList<qint32>{} << "1e400";

    // Not numbers and not ranges
    QTest::newRow("word") << "abc" << false << QList<qint32>{} << "abc";
    QTest::newRow("hex") << "0x10" << false << QList<qint32>{} << "0x10";
    QTest::newRow("inner space") << "1 2" << false << QList<qint32>{} << "1 2";
    QTest::newRow("two points") << "1.2.3" << false << QList<qint32>{} << "1.2.3";
    QTest::newRow("point alone") << "." << false << QList<qint32>{} << ".";
    QTest::newRow("sign alone") << "+" << false << QList<qint32>{} << "+";
    QTest::newRow("exponent without digits") << "1e" << false << QList<qint32>{} << "1e";
    QTest::newRow("exponent alone") << "e5" << false << QList<qint32>{} << "e5";
    QTest::newRow("inf") << "inf" << false << QList<qint32>{} << "inf";
    QTest::newRow("nan") << "nan" << false << QList<qint32>{} << "nan";
    QTest::newRow("tab is not trimmed") << "1\t" << false << QList<qint32>{} << "1\t";
    QTest::newRow("line break is not trimmed") << "\n1" << false << QList<qint32>{} << "\n1";

    // Empty pieces
    QTest::newRow("empty mask") << "" << false << QList<qint32>{} << "";
    QTest::newRow("spaces only") << "   " << false << QList<qint32>{} << "";
    QTest::newRow("double comma") << "1,,2" << false << QList<qint32>{} << "";
    QTest::newRow("trailing comma") << "1," << false << QList<qint32>{} << "";
    QTest::newRow("leading comma") << ",1" << false << QList<qint32>{} << "";

    // Ranges
    QTest::newRow("list and range")
        << "634,635,650-680" << true << QList<qint32>{634, 635} + range(650, 680) << "";
    QTest::newRow("spaces everywhere")
        << "634 , 640 - 642" << true << QList<qint32>{634, 640, 641, 642} << "";
    QTest::newRow("space before dash") << "1 -3" << true << QList<qint32>{1, 2, 3} << "";
    QTest::newRow("from zero") << "0-2" << true << QList<qint32>{0, 1, 2} << "";
    QTest::newRow("bounds rounded") << "1.4-3.6" << true << QList<qint32>{1, 2, 3, 4} << "";
    QTest::newRow("bounds tie to even") << "2.5-3.5" << true << QList<qint32>{2, 3, 4} << "";
    QTest::newRow("bounds equal after rounding")
        << "1.6-2.4" << false << QList<qint32>{} << "1.6-2.4";
    QTest::newRow("up to the largest number")
        << "2147483645-2147483647" << true << QList<qint32>{2147483645, 2147483646, 2147483647}
        << "";
    QTest::newRow("equal bounds") << "5-5" << false << QList<qint32>{} << "5-5";
    QTest::newRow("descending") << "10-5" << false << QList<qint32>{} << "10-5";
    QTest::newRow("negative upper bound") << "5--3" << false << QList<qint32>{} << "5--3";
    QTest::newRow("letters") << "a-b" << false << QList<qint32>{} << "a-b";
    QTest::newRow("two dashes") << "1-2-3" << false << QList<qint32>{} << "1-2-3";
    QTest::newRow("dash alone") << "-" << false << QList<qint32>{} << "-";
    QTest::newRow("dash between spaces") << " - " << false << QList<qint32>{} << "-";
    QTest::newRow("no upper bound") << "1-" << false << QList<qint32>{} << "1-";
    QTest::newRow("tab before upper bound") << "1-\t3" << false << QList<qint32>{} << "1-\t3";
    // The first "-" splits the piece, so a negative lower bound leaves the lower text empty.
    QTest::newRow("negative lower bound") << "-3--1" << false << QList<qint32>{} << "-3--1";
    QTest::newRow("negative lower, positive upper") << "-3-5" << false << QList<qint32>{} << "-3-5";

    // Order and duplicates are kept
    QTest::newRow("repeated") << "7,7" << true << QList<qint32>{7, 7} << "";
    QTest::newRow("unsorted") << "3,1,2" << true << QList<qint32>{3, 1, 2} << "";
    QTest::newRow("overlapping") << "1-3,2" << true << QList<qint32>{1, 2, 3, 2} << "";

    // The first bad piece stops the reading and nothing is returned
    QTest::newRow("bad piece in the middle") << "1-3,abc,9" << false << QList<qint32>{} << "abc";
    QTest::newRow("bad piece reported trimmed") << "1, abc ,x" << false << QList<qint32>{} << "abc";
    QTest::newRow("bad range after good ones") << "1-3,4-2" << false << QList<qint32>{} << "4-2";
}

void TestParsers::messageMask()
{
    QFETCH(QString, mask);
    QFETCH(bool, ok);
    QFETCH(QList<qint32>, numbers);
    QFETCH(QString, badPiece);

    const MessageMask::Result result = MessageMask::ParseMessageMask(mask);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.numbers, numbers);
    QCOMPARE(result.badPiece, badPiece);
}

void TestParsers::messageMaskLargeRanges()
{
    const MessageMask::Result million = MessageMask::ParseMessageMask(QStringLiteral("1-1000000"));
    QVERIFY(million.ok);
    QCOMPARE(million.numbers.size(), 1000000);
    QCOMPARE(million.numbers.first(), 1);
    QCOMPARE(million.numbers.last(), 1000000);
    QCOMPARE(million.numbers.at(499999), 500000);

    // Many small ranges one after another.
    QStringList pieces;
    for (int n = 1; n < 200000; n += 2)
        pieces.append(QString::number(n) + QLatin1Char('-') + QString::number(n + 1));
    const MessageMask::Result many = MessageMask::ParseMessageMask(pieces.join(QLatin1Char(',')));
    QVERIFY(many.ok);
    QCOMPARE(many.numbers, range(1, 200000));
}

void TestParsers::messageMaskSizeCap_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("badPiece");

    QTest::newRow("ten million") << "1-10000000" << true << "";
    QTest::newRow("one more than ten million") << "1-10000001" << false << "1-10000001";
    QTest::newRow("the whole positive range") << "0-2147483647" << false << "0-2147483647";
    QTest::newRow("pieces adding up past the cap") << "1-6000000,1-5000000" << false << "1-5000000";
    QTest::newRow("one number past the cap") << "1-10000000,5" << false << "5";
}

void TestParsers::messageMaskSizeCap()
{
    QFETCH(QString, mask);
    QFETCH(bool, ok);
    QFETCH(QString, badPiece);

    const MessageMask::Result result = MessageMask::ParseMessageMask(mask);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.badPiece, badPiece);
    if (ok) {
        QCOMPARE(result.numbers.size(), 10000000);
        QCOMPARE(result.numbers.last(), 10000000);
    } else {
        QVERIFY(result.numbers.isEmpty());
    }
}

void TestParsers::wildcard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("expected");

    // Whole text, case-sensitive
    QTest::newRow("same text") << "a.b"
                               << "a.b" << true;
    QTest::newRow("prefix only") << "abc"
                                 << "ab" << false;
    QTest::newRow("longer pattern") << "ab"
                                    << "abc" << false;
    QTest::newRow("case differs") << "A"
                                  << "a" << false;
    QTest::newRow("extension case differs") << "Photo.JPG"
                                            << "*.jpg" << false;
    QTest::newRow("backslash is plain") << "a\\b"
                                        << "a\\b" << true;
    QTest::newRow("non-ASCII literal") << "Zürich"
                                       << "Z?rich" << true;

    // Empty text and pattern
    QTest::newRow("both empty") << ""
                                << "" << true;
    QTest::newRow("empty pattern") << "a"
                                   << "" << false;
    QTest::newRow("star on empty") << ""
                                   << "*" << true;
    QTest::newRow("question on empty") << ""
                                       << "?" << false;
    QTest::newRow("digit on empty") << ""
                                    << "#" << false;
    QTest::newRow("list on empty") << ""
                                   << "[a]" << false;

    // Star
    QTest::newRow("star alone") << "abc"
                                << "*" << true;
    QTest::newRow("star at end") << "abc"
                                 << "a*" << true;
    QTest::newRow("star at start") << "abc"
                                   << "*c" << true;
    QTest::newRow("star both sides") << "abc"
                                     << "*b*" << true;
    QTest::newRow("star both sides missing") << "abc"
                                             << "*d*" << false;
    QTest::newRow("star empty run") << "ac"
                                    << "a*c" << true;
    QTest::newRow("stars between all") << "abc"
                                       << "a*b*c" << true;
    QTest::newRow("double star") << "aa"
                                 << "a**a" << true;
    QTest::newRow("trailing stars") << "ab"
                                    << "ab**" << true;
    QTest::newRow("extension") << "photo.jpg"
                               << "*.jpg" << true;
    QTest::newRow("extension in the middle") << "photo.jpg.zip"
                                             << "*.jpg" << false;

    // Star that has to give back characters
    QTest::newRow("retry after partial") << "abcbc"
                                         << "*bc" << true;
    QTest::newRow("retry fails") << "abcbd"
                                 << "*bc" << false;
    QTest::newRow("overlapping start") << "aab"
                                       << "*ab" << true;
    QTest::newRow("second star retries") << "mississippi"
                                         << "*ss*ss*" << true;
    QTest::newRow("inner retry") << "mississippi"
                                 << "m*iss*ppi" << true;
    QTest::newRow("retry from inside a match") << "abcxbcy"
                                               << "a*bcy" << true;
    QTest::newRow("star then question") << "ab"
                                        << "*?" << true;
    QTest::newRow("star then two questions") << "a"
                                             << "*??" << false;

    // Question mark and digit
    QTest::newRow("question") << "abc"
                              << "a?c" << true;
    QTest::newRow("question needs a char") << "ac"
                                           << "a?c" << false;
    QTest::newRow("question takes one") << "abbc"
                                        << "a?c" << false;
    QTest::newRow("digit") << "a1b"
                           << "a#b" << true;
    QTest::newRow("digit rejects letter") << "aXb"
                                          << "a#b" << false;
    QTest::newRow("digit rejects hash") << "a#b"
                                        << "a#b" << false;
    QTest::newRow("digit rejects wide digit") << "\uFF15"
                                              << "#" << false;
    QTest::newRow("camera name") << "IMG_0042.jpg"
                                 << "IMG_####*" << true;
    QTest::newRow("camera name letter") << "IMG_004a.jpg"
                                        << "IMG_####*" << false;
    QTest::newRow("camera name short") << "IMG_004"
                                       << "IMG_####*" << false;

    // Lists
    QTest::newRow("list in") << "b"
                             << "[abc]" << true;
    QTest::newRow("list out") << "d"
                              << "[abc]" << false;
    QTest::newRow("list is one char") << "ab"
                                      << "[ab]" << false;
    QTest::newRow("range in") << "m"
                              << "[a-z]" << true;
    QTest::newRow("range case") << "M"
                                << "[a-z]" << false;
    QTest::newRow("range ends") << "z"
                                << "[a-z]" << true;
    QTest::newRow("digit range") << "5"
                                 << "[0-9]" << true;
    QTest::newRow("two ranges second") << "y"
                                       << "[a-cx-z]" << true;
    QTest::newRow("two ranges gap") << "q"
                                    << "[a-cx-z]" << false;
    QTest::newRow("descending range holds nothing") << "m"
                                                    << "[z-a]" << false;
    QTest::newRow("non-ASCII range") << "é"
                                     << "[à-ü]" << true;
    QTest::newRow("negated out") << "d"
                                 << "[!abc]" << true;
    QTest::newRow("negated in") << "a"
                                << "[!abc]" << false;
    QTest::newRow("negated range") << "M"
                                   << "[!a-z]" << true;
    QTest::newRow("negated needs a char") << ""
                                          << "[!a]" << false;
    QTest::newRow("lists in a name") << "DSC_12.JPG"
                                     << "[A-Z][A-Z][A-Z]_#*.[jJ][pP][gG]" << true;

    // Wildcard characters inside brackets are plain characters
    QTest::newRow("star in list") << "*"
                                  << "[*]" << true;
    QTest::newRow("star in list is no star") << "x"
                                             << "[*]" << false;
    QTest::newRow("question in list") << "?"
                                      << "[?]" << true;
    QTest::newRow("question in list is no question") << "x"
                                                     << "[?]" << false;
    QTest::newRow("hash in list") << "#"
                                  << "[#]" << true;
    QTest::newRow("hash in list is no digit") << "1"
                                              << "[#]" << false;
    QTest::newRow("open bracket in list") << "["
                                          << "[[]" << true;
    QTest::newRow("dash first") << "-"
                                << "[-a]" << true;
    QTest::newRow("dash last") << "-"
                               << "[a-]" << true;
    QTest::newRow("dash last is no range") << "b"
                                           << "[a-]" << false;
    QTest::newRow("bang not first") << "!"
                                    << "[a!]" << true;
    QTest::newRow("negated bang") << "!"
                                  << "[!!]" << false;
    QTest::newRow("negated bang other") << "x"
                                        << "[!!]" << true;

    // Empty lists and stray brackets
    QTest::newRow("empty list matches no char") << "a"
                                                << "[]" << false;
    QTest::newRow("empty list matches no empty text") << ""
                                                      << "[]" << false;
    QTest::newRow("bracket after empty list") << "]"
                                              << "[]]" << false;
    QTest::newRow("empty negated list takes any char") << "a"
                                                       << "[!]" << true;
    QTest::newRow("empty negated list needs a char") << ""
                                                     << "[!]" << false;
    QTest::newRow("closing bracket outside") << "a]"
                                             << "[a]]" << true;
    QTest::newRow("closing bracket alone") << "]"
                                           << "]" << true;

    // An unclosed "[" makes the whole pattern match nothing
    QTest::newRow("unclosed list") << "[abc"
                                   << "[abc" << false;
    QTest::newRow("unclosed one char") << "a"
                                       << "[a" << false;
    QTest::newRow("unclosed alone") << ""
                                    << "[" << false;
    QTest::newRow("unclosed at end") << "abc"
                                     << "abc[" << false;
    QTest::newRow("unclosed after star") << "abc"
                                         << "*[" << false;
    QTest::newRow("unclosed negated") << "b"
                                      << "[!a" << false;
}

void TestParsers::wildcard()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, expected);
    QCOMPARE(Wildcard::matches(text, pattern), expected);
}

void TestParsers::wildcardManyStarsOnLongText()
{
    // Backtracking into every star would take longer than the test's time limit here.
    const QString pattern = QStringLiteral("*a*a*a*a*a*b");
    const QString text(10000, QLatin1Char('a'));
    QVERIFY(!Wildcard::matches(text, pattern));
    QVERIFY(Wildcard::matches(text + QLatin1Char('b'), pattern));
    QVERIFY(!Wildcard::matches(text, QStringLiteral("*?*?*?*?*?*?*?*?*?*?b")));
    QVERIFY(!Wildcard::matches(text, QStringLiteral("*[a]*[!b]*[a-a]*#*")));
}

void TestParsers::groupPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("authorFilter");
    QTest::addColumn<QString>("subjectFilter");
    QTest::addColumn<QString>("fileNameFilter");
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QStringList>("fileNames");

    const QString zip = QStringLiteral("http://f1.grp.example/a/b.zip");
    const QString jpg = QStringLiteral("http://f2.grp.example/msg/12/photo%201.jpg");
    const QString twoLinks =
        attachment(zip) +
        QStringLiteral("<p>See <a href=\"http://groups.example.com/\">the group"
                       "</a></p>\n") +
        attachment(jpg);
    const QString ann = QStringLiteral("<span class=\"author\">Ann</span>");
    const QString normal = messagePage(ann, QStringLiteral("CZ69 parts"), twoLinks);

    // Fields and links
    QTest::newRow("two links") << normal << ""
                               << ""
                               << "" << false << "Ann"
                               << "CZ69 parts" << QStringList{zip, jpg}
                               << QStringList{"b.zip", "photo%201.jpg"};
    QTest::newRow("tags and entities in the fields")
        << messagePage(QStringLiteral("<a href=\"mailto:bob@x\">Bob &amp; Co</a> "),
                       QStringLiteral("<i>&quot;Rare&quot;</i>&nbsp;photos"), attachment(zip))
        << ""
        << ""
        << "" << false << "Bob & Co"
        << "\"Rare\"photos" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("address cut short gets its closing bracket")
        << messagePage(QStringLiteral("<span>Ann &lt;ann@x</span>"), QStringLiteral("Hi"),
                       attachment(zip))
        << ""
        << ""
        << "" << false << "Ann <ann@x>"
        << "Hi" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("whole address kept")
        << messagePage(QStringLiteral("Ann &lt;ann@x&gt;"), QStringLiteral("Hi"), QString()) << ""
        << ""
        << "" << false << "Ann <ann@x>"
        << "Hi" << QStringList{} << QStringList{};
    QTest::newRow("only spaces are trimmed")
        << messagePage(QStringLiteral(" \tAnn "), QStringLiteral("Hi\t"), QString()) << ""
        << ""
        << "" << false << "\tAnn"
        << "Hi\t" << QStringList{} << QStringList{};
    QTest::newRow("break right after the marker")
        << QStringLiteral("<b>From:<br> x<b>Subject:</b> Hi<br>") << ""
        << ""
        << "" << false << ""
        << "Hi" << QStringList{} << QStringList{};
    // The subject is looked for after the author's line only.
    QTest::newRow("subject before author")
        << QStringLiteral("<b>Subject:</b> Early<br>\n<b>From:</b> Ann<br>\n") + attachment(zip)
        << ""
        << ""
        << "" << false << "Ann"
        << "" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("exact link offsets")
        << QStringLiteral("<a href=\"http://f1.grp.example/a/b.zip\">") << ""
        << ""
        << "" << false << ""
        << "" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("one character after the prefix")
        << QStringLiteral("<a href=\"http://fX\">") << ""
        << ""
        << "" << false << ""
        << "" << QStringList{"http://fX"} << QStringList{"fX"};
    QTest::newRow("nothing after the prefix")
        << QStringLiteral("<a href=\"http://f\"><a href=\"http://f\">") << ""
        << ""
        << "" << false << ""
        << "" << QStringList{"http://f", "http://f"} << QStringList{"f", "f"};
    QTest::newRow("capital and single-quoted links ignored")
        << messagePage(ann, QStringLiteral("Hi"),
                       QStringLiteral("<A HREF=\"http://f1.grp.example/x.zip\">x</A>\n"
                                      "<a href='http://f1.grp.example/y.zip'>y</a>\n"
                                      "<a  href=\"http://f1.grp.example/z.zip\">z</a>\n"
                                      "<a href=\"https://f1.grp.example/w.zip\">w</a>\n") +
                           attachment(jpg))
        << ""
        << ""
        << "" << false << "Ann"
        << "Hi" << QStringList{jpg} << QStringList{"photo%201.jpg"};
    QTest::newRow("duplicates kept")
        << messagePage(ann, QStringLiteral("Hi"), attachment(zip) + attachment(zip)) << ""
        << ""
        << "" << false << "Ann"
        << "Hi" << QStringList{zip, zip} << QStringList{"b.zip", "b.zip"};
    QTest::newRow("url ending in slash")
        << messagePage(ann, QStringLiteral("Hi"), attachment(QStringLiteral("http://f1.grp/a/")))
        << ""
        << ""
        << "" << false << "Ann"
        << "Hi" << QStringList{"http://f1.grp/a/"} << QStringList{""};

    // Filters
    QTest::newRow("author filter passes")
        << normal << "*Ann*"
        << ""
        << "" << false << "Ann"
        << "CZ69 parts" << QStringList{zip, jpg} << QStringList{"b.zip", "photo%201.jpg"};
    QTest::newRow("author filter is case-sensitive") << normal << "*ann*"
                                                     << ""
                                                     << "" << true << "Ann"
                                                     << "" << QStringList{} << QStringList{};
    QTest::newRow("subject filter passes")
        << normal << ""
        << "CZ69*"
        << "" << false << "Ann"
        << "CZ69 parts" << QStringList{zip, jpg} << QStringList{"b.zip", "photo%201.jpg"};
    QTest::newRow("subject filter is case-sensitive")
        << messagePage(ann, QStringLiteral("cz69 parts"), twoLinks) << ""
        << "CZ69*"
        << "" << true << "Ann"
        << "cz69 parts" << QStringList{} << QStringList{};
    QTest::newRow("file name filter")
        << normal << ""
        << ""
        << "*.jpg" << false << "Ann"
        << "CZ69 parts" << QStringList{jpg} << QStringList{"photo%201.jpg"};
    QTest::newRow("file name filter is case-sensitive")
        << normal << ""
        << ""
        << "*.JPG" << false << "Ann"
        << "CZ69 parts" << QStringList{} << QStringList{};
    QTest::newRow("empty file name fails a filter")
        << messagePage(ann, QStringLiteral("Hi"), attachment(QStringLiteral("http://f1.grp/a/")))
        << ""
        << ""
        << "*.jpg" << false << "Ann"
        << "Hi" << QStringList{} << QStringList{};
    QTest::newRow("empty file name passes a star")
        << messagePage(ann, QStringLiteral("Hi"), attachment(QStringLiteral("http://f1.grp/a/")))
        << ""
        << ""
        << "*" << false << "Ann"
        << "Hi" << QStringList{"http://f1.grp/a/"} << QStringList{""};
    QTest::newRow("all filters pass") << normal << "A??"
                                      << "*parts"
                                      << "*.zip" << false << "Ann"
                                      << "CZ69 parts" << QStringList{zip} << QStringList{"b.zip"};

    // Missing markers: the field is empty and its filter is not applied
    QTest::newRow("empty page") << ""
                                << "*x*"
                                << "*x*"
                                << "" << false << ""
                                << "" << QStringList{} << QStringList{};
    QTest::newRow("links only") << twoLinks << ""
                                << ""
                                << "" << false << ""
                                << "" << QStringList{zip, jpg}
                                << QStringList{"b.zip", "photo%201.jpg"};
    QTest::newRow("no author, star filter")
        << twoLinks << "*"
        << "*"
        << "" << false << ""
        << "" << QStringList{zip, jpg} << QStringList{"b.zip", "photo%201.jpg"};
    QTest::newRow("no author, name filter")
        << twoLinks << "Ann"
        << ""
        << "" << false << ""
        << "" << QStringList{zip, jpg} << QStringList{"b.zip", "photo%201.jpg"};
    QTest::newRow("no subject, subject filter")
        << QStringLiteral("<b>From:</b> Ann<br>") + twoLinks << ""
        << "CZ*"
        << "" << false << "Ann"
        << "" << QStringList{zip, jpg} << QStringList{"b.zip", "photo%201.jpg"};

    // Malformed pages end without a crash and keep what could be read
    const QString lineLessLink = QStringLiteral("<a href=\"") + zip + QStringLiteral("\">b</a>");
    QTest::newRow("author line never ends")
        << QStringLiteral("<b>From:</b> Ann ") + lineLessLink << "Bob"
        << ""
        << "" << false << ""
        << "" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("subject line never ends")
        << QStringLiteral("<b>From:</b> Ann<br><b>Subject:</b> Hi ") + lineLessLink << ""
        << "Bye"
        << "" << false << "Ann"
        << "" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("last link never closes")
        << attachment(zip) + QStringLiteral("<a href=\"http://f9.grp.example/c.zip>") << ""
        << ""
        << "" << false << ""
        << "" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("page ends inside the marker")
        << attachment(zip) + QStringLiteral("<a href=\"http://") << ""
        << ""
        << "" << false << ""
        << "" << QStringList{zip} << QStringList{"b.zip"};
    QTest::newRow("page ends right after the prefix") << QStringLiteral("<a href=\"http://f") << ""
                                                      << ""
                                                      << "" << false << ""
                                                      << "" << QStringList{} << QStringList{};
    QTest::newRow("markers only") << QStringLiteral(">From:<>Subject:<") << ""
                                  << ""
                                  << "" << false << ""
                                  << "" << QStringList{} << QStringList{};
}

void TestParsers::groupPage()
{
    QFETCH(QString, page);
    QFETCH(QString, authorFilter);
    QFETCH(QString, subjectFilter);
    QFETCH(QString, fileNameFilter);
    QFETCH(bool, rejected);
    QFETCH(QString, author);
    QFETCH(QString, subject);
    QFETCH(QStringList, urls);
    QFETCH(QStringList, fileNames);

    GroupParser::Filters filters;
    filters.author = authorFilter;
    filters.subject = subjectFilter;
    filters.fileName = fileNameFilter;
    const GroupParser::Page result = GroupParser::parse(page, filters);

    QCOMPARE(result.rejected, rejected);
    QCOMPARE(result.author, author);
    QCOMPARE(result.subject, subject);
    QStringList gotUrls;
    QStringList gotNames;
    for (const GroupParser::Link &link : result.links) {
        gotUrls.append(link.url);
        gotNames.append(link.fileName);
    }
    QCOMPARE(gotUrls, urls);
    QCOMPARE(gotNames, fileNames);
}

void TestParsers::albumPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("hasPictureList");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QStringList>("captions");

    // Pairing by position
    QTest::newRow("three pictures")
        << albumScript({P1, P2, P3}, {"x", "y", "z"}) << true
        << QStringList{orig(P1), orig(P2), orig(P3)} << QStringList{"x", "y", "z"};
    QTest::newRow("one line as on real pages")
        << QStringLiteral("<script>var theUrls = new Array('http://www.zing.com/picture/a1/p1',"
                          "'http://www.zing.com/picture/a1/p2');\nvar imgCleanCaptions = new "
                          "Array('Sunset','Boat');</script>")
        << true << QStringList{orig(P1), orig(P2)} << QStringList{"Sunset", "Boat"};
    QTest::newRow("item without the prefix keeps its place")
        << albumScript({P1, QStringLiteral("/img/spacer.gif"), P3}, {"x", "y", "z"}) << true
        << QStringList{orig(P1), "", orig(P3)} << QStringList{"x", "y", "z"};
    QTest::newRow("list ends at the last picture")
        << albumScript({P1, P2, QStringLiteral("/img/end.gif")}, {"x", "y", "z"}) << true
        << QStringList{orig(P1), orig(P2)} << QStringList{"x", "y"};
    QTest::newRow("first item no picture")
        << albumScript({QStringLiteral("/img/cover.gif"), P2}, {"x", "y"}) << true
        << QStringList{"", orig(P2)} << QStringList{"x", "y"};
    QTest::newRow("no picture at all")
        << albumScript({QStringLiteral("/img/a.gif"), QStringLiteral("/img/b.gif")}, {"x", "y"})
        << true << QStringList{""} << QStringList{"x"};
    QTest::newRow("empty list") << QStringLiteral("<script>var theUrls = new Array();</script>")
                                << true << QStringList{""} << QStringList{""};
    QTest::newRow("prefix anywhere in the item")
        << albumScript({QStringLiteral("see http://www.zing.com/picture/z")}, {"x"}) << true
        << QStringList{"see http://www.zing.com/picture/z.orig.jpg"} << QStringList{"x"};
    QTest::newRow("prefix is case-sensitive")
        << albumScript({QStringLiteral("HTTP://WWW.ZING.COM/PICTURE/a1/p1")}, {"x"}) << true
        << QStringList{""} << QStringList{"x"};
    QTest::newRow("captions declared first")
        << QStringLiteral("<script>var imgCleanCaptions = ") + scriptArray({"x", "y"}) +
               QStringLiteral(";\nvar theUrls = ") + scriptArray({P1, P2}) +
               QStringLiteral(";</script>")
        << true << QStringList{orig(P1), orig(P2)} << QStringList{"x", "y"};

    // Item text
    QTest::newRow("comma in a caption shifts the rest")
        << albumScript({P1, P2, P3}, {"Sunset, red", "Boat", "Dog"}) << true
        << QStringList{orig(P1), orig(P2), orig(P3)} << QStringList{"Sunset", " red", "Boat"};
    // The caption list ends at ");", so a bracket inside a caption is kept.
    QTest::newRow("bracket in a caption")
        << albumScript({P1, P2}, {"Me (left)", "Smile :)"}) << true
        << QStringList{orig(P1), orig(P2)} << QStringList{"Me (left)", "Smile :)"};
    QTest::newRow("quotes removed")
        << albumScript({P1}, {"Bob's"}) << true << QStringList{orig(P1)} << QStringList{"Bobs"};
    // The script's escaping backslash goes with the quote it escapes.
    QTest::newRow("escaped quote")
        << albumScript({P1, P2}, {"Sunset", "Bob\\'s boat"}) << true
        << QStringList{orig(P1), orig(P2)} << QStringList{"Sunset", "Bobs boat"};
    QTest::newRow("carriage returns and spaces stay")
        << QStringLiteral("<script>var theUrls = new Array('") + P1 + QStringLiteral("',\r\n '") +
               P2 +
               QStringLiteral("');\r\nvar imgCleanCaptions = new Array('a',\r\n 'b');</script>")
        << true << QStringList{orig(P1), "\r " + orig(P2)} << QStringList{"a", "\r b"};

    // Captions missing or short
    QTest::newRow("fewer captions")
        << albumScript({P1, P2, P3}, {"x"}) << true << QStringList{orig(P1), orig(P2), orig(P3)}
        << QStringList{"x", "", ""};
    QTest::newRow("no captions") << QStringLiteral("<script>var theUrls = ") +
                                        scriptArray({P1, P2}) + QStringLiteral(";</script>")
                                 << true << QStringList{orig(P1), orig(P2)} << QStringList{"", ""};
    QTest::newRow("captions never close")
        << QStringLiteral("<script>var theUrls = ") + scriptArray({P1, P2}) +
               QStringLiteral(";\nvar imgCleanCaptions = new Array('x','y'")
        << true << QStringList{orig(P1), orig(P2)} << QStringList{"", ""};
    QTest::newRow("captions never open")
        << QStringLiteral("<script>var theUrls = ") + scriptArray({P1, P2}) +
               QStringLiteral(";\nvar imgCleanCaptions = [];")
        << true << QStringList{orig(P1), orig(P2)} << QStringList{"", ""};

    // No list or a broken one
    QTest::newRow("empty page") << "" << false << QStringList{} << QStringList{};
    QTest::newRow("no list") << QStringLiteral("<html><body>Album not found</body></html>") << false
                             << QStringList{} << QStringList{};
    QTest::newRow("list never opens") << QStringLiteral("<script>var theUrls = [];</script>")
                                      << true << QStringList{} << QStringList{};
    QTest::newRow("list never closes")
        << QStringLiteral("<script>var theUrls = new Array('") + P1 + QStringLiteral("',\n'")
        << true << QStringList{} << QStringList{};
    QTest::newRow("page ends at the marker")
        << QStringLiteral("var theUrls") << true << QStringList{} << QStringList{};
}

void TestParsers::albumPage()
{
    QFETCH(QString, page);
    QFETCH(bool, hasPictureList);
    QFETCH(QStringList, urls);
    QFETCH(QStringList, captions);

    const AlbumParser::Page result = AlbumParser::parse(page);
    QCOMPARE(result.hasPictureList, hasPictureList);
    QStringList gotUrls;
    QStringList gotCaptions;
    for (const AlbumParser::Picture &picture : result.pictures) {
        gotUrls.append(picture.url);
        gotCaptions.append(picture.caption);
    }
    QCOMPARE(gotUrls, urls);
    QCOMPARE(gotCaptions, captions);
}

QTEST_GUILESS_MAIN(TestParsers)
#include "test_parsers.moc"
