#pragma once

#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>
#include <memory>

class QIODevice;

// Where one download's bytes go until they are known to be whole, and how they take the
// target's name. The target is never opened, followed or replaced while it is a symbolic
// link. A file that replaces an existing one goes through QSaveFile, synced to disk before
// the old file goes; a new file is a temporary file beside it that takes the name only while
// the name is still free, without a sync of its own (the run syncs the folder once at its
// end), so a run of many small files does not wait on the disk for each one.
class DownloadTarget final
{
    Q_DISABLE_COPY_MOVE(DownloadTarget)

public:
    explicit DownloadTarget(const QString &path) : m_path(path) {}
    ~DownloadTarget(); // discards what was not committed

    // False with the reason when nothing can be written there.
    bool open(QString *error);
    QIODevice *device();
    bool commit(QString *error);
    void discard();

private:
    bool isLink() const;

    const QString m_path;
    std::unique_ptr<QSaveFile> m_replacement;
    std::unique_ptr<QTemporaryFile> m_fresh;
};

// Makes the names of the files that took free names durable: one sync of the folder.
void syncFolder(const QString &folder);
