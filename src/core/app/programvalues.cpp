#include "core/app/programvalues.h"

#include <cmath>

#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

void ProgramValues::load(const SettingsStore &store)
{
    using namespace SettingKeys;
    const auto get = [&store](const QString &key, const QString &fallback = QString()) {
        return store.RegGetSetting(Application, SectionSettings, key, fallback);
    };
    gNumberOfThreads =
        threadsFromText(get(NumberOfThreads, QString::number(DefaultNumberOfThreads)));
    gQueueFolder = get(TBQFolder);
    gRetries = retriesFromText(get(Retries, QString::number(DefaultRetries)));
    gIfFileExists = ifExistsFromText(get(SettingKeys::IfFileExists));
    gFilterSubject = get(FilterSubject);
    gFilterAuthor = get(FilterAuthor);
    gFilterFilename = get(FilterFilename);
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
