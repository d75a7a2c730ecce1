#pragma once

#include <functional>

// The one place the program ends its process at once (the viewer's close button).
namespace ProcessExit {

// Runs before the process ends (for example to stop running child processes).
void setBeforeExit(std::function<void()> action);

// Ends the process at once with status. Destructors of statics do not run on
// purpose: the global pool's would wait for a RAW decode or a batch worker first.
[[noreturn]] void now(int status);

} // namespace ProcessExit
