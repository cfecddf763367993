// Times the result list's heavy operations on 100,000 Yahoo rows. Each measurement runs
// on freshly generated rows several times; the median is printed next to its target.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRepeats = 5;

const QStringList kWords = {
    "holiday", "Beach",   "sunset",  "party", "Wedding", "garden", "mountain", "city",
    "night",   "River",   "family",  "dog",   "cat",     "Summer", "winter",   "trip",
    "photos",  "scans",   "archive", "misc",  "Ärger",   "élan",   "zebra",    "Omega",
    "meeting", "minutes", "draft",   "final", "v2",      "old",    "new",      "backup"};
const QStringList kAuthors = {"anna_k",  "Bob",    "carla.m", "dmitri", "Eve",
                              "frank77", "GINA",   "hiro",    "ivan_p", "julia",
                              "kofi",    "Lars.N", "maria",   "nadia",  "oskar"};
const QStringList kExtensions = {"jpg", "JPG", "png", "gif", "zip", "pdf", "doc", "mp3"};

QString pick(const QStringList &list, QRandomGenerator &random)
{
    return list.at(int(random.bounded(int(list.size()))));
}

QList<QStringList> makeRows(quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QStringList> rows;
    rows.reserve(kRows);
    for (int i = 1; i <= kRows; ++i) {
        const QString subject = pick(kWords, random) + QLatin1Char(' ') + pick(kWords, random) +
                                QLatin1Char(' ') + QString::number(random.bounded(1000));
        const QString fileName = pick(kWords, random) + QLatin1Char('_') +
                                 QString::number(random.bounded(100000)) + QLatin1Char('.') +
                                 pick(kExtensions, random);
        const QString size = QString::number(random.bounded(50000001));
        const QString url = QStringLiteral("http://groups.example.com/group/files/") +
                            QString::number(i) + QLatin1Char('/') + fileName;
        rows.append({formatMessageNumber(i), subject, pick(kAuthors, random), fileName, size, url,
                     formatHiddenSize(size)});
    }
    return rows;
}

// Marks about half of the rows, scattered.
void selectHalf(FileListModel &model, quint32 seed)
{
    QRandomGenerator random(seed);
    for (int row = 0; row < model.rowCount(); ++row)
        model.setSelected(row, row, random.bounded(2) == 1);
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Measure
{
    QString name;
    double targetMs = 0; // 0: no target
    std::vector<double> runs;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QList<ColumnDef> columns = columnSet(Mode::Yahoo);

    std::vector<Measure> measures;
    const auto add = [&measures](const QString &name, double target) {
        measures.push_back({name, target, {}});
        return measures.size() - 1;
    };
    const size_t addAll = add(QStringLiteral("addRows, 100,000 rows"), 0);
    std::vector<size_t> sorts;
    for (int column = 0; column < columns.size(); ++column) {
        const QString caption = columns[column].caption.isEmpty() ? QStringLiteral("(hidden size)")
                                                                  : columns[column].caption;
        sorts.push_back(add(QStringLiteral("sort by ") + caption, 300));
    }
    const size_t totals = add(QStringLiteral("totals()"), 30);
    const size_t checkAll = add(QStringLiteral("CheckItems(true, true)"), 100);
    const size_t inverse = add(QStringLiteral("inverseSelection()"), 100);
    const size_t remove = add(QStringLiteral("removeSelected(), half scattered"), 300);
    const size_t addSorted = add(QStringLiteral("addRows while sorted, 10 x 10,000"), 0);

    qint64 sink = 0; // keeps the totals from being optimised away
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        const quint32 seed = 1000 + quint32(repeat);
        const QList<QStringList> rows = makeRows(seed);

        FileListModel model;
        model.setColumns(columns);
        measures[addAll].runs.push_back(timeMs([&] { model.addRows(rows); }));
        for (int column = 0; column < int(sorts.size()); ++column)
            measures[sorts[size_t(column)]].runs.push_back(
                timeMs([&] { model.columnClick(column); }));

        selectHalf(model, seed);
        measures[totals].runs.push_back(timeMs([&] { sink += model.totals(4).totalBytes; }));
        measures[checkAll].runs.push_back(timeMs([&] { model.CheckItems(true, true); }));
        measures[inverse].runs.push_back(timeMs([&] { model.inverseSelection(); }));
        measures[remove].runs.push_back(timeMs([&] { sink += model.removeSelected(); }));

        FileListModel sorted;
        sorted.setColumns(columns);
        sorted.columnClick(1);
        measures[addSorted].runs.push_back(timeMs([&] {
            for (qsizetype first = 0; first < rows.size(); first += 10000)
                sorted.addRows(rows.mid(first, 10000));
        }));
        sink += sorted.rowCount();
    }

    std::printf("Result list, %d rows, median of %d runs (RelWithDebInfo or Release build)\n\n",
                kRows, kRepeats);
    std::printf("%-38s %10s %10s  %s\n", "operation", "median ms", "target ms", "");
    bool allMet = true;
    for (const Measure &measure : measures) {
        const double ms = median(measure.runs);
        if (measure.targetMs <= 0) {
            std::printf("%-38s %10.1f %10s\n", qPrintable(measure.name), ms, "-");
            continue;
        }
        const bool met = ms <= measure.targetMs;
        allMet = allMet && met;
        std::printf("%-38s %10.1f %10.0f  %s\n", qPrintable(measure.name), ms, measure.targetMs,
                    met ? "ok" : "SLOW");
    }
    std::printf("\nTargets: sort <= 300 ms, totals <= 30 ms, check all and inverse <= 100 ms, "
                "remove half <= 300 ms. %s\n",
                allMet ? "All met." : "Some missed.");
    return sink == -1 ? 2 : 0;
}
