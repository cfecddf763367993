#include "gui/app/helppage.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace HelpPage {

namespace {
const QString RelativePath = QStringLiteral("trawlbay/help/index.html");
}

QUrl location(const QString &anchor)
{
    // Beside the program first (the build tree and relocated installs), then the data dirs.
    QString path = QDir(QCoreApplication::applicationDirPath())
                       .filePath(QStringLiteral("../share/") + RelativePath);
    if (!QFileInfo::exists(path))
        path = QStandardPaths::locate(QStandardPaths::GenericDataLocation, RelativePath);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath());
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

bool open(const QString &anchor)
{
    const QUrl url = location(anchor);
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace HelpPage
