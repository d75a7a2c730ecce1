#pragma once

#include <QtGlobal>

// Ends the process groups of running tools when this process dies without
// ending them itself (SIGKILL, a crash). The parent-death signal reaches a tool
// only, not the helpers it started in its group.
//
// On the first watch() a small child process is forked that holds one end of a
// socket pair and a list of groups; the engine adds a group when it starts a
// tool and removes it when the tool ended. When the engine's end closes (this
// process is gone), the watchdog sends SIGKILL to every group still listed and
// exits. It sits in a session of its own, so a terminal's Ctrl+C does not end it
// first. A helper that leaves the group (setsid) escapes it.
//
// Cost: two small writes per tool. QUORVANE_WATCHDOG=0 turns it off (to measure
// that cost).
namespace ToolWatchdog {

void watch(qint64 group);
void unwatch(qint64 group);

// The watchdog's process id; 0 before the first watch() or when it is off.
qint64 pid();

// Lets the watchdog go (it ends the groups still listed) and waits for it to
// exit. For the end of a program that ended its tools itself.
void stop();

} // namespace ToolWatchdog
