#pragma once

#include <QStringList>

#include <sys/resource.h>

// What a decoder process does to itself before it lets a parser see a byte of
// untrusted input: it opens what it needs, sets its limits, and then confines
// itself. From then on it may read and write what it holds open, map and free
// memory, run threads, signal and limit itself and end: no open, exec, socket,
// process of its own, or reach into another process.
//
// The system-call filter is required. Where the kernel offers Landlock, it is
// added as well (no file opened by path, no network, no signal or abstract
// socket outside the process); each of those layers is optional and its absence
// is said in the "quorvane.confinement" debug category.
namespace Confinement {

struct Limits
{
    rlim_t cpuSeconds = 300; // a parser caught in a loop ends on its own
    // Room for LibRaw's working buffers of a 256 MP picture, not for a runaway. Not
    // set in a sanitized build: the sanitizers reserve terabytes of address space.
    rlim_t addressSpace = rlim_t(8) << 30;
    rlim_t fileSize = 0; // the largest file it may write or grow, memory files included
    rlim_t descriptors = 16; // it opens nothing once confined
};

// Sets the limits above and no core file. Call before confine().
void setLimits(const Limits &limits);

// The Landlock layers a kernel of that Landlock ABI version (0: none) cannot
// give, in words for the debug category; empty when it gives them all.
QStringList missingLayers(int landlockAbi);

// Installs the optional layers, then the filter, for this process and the
// threads it starts afterwards. False when the filter cannot be installed; on an
// architecture without a filter, true without one.
bool confine();

} // namespace Confinement
