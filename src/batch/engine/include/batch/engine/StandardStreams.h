#pragma once

// Descriptors 0, 1 and 2 of this process and of the programs it starts.
namespace StandardStreams {

// Opens each of standard input, output and error that is closed on the null
// device. Called first thing in main: a program started with them closed (as cron
// or a service manager may) would otherwise hand those numbers to the first pipes
// and files it opens, and write its messages into them.
void ensureOpen();

// Closes every descriptor from first up (close_range, else one by one up to the
// limit). Async-signal-safe: for a child between fork or clone and exec.
void closeFrom(int first = 3);

} // namespace StandardStreams
