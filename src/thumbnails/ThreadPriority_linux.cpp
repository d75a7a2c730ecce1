#include "ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace ThreadPriority {

void lowerCurrentThread()
{
    // On Linux a thread's nice value is its own: this one yields to the loader's
    // threads, which run at the process's.
    setpriority(PRIO_PROCESS, id_t(gettid()), 10);
}

} // namespace ThreadPriority
