#include "core/app/sysinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

namespace SysInfo {

namespace {
const QString Section = QStringLiteral("SysInfo");

// Programs that show the machine's hardware and system, best first.
const QStringList KnownPrograms = {
    QStringLiteral("hardinfo2"),           QStringLiteral("hardinfo"),
    QStringLiteral("kinfocenter"),         QStringLiteral("gnome-system-monitor"),
    QStringLiteral("mate-system-monitor"), QStringLiteral("xfce4-taskmanager"),
};
} // namespace

QString locateProgram(const QStringList &systemConfigDirs, const ExecutableFinder &findExecutable)
{
    for (const QString &dir : systemConfigDirs) {
        const SettingsStore machine(QDir(dir).filePath(QStringLiteral("trawlbay/machine.json")));
        const QString path =
            machine.RegGetSetting(SettingKeys::Application, Section, QStringLiteral("Path"));
        if (!path.isEmpty())
            return path;
        const QString folder =
            machine.RegGetSetting(SettingKeys::Application, Section, QStringLiteral("Folder"));
        if (!folder.isEmpty()) {
            const QString program = QDir(folder).filePath(QStringLiteral("sysinfo"));
            return QFileInfo::exists(program) ? program : QString();
        }
    }
    for (const QString &name : KnownPrograms) {
        const QString found = findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString locateProgram()
{
    QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    // The first entry is the user's own folder; only machine-wide ones count here.
    if (!dirs.isEmpty())
        dirs.removeFirst();
    return locateProgram(dirs,
                         [](const QString &name) { return QStandardPaths::findExecutable(name); });
}

} // namespace SysInfo
