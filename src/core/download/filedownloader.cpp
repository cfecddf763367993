#include "core/download/filedownloader.h"

#include <algorithm>

#include "core/app/appstate.h"
#include "core/app/slotboard.h"
#include "core/download/downloadtarget.h"
#include "core/net/httpclient.h"
#include "core/net/transferstate.h"

cHTTPDownloader::cHTTPDownloader(AppState &state, SlotBoard &board, FileListModel &files, int slot,
                                 QObject *parent)
    : SlotWorker(parent), m_state(state), m_board(board), m_files(files), m_slot(slot),
      m_client(new HttpClient(this))
{
    connect(m_client, &HttpClient::progress, this, &cHTTPDownloader::onProgress);
    connect(m_client, &HttpClient::stateChanged, this, &cHTTPDownloader::onState);
}

// A transfer cut short by our own end leaves no file behind: the target discards it.
cHTTPDownloader::~cHTTPDownloader() = default;

void cHTTPDownloader::setFinished(bool finished)
{
    if (m_finished == finished)
        return;
    m_finished = finished;
    Q_EMIT finishedChanged();
}

void cHTTPDownloader::DownloadFile(const QString &sURL)
{
    setFinished(false);
    m_board.setUrl(m_slot, sFileName);
    m_target = std::make_unique<DownloadTarget>(DownloadFolder + sFileName);
    QString error;
    if (!m_target->open(&error)) {
        m_target.reset();
        complete(false, error);
        return;
    }
    m_client->get(QUrl(sURL), m_target->device());
}

void cHTTPDownloader::Abort()
{
    m_client->abort();
    if (m_client->state() == HttpClient::Idle && m_target == nullptr)
        setFinished(true);
}

void cHTTPDownloader::onProgress(qint64 count, qint64 size)
{
    if (m_slot >= m_board.count())
        return;
    m_board.setProgress(m_slot, TransferState::progress(m_board.at(m_slot).progress, count, size));
}

void cHTTPDownloader::onState(int state)
{
    switch (state) {
    case 0: {
        if (m_finished || !m_target)
            return;
        if (m_slot < m_board.count() && m_board.at(m_slot).progress < 100)
            m_board.setProgress(m_slot, 100);
        switch (m_client->outcome()) {
        case HttpClient::Outcome::Success:
            complete(true, QString());
            break;
        case HttpClient::Outcome::HttpError:
            complete(false, QStringLiteral("HTTP status %1").arg(m_client->httpStatus()));
            break;
        case HttpClient::Outcome::Timeout:
        case HttpClient::Outcome::NetworkError:
            complete(false, m_client->errorString());
            break;
        case HttpClient::Outcome::Aborted:
        case HttpClient::Outcome::None:
            complete(false, QStringLiteral("aborted"));
            break;
        }
        break;
    }
    default:
        if (const QString text = TransferState::text(state); !text.isNull())
            m_board.setStatus(m_slot, text);
        break;
    }
}

void cHTTPDownloader::complete(bool ok, const QString &failure)
{
    QString reason = failure;
    const QString path = DownloadFolder + sFileName;
    if (m_target) {
        if (ok)
            ok = m_target->commit(&reason);
        m_target.reset(); // discards what was not committed
    }
    if (ok) {
        m_files.setChecked(m_files.rowOf(itmX), false);
        m_files.setRowMark(itmX, FileListModel::RowMark::None);
    } else {
        // Still ticked, so the next run tries it again.
        m_files.setRowMark(itmX, FileListModel::RowMark::Failed);
    }
    m_state.setProgressValue(m_state.progress().value + 1);
    m_board.setStatus(m_slot, QStringLiteral("Idle"));
    m_board.setUrl(m_slot, QString());
    m_board.setProgress(m_slot, 0);
    Q_EMIT fileDone(itmX, ok, path, reason);
    setFinished(true);
}
