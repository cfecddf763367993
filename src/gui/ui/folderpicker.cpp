#include "gui/ui/folderpicker.h"

#include <QFileDialog>

namespace FolderPicker {

QString BrowseFolder(QWidget *owner)
{
    return BrowseFolderFrom(owner, QString());
}

QString BrowseFolderFrom(QWidget *owner, const QString &start)
{
    return QFileDialog::getExistingDirectory(owner, QStringLiteral("Browse for Folder"), start);
}

} // namespace FolderPicker
