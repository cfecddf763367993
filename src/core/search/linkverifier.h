#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "core/filelist/filelistmodel.h"
#include "core/run/slotworker.h"

class TcpSocket;

// The check of a found file's size: a bare HEAD request over a TCP socket of its own to the
// link's host (port 80 unless the link names one), whose announced length is reported for
// the row's size cells when the answer is a 2xx one. A check ends, whatever the outcome,
// with IsFinished() true and finished() sent. One object can run many checks in turn: set
// LinkURL and FileName, bind, GetHeader; its socket exists only while a check runs.
class cDsckLinkVerifier final : public SlotWorker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cDsckLinkVerifier)

public:
    enum class Outcome
    {
        None,     // no check has ended yet
        Size,     // the size cells were written
        NoSize,   // an answer that gives no size (not 2xx, no length, a length that is no size)
        Failed,   // no answer: a link without a path, a bad host or port, a socket error
        TimedOut, // nothing heard for the timeout
    };

    explicit cDsckLinkVerifier(QObject *parent = nullptr);
    ~cDsckLinkVerifier() override;

    QString LinkURL;
    QString FileName;

    // The row the check is for, and the slot whose labels show it.
    void bind(FileListModel::RowId row, int slot);

    bool IsFinished() const override { return m_finished; }
    // Ends a running check at once, without a size.
    void abort() override { fail(Outcome::Failed); }
    Outcome outcome() const { return m_outcome; }
    void GetHeader();

    // A check that hears nothing for this long ends: a stalled server never holds a search.
    void setTimeout(int milliseconds) { m_timeout.setInterval(milliseconds); }
    static constexpr int DefaultTimeoutMs = 30000;

    // The request for a Host header value and a path, byte for byte; empty when either holds
    // a character that must not reach a request line (CR, LF or another control character).
    static QByteArray request(const QString &host, const QString &path);

Q_SIGNALS:
    // The row's file has this size (digits only) by a 2xx answer.
    void sizeFound(FileListModel::RowId row, const QString &size);
    void finished();

private:
    void onState(int state);
    void onReceive();
    void onError();
    void onTimeout();
    void fail(Outcome outcome); // a socket error or a timeout: "Error", and the check ends
    void readLength(bool final);
    void setStatus(const QString &text);
    void setUrlText(const QString &text);
    void dropSocket();
    void finish(Outcome outcome);

    TcpSocket *Wsk1 = nullptr;
    FileListModel::RowId m_row = 0;
    int m_slot = 0;
    QByteArray m_request;
    QByteArray m_head;
    bool m_headDone = false;
    bool m_finished = true;
    Outcome m_outcome = Outcome::None;
    Outcome m_headOutcome = Outcome::NoSize;
    QTimer m_timeout;
};
