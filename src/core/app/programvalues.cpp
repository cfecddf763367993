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
    gFilterSubject = get(FilterSubject);
    gFilterAuthor = get(FilterAuthor);
    gFilterFilename = get(FilterFilename);
}

qint16 threadsFromText(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > 16)
        return SettingKeys::DefaultNumberOfThreads;
    return static_cast<qint16>(value);
}

int numberFromText(const QString &text, int fallback)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e9)
        return fallback;
    return static_cast<int>(std::lround(value));
}
