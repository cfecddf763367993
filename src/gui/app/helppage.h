#pragma once

#include <QString>
#include <QUrl>

// The user guide that ships with the program, opened in the system's web browser.
namespace HelpPage {

// The installed guide's address with an optional anchor; empty when it cannot be found.
QUrl location(const QString &anchor = QString());

// Opens the guide; false when it is missing or no browser could take it.
bool open(const QString &anchor = QString());

} // namespace HelpPage
