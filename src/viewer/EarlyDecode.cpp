#include "viewer/EarlyDecode.h"

#include "ImageDecode.h"

#include <QFileInfo>

#include <chrono>
#include <future>
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
    state.path = QFileInfo(path).absoluteFilePath();
    state.stamp = FileStamp::of(state.path);
    // A detached thread: a load that stops waiting is not held up by the decode.
    std::packaged_task<QImage()> decode([file = state.path] { return ImageDecode::decodeEarly(file); });
    state.picture = decode.get_future();
    std::thread(std::move(decode)).detach();
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
        if (state.path != QFileInfo(path).absoluteFilePath() || !state.stamp.isValid() || state.stamp != stamp)
            return QImage();
    }
    while (picture.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        if (cancelled && cancelled())
            return QImage();
    }
    return picture.get();
}

} // namespace EarlyDecode
