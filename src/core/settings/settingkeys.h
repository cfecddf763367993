#pragma once

#include <QString>

// One setting: where it is kept and what a read gives when it is not there.
struct Setting
{
    QString section;
    QString key;
    QString defaultValue;
};

// The one table of every setting the program keeps, with the defaults used on read.
namespace SettingKeys {

inline const QString Application = QStringLiteral("Trawl Bay");

inline const QString SectionSettings = QStringLiteral("Settings");
inline const QString SectionWindow = QStringLiteral("Window");

inline constexpr int DefaultNumberOfThreads = 4;
inline constexpr int DefaultRetries = 3;
inline constexpr int MaxRetries = 10;
inline constexpr int DefaultLeft = 0;
inline constexpr int DefaultTop = 0;
inline constexpr int DefaultWidth = 9200;
inline constexpr int DefaultHeight = 8550;

inline const Setting NumberOfThreads{SectionSettings, QStringLiteral("NumberOfThreads"),
                                     QString::number(DefaultNumberOfThreads)};
inline const Setting TBQFolder{SectionSettings, QStringLiteral("TBQFolder"), QString()};
inline const Setting DownloadFolder{SectionSettings, QStringLiteral("DownloadFolder"), QString()};
inline const Setting FilterSubject{SectionSettings, QStringLiteral("FilterSubject"), QString()};
inline const Setting FilterAuthor{SectionSettings, QStringLiteral("FilterAuthor"), QString()};
inline const Setting FilterFilename{SectionSettings, QStringLiteral("FilterFilename"), QString()};
inline const Setting NoTips{SectionSettings, QStringLiteral("NoTips"), QStringLiteral("0")};
inline const Setting Retries{SectionSettings, QStringLiteral("Retries"),
                             QString::number(DefaultRetries)};
// "replace", "skip" or "keep-both"
inline const Setting IfFileExists{SectionSettings, QStringLiteral("IfFileExists"),
                                  QStringLiteral("replace")};

// The window's outer bounds in twips, and its state (0 normal, 2 maximized).
inline const Setting Top{SectionWindow, QStringLiteral("Top"), QString::number(DefaultTop)};
inline const Setting Left{SectionWindow, QStringLiteral("Left"), QString::number(DefaultLeft)};
inline const Setting Width{SectionWindow, QStringLiteral("Width"), QString::number(DefaultWidth)};
inline const Setting Height{SectionWindow, QStringLiteral("Height"),
                            QString::number(DefaultHeight)};
inline const Setting WindowState{SectionWindow, QStringLiteral("WindowState"), QStringLiteral("0")};

// Per mode: mode + "\MRU" holds "MRU1".."MRUn", newest first; mode + "\Columns" holds
// one width in twips per column key ("HiddenSize" is never written).
inline QString mruSection(const QString &mode)
{
    return mode + QStringLiteral("\\MRU");
}
inline QString columnsSection(const QString &mode)
{
    return mode + QStringLiteral("\\Columns");
}
inline QString mruKey(int position)
{
    return QStringLiteral("MRU") + QString::number(position);
}

} // namespace SettingKeys
