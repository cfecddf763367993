// The message range mask typed by the user.
#include <cstddef>
#include <cstdint>

#include "core/search/messagemask.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString mask = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const MessageMask::Result result = MessageMask::ParseMessageMask(mask);
    // Every accepted mask names at least one message; a refused one names none.
    if (result.ok)
        FUZZ_CHECK(!result.numbers.isEmpty());
    else
        FUZZ_CHECK(result.numbers.isEmpty());
    return 0;
}
