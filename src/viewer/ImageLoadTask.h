#pragma once

#include "viewer/LoadResult.h"

#include <QRunnable>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThreadPool;

// One picture's load on a loader thread, any format. The loader owns the pool it
// runs on (never the global pool, which the batch uses) and can cancel it: a RAW
// develop stops at LibRaw's next progress report, other decoders at their next read.
class ImageLoadTask : public QRunnable
{
public:
    enum class Kind {
        Current, // the picture to show: a fast first picture, then the full one
        Preload, // a neighbour, into the cache only
    };

    // Shared by the jobs of one load and the loader. The loader sets the plain
    // fields before the load starts; the atomics change while it runs.
    struct State
    {
        QString path;
        Kind kind = Kind::Current;
        QSize view;
        qint64 maxBytes = -1;
        std::atomic<quint64> generation{0};
        std::atomic<bool> cancelled{false};
        std::atomic<int> running{0}; // jobs of this load still on a thread
        std::atomic<LoadFailure> outcome{LoadFailure::None};
        bool fullArrived = false; // GUI thread only: a late fast picture is dropped
        // Called on the job's thread; the loader posts them to the GUI thread.
        std::function<void(LoadResult)> deliver;
        std::function<void()> ended; // after the load's last result
    };

    ImageLoadTask(std::shared_ptr<State> state, QThreadPool *pool);

    void run() override;

    // The whole decode on the calling thread, no fast first picture.
    static LoadResult decode(const QString &path);

private:
    std::shared_ptr<State> state;
    QThreadPool *pool;
};
