#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include "core/settings/settingkeys.h"

// The per-user settings store: named string values grouped in sections, kept in one
// JSON file. A section path with "\" names nested sections ("Yahoo\MRU").
//
// Every call reads or rewrites the file; nothing is cached, so two running copies see
// each other's writes. Writes replace the file atomically under a lock file. Failures
// never reach the caller: a failed read gives the default, a failed write is dropped.
// Section and key names match case-insensitively and keep the case first written.
// A section's values come back in the order in which they were first added.
class SettingsStore final
{
public:
    using Pairs = QList<QPair<QString, QString>>; // (name, value)

    // The store of the running user: settings.json in the application's config folder.
    SettingsStore();
    // A store over an explicit file, for tests and tools.
    explicit SettingsStore(const QString &filePath);

    QString filePath() const { return m_filePath; }

    // Writes one value, creating the application and section as needed.
    void RegSaveSetting(const QString &application, const QString &section, const QString &key,
                        const QString &value) const;
    // The stored text, or defaultValue when the value cannot be read. An empty stored
    // value reads as "", not as the default.
    QString RegGetSetting(const QString &application, const QString &section, const QString &key,
                          const QString &defaultValue = QString()) const;
    // A setting of the table, or its default.
    QString RegGetSetting(const Setting &setting) const;
    void RegSaveSetting(const Setting &setting, const QString &value) const;

    // Every value of the section in store order; empty when the section cannot be read.
    Pairs RegGetAllSettings(const QString &application, const QString &section) const;
    // Makes the section hold exactly these pairs, in this order. Nested sections under it
    // are kept.
    void RegSaveAllSettings(const QString &application, const QString &section,
                            const Pairs &pairs) const;

private:
    QString m_filePath;
};
