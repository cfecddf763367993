#pragma once

#include <QCoreApplication>
#include <QString>

// The names under which both programs run. The config folder follows from them
// (~/.config/trawlbay), so the GUI and the command-line program share settings and cookies.
namespace AppInfo {

inline const QString Title = QStringLiteral("Trawl Bay");

inline void setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("trawlbay"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRAWLBAY_VERSION));
}

// "1.0.0": major, minor and revision in plain decimal.
inline QString versionText()
{
    return QString::number(TRAWLBAY_VERSION_MAJOR) + QLatin1Char('.') +
           QString::number(TRAWLBAY_VERSION_MINOR) + QLatin1Char('.') +
           QString::number(TRAWLBAY_VERSION_PATCH);
}

} // namespace AppInfo
