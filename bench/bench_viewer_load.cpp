// The loader's figures: the final fitted picture against a plain full decode, the
// full resolution after a zoom, ready neighbours, RAW bursts, previews and fitted
// develops, the GUI thread's longest stall, memory while stepping, and the
// sharpness of the fitted picture.
//
//   bench_viewer_load CACHE_DIR MKDNG_PY [FIGURE...]
//
// Figures (default all): fit-final, fit-final-png, zoom-full, raw-fit, step-ready,
// raw-burst, raw-preview, rss-steps, fit-sharpness; gui-stall sums up the stalls
// seen while the others ran. The view is shown at the size it has in a maximised
// viewer on a 1920 x 1080 screen, offscreen. Each measured action alternates with
// its floor, measured in the same run; figures are medians.

#include "bench_viewer_common.h"

#include "ImageLoadTask.h"
#include "ImageLoader.h"
#include "PictureItem.h"
#include "viewer/ImageView.h"

#include <QApplication>
#include <QBuffer>
#include <QGraphicsView>
#include <QImageReader>
#include <QProcess>

namespace {

using ViewerBench::Samples;
using ViewerBench::Stopwatch;

QMap<QString, QVector<double>> stalls; // scenario -> longest stall of each round
QMap<QString, QVector<double>> busy; // scenario -> the GUI thread's CPU time within it

using ViewerBench::settle;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The plain full decode of bytes in memory.
double decodeFloor(const QByteArray &bytes, const QByteArray &format = "jpeg")
{
    Stopwatch watch;
    QByteArray shared = bytes;
    QBuffer buffer(&shared);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage image;
    return reader.read(&image) ? watch.wallMs() : -1;
}

// A folder of hard links to one file, under the given names.
QString linkedFolder(const QString &cache, const QString &name, const QString &source, const QStringList &names)
{
    const QDir dir(QDir(cache).filePath(name));
    QDir().mkpath(dir.path());
    for (const QString &entry : names) {
        const QString target = dir.filePath(entry);
        if (!QFileInfo::exists(target)
            && ::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0
            && !QFile::copy(source, target))
            return QString();
    }
    return dir.path();
}

QString dng(const QString &cache, const QString &mkdng, const QString &name, const QSize &size,
            const QStringList &extra = {})
{
    const QString path = QDir(cache).filePath(name);
    if (QFileInfo::exists(path))
        return path;
    ViewerBench::progress(QStringLiteral("writing %1").arg(path));
    QProcess python;
    python.start(QStringLiteral("python3"),
                 QStringList{mkdng, path + QStringLiteral(".part"), QString::number(size.width()),
                             QString::number(size.height())}
                     + extra);
    if (!python.waitForFinished(-1) || python.exitCode() != 0 || !QFile::rename(path + QStringLiteral(".part"), path))
        return QString();
    return path;
}

// --- fit-final, fit-final-png, zoom-full, raw-fit --------------------------------

QString tinyPicture(const QString &cache)
{
    return ViewerBench::aloneCopy(
        cache, ViewerBench::cachedPhoto(cache, QStringLiteral("tiny.png"), QSize(10, 10), false, "png", -1));
}

void printAgainstFloor(const QString &name, const Samples &ours, const Samples &floor, double target,
                       const QString &what, const QString &floorWhat, const QString &pixels, int rounds)
{
    ViewerBench::Figure(name)
        .add(QStringLiteral("value"), ours.wallMedian())
        .add(QStringLiteral("unit"), QStringLiteral("ms"))
        .add(QStringLiteral("baseline"), floor.wallMedian())
        .add(QStringLiteral("ratio"), ours.wallMedian() / floor.wallMedian())
        .add(QStringLiteral("target_ratio"), target)
        .add(QStringLiteral("what"), what)
        .add(QStringLiteral("baseline_what"), floorWhat)
        .add(QStringLiteral("pixels"), pixels)
        .add(QStringLiteral("runs"), rounds)
        .print();
}

// From the load request to the final fitted picture on screen, against the plain
// full decode of the same bytes.
int fitFinal(ImageView &view, const QString &cache, int rounds, const QString &name, const QString &source,
             const QByteArray &format, double target)
{
    const QString photo = source.isEmpty() ? QString() : ViewerBench::aloneCopy(cache, source);
    const QString tiny = tinyPicture(cache);
    const QByteArray bytes = readAll(photo);
    if (photo.isEmpty() || tiny.isEmpty() || decodeFloor(bytes, format) < 0)
        return 1;
    const QSize full = QImageReader(photo).size();
    ViewerBench::GuiStall stall;
    Samples ours, floor;
    bool ok = true;
    const auto open = [&](Samples &into) {
        view.showImg(tiny);
        ok = settle(view) && ok;
        stall.start();
        Stopwatch watch;
        view.showImg(photo);
        ok = ViewerBench::waitUntil([&] { return !view.isLoading(); }) && ok;
        view.graphicsView()->viewport()->repaint();
        into.add(watch);
        stalls[name].append(stall.stopMs());
        busy[name].append(stall.busyMs());
        ok = ok && view.pictureSize() == QSizeF(full);
    };
    const auto bare = [&](Samples &into) {
        const double ms = decodeFloor(bytes, format);
        ok = ms >= 0 && ok;
        into.add(ms, 0);
    };
    Samples warmUp;
    open(warmUp);
    const auto samples = ViewerBench::alternate(rounds, {open, bare});
    if (!ok)
        return 1;
    printAgainstFloor(name, samples[0], samples[1], target,
                      QStringLiteral("showImg to the final fitted picture painted"),
                      QStringLiteral("QImageReader full decode of the bytes in memory"),
                      QStringLiteral("%1x%2").arg(full.width()).arg(full.height()), rounds);
    return 0;
}

// A fitted 24 MP JPEG zoomed to 100 %: until the full resolution is on screen.
int zoomFull(ImageView &view, const QString &cache, int rounds)
{
    const QString photo = ViewerBench::aloneCopy(cache, ViewerBench::photoJpeg(cache));
    const QByteArray bytes = readAll(photo);
    if (photo.isEmpty() || decodeFloor(bytes) < 0)
        return 1;
    view.showImg(photo);
    if (!settle(view))
        return 1;
    ViewerBench::GuiStall stall;
    bool ok = true;
    const auto zoom = [&](Samples &into) {
        view.fitToScreen();
        ok = settle(view) && ViewerBench::waitUntil([&] { return !view.pictureItem()->hasFull(); }) && ok;
        stall.start();
        Stopwatch watch;
        view.toOrigin(true);
        ok = ViewerBench::waitUntil([&] { return view.pictureItem()->hasFull(); }) && ok;
        view.graphicsView()->viewport()->repaint();
        into.add(watch);
        stalls[QStringLiteral("zoom-full")].append(stall.stopMs());
        busy[QStringLiteral("zoom-full")].append(stall.busyMs());
    };
    const auto bare = [&](Samples &into) {
        const double ms = decodeFloor(bytes);
        ok = ms >= 0 && ok;
        into.add(ms, 0);
    };
    const auto samples = ViewerBench::alternate(rounds, {zoom, bare});
    if (!ok)
        return 1;
    printAgainstFloor(QStringLiteral("zoom-full"), samples[0], samples[1], 1.15,
                      QStringLiteral("100 % on a fitted picture to the full resolution painted"),
                      QStringLiteral("QImageReader full decode of the bytes in memory"), QStringLiteral("6000x4000"),
                      rounds);
    return 0;
}

// A 24 MP DNG without preview: to the fitted picture, against the full develop.
int rawFit(ImageView &view, const QString &cache, const QString &mkdng, int rounds)
{
    const QString source = dng(cache, mkdng, QStringLiteral("raw-6000x4000.dng"), QSize(6000, 4000));
    const QString path = source.isEmpty() ? QString() : ViewerBench::aloneCopy(cache, source);
    const QString tiny = tinyPicture(cache);
    if (path.isEmpty())
        return 1;
    bool ok = true;
    const auto show = [&](Samples &into) {
        view.showImg(tiny);
        ok = settle(view) && ok;
        Stopwatch watch;
        view.showImg(path);
        ok = ViewerBench::waitUntil([&] { return !view.isLoading(); }) && ok;
        view.graphicsView()->viewport()->repaint();
        into.add(watch);
        ok = ok && view.pictureSize() == QSizeF(6000, 4000);
    };
    const auto develop = [&](Samples &into) {
        Stopwatch watch;
        ok = !ImageLoadTask::decode(path).image.isNull() && ok;
        into.add(watch);
    };
    const auto samples = ViewerBench::alternate(rounds, {show, develop});
    if (!ok)
        return 1;
    printAgainstFloor(QStringLiteral("raw-fit"), samples[0], samples[1], 0.5,
                      QStringLiteral("showImg of a DNG without preview to the fitted picture painted"),
                      QStringLiteral("the full develop on this thread"), QStringLiteral("6000x4000"), rounds);
    return 0;
}

// --- step-ready ------------------------------------------------------------------

int stepReady(ImageView &view, const QString &cache, int rounds)
{
    const QString folder
        = linkedFolder(cache, QStringLiteral("steps24"), ViewerBench::photoJpeg(cache), {"s1.jpg", "s2.jpg", "s3.jpg"});
    if (folder.isEmpty())
        return 1;
    const QString s1 = QDir(folder).filePath(QStringLiteral("s1.jpg"));
    const QString s2 = QDir(folder).filePath(QStringLiteral("s2.jpg"));
    view.showImg(s1);
    if (!settle(view))
        return 1;
    ViewerBench::GuiStall stall;
    Samples step, paint;
    bool ok = true;
    const auto go = [&](Samples &) {
        // Back and forth between s1 and s2: each is the other's ready neighbour.
        const bool forward = view.imgFilePath() == s1;
        stall.start();
        Stopwatch watch;
        ok = (forward ? view.nextImg() : view.prevImg()) && ok;
        view.graphicsView()->viewport()->repaint();
        step.add(watch);
        stalls[QStringLiteral("step-ready")].append(stall.stopMs());
        busy[QStringLiteral("step-ready")].append(stall.busyMs());
        ok = ok && !view.isLoading() && view.imgFilePath() == (forward ? s2 : s1);
        if (!ok)
            ViewerBench::progress(QStringLiteral("step-ready: %1 not ready (cached %2)")
                                      .arg(view.imgFilePath())
                                      .arg(view.loader()->cachedCount()));
        ok = settle(view) && ok;
    };
    const auto repaint = [&](Samples &) {
        Stopwatch watch;
        view.graphicsView()->viewport()->repaint();
        paint.add(watch);
    };
    ViewerBench::alternate(rounds, {go, repaint});
    if (!ok)
        return 1;
    ViewerBench::Figure(QStringLiteral("step-ready"))
        .add(QStringLiteral("value"), step.wallMedian())
        .add(QStringLiteral("unit"), QStringLiteral("ms"))
        .add(QStringLiteral("cpu"), step.cpuMedian())
        .add(QStringLiteral("baseline"), paint.wallMedian())
        .add(QStringLiteral("baseline_what"), QStringLiteral("one repaint of the view showing the picture"))
        .add(QStringLiteral("target"), 16)
        .add(QStringLiteral("pixels"), QStringLiteral("6000x4000"))
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}

// --- raw-burst -------------------------------------------------------------------

int rawBurst(ImageView &view, const QString &cache, const QString &mkdng, int rounds)
{
    const QString source = dng(cache, mkdng, QStringLiteral("raw-3000x2000.dng"), QSize(3000, 2000));
    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << QStringLiteral("r%1.dng").arg(i, 2, 10, QLatin1Char('0'));
    const QString folder
        = source.isEmpty() ? QString() : linkedFolder(cache, QStringLiteral("rawburst"), source, names);
    if (folder.isEmpty())
        return 1;
    const QDir dir(folder);
    ViewerBench::GuiStall stall;
    Samples burst, develop;
    QVector<double> peakMB, startMB;
    bool ok = true;
    const auto steps = [&](Samples &) {
        view.showImg(dir.filePath(names.first()));
        ok = settle(view) && ok;
        ViewerBench::resetPeakMemory();
        startMB.append(ViewerBench::statusKiB(QCoreApplication::applicationPid(), "VmRSS") * 1024 / 1e6);
        stall.start();
        for (int i = 0; i < 11; ++i) {
            ok = view.nextImg() && ok;
            QTest::qWait(20); // quick clicks
        }
        Stopwatch watch;
        ok = ViewerBench::waitUntil([&] { return !view.isLoading(); }) && ok;
        view.graphicsView()->viewport()->repaint();
        burst.add(watch);
        stalls[QStringLiteral("raw-burst")].append(stall.stopMs());
        busy[QStringLiteral("raw-burst")].append(stall.busyMs());
        peakMB.append(ViewerBench::statusKiB(QCoreApplication::applicationPid(), "VmHWM") * 1024 / 1e6);
        ok = ok && view.imgFilePath() == dir.filePath(names.last()) && view.pictureSize() == QSizeF(3000, 2000);
        ok = settle(view) && ok;
    };
    const auto one = [&](Samples &) {
        Stopwatch watch;
        ok = !ImageLoadTask::decode(dir.filePath(names.first())).image.isNull() && ok;
        develop.add(watch);
    };
    ViewerBench::alternate(rounds, {steps, one});
    if (!ok)
        return 1;
    const double pictureMB = 3000.0 * 2000 * 4 / 1e6;
    ViewerBench::Figure(QStringLiteral("raw-burst"))
        .add(QStringLiteral("value"), burst.wallMedian())
        .add(QStringLiteral("unit"), QStringLiteral("ms"))
        .add(QStringLiteral("baseline"), develop.wallMedian())
        .add(QStringLiteral("ratio"), burst.wallMedian() / develop.wallMedian())
        .add(QStringLiteral("target_ratio"), 1.5)
        .add(QStringLiteral("what"),
             QStringLiteral("last of 11 steps 20 ms apart over 12 DNGs to the picture on screen"))
        .add(QStringLiteral("baseline_what"), QStringLiteral("one develop on this thread"))
        .add(QStringLiteral("peak_rss"), ViewerBench::median(peakMB))
        .add(QStringLiteral("rss_before"), ViewerBench::median(startMB))
        .add(QStringLiteral("peak_target"), 3 * pictureMB + 150)
        .add(QStringLiteral("pixels"), QStringLiteral("3000x2000"))
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}

// --- raw-preview -----------------------------------------------------------------

int rawPreview(ImageView &view, const QString &cache, const QString &mkdng, int rounds)
{
    const QString jpeg = ViewerBench::cachedPhoto(cache, QStringLiteral("preview-1920x1280.jpg"), QSize(1920, 1280),
                                                  false, "jpeg", 85);
    const QString source = dng(cache, mkdng, QStringLiteral("raw-6000x4000-preview.dng"), QSize(6000, 4000),
                               {QStringLiteral("--preview"), jpeg});
    const QString path = source.isEmpty() ? QString() : ViewerBench::aloneCopy(cache, source);
    const QString tiny = ViewerBench::aloneCopy(
        cache, ViewerBench::cachedPhoto(cache, QStringLiteral("tiny.png"), QSize(10, 10), false, "png", -1));
    if (path.isEmpty())
        return 1;
    ViewerBench::GuiStall stall;
    Samples preview, develop;
    bool ok = true;
    const auto show = [&](Samples &) {
        view.showImg(tiny);
        ok = settle(view) && ok;
        stall.start();
        Stopwatch watch;
        view.showImg(path);
        ok = ViewerBench::waitUntil([&] { return view.hasPicture(); }) && ok;
        view.graphicsView()->viewport()->repaint();
        preview.add(watch);
        ok = ViewerBench::waitUntil([&] { return !view.isLoading(); }) && ok;
        stalls[QStringLiteral("raw-preview")].append(stall.stopMs());
        busy[QStringLiteral("raw-preview")].append(stall.busyMs());
        ok = ok && view.pictureSize() == QSizeF(6000, 4000);
    };
    const auto full = [&](Samples &) {
        Stopwatch watch;
        ok = !ImageLoadTask::decode(path).image.isNull() && ok;
        develop.add(watch);
    };
    ViewerBench::alternate(rounds, {show, full});
    if (!ok)
        return 1;
    ViewerBench::Figure(QStringLiteral("raw-preview"))
        .add(QStringLiteral("value"), preview.wallMedian())
        .add(QStringLiteral("unit"), QStringLiteral("ms"))
        .add(QStringLiteral("baseline"), develop.wallMedian())
        .add(QStringLiteral("ratio"), preview.wallMedian() / develop.wallMedian())
        .add(QStringLiteral("target_ratio"), 0.2)
        .add(QStringLiteral("baseline_what"), QStringLiteral("the full develop on this thread"))
        .add(QStringLiteral("pixels"), QStringLiteral("6000x4000, preview 1920x1280"))
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}

// --- rss-steps -------------------------------------------------------------------

// Child: shows s2 of five 24 MP JPEGs, steps twice with preloading, prints VmHWM in KiB.
int rssStepsChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppSetup::run();
    const QDir dir(QString::fromLocal8Bit(argv[2]));
    ImageView view;
    if (!ViewerBench::showAtViewerSize(view))
        return 1;
    view.showImg(dir.filePath(QStringLiteral("s2.jpg")));
    if (!settle(view) || !view.nextImg() || !settle(view) || !view.nextImg() || !settle(view))
        return 1;
    if (view.imgFilePath() != dir.filePath(QStringLiteral("s4.jpg")) || view.loader()->cachedCount() != 3)
        return 1;
    std::printf("%lld\n", ViewerBench::statusKiB(QCoreApplication::applicationPid(), "VmHWM"));
    return 0;
}

int rssSteps(const QString &cache, int rounds)
{
    const QString folder = linkedFolder(cache, QStringLiteral("rss24"), ViewerBench::photoJpeg(cache),
                                        {"s1.jpg", "s2.jpg", "s3.jpg", "s4.jpg", "s5.jpg"});
    if (folder.isEmpty())
        return 1;
    QVector<double> peaks;
    for (int round = 0; round < rounds; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss-steps"), folder});
        if (!child.waitForFinished(120000) || child.exitCode() != 0) {
            ViewerBench::progress(
                QStringLiteral("rss-steps child failed: %1").arg(QString::fromLocal8Bit(child.readAllStandardError())));
            return 1;
        }
        peaks.append(child.readAllStandardOutput().trimmed().toLongLong() * 1024 / 1e6);
    }
    const double pictureMB = 6000.0 * 4000 * 4 / 1e6;
    ViewerBench::Figure(QStringLiteral("rss-steps"))
        .add(QStringLiteral("value"), ViewerBench::median(peaks))
        .add(QStringLiteral("unit"), QStringLiteral("MB"))
        .add(QStringLiteral("target"), 230)
        .add(QStringLiteral("picture"), pictureMB)
        .add(QStringLiteral("what"), QStringLiteral("peak RSS: 24 MP JPEG shown, two steps, neighbours preloaded"))
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}

// --- fit-sharpness ---------------------------------------------------------------

// Mean absolute difference between horizontal neighbours (grey), over rect.
double roughness(const QImage &image, const QRect &rect)
{
    double sum = 0;
    qint64 n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x < rect.right(); ++x) {
            sum += std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x + 1, y)));
            ++n;
        }
    }
    return n ? sum / n : 0;
}

QImage texture(const QSize &size)
{
    // Soft colour fields with one-pixel detail throughout, as in foliage or fabric.
    QImage image = ViewerBench::photoLike(size, false);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(random.bounded(121)) - 60;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255), qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

int fitSharpness(ImageView &view, const QString &cache, int rounds)
{
    const QString dir = QDir(cache).filePath(QStringLiteral("alone/texture"));
    const QString path = QDir(dir).filePath(QStringLiteral("texture.png"));
    const QSize size(6000, 4000);
    if (!QFileInfo::exists(path)) {
        ViewerBench::progress(QStringLiteral("writing %1").arg(path));
        QDir().mkpath(dir);
        if (!texture(size).save(path))
            return 1;
    }
    QVector<double> ours, triangle, lanczos, sampled;
    for (int round = 0; round < rounds; ++round) {
        view.showImg(path);
        if (!settle(view))
            return 1;
        PictureItem *item = view.pictureItem();
        const double scale = PictureItem::scaleOf(view.graphicsView()->transform());
        if (!ViewerBench::waitUntil([&] { return &item->sourceFor(scale) == &item->level(); }))
            return 1;
        const QImage shown = view.graphicsView()->viewport()->grab().toImage();
        // The strip: the middle third of the picture's height, inset from the edges.
        const QRectF strip(size.width() * 0.05, size.height() / 3.0, size.width() * 0.9, size.height() / 3.0);
        const QRect onScreen = view.graphicsView()->mapFromScene(strip).boundingRect().adjusted(2, 2, -2, -2);
        ours.append(roughness(shown, onScreen));

        const QSize fitted(qRound(size.width() * scale), qRound(size.height() * scale));
        const QRect inFitted(qRound(strip.x() * scale) + 2, qRound(strip.y() * scale) + 2,
                             qRound(strip.width() * scale) - 4, qRound(strip.height() * scale) - 4);
        for (const QString &filter : {QStringLiteral("Triangle"), QStringLiteral("Lanczos")}) {
            const QString out = QDir(dir).filePath(filter + QStringLiteral(".png"));
            const int status
                = QProcess::execute(QStringLiteral("convert"),
                                    {path, QStringLiteral("-filter"), filter, QStringLiteral("-resize"),
                                     QStringLiteral("%1x%2!").arg(fitted.width()).arg(fitted.height()), out});
            if (status != 0)
                return 1;
            (filter == QLatin1String("Triangle") ? triangle : lanczos).append(roughness(QImage(out), inFitted));
        }
        // What painting the full picture by bilinear sampling would show.
        QImage bilinear(fitted, QImage::Format_RGB32);
        QPainter painter(&bilinear);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(fitted)), QImage(path));
        painter.end();
        sampled.append(roughness(bilinear, inFitted));
        view.showImg(ViewerBench::aloneCopy(
            cache, ViewerBench::cachedPhoto(cache, QStringLiteral("tiny.png"), QSize(10, 10), false, "png", -1)));
        settle(view);
    }
    // Lanczos is ImageMagick's own choice for shrinking photos; the triangle filter
    // blurs more, so a sharp filtered picture scores above it.
    const double value = ViewerBench::median(ours);
    ViewerBench::Figure(QStringLiteral("fit-sharpness"))
        .add(QStringLiteral("value"), value)
        .add(QStringLiteral("unit"), QStringLiteral("mean abs neighbour difference"))
        .add(QStringLiteral("baseline"), ViewerBench::median(lanczos))
        .add(QStringLiteral("ratio"), value / ViewerBench::median(lanczos))
        .add(QStringLiteral("triangle"), ViewerBench::median(triangle))
        .add(QStringLiteral("ratio_triangle"), value / ViewerBench::median(triangle))
        .add(QStringLiteral("bilinear_sampled"), ViewerBench::median(sampled))
        .add(QStringLiteral("ratio_bilinear_sampled"), ViewerBench::median(sampled) / ViewerBench::median(lanczos))
        .add(QStringLiteral("target_ratio"), 1.2)
        .add(QStringLiteral("baseline_what"), QStringLiteral("ImageMagick -filter Lanczos -resize to the fitted size"))
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--rss-steps") == 0)
        return rssStepsChild(argc, argv);
    QApplication app(argc, argv);
    QString cache = ViewerBench::startUp(argc, argv, "bench_viewer_load CACHE_DIR MKDNG_PY [FIGURE...]");
    if (cache.isEmpty() || argc < 3)
        return 2;
    const QString mkdng = QString::fromLocal8Bit(argv[2]);
    // Absolute, as the folder listing gives them, so paths compare.
    cache = QDir(cache).absolutePath();
    QStringList wanted;
    for (int i = 3; i < argc; ++i)
        wanted << QString::fromLocal8Bit(argv[i]);
    const auto want = [&](const char *name) { return wanted.isEmpty() || wanted.contains(QLatin1String(name)); };

    ImageView view;
    if (!ViewerBench::showAtViewerSize(view))
        return 1;
    const int rounds = ViewerBench::runs(7);
    int status = 0;
    if (want("fit-final"))
        status |= fitFinal(view, cache, rounds, QStringLiteral("fit-final"), ViewerBench::photoJpeg(cache), "jpeg", 0.6);
    if (want("fit-final-png"))
        status |= fitFinal(view, cache, rounds, QStringLiteral("fit-final-png"),
                           ViewerBench::cachedPhoto(cache, QStringLiteral("photo-4000x3000-alpha.png"),
                                                    QSize(4000, 3000), true, "png", -1),
                           "png", 1.10);
    if (want("zoom-full"))
        status |= zoomFull(view, cache, rounds);
    if (want("raw-fit"))
        status |= rawFit(view, cache, mkdng, qMax(3, rounds / 2));
    if (want("step-ready"))
        status |= stepReady(view, cache, rounds * 2 + 1);
    if (want("raw-burst"))
        status |= rawBurst(view, cache, mkdng, qMax(3, rounds / 2));
    if (want("raw-preview"))
        status |= rawPreview(view, cache, mkdng, rounds);
    if (want("rss-steps"))
        status |= rssSteps(cache, qMax(3, rounds / 2));
    if (want("fit-sharpness"))
        status |= fitSharpness(view, cache, 3);

    if (!stalls.isEmpty()) {
        ViewerBench::Figure figure(QStringLiteral("gui-stall"));
        double worst = 0;
        for (auto it = stalls.cbegin(); it != stalls.cend(); ++it)
            worst = qMax(worst, ViewerBench::median(it.value()));
        figure.add(QStringLiteral("value"), worst).add(QStringLiteral("unit"), QStringLiteral("ms"));
        for (auto it = stalls.cbegin(); it != stalls.cend(); ++it) {
            figure.add(it.key(), ViewerBench::median(it.value()));
            figure.add(it.key() + QStringLiteral("_busy"), ViewerBench::median(busy.value(it.key())));
        }
        figure.add(QStringLiteral("target"), 50)
            .add(QStringLiteral("what"),
                 QStringLiteral("longest gap of a 2 ms GUI timer while loading, median per figure; _busy: the GUI "
                                "thread's CPU time in it"))
            .print();
    }
    return status;
}
