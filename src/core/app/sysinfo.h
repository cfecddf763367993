#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Finds the system-information program that the about box starts. A machine-wide file
// "trawlbay/machine.json" in the system config folders may name it (section "SysInfo":
// "Path", the program itself, or "Folder", a folder holding a program "sysinfo"); else a
// known system-information program on PATH is used. "" when there is none.
namespace SysInfo {

using ExecutableFinder = std::function<QString(const QString &name)>;

QString locateProgram(const QStringList &systemConfigDirs, const ExecutableFinder &findExecutable);

// The same, with the system config folders and PATH of this machine.
QString locateProgram();

} // namespace SysInfo
