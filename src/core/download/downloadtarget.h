#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

class QIODevice;

// Where one download's bytes go until they are known to be whole, and how they take the
// target's name. The bytes collect in a hidden part file beside the target (".NAME.tbpart")
// with a small record of the URL, the server's validators and the length, so a transfer
// that was cut (a failure, an abort, a killed program) resumes where it stopped. The part
// file never takes the target's name until the file is whole; then it replaces an existing
// file atomically, synced to disk first, or takes a free name without replacing anything.
// Nothing is ever opened, followed or replaced through a symbolic link, and only regular
// files are read or written. A part file belongs to one run at a time: it is locked
// (flock, so two runs in one process exclude each other too) from its opening until it is
// renamed or dropped, and its record is written only under that lock.
class DownloadTarget final
{
    Q_DISABLE_COPY_MOVE(DownloadTarget)

public:
    DownloadTarget(const QString &path, const QString &url);
    ~DownloadTarget(); // closes the part file; it stays for the next attempt

    // Opens and locks the part file, taking up what an earlier attempt left for the same URL.
    // A part file that another run holds is not touched: the row fails at once.
    bool open(QString *error);
    // Request headers that ask for the rest of the file ("Range", "If-Range"); none when
    // there is nothing to resume.
    QList<QByteArray> resumeHeaders() const;
    qint64 resumeOffset() const { return m_offset; }

    // The answer's head arrived: a "206" that continues at our offset under the validator we
    // sent appends; any other success starts the file afresh. False when the answer cannot
    // be used; wantsWholeFile() then tells a 206 of another version of the file.
    bool begin(int status, const QByteArray &contentRange, const QByteArray &etag,
               const QByteArray &lastModified, qint64 announced, QString *error);
    bool wantsWholeFile() const { return m_otherVersion; }
    QIODevice *device() { return &m_part; }

    // The file is whole: it takes the target's name, replacing a file there only when
    // mayReplace (a file that appeared during the transfer is otherwise kept). A part file
    // whose size is not what this run wrote was changed by someone else: it is dropped.
    bool commit(bool mayReplace, QString *error);
    // The attempt failed: what arrived stays for the next one (nothing stays when nothing came).
    void keep();
    // Nothing of it is wanted any more.
    void discard();

    static QString partPath(const QString &path);

private:
    bool isLink(const QString &path) const;
    bool openPart(QString *error);
    bool readRecord(QString *error);
    void writeRecord() const;

    const QString m_path;
    const QString m_url;
    const QString m_partPath;
    const QString m_recordPath;
    QFile m_part; // adopts the locked descriptor, so it carries no name
    qint64 m_offset = 0;
    qint64 m_length = -1; // the whole file's length, when the server said it
    QByteArray m_etag;
    QByteArray m_lastModified;
    bool m_otherVersion = false;
};

// A regular file, not a link to one: what may be skipped as already there.
bool isRegularFile(const QString &path);

// Makes the names of the files that took free names durable: one sync of the folder.
void syncFolder(const QString &folder);
