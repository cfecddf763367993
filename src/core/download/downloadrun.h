#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "core/download/existingfiles.h"
#include "core/download/transfermeter.h"
#include "core/filelist/filelistmodel.h"
#include "core/filelist/mode.h"

class AppState;
class SlotBoard;
class SlotDispatcher;

// The download run: hands every ticked row, in the list's order, to the lowest idle
// transfer slot, and ends with "N files downloaded" (", M failed" when some failed, ", K under
// a new name" when some were saved as "name (2).ext") or "Download aborted" once every slot
// is idle. Driven by its workers' signals. Each start makes
// its own downloaders; they report each file's end, and the run writes rows and progress.
//
// A run never replaces a file it wrote itself: a row whose name another row of the run has
// taken is saved as "name (2).ext" and so on, and a row with the same name and URL as an
// earlier one is that same file, done when the earlier one is done, with no second transfer.
class DownloadRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadRun)

public:
    using IfExists = ExistingFileChoice;

    struct Params
    {
        QString folder; // the download folder; a missing "/" at its end is added
        Mode mode = Mode::Zing;
        int threads = 4;
        int timeoutMs = 60000; // a transfer that receives nothing for this long fails
        int retries = 3;       // further attempts after a failure on the way
        int retryBaseMs = 1000;
        IfExists ifExists = IfExists::Replace;
        QString cookieFile; // named when the server sent sign-in pages; default: the config's
    };

    static constexpr int MaxRetries = 10;

    enum class Start
    {
        Started,
        NothingChecked,
        NoFolder
    };

    DownloadRun(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent = nullptr);

    // Starts the run; a refusal changes only the run flags (and, with no folder, the
    // overall progress), and the caller shows its message.
    Start start(const Params &params);
    bool isRunning() const { return m_running; }

    int CountChecked() const;

    struct Failure
    {
        QString target;
        QString reason;
    };
    const QList<Failure> &failures() const { return m_failures; }
    const QStringList &sizesDiffering() const { return m_sizesDiffer; }
    int succeeded() const { return m_succeeded; }
    // The row's file came by a transfer of its own (not skipped, not the same as another row's).
    bool transferred(FileListModel::RowId row) const { return m_claimOf.contains(row); }
    qint64 bytesDone() const { return m_bytesDone; }
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

Q_SIGNALS:
    // The list shows one row at a time while the run dispatches, and many again after it.
    void multiSelectChanged(bool multi);
    // A row was handed to a slot: the list selects it and scrolls it into view.
    void rowStarted(FileListModel::RowId row);
    void fileDone(FileListModel::RowId row, bool ok, const QString &target, const QString &reason);
    // A row is saved under another name than its own (cleaned) one.
    void savedAs(FileListModel::RowId row, const QString &name, const QString &as);
    // A row's file was there before the run and is left as it is.
    void skipped(FileListModel::RowId row, const QString &target);
    // A file arrived whole but not with the size its size check found.
    void sizeDiffers(FileListModel::RowId row, const QString &target, qint64 expected,
                     qint64 actual);
    void finished(bool aborted);

private:
    void createDownloaders(int threads);
    bool hasRow();
    void startRow(int slot);
    void end(bool aborted);
    // The name a row is saved under in this run; empty when the row is the same file as an
    // earlier row of the run and waits for it instead.
    QString claimName(FileListModel::RowId row, const QString &name, const QString &url, int slot);
    bool takenOnDisk(const QString &name) const;
    QString endMessage() const;
    void onFileDone(FileListModel::RowId row, bool ok, const QString &target,
                    const QString &reason);
    // One row's end, with a transfer of its own or without (the same file as another row's,
    // or a file left as it is): its tick, mark and tooltip, the bar, the counts.
    void settle(FileListModel::RowId row, bool ok, const QString &target, const QString &reason);

    // A target name written by this run, and the rows that are the same file.
    struct Claim
    {
        QString url;
        FileListModel::RowId owner = 0;
        enum class State
        {
            Running,
            Written,
            Failed
        } state = State::Running;
        QString reason;
        QList<FileListModel::RowId> followers;
    };
    QHash<QString, Claim> m_claims;
    QHash<FileListModel::RowId, QString> m_claimOf; // the owner rows' names
    QSet<FileListModel::RowId> m_renamed;           // rows saved under another name
    int m_succeededRenamed = 0;
    QHash<QString, QString> m_sameFile; // name and URL of a claim's first row -> the claim
    QHash<QString, int> m_nextNumber;   // per name: the number of the next free name to try

    AppState &m_state;
    SlotBoard &m_board;
    FileListModel &m_files;
    Params m_params;
    SlotDispatcher *m_crew = nullptr;    // this start's downloaders, a child
    QList<FileListModel::RowId> m_queue; // the ticked rows, in list order at the start
    qsizetype m_next = 0;
    int m_succeeded = 0;
    QList<Failure> m_failures;
    QStringList m_sizesDiffer;
    QHash<FileListModel::RowId, qint64> m_expectedSize; // from the size check, per started row
    void showBytes();
    QTimer m_bytesTimer;   // refreshes the run's bytes, speed and time left
    QElapsedTimer m_clock; // since the run started
    TransferMeter m_meter;
    qint64 m_knownTotal = 0; // the size checks' sizes of the queued rows
    qint64 m_bytesDone = 0;  // of the files that ended
    bool m_running = false;
};
