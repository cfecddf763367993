#include "core/queue/queuefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "core/filelist/columnset.h"
#include "core/queue/linedecoder.h"
#include "core/queue/linereader.h"
#include "core/queue/textencoding.h"

namespace QueueFile {

namespace {

const QString ServerKey = QStringLiteral("Server");
const QString UrlKey = QStringLiteral("URL");
const QString RangeKey = QStringLiteral("Message Range");
const QString PasswordKey = QStringLiteral("Password");
const QString Yahoo = QStringLiteral("Yahoo");
const QString Zing = QStringLiteral("Zing");

Error fileError(const QFileDevice &file, const QString &path, const QString &verb)
{
    Error error;
    switch (file.error()) {
    case QFileDevice::OpenError:
        error.code = !QFileInfo::exists(path)  ? Error::FileNotFound
                     : QFileInfo(path).isDir() ? Error::AccessError
                                               : Error::PermissionDenied;
        break;
    case QFileDevice::PermissionsError:
        error.code = Error::PermissionDenied;
        break;
    case QFileDevice::ResourceError:
        error.code = Error::DiskFull;
        break;
    default:
        error.code = Error::AccessError;
        break;
    }
    error.description = QStringLiteral("Cannot %1 %2: %3").arg(verb, path, file.errorString());
    return error;
}

// A queue file starts with its Server line, after a byte order mark or blank lines. Checking
// the first bytes refuses a picture, an archive or a sparse file picked by mistake before any
// of it is read.
constexpr qsizetype HeadBytes = 4096;
// A row of a real search is a few hundred bytes; a longer line is not a queue file's.
constexpr qsizetype MaxLineBytes = 1024 * 1024;
constexpr qsizetype ChunkBytes = 64 * 1024;
constexpr QByteArrayView ByteOrderMark = "\xef\xbb\xbf";

bool startsLikeQueueFile(QByteArrayView head)
{
    if (head.startsWith(ByteOrderMark))
        head = head.sliced(ByteOrderMark.size());
    while (!head.isEmpty() && (head.front() == '\r' || head.front() == '\n'))
        head = head.sliced(1);
    return head.startsWith("Server:");
}

Error notAQueueFile(const QString &path)
{
    return {Error::NotAQueueFile,
            QStringLiteral("%1 is not a queue file: it does not start with a \"Server:\" line")
                .arg(path)};
}

// A TAB or line break inside a value would split its line or shift its fields on reading.
bool isSeparator(QChar c)
{
    return c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

QStringList rowCells(const QString &line, const QString &server, int *needed)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    const bool yahoo = server == Yahoo;
    *needed = yahoo ? 6 : 3;
    if (fields.size() < *needed)
        return {};
    QStringList cells = fields.mid(0, *needed);
    cells.append(formatHiddenSize(fields.at(yahoo ? 4 : 1)));
    return cells;
}

Error read(const QString &path, Sink &sink)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileError(file, path, QStringLiteral("open"));
    const QByteArray head = file.peek(HeadBytes);
    if (file.error() != QFileDevice::NoError)
        return fileError(file, path, QStringLiteral("read"));
    if (!startsLikeQueueFile(head))
        return notAQueueFile(path);
    if (head.startsWith(ByteOrderMark))
        file.skip(ByteOrderMark.size());

    LineReader lines(file, MaxLineBytes);
    LineDecoder decoder(file, MaxLineBytes);
    bool serverSeen = false;
    for (;;) {
        const LineReader::Result result = lines.next();
        const auto where = [&lines] {
            return QStringLiteral("line %1: ").arg(lines.lineNumber());
        };
        if (result == LineReader::Result::End)
            return {};
        if (result == LineReader::Result::Failed)
            return fileError(file, path, QStringLiteral("read"));
        if (result == LineReader::Result::TooLong)
            return {Error::NotAQueueFile, where() + QStringLiteral("longer than 1 MiB")};

        if (lines.line().isEmpty())
            continue;
        const QString line = decoder.decode(lines.line(), lines.lineStart());
        // A line with a TAB is a row, whatever its first cell says ("URL: home" is a caption).
        const bool row = line.contains(QLatin1Char('\t'));
        if (!row && line.trimmed().isEmpty())
            continue;
        const qsizetype colon = row ? -1 : line.indexOf(QLatin1Char(':'));
        // Rows need the mode that the first line sets; "Server: x<TAB>..." would be a row.
        if (!serverSeen && (colon <= 0 || QStringView(line).first(colon) != ServerKey))
            return notAQueueFile(path);
        serverSeen = true;
        if (colon > 0) {
            const QString key = line.left(colon);
            const QString value = line.mid(colon + 1).trimmed();
            if (key == ServerKey) {
                if (!sink.setServer(value))
                    return {Error::UnknownMode,
                            where() + QStringLiteral("unknown mode \"%1\" (expected Yahoo or Zing)")
                                          .arg(value)};
                continue;
            }
            if (key == UrlKey) {
                sink.setUrl(value);
                continue;
            }
            if (key == RangeKey || key == PasswordKey) {
                sink.setMask(value);
                continue;
            }
        }
        const QString server = sink.currentServer() == Yahoo ? Yahoo : Zing;
        int needed = 0;
        const QStringList cells = rowCells(line, server, &needed);
        if (cells.isEmpty())
            return {Error::MissingField,
                    where() + QStringLiteral("a %1 row needs %2 fields, found %3")
                                  .arg(server)
                                  .arg(needed)
                                  .arg(line.count(QLatin1Char('\t')) + 1)};
        sink.addRow(cells);
    }
}

Error write(const QString &path, const Content &content)
{
    const bool yahoo = content.server == Yahoo;
    const bool withRows = yahoo || content.server == Zing;
    const qsizetype fields = yahoo ? 6 : 3;

    // The encoding depends on every character written, so the cells are looked at once
    // before the first byte goes out.
    TextEncoding::EncodingChooser chooser;
    chooser.add(content.server);
    chooser.add(content.url);
    if (withRows) {
        chooser.add(content.mask);
        for (const QStringList &row : content.rows) {
            for (qsizetype f = 0; f < fields && f < row.size(); ++f)
                chooser.add(row.at(f));
        }
    }
    const TextEncoding::Encoding encoding = chooser.encoding();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(file, path, QStringLiteral("create"));
    // Each line is gathered as text and encoded in one go; lines are written a chunk at a time.
    QString line;
    QByteArray chunk;
    const auto put = [&line](QStringView value) {
        const qsizetype start = line.size();
        line += value;
        std::replace_if(line.begin() + start, line.end(), isSeparator, QLatin1Char(' '));
    };
    const auto endLine = [&line, &chunk, encoding] {
        line += QLatin1String("\r\n");
        TextEncoding::append(line, encoding, chunk);
        line.resize(0);
    };
    const auto flush = [&chunk, &file] {
        const bool written = file.write(chunk) == chunk.size();
        chunk.resize(0);
        return written;
    };

    line += QLatin1String("Server: ");
    put(content.server);
    endLine();
    line += QLatin1String("URL: ");
    put(content.url);
    endLine();
    if (withRows) {
        line += yahoo ? RangeKey : PasswordKey;
        line += QLatin1String(": ");
        put(content.mask);
        endLine();
        for (const QStringList &row : content.rows) {
            for (qsizetype f = 0; f < fields; ++f) {
                if (f > 0)
                    line += QLatin1Char('\t');
                if (f < row.size())
                    put(row.at(f));
            }
            endLine();
            if (chunk.size() >= ChunkBytes && !flush())
                return fileError(file, path, QStringLiteral("write"));
        }
    }
    if (!flush() || !file.commit())
        return fileError(file, path, QStringLiteral("write"));
    return {};
}

bool MemorySink::setServer(const QString &server)
{
    if (server != Yahoo && server != Zing)
        return false;
    content.server = server;
    return true;
}

} // namespace QueueFile
