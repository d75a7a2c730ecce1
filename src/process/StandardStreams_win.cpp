#include "process/StandardStreams.h"

#include <cstdio>
#include <io.h>

namespace StandardStreams {

// A program started without a console (or with its streams closed) has no
// descriptors 0-2: they are put on NUL, so the C runtime's writes go nowhere
// instead of failing, and the numbers are never a file's or a pipe's.
void ensureOpen()
{
    if (::_fileno(stdin) < 0)
        std::freopen("NUL", "r", stdin);
    if (::_fileno(stdout) < 0)
        std::freopen("NUL", "w", stdout);
    if (::_fileno(stderr) < 0)
        std::freopen("NUL", "w", stderr);
}

} // namespace StandardStreams
