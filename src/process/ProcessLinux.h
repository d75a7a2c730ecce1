#pragma once

#include <QtGlobal>

// What the room's Linux files share, and nothing outside them sees.

namespace StandardStreams {

// Closes every descriptor from first up (close_range, else one by one up to the
// limit). Async-signal-safe: for a child between fork or clone and exec.
void closeFrom(int first = 3);

} // namespace StandardStreams

namespace ToolWatchdog {

// The descriptor a starting tool writes its process id to (a 32-bit record,
// right before its exec); -1 when the watchdog is off or could not start. Starts
// the watchdog on first use.
int channel();

void watch(qint64 group);
void unwatch(qint64 group);

} // namespace ToolWatchdog
