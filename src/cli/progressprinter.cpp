#include "cli/progressprinter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminaltext.h"
#include "core/app/appstate.h"
#include "core/app/slotboard.h"

namespace {

int terminalWidth()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
    return 100;
}

} // namespace

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

void ProgressPrinter::onStatus(const QString &text)
{
    if (!m_terminal)
        std::fprintf(stderr, "%s\n", qPrintable(printable(text)));
}

void ProgressPrinter::onSlot(int index)
{
    // Plain lines carry the texts only; progress alone would flood a log.
    const SlotBoard::Slot &slot = m_board.at(index);
    const QString line = QStringLiteral("[slot %1] %2 %3")
                             .arg(slot.number, printable(slot.status), printable(slot.url));
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
    line(printable(m_state.statusMessage()));
    for (int i = 0; i < m_board.count(); ++i) {
        const SlotBoard::Slot &slot = m_board.at(i);
        line(QStringLiteral("%1 %2 %3% %4")
                 .arg(slot.number, 2)
                 .arg(printable(slot.status), -20)
                 .arg(slot.progress, 3)
                 .arg(printable(slot.url)));
    }
    m_drawnLines = m_board.count() + 1;
    std::fputs(frame.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void ProgressPrinter::finish()
{
    if (m_quiet)
        return;
    m_redraw.stop();
    if (m_terminal)
        redraw();
}

void ProgressPrinter::message(const QString &line)
{
    if (m_terminal && !m_quiet && m_drawnLines > 0) {
        // Up over the live rows and clear them; the next redraw puts them below the line.
        std::fprintf(stderr, "\x1b[%dA\r\x1b[J", m_drawnLines);
        m_drawnLines = 0;
    }
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}
