#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "core/filelist/filelistmodel.h"

class SlotBoard;
class TcpSocket;

// A found file (its URL and name, from a page parser) and the check of its size: a bare
// HEAD request over its own TCP socket to port 80, whose announced length is written into
// the row's size cells. A check ends, whatever the outcome, with IsFinished() true and
// finished() sent; nothing but the cells reads its outcome.
class cDsckLinkVerifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cDsckLinkVerifier)

public:
    explicit cDsckLinkVerifier(QObject *parent = nullptr);
    ~cDsckLinkVerifier() override;

    QString LinkURL;
    QString FileName;

    // The row and the slot whose labels show the check.
    void bind(FileListModel *files, FileListModel::RowId row, int sizeColumn, int hiddenSizeColumn,
              SlotBoard *board, int slot);

    bool IsFinished() const { return m_finished; }
    void GetHeader();
    // Ends the check at once (the page's search was aborted before it started it).
    void cancel();

    // A check that hears nothing for this long ends: a stalled server never holds a search.
    void setTimeout(int milliseconds) { m_timeout.setInterval(milliseconds); }
    static constexpr int DefaultTimeoutMs = 30000;

    // The request for host and path, byte for byte; empty when either holds a character
    // that must not reach a request line (CR, LF or another control character).
    static QByteArray request(const QString &host, const QString &path);

Q_SIGNALS:
    void finished();

private:
    void onState(int state);
    void onReceive();
    void onError();
    void readLength(bool final);
    void setStatus(const QString &text);
    void setUrlText(const QString &text);
    void finish();

    TcpSocket *Wsk1 = nullptr;
    QPointer<FileListModel> m_files;
    FileListModel::RowId m_row = 0;
    int m_sizeColumn = -1;
    int m_hiddenSizeColumn = -1;
    QPointer<SlotBoard> m_board;
    int m_slot = 0;
    QString sHost;
    QString sPath;
    QByteArray m_head;
    bool m_headDone = false;
    bool m_finished = false;
    QTimer m_timeout;
};
