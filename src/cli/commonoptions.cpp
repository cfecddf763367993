#include "cli/commonoptions.h"

#include <QRegularExpression>
#include <cstdio>

#include "cli/terminaltext.h"
#include "core/net/curlmulti.h"
#include "core/net/hostmapping.h"

void CommonOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOption(m_threads);
    parser.addOption(m_connectTo);
    parser.addOption(m_cookies);
    parser.addOption(m_quiet);
}

bool CommonOptions::apply(const QCommandLineParser &parser, QString *error)
{
    bool ok = false;
    m_threadCount = parser.value(m_threads).toInt(&ok);
    if (!ok || m_threadCount < 1 || m_threadCount > 16) {
        *error = QStringLiteral("--threads must be a whole number from 1 to 16");
        return false;
    }
    HostMapping &mapping = HostMapping::global();
    if (!mapping.addFromEnvironment()) {
        *error = QStringLiteral("TRAWLBAY_CONNECT_TO is not of the form "
                                "HOST:PORT:TARGET_HOST:TARGET_PORT[,...]");
        return false;
    }
    const QStringList rules = parser.values(m_connectTo);
    for (const QString &rule : rules) {
        if (!mapping.add(rule)) {
            *error = QStringLiteral("--connect-to \"%1\" is not of the form "
                                    "HOST:PORT:TARGET_HOST:TARGET_PORT")
                         .arg(rule);
            return false;
        }
    }
    if (parser.isSet(m_cookies)) {
        const QString file = parser.value(m_cookies);
        if (!CurlMulti::instance().loadCookieFile(file)) {
            *error = QStringLiteral("cannot read the cookies file %1").arg(file);
            return false;
        }
    }
    return true;
}

int usageError(const char *command, const QString &message)
{
    std::fprintf(stderr, "trawlbay-cli %s: %s\n", command, qPrintable(printable(message)));
    return 2;
}

bool parseCommandLine(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments)) {
        QString message = parser.errorText();
        // A mask such as "-5" reads as an option; "--" ends the options.
        static const QRegularExpression NumberLike(QStringLiteral("^-[0-9]"));
        if (!arguments.filter(NumberLike).isEmpty())
            message += QStringLiteral(" (a mask that begins with \"-\" goes after \"--\")");
        std::fprintf(stderr, "trawlbay-cli: %s\n", qPrintable(message));
        return false;
    }
    const QStringList given = parser.optionNames();
    for (const char *help : {"h", "help", "help-all", "?"}) {
        if (given.contains(QLatin1String(help)))
            parser.showHelp(0);
    }
    return true;
}
