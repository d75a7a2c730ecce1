#include "batch/engine/ToolSlots.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

namespace ToolSlots {

namespace {

// How often a waiting worker looks at its give-up test.
constexpr unsigned long kPollMs = 50;

QMutex mutex;
QWaitCondition freed;
int chosen = 0; // 0: the default
int taken = 0;
int most = 0;

int limitLocked()
{
    static const int fallback = defaultLimit();
    return chosen > 0 ? chosen : fallback;
}

} // namespace

int parseLimit(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok && value >= 1 && value <= kMaxLimit ? value : 0;
}

int defaultLimit()
{
    const int fromEnvironment = parseLimit(qEnvironmentVariable(kEnvironmentVariable));
    return fromEnvironment > 0 ? fromEnvironment : qMax(1, QThread::idealThreadCount());
}

int limit()
{
    QMutexLocker lock(&mutex);
    return limitLocked();
}

void setLimit(int tools)
{
    QMutexLocker lock(&mutex);
    chosen = qBound(0, tools, kMaxLimit);
    freed.wakeAll();
}

bool acquire(const std::function<bool()> &giveUp)
{
    QMutexLocker lock(&mutex);
    while (taken >= limitLocked()) {
        if (giveUp && giveUp())
            return false;
        freed.wait(&mutex, kPollMs);
    }
    if (giveUp && giveUp())
        return false;
    ++taken;
    most = qMax(most, taken);
    return true;
}

void release()
{
    QMutexLocker lock(&mutex);
    --taken;
    freed.wakeOne();
}

int inUse()
{
    QMutexLocker lock(&mutex);
    return taken;
}

int peak()
{
    QMutexLocker lock(&mutex);
    return most;
}

void resetPeak()
{
    QMutexLocker lock(&mutex);
    most = taken;
}

} // namespace ToolSlots
