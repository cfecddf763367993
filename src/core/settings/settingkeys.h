#pragma once

#include <QString>

// The one table of every setting the program keeps, with the defaults used on read.
namespace SettingKeys {

inline const QString Application = QStringLiteral("Trawl Bay");

inline const QString SectionSettings = QStringLiteral("Settings");
inline const QString SectionWindow = QStringLiteral("Window");

// Section "Settings"
inline const QString NumberOfThreads = QStringLiteral("NumberOfThreads"); // default 4
inline const QString TBQFolder = QStringLiteral("TBQFolder");             // default ""
inline const QString DownloadFolder = QStringLiteral("DownloadFolder");   // default ""
inline const QString FilterSubject = QStringLiteral("FilterSubject");     // default ""
inline const QString FilterAuthor = QStringLiteral("FilterAuthor");       // default ""
inline const QString FilterFilename = QStringLiteral("FilterFilename");   // default ""
inline const QString NoTips = QStringLiteral("NoTips");                   // default 0
inline const QString Retries = QStringLiteral("Retries");                 // default 3, 0-10
// "replace" (default), "skip" or "keep-both"
inline const QString IfFileExists = QStringLiteral("IfFileExists");

// Section "Window": outer bounds in twips and the window state (0 normal, 2 maximized)
inline const QString Top = QStringLiteral("Top");                 // default "0"
inline const QString Left = QStringLiteral("Left");               // default "0"
inline const QString Width = QStringLiteral("Width");             // default "9200"
inline const QString Height = QStringLiteral("Height");           // default "8550"
inline const QString WindowState = QStringLiteral("WindowState"); // default "0"

inline constexpr int DefaultNumberOfThreads = 4;
inline constexpr int DefaultRetries = 3;
inline constexpr int MaxRetries = 10;
inline constexpr int DefaultLeft = 0;
inline constexpr int DefaultTop = 0;
inline constexpr int DefaultWidth = 9200;
inline constexpr int DefaultHeight = 8550;

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
