#include "core/search/pagefetcher.h"

#include <algorithm>

#include "core/filelist/columnset.h"
#include "core/net/httpclient.h"
#include "core/net/transferstate.h"
#include "core/queue/textencoding.h"
#include "core/search/albumparser.h"

void writeSize(FileListModel &files, Mode mode, FileListModel::RowId row, const QString &size)
{
    files.setCell(row, sizeColumn(mode), size);
    files.setCell(row, hiddenSizeColumn(mode), formatHiddenSize(size));
}

cHTTPLinkFinder::cHTTPLinkFinder(int slot, RowSink addRows, QObject *parent)
    : SlotWorker(parent), m_slot(slot), m_addRows(std::move(addRows)),
      m_client(new HttpClient(this))
{
    connect(m_client, &HttpClient::progress, this, &cHTTPLinkFinder::onProgress);
    connect(m_client, &HttpClient::stateChanged, this, &cHTTPLinkFinder::onState);
    connect(&m_checks, &SlotDispatcher::finished, this, &cHTTPLinkFinder::completePage);
}

cHTTPLinkFinder::~cHTTPLinkFinder() = default;

void cHTTPLinkFinder::showProgress(int percent)
{
    m_progress = percent;
    Q_EMIT slotProgress(m_slot, percent);
}

void cHTTPLinkFinder::setFinished(bool finished)
{
    if (m_finished == finished)
        return;
    m_finished = finished;
    Q_EMIT finishedChanged();
}

void cHTTPLinkFinder::start(const PageRequest &request)
{
    setFinished(false);
    m_capped = false;
    m_aborted = false;
    m_request = request;
    Q_EMIT slotUrl(m_slot, request.url);
    m_client->get(QUrl(request.url));
}

void cHTTPLinkFinder::Abort()
{
    // The part of the page that arrived is still read.
    m_aborted = true;
    m_client->abort();
    if (m_completing) {
        // Checks that have not started yet never will; running ones end by themselves.
        m_checks.stop();
        return;
    }
    if (m_client->state() == HttpClient::Idle)
        setFinished(true);
}

void cHTTPLinkFinder::onProgress(qint64 count, qint64 size)
{
    // Pages are small; a body without end must not hold the search. What arrived is read.
    if (count > MaxPageBytes && !m_capped) {
        m_capped = true;
        QMetaObject::invokeMethod(
            this, [this] { m_client->abort(); }, Qt::QueuedConnection);
    }
    showProgress(TransferState::progress(m_progress, count, size));
}

QString cHTTPLinkFinder::failureReason() const
{
    if (m_capped)
        return QStringLiteral("cut off at %1 MiB").arg(MaxPageBytes / (1024 * 1024));
    switch (m_client->outcome()) {
    case HttpClient::Outcome::Success:
        return {};
    case HttpClient::Outcome::Aborted:
        // Stopped by the user: the search says "Search aborted", the page did not fail.
        return m_aborted ? QString() : QStringLiteral("aborted");
    case HttpClient::Outcome::HttpError:
        return QStringLiteral("HTTP status %1").arg(m_client->httpStatus());
    case HttpClient::Outcome::Timeout:
        return QStringLiteral("timed out");
    case HttpClient::Outcome::NetworkError:
    case HttpClient::Outcome::None:
        break;
    }
    const QString error = m_client->errorString();
    return error.isEmpty() ? QStringLiteral("network error") : error;
}

void cHTTPLinkFinder::onState(int state)
{
    switch (state) {
    case 0: {
        if (m_finished || m_completing)
            return; // an idle client reporting idle again
        if (m_progress < 100)
            showProgress(100);
        m_completing = true;
        const QString failure = failureReason();
        m_pageWhole = failure.isEmpty() && !m_aborted;
        if (!failure.isEmpty())
            Q_EMIT pageFailed(m_request.url, failure);
        // Pages are UTF-8 when they are valid UTF-8, else the old single-byte code page.
        ParsePage(TextEncoding::decodeText(m_client->body()));
        break;
    }
    default:
        if (const QString text = TransferState::text(state); !text.isNull())
            Q_EMIT slotStatus(m_slot, text);
        break;
    }
}

void cHTTPLinkFinder::ParsePage(const QString &page)
{
    m_pending = {};
    m_nextCheck = 0;
    if (m_request.mode == Mode::Yahoo)
        addGroupRows(page);
    else
        addAlbumRows(page);
    startChecks();
}

void cHTTPLinkFinder::addGroupRows(const QString &page)
{
    const GroupParser::Page parsed = GroupParser::parse(page, m_request.filters);
    if (parsed.rejected || parsed.links.isEmpty())
        return;
    // Every row of the page shares the one subject, author and number text.
    QList<QStringList> rows;
    rows.reserve(parsed.links.size());
    const QString number = formatMessageNumber(m_request.messageNumber);
    for (const GroupParser::Link &link : parsed.links)
        rows.append(
            {number, parsed.subject, parsed.author, link.fileName, QString(), link.url, QString()});
    const QList<FileListModel::RowId> ids =
        m_addRows ? m_addRows(rows) : QList<FileListModel::RowId>();
    rows = {};
    m_pending.reserve(parsed.links.size());
    for (qsizetype i = 0; i < parsed.links.size(); ++i)
        m_pending.append({parsed.links[i].url, parsed.links[i].fileName, ids.value(i), m_slot});
}

void cHTTPLinkFinder::addAlbumRows(const QString &page)
{
    const AlbumParser::Page parsed = AlbumParser::parse(page);
    if (!parsed.hasPictureList) {
        if (m_pageWhole)
            Q_EMIT pictureListMissing();
        return;
    }
    QList<QStringList> rows;
    rows.reserve(parsed.pictures.size());
    for (const AlbumParser::Picture &picture : parsed.pictures)
        rows.append({picture.caption, QString(), picture.url, QString()});
    const QList<FileListModel::RowId> ids =
        m_addRows ? m_addRows(rows) : QList<FileListModel::RowId>();
    rows = {};
    const int slotCount = std::max(1, m_request.checkSlots);
    m_pending.reserve(parsed.pictures.size());
    // The checks are spread over the slots in turn.
    for (qsizetype k = 0; k < parsed.pictures.size(); ++k)
        m_pending.append(
            {parsed.pictures[k].url, parsed.pictures[k].caption, ids.value(k), int(k % slotCount)});
}

void cHTTPLinkFinder::startChecks()
{
    const qsizetype wanted =
        std::min<qsizetype>(MaxChecksAtOnce, std::max<qsizetype>(1, m_pending.size()));
    while (m_checks.size() < wanted) {
        auto *check = new cDsckLinkVerifier;
        connect(check, &cDsckLinkVerifier::finished, this,
                [this, check] { Q_EMIT checkEnded(check->outcome()); });
        connect(check, &cDsckLinkVerifier::sizeFound, this, &cHTTPLinkFinder::sizeFound);
        // A check may show on another slot than the page's; the run puts it there.
        connect(check, &SlotWorker::slotStatus, this, &SlotWorker::slotStatus);
        connect(check, &SlotWorker::slotUrl, this, &SlotWorker::slotUrl);
        m_checks.add(check);
    }
    m_checks.start({[this] { return m_nextCheck < m_pending.size(); },
                    [this](int slot) {
                        startCheck(slot);
                    }},
                   int(wanted));
}

void cHTTPLinkFinder::startCheck(int slot)
{
    // The record's texts go to the check, so the list shrinks in memory as checks start.
    PendingCheck record = std::move(m_pending[m_nextCheck++]);
    auto *check = m_checks.worker<cDsckLinkVerifier>(slot);
    check->LinkURL = std::move(record.url);
    check->FileName = std::move(record.fileName);
    check->setTimeout(m_checkTimeoutMs);
    check->bind(record.row, record.slot);
    check->GetHeader();
}

void cHTTPLinkFinder::completePage()
{
    if (!m_completing)
        return;
    m_completing = false;
    m_pending = {};
    m_nextCheck = 0;
    Q_EMIT slotStatus(m_slot, QStringLiteral("Idle"));
    Q_EMIT slotUrl(m_slot, QString());
    showProgress(0);
    Q_EMIT pageDone();
    setFinished(true);
}
