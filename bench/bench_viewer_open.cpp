// Opening a picture in the viewer against the bare decode of the same bytes.
//
//   bench_viewer_open CACHE_DIR
//
// Ours: ImageView::showImg(path) until the final fitted picture is in the scene and
// the view has painted it once (offscreen); the decode runs on the loader's threads and
// this thread waits in its event loop. Each file sits alone in a folder, so no
// neighbour is preloaded meanwhile. Floor: QImageReader decoding the file's bytes,
// already in memory, with the format named (no detection, no file access). Both run
// in turn in the same process; figures are medians of the wall clock and of the
// process's CPU time (Qt may spread a large paint over worker threads).
//
// The viewer decodes JPEG and PNG into memory that may be backed by huge pages, so
// it can beat the plain floor; baseline_same_memory is the decoder alone into such
// memory, and its ratio is the viewer's own overhead.

#include "bench_viewer_common.h"

#include "ImageLoader.h"
#include "PictureMemory.h"
#include "viewer/ImageView.h"

#include <QApplication>
#include <QBuffer>
#include <QGraphicsView>
#include <QImageReader>

namespace {

struct Case
{
    QString name;
    QString path;
    QByteArray format;
    double target; // ratio to the plain full decode
};

// The floor: the decoder alone on bytes already in memory.
QSize decodeFloor(const QByteArray &bytes, const QByteArray &format, ViewerBench::Samples *samples,
                  bool sameMemory = false)
{
    ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
    QByteArray shared = bytes; // the reader only reads; no copy is made
    QBuffer buffer(&shared);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage image;
    if (sameMemory)
        image = PictureMemory::image(reader.size(), reader.imageFormat());
    reader.read(&image);
    if (samples)
        samples->add(watch);
    return image.size();
}

void openInView(ImageView &view, const QString &path, const QString &tiny, ViewerBench::Samples *samples)
{
    // Start from a tiny picture so freeing the previous large one is not counted.
    // Showing it in another folder also drops the last picture from the cache.
    view.showImg(tiny);
    ViewerBench::settle(view);

    ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
    view.showImg(path);
    ViewerBench::waitUntil([&] { return !view.isLoading(); });
    view.graphicsView()->viewport()->repaint();
    if (samples)
        samples->add(watch);
    // The filtered level is made after the picture is in place; it must not run into
    // the floor's turn.
    ViewerBench::settle(view);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString cache = ViewerBench::startUp(argc, argv, "bench_viewer_open CACHE_DIR");
    if (cache.isEmpty())
        return 2;
    const QVector<Case> cases = {
        {QStringLiteral("open-jpeg"), ViewerBench::aloneCopy(cache, ViewerBench::photoJpeg(cache)), "jpeg", 0.6},
        {QStringLiteral("open-png"),
         ViewerBench::aloneCopy(cache,
                                ViewerBench::cachedPhoto(cache, QStringLiteral("photo-4000x3000-alpha.png"),
                                                         QSize(4000, 3000), true, "png", -1)),
         "png", 1.10},
        {QStringLiteral("open-webp"),
         ViewerBench::aloneCopy(cache,
                                ViewerBench::cachedPhoto(cache, QStringLiteral("photo-4000x3000.webp"),
                                                         QSize(4000, 3000), false, "webp", 90)),
         "webp", 1.10},
    };
    const QString tiny = ViewerBench::aloneCopy(
        cache, ViewerBench::cachedPhoto(cache, QStringLiteral("tiny.png"), QSize(10, 10), false, "png", -1));

    ImageView view;
    if (!ViewerBench::showAtViewerSize(view))
        return 1;

    const int rounds = ViewerBench::runs(9);
    const QString only = qEnvironmentVariable("BENCH_ONLY");
    for (const Case &c : cases) {
        if (c.path.isEmpty())
            return 1;
        if (!only.isEmpty() && !only.split(QLatin1Char(',')).contains(c.name))
            continue;
        QFile file(c.path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = file.readAll();
        // Warm-up: plugins loaded, file in the page cache.
        const QSize decoded = decodeFloor(bytes, c.format, nullptr);
        openInView(view, c.path, tiny, nullptr);
        if (view.pictureSize() != QSizeF(decoded) || decoded.isEmpty()) {
            ViewerBench::progress(QStringLiteral("%1: the view shows %2 x %3, the decoder gives %4 x %5")
                                      .arg(c.name)
                                      .arg(view.pictureSize().width())
                                      .arg(view.pictureSize().height())
                                      .arg(decoded.width())
                                      .arg(decoded.height()));
            return 1;
        }

        const auto samples
            = ViewerBench::alternate(rounds,
                                     {[&](ViewerBench::Samples &s) { openInView(view, c.path, tiny, &s); },
                                      [&](ViewerBench::Samples &s) { decodeFloor(bytes, c.format, &s); },
                                      [&](ViewerBench::Samples &s) { decodeFloor(bytes, c.format, &s, true); }});
        ViewerBench::Figure(c.name)
            .compare(samples[0], samples[1])
            .add(QStringLiteral("baseline_same_memory"), samples[2].wallMedian())
            .add(QStringLiteral("ratio_same_memory"), samples[0].wallMedian() / samples[2].wallMedian())
            .add(QStringLiteral("target_ratio"), c.target)
            .add(QStringLiteral("pixels"), QStringLiteral("%1x%2").arg(decoded.width()).arg(decoded.height()))
            .add(QStringLiteral("bytes"), bytes.size())
            .add(QStringLiteral("runs"), rounds)
            .print();
    }
    return 0;
}
