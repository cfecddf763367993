#include "core/search/pagefetcher.h"

#include <algorithm>

#include "core/app/appstate.h"
#include "core/app/slotboard.h"
#include "core/download/linkverifier.h"
#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/net/httpclient.h"
#include "core/net/transferstate.h"
#include "core/queue/textencoding.h"
#include "core/search/albumparser.h"

cHTTPLinkFinder::cHTTPLinkFinder(AppState &state, SlotBoard &board, FileListModel &files, int slot,
                                 QObject *parent)
    : SlotWorker(parent), m_state(state), m_board(board), m_files(files), m_slot(slot),
      m_client(new HttpClient(this))
{
    connect(m_client, &HttpClient::progress, this, &cHTTPLinkFinder::onProgress);
    connect(m_client, &HttpClient::stateChanged, this, &cHTTPLinkFinder::onState);
}

cHTTPLinkFinder::~cHTTPLinkFinder() = default;

void cHTTPLinkFinder::setFinished(bool finished)
{
    if (m_finished == finished)
        return;
    m_finished = finished;
    Q_EMIT finishedChanged();
}

void cHTTPLinkFinder::GetURL(const QString &sURL)
{
    setFinished(false);
    m_capped = false;
    m_board.setUrl(m_slot, sURL);
    m_client->get(QUrl(sURL));
}

void cHTTPLinkFinder::Abort()
{
    // The part of the page that arrived is still read.
    m_client->abort();
    if (m_completing) {
        // Checks that have not started yet never will; running ones end by themselves.
        for (qsizetype i = m_nextCheck; i < m_checks.size(); ++i)
            m_checks[i]->cancel();
        startChecks();
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
    if (m_slot >= m_board.count())
        return; // a slot without a row shows nothing
    m_board.setProgress(m_slot, TransferState::progress(m_board.at(m_slot).progress, count, size));
}

void cHTTPLinkFinder::onState(int state)
{
    switch (state) {
    case 0:
        if (m_finished || m_completing)
            return; // an idle client reporting idle again
        if (m_slot < m_board.count() && m_board.at(m_slot).progress < 100)
            m_board.setProgress(m_slot, 100);
        m_completing = true;
        // Pages are UTF-8 when they are valid UTF-8, else the old single-byte code page.
        ParsePage(TextEncoding::decodeText(m_client->body()));
        break;
    default:
        if (const QString text = TransferState::text(state); !text.isNull())
            m_board.setStatus(m_slot, text);
        break;
    }
}

void cHTTPLinkFinder::ParsePage(const QString &page)
{
    qDeleteAll(m_checks);
    m_checks.clear();
    m_nextCheck = 0;
    m_running = 0;
    if (sServerType == QLatin1String("Yahoo"))
        addGroupRows(page);
    else if (sServerType == QLatin1String("Zing"))
        addAlbumRows(page);
    startChecks();
}

void cHTTPLinkFinder::addGroupRows(const QString &page)
{
    const GroupParser::Page parsed = GroupParser::parse(page, filters);
    if (parsed.rejected || parsed.links.isEmpty())
        return;
    QList<QStringList> rows;
    rows.reserve(parsed.links.size());
    const QString number = formatMessageNumber(MsgNo);
    for (const GroupParser::Link &link : parsed.links)
        rows.append(
            {number, parsed.subject, parsed.author, link.fileName, QString(), link.url, QString()});
    const QList<FileListModel::RowId> ids = m_files.addRows(rows);
    for (qsizetype i = 0; i < parsed.links.size(); ++i) {
        auto *check = new cDsckLinkVerifier(this);
        check->LinkURL = parsed.links[i].url;
        check->FileName = parsed.links[i].fileName;
        check->setTimeout(m_checkTimeoutMs);
        check->bind(&m_files, ids.value(i), sizeColumn(Mode::Yahoo), hiddenSizeColumn(Mode::Yahoo),
                    &m_board, m_slot);
        m_checks.append(check);
    }
}

void cHTTPLinkFinder::addAlbumRows(const QString &page)
{
    const AlbumParser::Page parsed = AlbumParser::parse(page);
    if (!parsed.hasPictureList)
        return;
    AppState::Progress progress = m_state.progress();
    progress.maximum = int(parsed.pictures.size());
    m_state.setProgress(progress);

    QList<QStringList> rows;
    rows.reserve(parsed.pictures.size());
    for (const AlbumParser::Picture &picture : parsed.pictures)
        rows.append({picture.caption, QString(), picture.url, QString()});
    const QList<FileListModel::RowId> ids = m_files.addRows(rows);
    const int slotCount = std::max(1, NumThreads);
    for (qsizetype k = 0; k < parsed.pictures.size(); ++k) {
        auto *check = new cDsckLinkVerifier(this);
        check->LinkURL = parsed.pictures[k].url;
        check->FileName = parsed.pictures[k].caption;
        check->setTimeout(m_checkTimeoutMs);
        // The checks are spread over the slots in turn.
        check->bind(&m_files, ids.value(k), sizeColumn(Mode::Zing), hiddenSizeColumn(Mode::Zing),
                    &m_board, int(k % slotCount));
        m_checks.append(check);
    }
    m_state.setProgressValue(m_state.progress().value + int(parsed.pictures.size()));
}

void cHTTPLinkFinder::startChecks()
{
    // A check may end inside GetHeader (a URL without a path); the guard keeps this loop
    // the only place that starts checks.
    if (m_starting)
        return;
    m_starting = true;
    while (m_running < MaxChecksAtOnce && m_nextCheck < m_checks.size()) {
        cDsckLinkVerifier *check = m_checks[m_nextCheck++];
        if (check->IsFinished())
            continue; // cancelled before its turn
        ++m_running;
        connect(check, &cDsckLinkVerifier::finished, this, &cHTTPLinkFinder::onCheckFinished,
                Qt::SingleShotConnection);
        check->GetHeader();
    }
    m_starting = false;
    if (m_running == 0 && m_nextCheck >= m_checks.size())
        completePage();
}

void cHTTPLinkFinder::onCheckFinished()
{
    --m_running;
    if (!m_starting)
        startChecks();
}

void cHTTPLinkFinder::completePage()
{
    if (!m_completing)
        return;
    m_completing = false;
    for (cDsckLinkVerifier *check : std::as_const(m_checks))
        check->deleteLater();
    m_checks.clear();
    m_nextCheck = 0;
    if (sServerType == QLatin1String("Yahoo"))
        m_state.setProgressValue(m_state.progress().value + 1);
    m_board.setStatus(m_slot, QStringLiteral("Idle"));
    m_board.setUrl(m_slot, QString());
    m_board.setProgress(m_slot, 0);
    setFinished(true);
}
