#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The demo's sample: a group archive of 40 messages (three of them deleted, so they answer
// 404) with attachments of several kinds and sizes, two of them with the same file name,
// and one photo album behind a password. Made afresh at every start, the same every time.
namespace SampleSite {

inline const QString GroupHost = QStringLiteral("groups.demo.test");
inline const QString FilesHost =
    QStringLiteral("files.demo.test"); // "http://f...", as attachments are
inline const QString AlbumHost = QStringLiteral("www.zing.com"); // where album pictures live
inline const QString GroupUrl = QStringLiteral("http://groups.demo.test/group/harbour-sailors/");
inline const QString MessageRange = QStringLiteral("1-40");
inline const QString AlbumUrl = QStringLiteral("http://www.zing.com/album?id=7");
inline const QString AlbumPassword = QStringLiteral("regatta");

struct Entry
{
    QByteArray path; // the request target it answers, query included
    QByteArray contentType;
    QByteArray body;
    QString url;         // the address a program asks for
    bool isFile = false; // an attachment or picture, as against a page
};

// Every page and file of the sample. Needs a QGuiApplication (see SampleFiles).
QList<Entry> build();

// The host mappings, in --connect-to form, that send the sample's hosts to port.
QStringList hostRules(quint16 port);

} // namespace SampleSite
