#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "core/filelist/filelistmodel.h"
#include "core/search/groupparser.h"
#include "core/search/searchrun.h"

class AppState;
class SlotBoard;
class SlotDispatcher;

// The group scan: hands the message pages of a mask, in mask order, to the lowest idle
// transfer slot, and ends with "Finished search" (", N pages failed: MASK" when some could not
// be fetched whole) or, after an abort, "Search aborted" once every slot is idle and every
// running size check has ended. Driven by its workers' signals; it never waits in a loop.
// Each start makes its own page fetchers; they report what they found, and the scan writes
// the rows, their sizes and the progress.
class GroupSearch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GroupSearch)

public:
    struct Params
    {
        QString baseUrl;
        QString mask;
        int threads = 4;
        GroupParser::Filters filters;
        SearchTimeouts timeouts;
        bool keepRows = false; // add to the rows found before instead of starting a new list
    };

    GroupSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent = nullptr);

    // Starts the scan. A refused mask changes nothing but the two run flags and the status
    // line, and returns false.
    bool start(const Params &params);
    bool isRunning() const { return m_running; }
    // What went wrong in the current or last scan.
    const SearchReport &report() const { return m_report; }

Q_SIGNALS:
    void pageFailed(const QString &url, const QString &reason);
    void finished(bool aborted);

private:
    // Rows are the same when their message and file address are.
    static QString rowKey(const QStringList &cells);
    // Adds the rows not in the list yet; gives every row's id, the old ones' too.
    QList<FileListModel::RowId> addNewRows(const QList<QStringList> &rows);
    bool hasPage();
    void startPage(int slot);
    void end(bool aborted);

    AppState &m_state;
    SlotBoard &m_board;
    FileListModel &m_files;
    QString m_base;
    QList<qint32> m_numbers;
    qsizetype m_next = 0;
    GroupParser::Filters m_filters;
    SlotDispatcher *m_crew = nullptr; // this start's page fetchers, a child
    SearchReport m_report;
    QHash<QString, FileListModel::RowId> m_known; // with keepRows: the rows in the list
    bool m_running = false;
    bool m_announced = false;
};
