#include "core/app/programvalues.h"

#include <cmath>

#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

void ProgramValues::load(const SettingsStore &store)
{
    using namespace SettingKeys;
    gNumberOfThreads = threadsFromText(store.RegGetSetting(NumberOfThreads));
    gQueueFolder = store.RegGetSetting(TBQFolder);
    gRetries = retriesFromText(store.RegGetSetting(Retries));
    gIfFileExists = ifExistsFromText(store.RegGetSetting(SettingKeys::IfFileExists));
    gFilterSubject = store.RegGetSetting(FilterSubject);
    gFilterAuthor = store.RegGetSetting(FilterAuthor);
    gFilterFilename = store.RegGetSetting(FilterFilename);
}

int parseThreadsText(const QString &text)
{
    if (text.contains(QLatin1Char('.')))
        return 0;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || value < 1 || value > 16 || value != std::floor(value))
        return 0;
    return int(value);
}

qint16 threadsFromText(const QString &text)
{
    const int value = parseThreadsText(text);
    return static_cast<qint16>(value > 0 ? value : SettingKeys::DefaultNumberOfThreads);
}

int numberFromText(const QString &text, int fallback)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e9)
        return fallback;
    return static_cast<int>(std::lround(value));
}

int retriesFromText(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0 && value <= SettingKeys::MaxRetries ? value
                                                                : SettingKeys::DefaultRetries;
}

ExistingFileChoice ifExistsFromText(const QString &text)
{
    return ifFileExistsFromText(text).value_or(ExistingFileChoice::Replace);
}
