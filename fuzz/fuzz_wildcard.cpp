// The search filters' wildcard patterns against page text.
#include <cstddef>
#include <cstdint>

#include "core/search/wildcard.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    // The pattern runs up to the first NUL or newline; the text is everything after it.
    size_t cut = 0;
    while (cut < size && data[cut] != 0 && data[cut] != '\n')
        ++cut;
    const QString pattern = QString::fromUtf8(bytes, qsizetype(cut));
    const QString text =
        cut < size ? QString::fromUtf8(bytes + cut + 1, qsizetype(size - cut - 1)) : QString();

    Wildcard::matches(text, pattern);
    Wildcard::matches(pattern, text);

    FUZZ_CHECK(Wildcard::matches(text, QStringLiteral("*")));
    static const QString Special = QStringLiteral("*?#[");
    bool plain = true;
    for (const QChar c : text) {
        if (Special.contains(c)) {
            plain = false;
            break;
        }
    }
    if (plain)
        FUZZ_CHECK(Wildcard::matches(text, text));
    return 0;
}
