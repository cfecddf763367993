#include "core/download/downloadtarget.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString LinkRefused = QStringLiteral("target is a symbolic link");

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("cannot write %1: %2").arg(path, why);
}

} // namespace

DownloadTarget::~DownloadTarget()
{
    discard();
}

bool DownloadTarget::isLink() const
{
    return QFileInfo(m_path).isSymLink();
}

bool DownloadTarget::open(QString *error)
{
    if (isLink()) {
        *error = LinkRefused;
        return false;
    }
    // curl hands over large pieces; a buffer of our own would only cut them up again.
    constexpr QIODevice::OpenMode Mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (QFileInfo::exists(m_path)) {
        m_replacement = std::make_unique<QSaveFile>(m_path);
        // Without this a cancelled write could still replace the file on some platforms.
        m_replacement->setDirectWriteFallback(false);
        if (m_replacement->open(Mode))
            return true;
        *error = cannotWrite(m_path, m_replacement->errorString());
        m_replacement.reset();
        return false;
    }
    // Created exclusively, so it never follows a link planted under its name.
    m_fresh = std::make_unique<QTemporaryFile>(m_path + QStringLiteral(".XXXXXX"));
    if (m_fresh->open()) {
        // A temporary file is private; the download gets what any new file of the user gets.
        static const mode_t Mask = [] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return mask;
        }();
        ::fchmod(m_fresh->handle(), 0666 & ~Mask);
        return true;
    }
    *error = cannotWrite(m_path, m_fresh->errorString());
    m_fresh.reset();
    return false;
}

QIODevice *DownloadTarget::device()
{
    if (m_replacement)
        return m_replacement.get();
    return m_fresh.get();
}

bool DownloadTarget::commit(QString *error)
{
    // A link put there during the transfer is not replaced either.
    if (isLink()) {
        *error = LinkRefused;
        discard();
        return false;
    }
    if (m_replacement) {
        const bool ok = m_replacement->commit();
        if (!ok)
            *error = cannotWrite(m_path, m_replacement->errorString());
        m_replacement.reset();
        return ok;
    }
    if (!m_fresh) {
        *error = cannotWrite(m_path, QStringLiteral("not open"));
        return false;
    }
    m_fresh->close();
    if (m_fresh->error() != QFileDevice::NoError) {
        *error = cannotWrite(m_path, m_fresh->errorString());
        discard();
        return false;
    }
    // Takes the name only while it is free: a file that appeared meanwhile is not replaced.
    if (!m_fresh->rename(m_path)) {
        *error = QFileInfo::exists(m_path) || isLink()
                     ? QStringLiteral("%1 appeared during the download and was kept").arg(m_path)
                     : cannotWrite(m_path, m_fresh->errorString());
        discard();
        return false;
    }
    m_fresh->setAutoRemove(false);
    m_fresh.reset();
    return true;
}

void DownloadTarget::discard()
{
    if (m_replacement) {
        m_replacement->cancelWriting();
        m_replacement->commit(); // discards the temporary file, leaves the target alone
        m_replacement.reset();
    }
    m_fresh.reset(); // removes the temporary file
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
