#pragma once

#include <QString>

// Small text functions shared by the page parsers and the queue files.
namespace TextHelpers {

// Plain text of an HTML fragment: every "<...>" removed (a "<" with no ">" after it stops
// the removal), then "&nbsp;" dropped and "&quot;", "&lt;", "&gt;", "&amp;" decoded once,
// in that order.
QString StripTags(const QString &text);

// What follows the last delimiter in text, or the whole text when it holds none. The
// delimiter is one character; a longer one never matches.
QString GetLastPart(const QString &text, const QString &delimiter);

} // namespace TextHelpers
