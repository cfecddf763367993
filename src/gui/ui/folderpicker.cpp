#include "gui/ui/folderpicker.h"

#include <QFileDialog>

namespace FolderPicker {

QString BrowseFolder(QWidget *owner)
{
    return QFileDialog::getExistingDirectory(owner, QStringLiteral("Browse for Folder"));
}

} // namespace FolderPicker
