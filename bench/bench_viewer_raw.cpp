// Decoding a camera RAW file: the viewer's background task against LibRaw's own
// sample program.
//
//   bench_viewer_raw DNG_FILE
//
// Ours: ImageLoadTask::run() on this thread, from LibRaw opening the file to the
// decoded picture as a QImage (open, unpack, process, memory image, the copy into
// the QImage) and the finished signal. Baseline: the whole run of `dcraw_emu FILE`
// with default settings as a child process: start-up, the same LibRaw steps, and
// writing the picture as a PPM file (into the page cache). CPU time counts every
// thread of either side.

#include "bench_viewer_common.h"

#include "viewer/ImageLoadTask.h"

#include <QCoreApplication>

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

QSize decodeOurs(const QString &path, ViewerBench::Samples *samples)
{
    ImageLoadTask task(path);
    task.setAutoDelete(false);
    QImage result;
    QObject::connect(&task, &ImageLoadTask::finished, [&](const QImage &image) { result = image; });
    ViewerBench::Stopwatch watch(CLOCK_PROCESS_CPUTIME_ID);
    task.run();
    if (samples)
        samples->add(watch);
    return result.size();
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
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        ViewerBench::progress(QStringLiteral("usage: bench_viewer_raw DNG_FILE"));
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);

    // Warm-up: the file in the page cache, both sides checked once.
    const QSize decoded = decodeOurs(path, nullptr);
    if (decoded.isEmpty() || !runDcrawEmu(path, nullptr)) {
        ViewerBench::progress(QStringLiteral("%1 does not decode").arg(path));
        return 1;
    }

    const int rounds = ViewerBench::runs(5);
    bool ok = true;
    const auto samples = ViewerBench::alternate(
        rounds, {[&](ViewerBench::Samples &s) { ok = !decodeOurs(path, &s).isEmpty() && ok; },
                 [&](ViewerBench::Samples &s) { ok = runDcrawEmu(path, &s) && ok; }});
    if (!ok)
        return 1;
    ViewerBench::Figure(QStringLiteral("raw-24mp"))
        .compare(samples[0], samples[1])
        .add(QStringLiteral("target_ratio"), 1.1)
        .add(QStringLiteral("baseline_command"), QStringLiteral("dcraw_emu FILE"))
        .add(QStringLiteral("pixels"), QStringLiteral("%1x%2").arg(decoded.width()).arg(decoded.height()))
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}
