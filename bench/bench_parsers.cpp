// Times the page parsers, the wildcard filter and the message mask on inputs the size of
// large real ones: a group message page of about 1 MB with 2,000 attachment links, an album
// page of about 1 MB with 10,000 pictures, 100,000 file names and a mask of a million
// messages. Each measurement is the median of several runs.
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/search/albumparser.h"
#include "core/search/groupparser.h"
#include "core/search/messagemask.h"
#include "core/search/wildcard.h"

namespace {

constexpr int kRepeats = 5;
constexpr int kGroupLinks = 2000;
constexpr int kAlbumPictures = 10000;
constexpr int kFileNames = 100000;
constexpr qsizetype kPageChars = 1000000;

const QStringList kExtensions = {"jpg", "JPG", "png", "gif", "zip", "pdf", "doc", "mp3"};
const QStringList kStems = {"IMG_", "DSC", "holiday ", "scan-", "P", "beach_", "notes"};
const QString kFiller = QStringLiteral(
    "<p class=\"quote\">&gt; Thanks for the scans, the <b>second</b> batch came through "
    "fine. See <a href=\"http://groups.example.com/group/photos/files/\">the files area"
    "</a> for the older ones.</p>\n");

QString fileName(QRandomGenerator &random)
{
    const QString stem = kStems.at(int(random.bounded(int(kStems.size()))));
    return stem + QString::number(random.bounded(10000)).rightJustified(4, QLatin1Char('0')) +
           QLatin1Char('.') + kExtensions.at(int(random.bounded(int(kExtensions.size()))));
}

QString groupPage(QRandomGenerator &random)
{
    QString page;
    page.reserve(kPageChars + 4096);
    page += QStringLiteral("<html><head><title>photos - Message 4711</title></head><body>\n"
                           "<table class=\"msghead\"><tr><td>\n<b>From:</b> <span "
                           "class=\"author\">Ann &lt;ann@example.com&gt;</span><br>\n"
                           "<b>Subject:</b> CZ69 &quot;parts&quot;&nbsp;and scans<br>\n"
                           "<b>Date:</b> Mon Jun 3, 2002 10:15 am<br>\n</td></tr></table>\n"
                           "<div class=\"msgbody\">\n");
    // Links spread evenly through the filler, as long attachment lists are on real pages.
    const qsizetype fillerPerLink = (kPageChars - page.size()) / kGroupLinks;
    for (int i = 0; i < kGroupLinks; ++i) {
        const QString name = fileName(random);
        page += QStringLiteral("<tr><td class=\"att\"><a href=\"http://f") +
                QString::number(1 + i % 9) + QStringLiteral(".grp.example.com/group/photos/4711/") +
                QString::number(i) + QLatin1Char('/') + name + QStringLiteral("\">") + name +
                QStringLiteral("</a></td><td>") + QString::number(random.bounded(5000)) +
                QStringLiteral(" KB</td></tr>\n");
        const qsizetype target = qsizetype(i + 1) * fillerPerLink;
        while (page.size() < target)
            page += kFiller;
    }
    page += QStringLiteral("</div></body></html>\n");
    return page;
}

QString albumPage(QRandomGenerator &random)
{
    QString urls;
    QString captions;
    for (int i = 0; i < kAlbumPictures; ++i) {
        const QString separator = i == 0 ? QStringLiteral("\n'") : QStringLiteral("',\n'");
        urls += separator + QStringLiteral("http://www.zing.com/picture/a") +
                QString::number(random.bounded(1000000)) + QStringLiteral("/p") +
                QString::number(i);
        captions += separator + QStringLiteral("Picture ") + QString::number(i) +
                    QStringLiteral(" from the summer trip to the lake");
    }
    QString page = QStringLiteral("<html><head><title>Album</title></head><body>\n");
    QString script = QStringLiteral("<script>\nvar theUrls = new Array(") + urls +
                     QStringLiteral("');\nvar imgCleanCaptions = new Array(") + captions +
                     QStringLiteral("');\nshowAlbum(theUrls);\n</script>\n");
    // Page layout ahead of the script brings the page to the size of a large real one.
    while (page.size() + script.size() < kPageChars)
        page += kFiller;
    return page + script + QStringLiteral("</body></html>\n");
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Measure
{
    const char *name;
    double megabytes = 0; // input size in MB (one byte per character, all ASCII)
    std::vector<double> runs;
};

} // namespace

int main()
{
    QRandomGenerator random(4711);
    const QString group = groupPage(random);
    const QString album = albumPage(random);
    QStringList names;
    names.reserve(kFileNames);
    double namesMegabytes = 0;
    for (int i = 0; i < kFileNames; ++i) {
        names.append(fileName(random));
        namesMegabytes += double(names.last().size()) / 1e6;
    }
    const QString mask = QStringLiteral("1-1000000");

    Measure groupPlain{"GroupParser::parse, no filters", double(group.size()) / 1e6, {}};
    Measure groupFiltered{"GroupParser::parse, all three filters", double(group.size()) / 1e6, {}};
    Measure albumParse{"AlbumParser::parse", double(album.size()) / 1e6, {}};
    Measure starJpg{"Wildcard::matches \"*.jpg\"", namesMegabytes, {}};
    Measure imgDigits{"Wildcard::matches \"IMG_####*\"", namesMegabytes, {}};
    Measure maskMillion{"ParseMessageMask \"1-1000000\"", 0, {}};

    GroupParser::Filters filters;
    filters.author = QStringLiteral("*Ann*");
    filters.subject = QStringLiteral("CZ69*");
    filters.fileName = QStringLiteral("*.jpg");

    // Counts checked after the runs, so a parser that silently failed shows up, and kept
    // so the optimiser cannot drop the work.
    qsizetype links = 0;
    qsizetype filteredLinks = 0;
    qsizetype pictures = 0;
    qsizetype jpgs = 0;
    qsizetype cameraNames = 0;
    qsizetype numbers = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        groupPlain.runs.push_back(
            timeMs([&] { links = GroupParser::parse(group, {}).links.size(); }));
        groupFiltered.runs.push_back(
            timeMs([&] { filteredLinks = GroupParser::parse(group, filters).links.size(); }));
        albumParse.runs.push_back(
            timeMs([&] { pictures = AlbumParser::parse(album).pictures.size(); }));
        starJpg.runs.push_back(timeMs([&] {
            jpgs = 0;
            for (const QString &name : names)
                jpgs += Wildcard::matches(name, QStringLiteral("*.jpg"));
        }));
        imgDigits.runs.push_back(timeMs([&] {
            cameraNames = 0;
            for (const QString &name : names)
                cameraNames += Wildcard::matches(name, QStringLiteral("IMG_####*"));
        }));
        maskMillion.runs.push_back(
            timeMs([&] { numbers = MessageMask::ParseMessageMask(mask).numbers.size(); }));
    }
    if (links != kGroupLinks || pictures != kAlbumPictures || numbers != 1000000) {
        std::fprintf(stderr, "unexpected results: %lld links, %lld pictures, %lld numbers\n",
                     qint64(links), qint64(pictures), qint64(numbers));
        return 1;
    }

    std::printf("Parsers, median of %d runs (RelWithDebInfo or Release build)\n", kRepeats);
    std::printf("group page %.2f MB with %lld links (%lld .jpg), album page %.2f MB with %lld "
                "pictures,\n%d file names (%.2f MB; %lld \"*.jpg\", %lld \"IMG_####*\")\n\n",
                groupPlain.megabytes, qint64(links), qint64(filteredLinks), albumParse.megabytes,
                qint64(pictures), kFileNames, namesMegabytes, qint64(jpgs), qint64(cameraNames));
    std::printf("%-40s %10s %10s\n", "operation", "median ms", "MB/s");
    for (const Measure *measure :
         {&groupPlain, &groupFiltered, &albumParse, &starJpg, &imgDigits, &maskMillion}) {
        const double ms = median(measure->runs);
        if (measure->megabytes > 0)
            std::printf("%-40s %10.2f %10.0f\n", measure->name, ms,
                        measure->megabytes / (ms / 1000));
        else
            std::printf("%-40s %10.2f %10s  (%.0f M numbers/s)\n", measure->name, ms, "-",
                        1.0 / (ms / 1000));
    }
    return 0;
}
