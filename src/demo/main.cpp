// trawlbay-demo-server: serves a generated sample group archive and photo album on a
// loopback port, so that both programs can be tried without an account anywhere.

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/app/interrupt.h"
#include "core/app/standardstreams.h"
#include "core/queue/queuefile.h"
#include "demo/localserver.h"
#include "demo/samplesite.h"

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "trawlbay-demo-server: %s\n", qPrintable(message));
    return 2;
}

// "2MB/s", "500 kB/s", "64k", "1MiB/s", "100000": bytes a second, in the programs' decimal
// units (1 kB = 1000 bytes) unless binary ones are named (1 KiB = 1024 bytes); 0 when the
// text is none of these.
qint64 parseRate(const QString &text)
{
    static const QRegularExpression Rate(
        QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*([kKmMgG]?)(i?)[bB]?(?:/s)?$"));
    const QRegularExpressionMatch match = Rate.match(text.trimmed());
    if (!match.hasMatch())
        return 0;
    const QString unit = match.captured(2).toUpper();
    const int power = unit == QLatin1String("K")   ? 1
                      : unit == QLatin1String("M") ? 2
                      : unit == QLatin1String("G") ? 3
                                                   : 0;
    const double base = match.captured(3).isEmpty() ? 1000.0 : 1024.0;
    return qint64(match.captured(1).toDouble() * std::pow(base, power));
}

// Throttled answers go out a slice every 50 ms, so a transfer runs smoothly at the rate.
LocalServer::Response answer(const SampleSite::Entry &entry, qint64 rate)
{
    LocalServer::Response response;
    response.body = entry.body;
    response.headers.append({QByteArray("Content-Type"), entry.contentType});
    if (entry.isFile) {
        // Validators and ranges, so that an aborted download resumes where it stopped. The
        // date is fixed: the sample is the same at every start, and so are its answers.
        const QByteArray hash = QCryptographicHash::hash(entry.body, QCryptographicHash::Sha256);
        response.headers.append({QByteArray("ETag"), '"' + hash.toHex().left(16) + '"'});
        response.headers.append(
            {QByteArray("Last-Modified"), QByteArray("Sat, 01 Jun 2024 12:00:00 GMT")});
        response.ranges = true;
    }
    if (rate > 0) {
        constexpr int TickMs = 50;
        response.mode = LocalServer::Mode::Slow;
        response.delayMs = TickMs;
        response.chunkSize = int(std::clamp<qint64>(rate * TickMs / 1000, 1, 1 << 30));
    }
    return response;
}

bool writeManifest(const QString &path, const QList<SampleSite::Entry> &entries)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const SampleSite::Entry &entry : entries) {
        if (entry.isFile)
            file.write(QCryptographicHash::hash(entry.body, QCryptographicHash::Sha256).toHex() +
                       "  " + entry.url.toUtf8() + '\n');
    }
    return file.commit();
}

} // namespace

int main(int argc, char *argv[])
{
    StandardStreams::ensureOpen();
    // The sample's pictures and documents are drawn with the system's fonts, which takes a
    // QGuiApplication; the server never shows a window, so it needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trawlbay-demo-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRAWLBAY_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves a sample group archive and photo album on 127.0.0.1 for trying "
                       "trawlbay and trawlbay-cli. The first line printed is the "
                       "TRAWLBAY_CONNECT_TO=... host mapping that sends the sample's hosts "
                       "here."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The port to listen on (default: a free one)."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption rate(
        QStringLiteral("rate"),
        QStringLiteral("Send every answer at most this fast, such as 2MB/s (default: at once)."),
        QStringLiteral("RATE"));
    const QCommandLineOption queue(
        QStringLiteral("write-queue"),
        QStringLiteral("Write a queue file with the sample group and its message range."),
        QStringLiteral("FILE.tbq"));
    const QCommandLineOption manifest(
        QStringLiteral("manifest"),
        QStringLiteral("Write the SHA-256 and address of every sample file, one a line."),
        QStringLiteral("FILE"));
    parser.addOptions({port, rate, queue, manifest});
    parser.process(app);

    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber > 65535)
        return fail(QStringLiteral("--port must be a number from 0 to 65535"));
    const qint64 bytesPerSecond = parser.isSet(rate) ? parseRate(parser.value(rate)) : 0;
    if (parser.isSet(rate) && bytesPerSecond <= 0)
        return fail(QStringLiteral("--rate \"%1\" is not a rate such as 2MB/s or 500kB/s")
                        .arg(parser.value(rate)));

    const QList<SampleSite::Entry> entries = SampleSite::build();
    LocalServer server;
    qint64 bytes = 0;
    qsizetype files = 0;
    for (const SampleSite::Entry &entry : entries) {
        server.route(entry.path, answer(entry, bytesPerSecond));
        if (entry.isFile) {
            ++files;
            bytes += entry.body.size();
        }
    }
    if (!server.listen(quint16(portNumber)))
        return fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                        .arg(portNumber)
                        .arg(server.errorString()));

    if (parser.isSet(queue)) {
        const QueueFile::Error error = QueueFile::write(
            parser.value(queue),
            {QStringLiteral("Yahoo"), SampleSite::GroupUrl, SampleSite::MessageRange, {}});
        if (error.isError())
            return fail(
                QStringLiteral("cannot write %1: %2").arg(parser.value(queue), error.description));
    }
    if (parser.isSet(manifest) && !writeManifest(parser.value(manifest), entries))
        return fail(QStringLiteral("cannot write %1").arg(parser.value(manifest)));

    // The first line is for scripts to read; the rest is for people.
    std::printf("TRAWLBAY_CONNECT_TO=%s\n",
                qPrintable(SampleSite::hostRules(server.port()).join(QLatin1Char(','))));
    std::printf("Trawl Bay demo server on 127.0.0.1:%u; Ctrl+C stops it.\n"
                "  group archive: %s  messages %s\n"
                "  photo album:   %s  password %s\n"
                "  %lld files, %s in all\n",
                unsigned(server.port()), qPrintable(SampleSite::GroupUrl),
                qPrintable(SampleSite::MessageRange), qPrintable(SampleSite::AlbumUrl),
                qPrintable(SampleSite::AlbumPassword), qlonglong(files),
                qPrintable(QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat)));
    std::fflush(stdout);

    Interrupt::install([] { QCoreApplication::quit(); });
    return app.exec();
}
