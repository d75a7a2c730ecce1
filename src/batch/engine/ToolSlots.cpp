#include "batch/engine/ToolSlots.h"

#include <QList>
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
// Waiting workers in the order they came: slots go first come, first served, so
// the rows of a job start from the top.
QList<quint64> queue;
quint64 nextTicket = 0;

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
    const quint64 ticket = nextTicket++;
    queue.append(ticket);
    while (taken >= limitLocked() || queue.constFirst() != ticket) {
        if (giveUp && giveUp()) {
            queue.removeOne(ticket);
            freed.wakeAll(); // the next in line may be free to go now
            return false;
        }
        freed.wait(&mutex, kPollMs);
    }
    queue.removeFirst();
    ++taken;
    most = qMax(most, taken);
    freed.wakeAll(); // a further slot may be free for the next in line
    return true;
}

void release()
{
    QMutexLocker lock(&mutex);
    --taken;
    freed.wakeAll();
}

int threadsFor(int cores, int running)
{
    return qMax(1, qMax(1, cores) / qMax(1, running));
}

int threadsEach()
{
    QMutexLocker lock(&mutex);
    // Those waiting for a slot start as soon as one is free: a full batch's first
    // tools would otherwise share the cores with the next ones.
    return threadsFor(QThread::idealThreadCount(), qMin(limitLocked(), taken + int(queue.size())));
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
