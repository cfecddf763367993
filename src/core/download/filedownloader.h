#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "core/app/slotworker.h"
#include "core/filelist/filelistmodel.h"

class AppState;
class HttpClient;
class DownloadTarget;
class SlotBoard;

// The worker of one transfer slot during a download: fetches one row's file into the
// download folder and shows the transfer on its slot. The body streams into a temporary
// file beside the target (DownloadTarget), which takes the target's name only when the
// whole body of a 2xx response arrived; any other end leaves an existing file as it was.
class cHTTPDownloader final : public SlotWorker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cHTTPDownloader)

public:
    cHTTPDownloader(AppState &state, SlotBoard &board, FileListModel &files, int slot,
                    QObject *parent = nullptr);
    ~cHTTPDownloader() override;

    FileListModel::RowId itmX = 0;
    QString DownloadFolder; // ends with "/"
    QString sFileName;      // already cleaned

    bool IsFinished() const override { return m_finished; }
    void DownloadFile(const QString &sURL);
    void Abort();
    void abort() override { Abort(); }

    HttpClient &client() { return *m_client; }

Q_SIGNALS:
    // One file ended: written (ok) or not, with the reason.
    void fileDone(FileListModel::RowId row, bool ok, const QString &target, const QString &reason);

private:
    void onProgress(qint64 count, qint64 size);
    void onState(int state);
    void complete(bool ok, const QString &reason);
    void setFinished(bool finished);

    AppState &m_state;
    SlotBoard &m_board;
    FileListModel &m_files;
    const int m_slot;
    HttpClient *m_client = nullptr;
    std::unique_ptr<DownloadTarget> m_target;
    bool m_finished = true;
};
