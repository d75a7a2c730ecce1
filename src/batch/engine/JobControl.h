#pragma once

#include <QSemaphore>

#include <atomic>

// What one job shares with its workers: the user's stop, and a count of ended
// workers that wakes the job's dispatch as soon as a pool thread comes free.
class JobControl
{
public:
    void stop() { stopping = true; }
    bool stopped() const { return stopping; }
    const std::atomic_bool *stopFlag() const { return &stopping; }

    // A worker of the job has ended (called once per worker that ran).
    void workerEnded() { ended.release(); }
    // Waits at most ms for one more worker end; true when one was counted.
    bool waitForWorkerEnd(int ms) { return ended.tryAcquire(1, ms); }
    // Waits until count more workers have ended.
    void waitForWorkerEnds(int count) { ended.acquire(count); }

private:
    std::atomic_bool stopping{false};
    QSemaphore ended;
};
