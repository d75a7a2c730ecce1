// What showing a tagged picture as sRGB adds to its decode: a 24 MP JPEG carrying
// an Adobe RGB profile, decoded as the loader decodes it (the floor), against the
// conversion of the decoded picture (DisplayColour::toSrgb).
//
//   bench_viewer_colour CACHE_DIR ICC_PROFILE
//
// Figure colour-24mp: value is the conversion, baseline the decode, ratio the one
// over the other (by wall clock and by CPU time). Rounds alternate the two.

#include "bench_viewer_common.h"

#include "DisplayColour.h"

#include <QApplication>
#include <QColorSpace>
#include <QImageReader>

using ViewerBench::Figure;
using ViewerBench::Samples;
using ViewerBench::Stopwatch;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString cache = ViewerBench::startUp(argc, argv, "bench_viewer_colour CACHE_DIR ICC_PROFILE");
    if (cache.isEmpty() || argc < 3)
        return 2;
    QFile iccFile(QString::fromLocal8Bit(argv[2]));
    if (!iccFile.open(QIODevice::ReadOnly)) {
        ViewerBench::progress(QStringLiteral("cannot read the profile %1").arg(iccFile.fileName()));
        return 1;
    }
    const QColorSpace wide = QColorSpace::fromIccProfile(iccFile.readAll());

    const QString path = QDir(cache).filePath(QStringLiteral("tagged-6000x4000.jpg"));
    if (!QFileInfo::exists(path)) {
        ViewerBench::progress(QStringLiteral("writing %1").arg(path));
        QImage photo = ViewerBench::photoLike(QSize(6000, 4000), false);
        photo.setColorSpace(wide);
        if (!photo.save(path, "JPEG", 90))
            return 1;
    }
    const auto decode = [&path] {
        QImageReader reader(path, "jpeg");
        return reader.read();
    };
    QImage decoded = decode();
    if (!decoded.colorSpace().isValid() || decoded.colorSpace() == QColorSpace(QColorSpace::SRgb)) {
        ViewerBench::progress(QStringLiteral("%1 carries no wide-gamut profile").arg(path));
        return 1;
    }

    const int rounds = ViewerBench::runs(7);
    const QVector<Samples> samples
        = ViewerBench::alternate(rounds,
                                 {
                                     [&decode](Samples &out) {
                                         Stopwatch watch;
                                         const QImage image = decode();
                                         out.add(watch);
                                     },
                                     [&decoded](Samples &out) {
                                         QImage copy
                                             = decoded.copy(); // its own pixels, written before the clock starts
                                         Stopwatch watch;
                                         DisplayColour::toSrgb(copy);
                                         out.add(watch);
                                     },
                                 });
    Figure(QStringLiteral("colour-24mp"))
        .compare(samples.at(1), samples.at(0))
        .add(QStringLiteral("target_ratio"), 0.10)
        .add(QStringLiteral("rounds"), rounds)
        .print();
    return 0;
}
