// Loaded into a decoder with LD_PRELOAD: LibRaw looks for byte patterns with
// memmem from the first bytes of its header parse on, and this one says, once,
// whether the process can still open a file at that moment. Only
// async-signal-safe calls: the process may already be confined.
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C" void *memmem(const void *haystack, size_t haystackLength, const void *needle, size_t needleLength)
{
    static bool told = false;
    if (!told) {
        told = true;
        const int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const char *line = fd >= 0 ? "parse probe: can open files\n" : "parse probe: cannot open files\n";
        if (fd >= 0)
            ::close(fd);
        ssize_t written = ::write(STDERR_FILENO, line, std::strlen(line));
        (void)written;
    }
    const auto *bytes = static_cast<const unsigned char *>(haystack);
    if (needleLength == 0)
        return const_cast<unsigned char *>(bytes);
    for (size_t at = 0; at + needleLength <= haystackLength; ++at) {
        if (std::memcmp(bytes + at, needle, needleLength) == 0)
            return const_cast<unsigned char *>(bytes + at);
    }
    return nullptr;
}
