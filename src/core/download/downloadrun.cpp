#include "core/download/downloadrun.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "core/download/downloadtarget.h"
#include "core/download/filedownloader.h"
#include "core/download/filename.h"
#include "core/filelist/columnset.h"
#include "core/net/curlmulti.h"
#include "core/net/httpclient.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"
#include "core/run/slotdispatcher.h"

DownloadRun::DownloadRun(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_files(files)
{
    m_bytesTimer.setInterval(250);
    connect(&m_bytesTimer, &QTimer::timeout, this, &DownloadRun::showBytes);
    connect(&m_state, &AppState::abortRequested, this, [this] {
        if (m_running)
            m_crew->abort();
    });
}

int DownloadRun::CountChecked() const
{
    int count = 0;
    for (int row = 0; row < m_files.rowCount(); ++row)
        count += m_files.isChecked(row) ? 1 : 0;
    return count;
}

void DownloadRun::createDownloaders(int threads)
{
    if (m_crew)
        m_crew->retire(); // the last run's, idle since it ended
    m_crew = new SlotDispatcher(this);
    for (int slot = 0; slot < std::max(1, threads); ++slot) {
        auto *downloader = new cHTTPDownloader(slot);
        downloader->client().setInactivityTimeout(m_params.timeoutMs);
        connect(downloader, &cHTTPDownloader::fileDone, this, &DownloadRun::onFileDone);
        m_board.follow(downloader);
        m_crew->add(downloader);
    }
    connect(m_crew, &SlotDispatcher::finished, this, &DownloadRun::end);
}

DownloadRun::Start DownloadRun::start(const Params &params)
{
    m_state.AbortRequested = false;
    m_state.IsDownloading = true;
    m_params = params;
    const int checked = CountChecked();
    if (checked < 1)
        return Start::NothingChecked;
    m_state.setProgress({0, checked, 0});
    if (params.folder.isEmpty())
        return Start::NoFolder;
    // A stored folder may lack its separator; the name must not be glued onto it.
    QString folder = params.folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_params.folder = folder;

    m_queue.clear();
    for (int row = 0; row < m_files.rowCount(); ++row) {
        if (m_files.isChecked(row))
            m_queue.append(m_files.idAt(row));
    }
    m_next = 0;
    m_knownTotal = 0;
    m_bytesDone = 0;
    for (const FileListModel::RowId id : std::as_const(m_queue))
        m_knownTotal +=
            qMax(0LL, m_files.cell(m_files.rowOf(id), sizeColumn(m_params.mode)).toLongLong());
    m_meter.reset();
    m_clock.start();
    m_bytesTimer.start();
    m_claims.clear();
    m_claimOf.clear();
    m_renamed.clear();
    m_succeededRenamed = 0;
    m_sameFile.clear();
    m_nextNumber.clear();
    m_expectedSize.clear();
    m_sizesDiffer.clear();
    m_succeeded = 0;
    m_failures.clear();
    m_running = true;
    m_state.setRunActive(true);
    m_state.setStatusMessage(QString());
    m_state.setRunDetail(QString());
    m_board.clear();
    Q_EMIT multiSelectChanged(false);
    createDownloaders(params.threads);
    m_crew->start({[this] { return hasRow(); },
                   [this](int slot) {
                       startRow(slot);
                   }});
    return Start::Started;
}

bool DownloadRun::hasRow()
{
    for (; m_next < m_queue.size(); ++m_next) {
        const int row = m_files.rowOf(m_queue.at(m_next));
        if (row >= 0 && m_files.isChecked(row))
            return true; // not removed or unticked since the run started
    }
    return false;
}

void DownloadRun::startRow(int slot)
{
    const FileListModel::RowId id = m_queue.at(m_next++);
    const int row = m_files.rowOf(id);
    Q_EMIT rowStarted(id);
    FileRequest request;
    request.row = id;
    request.url = m_files.cell(row, fileUrlColumn(m_params.mode));
    request.folder = m_params.folder;
    bool known = false;
    const qint64 size = m_files.cell(row, sizeColumn(m_params.mode)).toLongLong(&known);
    if (known)
        m_expectedSize.insert(id, size);
    request.fileName =
        claimName(id, m_files.cell(row, fileNameColumn(m_params.mode)), request.url, slot);
    if (request.fileName.isEmpty())
        return; // the same file as an earlier row, or one left as it is: no transfer
    request.retries = std::clamp(m_params.retries, 0, MaxRetries);
    request.retryBaseMs = m_params.retryBaseMs;
    request.mayReplace = m_params.ifExists == IfExists::Replace;
    m_files.setRowMark(id, FileListModel::RowMark::Running);
    m_crew->worker<cHTTPDownloader>(slot)->start(request);
}

bool DownloadRun::takenOnDisk(const QString &name) const
{
    const QFileInfo info(m_params.folder + name);
    return info.exists() || info.isSymLink();
}

QString DownloadRun::claimName(FileListModel::RowId row, const QString &cell, const QString &url,
                               int slot)
{
    const QString name = downloadName(cell, url);
    const QString sameKey = name + QChar(0) + url;
    if (const auto same = m_sameFile.constFind(sameKey); same != m_sameFile.cend()) {
        Claim &claim = m_claims[*same];
        if (claim.state == Claim::State::Running)
            claim.followers.append(row);
        else
            settle(row, claim.state == Claim::State::Written, m_params.folder + *same,
                   claim.reason);
        return {};
    }
    // Each name remembers how far its numbers are taken, so many rows of one name cost no
    // more than as many rows of different names.
    int &k = m_nextNumber[name];
    const auto candidate = [&name, &k] {
        return k < 2 ? name : numberedName(name, k);
    };
    QString free = candidate();
    for (; m_claims.contains(free); free = candidate())
        k = std::max(k, 1) + 1;
    // Only a file can be the row's file already; anything else fails the row as when replacing.
    const bool skip = m_params.ifExists == IfExists::Skip && isRegularFile(m_params.folder + free);
    if (skip) {
        // Left alone, unless it cannot be the same file: then both are kept.
        const auto expected = m_expectedSize.constFind(row);
        const bool sameSize = expected == m_expectedSize.cend() ||
                              QFileInfo(m_params.folder + free).size() == *expected;
        if (sameSize) {
            m_claims[free] = Claim{url, row, Claim::State::Written, QString(), {}};
            m_sameFile.insert(sameKey, free);
            m_board.setStatus(slot, QStringLiteral("Skipped: %1").arg(free));
            Q_EMIT skipped(row, m_params.folder + free);
            settle(row, true, m_params.folder + free, QString());
            return {};
        }
    }
    if (skip || m_params.ifExists == IfExists::KeepBoth) {
        for (; takenOnDisk(free) || m_claims.contains(free); free = candidate())
            k = std::max(k, 1) + 1;
    }
    Claim &claim = m_claims[free];
    claim.url = url;
    claim.owner = row;
    m_claimOf.insert(row, free);
    m_sameFile.insert(sameKey, free);
    const bool renamed = free != CleanFileName(cell);
    m_files.setToolTip(row, renamed ? tr("Saved as %1").arg(free) : QString());
    m_files.setSavedAs(row, renamed ? free : QString());
    if (renamed) {
        m_renamed.insert(row);
        Q_EMIT savedAs(row, cell, free);
    }
    return free;
}

void DownloadRun::onFileDone(FileListModel::RowId row, bool ok, const QString &target,
                             const QString &reason)
{
    if (ok) {
        const auto expected = m_expectedSize.constFind(row);
        const qint64 actual = QFileInfo(target).size();
        m_bytesDone += actual;
        if (expected != m_expectedSize.cend() && *expected != actual) {
            // Kept, since it arrived whole; but the user should look at it.
            m_sizesDiffer.append(target);
            Q_EMIT sizeDiffers(row, target, *expected, actual);
        }
    }
    settle(row, ok, target, reason);
    const auto name = m_claimOf.constFind(row);
    if (name == m_claimOf.cend())
        return;
    Claim &claim = m_claims[*name];
    claim.state = ok ? Claim::State::Written : Claim::State::Failed;
    claim.reason = reason;
    for (const FileListModel::RowId follower : std::exchange(claim.followers, {}))
        settle(follower, ok, target, reason);
}

void DownloadRun::settle(FileListModel::RowId row, bool ok, const QString &target,
                         const QString &reason)
{
    const bool aborted = !ok && reason == cHTTPDownloader::abortedReason();
    if (ok) {
        ++m_succeeded;
        if (m_renamed.contains(row))
            ++m_succeededRenamed;
        m_files.setChecked(m_files.rowOf(row), false);
    } else if (!aborted) {
        // An abort is no failure of the file: it stays ticked for the next run.
        m_failures.append({target, reason});
        m_files.setToolTip(row, tr("Failed: %1").arg(reason));
        m_files.setSavedAs(row, QString()); // saved under no name at all
    }
    m_files.setRowMark(row, ok || aborted ? FileListModel::RowMark::None
                                          : FileListModel::RowMark::Failed);
    m_state.setProgressValue(m_state.progress().value + 1);
    Q_EMIT fileDone(row, ok, target, reason);
}

void DownloadRun::showBytes()
{
    qint64 done = m_bytesDone;
    qint64 total = m_knownTotal;
    for (int slot = 0; slot < m_crew->size(); ++slot) {
        const auto *downloader = m_crew->worker<cHTTPDownloader>(slot);
        if (downloader->IsFinished())
            continue;
        done += downloader->bytesDone();
        // A file the size check could not measure counts once its length is announced.
        const auto expected = m_expectedSize.constFind(downloader->row());
        if (expected == m_expectedSize.cend() && downloader->bytesTotal() > 0)
            total += downloader->bytesTotal();
    }
    m_meter.sample(m_clock.elapsed(), done);
    m_state.setRunDetail(
        TransferMeter::text(done, std::max(total, done), m_meter.bytesPerSecond()));
}

QString DownloadRun::endMessage() const
{
    QString text = QString::number(m_succeeded) + QStringLiteral(" files downloaded");
    if (!m_failures.isEmpty())
        text +=
            QStringLiteral(", ") + QString::number(m_failures.size()) + QStringLiteral(" failed");
    if (m_succeededRenamed > 0)
        text += QStringLiteral(", %1 under a new name").arg(m_succeededRenamed);
    if (!m_sizesDiffer.isEmpty()) {
        QStringList names;
        for (const QString &path : m_sizesDiffer)
            names.append(QFileInfo(path).fileName());
        text += QStringLiteral("; size differs from the size check: ") +
                names.join(QStringLiteral(", "));
    }
    const bool allSignIn =
        m_succeeded == 0 && !m_failures.isEmpty() &&
        std::all_of(m_failures.cbegin(), m_failures.cend(), [](const Failure &failure) {
            return failure.reason == cHTTPDownloader::signInPageText();
        });
    if (allSignIn)
        text += QStringLiteral("; the server sent web pages instead of the files: sign in again "
                               "and export your cookies to %1")
                    .arg(m_params.cookieFile.isEmpty() ? CurlMulti::defaultCookieFile()
                                                       : m_params.cookieFile);
    return text;
}

void DownloadRun::end(bool aborted)
{
    if (!m_running)
        return;
    m_running = false;
    m_bytesTimer.stop();
    // The bars return to empty; the run's bytes stay on show until the next run.
    m_state.setProgressValue(0);
    m_state.setRunDetail(TransferMeter::summary(m_bytesDone, m_clock.elapsed()));
    // New files took their names without a sync each; one sync of the folder keeps them.
    if (m_succeeded > 0)
        syncFolder(m_params.folder);
    Q_EMIT multiSelectChanged(true);
    // Over before it is told, so that whoever shows the end message sees the run ended.
    m_state.setRunActive(false);
    m_state.setStatusMessage(aborted ? QStringLiteral("Download aborted") : endMessage());
    Q_EMIT finished(aborted);
}
