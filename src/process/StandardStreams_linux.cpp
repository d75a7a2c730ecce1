#include "process/StandardStreams.h"

#include "ProcessLinux.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace StandardStreams {

void ensureOpen()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is fd itself: the ones below are open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

__attribute__((no_sanitize("address", "undefined"))) void closeFrom(int first)
{
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, unsigned(first), ~0u, 0u) == 0)
        return;
#endif
    struct rlimit files = {};
    const rlim_t last = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
            && files.rlim_cur < (rlim_t(1) << 20)
        ? files.rlim_cur
        : rlim_t(1) << 16;
    for (rlim_t fd = rlim_t(first); fd < last; ++fd)
        ::close(int(fd));
}

} // namespace StandardStreams
