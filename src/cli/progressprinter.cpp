#include "cli/progressprinter.h"

#include <QRegularExpression>

#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminaltext.h"
#include "core/run/appstate.h"
#include "core/run/slotboard.h"

namespace {

int terminalWidth()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
    return 100;
}

} // namespace

QString ProgressPrinter::shown(const QString &text)
{
    // An album page's address carries the album password; logs and screens never do.
    static const QRegularExpression Password(QStringLiteral("([?&]pwd=)[^&#\\s]*"));
    QString hidden = text;
    hidden.replace(Password, QStringLiteral("\\1***"));
    return printable(hidden);
}

ProgressPrinter::ProgressPrinter(AppState &state, SlotBoard &board, bool quiet, QObject *parent)
    : QObject(parent), m_state(state), m_board(board), m_quiet(quiet),
      m_terminal(isatty(STDERR_FILENO) == 1)
{
    if (m_quiet)
        return;
    connect(&m_state, &AppState::statusMessageChanged, this, &ProgressPrinter::onStatus);
    if (m_terminal) {
        m_redraw.setInterval(200);
        connect(&m_redraw, &QTimer::timeout, this, &ProgressPrinter::redraw);
        m_redraw.start();
    } else {
        connect(&m_board, &SlotBoard::slotChanged, this, &ProgressPrinter::onSlot);
    }
}

void ProgressPrinter::setSlotLines(bool on)
{
    if (m_quiet || m_terminal)
        return;
    disconnect(&m_board, &SlotBoard::slotChanged, this, &ProgressPrinter::onSlot);
    if (on)
        connect(&m_board, &SlotBoard::slotChanged, this, &ProgressPrinter::onSlot);
}

void ProgressPrinter::onStatus(const QString &text)
{
    // A run that starts clears the last one's text; a log has nothing to say about that.
    if (m_terminal || text.isEmpty())
        return;
    // The end summary comes from finish(), with the run's bytes.
    if (!m_state.isRunActive() && !m_state.runDetail().isEmpty())
        return;
    m_lastStatus = text;
    std::fprintf(stderr, "%s\n", qPrintable(shown(text)));
}

void ProgressPrinter::onSlot(int index)
{
    // Plain lines carry the texts only; progress alone would flood a log.
    const SlotBoard::Slot &slot = m_board.at(index);
    const QString line =
        QStringLiteral("[slot %1] %2 %3").arg(slot.number, shown(slot.status), shown(slot.url));
    if (m_lastLines.size() <= index)
        m_lastLines.resize(index + 1);
    if (m_lastLines[index] == line)
        return;
    m_lastLines[index] = line;
    std::fprintf(stderr, "%s\n", qPrintable(line.trimmed()));
}

void ProgressPrinter::redraw()
{
    const int width = terminalWidth();
    QString frame;
    if (m_drawnLines > 0)
        frame += QStringLiteral("\x1b[%1A").arg(m_drawnLines);
    const auto line = [&frame, width](const QString &text) {
        frame += QStringLiteral("\r\x1b[K") + text.left(width - 1) + QLatin1Char('\n');
    };
    line(shown(m_state.statusMessage()));
    for (int i = 0; i < m_board.count(); ++i) {
        const SlotBoard::Slot &slot = m_board.at(i);
        // One percentage: the detail carries its own, in step with its bytes; the bar's
        // value runs ahead of it between two detail updates. An idle slot shows none.
        const QString measure = !slot.detail.isEmpty() ? slot.detail
                                : slot.progress > 0    ? QStringLiteral("%1%").arg(slot.progress, 3)
                                                       : QString();
        line(QStringLiteral("%1 %2 %3 %4")
                 .arg(slot.number, 2)
                 .arg(shown(slot.status), -20)
                 .arg(measure, -49)
                 .arg(shown(slot.url)));
    }
    m_drawnLines = m_board.count() + 1;
    if (const QString total = m_state.runDetail(); !total.isEmpty()) {
        line(QStringLiteral("total: ") + total);
        ++m_drawnLines;
    }
    std::fputs(frame.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void ProgressPrinter::clearLiveRows()
{
    if (m_drawnLines == 0)
        return;
    // Up over the live rows and clear them to the end of the screen.
    std::fprintf(stderr, "\x1b[%dA\r\x1b[J", m_drawnLines);
    m_drawnLines = 0;
}

void ProgressPrinter::finish()
{
    if (m_quiet)
        return;
    m_redraw.stop();
    disconnect(&m_state, nullptr, this, nullptr);
    disconnect(&m_board, nullptr, this, nullptr);
    if (m_terminal)
        clearLiveRows();
    // The run's last status (its summary) stays, once, with the run's bytes when it has them.
    const QString summary = m_state.statusMessage();
    const QString bytes = m_state.runDetail();
    if (!summary.isEmpty() && (m_terminal || summary != m_lastStatus || !bytes.isEmpty()))
        std::fprintf(
            stderr, "%s\n",
            qPrintable(
                shown(bytes.isEmpty() ? summary : summary + QStringLiteral(" \u00b7 ") + bytes)));
    std::fflush(stderr);
}

void ProgressPrinter::message(const QString &line)
{
    // Above the live rows: the next redraw puts them below the line.
    if (m_terminal && !m_quiet)
        clearLiveRows();
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}
