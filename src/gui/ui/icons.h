#pragma once

#include <QIcon>
#include <QString>

// Icons from the desktop theme, with the program's own drawings where the theme has none.
namespace Icons {

QIcon themed(const QString &themeName, const QString &fallbackName);
QIcon appIcon();

} // namespace Icons
