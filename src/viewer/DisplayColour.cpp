#include "DisplayColour.h"

#include "PngDecode.h"
#include "formats/ByteOrder.h"
#include "ViewerLog.h"

#include <QColorSpace>
#include <QMap>

#include <lcms2.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

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
constexpr int kOne = (1 << 14) - 1;
// The three output channels' linear sums share one 64-bit word, 21 bits each: a
// pixel costs three table reads and two additions instead of nine of each. Every
// term carries kBias, so no field goes negative or borrows from its neighbour for
// matrix entries up to kMaxEntry (sRGB from ProPhoto needs about 2).
constexpr int kFieldBits = 21;
constexpr quint64 kFieldMask = (quint64(1) << kFieldBits) - 1;
constexpr int kBias = 1 << 17;
constexpr double kMaxEntry = 7.5;

// A matrix-shaper profile to sRGB as tables: part[j][v] holds, for input channel j
// at value v, its tone curve times the matrix column j, one field per output
// channel; encode is the sRGB curve from linear light.
struct Shaper
{
    std::array<std::array<quint64, 256>, 3> part;
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
        double column[3];
        for (int i = 0; i < 3; ++i) {
            column[i] = 0;
            for (int k = 0; k < 3; ++k)
                column[i] += toInverse[i][k] * from[k][j];
            if (std::fabs(column[i]) > kMaxEntry)
                return nullptr;
        }
        for (int v = 0; v < 256; ++v) {
            const double linear = cmsEvalToneCurveFloat(curve, cmsFloat32Number(v / 255.0));
            quint64 packed = 0;
            for (int i = 0; i < 3; ++i)
                packed |= quint64(std::lround(column[i] * linear * kOne) + kBias) << (kFieldBits * i);
            shaper->part[j][v] = packed;
        }
    }
    for (int n = 0; n <= kOne; ++n)
        shaper->encode[n] = quint8(std::lround(srgbEncode(double(n) / kOne) * 255.0));
    return shaper;
}

// Output channel i (0 red, 1 green, 2 blue) of a pixel's summed fields.
inline quint32 encoded(const Shaper &shaper, quint64 sum, int i)
{
    const int linear = int((sum >> (kFieldBits * i)) & kFieldMask) - 3 * kBias;
    return shaper.encode[linear < 0 ? 0 : linear > kOne ? kOne : linear];
}

// RGB32 or ARGB32 pixels; alpha is kept.
void apply(const Shaper &shaper, QImage &image)
{
    const auto &red = shaper.part[0], &green = shaper.part[1], &blue = shaper.part[2];
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0, width = image.width(); x < width; ++x) {
            const QRgb pixel = row[x];
            const quint64 sum = red[qRed(pixel)] + green[qGreen(pixel)] + blue[qBlue(pixel)];
            row[x] = (pixel & 0xff000000u) | encoded(shaper, sum, 0) << 16 | encoded(shaper, sum, 1) << 8
                | encoded(shaper, sum, 2);
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

namespace {

// The markers up to the first scan; a profile too long for one APP2 segment comes
// in numbered pieces.
QByteArray jpegProfile(const QByteArray &head)
{
    static const QByteArray kTag("ICC_PROFILE\0", 12);
    QMap<int, QByteArray> pieces;
    int count = 0;
    int at = 2;
    while (at + 4 <= head.size() && quint8(head.at(at)) == 0xFF) {
        const quint8 marker = quint8(head.at(at + 1));
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const int length = int(ByteOrder::bigEndian(head, at + 2, 2));
        if (length < 2 || length > head.size() - at - 2)
            break;
        const QByteArray segment = head.mid(at + 4, length - 2);
        if (marker == 0xE2 && segment.size() > 14 && segment.startsWith(kTag)) {
            pieces.insert(quint8(segment.at(12)), segment.mid(14));
            count = quint8(segment.at(13));
        }
        at += 2 + length;
    }
    QByteArray profile;
    for (int piece = 1; piece <= count; ++piece) {
        if (!pieces.contains(piece))
            return QByteArray();
        profile += pieces.value(piece);
    }
    return profile;
}

// The chunks before the pixels: iCCP is the profile's name, a zero, the method
// (0, deflate) and the packed profile.
QByteArray pngProfile(const QByteArray &head)
{
    int at = 8;
    while (at + 8 <= head.size()) {
        const qint64 length = ByteOrder::bigEndian(head, at, 4);
        const QByteArray type = head.mid(at + 4, 4);
        if (type == "IDAT" || length > head.size() - at - 8)
            break;
        if (type == "iCCP") {
            const QByteArray data = head.mid(at + 8, int(length));
            const int nameEnd = data.indexOf('\0');
            return nameEnd > 0 && nameEnd + 2 < data.size() && data.at(nameEnd + 1) == 0
                ? PngDecode::iccProfile(data.mid(nameEnd + 2))
                : QByteArray();
        }
        at += 12 + int(length);
    }
    return QByteArray();
}

// RIFF chunks, each padded to an even length.
QByteArray webpProfile(const QByteArray &head)
{
    int at = 12;
    while (at + 8 <= head.size()) {
        const qint64 length = ByteOrder::littleEndian(head, at + 4);
        if (length > head.size() - at - 8)
            break;
        if (head.mid(at, 4) == "ICCP")
            return head.mid(at + 8, int(length));
        at += 8 + int(length + (length & 1));
    }
    return QByteArray();
}

// A colr box of an ICC profile ("prof", or "rICC" restricted) among the item
// properties at the start of the file.
QByteArray heifProfile(const QByteArray &head)
{
    for (int at = head.indexOf("colr"); at >= 4; at = head.indexOf("colr", at + 4)) {
        const qint64 size = ByteOrder::bigEndian(head, at - 4, 4);
        const QByteArray kind = head.mid(at + 4, 4);
        if ((kind == "prof" || kind == "rICC") && size > 12 && size <= head.size() - (at - 4))
            return head.mid(at + 8, int(size) - 12);
    }
    return QByteArray();
}

} // namespace

QByteArray embeddedProfile(const QByteArray &head)
{
    QByteArray profile;
    if (head.startsWith("\xFF\xD8"))
        profile = jpegProfile(head);
    else if (head.startsWith("\x89PNG\r\n\x1A\n"))
        profile = pngProfile(head);
    else if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        profile = webpProfile(head);
    else if (head.mid(4, 4) == "ftyp")
        profile = heifProfile(head);
    // Every profile says "acsp" at offset 36.
    return profile.size() > 128 && profile.mid(36, 4) == "acsp" ? profile : QByteArray();
}

QString profileName(const QByteArray &icc)
{
    const Profile profile(
        icc.isEmpty() ? nullptr : cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
    if (!profile)
        return QString();
    const cmsUInt32Number size = cmsGetProfileInfo(profile.get(), cmsInfoDescription, "en", "US", nullptr, 0);
    if (size < sizeof(wchar_t))
        return QString();
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    cmsGetProfileInfo(profile.get(), cmsInfoDescription, "en", "US", text.data(), size);
    return QString::fromWCharArray(text.data()).trimmed();
}

} // namespace DisplayColour
