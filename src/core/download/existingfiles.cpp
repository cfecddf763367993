#include "core/download/existingfiles.h"

namespace {

struct Name
{
    ExistingFileChoice choice;
    QLatin1StringView text;
};

constexpr Name Names[] = {
    {ExistingFileChoice::Replace, QLatin1StringView("replace")},
    {ExistingFileChoice::Skip, QLatin1StringView("skip")},
    {ExistingFileChoice::KeepBoth, QLatin1StringView("keep-both")},
};

} // namespace

std::optional<ExistingFileChoice> ifFileExistsFromText(const QString &text)
{
    const QString wanted = text.trimmed();
    for (const Name &name : Names) {
        if (wanted.compare(name.text, Qt::CaseInsensitive) == 0)
            return name.choice;
    }
    return std::nullopt;
}

QString ifFileExistsText(ExistingFileChoice choice)
{
    for (const Name &name : Names) {
        if (name.choice == choice)
            return name.text;
    }
    return Names[0].text;
}
