#include "core/search/groupparser.h"

#include "core/search/texthelpers.h"
#include "core/search/wildcard.h"

namespace GroupParser {

namespace {

const QString FromMarker = QStringLiteral(">From:<");
const QString SubjectMarker = QStringLiteral(">Subject:<");
const QString LineBreak = QStringLiteral("<br>");
const QString LinkOpening = QStringLiteral("<a href=\"");

// The author and subject lines keep their tabs and line breaks; only spaces are trimmed.
QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

bool passes(const QString &value, const QString &filter)
{
    return filter.isEmpty() || Wildcard::matches(value, filter);
}

} // namespace

Page parse(const QString &page, const Filters &filters)
{
    Page result;
    if (page.isEmpty())
        return result;

    // The field text runs from the "<" that closes the marker up to the next "<br>"; the tags
    // in between go. Without a "<br>" the field has no end, so it stays empty and its filter
    // is not applied rather than guessing where it stops.
    qsizetype subjectStart = 0;
    // A page without the marker has no author to judge: its filter is not applied.
    bool authorKnown = false;
    const qsizetype from = page.indexOf(FromMarker);
    if (from >= 0) {
        authorKnown = true;
        const qsizetype valueStart = from + FromMarker.size() - 1;
        const qsizetype end = page.indexOf(LineBreak, from);
        if (end < 0) {
            authorKnown = false;
        } else {
            subjectStart = end;
            QString author =
                trimSpaces(TextHelpers::StripTags(page.mid(valueStart, end - valueStart)));
            // An address in angle brackets loses its ">" to the tag removal when the page
            // cuts it short; put it back so the author reads "Ann <ann@x>".
            if (author.contains(QLatin1Char('<')) && !author.endsWith(QLatin1Char('>')))
                author += QLatin1Char('>');
            result.author = author;
        }
    }
    if (authorKnown && !passes(result.author, filters.author)) {
        result.rejected = true;
        return result;
    }

    bool subjectKnown = false;
    const qsizetype subject = page.indexOf(SubjectMarker, subjectStart);
    if (subject >= 0) {
        subjectKnown = true;
        const qsizetype valueStart = subject + SubjectMarker.size() - 1;
        const qsizetype end = page.indexOf(LineBreak, subject);
        if (end < 0)
            subjectKnown = false;
        else
            result.subject =
                trimSpaces(TextHelpers::StripTags(page.mid(valueStart, end - valueStart)));
    }
    if (subjectKnown && !passes(result.subject, filters.subject)) {
        result.rejected = true;
        return result;
    }

    const QString marker = LinkOpening + AttachmentUrlPrefix;
    qsizetype pos = 0;
    while (pos < page.size()) {
        const qsizetype link = page.indexOf(marker, pos);
        if (link < 0)
            break;
        const qsizetype urlStart = link + LinkOpening.size();
        // Searching after the whole marker keeps the prefix out of reach and still finds the
        // quote of a URL that is nothing but the prefix.
        const qsizetype quote = page.indexOf(QLatin1Char('"'), link + marker.size());
        if (quote < 0)
            break; // the last link never ends: the links before it stand
        const QString url = page.mid(urlStart, quote - urlStart);
        const QString fileName = TextHelpers::GetLastPart(url, QStringLiteral("/"));
        if (passes(fileName, filters.fileName))
            result.links.append({url, fileName});
        pos = quote + 1;
    }
    return result;
}

} // namespace GroupParser
