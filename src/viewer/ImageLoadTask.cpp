#include "ImageLoadTask.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {

// A preload runs at the lowest priority the scheduler still gives time to (nice 19)
// so it never slows the shown picture or the rest of the desktop; the thread is the
// preload pool's own, so the setting stays with it.
void lowestPriority()
{
    ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 19);
}

} // namespace

ImageLoadTask::ImageLoadTask(std::shared_ptr<State> shared)
    : state(std::move(shared))
{ }

LoadResult ImageLoadTask::decode(const QString &path)
{
    return ImageDecode::load(path, ImageDecode::Options());
}

void ImageLoadTask::run()
{
    const std::shared_ptr<State> shared = state;
    if (shared->kind == Kind::Preload)
        lowestPriority();
    ImageDecode::Options options;
    options.view = shared->view;
    options.resolution = shared->resolution;
    // The full resolution is asked for a picture already shown: nothing to show first.
    options.firstPaint = shared->kind == Kind::Current && shared->resolution == ImageDecode::Resolution::Display;
    options.maxBytes = shared->maxBytes;
    options.cancelled = [shared] { return shared->cancelled.load(); };
    options.deliver = [shared](LoadResult result) {
        result.generation = shared->generation;
        shared->deliver(std::move(result));
    };

    LoadResult result = ImageDecode::load(shared->path, options);
    result.generation = shared->generation;
    if (shared->cancelled) {
        // Whatever a decoder that reads to the end made of it, it is not wanted.
        result.stage = LoadStage::Failed;
        result.failure = LoadFailure::Cancelled;
        result.image = QImage();
        result.frames.clear();
    }
    shared->outcome = result.failure;
    shared->deliver(std::move(result));
    shared->ended();
}
