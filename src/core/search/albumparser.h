#pragma once

#include <QList>
#include <QString>

// Reads an album page: the picture URLs and captions of its two script arrays, paired by
// position. Pure: text in, result out.
namespace AlbumParser {

// Only array items that contain this are pictures.
inline const QString AlbumPictureUrlPrefix = QStringLiteral("http://www.zing.com/picture");
inline const QString PictureSuffix = QStringLiteral(".orig.jpg");

struct Picture
{
    QString url;     // the item with ".orig.jpg" appended, or "" where the item was no picture
    QString caption; // the caption item of the same index ("" when there are fewer captions)
};

struct Page
{
    bool hasPictureList = false; // "var theUrls" was found
    QList<Picture> pictures;
};

Page parse(const QString &page);

} // namespace AlbumParser
