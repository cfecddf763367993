#pragma once

#include <QString>

class QWidget;

namespace FolderPicker {

// Asks the user for a folder with the platform's folder dialog; "" when cancelled.
QString BrowseFolder(QWidget *owner);
// The same, opened in start.
QString BrowseFolderFrom(QWidget *owner, const QString &start);

} // namespace FolderPicker
