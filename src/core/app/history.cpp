#include "core/app/history.h"

#include "core/app/programvalues.h"
#include "core/filelist/columnset.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

namespace History {

bool update(QStringList &entries, const QString &text)
{
    if (text.isEmpty())
        return false;
    const qsizetype found = entries.indexOf(text);
    if (found >= 0)
        entries.move(found, 0);
    else
        entries.prepend(text);
    // A history stored longer by hand shrinks to the limit at its first update.
    while (entries.size() > MaxEntries)
        entries.removeLast();
    return true;
}

void saveMRU(const SettingsStore &store, Mode mode, const QStringList &entries)
{
    SettingsStore::Pairs pairs;
    pairs.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        pairs.append({SettingKeys::mruKey(int(i) + 1), entries.at(i)});
    store.RegSaveAllSettings(SettingKeys::Application, SettingKeys::mruSection(modeText(mode)), pairs);
}

QStringList loadMRU(const SettingsStore &store, Mode mode)
{
    QStringList entries;
    const auto pairs =
        store.RegGetAllSettings(SettingKeys::Application, SettingKeys::mruSection(modeText(mode)));
    for (const auto &pair : pairs)
        entries.append(pair.second);
    return entries;
}

void saveColumnWidths(const SettingsStore &store, Mode mode, const ColumnWidths &widths)
{
    for (const auto &[key, width] : widths) {
        if (key == ColumnKeys::HiddenSize)
            continue;
        store.RegSaveSetting(SettingKeys::Application, SettingKeys::columnsSection(modeText(mode)), key,
                             QString::number(width));
    }
}

QList<int> loadColumnWidths(const SettingsStore &store, Mode mode,
                            const QStringList &keys)
{
    QList<int> widths;
    widths.reserve(keys.size());
    for (const QString &key : keys) {
        const QString text = store.RegGetSetting(SettingKeys::Application,
                                                 SettingKeys::columnsSection(modeText(mode)), key, QString());
        const int width = text.isEmpty() ? -1 : numberFromText(text, -1);
        widths.append(width < 0 ? -1 : width);
    }
    return widths;
}

} // namespace History
