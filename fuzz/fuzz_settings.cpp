// The settings file: whatever is on disk, even a file broken by hand or by a crash, must
// read and be written over safely.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/settings/settingsstore.h"
#include "fuzzsupport.h"

namespace {

const QString App = QStringLiteral("Trawl Bay");

QDir &workDir()
{
    static QTemporaryDir temporary(scratchTemplate());
    static QDir dir(temporary.path());
    return dir;
}

// A broken file is renamed aside on every write; without this the disk would fill up.
void clearWorkDir()
{
    const QStringList names = workDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        workDir().remove(name);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    clearWorkDir();
    const QString path = workDir().filePath(QStringLiteral("settings.json"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }
    const SettingsStore store(path);

    store.RegGetSetting(App, QStringLiteral("Yahoo\\MRU"), QStringLiteral("Item 1"));
    store.RegGetAllSettings(App, QStringLiteral("Yahoo\\MRU"));
    store.RegGetAllSettings(App, QString());

    // Where the file already holds something in the way (a value where a section should be,
    // a section where the value should be), the write is dropped and the old text stays.
    const QString before = store.RegGetSetting(App, QStringLiteral("Options"),
                                               QStringLiteral("Slots"), QStringLiteral("none"));
    store.RegSaveSetting(App, QStringLiteral("Options"), QStringLiteral("Slots"),
                         QStringLiteral("4"));
    const QString after = store.RegGetSetting(App, QStringLiteral("Options"),
                                              QStringLiteral("Slots"), QStringLiteral("none"));
    FUZZ_CHECK(after == QStringLiteral("4") || after == before);

    // A name longer than the whole file cannot be in it, so nothing there can block this write.
    const QString fresh(qsizetype(size) + 1, QLatin1Char('F'));
    const QString value =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(qMin<size_t>(size, 64)));
    store.RegSaveSetting(fresh, QStringLiteral("Fuzz\\Nested"), QStringLiteral("Key"), value);
    FUZZ_CHECK(store.RegGetSetting(fresh, QStringLiteral("Fuzz\\Nested"), QStringLiteral("Key"),
                                   QStringLiteral("missing")) == value);
    return 0;
}
