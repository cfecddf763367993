#include "core/app/interrupt.h"

#include <QSocketNotifier>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace Interrupt {

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal)
{
    // Only async-signal-safe calls here: a byte into the pipe, and the default action back
    // so that a second signal ends the program.
    std::signal(signal, SIG_DFL);
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
}

} // namespace

void install(std::function<void()> onInterrupt)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, callback = std::move(onInterrupt)] {
                         char byte = 0;
                         while (::read(g_pipe[0], &byte, 1) > 0) {
                         }
                         notifier->setEnabled(false);
                         callback();
                     });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

} // namespace Interrupt
