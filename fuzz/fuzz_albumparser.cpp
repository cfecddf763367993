// An album page as fetched.
#include <cstddef>
#include <cstdint>

#include "core/search/albumparser.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString page = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const AlbumParser::Page result = AlbumParser::parse(page);
    FUZZ_CHECK(result.hasPictureList == page.contains(QStringLiteral("var theUrls")));
    return 0;
}
