// Soak run, by hand: searches and downloads at 16 slots against a local server that
// misbehaves in every way it knows (stall, reset mid-body, wrong length, endless body,
// 404 with a body, slow drip, never closing, garbage). Every run must end, every failure
// must be reported as one, and no file that was already in the folder may change.
// Usage: bench_soak [rounds, default 3] [timeout ms, default 1500]
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/download/downloadrun.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/hostmapping.h"
#include "core/search/groupsearch.h"
#include "support/testserver.h"

namespace {

using Serve = TestServer::Mode;

struct Kind
{
    const char *name;
    Serve mode;
    int status;
};

const Kind Kinds[] = {
    {"normal", Serve::Normal, 200},
    {"stall", Serve::Stall, 200},
    {"stall-after-headers", Serve::StallAfterHeaders, 200},
    {"reset-mid-body", Serve::ResetMidBody, 200},
    {"wrong-length", Serve::WrongLength, 200},
    {"endless-body", Serve::EndlessBody, 200},
    {"404-with-body", Serve::Normal, 404},
    {"slow-drip", Serve::Slow, 200},
    {"never-close", Serve::NeverClose, 200},
    {"garbage", Serve::Garbage, 200},
    {"split-head", Serve::SplitHead, 200},
    {"chunked", Serve::Chunked, 200},
};

TestServer::Response response(const Kind &kind, const QByteArray &body)
{
    TestServer::Response r;
    r.mode = kind.mode;
    r.status = kind.status;
    r.reason = kind.status == 200 ? "OK" : "Not Found";
    r.body = kind.status == 200 ? body : QByteArray("<html>not here</html>");
    r.delayMs = kind.mode == Serve::Slow ? 5 : (kind.mode == Serve::EndlessBody ? 2 : 0);
    r.chunkSize = kind.mode == Serve::Slow ? 2000 : 4096;
    r.announcedLength = body.size() + 5000;
    return r;
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Runs the event loop until done() is true or the limit passes; false on the limit.
template <typename Done> bool runUntil(Done done, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || timer.elapsed() > limitMs)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int timeoutMs = argc > 2 ? std::max(200, atoi(argv[2])) : 1500;

    TestServer server;
    if (!server.listen())
        return 1;
    const QString target = QStringLiteral(":127.0.0.1:") + QString::number(server.port());
    HostMapping::global().add(QStringLiteral("soak.groups.test:80") + target);
    HostMapping::global().add(QStringLiteral("f1.soak.test:80") + target);

    int searches = 0, searchHangs = 0, downloads = 0, downloadHangs = 0, okFiles = 0,
        failedFiles = 0, wrongSuccesses = 0, changedFiles = 0, leftovers = 0;
    const QByteArray body(60000, 'b');

    for (int round = 0; round < rounds; ++round) {
        // Search: 48 pages, each kind on several pages, each page linking to files of every kind.
        QByteArray page = "<b>From:</b> Soak<br><b>Subject:</b> Round<br>";
        for (const Kind &kind : Kinds)
            page += "<a href=\"http://f1.soak.test/f/" + QByteArray(kind.name) + ".bin\">x</a>";
        for (int n = 1; n <= 48; ++n) {
            const Kind &kind = Kinds[n % std::size(Kinds)];
            server.route("/group/soak/message/" + QByteArray::number(n), response(kind, page));
        }
        for (const Kind &kind : Kinds)
            server.route("/f/" + QByteArray(kind.name) + ".bin", response(kind, body));

        AppState state;
        SlotBoard board;
        board.resize(16);
        FileListModel files;
        files.setColumns(columnSet(::Mode::Yahoo));
        GroupSearch search(state, board, files);
        bool searched = false;
        QObject::connect(&search, &GroupSearch::finished, [&] { searched = true; });
        search.start({QStringLiteral("http://soak.groups.test/group/soak"),
                      QStringLiteral("1-48"),
                      16,
                      {},
                      {timeoutMs, timeoutMs}});
        ++searches;
        if (!runUntil([&] { return searched; }, 120000))
            ++searchHangs;

        // Download every kind into a folder that already holds a file of each name.
        QTemporaryDir dir;
        QHash<QString, QByteArray> before;
        QList<QStringList> rows;
        for (const Kind &kind : Kinds) {
            const QString name = QString::fromLatin1(kind.name) + QStringLiteral(".bin");
            QFile old(dir.filePath(name));
            if (old.open(QIODevice::WriteOnly))
                old.write("the file that was there before: " + QByteArray(kind.name));
            old.close();
            before.insert(name, digest(dir.filePath(name)));
            rows.append(
                {name, QString(), QStringLiteral("http://f1.soak.test/f/") + name, QString()});
        }
        FileListModel list;
        list.setColumns(columnSet(::Mode::Zing));
        list.addRows(rows);
        list.CheckItems(true, true);
        DownloadRun run(state, board, list);
        bool downloaded = false;
        QObject::connect(&run, &DownloadRun::finished, [&] { downloaded = true; });
        QObject::connect(
            &run, &DownloadRun::fileDone,
            [&](FileListModel::RowId, bool ok, const QString &path, const QString &) {
                const QString name = QFileInfo(path).fileName();
                const bool shouldWork = name == QLatin1String("normal.bin") ||
                                        name == QLatin1String("slow-drip.bin") ||
                                        name == QLatin1String("split-head.bin") ||
                                        name == QLatin1String("chunked.bin") ||
                                        name == QLatin1String("never-close.bin");
                ok ? ++okFiles : ++failedFiles;
                if (ok && (!shouldWork || digest(path) != QCryptographicHash::hash(
                                                              body, QCryptographicHash::Sha256)))
                    ++wrongSuccesses;
                if (!ok && digest(path) != before.value(name))
                    ++changedFiles;
            });
        DownloadRun::Params params;
        params.folder = dir.path();
        params.threads = 16;
        params.timeoutMs = timeoutMs;
        params.retries = 0; // each misbehaviour is judged on its first answer
        run.start(params);
        ++downloads;
        // A file whose body never ends (no length announced) goes on until the user aborts;
        // the abort must then end the run at once.
        if (!runUntil([&] { return downloaded; }, 10000)) {
            state.AbortAll();
            if (!runUntil([&] { return downloaded; }, 5000))
                ++downloadHangs;
        }
        const QStringList entries = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        leftovers += int(entries.size()) - int(std::size(Kinds));
        std::fprintf(stderr, "round %d: search \"%s\", download \"%s\"\n", round + 1,
                     qPrintable(searched ? QStringLiteral("ended") : QStringLiteral("HUNG")),
                     qPrintable(state.statusMessage()));
    }

    std::printf("searches %d (hung %d), downloads %d (hung %d)\n", searches, searchHangs, downloads,
                downloadHangs);
    std::printf("files: %d written, %d failed; wrong successes %d; existing files changed by a "
                "failure %d; files left beside the targets %d\n",
                okFiles, failedFiles, wrongSuccesses, changedFiles, leftovers);
    return searchHangs + downloadHangs + wrongSuccesses + changedFiles + leftovers == 0 ? 0 : 1;
}
