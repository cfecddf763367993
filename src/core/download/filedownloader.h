#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "core/download/transfermeter.h"
#include "core/filelist/filelistmodel.h"
#include "core/run/slotworker.h"

class DownloadTarget;
class HttpClient;

// One file for a slot to fetch, and where it goes.
struct FileRequest
{
    FileListModel::RowId row = 0;
    QString url;
    QString folder;         // ends with "/"
    QString fileName;       // already cleaned
    int retries = 3;        // further attempts after a failure on the way
    int retryBaseMs = 1000; // the first back-off; the next ones double
    bool mayReplace = true; // a file of the target's name may be replaced
};

// The worker of one transfer slot during a download: fetches one row's file into the
// download folder and shows the transfer on its slot. The body collects in a part file
// beside the target (DownloadTarget), which takes the target's name only when the whole
// body of a 2xx response arrived; any other end leaves an existing file as it was and keeps
// what arrived for the next attempt. Failures on the way (refused, reset, cut, timed out,
// 408, 429, 5xx) are tried again after a back-off, resuming where the last attempt stopped.
// It shows the transfer on its slot and reports each file's end; the run writes the rows.
class cHTTPDownloader final : public SlotWorker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cHTTPDownloader)

public:
    explicit cHTTPDownloader(int slot, QObject *parent = nullptr);
    ~cHTTPDownloader() override;

    bool IsFinished() const override { return m_finished; }
    void start(const FileRequest &request);
    // The row of the file in hand, or of the last one.
    FileListModel::RowId row() const { return m_request.row; }
    void Abort();
    void abort() override { Abort(); }

    HttpClient &client() { return *m_client; }
    // Bytes of the file in hand (resumed ones included) and its length when known.
    qint64 bytesDone() const { return m_done; }
    qint64 bytesTotal() const { return m_total; }
    double bytesPerSecond() const { return m_meter.bytesPerSecond(); }

    // What a failure says when the server sent a web page for a file that is none.
    static QString signInPageText();
    // The reason of a row whose transfer was aborted: no failure of the file.
    static QString abortedReason() { return QStringLiteral("aborted"); }

Q_SIGNALS:
    // One file ended: written (ok) or not, with the reason (abortedReason() after an abort).
    void fileDone(FileListModel::RowId row, bool ok, const QString &target, const QString &reason);

private:
    void startAttempt();
    void onProgress(qint64 count, qint64 size);
    void onState(int state);
    void onHead();
    void onEnded();
    void startAgain();
    void retryOrFail(const QString &reason, bool transient, const QByteArray &retryAfter);
    void onRetryTick();
    void complete(bool ok, const QString &reason);
    void setFinished(bool finished);
    void showProgress(int percent);

    const int m_slot;
    HttpClient *m_client = nullptr;
    std::unique_ptr<DownloadTarget> m_target;
    FileRequest m_request;
    QString m_refusal; // why we stopped the transfer ourselves
    int m_retry = 0;   // the attempt running or waiting is retry number m_retry
    qint64 m_retryAt = 0;
    QTimer m_retryTimer;
    bool m_finished = true;
    bool m_aborting = false; // the file in hand was aborted: no retry
    int m_progress = 0;      // what the slot's bar shows
    TransferMeter m_meter;
    QElapsedTimer m_clock;
    qint64 m_detailShownMs = 0;
    qint64 m_done = 0;
    qint64 m_total = -1;
};
