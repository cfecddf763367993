#include "cli/searchcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "cli/commonoptions.h"
#include "cli/interrupt.h"
#include "cli/progressprinter.h"
#include "cli/queueerror.h"
#include "cli/terminaltext.h"
#include "core/app/appstate.h"
#include "core/app/slotboard.h"
#include "core/filelist/filelistmodel.h"
#include "core/queue/queuefile.h"
#include "core/search/albumsearch.h"
#include "core/search/groupsearch.h"

namespace SearchCommand {

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "trawlbay-cli search: %s\n", qPrintable(printable(message)));
    return 2;
}

} // namespace

int run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Searches a group's message archive (yahoo) or a photo album (zing) and "
                       "writes every file found, with its size, to a queue file.\n\n"
                       "Example:\n"
                       "  trawlbay-cli search yahoo http://groups.yahoo.com/group/photo-circle/ "
                       "634,650-680 -o held.tbq"));
    parser.addHelpOption();
    // The command itself, so that the usage line names it.
    parser.addPositionalArgument(QStringLiteral("search"), QStringLiteral("The command."),
                                 QStringLiteral("search"));
    parser.addPositionalArgument(QStringLiteral("mode"), QStringLiteral("yahoo or zing"));
    parser.addPositionalArgument(QStringLiteral("url"),
                                 QStringLiteral("The group's address, or the album's address."));
    parser.addPositionalArgument(
        QStringLiteral("mask"),
        QStringLiteral("yahoo: the messages to search, such as 634,635,650-680; zing: the album "
                       "password."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The queue file to write."),
                                    QStringLiteral("FILE.tbq"));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("Transfer slots, 1 to 16 (default 4)."),
                                     QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption subject(QStringLiteral("subject"),
                                     QStringLiteral("yahoo: only messages whose subject matches "
                                                    "the wildcard pattern (* ? # [list])."),
                                     QStringLiteral("P"));
    const QCommandLineOption author(QStringLiteral("author"),
                                    QStringLiteral("yahoo: only messages whose author matches."),
                                    QStringLiteral("P"));
    const QCommandLineOption fileName(QStringLiteral("filename"),
                                      QStringLiteral("yahoo: only files whose name matches."),
                                      QStringLiteral("P"));
    parser.addOptions({output, threads, subject, author, fileName});
    CommonOptions common;
    common.addTo(parser);
    if (!parseCommandLine(parser, arguments))
        return 2;

    const QStringList positional = parser.positionalArguments().mid(1);
    if (positional.size() != 3)
        return fail(QStringLiteral("expected: search yahoo|zing URL MASK|PASSWORD -o FILE.tbq"));
    const QString mode = positional.at(0).toLower();
    if (mode != QLatin1String("yahoo") && mode != QLatin1String("zing"))
        return fail(QStringLiteral("unknown mode \"%1\" (expected yahoo or zing)")
                        .arg(printable(positional.at(0))));
    if (!parser.isSet(output))
        return fail(QStringLiteral("-o FILE.tbq is required"));
    int threadCount = 4;
    if (!parseThreadsOption(parser.value(threads), &threadCount))
        return fail(QStringLiteral("--threads must be a whole number from 1 to 16"));
    QString error;
    if (!common.apply(parser, &error))
        return fail(error);

    const bool yahoo = mode == QLatin1String("yahoo");
    const QString server = yahoo ? QStringLiteral("Yahoo") : QStringLiteral("Zing");
    AppState state;
    SlotBoard board;
    board.resize(threadCount);
    FileListModel files;
    // The list stands sorted ascending by its first column, as the window's after a mode switch.
    files.setColumns(columnSet(modeFromText(server)));
    files.setSortKey(1);
    files.columnClick(0);
    ProgressPrinter printer(state, board, common.quiet(parser));

    bool aborted = false;
    const auto onFinished = [&aborted](bool wasAborted) {
        aborted = wasAborted;
        QCoreApplication::exit(0);
    };
    GroupSearch groupSearch(state, board, files);
    AlbumSearch albumSearch(state, board, files);
    QObject::connect(&groupSearch, &GroupSearch::finished, onFinished);
    QObject::connect(&albumSearch, &AlbumSearch::finished, onFinished);
    // Each failed page is named as it happens.
    const auto onPageFailed = [&printer](const QString &url, const QString &reason) {
        printer.message(QStringLiteral("trawlbay-cli search: page failed: %1: %2")
                            .arg(ProgressPrinter::shown(url), printable(reason)));
    };
    QObject::connect(&groupSearch, &GroupSearch::pageFailed, onPageFailed);
    QObject::connect(&albumSearch, &AlbumSearch::pageFailed, onPageFailed);
    if (yahoo) {
        GroupSearch::Params params;
        params.baseUrl = positional.at(1);
        params.mask = positional.at(2);
        params.threads = threadCount;
        params.filters = {parser.value(subject), parser.value(author), parser.value(fileName)};
        if (!groupSearch.start(params)) {
            std::fprintf(stderr, "Wrong message mask.\n");
            return 2;
        }
    } else {
        AlbumSearch::Params params;
        params.albumUrl = positional.at(1);
        params.password = positional.at(2);
        params.threads = threadCount;
        albumSearch.start(params);
    }
    // Ctrl-C aborts the search; the rows found so far are still written.
    Interrupt::install([&state] { state.AbortAll(); });
    if (groupSearch.isRunning() || albumSearch.isRunning())
        QCoreApplication::exec();
    printer.finish();

    QueueFile::Content content;
    content.server = server;
    content.url = positional.at(1);
    content.mask = positional.at(2);
    for (int row = 0; row < files.rowCount(); ++row)
        content.rows.append(files.cells(row));
    const QueueFile::Error written = QueueFile::write(parser.value(output), content);
    if (written.isError()) {
        std::fprintf(stderr, "trawlbay-cli: %s\n",
                     qPrintable(printable(queueErrorText(parser.value(output), written))));
        return 1;
    }
    const SearchReport &report = yahoo ? groupSearch.report() : albumSearch.report();
    if (report.noPictureList)
        std::fprintf(stderr,
                     "trawlbay-cli search: no picture list on the album page (wrong password?)\n");
    if (!common.quiet(parser)) {
        std::fprintf(stderr, "%lld files written to %s\n", qlonglong(files.rowCount()),
                     qPrintable(printable(parser.value(output))));
        if (report.sizesUnknown > 0)
            std::fprintf(stderr, "%lld sizes unknown (%lld size checks timed out)\n",
                         qlonglong(report.sizesUnknown), qlonglong(report.checksTimedOut));
    }
    return aborted || report.pagesFailed > 0 || report.noPictureList ? 1 : 0;
}

} // namespace SearchCommand
