// Stepping to the next image in large folders.
//
//   bench_viewer_step CACHE_DIR [COUNT...]      (default counts 1000 10000 50000)
//
// Each folder holds COUNT image names (camera, screenshot and numbered-copy styles,
// mixed case, Chinese and Latin) plus one non-image sidecar per ten images. The
// images are hard links to one 1 x 1 PNG, so decoding the new file costs next to
// nothing and the figure is the bookkeeping of a step (the folder is listed once,
// when it is opened: first_step); the load of that tiny file alone is reported
// beside it.

#include "bench_viewer_common.h"

#include "FolderBrowser.h"
#include "ImageLoader.h"
#include "viewer/ImageView.h"

#include <QApplication>

#include <unistd.h>

namespace {

QString imageName(int i)
{
    switch (i % 5) {
    case 0: return QStringLiteral("IMG_%1.JPG").arg(i);
    case 1: return QStringLiteral("photo (%1).png").arg(i);
    case 2: return QStringLiteral("DSC%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
    case 3: return QStringLiteral("截图 2024-05-%1.webp").arg(i);
    default: return QStringLiteral("Scan %1 page.tif").arg(i);
    }
}

// Creates the folder once; a marker file records that it is complete.
QString folderWith(const QString &cacheDir, int count)
{
    const QString path = QDir(cacheDir).filePath(QStringLiteral("step-%1").arg(count));
    const QString done = QDir(path).filePath(QStringLiteral(".complete"));
    if (QFileInfo::exists(done))
        return path;
    ViewerBench::progress(QStringLiteral("creating %1").arg(path));
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    const QString seed = QDir(cacheDir).filePath(QStringLiteral("pixel.png"));
    if (!QFileInfo::exists(seed)) {
        QImage pixel(1, 1, QImage::Format_RGB32);
        pixel.fill(Qt::gray);
        if (!pixel.save(seed))
            return QString();
    }
    const QDir dir(path);
    for (int i = 0; i < count; ++i) {
        const QByteArray target = QFile::encodeName(dir.filePath(imageName(i)));
        if (::link(QFile::encodeName(seed).constData(), target.constData()) != 0
            && !QFile::copy(seed, QString::fromLocal8Bit(target)))
            return QString();
        if (i % 10 == 0) {
            QFile sidecar(dir.filePath(QStringLiteral("IMG_%1.xmp").arg(i)));
            if (!sidecar.open(QIODevice::WriteOnly))
                return QString();
        }
    }
    QFile marker(done);
    return marker.open(QIODevice::WriteOnly) ? path : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString cache = ViewerBench::startUp(argc, argv, "bench_viewer_step CACHE_DIR [COUNT...]");
    if (cache.isEmpty())
        return 2;
    QVector<int> counts;
    for (int i = 2; i < argc; ++i)
        counts.append(QByteArray(argv[i]).toInt());
    if (counts.isEmpty())
        counts = {1000, 10000, 50000};

    ImageView view;
    if (!ViewerBench::showAtViewerSize(view))
        return 1;

    const QString elsewhere = QDir(folderWith(cache, 3)).filePath(imageName(0));
    const int steps = ViewerBench::runs(9) * 2 + 1;
    double previous = 0;
    double previousCpu = 0;
    int previousCount = 0;
    for (int count : counts) {
        const QString folder = folderWith(cache, count);
        if (folder.isEmpty())
            return 1;
        const QStringList names = FolderBrowser::imageNames(folder);
        if (names.size() != count) {
            ViewerBench::progress(
                QStringLiteral("%1 lists %2 images, not %3").arg(folder).arg(names.size()).arg(count));
            return 1;
        }

        // Start in the middle; every step lands on a new file, already decoded in
        // the background (the images are 1 x 1 pixel: the figure is the browsing).
        const auto settle = [&] { ViewerBench::settle(view); };
        const QString first = QDir(folder).filePath(names.at(count / 2));
        view.showImg(first);
        settle();
        ViewerBench::Samples step;
        for (int i = 0; i < steps; ++i) {
            ViewerBench::Stopwatch watch;
            const bool moved = view.nextImg();
            step.add(watch);
            if (!moved || view.pictureSize() != QSizeF(1, 1))
                return 1;
            settle();
        }
        // Into a folder and the first step there: the folder is listed and its names
        // collated once, when it is opened.
        ViewerBench::Samples firstStep;
        for (int i = 0; i < steps; ++i) {
            view.showImg(elsewhere);
            if (!view.nextImg())
                return 1;
            settle();
            ViewerBench::Stopwatch watch;
            view.showImg(first);
            view.nextImg();
            firstStep.add(watch);
            settle();
        }
        // The load of the tiny file alone, through the loader's threads.
        ViewerBench::Samples load;
        for (int i = 0; i < steps; ++i) {
            view.showImg(elsewhere);
            settle();
            ViewerBench::Stopwatch watch;
            view.showImg(first);
            ViewerBench::waitUntil([&] { return !view.isLoading(); });
            load.add(watch);
        }

        ViewerBench::Figure figure(QStringLiteral("step-%1").arg(count));
        figure.add(QStringLiteral("value"), step.wallMedian())
            .add(QStringLiteral("unit"), QStringLiteral("ms"))
            .add(QStringLiteral("cpu"), step.cpuMedian())
            .add(QStringLiteral("files"), count)
            .add(QStringLiteral("first_step"), firstStep.wallMedian())
            .add(QStringLiteral("first_step_cpu"), firstStep.cpuMedian())
            .add(QStringLiteral("tiny_load"), load.wallMedian());
        if (count == 10000)
            figure.add(QStringLiteral("target"), 30);
        if (previousCount > 0) {
            figure.add(QStringLiteral("growth_from"), previousCount)
                .add(QStringLiteral("growth"), step.wallMedian() / previous)
                .add(QStringLiteral("cpu_growth"), step.cpuMedian() / previousCpu);
        }
        figure.add(QStringLiteral("runs"), steps).print();
        previous = step.wallMedian();
        previousCpu = step.cpuMedian();
        previousCount = count;
    }
    return 0;
}
