#pragma once

#include <QList>
#include <QString>

// Reads a group message page: its author, its subject and the links to its attached files,
// with the three filters applied. Pure: text in, result out.
namespace GroupParser {

// Every attachment link of the group service begins with this.
inline const QString AttachmentUrlPrefix = QStringLiteral("http://f");

struct Link
{
    QString url;
    QString fileName; // the part of the URL after its last "/"
};

struct Filters
{
    QString subject; // empty: no filter
    QString author;
    QString fileName;
};

struct Page
{
    QString author;
    QString subject;
    bool rejected = false; // the author or subject filter turned the page down
    QList<Link> links;     // in page order, after the file-name filter
};

Page parse(const QString &page, const Filters &filters);

} // namespace GroupParser
