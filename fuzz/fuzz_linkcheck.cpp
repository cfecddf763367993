// The size check: the response head a server sends back, the target read from a page's
// link, and the request built from it.
#include <cstddef>
#include <cstdint>

#include "core/search/linktarget.h"
#include "core/search/linkverifier.h"
#include "core/search/responsehead.h"
#include "fuzzsupport.h"

namespace {

bool sameResult(const HeadResult &a, const HeadResult &b)
{
    return a.complete == b.complete && a.status == b.status && a.nameFound == b.nameFound &&
           a.hasLength == b.hasLength && a.length == b.length;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const QByteArray head(bytes, qsizetype(size));

    const HeadResult open = parseResponseHead(head, false);
    const HeadResult closed = parseResponseHead(head, true);
    FUZZ_CHECK(closed.complete);
    for (const HeadResult &result : {open, closed}) {
        FUZZ_CHECK(result.complete || !result.nameFound);
        FUZZ_CHECK(result.nameFound || !result.hasLength);
        FUZZ_CHECK(result.hasLength || result.length.isEmpty());
        // A size comes only from a 2xx answer, and is a number.
        FUZZ_CHECK(!result.hasLength || (result.status >= 200 && result.status <= 299));
        for (const QChar c : result.length)
            FUZZ_CHECK(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    }
    // A head already complete reads the same whether or not the server closed afterwards.
    if (open.complete)
        FUZZ_CHECK(sameResult(open, closed));

    // Host and path: split at the first NUL, else in the middle.
    size_t cut = 0;
    while (cut < size && data[cut] != 0)
        ++cut;
    const size_t pathStart = cut < size ? cut + 1 : size / 2;
    if (cut == size)
        cut = size / 2;
    const QString host = QString::fromUtf8(bytes, qsizetype(cut));
    const QString path = QString::fromUtf8(bytes + pathStart, qsizetype(size - pathStart));
    const QByteArray request = cDsckLinkVerifier::request(host, path);
    // Nothing from a page may add a line to the request or end it early.
    if (!request.isEmpty()) {
        FUZZ_CHECK(request.count("\r\n") == 6);
        FUZZ_CHECK(request.count('\r') == 6);
        FUZZ_CHECK(request.count('\n') == 6);
        FUZZ_CHECK(request.endsWith("\r\n\r\n"));
    }

    // The whole input as a link: what goes out names no user and no fragment.
    const LinkTarget target = linkTarget(QString::fromUtf8(bytes, qsizetype(size)));
    if (target.valid) {
        FUZZ_CHECK(!target.host.isEmpty() && target.port > 0);
        FUZZ_CHECK(!target.hostHeader.contains(QLatin1Char('@')));
        FUZZ_CHECK(!target.path.contains(QLatin1Char('#')) && target.path.startsWith(u'/'));
        const QByteArray asked = cDsckLinkVerifier::request(target.hostHeader, target.path);
        FUZZ_CHECK(asked.isEmpty() || asked.count("\r\n") == 6);
    }
    return 0;
}
