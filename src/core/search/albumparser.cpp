#include "core/search/albumparser.h"

#include <QStringList>

namespace AlbumParser {

namespace {

// The array items are quoted script strings spread over lines: dropping every line feed and
// every quote leaves the bare items. Carriage returns and spaces are kept as they are.
QStringList arrayItems(const QString &page, qsizetype open, qsizetype close)
{
    QString text = page.mid(open + 1, close - open - 1);
    text.remove(QLatin1Char('\n'));
    // A script writes an apostrophe inside a quoted caption as \'; both characters go, so
    // "Bob\'s" reads "Bobs" and no stray backslash ends up in a file name.
    text.remove(QStringLiteral("\\'"));
    text.remove(QLatin1Char('\''));
    return text.split(QLatin1Char(','));
}

} // namespace

Page parse(const QString &page)
{
    Page result;
    const qsizetype urls = page.indexOf(QStringLiteral("var theUrls"));
    if (urls < 0)
        return result;
    result.hasPictureList = true;

    // A list whose brackets cannot be found is read as holding no pictures at all.
    const qsizetype open = page.indexOf(QLatin1Char('('), urls);
    if (open < 0)
        return result;
    const qsizetype close = page.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        return result;

    // Items that are no picture keep their place as empty entries so the captions stay
    // aligned; the list ends with its last picture but always has its first entry.
    QStringList entries(1);
    const QStringList items = arrayItems(page, open, close);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!items.at(i).contains(AlbumPictureUrlPrefix))
            continue;
        if (entries.size() <= i)
            entries.resize(i + 1);
        entries[i] = items.at(i) + PictureSuffix;
    }

    // Missing caption markers or brackets leave every caption empty.
    QStringList captions;
    const qsizetype captionsAt = page.indexOf(QStringLiteral("var imgCleanCaptions"));
    if (captionsAt >= 0) {
        const qsizetype captionsOpen = page.indexOf(QLatin1Char('('), captionsAt);
        if (captionsOpen >= 0) {
            const qsizetype captionsClose = page.indexOf(QStringLiteral(");"), captionsOpen + 1);
            if (captionsClose >= 0)
                captions = arrayItems(page, captionsOpen, captionsClose);
        }
    }

    result.pictures.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        result.pictures.append({entries.at(i), i < captions.size() ? captions.at(i) : QString()});
    return result;
}

} // namespace AlbumParser
