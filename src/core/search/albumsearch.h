#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "core/search/searchrun.h"

class AppState;
class FileListModel;
class SlotBoard;
class SlotDispatcher;

// The album search: fetches one album page with its password on slot 1 and lists every
// picture, spreading the size checks over all slots. Each start makes its own fetcher; it
// reports what it found, and the search writes the rows, their sizes and the progress.
class AlbumSearch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlbumSearch)

public:
    struct Params
    {
        QString albumUrl;
        QString password; // percent-encoded into the query
        int threads = 4;
        SearchTimeouts timeouts;
    };

    AlbumSearch(AppState &state, SlotBoard &board, FileListModel &files, QObject *parent = nullptr);
    ~AlbumSearch() override;

    // The address of the album page: album URL, "&pwd=", the password percent-encoded (so
    // that "#", "&" or "+" in it stay part of it), "&agree_accept=Y".
    static QString pageUrl(const QString &albumUrl, const QString &password);

    void start(const Params &params);
    bool isRunning() const { return m_running; }
    // What went wrong in the current or last search.
    const SearchReport &report() const { return m_report; }

Q_SIGNALS:
    void pageFailed(const QString &url, const QString &reason);
    void finished(bool aborted);

private:
    QList<quint64> addRows(const QList<QStringList> &rows);
    void end(bool aborted);

    AppState &m_state;
    SlotBoard &m_board;
    FileListModel &m_files;
    SlotDispatcher *m_crew = nullptr; // this start's fetcher, a child
    SearchReport m_report;
    bool m_running = false;
};
