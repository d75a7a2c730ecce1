#pragma once

// Shared pieces of the viewer benchmarks (header only: every bench_*.cpp is its own
// program). Figures go to stdout as one JSON object per line; progress to stderr.

#include "app/AppSetup.h"

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QPainter>
#include <QPair>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <time.h>
#include <unistd.h>

namespace ViewerBench {

// The start-up state of the viewer, and the cache folder (the first argument) for
// generated inputs; empty after printing the usage when it is missing.
inline QString startUp(int argc, char *argv[], const char *usage)
{
    AppSetup::run();
    if (argc < 2) {
        QTextStream(stderr) << "usage: " << usage << Qt::endl;
        return QString();
    }
    return QString::fromLocal8Bit(argv[1]);
}

// Shows a view at the size the image view has in a maximised viewer on a 1920 x 1080
// screen (less the title bar and the tool strip), offscreen.
inline bool showAtViewerSize(QWidget &view)
{
    view.resize(1920, 960);
    view.show();
    return QTest::qWaitForWindowExposed(&view);
}

inline int runs(int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("BENCH_RUNS", &ok);
    return ok && value > 0 ? value : fallback;
}

inline double median(QVector<double> samples)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const int n = samples.size();
    return n % 2 ? samples.at(n / 2) : (samples.at(n / 2 - 1) + samples.at(n / 2)) / 2;
}

inline double round3(double value)
{
    return qRound64(value * 1000) / 1000.0;
}

// One-minute load average: the machine is shared, so every figure carries it.
inline double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

inline void progress(const QString &text)
{
    QTextStream(stderr) << "# " << text << Qt::endl;
}

// Wall-clock and CPU time of one measured action. The machine is shared, so the
// wall clock includes waiting for a core; the CPU time (of this thread, or of the
// whole process when the work spreads over threads) is the steadier estimate.
class Stopwatch
{
public:
    explicit Stopwatch(clockid_t cpuClock = CLOCK_THREAD_CPUTIME_ID)
        : clock(cpuClock)
    {
        clock_gettime(clock, &cpuStart);
        wall.start();
    }

    double wallMs() const { return wall.nsecsElapsed() / 1e6; }

    double cpuMs() const
    {
        timespec now;
        clock_gettime(clock, &now);
        return (now.tv_sec - cpuStart.tv_sec) * 1e3 + (now.tv_nsec - cpuStart.tv_nsec) / 1e6;
    }

private:
    clockid_t clock;
    timespec cpuStart;
    QElapsedTimer wall;
};

// Wall and CPU samples of a repeated measurement.
struct Samples
{
    QVector<double> wall;
    QVector<double> cpu;

    void add(const Stopwatch &watch)
    {
        cpu.append(watch.cpuMs());
        wall.append(watch.wallMs());
    }
    void add(double wallMs, double cpuMs)
    {
        wall.append(wallMs);
        cpu.append(cpuMs);
    }
    double wallMedian() const { return median(wall); }
    double cpuMedian() const { return median(cpu); }
};

// One figure, printed as a JSON object whose keys keep the order they were added in
// (name, value, unit first); the machine's load goes last.
class Figure
{
public:
    explicit Figure(const QString &name) { add(QStringLiteral("name"), name); }

    Figure &add(const QString &key, const QJsonValue &value)
    {
        fields.append({key, value.isDouble() ? QJsonValue(round3(value.toDouble())) : value});
        return *this;
    }

    // Ours against the floor, by wall clock (value, baseline, ratio) and by CPU time.
    Figure &compare(const Samples &ours, const Samples &floor, const QString &unit = QStringLiteral("ms"))
    {
        add(QStringLiteral("value"), ours.wallMedian());
        add(QStringLiteral("unit"), unit);
        add(QStringLiteral("baseline"), floor.wallMedian());
        add(QStringLiteral("ratio"), ratio(ours.wallMedian(), floor.wallMedian()));
        add(QStringLiteral("cpu"), ours.cpuMedian());
        add(QStringLiteral("baseline_cpu"), floor.cpuMedian());
        return add(QStringLiteral("cpu_ratio"), ratio(ours.cpuMedian(), floor.cpuMedian()));
    }

    void print()
    {
        add(QStringLiteral("load"), loadAverage());
        QByteArray line = "{";
        for (const auto &field : qAsConst(fields)) {
            if (line.size() > 1)
                line += ',';
            line += json(field.first) + ':' + json(field.second);
        }
        line += "}\n";
        std::fputs(line.constData(), stdout);
        std::fflush(stdout);
    }

private:
    static double ratio(double value, double baseline) { return baseline > 0 ? value / baseline : 0; }

    static QByteArray json(const QJsonValue &value)
    {
        const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        return wrapped.mid(1, wrapped.size() - 2);
    }

    QVector<QPair<QString, QJsonValue>> fields;
};

// Runs several measured actions in turn, rotating the order each round so drifting
// machine load hits them alike; returns the samples of each.
inline QVector<Samples> alternate(int rounds, const QVector<std::function<void(Samples &)>> &actions)
{
    QVector<Samples> samples(actions.size());
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < actions.size(); ++k) {
            const int which = (k + round) % actions.size();
            actions.at(which)(samples[which]);
        }
    }
    return samples;
}

// A picture with the structure of a photograph: soft colour areas, sharp edges and
// sensor-like noise, so decoders do the work they do on real photos. With alpha, the
// opacity falls from the middle towards the corners.
inline QImage photoLike(const QSize &size, bool alpha)
{
    QImage base(size / 10, QImage::Format_RGB32);
    base.fill(QColor(90, 120, 150));
    QPainter painter(&base);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(20240601);
    for (int i = 0; i < 160; ++i) {
        const QPointF centre(random.bounded(base.width()), random.bounded(base.height()));
        const QColor colour = QColor::fromHsv(random.bounded(360), 60 + random.bounded(160), 60 + random.bounded(190));
        QRadialGradient gradient(centre, 10 + random.bounded(base.width() / 4));
        gradient.setColorAt(0, colour);
        gradient.setColorAt(1, Qt::transparent);
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(centre, base.width() / 3.0, base.width() / 3.0);
    }
    painter.end();

    QImage image = base.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QPainter detail(&image);
    detail.setPen(QPen(QColor(30, 30, 30), 3));
    for (int i = 0; i < 400; ++i)
        detail.drawLine(random.bounded(size.width()), random.bounded(size.height()), random.bounded(size.width()),
                        random.bounded(size.height()));
    detail.end();

    quint32 seed = 12345;
    const double cx = size.width() / 2.0, cy = size.height() / 2.0;
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int((seed >> 24) % 9) - 4;
            const QRgb p = line[x];
            int a = 255;
            if (alpha) {
                const double dx = (x - cx) / cx, dy = (y - cy) / cy;
                a = qBound(40, int(255 - 150 * (dx * dx + dy * dy)), 255);
            }
            line[x]
                = qRgba(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255), qBound(0, qBlue(p) + n, 255), a);
        }
    }
    return image;
}

// Writes the picture once into the cache folder; later runs reuse the file.
inline QString cachedPhoto(const QString &cacheDir, const QString &name, const QSize &size, bool alpha,
                           const QByteArray &format, int quality)
{
    const QString path = QDir(cacheDir).filePath(name);
    if (QFileInfo::exists(path))
        return path;
    progress(QStringLiteral("writing %1").arg(path));
    QDir().mkpath(cacheDir);
    const QString part = path + QStringLiteral(".part");
    QImageWriter writer(part, format);
    writer.setQuality(quality);
    if (!writer.write(photoLike(size, alpha)) || !QFile::rename(part, path)) {
        progress(QStringLiteral("cannot write %1: %2").arg(path, writer.errorString()));
        return QString();
    }
    return path;
}

inline QString photoJpeg(const QString &cacheDir)
{
    return cachedPhoto(cacheDir, QStringLiteral("photo-6000x4000.jpg"), QSize(6000, 4000), false, "jpeg", 90);
}

// Peak and current resident memory of a process from /proc, in KiB.
inline qint64 statusKiB(qint64 pid, const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Processor time (user and system, every thread, ended ones too) that process pid
// has used so far, in milliseconds; -1 once it is gone. Clock-tick resolution.
inline double processCpuMs(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The command name may hold blanks and ")": fields follow the last one.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000.0 / ::sysconf(_SC_CLK_TCK);
}

// A hard link (or copy) of path alone in a folder of its own under the cache, so
// the viewer finds no neighbours to preload while a figure is taken.
inline QString aloneCopy(const QString &cacheDir, const QString &path)
{
    const QFileInfo info(path);
    const QString dir = QDir(cacheDir).filePath(QStringLiteral("alone/") + info.completeBaseName());
    const QString target = QDir(dir).filePath(info.fileName());
    if (QFileInfo::exists(target))
        return target;
    QDir().mkpath(dir);
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0
        && !QFile::copy(path, target))
        return QString();
    return target;
}

// The longest time the GUI thread did not answer: a 2 ms timer notes when it runs;
// the largest gap between two runs, less the interval, is the stall. Beside it, the
// GUI thread's own CPU time within that gap: on a machine with more runnable threads
// than cores a gap can be mostly waiting for a core, not work of ours.
class GuiStall : public QObject
{
public:
    GuiStall()
    {
        timer.setInterval(2);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, this, [this] { tick(); });
    }
    void start()
    {
        clock.start();
        last = 0;
        lastCpu = threadCpuNs();
        longest = 0;
        longestCpu = 0;
        timer.start();
    }
    // Stops, and counts the time since the last tick too (a stall up to now).
    double stopMs()
    {
        timer.stop();
        tick();
        return qMax(0.0, longest / 1e6 - 2);
    }
    // The GUI thread's CPU time within the longest gap of the last run.
    double busyMs() const { return longestCpu / 1e6; }

private:
    static qint64 threadCpuNs()
    {
        timespec now;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec * 1000000000LL + now.tv_nsec;
    }
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        if (now - last > longest) {
            longest = now - last;
            longestCpu = cpu - lastCpu;
        }
        last = now;
        lastCpu = cpu;
    }

    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 lastCpu = 0;
    qint64 longest = 0;
    qint64 longestCpu = 0;
};

// Runs the event loop until done() holds; false after the timeout.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    return QTest::qWaitFor(done, timeoutMs);
}

// Waits until the view has shown its picture and the loader's threads are idle
// (neighbours preloaded, levels made). A template: this header names no viewer class.
template<typename View> bool settle(View &view)
{
    const auto idle = [&] { return !view.isLoading() && !view.loader()->isBusy(); };
    // Neighbours are asked for just after the picture's frame.
    const bool done = waitUntil(idle);
    QTest::qWait(30);
    return done && waitUntil(idle);
}

// Resets the process's peak resident memory (VmHWM) to the current value.
inline bool resetPeakMemory()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

} // namespace ViewerBench
