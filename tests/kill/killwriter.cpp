// Writes a queue file or a setting over and over, alternating two versions, until it is
// killed. The kill test checks that whatever moment the kill hits, the file on disk is
// one of the two whole versions.
#include <QCoreApplication>
#include <QString>
#include <cstdio>

#include "core/queue/queuefile.h"
#include "core/settings/settingsstore.h"

namespace {

QueueFile::Content queueVersion(int version)
{
    QueueFile::Content content;
    content.server = QStringLiteral("Zing");
    content.url = QStringLiteral("http://www.zing.com/album/v%1").arg(version);
    content.mask = QStringLiteral("p");
    // Large enough that a write takes a while.
    for (int i = 0; i < 20000; ++i)
        content.rows.append({QStringLiteral("v%1-file%2.jpg").arg(version).arg(i),
                             QString::number(i), QStringLiteral("http://h/%1").arg(i)});
    return content;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: killwriter queue|settings PATH\n");
        return 2;
    }
    const QString path = args.at(2);
    if (args.at(1) == QLatin1String("queue")) {
        const QueueFile::Content versions[2] = {queueVersion(1), queueVersion(2)};
        for (int i = 0;; i = 1 - i) {
            if (QueueFile::write(path, versions[i]).isError())
                return 1;
        }
    }
    const SettingsStore store(path);
    const QString big(200000, QLatin1Char('x'));
    for (int i = 0;; i = 1 - i)
        store.RegSaveSetting(QStringLiteral("Trawl Bay"), QStringLiteral("Settings"),
                             QStringLiteral("Value"), QString::number(i + 1) + big);
}
