#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "core/filelist/mode.h"

class SettingsStore;

// The base-URL history of a mode (newest first, at most 20 after an update) and the
// per-mode column widths, kept in the settings store.
namespace History {

inline constexpr int MaxEntries = 20;

// Moves text to the top of entries (exact comparison; case and spaces count), adding it
// when it is new and dropping the oldest entry past MaxEntries. Returns false and changes
// nothing when text is empty.
bool update(QStringList &entries, const QString &text);

// Stores entries as MRU1..MRUn of the mode's history section, replacing what was there.
void saveMRU(const SettingsStore &store, Mode mode, const QStringList &entries);
// The stored history in stored order; the value names are not looked at, and no limit applies.
QStringList loadMRU(const SettingsStore &store, Mode mode);

using ColumnWidths = QList<QPair<QString, int>>; // (column key, width in twips)

// Writes every width under its key; "HiddenSize" is never written.
void saveColumnWidths(const SettingsStore &store, Mode mode, const ColumnWidths &widths);
// The stored width in twips of each key, or -1 when none is stored or it is not a number.
QList<int> loadColumnWidths(const SettingsStore &store, Mode mode,
                            const QStringList &keys);

} // namespace History
