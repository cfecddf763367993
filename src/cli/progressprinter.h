#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdio>

class AppState;
class SlotBoard;

// Shows the run on stderr: on a terminal, the status line and one live row per slot,
// redrawn a few times a second; otherwise plain lines as the texts change. Texts from pages
// and servers are printed with their control characters escaped.
class ProgressPrinter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressPrinter)

public:
    ProgressPrinter(AppState &state, SlotBoard &board, bool quiet, QObject *parent = nullptr);

    // Ends the live display: on a terminal the live rows go; the run's last status (its
    // summary) is printed once.
    void finish();
    // A line that must be seen, also with --quiet: printed above the live rows on a
    // terminal, which are drawn afresh below it. The caller makes page texts printable.
    void message(const QString &line);
    // Slot rows are drawn live (on a terminal, not quiet).
    bool isLive() const { return m_terminal && !m_quiet; }
    // On a pipe: whether every change of a slot is printed as a line (the default).
    void setSlotLines(bool on);

    // A text from a page, a server or the run as it may be shown: control characters
    // escaped, an album password hidden.
    static QString shown(const QString &text);

private:
    void onStatus(const QString &text);
    void onSlot(int index);
    void redraw();
    void clearLiveRows();

    AppState &m_state;
    SlotBoard &m_board;
    bool m_quiet = false;
    bool m_terminal = false;
    int m_drawnLines = 0;
    QTimer m_redraw;
    QStringList m_lastLines; // per slot, the last plain line printed
    QString m_lastStatus;    // the last status line printed (plain lines only)
};
