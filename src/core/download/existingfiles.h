#pragma once

#include <QString>
#include <optional>

// What a download does with a file of the target's name that was there before the run.
enum class ExistingFileChoice
{
    Replace,  // replaced when the new file is whole
    Skip,     // left alone and the row counted as done, unless its size differs
    KeepBoth, // the new file takes the next free "name (2).ext"
};

// The choice's name as stored and typed: "replace", "skip", "keep-both" (any letter case);
// nothing for another text.
std::optional<ExistingFileChoice> ifFileExistsFromText(const QString &text);
QString ifFileExistsText(ExistingFileChoice choice);
