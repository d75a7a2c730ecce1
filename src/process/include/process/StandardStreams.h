#pragma once

// Descriptors 0, 1 and 2 of this process (StandardStreams_<platform>.cpp).
namespace StandardStreams {

// Opens each of standard input, output and error that is closed on the null
// device. Called first thing in main: a program started with them closed (as cron
// or a service manager may) would otherwise hand those numbers to the first pipes
// and files it opens, and write its messages into them.
void ensureOpen();

} // namespace StandardStreams
