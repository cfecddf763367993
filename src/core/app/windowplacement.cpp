#include "core/app/windowplacement.h"

#include "core/app/programvalues.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

WindowPlacement loadWindowPlacement(const SettingsStore &store)
{
    using namespace SettingKeys;
    const auto read = [&store](const Setting &setting, int fallback) {
        return numberFromText(store.RegGetSetting(setting), fallback);
    };
    WindowPlacement placement;
    placement.top = read(Top, DefaultTop);
    placement.left = read(Left, DefaultLeft);
    placement.width = read(Width, DefaultWidth);
    placement.height = read(Height, DefaultHeight);
    // A non-positive size would make an invisible window.
    if (placement.width <= 0)
        placement.width = DefaultWidth;
    if (placement.height <= 0)
        placement.height = DefaultHeight;
    placement.state = read(WindowState, 0) == WindowPlacement::Maximized
                          ? WindowPlacement::Maximized
                          : WindowPlacement::Normal;
    return placement;
}

void saveWindowPlacement(const SettingsStore &store, const WindowPlacement &placement)
{
    using namespace SettingKeys;
    const auto write = [&store](const Setting &setting, int value) {
        store.RegSaveSetting(setting, QString::number(value));
    };
    if (placement.state == WindowPlacement::Normal) {
        write(Top, placement.top);
        write(Left, placement.left);
        write(Width, placement.width);
        write(Height, placement.height);
    }
    if (placement.state != WindowPlacement::Minimized)
        write(WindowState, placement.state);
}
