// Peak memory of a group search over one huge message page, by hand. Each case runs in a
// child process of its own, so that its peak (VmHWM) is its alone. The page comes from the
// local test server; the size checks of its links go to a closed loopback port and fail at
// once, so the run measures the rows and the pending checks, not the network.
// Usage: bench_searchmemory [case]   (no case: every case, one child each)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <cstdio>

#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/hostmapping.h"
#include "core/search/groupsearch.h"
#include "support/testserver.h"

namespace {

struct Case
{
    const char *name;
    int authorChars;
    int links;
    const char *link; // %1: the link's number
    bool sortByAuthor;
};

// The pages of the report: a long author over many rows, a very long one over more rows,
// and a page that is nothing but links without a path.
const Case Cases[] = {
    {"author-50k-links-10k", 50000, 10000, "<a href=\"http://f1/a/%1.zip\">", false},
    {"author-50k-links-10k-sorted-by-author", 50000, 10000, "<a href=\"http://f1/a/%1.zip\">",
     true},
    {"author-1m-links-100k", 1000000, 100000, "<p><a href=\"http://f1/files/%1.zip\">x</a>\n",
     false},
    {"links-800k-no-path", 0, 800000, "<a href=\"http://f\">\n", false},
};

QByteArray makePage(const Case &c)
{
    QByteArray page = "<html><b>From:</b> Ann ";
    for (int i = 0; i < c.authorChars; ++i)
        page += char('A' + i % 26);
    page += "<br>\n<b>Subject:</b> Huge<br>\n";
    const QByteArray link = c.link;
    for (int i = 0; i < c.links; ++i)
        page += QByteArray(link).replace("%1", QByteArray::number(i));
    page += "</html>";
    return page;
}

qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

int runCase(const Case &c)
{
    TestServer server;
    QTcpServer closed; // a port that refuses: bound, then released
    if (!server.listen() || !closed.listen(QHostAddress::LocalHost))
        return 2;
    const quint16 refusing = closed.serverPort();
    closed.close();
    HostMapping &mapping = HostMapping::global();
    mapping.add(QStringLiteral("groups.bench.test:80:127.0.0.1:") + QString::number(server.port()));
    for (const char *host : {"f1", "f"})
        mapping.add(QString::fromLatin1(host) + QStringLiteral(":80:127.0.0.1:") +
                    QString::number(refusing));
    TestServer::Response page;
    page.body = makePage(c);
    const qint64 pageBytes = page.body.size();
    server.route("/g/message/1", page);

    AppState state;
    SlotBoard board;
    board.resize(4);
    FileListModel files;
    // Set up as the command-line program does: sorted by message number.
    files.setColumns(columnSet(Mode::Yahoo));
    files.setSortKey(1);
    files.columnClick(c.sortByAuthor ? 2 : 0);
    GroupSearch search(state, board, files);
    QObject::connect(&search, &GroupSearch::finished, qApp, &QCoreApplication::quit);
    QElapsedTimer timer;
    timer.start();
    GroupSearch::Params params;
    params.baseUrl = QStringLiteral("http://groups.bench.test/g/");
    params.mask = QStringLiteral("1");
    params.threads = 4;
    if (!search.start(params))
        return 2;
    QCoreApplication::exec();
    std::printf("%lld %d %lld %lld\n", pageBytes, files.rowCount(), peakKiB(),
                qint64(timer.elapsed()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1) {
        for (const Case &c : Cases) {
            if (qstrcmp(argv[1], c.name) == 0)
                return runCase(c);
        }
        std::fprintf(stderr, "unknown case %s\n", argv[1]);
        return 2;
    }
    std::printf("%-40s %10s %8s %10s %10s %8s %s\n", "case", "page MB", "rows", "peak MiB",
                "target MiB", "s", "");
    int failures = 0;
    for (const Case &c : Cases) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(c.name)});
        child.waitForFinished(-1);
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || fields.size() != 4) {
            std::printf("%-40s failed (exit %d)\n", c.name, child.exitCode());
            ++failures;
            continue;
        }
        const double pageMB = fields[0].toDouble() / 1e6;
        const qint64 rows = fields[1].toLongLong();
        const double peakMiB = fields[2].toDouble() / 1024.0;
        // A search may take 100 MiB plus 1 KiB per row found.
        const double targetMiB = 100.0 + double(rows) / 1024.0;
        const bool ok = peakMiB <= targetMiB;
        failures += ok ? 0 : 1;
        std::printf("%-40s %10.1f %8lld %10.1f %10.1f %8.1f %s\n", c.name, pageMB, rows, peakMiB,
                    targetMiB, fields[3].toDouble() / 1000.0, ok ? "ok" : "OVER");
    }
    return failures == 0 ? 0 : 1;
}
