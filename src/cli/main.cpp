#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "cli/commonoptions.h"
#include "cli/downloadcommand.h"
#include "cli/searchcommand.h"
#include "cli/terminaltext.h"
#include "core/app/appinfo.h"
#include "core/app/standardstreams.h"

int main(int argc, char *argv[])
{
    StandardStreams::ensureOpen();
    QCoreApplication app(argc, argv);
    AppInfo::setApplicationIdentity();

    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("search") || command == QLatin1String("download")) {
        return command == QLatin1String("search") ? SearchCommand::run(arguments)
                                                  : DownloadCommand::run(arguments);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Trawl Bay without a display: searches group archives and photo albums "
                       "and downloads the files found.\n\n"
                       "Commands:\n"
                       "  search yahoo URL MASK -o FILE.tbq     list a group's attachments\n"
                       "  search zing URL PASSWORD -o FILE.tbq  list an album's pictures\n"
                       "  download FILE.tbq --to DIR            fetch the files of a queue file\n\n"
                       "Run \"trawlbay-cli COMMAND --help\" for a command's options."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("search or download"));
    if (!parseCommandLine(parser, arguments))
        return 2;
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (parser.positionalArguments().isEmpty())
        parser.showHelp(2);
    std::fprintf(stderr, "trawlbay-cli: unknown command \"%s\"\n",
                 qPrintable(printable(parser.positionalArguments().first())));
    return 2;
}
