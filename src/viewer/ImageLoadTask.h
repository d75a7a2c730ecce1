#pragma once

#include "ImageDecode.h"
#include "viewer/LoadResult.h"

#include <QRunnable>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// One picture's load on a loader thread, any format. The loader owns the pools it
// runs on (never the global pool, which the batch uses) and can cancel it: a RAW
// develop stops at LibRaw's next progress report, other decoders at their next read.
class ImageLoadTask : public QRunnable
{
public:
    enum class Kind {
        Current, // the picture to show: a first paint where one comes early, then the final picture
        Preload, // a neighbour at its display size, into the cache only, at the lowest priority
    };

    // Shared by the loader and the job. The loader sets the plain fields before the
    // load starts; the atomics change while it runs.
    struct State
    {
        QString path;
        Kind kind = Kind::Current;
        ImageDecode::Resolution resolution = ImageDecode::Resolution::Display;
        QSize view;
        qint64 maxBytes = -1;
        std::atomic<quint64> generation{0};
        std::atomic<bool> cancelled{false};
        std::atomic<LoadFailure> outcome{LoadFailure::None};
        bool finalArrived = false; // GUI thread only: a late first paint is dropped
        // Called on the job's thread; the loader posts them to the GUI thread.
        std::function<void(LoadResult)> deliver;
        std::function<void()> ended; // after the load's last result
    };

    explicit ImageLoadTask(std::shared_ptr<State> state);

    void run() override;

    // The whole decode at full resolution on the calling thread, no first paint.
    static LoadResult decode(const QString &path);

private:
    std::shared_ptr<State> state;
};
