#include "viewer/EarlyDecode.h"

#include "ImageDecode.h"

#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace EarlyDecode {

namespace {

struct Early
{
    std::mutex lock;
    QString path;
    FileStamp stamp;
    std::future<QImage> picture;
    // The decoding thread, owned: joined by the next start or by finish, never left
    // running into the process's exit.
    std::thread decoding;
    std::shared_ptr<std::atomic<bool>> stop;

    // The last resort, where no finish came: a joinable thread may not be destroyed.
    ~Early() { endDecoding(); }

    // Called with lock held.
    void endDecoding()
    {
        if (stop)
            *stop = true;
        if (decoding.joinable())
            decoding.join();
        stop.reset();
    }
};

Early &early()
{
    static Early state;
    return state;
}

} // namespace

void start(const QString &path)
{
    Early &state = early();
    const std::lock_guard<std::mutex> hold(state.lock);
    state.endDecoding();
    state.path = QFileInfo(path).absoluteFilePath();
    state.stamp = FileStamp::of(state.path);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    std::packaged_task<QImage()> decode(
        [file = state.path, stop] { return ImageDecode::decodeEarly(file, [stop] { return stop->load(); }); });
    state.picture = decode.get_future();
    state.stop = stop;
    state.decoding = std::thread(std::move(decode));
}

QImage take(const QString &path, const FileStamp &stamp, const std::function<bool()> &cancelled)
{
    Early &state = early();
    std::future<QImage> picture;
    {
        const std::lock_guard<std::mutex> hold(state.lock);
        if (!state.picture.valid())
            return QImage();
        picture = std::move(state.picture);
        if (state.path != QFileInfo(path).absoluteFilePath() || !state.stamp.isValid() || state.stamp != stamp) {
            // Not wanted: the decode stops at its next check (finish joins it).
            *state.stop = true;
            return QImage();
        }
    }
    // A load that stops waiting leaves the decode running to its end; finish or the
    // next start joins it.
    while (picture.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        if (cancelled && cancelled())
            return QImage();
    }
    return picture.get();
}

void finish()
{
    Early &state = early();
    const std::lock_guard<std::mutex> hold(state.lock);
    state.endDecoding();
    state.picture = std::future<QImage>();
}

} // namespace EarlyDecode
