// A queue file opened by the user, then saved and opened again.
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/queue/queuefile.h"
#include "fuzzsupport.h"

namespace {

// Made once: creating a directory for every input would only slow the fuzzer down.
QString scratchPath(const QString &name)
{
    static QTemporaryDir dir(scratchTemplate());
    return dir.filePath(name);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString opened = scratchPath(QStringLiteral("opened.tbq"));
    static const QString saved = scratchPath(QStringLiteral("saved.tbq"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(opened);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    QueueFile::MemorySink first;
    if (QueueFile::read(opened, first).isError())
        return 0;

    // Whatever a file that opens holds survives being saved and opened again, and saving
    // that once more gives the same bytes.
    FUZZ_CHECK(!QueueFile::write(saved, first.content).isError());
    const QByteArray savedBytes = fileBytes(saved);
    QueueFile::MemorySink second;
    FUZZ_CHECK(!QueueFile::read(saved, second).isError());
    FUZZ_CHECK(second.content.server == first.content.server);
    FUZZ_CHECK(second.content.url == first.content.url);
    FUZZ_CHECK(second.content.mask == first.content.mask);
    FUZZ_CHECK(second.content.rows.size() == first.content.rows.size());
    // Rows read under another mode than the last one are saved in the last one's layout.
    const qsizetype width = first.content.server == QLatin1String("Yahoo") ? 7 : 4;
    if (std::all_of(first.content.rows.cbegin(), first.content.rows.cend(),
                    [width](const QStringList &row) { return row.size() == width; }))
        FUZZ_CHECK(second.content.rows == first.content.rows);
    FUZZ_CHECK(!QueueFile::write(saved, second.content).isError());
    FUZZ_CHECK(fileBytes(saved) == savedBytes);
    return 0;
}
