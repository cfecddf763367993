#include "core/queue/queuefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/filelist/columnset.h"
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

// Lines end with CR LF; a bare LF or CR ends a line too. A final line end opens no new line.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

// A line break inside a cell would split its row on reading and lose the rows after it.
QString cellText(const QString &cell)
{
    if (!cell.contains(QLatin1Char('\r')) && !cell.contains(QLatin1Char('\n')))
        return cell;
    QString text = cell;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
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
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fileError(file, path, QStringLiteral("read"));
    file.close();

    const QStringList lines = splitLines(TextEncoding::decodeText(bytes));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0) {
            const QString key = line.left(colon);
            const QString value = line.mid(colon + 1).trimmed();
            if (key == ServerKey) {
                if (!sink.setServer(value))
                    return {Error::UnknownMode,
                            where + QStringLiteral("unknown mode \"%1\" (expected Yahoo or Zing)")
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
        if (cells.isEmpty()) {
            const qsizetype found = line.isEmpty() ? 0 : line.count(QLatin1Char('\t')) + 1;
            return {Error::MissingField,
                    where + QStringLiteral("a %1 row needs %2 fields, found %3")
                                .arg(server)
                                .arg(needed)
                                .arg(found)};
        }
        sink.addRow(cells);
    }
    return {};
}

QByteArray serialize(const Content &content)
{
    static const QString Eol = QStringLiteral("\r\n");
    QString text;
    text += QStringLiteral("Server: ") + content.server + Eol;
    text += QStringLiteral("URL: ") + content.url + Eol;
    const bool yahoo = content.server == Yahoo;
    if (yahoo || content.server == Zing) {
        text += (yahoo ? RangeKey : PasswordKey) + QStringLiteral(": ") + content.mask + Eol;
        const int fields = yahoo ? 6 : 3;
        for (const QStringList &row : content.rows) {
            for (int f = 0; f < fields; ++f) {
                if (f > 0)
                    text += QLatin1Char('\t');
                if (f < row.size())
                    text += cellText(row.at(f));
            }
            text += Eol;
        }
    }
    return TextEncoding::encodeText(text);
}

Error write(const QString &path, const Content &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(file, path, QStringLiteral("create"));
    const QByteArray bytes = serialize(content);
    if (file.write(bytes) != bytes.size())
        return fileError(file, path, QStringLiteral("write"));
    if (!file.commit())
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
