#include "viewer/ImageLoadTask.h"

#include "viewer/ImageDecode.h"

#include <QThreadPool>

ImageLoadTask::ImageLoadTask(std::shared_ptr<State> shared, QThreadPool *threads)
    : state(std::move(shared))
    , pool(threads)
{ }

LoadResult ImageLoadTask::decode(const QString &path)
{
    return ImageDecode::load(path, ImageDecode::Options());
}

void ImageLoadTask::run()
{
    const std::shared_ptr<State> shared = state;
    ImageDecode::Options options;
    options.view = shared->view;
    options.fastFirst = shared->kind == Kind::Current;
    options.maxBytes = shared->maxBytes;
    options.cancelled = [shared] { return shared->cancelled.load(); };
    options.deliver = [shared](LoadResult result) {
        result.generation = shared->generation;
        shared->deliver(std::move(result));
    };
    QThreadPool *threads = pool;
    options.spawn = [shared, threads](std::function<void()> work) {
        ++shared->running;
        // Ahead of preloads, beside this decode; the load's last job reports its end.
        threads->start(
            [shared, work = std::move(work)] {
                work();
                if (--shared->running == 0)
                    shared->ended();
            },
            2);
    };

    LoadResult result = ImageDecode::load(shared->path, options);
    result.generation = shared->generation;
    shared->outcome = result.failure;
    shared->deliver(std::move(result));
    if (--shared->running == 0)
        shared->ended();
}
