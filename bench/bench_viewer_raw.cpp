// Decoding a camera RAW file: the viewer's background task against LibRaw's own
// sample program.
//
//   bench_viewer_raw DNG_FILE
//
// Ours: the loader's whole decode (ImageLoadTask::decode) on this thread, from
// LibRaw opening the file to the decoded picture as a QImage (open, unpack,
// process, memory image, the copy into the QImage). Baseline: the whole run of `dcraw_emu FILE`
// with default settings as a child process: start-up, the same LibRaw steps, and
// writing the picture as a PPM file (into the page cache). CPU time counts every
// thread of either side. Beside it: the GUI thread's part once the task is done,
// showDecodedPicture() with the decoded picture until painted.

#include "bench_viewer_common.h"

#include "viewer/ImageLoadTask.h"
#include "viewer/ImageView.h"

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

QImage decodeOurs(const QString &path, ViewerBench::Samples *samples)
{
    ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
    const QImage result = ImageLoadTask::decode(path).image;
    if (samples)
        samples->add(watch);
    return result;
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
                                  [&](ViewerBench::Samples &s) { ok = runDcrawEmu(path, &s) && ok; }});
    const ViewerBench::Samples show = showOnGuiThread(decoded, rounds);
    if (!ok || show.wall.isEmpty())
        return 1;
    ViewerBench::Figure(QStringLiteral("raw-24mp"))
        .compare(samples[0], samples[1])
        .add(QStringLiteral("target_ratio"), 1.1)
        .add(QStringLiteral("baseline_command"), QStringLiteral("dcraw_emu FILE"))
        .add(QStringLiteral("pixels"), QStringLiteral("%1x%2").arg(decoded.width()).arg(decoded.height()))
        .add(QStringLiteral("gui_show"), show.wallMedian())
        .add(QStringLiteral("gui_show_cpu"), show.cpuMedian())
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}
