#include "core/settings/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

// Long enough for a slow disk, short enough that a crashed copy's lock soon stops mattering.
constexpr int StaleLockMs = 10000;
constexpr int LockTimeoutMs = 5000;

std::string toStd(const QString &text)
{
    return text.toUtf8().toStdString();
}

QString fromStd(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Section paths use "\" like registry keys; empty parts ("A\\B", a trailing "\") mean nothing.
QStringList sectionParts(const QString &application, const QString &section)
{
    QStringList parts{application};
    parts += section.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts;
}

// Works for both const and mutable objects; gives end() when no member has the name.
template <typename J> auto findMember(J &object, const QString &name)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (QString::compare(fromStd(it.key()), name, Qt::CaseInsensitive) == 0)
            return it;
    }
    return object.end();
}

enum class FileState
{
    Missing,
    Ok,
    Broken,
    Unreadable
};

struct Loaded
{
    FileState state = FileState::Missing;
    Json root = Json::object();
};

Loaded load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {FileState::Unreadable};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {FileState::Unreadable};
    // An empty file holds nothing worth keeping aside; treat it like a missing one.
    if (bytes.trimmed().isEmpty())
        return {};
    Json root = Json::parse(bytes.constBegin(), bytes.constEnd(), nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return {FileState::Broken};
    return {FileState::Ok, std::move(root)};
}

// The section object for reading, or null when any part is missing or not an object.
const Json *findSection(const Json &root, const QStringList &parts)
{
    const Json *node = &root;
    for (const QString &part : parts) {
        const auto it = findMember(*node, part);
        if (it == node->end() || !it->is_object())
            return nullptr;
        node = &*it;
    }
    return node;
}

// The section object for writing, created as needed. Null when a part of the path is
// a value: the write is dropped rather than the value destroyed.
Json *makeSection(Json &root, const QStringList &parts)
{
    Json *node = &root;
    for (const QString &part : parts) {
        auto it = findMember(*node, part);
        if (it == node->end())
            node = &((*node)[toStd(part)] = Json::object());
        else if (it->is_object())
            node = &*it;
        else
            return nullptr;
    }
    return node;
}

// Keeps an unparsable file for the user to inspect instead of overwriting it.
bool moveAside(const QString &path)
{
    const QString base = path + QStringLiteral(".broken-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, target))
        return false;
    qWarning("Settings file %s could not be read; kept it as %s", qPrintable(path),
             qPrintable(target));
    return true;
}

// One locked read-change-replace cycle; change() returns false to drop the write. The file is read
// afresh under the lock so that concurrent writers (other copies of the program) never drop each
// other's values.
template <typename Change> void update(const QString &path, const QStringList &parts, Change change)
{
    try {
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return;
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(StaleLockMs);
        if (!lock.tryLock(LockTimeoutMs))
            return;

        Loaded loaded = load(path);
        if (loaded.state == FileState::Unreadable)
            return;
        if (loaded.state == FileState::Broken) {
            if (!moveAside(path))
                return;
            loaded.root = Json::object();
        }
        Json *section = makeSection(loaded.root, parts);
        if (!section || !change(*section))
            return;

        const std::string text = loaded.root.dump(4, ' ', false, Json::error_handler_t::replace);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return;
        out.write(text.data(), qint64(text.size()));
        out.write("\n", 1);
        out.commit();
    } catch (...) {
        // A failed write is dropped; the caller never hears of it.
    }
}

} // namespace

SettingsStore::SettingsStore()
    : SettingsStore(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                    QStringLiteral("/settings.json"))
{}

SettingsStore::SettingsStore(const QString &filePath) : m_filePath(filePath)
{}

void SettingsStore::RegSaveSetting(const QString &application, const QString &section,
                                   const QString &key, const QString &value) const
{
    update(m_filePath, sectionParts(application, section), [&](Json &object) {
        auto it = findMember(object, key);
        if (it == object.end())
            object[toStd(key)] = toStd(value);
        else if (it->is_object()) // never replace a nested section with a value
            return false;
        else
            *it = toStd(value);
        return true;
    });
}

QString SettingsStore::RegGetSetting(const QString &application, const QString &section,
                                     const QString &key, const QString &defaultValue) const
{
    try {
        const Loaded loaded = load(m_filePath);
        const Json *object = findSection(loaded.root, sectionParts(application, section));
        if (!object)
            return defaultValue;
        const auto it = findMember(*object, key);
        if (it == object->end() || !it->is_string())
            return defaultValue;
        return fromStd(it->get_ref<const std::string &>());
    } catch (...) {
        return defaultValue;
    }
}

SettingsStore::Pairs SettingsStore::RegGetAllSettings(const QString &application,
                                                      const QString &section) const
{
    Pairs pairs;
    try {
        const Loaded loaded = load(m_filePath);
        const Json *object = findSection(loaded.root, sectionParts(application, section));
        if (!object)
            return {};
        for (auto it = object->begin(); it != object->end(); ++it) {
            if (it->is_string())
                pairs.append({fromStd(it.key()), fromStd(it->get_ref<const std::string &>())});
        }
    } catch (...) {
        return {};
    }
    return pairs;
}

void SettingsStore::RegSaveAllSettings(const QString &application, const QString &section,
                                       const Pairs &pairs) const
{
    update(m_filePath, sectionParts(application, section), [&](Json &object) {
        // Nested sections stay; every plain value goes, though its spelling is remembered
        // so a name that comes back keeps the case it was first written with.
        Json rebuilt = Json::object();
        QStringList oldNames;
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it->is_object())
                rebuilt[it.key()] = std::move(*it);
            else
                oldNames.append(fromStd(it.key()));
        }
        // A name given twice keeps the position of its first pair and the value of its last.
        for (const auto &[name, value] : pairs) {
            auto it = findMember(rebuilt, name);
            if (it != rebuilt.end()) {
                if (!it->is_object())
                    *it = toStd(value);
                continue;
            }
            QString spelling = name;
            for (const QString &old : oldNames) {
                if (QString::compare(old, name, Qt::CaseInsensitive) == 0)
                    spelling = old;
            }
            rebuilt[toStd(spelling)] = toStd(value);
        }
        object = std::move(rebuilt);
        return true;
    });
}

QString SettingsStore::RegGetSetting(const Setting &setting) const
{
    return RegGetSetting(SettingKeys::Application, setting.section, setting.key,
                         setting.defaultValue);
}

void SettingsStore::RegSaveSetting(const Setting &setting, const QString &value) const
{
    RegSaveSetting(SettingKeys::Application, setting.section, setting.key, value);
}
