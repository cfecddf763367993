#pragma once

#include <QString>

// Whole-text, case-sensitive wildcard matching for the search filters:
//   *  any run of characters, also none     ?  any one character
//   #  any one digit 0-9                    [abc] [a-z] one character in the list
//   [!abc]  one character not in the list; "*", "?", "#" and "[" inside brackets are plain.
// A pattern with an unclosed "[" matches nothing.
namespace Wildcard {

bool matches(const QString &text, const QString &pattern);

} // namespace Wildcard
