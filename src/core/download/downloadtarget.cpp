#include "core/download/downloadtarget.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString LinkRefused = QStringLiteral("target is a symbolic link");
constexpr qsizetype MaxNameBytes = 255; // NAME_MAX of the usual file systems
constexpr qint64 MaxRecordBytes = 64 * 1024;

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("cannot write %1: %2").arg(path, why);
}

// "bytes 100-199/1000" gives 100 and 1000 (-1 when the length is "*").
bool parseContentRange(const QByteArray &value, qint64 *first, qint64 *length)
{
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes "))
        return false;
    const qsizetype dash = text.indexOf('-');
    const qsizetype slash = text.indexOf('/');
    if (dash < 0 || slash < dash)
        return false;
    bool ok = false;
    *first = text.mid(6, dash - 6).trimmed().toLongLong(&ok);
    if (!ok)
        return false;
    const QByteArray total = text.mid(slash + 1).trimmed();
    *length = total == "*" ? -1 : total.toLongLong(&ok);
    return ok;
}

} // namespace

QString DownloadTarget::partPath(const QString &path)
{
    const QFileInfo info(path);
    QString name = QLatin1Char('.') + info.fileName() + QStringLiteral(".tbpart");
    // Leaves room for the record's ".json"; a long name is replaced by its digest.
    if (QFile::encodeName(name).size() + 5 > MaxNameBytes)
        name = QLatin1Char('.') +
               QString::fromLatin1(
                   QCryptographicHash::hash(info.fileName().toUtf8(), QCryptographicHash::Sha1)
                       .toHex()) +
               QStringLiteral(".tbpart");
    return info.dir().filePath(name);
}

DownloadTarget::DownloadTarget(const QString &path, const QString &url)
    : m_path(path), m_url(url), m_recordPath(partPath(path) + QStringLiteral(".json")),
      m_part(partPath(path))
{}

DownloadTarget::~DownloadTarget()
{
    if (m_part.isOpen())
        keep();
}

bool DownloadTarget::isLink(const QString &path) const
{
    return QFileInfo(path).isSymLink();
}

bool DownloadTarget::open(QString *error)
{
    if (isLink(m_path)) {
        *error = LinkRefused;
        return false;
    }
    if (isLink(m_part.fileName()) || isLink(m_recordPath)) {
        *error = cannotWrite(m_path, QStringLiteral("its part file is a symbolic link"));
        return false;
    }
    // What an earlier attempt left counts only for the same URL, with a validator to ask
    // the server whether the file is still the same.
    QFile recordFile(m_recordPath);
    QJsonObject record;
    if (recordFile.size() <= MaxRecordBytes && recordFile.open(QIODevice::ReadOnly))
        record = QJsonDocument::fromJson(recordFile.readAll()).object();
    recordFile.close();
    const bool same = record.value(QLatin1String("url")).toString() == m_url;
    m_etag = same ? record.value(QLatin1String("etag")).toString().toLatin1() : QByteArray();
    m_lastModified =
        same ? record.value(QLatin1String("lastModified")).toString().toLatin1() : QByteArray();
    m_length = same ? qint64(record.value(QLatin1String("length")).toDouble(-1)) : -1;
    if (m_etag.startsWith("W/"))
        m_etag.clear(); // a weak validator cannot guard a range
    const bool resumable = same && (!m_etag.isEmpty() || !m_lastModified.isEmpty());

    // Curl hands over large pieces; a buffer of our own would only cut them up again.
    const QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered;
    if (!m_part.open(resumable ? mode : mode | QIODevice::Truncate)) {
        *error = cannotWrite(m_path, m_part.errorString());
        return false;
    }
    m_offset = resumable ? m_part.size() : 0;
    if (m_length >= 0 && m_offset > m_length)
        m_offset = 0; // more than the whole file: not ours to trust
    if (m_offset == 0) {
        m_part.resize(0);
        m_etag.clear();
        m_lastModified.clear();
        m_length = -1;
    }
    m_part.seek(m_offset);
    writeRecord();
    return true;
}

QList<QByteArray> DownloadTarget::resumeHeaders() const
{
    if (m_offset <= 0)
        return {};
    return {"Range: bytes=" + QByteArray::number(m_offset) + '-',
            "If-Range: " + (m_etag.isEmpty() ? m_lastModified : m_etag)};
}

bool DownloadTarget::begin(int status, const QByteArray &contentRange, const QByteArray &etag,
                           const QByteArray &lastModified, qint64 announced, QString *error)
{
    m_etag = etag.startsWith("W/") ? QByteArray() : etag;
    m_lastModified = lastModified;
    if (status == 206) {
        qint64 first = -1;
        qint64 length = -1;
        if (m_offset <= 0 || !parseContentRange(contentRange, &first, &length) ||
            first != m_offset) {
            *error = QStringLiteral("the server sent another part of the file than asked for");
            return false;
        }
        m_length = length;
    } else {
        // The whole file (the server ignored the range, or the file changed): from zero.
        m_offset = 0;
        m_part.resize(0);
        m_part.seek(0);
        m_length = announced;
    }
    writeRecord();
    return true;
}

void DownloadTarget::writeRecord() const
{
    // Rewritten only at the start of an attempt and when the answer's head arrives; no
    // sync: a record lost with the machine only means starting that file again.
    QJsonObject record{{QLatin1String("url"), m_url},
                       {QLatin1String("etag"), QString::fromLatin1(m_etag)},
                       {QLatin1String("lastModified"), QString::fromLatin1(m_lastModified)},
                       {QLatin1String("length"), double(m_length)}};
    QFile file(m_recordPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

bool DownloadTarget::commit(bool mayReplace, QString *error)
{
    const qint64 size = m_part.size();
    if (m_length >= 0 && size != m_length) {
        *error = QStringLiteral("incomplete file: %1 of %2 bytes").arg(size).arg(m_length);
        keep();
        return false;
    }
    // A link put there during the transfer is not replaced either.
    if (isLink(m_path)) {
        *error = LinkRefused;
        keep();
        return false;
    }
    const QString part = m_part.fileName();
    if (mayReplace && QFileInfo::exists(m_path)) {
        // The old file goes only once the new one is safely on disk.
        if (::fdatasync(m_part.handle()) != 0 ||
            ::rename(QFile::encodeName(part).constData(), QFile::encodeName(m_path).constData()) !=
                0) {
            *error = cannotWrite(m_path, QString::fromLocal8Bit(strerror(errno)));
            keep();
            return false;
        }
        m_part.close();
    } else {
        m_part.close();
        // Takes the name only while it is free: a file that appeared meanwhile is not replaced.
        if (!QFile::rename(part, m_path)) {
            *error =
                QFileInfo::exists(m_path) || isLink(m_path)
                    ? QStringLiteral("%1 appeared during the download and was kept").arg(m_path)
                    : cannotWrite(m_path, QStringLiteral("cannot rename its part file"));
            QFile::remove(part);
            QFile::remove(m_recordPath);
            return false;
        }
    }
    QFile::remove(m_recordPath);
    return true;
}

void DownloadTarget::keep()
{
    // Without a validator the server could not tell us whether the rest still fits.
    const bool useless = m_part.size() == 0 || (m_etag.isEmpty() && m_lastModified.isEmpty());
    m_part.close();
    if (useless)
        discard();
}

void DownloadTarget::discard()
{
    m_part.close();
    QFile::remove(m_part.fileName());
    QFile::remove(m_recordPath);
}

void syncFolder(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
