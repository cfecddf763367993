#pragma once

#include <QList>
#include <QString>
#include <memory>

#include "core/app/slotworker.h"
#include "core/search/groupparser.h"

class AppState;
class FileListModel;
class HttpClient;
class SlotBoard;
class cDsckLinkVerifier;

// The worker of one transfer slot during a search: fetches one page at a time, shows the
// transfer on its slot, parses the page into result rows, and checks the size of every
// file found. It is idle again only when all of those checks have ended.
class cHTTPLinkFinder final : public SlotWorker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cHTTPLinkFinder)

public:
    cHTTPLinkFinder(AppState &state, SlotBoard &board, FileListModel &files, int slot,
                    QObject *parent = nullptr);
    ~cHTTPLinkFinder() override;

    QString sServerType; // "Yahoo" or "Zing": which parser reads the page
    qint32 MsgNo = 0;    // the message of the page (group search)
    int NumThreads = 1;  // slots over which the album's checks are spread
    GroupParser::Filters filters;

    bool IsFinished() const override { return m_finished; }
    void GetURL(const QString &sURL);
    void Abort();
    void abort() override { Abort(); }

    HttpClient &client() { return *m_client; }

    // How many size checks of one page run at once; the others wait their turn.
    static constexpr int MaxChecksAtOnce = 8;
    // A page larger than this is cut off there.
    static constexpr qint64 MaxPageBytes = 16 * 1024 * 1024;
    void setCheckTimeout(int milliseconds) { m_checkTimeoutMs = milliseconds; }

private:
    void onProgress(qint64 count, qint64 size);
    void onState(int state);
    void ParsePage(const QString &page);
    void addGroupRows(const QString &page);
    void addAlbumRows(const QString &page);
    void startChecks();
    void onCheckFinished();
    void completePage();
    void setFinished(bool finished);

    AppState &m_state;
    SlotBoard &m_board;
    FileListModel &m_files;
    const int m_slot;
    HttpClient *m_client = nullptr;
    QList<cDsckLinkVerifier *> m_checks; // the page's records, in page order
    qsizetype m_nextCheck = 0;
    int m_running = 0;
    bool m_completing = false;
    bool m_starting = false;
    bool m_finished = true;
    bool m_capped = false;
    int m_checkTimeoutMs = 30000;
};
