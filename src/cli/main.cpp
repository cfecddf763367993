#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "core/app/appinfo.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    AppInfo::setApplicationIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Trawl Bay without a display: searches group archives and photo albums "
                       "and downloads the files found."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    if (parser.positionalArguments().isEmpty())
        parser.showHelp(2);
    fprintf(stderr, "trawlbay-cli: unknown command \"%s\"\n",
            qPrintable(parser.positionalArguments().first()));
    return 2;
}
