#include "ThreadPriority.h"

#include <windows.h>

namespace ThreadPriority {

void lowerCurrentThread()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

} // namespace ThreadPriority
