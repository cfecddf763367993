#include "demo/samplesite.h"

#include <QLocale>

#include "demo/samplefiles.h"

namespace SampleSite {

namespace {

enum class Kind
{
    Snapshot,  // 1024x768 JPEG
    BigPhoto,  // 3264x2448 JPEG with heavy grain, a few MB
    Panorama,  // 4000x1200 JPEG
    Drawing,   // 800x600 PNG
    Scan,      // 1280x960 BMP, uncompressed
    TideChart, // PNG of param days
    Pdf,       // param lines
    Text,      // param lines
    TideTable, // CSV of param days
};

struct Attachment
{
    Kind kind;
    const char *name;
    int param = 0;
};

struct Message
{
    int author = -1; // -1: deleted, the page answers 404
    const char *subject = nullptr;
    QList<Attachment> files;
};

const char *const Authors[] = {
    "Ann Harper <ann.harper@example.org>", "Bram de Vries <bram@example.net>",
    "Carla Nunes <carla.n@example.com>",   "Dev Patel <dev.patel@example.org>",
    "Elin Berg <elin@example.net>",        "Femi Adeyemi <femi@example.com>",
    "Grace O'Neill <grace@example.org>",   "Hugo Lambert <hugo@example.net>",
};

// Message n is Messages[n - 1]. Two messages attach an "IMG_0001.jpg" of their own.
const QList<Message> &messages()
{
    using K = Kind;
    static const QList<Message> list = {
        {0, "Welcome to Harbour Sailors", {{K::Pdf, "club-rules.pdf", 60}}},
        {1, "Re: Welcome to Harbour Sailors", {}},
        {2,
         "Photos from Saturday's sail",
         {{K::BigPhoto, "IMG_0001.jpg"}, {K::Snapshot, "IMG_0002.jpg"}}},
        {3, "Tide table for May", {{K::TideTable, "tides-may-2003.csv", 31}}},
        {4, "Re: Photos from Saturday's sail", {}},
        {5, "Mooring plan for the new season", {{K::Drawing, "mooring-plan.png"}}},
        {6, "Knots cheat sheet", {{K::Pdf, "knots.pdf", 40}, {K::Text, "knots.txt", 40}}},
        {7, "Engine service notes", {{K::Text, "engine-service.txt", 120}}},
        {},
        {0, "Regatta entry form", {{K::Pdf, "regatta-entry-form.pdf", 30}}},
        {1, "Re: Regatta entry form", {}},
        {2, "Scan of the old bay chart", {{K::Scan, "bay-chart-scan.bmp"}}},
        {3, "Sunset at the breakwater", {{K::Snapshot, "IMG_0001.jpg"}}},
        {4, "Tide chart, June", {{K::TideChart, "tide-chart-june.png", 30}}},
        {5, "Re: Sunset at the breakwater", {}},
        {6, "Crew list for the summer", {{K::Text, "crew-list.txt", 25}}},
        {7,
         "Winter maintenance photos",
         {{K::Snapshot, "hull-1.jpg"}, {K::Snapshot, "hull-2.jpg"}, {K::Snapshot, "hull-3.jpg"}}},
        {0, "Minutes of the spring meeting", {{K::Pdf, "minutes-spring-2003.pdf", 150}}},
        {1, "Re: Minutes of the spring meeting", {}},
        {2, "Race results", {{K::Text, "race-results.txt", 60}}},
        {3, "Night sailing", {{K::Drawing, "night-sailing.png"}}},
        {4, "Re: Race results", {}},
        {},
        {5, "Safety briefing", {{K::Pdf, "safety-briefing.pdf", 90}}},
        {6, "Harbour panorama", {{K::Panorama, "harbour-panorama.jpg"}}},
        {7, "Re: Harbour panorama", {}},
        {0, "Tide table for June", {{K::TideTable, "tides-june-2003.csv", 30}}},
        {1,
         "Boat for sale",
         {{K::Snapshot, "for-sale-front.jpg"},
          {K::Snapshot, "for-sale-side.jpg"},
          {K::Text, "for-sale.txt", 20}}},
        {2, "Re: Boat for sale", {}},
        {3, "Weather log", {{K::Text, "weather-log.txt", 300}}},
        {},
        {4, "Summer regatta album is up", {}},
        {5, "Re: Summer regatta album is up", {}},
        {6,
         "Sail repair how-to",
         {{K::Pdf, "sail-repair.pdf", 70}, {K::Drawing, "sail-diagram.png"}}},
        {7, "Tide chart, July", {{K::TideChart, "tide-chart-july.png", 31}}},
        {0, "Club house opening hours", {{K::Text, "opening-hours.txt", 12}}},
        {1, "Photos: cleaning day", {{K::Snapshot, "IMG_0104.jpg"}, {K::Snapshot, "IMG_0105.jpg"}}},
        {2, "Re: Photos: cleaning day", {}},
        {3, "Annual accounts", {{K::Pdf, "annual-accounts.pdf", 200}}},
        {4, "See you all on the water", {}},
    };
    return list;
}

const char *const AlbumCaptions[] = {
    "Start line.jpg",   "First mark.jpg",      "Spinnakers up.jpg", "Close finish.jpg",
    "Prize giving.jpg", "Harbour at dusk.jpg", "Crew photo.jpg",    "Packing up.jpg",
};

QByteArray contentType(const QString &name)
{
    if (name.endsWith(QLatin1String(".jpg")))
        return "image/jpeg";
    if (name.endsWith(QLatin1String(".png")))
        return "image/png";
    if (name.endsWith(QLatin1String(".bmp")))
        return "image/bmp";
    if (name.endsWith(QLatin1String(".pdf")))
        return "application/pdf";
    if (name.endsWith(QLatin1String(".csv")))
        return "text/csv";
    return "text/plain; charset=utf-8";
}

QByteArray attachmentBytes(const Attachment &file, const QString &subject, quint32 seed)
{
    const QString name = QString::fromLatin1(file.name);
    switch (file.kind) {
    case Kind::Snapshot:
        return SampleFiles::photo({1024, 768}, seed, name, 8, "jpg");
    case Kind::BigPhoto:
        return SampleFiles::photo({3264, 2448}, seed, name, 28, "jpg");
    case Kind::Panorama:
        return SampleFiles::photo({4000, 1200}, seed, name, 12, "jpg");
    case Kind::Drawing:
        return SampleFiles::photo({800, 600}, seed, name, 0, "png");
    case Kind::Scan:
        return SampleFiles::photo({1280, 960}, seed, name, 10, "bmp");
    case Kind::TideChart:
        return SampleFiles::tideChart({1200, 600}, file.param, seed);
    case Kind::Pdf:
        return SampleFiles::pdf(subject, SampleFiles::notes(file.param, seed));
    case Kind::Text:
        return SampleFiles::notes(file.param, seed).join(QLatin1String("\r\n")).toUtf8() + "\r\n";
    case Kind::TideTable:
        return SampleFiles::tideTable(file.param, seed);
    }
    return {};
}

QByteArray messagePage(int number, const Message &message, const QList<Entry> &files)
{
    QString page = QStringLiteral("<html><head><title>harbour-sailors: Message %1</title></head>"
                                  "<body>\n<table>\n"
                                  "<tr><td><b>From:</b> %2<br></td></tr>\n"
                                  "<tr><td><b>Date:</b> %3 June 2003<br></td></tr>\n"
                                  "<tr><td><b>Subject:</b> %4<br></td></tr>\n</table>\n")
                       .arg(number)
                       .arg(QString::fromUtf8(Authors[message.author]).toHtmlEscaped())
                       .arg(1 + number % 28)
                       .arg(QString::fromUtf8(message.subject).toHtmlEscaped());
    page += QStringLiteral("<pre>%1</pre>\n")
                .arg(SampleFiles::notes(3, quint32(number)).join(QLatin1Char('\n')));
    if (!files.isEmpty())
        page += QStringLiteral("<p>Attachments:<br>\n");
    for (const Entry &file : files)
        page += QStringLiteral("<a href=\"%1\">%2</a> (%3)<br>\n")
                    .arg(file.url, file.url.section(QLatin1Char('/'), -1),
                         QLocale::c().formattedDataSize(file.body.size(), 1,
                                                        QLocale::DataSizeSIFormat));
    page += QStringLiteral("</body></html>\n");
    return page.toUtf8();
}

QByteArray albumPage(const QStringList &pictures)
{
    QStringList urls;
    QStringList captions;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        urls.append(QLatin1Char('\'') + pictures.at(i) + QLatin1Char('\''));
        captions.append(QLatin1Char('\'') + QLatin1String(AlbumCaptions[i]) + QLatin1Char('\''));
    }
    return QStringLiteral("<html><head><title>Zing album: Summer regatta 2003</title>\n"
                          "<script language=\"JavaScript\">\n"
                          "var theUrls = new Array(\n%1);\n"
                          "var imgCleanCaptions = new Array(\n%2);\n"
                          "</script></head><body><h1>Summer regatta 2003</h1></body></html>\n")
        .arg(urls.join(QLatin1String(",\n")), captions.join(QLatin1String(",\n")))
        .toUtf8();
}

} // namespace

QList<Entry> build()
{
    QList<Entry> entries;
    const QByteArray groupPath = "/group/harbour-sailors/message/";
    for (int number = 1; number <= messages().size(); ++number) {
        const Message &message = messages().at(number - 1);
        if (message.author < 0)
            continue;
        QList<Entry> files;
        for (qsizetype i = 0; i < message.files.size(); ++i) {
            const Attachment &file = message.files.at(i);
            const QByteArray path =
                "/harbour-sailors/" + QByteArray::number(number) + '/' + file.name;
            files.append({path, contentType(QString::fromLatin1(file.name)),
                          attachmentBytes(file, QString::fromUtf8(message.subject),
                                          quint32(number * 100 + i)),
                          QLatin1String("http://") + FilesHost + QString::fromLatin1(path), true});
        }
        entries.append({groupPath + QByteArray::number(number), "text/html; charset=utf-8",
                        messagePage(number, message, files),
                        GroupUrl + QLatin1String("message/") + QString::number(number), false});
        entries += files;
    }

    QStringList pictures;
    for (int i = 1; i <= int(std::size(AlbumCaptions)); ++i) {
        const QString path = QStringLiteral("/picture/7/%1").arg(i, 2, 10, QLatin1Char('0'));
        pictures.append(QLatin1String("http://") + AlbumHost + path);
        // The album page names a picture; its full size is that name with ".orig.jpg".
        const QString url = pictures.last() + QLatin1String(".orig.jpg");
        entries.append({(path + QLatin1String(".orig.jpg")).toLatin1(), "image/jpeg",
                        SampleFiles::photo({1024, 768}, quint32(7000 + i),
                                           QLatin1String(AlbumCaptions[i - 1]), 8, "jpg"),
                        url, true});
    }
    const QString albumPath = AlbumUrl.mid(AlbumUrl.indexOf(QLatin1Char('/'), 7)) +
                              QLatin1String("&pwd=") + AlbumPassword +
                              QLatin1String("&agree_accept=Y");
    entries.append(
        {albumPath.toLatin1(), "text/html; charset=utf-8", albumPage(pictures), AlbumUrl, false});
    return entries;
}

QStringList hostRules(quint16 port)
{
    QStringList rules;
    for (const QString &host : {GroupHost, FilesHost, AlbumHost})
        rules.append(QStringLiteral("%1:80:127.0.0.1:%2").arg(host).arg(port));
    return rules;
}

} // namespace SampleSite
