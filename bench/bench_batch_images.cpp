// Writes photo-like JPEG files for the batch benchmark: smooth colour fields, a few
// soft shapes and sensor-like noise, so that PNG encoding costs about what it
// costs on a real photo (flat test patterns compress far too well).
//
//   bench_batch_images OUTDIR COUNT WIDTH HEIGHT
//
// Writes OUTDIR/img-0001.jpg ... ; files that already exist are kept.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QtMath>

#include <cstdio>
#include <vector>

namespace {

struct Random
{
    quint64 state;
    quint32 next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return quint32(state >> 16);
    }
    double unit() { return next() / 4294967296.0; }
};

// One channel's smooth field along an axis: a sum of a few waves.
std::vector<float> wave(int length, Random &random)
{
    std::vector<float> values(length);
    const double f1 = 0.5 + 2.5 * random.unit(), f2 = 3 + 6 * random.unit();
    const double p1 = 6.28 * random.unit(), p2 = 6.28 * random.unit();
    for (int i = 0; i < length; ++i) {
        const double t = double(i) / length * 6.283;
        values[i] = float(45 * qSin(f1 * t + p1) + 15 * qSin(f2 * t + p2));
    }
    return values;
}

QImage photo(int width, int height, quint64 seed)
{
    Random random{seed * 0x9E3779B97F4A7C15ull + 1};
    QImage image(width, height, QImage::Format_RGB32);
    std::vector<float> columns[3], rows[3];
    int base[3];
    for (int c = 0; c < 3; ++c) {
        columns[c] = wave(width, random);
        rows[c] = wave(height, random);
        base[c] = 70 + int(random.unit() * 110);
    }
    struct Blob
    {
        double x, y, r;
        int colour[3];
    };
    std::vector<Blob> blobs(12);
    for (Blob &blob : blobs) {
        blob.x = random.unit() * width;
        blob.y = random.unit() * height;
        blob.r = (0.05 + 0.2 * random.unit()) * width;
        for (int &c : blob.colour)
            c = int(random.unit() * 120) - 60;
    }
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = base[c] + int(columns[c][x] + rows[c][y]);
            for (const Blob &blob : blobs) {
                const double dx = x - blob.x, dy = y - blob.y, d2 = dx * dx + dy * dy, r2 = blob.r * blob.r;
                if (d2 < r2) {
                    const double w = 1 - d2 / r2;
                    for (int c = 0; c < 3; ++c)
                        v[c] += int(w * blob.colour[c]);
                }
            }
            const quint32 noise = random.next();
            for (int c = 0; c < 3; ++c)
                v[c] = qBound(0, v[c] + int((noise >> (c * 8)) & 15) - 8, 255);
            line[x] = qRgb(v[0], v[1], v[2]);
        }
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: bench_batch_images OUTDIR COUNT WIDTH HEIGHT\n");
        return 2;
    }
    const QDir dir(args[1]);
    const int count = args[2].toInt(), width = args[3].toInt(), height = args[4].toInt();
    if (!dir.mkpath(QStringLiteral(".")) || count < 0 || width < 1 || height < 1)
        return 2;
    for (int i = 1; i <= count; ++i) {
        const QString path = dir.filePath(QStringLiteral("img-%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
        if (QFileInfo::exists(path))
            continue;
        const QString part = path + QStringLiteral(".part.jpg");
        if (!photo(width, height, quint64(i)).save(part, "JPEG", 92) || !QDir().rename(part, path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
