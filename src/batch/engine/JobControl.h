#pragma once

#include <atomic>

// What one job shares with its tasks: the user's stop.
class JobControl
{
public:
    void stop() { stopping = true; }
    bool stopped() const { return stopping; }
    const std::atomic_bool *stopFlag() const { return &stopping; }

private:
    std::atomic_bool stopping{false};
};
