#include "cli/downloadcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <cstdio>

#include "cli/commonoptions.h"
#include "cli/progressprinter.h"
#include "cli/queueerror.h"
#include "cli/terminaltext.h"
#include "core/app/interrupt.h"
#include "core/app/runsession.h"
#include "core/download/filedownloader.h"
#include "core/download/transfermeter.h"
#include "core/filelist/columnset.h"
#include "core/queue/queuefile.h"
#include "core/search/wildcard.h"

namespace DownloadCommand {

int run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Downloads the files of a queue file into a folder over parallel "
                       "transfer slots. A file that fails leaves an existing file of that name "
                       "as it was.\n\n"
                       "Example:\n"
                       "  trawlbay-cli download held.tbq --to ~/Downloads/held --threads 8"));
    parser.addHelpOption();
    // The command itself, so that the usage line names it.
    parser.addPositionalArgument(QStringLiteral("download"), QStringLiteral("The command."),
                                 QStringLiteral("download"));
    parser.addPositionalArgument(QStringLiteral("queue"), QStringLiteral("The queue file (.tbq)."));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("The download folder."),
                                QStringLiteral("DIR"));
    const QCommandLineOption only(
        QStringLiteral("only"),
        QStringLiteral("Only files whose name matches the wildcard pattern (* ? # [list]), "
                       "case-sensitively."),
        QStringLiteral("PATTERN"));
    const QCommandLineOption retries(
        QStringLiteral("retries"),
        QStringLiteral("Further attempts after a failure on the way (refused, reset, cut, timed "
                       "out, 408, 429, 5xx), 0 to 10 (default 3); each resumes where the last "
                       "one stopped."),
        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption ifExists(
        QStringLiteral("if-exists"),
        QStringLiteral("What to do with a file of the same name that is already in the folder: "
                       "replace (default), skip (unless its size differs), keep-both."),
        QStringLiteral("replace|skip|keep-both"), QStringLiteral("replace"));
    parser.addOptions({to, only, retries, ifExists});
    CommonOptions common;
    common.addTo(parser);
    if (!parseCommandLine(parser, arguments))
        return 2;

    const QStringList positional = parser.positionalArguments().mid(1);
    if (positional.size() != 1)
        return usageError("download", QStringLiteral("expected: download FILE.tbq --to DIR"));
    if (!parser.isSet(to) || parser.value(to).isEmpty())
        return usageError("download", QStringLiteral("--to DIR is required"));
    const QString folder = parser.value(to);
    if (!QFileInfo(folder).isDir())
        return usageError("download", QStringLiteral("%1 is not a folder").arg(folder));
    bool retriesOk = false;
    const int retryCount = parser.value(retries).toInt(&retriesOk);
    if (!retriesOk || retryCount < 0 || retryCount > DownloadRun::MaxRetries)
        return usageError("download",
                          QStringLiteral("--retries must be a whole number from 0 to 10"));
    const std::optional<ExistingFileChoice> choice = ifFileExistsFromText(parser.value(ifExists));
    if (!choice)
        return usageError("download",
                          QStringLiteral("--if-exists must be replace, skip or keep-both"));
    QString error;
    if (!common.apply(parser, &error))
        return usageError("download", error);

    QueueFile::MemorySink sink;
    const QueueFile::Error read = QueueFile::read(positional.first(), sink);
    if (read.isError()) {
        std::fprintf(stderr, "trawlbay-cli: %s\n",
                     qPrintable(printable(queueErrorText(positional.first(), read))));
        return 2;
    }
    const Mode mode = modeFromText(sink.content.server);

    RunSession session;
    session.board().resize(common.threads());
    session.setMode(mode);
    FileListModel &files = session.files();
    files.addRows(sink.content.rows);
    // Queue files keep no ticks: every row is wanted, or those the pattern names.
    const bool filtered = parser.isSet(only);
    for (int row = 0; row < files.rowCount(); ++row) {
        const QString name = files.cell(row, fileNameColumn(mode));
        files.setChecked(row, !filtered || Wildcard::matches(name, parser.value(only)));
    }

    const bool quiet = common.quiet(parser);
    ProgressPrinter printer(session.state(), session.board(), quiet);
    DownloadRun &download = session.download();
    QObject::connect(&download, &DownloadRun::finished, [] { QCoreApplication::exit(0); });
    // A name taken earlier in the run is never replaced: the user learns where the file went.
    QObject::connect(&download, &DownloadRun::savedAs,
                     [&printer](FileListModel::RowId, const QString &name, const QString &as) {
                         printer.message(
                             QStringLiteral("%1: saved as %2").arg(printable(name), printable(as)));
                     });
    // Each file is told as it ends: failures always, the others when nothing is drawn live.
    QHash<FileListModel::RowId, qint64> started;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&download, &DownloadRun::rowStarted,
                     [&](FileListModel::RowId row) { started.insert(row, clock.elapsed()); });
    QObject::connect(
        &download, &DownloadRun::fileDone,
        [&](FileListModel::RowId row, bool ok, const QString &target, const QString &reason) {
            if (!ok && reason == cHTTPDownloader::abortedReason()) {
                // Not the file's failure: the next run resumes it.
            } else if (!ok) {
                printer.message(
                    QStringLiteral("failed: %1: %2").arg(printable(target), printable(reason)));
            } else if (!quiet && !printer.isLive() && download.transferred(row)) {
                const qint64 ms = clock.elapsed() - started.value(row, clock.elapsed());
                printer.message(QStringLiteral("done: %1 (%2)")
                                    .arg(printable(target),
                                         TransferMeter::summary(QFileInfo(target).size(), ms)));
            }
        });
    QObject::connect(
        &download, &DownloadRun::skipped, [&](FileListModel::RowId, const QString &target) {
            if (!quiet)
                printer.message(
                    QStringLiteral("skipped: %1 (already there)").arg(printable(target)));
        });
    QObject::connect(
        &download, &DownloadRun::sizeDiffers,
        [&](FileListModel::RowId, const QString &target, qint64 expected, qint64 actual) {
            printer.message(QStringLiteral("%1: size differs from the size check "
                                           "(%2 bytes expected, %3 arrived)")
                                .arg(printable(target))
                                .arg(expected)
                                .arg(actual));
        });
    DownloadRun::Params params;
    params.folder = QDir::fromNativeSeparators(folder);
    params.threads = common.threads();
    params.retries = retryCount;
    params.ifExists = *choice;
    params.cookieFile = common.cookieFile(parser);
    if (!quiet && !printer.isLive())
        printer.setSlotLines(false); // one line per file instead
    const std::optional<RunSession::Refusal> refusal = session.startDownload(params);
    if (refusal == RunSession::Refusal::NothingChecked) {
        if (!quiet)
            std::fprintf(stderr, "no file to download\n");
        return 0;
    }
    if (refusal == RunSession::Refusal::BadFolder)
        return usageError("download", RunSession::refusalText(*refusal, folder));
    // Ctrl-C aborts the run: transfers stop and no partial file is left under a target name.
    Interrupt::install([&session] { session.state().AbortAll(); });
    if (download.isRunning())
        QCoreApplication::exec();
    printer.finish();
    return download.failures().isEmpty() && !session.state().AbortRequested ? 0 : 1;
}

} // namespace DownloadCommand
