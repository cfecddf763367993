#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

// Options every command takes: the transfer slots, the host mapping, the cookies file and
// --quiet.
class CommonOptions
{
public:
    void addTo(QCommandLineParser &parser) const;
    // Applies them; on bad input returns false and sets error.
    bool apply(const QCommandLineParser &parser, QString *error);
    int threads() const { return m_threadCount; }
    bool quiet(const QCommandLineParser &parser) const { return parser.isSet(m_quiet); }
    // The cookies file given with --cookies, "" when none.
    QString cookieFile(const QCommandLineParser &parser) const { return parser.value(m_cookies); }

private:
    QCommandLineOption m_threads{QStringLiteral("threads"),
                                 QStringLiteral("Transfer slots, 1 to 16 (default 4)."),
                                 QStringLiteral("N"), QStringLiteral("4")};
    int m_threadCount = 4;
    QCommandLineOption m_connectTo{
        QStringLiteral("connect-to"),
        QStringLiteral("Send connections for HOST:PORT to TARGET_HOST:TARGET_PORT instead; the "
                       "URL and Host header stay. Repeatable. Also read from "
                       "TRAWLBAY_CONNECT_TO (comma-separated)."),
        QStringLiteral("HOST:PORT:TARGET_HOST:TARGET_PORT")};
    QCommandLineOption m_cookies{
        QStringLiteral("cookies"),
        QStringLiteral("Netscape-format cookies file to sign in with (default: cookies.txt in "
                       "the config folder, when present)."),
        QStringLiteral("FILE")};
    QCommandLineOption m_quiet{QStringLiteral("quiet"),
                               QStringLiteral("Print nothing but errors.")};
};

// Prints "trawlbay-cli COMMAND: MESSAGE" on stderr and returns the usage-error status 2.
int usageError(const char *command, const QString &message);

// Parses a command's arguments. --help prints the help and ends the program with status 0;
// an unknown option or a missing value prints a "trawlbay-cli:" message and returns false,
// for the caller to end with status 2. (QCommandLineParser::process would end the program
// itself, with status 1.)
bool parseCommandLine(QCommandLineParser &parser, const QStringList &arguments);
