#include "core/download/downloadtarget.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString LinkRefused = QStringLiteral("target is a symbolic link");
const QString PartIsLink = QStringLiteral("its part file is a symbolic link");
const QString HeldElsewhere = QStringLiteral("being downloaded by another process");
constexpr qsizetype MaxNameBytes = 255; // NAME_MAX of the usual file systems
constexpr qint64 MaxRecordBytes = 64 * 1024;

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("cannot write %1: %2").arg(path, why);
}

QString systemError()
{
    return QString::fromLocal8Bit(strerror(errno));
}

// Never through a link, and without waiting: a FIFO or a device in a file's place would
// block the whole program in open() or write(). The caller checks what it opened.
int openNoFollow(const QString &path, int flags)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  0666);
}

bool isRegular(int fd, struct stat *info)
{
    return ::fstat(fd, info) == 0 && S_ISREG(info->st_mode);
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
    : m_path(path), m_url(url), m_partPath(partPath(path)),
      m_recordPath(m_partPath + QStringLiteral(".json"))
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
    struct stat info;
    if (::lstat(QFile::encodeName(m_path).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        *error = S_ISLNK(info.st_mode) ? LinkRefused
                 : S_ISDIR(info.st_mode)
                     ? cannotWrite(m_path, QStringLiteral("a folder is in the way"))
                     : cannotWrite(m_path, QStringLiteral("not a regular file"));
        return false;
    }
    if (!openPart(error))
        return false;
    if (!readRecord(error)) {
        if (m_part.size() == 0)
            QFile::remove(m_partPath); // made by this attempt: nothing to keep
        m_part.close();
        return false;
    }
    const bool resumable = !m_etag.isEmpty() || !m_lastModified.isEmpty();
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

bool DownloadTarget::openPart(QString *error)
{
    // A run that held the part file may rename or remove it while we wait for its lock; then
    // the name is another file by now, and we try that one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = openNoFollow(m_partPath, O_RDWR | O_CREAT);
        if (fd < 0) {
            *error = cannotWrite(m_path, errno == ELOOP ? PartIsLink : systemError());
            return false;
        }
        struct stat opened;
        struct stat named;
        if (!isRegular(fd, &opened)) {
            ::close(fd);
            *error = cannotWrite(m_path, QStringLiteral("its part file is not a regular file"));
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            *error = errno == EWOULDBLOCK ? HeldElsewhere : cannotWrite(m_path, systemError());
            ::close(fd);
            return false;
        }
        if (::lstat(QFile::encodeName(m_partPath).constData(), &named) != 0 ||
            named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
            ::close(fd);
            continue;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        // Curl hands over large pieces; a buffer of our own would only cut them up again.
        if (!m_part.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered,
                         QFileDevice::AutoCloseHandle)) {
            *error = cannotWrite(m_path, m_part.errorString());
            ::close(fd);
            return false;
        }
        return true;
    }
    *error = HeldElsewhere;
    return false;
}

bool DownloadTarget::readRecord(QString *error)
{
    // What an earlier attempt left counts only for the same URL, with a validator to ask
    // the server whether the file is still the same. No record is no resume; a record that
    // is not a file (a FIFO, a folder) is not ours to replace.
    QJsonObject record;
    const int fd = openNoFollow(m_recordPath, O_RDONLY);
    if (fd < 0 && errno == ELOOP) {
        *error = cannotWrite(m_path, PartIsLink);
        return false;
    }
    if (fd >= 0) {
        struct stat info;
        QFile file;
        if (!isRegular(fd, &info)) {
            ::close(fd);
            *error =
                cannotWrite(m_path, QStringLiteral("its part file's record is not a regular file"));
            return false;
        }
        if (info.st_size <= MaxRecordBytes &&
            file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            record = QJsonDocument::fromJson(file.readAll()).object();
        else
            ::close(fd);
    }
    const bool same = record.value(QLatin1String("url")).toString() == m_url;
    m_etag = same ? record.value(QLatin1String("etag")).toString().toLatin1() : QByteArray();
    m_lastModified =
        same ? record.value(QLatin1String("lastModified")).toString().toLatin1() : QByteArray();
    m_length = same ? qint64(record.value(QLatin1String("length")).toDouble(-1)) : -1;
    if (m_etag.startsWith("W/"))
        m_etag.clear(); // a weak validator cannot guard a range
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
    if (status == 206) {
        qint64 first = -1;
        qint64 length = -1;
        if (m_offset <= 0 || !parseContentRange(contentRange, &first, &length) ||
            first != m_offset) {
            *error = QStringLiteral("the server sent another part of the file than asked for");
            return false;
        }
        // A cache may answer the range from another version than If-Range named: only the
        // validator we sent, coming back the same, proves the rest belongs to our bytes. The
        // stored ETag is never weak, so equal bytes are the strong comparison; a 206 without
        // it does not qualify.
        const bool byTag = !m_etag.isEmpty();
        if ((byTag ? etag : lastModified) != (byTag ? m_etag : m_lastModified)) {
            m_otherVersion = true;
            *error = QStringLiteral("the server sent a part of another version of the file");
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
    m_etag = etag.startsWith("W/") ? QByteArray() : etag;
    m_lastModified = lastModified;
    writeRecord();
    return true;
}

void DownloadTarget::writeRecord() const
{
    // Rewritten only at the start of an attempt and when the answer's head arrives, always
    // under the part file's lock; no sync: a record lost with the machine only means
    // starting that file again.
    QJsonObject record{{QLatin1String("url"), m_url},
                       {QLatin1String("etag"), QString::fromLatin1(m_etag)},
                       {QLatin1String("lastModified"), QString::fromLatin1(m_lastModified)},
                       {QLatin1String("length"), double(m_length)}};
    const int fd = openNoFollow(m_recordPath, O_WRONLY | O_CREAT);
    if (fd < 0)
        return;
    struct stat info;
    QFile file;
    if (isRegular(fd, &info) && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        file.resize(0);
        file.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
    } else {
        ::close(fd);
    }
}

bool DownloadTarget::commit(bool mayReplace, QString *error)
{
    // The part holds the resumed bytes and what this attempt wrote after them, nothing else;
    // another size means another program wrote to it, and its bytes are nobody's file.
    struct stat info;
    const qint64 size = m_part.pos();
    if (::fstat(m_part.handle(), &info) != 0 || info.st_size != size) {
        *error = cannotWrite(m_path, QStringLiteral("its part file changed during the download"));
        discard();
        return false;
    }
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
    // Renamed while still locked: no other run may take up the name in between.
    if (mayReplace && QFileInfo::exists(m_path)) {
        // The old file goes only once the new one is safely on disk.
        if (::fdatasync(m_part.handle()) != 0 ||
            ::rename(QFile::encodeName(m_partPath).constData(),
                     QFile::encodeName(m_path).constData()) != 0) {
            *error = cannotWrite(m_path, systemError());
            keep();
            return false;
        }
    } else if (!QFile::rename(m_partPath, m_path)) {
        // Takes the name only while it is free: a file that appeared meanwhile is not replaced.
        *error = QFileInfo::exists(m_path) || isLink(m_path)
                     ? QStringLiteral("%1 appeared during the download and was kept").arg(m_path)
                     : cannotWrite(m_path, QStringLiteral("cannot rename its part file"));
        discard();
        return false;
    }
    QFile::remove(m_recordPath);
    m_part.close();
    return true;
}

void DownloadTarget::keep()
{
    if (!m_part.isOpen())
        return; // not ours any more
    // Without a validator the server could not tell us whether the rest still fits.
    if (m_part.size() == 0 || (m_etag.isEmpty() && m_lastModified.isEmpty()))
        discard();
    else
        m_part.close();
}

void DownloadTarget::discard()
{
    if (!m_part.isOpen())
        return; // a part file we no longer hold may be another run's by now
    // Removed before the lock goes, so another run's new part file is never removed with it.
    QFile::remove(m_partPath);
    QFile::remove(m_recordPath);
    m_part.close();
}

bool isRegularFile(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
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
