#pragma once

#include <QString>

// Text taken from pages, servers or file names made safe to print on a terminal: control
// characters (C0, DEL and C1) are shown as escapes such as \e, \a, \r or \x9b, so no text
// can move the cursor, retitle the window or clear the screen. Everything else stays.
QString printable(const QString &text);
