// A queue file opened by the user, and the text encoding it is read and written with.
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/queue/queuefile.h"
#include "core/queue/textencoding.h"
#include "fuzzsupport.h"

namespace {

// Made once: creating a directory for every input would only slow the fuzzer down.
QString queuePath()
{
    static QTemporaryDir dir(scratchTemplate());
    static const QString path = dir.filePath(QStringLiteral("queue.tbq"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(queuePath());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    QueueFile::MemorySink sink;
    QueueFile::read(queuePath(), sink);

    // Whatever text a file held must survive being saved again.
    const QString text = TextEncoding::decodeText(bytes);
    FUZZ_CHECK(TextEncoding::decodeText(TextEncoding::encodeText(text)) == text);
    return 0;
}
