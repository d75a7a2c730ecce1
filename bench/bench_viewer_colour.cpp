// What showing a tagged picture as sRGB adds: a 24 MP JPEG carrying an Adobe RGB
// profile, shown fitted in a maximised viewer. The loader decodes it scaled to the
// display level and converts the colours of that picture alone.
//
//   bench_viewer_colour CACHE_DIR ICC_PROFILE
//
// Figure colour-24mp: value is the conversion as the loader does it when showing
// the file (DisplayColour::toSrgb on the display-level picture), baseline the plain
// full decode of the 24 MP JPEG (QImageReader), ratio the one over the other (by
// wall clock and by CPU time). Beside it, measured in the same rounds: the loads
// at the display level of the tagged file and of the same pixels untagged
// (shown_tagged, shown_untagged), what the profile adds to the load over the full
// decode (added_ratio), and the conversion over the untagged load
// (ratio_to_shown). Rounds alternate all four.

#include "bench_viewer_common.h"

#include "DisplayColour.h"
#include "ImageDecode.h"

#include <QApplication>
#include <QColorSpace>
#include <QImageReader>

using ViewerBench::Figure;
using ViewerBench::Samples;
using ViewerBench::Stopwatch;

namespace {

// The photograph of 6000 x 4000 as a JPEG, tagged with space or untagged.
QString photo(const QString &cache, const QString &name, const QColorSpace &space)
{
    const QString path = QDir(cache).filePath(name);
    if (!QFileInfo::exists(path)) {
        ViewerBench::progress(QStringLiteral("writing %1").arg(path));
        QImage picture = ViewerBench::photoLike(QSize(6000, 4000), false);
        picture.setColorSpace(space);
        if (!picture.save(path, "JPEG", 90))
            return QString();
    }
    return path;
}

} // namespace

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
    const QString tagged = photo(cache, QStringLiteral("tagged-6000x4000.jpg"), wide);
    const QString untagged = photo(cache, QStringLiteral("untagged-6000x4000.jpg"), QColorSpace());
    if (tagged.isEmpty() || untagged.isEmpty())
        return 1;

    const auto decode = [&tagged] {
        QImageReader reader(tagged, "jpeg");
        return reader.read();
    };
    if (!decode().colorSpace().isValid() || decode().colorSpace() == QColorSpace(QColorSpace::SRgb)) {
        ViewerBench::progress(QStringLiteral("%1 carries no wide-gamut profile").arg(tagged));
        return 1;
    }

    // The view of a maximised viewer on a 1920 x 1080 screen (showAtViewerSize).
    ImageDecode::Options shown;
    shown.view = QSize(1920, 960);
    shown.resolution = ImageDecode::Resolution::Display;
    const auto show = [&shown](const QString &path) { return ImageDecode::load(path, shown).image; };
    // The picture the loader converts: the untagged file has the same pixels.
    QImage level = show(untagged);
    level.setColorSpace(wide);
    if (level.isNull() || show(tagged).size() != level.size()) {
        ViewerBench::progress(QStringLiteral("the display level of %1 did not load").arg(tagged));
        return 1;
    }

    const int rounds = ViewerBench::runs(7);
    const auto timed = [](const std::function<void()> &action) {
        return [action](Samples &out) {
            Stopwatch watch;
            action();
            out.add(watch);
        };
    };
    const QVector<Samples> samples = ViewerBench::alternate(
        rounds, {
                    timed([&decode] { decode(); }),
                    [&level](Samples &out) {
                        QImage copy = level.copy(); // its own pixels, written before the clock starts
                        Stopwatch watch;
                        DisplayColour::toSrgb(copy);
                        out.add(watch);
                    },
                    timed([&show, &tagged] { show(tagged); }),
                    timed([&show, &untagged] { show(untagged); }),
                });
    const Samples &fullDecode = samples.at(0), &conversion = samples.at(1);
    const double withProfile = samples.at(2).wallMedian(), withoutProfile = samples.at(3).wallMedian();
    Figure(QStringLiteral("colour-24mp"))
        .compare(conversion, fullDecode)
        .add(QStringLiteral("target_ratio"), 0.10)
        .add(QStringLiteral("level"), QStringLiteral("%1x%2").arg(level.width()).arg(level.height()))
        .add(QStringLiteral("shown_tagged"), withProfile)
        .add(QStringLiteral("shown_untagged"), withoutProfile)
        .add(QStringLiteral("added_ratio"), (withProfile - withoutProfile) / fullDecode.wallMedian())
        .add(QStringLiteral("ratio_to_shown"), conversion.wallMedian() / withoutProfile)
        .add(QStringLiteral("rounds"), rounds)
        .print();
    return 0;
}
