// Start-up time and peak memory of the real viewer showing a 6000 x 4000 JPEG given
// on its command line.
//
//   bench_viewer_launch QUORVANE_BINARY CACHE_DIR
//
// The viewer runs offscreen with Qt's widget-painting log switched on. Its own log
// line "oriWidth: 6000 ,oriHeight: 4000" says the picture is decoded; the next flush
// of the window ("Flushing top level") is the picture painted. At that moment the
// start figure is taken (process start to the picture on screen, including the
// viewer's 50 ms timer) and the peak resident memory is read from the viewer's
// /proc/PID/status (VmHWM); the viewer's processor time is read then and again once
// it has gone idle (cpu-start), then the viewer is stopped. The baseline for memory is a
// bare Qt GUI process (this program with --decode) that only decodes the same file.

#include "bench_viewer_common.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>

namespace {

constexpr int kTimeoutMs = 60000;

// Idle: no more than one clock tick of processor time over this long.
constexpr int kQuietMs = 500;
constexpr int kIdleCapMs = 15000;

struct Launch
{
    double shownMs = -1;
    double decodedMs = -1;
    qint64 peakKiB = -1;
    double cpuShownMs = -1; // the viewer's processor time when the picture is painted
    double cpuIdleMs = -1; // and once it has gone idle (neighbours preloaded and all)
};

// The viewer's processor time once it has been idle for kQuietMs, as the peer
// comparison counts a start. Its log is read on meanwhile: a full pipe would stop it.
double cpuWhenIdle(QProcess &viewer)
{
    const qint64 pid = viewer.processId();
    const double tickMs = 1000.0 / ::sysconf(_SC_CLK_TCK);
    QElapsedTimer clock;
    clock.start();
    QVector<QPair<qint64, double>> seen; // (elapsed ms, CPU ms)
    while (clock.elapsed() < kIdleCapMs) {
        const qint64 slice = clock.elapsed() + 50;
        while (clock.elapsed() < slice) {
            viewer.waitForReadyRead(int(qMax<qint64>(1, slice - clock.elapsed())));
            viewer.readAll();
        }
        const double cpu = ViewerBench::processCpuMs(pid);
        if (cpu < 0)
            return -1;
        const qint64 now = clock.elapsed();
        seen.append({now, cpu});
        for (int i = seen.size() - 1; i >= 0; --i) {
            if (seen.at(i).first <= now - kQuietMs) {
                if (cpu - seen.at(i).second <= tickMs)
                    return cpu;
                break;
            }
        }
    }
    return ViewerBench::processCpuMs(pid);
}

Launch launchViewer(const QString &binary, const QString &image, const QSize &size)
{
    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("qt.widgets.painting=true\nquorvane.viewer.debug=true"));
    viewer.setProcessEnvironment(env);
    viewer.setReadChannel(QProcess::StandardError);
    viewer.setStandardOutputFile(QProcess::nullDevice());

    const QByteArray decodedLine
        = QStringLiteral("oriWidth: %1 ,oriHeight: %2").arg(size.width()).arg(size.height()).toUtf8();
    Launch result;
    ViewerBench::Stopwatch watch;
    viewer.start(binary, {image});
    while (result.shownMs < 0 && watch.wallMs() < kTimeoutMs && viewer.state() != QProcess::NotRunning) {
        if (!viewer.canReadLine() && !viewer.waitForReadyRead(1000))
            continue;
        while (viewer.canReadLine()) {
            const QByteArray line = viewer.readLine();
            if (result.decodedMs < 0 && line.contains(decodedLine)) {
                result.decodedMs = watch.wallMs();
            } else if (result.decodedMs >= 0 && line.contains("Flushing top level")) {
                result.shownMs = watch.wallMs();
                result.peakKiB = ViewerBench::statusKiB(viewer.processId(), "VmHWM");
                result.cpuShownMs = ViewerBench::processCpuMs(viewer.processId());
                break;
            }
        }
    }
    if (result.shownMs >= 0)
        result.cpuIdleMs = cpuWhenIdle(viewer);
    viewer.kill();
    viewer.waitForFinished();
    return result;
}

// The memory floor: a process with Qt's GUI library that decodes the file and nothing
// else. Prints its peak resident memory in KiB.
int decodeOnly(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QImageReader reader(QString::fromLocal8Bit(argv[2]));
    const QImage image = reader.read();
    if (image.isNull())
        return 1;
    std::printf("%lld\n", ViewerBench::statusKiB(QCoreApplication::applicationPid(), "VmHWM"));
    return 0;
}

qint64 decodeOnlyPeak(const QString &self, const QString &image)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(self, {QStringLiteral("--decode"), image});
    if (!child.waitForFinished(kTimeoutMs) || child.exitCode() != 0)
        return -1;
    return child.readAllStandardOutput().trimmed().toLongLong();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--decode") == 0)
        return decodeOnly(argc, argv);

    QCoreApplication app(argc, argv);
    if (argc < 3) {
        ViewerBench::progress(QStringLiteral("usage: bench_viewer_launch QUORVANE_BINARY CACHE_DIR"));
        return 2;
    }
    const QString binary = QString::fromLocal8Bit(argv[1]);
    const QString image = ViewerBench::photoJpeg(QString::fromLocal8Bit(argv[2]));
    const QSize size = QImageReader(image).size();
    if (image.isEmpty() || !size.isValid())
        return 1;

    const int rounds = ViewerBench::runs(5);
    ViewerBench::Samples shown, decoded;
    QVector<double> cpuShown, cpuIdle;
    QVector<double> peakMB, floorMB;
    launchViewer(binary, image, size); // warm-up: libraries and file in the page cache
    for (int round = 0; round < rounds; ++round) {
        const Launch launch = launchViewer(binary, image, size);
        const qint64 floorKiB = decodeOnlyPeak(QCoreApplication::applicationFilePath(), image);
        if (launch.shownMs < 0 || launch.peakKiB < 0 || floorKiB < 0) {
            ViewerBench::progress(QStringLiteral("the viewer did not show %1").arg(image));
            return 1;
        }
        shown.add(launch.shownMs, 0);
        decoded.add(launch.decodedMs, 0);
        peakMB.append(launch.peakKiB * 1024 / 1e6);
        cpuShown.append(launch.cpuShownMs);
        cpuIdle.append(launch.cpuIdleMs);
        floorMB.append(floorKiB * 1024 / 1e6);
    }

    // Decimal megabytes, as the target is stated: the picture twice plus 80 MB.
    const double pictureMB = 4.0 * size.width() * size.height() / 1e6;
    const double peak = ViewerBench::median(peakMB);
    const double floor = ViewerBench::median(floorMB);
    ViewerBench::Figure(QStringLiteral("rss-jpeg"))
        .add(QStringLiteral("value"), peak)
        .add(QStringLiteral("unit"), QStringLiteral("MB"))
        .add(QStringLiteral("baseline"), floor)
        .add(QStringLiteral("ratio"), peak / floor)
        .add(QStringLiteral("baseline_what"), QStringLiteral("bare Qt GUI process decoding the file"))
        .add(QStringLiteral("target"), 2 * pictureMB + 80)
        .add(QStringLiteral("picture"), pictureMB)
        .add(QStringLiteral("runs"), rounds)
        .print();
    ViewerBench::Figure(QStringLiteral("start"))
        .add(QStringLiteral("value"), shown.wallMedian())
        .add(QStringLiteral("unit"), QStringLiteral("ms"))
        .add(QStringLiteral("decoded_at"), decoded.wallMedian())
        .add(QStringLiteral("timer"), 50)
        .add(QStringLiteral("pixels"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))
        .add(QStringLiteral("runs"), rounds)
        .print();
    // What the peer comparison calls cpu-start: processor time from start to idle.
    ViewerBench::Figure(QStringLiteral("cpu-start"))
        .add(QStringLiteral("value"), ViewerBench::median(cpuIdle))
        .add(QStringLiteral("unit"), QStringLiteral("ms"))
        .add(QStringLiteral("at_picture"), ViewerBench::median(cpuShown))
        .add(QStringLiteral("idle_after_ms"), kQuietMs)
        .add(QStringLiteral("runs"), rounds)
        .print();
    return 0;
}
