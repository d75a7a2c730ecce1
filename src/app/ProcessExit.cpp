#include "app/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace ProcessExit {

namespace {
std::function<void()> &beforeExit()
{
    static std::function<void()> action;
    return action;
}
} // namespace

void setBeforeExit(std::function<void()> action)
{
    beforeExit() = std::move(action);
}

void now(int status)
{
    if (beforeExit())
        beforeExit()();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace ProcessExit
