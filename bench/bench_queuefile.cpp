// Times saving and opening a queue file of 100,000 Yahoo rows. Opening feeds the rows into
// the result list the way the window does; each measurement runs on freshly generated rows
// several times and the median is printed next to its target. Then measures the peak memory
// of reading and writing that file and of opening files that are no queue files.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/queue/queuefile.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRepeats = 5;

// Accented words stay within Windows-1252, so the file is written one byte per character
// like the files of older versions.
const QStringList kWords = {
    "holiday", "Beach",   "sunset", "party", "Wedding", "garden", "mountain", "city",
    "night",   "River",   "family", "dog",   "Café",    "Summer", "Zürich",   "trip",
    "photos",  "scans",   "Ärger",  "élan",  "Señor",   "naïve",  "Ørsted",   "crème",
    "meeting", "minutes", "draft",  "final", "v2",      "old",    "new",      "backup"};
const QStringList kAuthors = {"anna_k", "Bob",    "carla.m", "dmitri",   "Eve",  "frank77",
                              "GINA",   "José",   "ivan_p",  "Jürgen",   "kofi", "Lars.N",
                              "maria",  "Noëlle", "oskar",   "Françoise"};
const QStringList kExtensions = {"jpg", "JPG", "png", "gif", "zip", "pdf", "doc", "mp3"};

QString pick(const QStringList &list, QRandomGenerator &random)
{
    return list.at(int(random.bounded(int(list.size()))));
}

// A saved Yahoo search as the window hands it over: rows in message order, each with
// its hidden size key (which the file leaves out).
QueueFile::Content makeContent(quint32 seed)
{
    QRandomGenerator random(seed);
    QueueFile::Content content;
    content.server = QStringLiteral("Yahoo");
    content.url = QStringLiteral("http://groups.example.com/group/photos/messages");
    content.mask = QStringLiteral("1-100000");
    content.rows.reserve(kRows);
    for (int i = 1; i <= kRows; ++i) {
        const QString subject = pick(kWords, random) + QLatin1Char(' ') + pick(kWords, random) +
                                QLatin1Char(' ') + QString::number(random.bounded(1000));
        const QString fileName = pick(kWords, random) + QLatin1Char('_') +
                                 QString::number(random.bounded(100000)) + QLatin1Char('.') +
                                 pick(kExtensions, random);
        const QString size = QString::number(random.bounded(50000001));
        const QString url = QStringLiteral("http://groups.example.com/group/photos/files/") +
                            QString::number(i) + QLatin1Char('/') + fileName;
        content.rows.append({formatMessageNumber(i), subject, pick(kAuthors, random), fileName,
                             size, url, formatHiddenSize(size)});
    }
    return content;
}

// The rows as saved after a click on the Subject header: opening sorts them back by message
// number, so each row read lands somewhere inside the list instead of at its end.
QueueFile::Content sortedBySubject(QueueFile::Content content)
{
    std::stable_sort(content.rows.begin(), content.rows.end(),
                     [](const QStringList &a, const QStringList &b) {
                         return a.at(1).toCaseFolded() < b.at(1).toCaseFolded();
                     });
    return content;
}

// The window's state on a mode switch: the mode's columns, sorted by message number.
void switchMode(FileListModel &model, const QString &server)
{
    model.setColumns(columnSet(modeFromText(server)));
    model.setSortKey(1);
    model.columnClick(0);
}

// Opening as the window does it: a Server line switches the columns; rows are collected
// and added in one batch.
class BufferedListSink final : public QueueFile::Sink
{
public:
    explicit BufferedListSink(FileListModel &model) : m_model(model) {}

    bool setServer(const QString &server) override
    {
        if (server != QLatin1String("Yahoo") && server != QLatin1String("Zing"))
            return false;
        flush();
        m_server = server;
        switchMode(m_model, server);
        return true;
    }
    void setUrl(const QString &) override {}
    void setMask(const QString &) override {}
    QString currentServer() const override { return m_server; }
    void addRow(const QStringList &cells) override { m_rows.append(cells); }
    void flush()
    {
        m_model.addRows(m_rows);
        m_rows.clear();
    }

private:
    FileListModel &m_model;
    QString m_server;
    QList<QStringList> m_rows;
};

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
    const char *name;
    double targetMs = 0; // 0: no target
    std::vector<double> runs;
};

// Stops the benchmark when an operation fails: its timing would mean nothing.
bool ok(const QueueFile::Error &error, const char *what)
{
    if (!error.isError())
        return true;
    std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(error.message()));
    return false;
}

// Opens the file into a fresh list the way the window does (rows gathered, then added in
// one batch into the standing sort), including the totals the window shows afterwards.
bool openLikeWindow(const QString &path, Measure &measure, qint64 &check)
{
    const int sizeCol = sizeColumn(Mode::Yahoo);
    QueueFile::Error error;
    FileListModel model;
    switchMode(model, QStringLiteral("Yahoo"));
    measure.runs.push_back(timeMs([&] {
        BufferedListSink sink(model);
        error = QueueFile::read(path, sink);
        sink.flush();
        check += model.totals(sizeCol).totalBytes;
    }));
    return ok(error, "open") && model.rowCount() == kRows;
}

// Resident memory from /proc/self/status ("VmRSS", "VmHWM"), in KiB; 0 when unknown.
qint64 statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Reads and drops every row: what reading itself holds, without the rows it hands over.
class CountingSink final : public QueueFile::Sink
{
public:
    bool setServer(const QString &server) override
    {
        m_server = server;
        return server == QLatin1String("Yahoo") || server == QLatin1String("Zing");
    }
    void setUrl(const QString &) override {}
    void setMask(const QString &) override {}
    QString currentServer() const override { return m_server; }
    void addRow(const QStringList &) override { ++rows; }
    qint64 rows = 0;

private:
    QString m_server;
};

QString outcome(const QueueFile::Error &error, qint64 rows)
{
    return error.isError() ? error.message().left(60) : QStringLiteral("%1 rows").arg(rows);
}

// One memory measurement, run in a process of its own so that memory freed by earlier work
// does not hide what this one takes: prints the rise of VmHWM over VmRSS before the work.
int measureOne(const QString &what, const QString &path)
{
    const QueueFile::Content content =
        what == QLatin1String("write") ? makeContent(4000) : QueueFile::Content{};
    const qint64 before = statusKiB("VmRSS");
    QElapsedTimer timer;
    timer.start();
    QString result;
    if (what == QLatin1String("write")) {
        result = outcome(QueueFile::write(path, content), content.rows.size());
    } else if (what == QLatin1String("keep")) {
        QueueFile::MemorySink sink;
        const QueueFile::Error error = QueueFile::read(path, sink);
        result = outcome(error, sink.content.rows.size());
    } else {
        CountingSink sink;
        const QueueFile::Error error = QueueFile::read(path, sink);
        result = outcome(error, sink.rows);
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%9.1f %9.1f  %s\n", double(statusKiB("VmHWM") - before) / 1024, ms,
                qPrintable(result));
    return 0;
}

// A file of size bytes that starts with head and is a hole after it.
bool makeSparse(const QString &path, const QByteArray &head, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

// A Zing header followed by count blank lines, written a megabyte at a time.
bool makeBlankLines(const QString &path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("Server: Zing\r\n") < 0)
        return false;
    const qint64 perBlock = 512 * 1024;
    const QByteArray block = QByteArray("\r\n").repeated(perBlock);
    for (qint64 written = 0; written < count; written += perBlock) {
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

// Peak memory of writing and reading the large file, and of opening files that are no queue
// files, each measured in a fresh run of this program.
bool measureMemory(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("memory.tbq"));
    const QString sparse = dir.filePath(QStringLiteral("sparse.bin"));
    const QString holeAfterHeader = dir.filePath(QStringLiteral("hole.tbq"));
    const QString blanks = dir.filePath(QStringLiteral("blanks.tbq"));
    const qint64 GiB = qint64(1) << 30;
    if (!makeSparse(sparse, {}, GiB) || !makeSparse(holeAfterHeader, "Server: Zing\r\n", GiB) ||
        !makeBlankLines(blanks, 50 * 1024 * 1024)) {
        std::fprintf(stderr, "could not create the files for the memory measurements\n");
        return false;
    }
    struct Case
    {
        const char *name;
        const char *what;
        QString path;
    };
    const Case cases[] = {
        {"write 100,000 rows (content already held)", "write", path},
        {"read 100,000 rows, rows dropped", "drop", path},
        {"read 100,000 rows into MemorySink", "keep", path},
        {"open a 1 GiB sparse file", "drop", sparse},
        {"open a Server line, then a 1 GiB hole", "drop", holeAfterHeader},
        {"open a Server line, then 50 Mi blank lines", "drop", blanks},
    };
    std::printf("\nPeak memory: rise of VmHWM over VmRSS before the operation, each in a "
                "process of its own\n\n");
    std::printf("%-44s %9s %9s  %s\n", "operation", "MiB", "ms", "outcome");
    for (const Case &c : cases) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--memory"), QString::fromLatin1(c.what), c.path});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "%s: the measuring run failed\n", c.name);
            return false;
        }
        std::printf("%-44s %s", c.name, child.readAllStandardOutput().constData());
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--memory"))
        return measureOne(args.at(2), args.at(3));
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("bench.tbq"));
    const QString scatteredPath = dir.filePath(QStringLiteral("sorted.tbq"));

    Measure save{"save: QueueFile::write", 500, {}};
    Measure parse{"read into MemorySink (parsing only)", 0, {}};
    Measure open{"open: file in message order", 1000, {}};
    Measure openScattered{"open: file saved sorted by subject", 1000, {}};

    qint64 check = 0; // keeps the results from being optimised away
    qint64 fileSize = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        const QueueFile::Content content = makeContent(2000 + quint32(repeat));

        QueueFile::Error error;
        save.runs.push_back(timeMs([&] { error = QueueFile::write(path, content); }));
        if (!ok(error, "save"))
            return 1;
        fileSize = QFileInfo(path).size();

        QueueFile::MemorySink memory;
        parse.runs.push_back(timeMs([&] { error = QueueFile::read(path, memory); }));
        if (!ok(error, "read"))
            return 1;
        check += memory.content.rows.size();

        // Message order is how the window saves a list it has not re-sorted.
        if (!openLikeWindow(path, open, check))
            return 1;
        if (!ok(QueueFile::write(scatteredPath, sortedBySubject(content)), "save sorted"))
            return 1;
        if (!openLikeWindow(scatteredPath, openScattered, check))
            return 1;
    }

    std::printf("Queue file, %d Yahoo rows (%.1f MB), median of %d runs "
                "(RelWithDebInfo or Release build)\n\n",
                kRows, double(fileSize) / 1e6, kRepeats);
    std::printf("open = QueueFile::read into a result list sorted by message number, like the "
                "window's, then totals()\n\n");
    std::printf("%-42s %10s %10s\n", "operation", "median ms", "target ms");
    bool allMet = true;
    for (const Measure *measure : {&save, &parse, &open, &openScattered}) {
        const double ms = median(measure->runs);
        if (measure->targetMs <= 0) {
            std::printf("%-42s %10.1f %10s\n", measure->name, ms, "-");
            continue;
        }
        const bool met = ms <= measure->targetMs;
        allMet = allMet && met;
        std::printf("%-42s %10.1f %10.0f  %s\n", measure->name, ms, measure->targetMs,
                    met ? "ok" : "SLOW");
    }
    std::printf("\nTargets: save <= 500 ms, open <= 1000 ms. %s\n",
                allMet ? "All met." : "Some missed.");
    if (!measureMemory(dir))
        return 1;
    return check == -1 ? 2 : 0;
}
