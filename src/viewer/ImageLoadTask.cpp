#include "viewer/ImageLoadTask.h"

#include "viewer/ImageDecode.h"

#include <QThreadPool>

namespace {

// A job of one load: the last one to finish reports the end.
class SideJob : public QRunnable
{
public:
    SideJob(std::shared_ptr<ImageLoadTask::State> state, std::function<void()> work)
        : state(std::move(state))
        , work(std::move(work))
    { }

    void run() override
    {
        work();
        if (--state->running == 0)
            state->ended();
    }

private:
    std::shared_ptr<ImageLoadTask::State> state;
    std::function<void()> work;
};

} // namespace

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
        // Ahead of preloads, beside this decode.
        threads->start(new SideJob(shared, std::move(work)), 2);
    };

    LoadResult result = ImageDecode::load(shared->path, options);
    result.generation = shared->generation;
    shared->outcome = result.failure;
    shared->deliver(std::move(result));
    if (--shared->running == 0)
        shared->ended();
}
