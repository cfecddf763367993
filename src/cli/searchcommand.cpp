#include "cli/searchcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "cli/commonoptions.h"
#include "cli/progressprinter.h"
#include "cli/queueerror.h"
#include "cli/terminaltext.h"
#include "core/app/interrupt.h"
#include "core/app/runsession.h"
#include "core/queue/queuefile.h"

namespace SearchCommand {

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
    parser.addOptions({output, subject, author, fileName});
    CommonOptions common;
    common.addTo(parser);
    if (!parseCommandLine(parser, arguments))
        return 2;

    const QStringList positional = parser.positionalArguments().mid(1);
    if (positional.size() != 3)
        return usageError(
            "search", QStringLiteral("expected: search yahoo|zing URL MASK|PASSWORD -o FILE.tbq"));
    const QString mode = positional.at(0).toLower();
    if (mode != QLatin1String("yahoo") && mode != QLatin1String("zing"))
        return usageError("search", QStringLiteral("unknown mode \"%1\" (expected yahoo or zing)")
                                        .arg(printable(positional.at(0))));
    if (!parser.isSet(output))
        return usageError("search", QStringLiteral("-o FILE.tbq is required"));
    QString error;
    if (!common.apply(parser, &error))
        return usageError("search", error);

    RunSession session;
    session.board().resize(common.threads());
    RunSession::Search search;
    search.mode = mode == QLatin1String("yahoo") ? Mode::Yahoo : Mode::Zing;
    session.setMode(search.mode);
    search.url = positional.at(1);
    search.mask = positional.at(2);
    search.threads = common.threads();
    search.filters = {parser.value(subject), parser.value(author), parser.value(fileName)};
    ProgressPrinter printer(session.state(), session.board(), common.quiet(parser));

    bool aborted = false;
    QObject::connect(&session, &RunSession::searchFinished, [&aborted](bool wasAborted) {
        aborted = wasAborted;
        QCoreApplication::exit(0);
    });
    // Each failed page is named as it happens.
    QObject::connect(&session, &RunSession::pageFailed,
                     [&printer](const QString &url, const QString &reason) {
                         printer.message(QStringLiteral("trawlbay-cli search: page failed: %1: %2")
                                             .arg(ProgressPrinter::shown(url), printable(reason)));
                     });
    if (session.startSearch(search)) {
        std::fprintf(stderr, "Wrong message mask.\n");
        return 2;
    }
    // Ctrl-C aborts the search; the rows found so far are still written.
    Interrupt::install([&session] { session.state().AbortAll(); });
    if (session.state().isRunActive())
        QCoreApplication::exec();
    printer.finish();

    QueueFile::Content content;
    content.server = modeText(search.mode);
    content.url = positional.at(1);
    content.mask = positional.at(2);
    const FileListModel &files = session.files();
    for (int row = 0; row < files.rowCount(); ++row)
        content.rows.append(files.cells(row));
    const QueueFile::Error written = QueueFile::write(parser.value(output), content);
    if (written.isError()) {
        std::fprintf(stderr, "trawlbay-cli: %s\n",
                     qPrintable(printable(queueErrorText(parser.value(output), written))));
        return 1;
    }
    const SearchReport &report = session.searchReport();
    // Without --quiet the run's summary line has said so already.
    if (report.noPictureList && common.quiet(parser))
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
