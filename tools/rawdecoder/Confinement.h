#pragma once

// A system-call filter for a process that has opened everything it needs: from
// then on it may read and write what it holds open, map and free memory, run
// threads and end, nothing else (no open, exec, socket, kill of another process).
// Calls outside the list fail with EPERM rather than killing the process, so a
// library's harmless probe (a file it would like to read) degrades, not crashes.
namespace Confinement {

// Installs the filter for this process and its threads to come; false when the
// kernel refuses it. Without a filter for the machine's architecture, does nothing.
bool confine();

} // namespace Confinement
