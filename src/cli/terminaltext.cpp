#include "cli/terminaltext.h"

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QLatin1StringView escape(char16_t c)
{
    switch (c) {
    case 0x07:
        return QLatin1StringView("\\a");
    case 0x08:
        return QLatin1StringView("\\b");
    case 0x09:
        return QLatin1StringView("\\t");
    case 0x0A:
        return QLatin1StringView("\\n");
    case 0x0B:
        return QLatin1StringView("\\v");
    case 0x0C:
        return QLatin1StringView("\\f");
    case 0x0D:
        return QLatin1StringView("\\r");
    case 0x1B:
        return QLatin1StringView("\\e");
    default:
        return {};
    }
}

} // namespace

QString printable(const QString &text)
{
    qsizetype first = 0;
    while (first < text.size() && !isControl(text.at(first).unicode()))
        ++first;
    if (first == text.size())
        return text; // the usual case: nothing to escape, nothing copied
    QString out = text.left(first);
    out.reserve(text.size() + 8);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (!isControl(c)) {
            out += QChar(c);
        } else if (const QLatin1StringView named = escape(c); !named.isEmpty()) {
            out += named;
        } else {
            out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        }
    }
    return out;
}
