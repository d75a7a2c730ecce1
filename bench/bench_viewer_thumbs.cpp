// Thumbnails: the grid's first screen and the whole folder made into the shared cache,
// the first screen again from a full cache, and a 10 000-file folder scrolled end to end.
//
//   bench_viewer_thumbs CACHE_DIR MKDNG_PY QUORVANE [thumbs-first] [thumbs-all] [thumbs-warm] [grid-10000]
//   bench_viewer_thumbs --grid FOLDER [--drawn | --scroll]        (the measured child)
//
// The folder: 300 phone-size JPEGs (4000 x 3000, each with a 160 x 120 EXIF thumbnail
// as a phone writes it) and 20 DNGs (4000 x 3000 with a 1620 x 1215 embedded
// preview); ten distinct photographs and two distinct DNGs under 320 names (hard
// links: every name is a thumbnail of its own). Every round starts on an empty
// XDG_CACHE_HOME.
//
//   thumbs-first  the viewer started on the folder (it opens on the grid, maximised) until
//                 24 thumbnails are in the cache, over gthumb started on the same folder;
//                 both on the display (bench/viewer.sh starts Xvfb when there is none)
//   thumbs-all    the viewer until all 320 are in the cache, over vipsthumbnail making
//                 the same 320 at 128 px, one process per core
//   thumbs-warm   the child with the cache full, from its start to the first screen
//                 drawn with every thumbnail; beside it the child on an empty folder
//   grid-10000    peak memory of the child with 10 000 files on the grid, scrolled end to
//                 end half a page every 16 ms, and the GUI thread's longest stall; beside
//                 it the child on an empty folder

#include "bench_viewer_common.h"

#include "ThumbnailDecode.h"
#include "ThumbnailGrid.h"
#include "thumbnails/Thumbnailer.h"

#include <QApplication>
#include <QBuffer>
#include <QCollator>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QThread>

#include <libexif/exif-data.h>

#include <unistd.h>

namespace {

constexpr int kJpegs = 300;
constexpr int kDngs = 20;
constexpr int kFirstScreen = 24;
constexpr int kTimeoutMs = 300000;

// --- the measured child -------------------------------------------------------------

QStandardItemModel *folderModel(const QString &folder, QObject *parent)
{
    auto *model = new QStandardItemModel(parent);
    QCollator natural;
    natural.setNumericMode(true);
    QStringList names = QDir(folder).entryList(QDir::Files);
    std::sort(names.begin(), names.end(), natural);
    for (const QString &name : qAsConst(names)) {
        auto *item = new QStandardItem(name);
        item->setData(QDir(folder).absoluteFilePath(name), Qt::UserRole);
        model->appendRow(item);
    }
    return model;
}

int child(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppSetup::run();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString mode = argc > 3 ? QString::fromLatin1(argv[3]) : QString();
    Thumbnailer thumbnailer(ThumbnailCache(), ThumbnailDecode::decode);
    ThumbnailGrid grid(&thumbnailer);
    grid.setModel(folderModel(folder, &grid));
    if (!ViewerBench::showAtViewerSize(grid))
        return 1;

    if (mode == QLatin1String("--drawn")) {
        bool drawn = false;
        const auto check = [&] {
            if (drawn)
                return;
            const QPair<int, int> shown = grid.visibleRows();
            for (int row = shown.first; row <= shown.second && row >= 0; ++row) {
                const QString path = grid.model()->index(row, 0).data(Qt::UserRole).toString();
                if (thumbnailer.thumbnail(path, grid.cacheSize()).isNull())
                    return;
            }
            grid.viewport()->repaint();
            drawn = true;
            std::puts("drawn");
            std::fflush(stdout);
            app.exit(0);
        };
        QObject::connect(&thumbnailer, &Thumbnailer::ready, &grid, check);
        QTimer::singleShot(0, &grid, check);
        return app.exec();
    }

    if (mode == QLatin1String("--scroll")) {
        ViewerBench::GuiStall stall;
        QTimer scroller;
        QScrollBar *bar = grid.verticalScrollBar();
        QObject::connect(&scroller, &QTimer::timeout, &grid, [&] {
            if (bar->value() >= bar->maximum()) {
                scroller.stop();
                const double stallMs = stall.stopMs();
                QTextStream(stdout) << "peak_kib " << ViewerBench::statusKiB(getpid(), "VmHWM") << " stall_ms "
                                    << stallMs << " busy_ms " << stall.busyMs() << Qt::endl;
                app.exit(0);
                return;
            }
            bar->setValue(bar->value() + qMax(1, bar->pageStep() / 2));
        });
        QTest::qWait(200);
        stall.start();
        scroller.start(16);
        return app.exec();
    }
    return app.exec(); // until the parent has counted enough
}

// --- the folders ----------------------------------------------------------------------

// A JPEG of photo as a phone writes it: an EXIF block with the camera, the size and a
// 160 x 120 thumbnail.
bool writePhoneJpeg(const QString &path, const QImage &photo)
{
    QByteArray small;
    QBuffer smallBuffer(&small);
    smallBuffer.open(QIODevice::WriteOnly);
    if (!photo.scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(&smallBuffer, "JPEG", 85))
        return false;
    ExifData *exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    const auto addShort = [&](ExifIfd ifd, ExifTag tag, ExifShort value) {
        ExifEntry *entry = exif_entry_new();
        entry->tag = tag;
        entry->format = EXIF_FORMAT_SHORT;
        entry->components = 1;
        entry->size = 2;
        entry->data = static_cast<unsigned char *>(calloc(1, 2));
        exif_content_add_entry(exif->ifd[ifd], entry);
        exif_set_short(entry->data, EXIF_BYTE_ORDER_INTEL, value);
        exif_entry_unref(entry);
    };
    addShort(EXIF_IFD_0, EXIF_TAG_ORIENTATION, 1);
    addShort(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, ExifShort(photo.width()));
    addShort(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, ExifShort(photo.height()));
    exif->data = static_cast<unsigned char *>(malloc(size_t(small.size())));
    memcpy(exif->data, small.constData(), size_t(small.size()));
    exif->size = unsigned(small.size());
    unsigned char *bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &bytes, &size);
    exif_data_unref(exif);
    if (!bytes)
        return false;
    QByteArray app1("\xff\xe1", 2);
    app1 += char((size + 2) >> 8);
    app1 += char((size + 2) & 0xff);
    app1 += QByteArray(reinterpret_cast<const char *>(bytes), int(size));
    free(bytes);

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!photo.save(&buffer, "JPEG", 90))
        return false;
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(jpeg.left(2) + app1 + jpeg.mid(2)) > 0;
}

bool linkOrCopy(const QString &from, const QString &to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
        || QFile::copy(from, to);
}

QString thumbsFolder(const QString &cache, const QString &mkdng)
{
    const QString folder = QDir(cache).filePath(QStringLiteral("thumbs-320"));
    const QString done = QDir(folder).filePath(QStringLiteral(".complete"));
    if (QFileInfo::exists(done))
        return folder;
    const QString seeds = QDir(cache).filePath(QStringLiteral("thumbs-seeds"));
    QDir().mkpath(seeds);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (int i = 0; i < 10; ++i) {
        const QString seed = QDir(seeds).filePath(QStringLiteral("phone-%1.jpg").arg(i));
        if (!QFileInfo::exists(seed)) {
            ViewerBench::progress(QStringLiteral("writing %1").arg(seed));
            QImage photo = ViewerBench::photoLike(QSize(4000, 3000), false);
            QPainter(&photo).fillRect(i * 300, 0, 300, 300, QColor::fromHsv(i * 36, 200, 200));
            if (!writePhoneJpeg(seed + QStringLiteral(".part"), photo)
                || !QFile::rename(seed + QStringLiteral(".part"), seed))
                return QString();
        }
    }
    for (int i = 0; i < 2; ++i) {
        const QString seed = QDir(seeds).filePath(QStringLiteral("camera-%1.dng").arg(i));
        if (QFileInfo::exists(seed))
            continue;
        ViewerBench::progress(QStringLiteral("writing %1").arg(seed));
        const QString preview = QDir(seeds).filePath(QStringLiteral("preview-%1.jpg").arg(i));
        if (!ViewerBench::photoLike(QSize(1620, 1215), false).save(preview, "JPEG", 85))
            return QString();
        QProcess python;
        python.start(QStringLiteral("python3"), {mkdng, seed + QStringLiteral(".part"), QStringLiteral("4000"),
                                                 QStringLiteral("3000"), QStringLiteral("--preview"), preview});
        if (!python.waitForFinished(kTimeoutMs) || python.exitCode() != 0
            || !QFile::rename(seed + QStringLiteral(".part"), seed))
            return QString();
    }
    for (int i = 0; i < kJpegs; ++i) {
        if (!linkOrCopy(QDir(seeds).filePath(QStringLiteral("phone-%1.jpg").arg(i % 10)),
                        QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')))))
            return QString();
    }
    for (int i = 0; i < kDngs; ++i) {
        if (!linkOrCopy(QDir(seeds).filePath(QStringLiteral("camera-%1.dng").arg(i % 2)),
                        QDir(folder).filePath(QStringLiteral("RAW_%1.dng").arg(i + 1, 4, 10, QLatin1Char('0')))))
            return QString();
    }
    QFile marker(done);
    return marker.open(QIODevice::WriteOnly) ? folder : QString();
}

QString gridFolder(const QString &cache)
{
    const QString folder = QDir(cache).filePath(QStringLiteral("grid-10000"));
    const QString done = QDir(folder).filePath(QStringLiteral(".complete"));
    if (QFileInfo::exists(done))
        return folder;
    ViewerBench::progress(QStringLiteral("creating %1").arg(folder));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString seed = ViewerBench::cachedPhoto(cache, QStringLiteral("photo-1600x1200.jpg"), QSize(1600, 1200),
                                                  false, "jpeg", 90);
    for (int i = 0; i < 10000; ++i) {
        if (seed.isEmpty()
            || !linkOrCopy(seed, QDir(folder).filePath(QStringLiteral("DSC%1.jpg").arg(i, 5, 10, QLatin1Char('0')))))
            return QString();
    }
    QFile marker(done);
    return marker.open(QIODevice::WriteOnly) ? folder : QString();
}

// --- the parent -----------------------------------------------------------------------

// Distinct thumbnails in a cache's size folders (temporary files and fail/ left out).
int thumbnailsIn(const QString &cacheHome)
{
    static const QRegularExpression name(QStringLiteral("^[0-9a-f]{32}\\.png$"));
    QSet<QString> names;
    for (const char *size : {"normal", "large", "x-large", "xx-large"}) {
        const QStringList entries = QDir(cacheHome + QStringLiteral("/thumbnails/") + QLatin1String(size))
                                        .entryList(QDir::Files);
        for (const QString &entry : entries) {
            if (name.match(entry).hasMatch())
                names.insert(entry);
        }
    }
    return names.size();
}

QProcessEnvironment withCache(const QString &cacheHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome);
    // The viewer on the display gthumb has, at the same size, when there is one.
    if (!env.value(QStringLiteral("DISPLAY")).isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

// Runs program until the cache holds count thumbnails; the wall time, or -1.
double untilCached(const QString &program, const QStringList &args, const QString &cacheHome, int count)
{
    QProcess process;
    process.setProcessEnvironment(withCache(cacheHome));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    double ms = -1;
    while (clock.elapsed() < kTimeoutMs && process.state() != QProcess::NotRunning) {
        if (thumbnailsIn(cacheHome) >= count) {
            ms = clock.nsecsElapsed() / 1e6;
            break;
        }
        QThread::msleep(5);
    }
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
    return ms;
}

// The child run to an end of its own (--drawn, --scroll): the wall time and its output.
QPair<double, QByteArray> childRun(const QStringList &args, const QString &cacheHome)
{
    QProcess process;
    process.setProcessEnvironment(withCache(cacheHome));
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(QCoreApplication::applicationFilePath(), args);
    if (!process.waitForFinished(kTimeoutMs) || process.exitCode() != 0) {
        process.kill();
        return {-1, {}};
    }
    return {clock.nsecsElapsed() / 1e6, process.readAllStandardOutput()};
}

// vipsthumbnail making every file of folder at 128 px, one process per core.
double vipsAll(const QString &folder, int *made)
{
    QTemporaryDir out;
    const int cores = qMax(1, QThread::idealThreadCount());
    QVector<QStringList> shares(cores);
    const QStringList names = QDir(folder).entryList(QDir::Files);
    for (int i = 0; i < names.size(); ++i)
        shares[i % cores] << QDir(folder).filePath(names.at(i));
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList &share : qAsConst(shares)) {
        auto process = std::make_unique<QProcess>();
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(QStringLiteral("vipsthumbnail"),
                       QStringList{QStringLiteral("--size"), QStringLiteral("128"), QStringLiteral("-o"),
                                   out.path() + QStringLiteral("/%s.png")}
                           + share);
        processes.push_back(std::move(process));
    }
    for (auto &process : processes)
        process->waitForFinished(kTimeoutMs);
    const double ms = clock.nsecsElapsed() / 1e6;
    *made = QDir(out.path()).entryList(QDir::Files).size();
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--grid") == 0)
        return child(argc, argv);
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        QTextStream(stderr) << "usage: bench_viewer_thumbs CACHE_DIR MKDNG_PY QUORVANE [FIGURE...]" << Qt::endl;
        return 2;
    }
    const QString cache = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString mkdng = QString::fromLocal8Bit(argv[2]);
    const QString viewer = QString::fromLocal8Bit(argv[3]);
    QStringList wanted;
    for (int i = 4; i < argc; ++i)
        wanted << QString::fromLocal8Bit(argv[i]);
    const auto want = [&](const char *name) { return wanted.isEmpty() || wanted.contains(QLatin1String(name)); };
    const int rounds = ViewerBench::runs(3);
    QTemporaryDir scratch;
    const QString empty = scratch.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    int status = 0;

    const QString folder = (want("thumbs-first") || want("thumbs-all") || want("thumbs-warm"))
        ? thumbsFolder(cache, mkdng)
        : QString();
    int round = 0;
    const auto freshCache = [&] {
        const QString home = scratch.filePath(QStringLiteral("cache-%1").arg(++round));
        QDir().mkpath(home);
        return home;
    };

    if (want("thumbs-first") && !folder.isEmpty()) {
        ViewerBench::progress(QStringLiteral("thumbs-first"));
        const bool display = !qEnvironmentVariableIsEmpty("DISPLAY");
        const QVector<ViewerBench::Samples> samples = ViewerBench::alternate(
            rounds, {[&](ViewerBench::Samples &s) {
                         const double ms = untilCached(viewer, {folder}, freshCache(), kFirstScreen);
                         s.add(ms, ms);
                     },
                     [&](ViewerBench::Samples &s) {
                         const double ms = display ? untilCached(QStringLiteral("gthumb"), {folder}, freshCache(),
                                                                 kFirstScreen)
                                                   : -1;
                         s.add(ms, ms);
                     }});
        ViewerBench::Figure(QStringLiteral("thumbs-first"))
            .compare(samples.at(0), samples.at(1))
            .add(QStringLiteral("floor"), display ? QStringLiteral("gthumb") : QStringLiteral("gthumb (no display)"))
            .add(QStringLiteral("goal"), 0.5)
            .print();
    }

    QString fullCache;
    if (want("thumbs-all") && !folder.isEmpty()) {
        ViewerBench::progress(QStringLiteral("thumbs-all"));
        int made = 0;
        const QVector<ViewerBench::Samples> samples = ViewerBench::alternate(
            rounds, {[&](ViewerBench::Samples &s) {
                         fullCache = freshCache();
                         const double ms = untilCached(viewer, {folder}, fullCache, kJpegs + kDngs);
                         s.add(ms, ms);
                     },
                     [&](ViewerBench::Samples &s) {
                         const double ms = vipsAll(folder, &made);
                         s.add(ms, ms);
                     }});
        ViewerBench::Figure(QStringLiteral("thumbs-all"))
            .compare(samples.at(0), samples.at(1))
            .add(QStringLiteral("floor"), QStringLiteral("vipsthumbnail, one process per core"))
            .add(QStringLiteral("floor_made"), made)
            .add(QStringLiteral("goal"), 1.0)
            .print();
    }

    if (want("thumbs-warm") && !folder.isEmpty()) {
        ViewerBench::progress(QStringLiteral("thumbs-warm"));
        if (fullCache.isEmpty()) {
            fullCache = freshCache();
            untilCached(viewer, {folder}, fullCache, kJpegs + kDngs);
        }
        const QVector<ViewerBench::Samples> samples = ViewerBench::alternate(
            rounds, {[&](ViewerBench::Samples &s) {
                         const double ms =
                             childRun({QStringLiteral("--grid"), folder, QStringLiteral("--drawn")}, fullCache).first;
                         s.add(ms, ms);
                     },
                     [&](ViewerBench::Samples &s) {
                         const double ms =
                             childRun({QStringLiteral("--grid"), empty, QStringLiteral("--drawn")}, fullCache).first;
                         s.add(ms, ms);
                     }});
        ViewerBench::Figure(QStringLiteral("thumbs-warm"))
            .compare(samples.at(0), samples.at(1))
            .add(QStringLiteral("floor"), QStringLiteral("the same process on an empty folder"))
            .add(QStringLiteral("goal_ms"), 150)
            .print();
    }

    if (want("grid-10000")) {
        ViewerBench::progress(QStringLiteral("grid-10000"));
        const QString big = gridFolder(cache);
        const auto parse = [](const QByteArray &out, const char *key) {
            const QList<QByteArray> words = out.simplified().split(' ');
            const int at = words.indexOf(key);
            return at >= 0 && at + 1 < words.size() ? words.at(at + 1).toDouble() : -1;
        };
        ViewerBench::Samples memory, floorMemory, stalls;
        for (int i = 0; i < rounds && !big.isEmpty(); ++i) {
            const QByteArray out =
                childRun({QStringLiteral("--grid"), big, QStringLiteral("--scroll")}, freshCache()).second;
            const QByteArray none =
                childRun({QStringLiteral("--grid"), empty, QStringLiteral("--scroll")}, freshCache()).second;
            memory.add(parse(out, "peak_kib") / 1024, 0);
            floorMemory.add(parse(none, "peak_kib") / 1024, 0);
            stalls.add(parse(out, "stall_ms"), parse(out, "busy_ms"));
        }
        ViewerBench::Figure(QStringLiteral("grid-10000"))
            .add(QStringLiteral("value"), memory.wallMedian())
            .add(QStringLiteral("unit"), QStringLiteral("MB"))
            .add(QStringLiteral("baseline"), floorMemory.wallMedian())
            .add(QStringLiteral("goal_mb"), 250)
            .print();
        ViewerBench::Figure(QStringLiteral("gui-stall-grid-10000"))
            .add(QStringLiteral("value"), stalls.wallMedian())
            .add(QStringLiteral("unit"), QStringLiteral("ms"))
            .add(QStringLiteral("busy"), stalls.cpuMedian())
            .add(QStringLiteral("goal_ms"), 16)
            .print();
        status |= big.isEmpty() ? 1 : 0;
    }
    return status;
}
