// Times a download run over many rows that share one file name, as real archives have
// (every camera names its pictures IMG_0001.jpg), against as many rows of distinct names.
// The rows' addresses use a scheme the transfers refuse at once, so the run is all
// bookkeeping: finding each row its free name ("IMG_0001 (2).jpg", ...), opening and
// dropping its part file, and counting its end. The difference between the two runs is what
// the shared name costs. Target: at most 1 s for 10,000 rows.
// Usage: bench_samenames [rows, default 10000]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/app/runsession.h"
#include "core/filelist/columnset.h"

namespace {

constexpr int Repeats = 3;

// One run over `rows` ticked rows; its time in milliseconds.
qint64 timeRun(int rows, bool sameName)
{
    QTemporaryDir folder;
    RunSession session;
    session.setMode(Mode::Zing);
    QList<QStringList> cells;
    cells.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const QString name = sameName
                                 ? QStringLiteral("IMG_0001.jpg")
                                 : QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        cells.append(
            {name, QString(), QStringLiteral("gopher://pictures.invalid/%1").arg(i), QString()});
    }
    session.files().addRows(cells);
    session.files().CheckItems(true, true);
    DownloadRun::Params params;
    params.folder = folder.path();
    params.mode = Mode::Zing;
    params.threads = 16;
    params.retries = 0;
    params.ifExists = DownloadRun::IfExists::KeepBoth;
    session.board().resize(params.threads);
    QSignalSpy finished(&session.download(), &DownloadRun::finished);
    QElapsedTimer clock;
    clock.start();
    if (session.startDownload(params))
        return -1;
    if (finished.isEmpty() && !finished.wait(600000))
        return -1;
    const qint64 ms = clock.elapsed();
    if (session.download().failures().size() != rows)
        std::fprintf(stderr, "expected %d failed rows, got %lld\n", rows,
                     qint64(session.download().failures().size()));
    return ms;
}

qint64 median(int rows, bool sameName)
{
    std::vector<qint64> times;
    for (int i = 0; i < Repeats; ++i)
        times.push_back(timeRun(rows, sameName));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const qint64 distinct = median(rows, false);
    const qint64 same = median(rows, true);
    std::printf("%d rows, distinct names: %lld ms (median of %d)\n", rows, distinct, Repeats);
    std::printf("%d rows, one name:       %lld ms (median of %d)\n", rows, same, Repeats);
    std::printf("cost of the shared name:  %lld ms (target <= 1000 ms)\n", same - distinct);
    return 0;
}
