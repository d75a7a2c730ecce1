// Decoding a camera RAW file: the viewer's background task against LibRaw's own
// sample program.
//
//   bench_viewer_raw DNG_FILE
//
// Ours: the loader's whole decode (ImageLoadTask::decode) on this thread, from
// LibRaw opening the file to the decoded picture as a QImage (open, unpack,
// process, memory image, the copy into the QImage), which runs LibRaw in the
// decoder process. Beside it (in_process) the same develop inside this process, as
// the viewer did it before: the difference is what the process costs. Baseline: the whole run of `dcraw_emu FILE`
// with default settings as a child process: start-up, the same LibRaw steps, and
// writing the picture as a PPM file (into the page cache). CPU time counts every
// thread of either side. Beside it: the GUI thread's part once the task is done,
// showDecodedPicture() with the decoded picture until painted.

#include "bench_viewer_common.h"

#include "rawdecode/RawDecode.h"
#include "ImageLoadTask.h"
#include "viewer/ImageView.h"
#include "PictureMemory.h"

#include <QApplication>
#include <QGraphicsView>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

double cpuMs(const rusage &usage)
{
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return cpuMs(usage);
}

// The CPU time counts the decoder process's too.
QImage decodeOurs(const QString &path, ViewerBench::Samples *samples)
{
    const double childrenBefore = childrenCpuMs();
    ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
    const QImage result = ImageLoadTask::decode(path).image;
    if (samples)
        samples->add(watch.wallMs(), watch.cpuMs() + childrenCpuMs() - childrenBefore);
    return result;
}

// The same develop inside this process, as the viewer did it before it ran a
// decoder process: open, develop into an RGB32 picture, widen the rows in place.
QImage decodeInProcess(const QString &path, ViewerBench::Samples *samples)
{
    ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
    RawDecode::MappedFile file;
    RawDecode::RawFile raw;
    QImage image;
    int colours = 0;
    const QByteArray local = QFile::encodeName(path);
    const bool ok = file.open(local.constData()) == RawDecode::Failure::None
        && raw.open(file) == RawDecode::Failure::None
        && raw.developInto(
               [&](int width, int height, int channels, int *stride) -> std::uint8_t * {
                   image = PictureMemory::image(QSize(width, height), QImage::Format_RGB32);
                   colours = channels;
                   *stride = image.bytesPerLine();
                   return image.isNull() ? nullptr : image.bits();
               })
            == RawDecode::Failure::None;
    if (!ok)
        return QImage();
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        auto *out = reinterpret_cast<QRgb *>(row);
        for (int x = image.width() - 1; x >= 0; --x) {
            const uchar *in = row + x * colours;
            out[x] = colours == 3 ? qRgb(in[0], in[1], in[2]) : qRgb(in[0], in[0], in[0]);
        }
    }
    if (samples)
        samples->add(watch);
    return image;
}

ViewerBench::Samples showOnGuiThread(const QImage &image, int rounds)
{
    ViewerBench::Samples samples;
    ImageView view;
    if (!ViewerBench::showAtViewerSize(view))
        return samples;
    view.showImg(QString()); // leaves the empty state: nothing to decode, the picture area shows
    for (int round = 0; round < rounds; ++round) {
        ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
        view.showDecodedPicture(image);
        view.graphicsView()->viewport()->repaint();
        samples.add(watch);
    }
    return samples;
}

// dcraw_emu as a child, timed by the wall clock and by its own rusage.
bool runDcrawEmu(const QString &path, ViewerBench::Samples *samples)
{
    const QByteArray file = QFile::encodeName(path);
    char program[] = "dcraw_emu";
    char *argv[] = {program, const_cast<char *>(file.constData()), nullptr};
    ViewerBench::Stopwatch watch;
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    const double wall = watch.wallMs();
    QFile::remove(path + QStringLiteral(".ppm"));
    if (samples)
        samples->add(wall, cpuMs(usage));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString path = ViewerBench::startUp(argc, argv, "bench_viewer_raw DNG_FILE");
    if (path.isEmpty())
        return 2;

    // Warm-up: the file in the page cache, both sides checked once.
    const QImage decoded = decodeOurs(path, nullptr);
    if (decoded.isNull() || !runDcrawEmu(path, nullptr)) {
        ViewerBench::progress(QStringLiteral("%1 does not decode").arg(path));
        return 1;
    }

    const int rounds = ViewerBench::runs(5);
    bool ok = true;
    const auto samples
        = ViewerBench::alternate(rounds,
                                 {[&](ViewerBench::Samples &s) { ok = !decodeOurs(path, &s).isNull() && ok; },
                                  [&](ViewerBench::Samples &s) { ok = runDcrawEmu(path, &s) && ok; },
                                  [&](ViewerBench::Samples &s) { ok = !decodeInProcess(path, &s).isNull() && ok; }});
    const ViewerBench::Samples show = showOnGuiThread(decoded, rounds);
    if (!ok || show.wall.isEmpty())
        return 1;
    ViewerBench::Figure(QStringLiteral("raw-24mp"))
        .compare(samples[0], samples[1])
        .add(QStringLiteral("target_ratio"), 1.1)
        .add(QStringLiteral("baseline_command"), QStringLiteral("dcraw_emu FILE"))
        .add(QStringLiteral("pixels"), QStringLiteral("%1x%2").arg(decoded.width()).arg(decoded.height()))
        .add(QStringLiteral("in_process"), samples[2].wallMedian())
        .add(QStringLiteral("in_process_cpu"), samples[2].cpuMedian())
        .add(QStringLiteral("process_overhead_pct"),
             100.0 * (samples[0].wallMedian() - samples[2].wallMedian()) / samples[2].wallMedian())
        .add(QStringLiteral("gui_show"), show.wallMedian())
        .add(QStringLiteral("gui_show_cpu"), show.cpuMedian())
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}
