#include "gui/ui/icons.h"

// The drawings live in the GUI library; a static library needs its resources registered.
static void ensureIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered)
}

namespace Icons {

QIcon themed(const QString &themeName, const QString &fallbackName)
{
    ensureIconResources();
    return QIcon::fromTheme(
        themeName, QIcon(QStringLiteral(":/icons/") + fallbackName + QStringLiteral(".svg")));
}

QIcon appIcon()
{
    ensureIconResources();
    return QIcon::fromTheme(QStringLiteral("trawlbay"),
                            QIcon(QStringLiteral(":/icons/trawlbay.svg")));
}

} // namespace Icons
