#include "viewer/DisplayColour.h"

#include "viewer/ViewerLog.h"

#include <QColorSpace>

#include <lcms2.h>

#include <array>
#include <cmath>
#include <memory>

namespace DisplayColour {

namespace {

struct ProfileCloser
{
    void operator()(void *profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter
{
    void operator()(void *transform) const { cmsDeleteTransform(transform); }
};

// Linear light in fixed point: 0..kOne.
constexpr int kLinearBits = 14;
constexpr int kOne = (1 << kLinearBits) - 1;
constexpr int kMatrixBits = 12;

// A matrix-shaper profile to sRGB as tables: for output channel i,
// linear_i = sum over inputs j of part[i][j][value_j] (the tone curve and the
// matrix entry folded together), then encoded by the sRGB curve.
struct Shaper
{
    std::array<std::array<std::array<int, 256>, 3>, 3> part;
    std::array<quint8, kOne + 1> encode;
};

using Matrix = std::array<std::array<double, 3>, 3>;

bool colorants(cmsHPROFILE profile, Matrix &columns)
{
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        const auto *xyz = static_cast<const cmsCIEXYZ *>(cmsReadTag(profile, tags[c]));
        if (!xyz)
            return false;
        columns[0][c] = xyz->X;
        columns[1][c] = xyz->Y;
        columns[2][c] = xyz->Z;
    }
    return true;
}

bool inverse(const Matrix &m, Matrix &out)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
        - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::fabs(det) < 1e-12)
        return false;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // The cofactor of (j, i) over the determinant.
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            out[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
    }
    return true;
}

double srgbEncode(double linear)
{
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

// The tables for a matrix-shaper profile, or null when it is not one.
std::unique_ptr<Shaper> shaperFor(cmsHPROFILE source, cmsHPROFILE srgb)
{
    if (!cmsIsMatrixShaper(source))
        return nullptr;
    Matrix from, to, toInverse;
    if (!colorants(source, from) || !colorants(srgb, to) || !inverse(to, toInverse))
        return nullptr;
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    auto shaper = std::make_unique<Shaper>();
    for (int j = 0; j < 3; ++j) {
        const auto *curve = static_cast<const cmsToneCurve *>(cmsReadTag(source, curves[j]));
        if (!curve)
            return nullptr;
        for (int i = 0; i < 3; ++i) {
            double entry = 0;
            for (int k = 0; k < 3; ++k)
                entry += toInverse[i][k] * from[k][j];
            for (int v = 0; v < 256; ++v) {
                const double linear = cmsEvalToneCurveFloat(curve, cmsFloat32Number(v / 255.0));
                shaper->part[i][j][v] = int(std::lround(entry * linear * kOne * (1 << kMatrixBits)));
            }
        }
    }
    for (int n = 0; n <= kOne; ++n)
        shaper->encode[n] = quint8(std::lround(srgbEncode(double(n) / kOne) * 255.0));
    return shaper;
}

inline quint32 encoded(const Shaper &shaper, int sum)
{
    const int linear = (sum + (1 << (kMatrixBits - 1))) >> kMatrixBits;
    return shaper.encode[linear < 0 ? 0 : linear > kOne ? kOne : linear];
}

// RGB32 or ARGB32 pixels; alpha is kept.
void apply(const Shaper &shaper, QImage &image)
{
    const auto &r = shaper.part[0], &g = shaper.part[1], &b = shaper.part[2];
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0, width = image.width(); x < width; ++x) {
            const QRgb pixel = row[x];
            const int red = qRed(pixel), green = qGreen(pixel), blue = qBlue(pixel);
            row[x] = (pixel & 0xff000000u) | encoded(shaper, r[0][red] + r[1][green] + r[2][blue]) << 16
                | encoded(shaper, g[0][red] + g[1][green] + g[2][blue]) << 8
                | encoded(shaper, b[0][red] + b[1][green] + b[2][blue]);
        }
    }
}

} // namespace

bool toSrgb(QImage &image)
{
    const QColorSpace space = image.colorSpace();
    if (image.isNull() || !space.isValid() || space == QColorSpace(QColorSpace::SRgb))
        return false;
    const QByteArray icc = space.iccProfile();
    if (icc.isEmpty())
        return false;
    const Profile source(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData)
        return false;
    const Profile srgb(cmsCreate_sRGBProfile());

    const QImage::Format work = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != work)
        image = std::move(image).convertToFormat(work);
    if (image.isNull())
        return false;

    if (const std::unique_ptr<Shaper> shaper = shaperFor(source.get(), srgb.get())) {
        apply(*shaper, image);
    } else {
        // Profiles built of tables go through lcms2 itself.
        constexpr cmsUInt32Number kPixels = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
        const std::unique_ptr<void, TransformDeleter> transform(cmsCreateTransform(
            source.get(), kPixels, srgb.get(), kPixels, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_COPY_ALPHA));
        if (!transform) {
            qCDebug(lcViewer) << "colour profile not usable, picture shown unconverted";
            return false;
        }
        for (int y = 0; y < image.height(); ++y)
            cmsDoTransform(transform.get(), image.scanLine(y), image.scanLine(y), cmsUInt32Number(image.width()));
    }
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return true;
}

} // namespace DisplayColour
