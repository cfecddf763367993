#include "core/download/filedownloader.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>

#include "core/download/downloadtarget.h"
#include "core/download/retrypolicy.h"
#include "core/net/httpclient.h"
#include "core/net/transferstate.h"

namespace {

constexpr qint64 DetailEveryMs = 250;

bool namesAWebPage(const QString &name)
{
    return name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

} // namespace

cHTTPDownloader::cHTTPDownloader(int slot, QObject *parent)
    : SlotWorker(parent), m_slot(slot), m_client(new HttpClient(this))
{
    connect(m_client, &HttpClient::progress, this, &cHTTPDownloader::onProgress);
    connect(m_client, &HttpClient::stateChanged, this, &cHTTPDownloader::onState);
    m_retryTimer.setInterval(1000);
    connect(&m_retryTimer, &QTimer::timeout, this, &cHTTPDownloader::onRetryTick);
}

// A transfer cut short by our own end keeps its part file for the next run.
cHTTPDownloader::~cHTTPDownloader() = default;

QString cHTTPDownloader::signInPageText()
{
    return QStringLiteral("the server sent a web page instead of the file (signed out?)");
}

void cHTTPDownloader::setFinished(bool finished)
{
    if (m_finished == finished)
        return;
    m_finished = finished;
    Q_EMIT finishedChanged();
}

void cHTTPDownloader::showProgress(int percent)
{
    m_progress = percent;
    Q_EMIT slotProgress(m_slot, percent);
}

void cHTTPDownloader::start(const FileRequest &request)
{
    setFinished(false);
    m_request = request;
    m_retry = 0;
    m_aborting = false;
    m_meter.reset();
    m_clock.start();
    m_detailShownMs = -DetailEveryMs;
    m_done = 0;
    m_total = -1;
    Q_EMIT slotUrl(m_slot, m_request.fileName);
    startAttempt();
}

void cHTTPDownloader::startAttempt()
{
    m_refusal.clear();
    m_target =
        std::make_unique<DownloadTarget>(m_request.folder + m_request.fileName, m_request.url);
    QString error;
    if (!m_target->open(&error)) {
        m_target.reset();
        complete(false, error);
        return;
    }
    m_client->setRequestHeaders(m_target->resumeHeaders());
    m_client->get(QUrl(m_request.url), m_target->device());
}

void cHTTPDownloader::Abort()
{
    if (m_finished)
        return;
    m_aborting = true;
    if (m_retryTimer.isActive()) {
        // Waiting for the next attempt: the abort ends it at once.
        m_retryTimer.stop();
        complete(false, abortedReason());
        return;
    }
    m_client->abort();
    if (m_client->state() == HttpClient::Idle && m_target == nullptr)
        setFinished(true);
}

void cHTTPDownloader::onProgress(qint64 count, qint64 size)
{
    if (!m_target)
        return;
    // A resumed file counts what it had already.
    const qint64 offset = m_target->resumeOffset();
    m_done = offset + count;
    m_total = size > 0 ? offset + size : -1;
    showProgress(TransferState::progress(m_progress, m_done, size > 0 ? m_total : size));
    // A few times a second is all a reader can take in; every 16 KiB would cost real time.
    const qint64 now = m_clock.elapsed();
    if (now - m_detailShownMs >= DetailEveryMs || m_done == m_total) {
        m_detailShownMs = now;
        m_meter.sample(now, m_done);
        Q_EMIT slotDetail(m_slot, TransferMeter::text(m_done, m_total, m_meter.bytesPerSecond()));
    }
}

void cHTTPDownloader::onState(int state)
{
    switch (state) {
    case HttpClient::Idle:
        if (!m_finished && m_target)
            onEnded();
        break;
    case HttpClient::ReceivedResponse:
        Q_EMIT slotStatus(m_slot, TransferState::text(state));
        onHead();
        break;
    default:
        if (const QString text = TransferState::text(state); !text.isNull())
            Q_EMIT slotStatus(m_slot, text);
        break;
    }
}

void cHTTPDownloader::onHead()
{
    const int status = m_client->httpStatus();
    if (!m_target || status < 200 || status >= 300)
        return;
    // Signed-out members get a sign-in page with "200" for every file: it is not the file.
    const QByteArray type = m_client->responseHeader("Content-Type").trimmed().toLower();
    if (type.startsWith("text/html") && !namesAWebPage(m_request.fileName)) {
        m_refusal = signInPageText();
    } else if (!m_target->begin(status, m_client->responseHeader("Content-Range"),
                                m_client->responseHeader("ETag"),
                                m_client->responseHeader("Last-Modified"),
                                m_client->announcedSize(), &m_refusal)) {
        m_target->discard(); // the next attempt asks for the whole file
    }
    if (!m_refusal.isEmpty())
        m_client->abort();
}

void cHTTPDownloader::onEnded()
{
    if (m_progress < 100)
        showProgress(100);
    if (m_target && m_target->wantsWholeFile()) {
        startAgain(); // the part belongs to another version of the file
        return;
    }
    if (!m_refusal.isEmpty()) {
        const bool retry = m_refusal != signInPageText();
        retryOrFail(m_refusal, retry, {});
        return;
    }
    switch (m_client->outcome()) {
    case HttpClient::Outcome::Success: {
        QString reason;
        const bool ok = m_target->commit(m_request.mayReplace, &reason);
        m_target.reset();
        complete(ok, reason);
        break;
    }
    case HttpClient::Outcome::HttpError:
        if (m_client->httpStatus() == 416 && m_target->resumeOffset() > 0) {
            startAgain(); // what we had no longer fits the file
            return;
        }
        retryOrFail(m_client->errorString(), RetryPolicy::isTransientStatus(m_client->httpStatus()),
                    m_client->responseHeader("Retry-After"));
        break;
    case HttpClient::Outcome::Timeout:
    case HttpClient::Outcome::NetworkError:
        retryOrFail(m_client->errorString(), m_client->failedInTransit(), {});
        break;
    case HttpClient::Outcome::Aborted:
    case HttpClient::Outcome::None:
        complete(false, abortedReason());
        break;
    }
}

void cHTTPDownloader::startAgain()
{
    // What we had is no part of the file as it is now: the whole file, at once, and no retry
    // spent on it (the new request asks for no range, so this cannot repeat).
    m_target->discard();
    m_target.reset();
    startAttempt();
}

void cHTTPDownloader::retryOrFail(const QString &reason, bool transient,
                                  const QByteArray &retryAfter)
{
    if (m_target)
        m_target->keep(); // a retry, or the next run, resumes from here
    m_target.reset();
    if (!transient || m_retry >= m_request.retries || m_aborting) {
        complete(false, reason);
        return;
    }
    ++m_retry;
    const int wait = RetryPolicy::delayMs(m_retry, m_request.retryBaseMs,
                                          QRandomGenerator::global()->generateDouble(), retryAfter,
                                          QDateTime::currentDateTimeUtc());
    m_retryAt = QDateTime::currentMSecsSinceEpoch() + wait;
    showProgress(0);
    m_retryTimer.start(std::min(wait, 1000));
    onRetryTick(); // shows the wait, or starts at once when there is none
}

void cHTTPDownloader::onRetryTick()
{
    const qint64 left = m_retryAt - QDateTime::currentMSecsSinceEpoch();
    if (left <= 0) {
        m_retryTimer.stop();
        startAttempt();
        return;
    }
    Q_EMIT slotStatus(m_slot, QStringLiteral("Retrying in %1 s (%2 of %3)")
                                  .arg((left + 999) / 1000)
                                  .arg(m_retry)
                                  .arg(m_request.retries));
    m_retryTimer.start(int(std::min<qint64>(left, 1000)));
}

void cHTTPDownloader::complete(bool ok, const QString &reason)
{
    const QString path = m_request.folder + m_request.fileName;
    if (m_target) {
        m_target->keep();
        m_target.reset();
    }
    const bool aborted = !ok && reason == abortedReason();
    // The slot keeps the last outcome until the next run.
    Q_EMIT slotStatus(m_slot, ok        ? QStringLiteral("Done: %1").arg(m_request.fileName)
                              : aborted ? QStringLiteral("Aborted")
                                        : QStringLiteral("Failed: %1").arg(reason));
    Q_EMIT slotUrl(m_slot, QString());
    showProgress(0);
    Q_EMIT slotDetail(m_slot, QString());
    Q_EMIT fileDone(m_request.row, ok, path, reason);
    setFinished(true);
}
