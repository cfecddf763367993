// A group message page as fetched, with the three filters the user typed.
#include <cstddef>
#include <cstdint>

#include "core/search/groupparser.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    // Lines one to three are the subject, author and file-name filters; the rest is the page.
    QString filterText[3];
    qsizetype pos = 0;
    for (QString &filter : filterText) {
        const qsizetype newline = input.indexOf(QLatin1Char('\n'), pos);
        if (newline < 0) {
            filter = input.mid(pos);
            pos = input.size();
            break;
        }
        filter = input.mid(pos, newline - pos);
        pos = newline + 1;
    }
    const GroupParser::Filters filters{filterText[0], filterText[1], filterText[2]};
    const GroupParser::Page page = GroupParser::parse(input.mid(pos), filters);

    if (page.rejected)
        FUZZ_CHECK(page.links.isEmpty());
    for (const GroupParser::Link &link : page.links)
        FUZZ_CHECK(link.url.startsWith(GroupParser::AttachmentUrlPrefix));
    return 0;
}
