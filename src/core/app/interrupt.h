#pragma once

#include <functional>

// Turns the first Ctrl-C (SIGINT) or SIGTERM into a call on the event loop, so a run can
// abort cleanly and report what it has; a second one ends the program at once.
namespace Interrupt {

void install(std::function<void()> onInterrupt);

} // namespace Interrupt
