#include "PictureInfo.h"

#include "formats/Formats.h"
#include "DisplayColour.h"
#include "formats/SizeText.h"
#include "viewer/PictureFacts.h"
#include "ImageDecode.h"
#include "PictureMemory.h"
#include "RawClient.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>

#include <cmath>
#include <memory>

namespace PictureInfo {

namespace {

// The camera's facts, whichever library read them.
struct Shot
{
    QString taken;
    QString camera;
    QString lens;
    double exposure = 0;
    double aperture = 0;
    double iso = 0;
    double focalLength = 0;
    bool hasGps = false;
    double latitude = 0;
    double longitude = 0;
};

QString number(double value)
{
    // One decimal at most, none when whole: 2.8, 8, 4.2.
    return QString::number(std::round(value * 10) / 10, 'g', 6);
}

// "Canon Canon EOS 5D" reads "Canon EOS 5D".
QString cameraName(const QString &make, const QString &model)
{
    if (make.isEmpty() || model.startsWith(make, Qt::CaseInsensitive))
        return model;
    return model.isEmpty() ? make : make + QLatin1Char(' ') + model;
}

// --- EXIF through libexif ------------------------------------------------------

struct ExifFree
{
    void operator()(ExifData *data) const { exif_data_unref(data); }
};
using ExifPtr = std::unique_ptr<ExifData, ExifFree>;

class Exif
{
public:
    // From the file's first bytes, as libexif's own file reader finds it there.
    explicit Exif(const QByteArray &head)
    {
        ExifLoader *loader = exif_loader_new();
        if (!loader)
            return;
        exif_loader_write(loader, reinterpret_cast<unsigned char *>(const_cast<char *>(head.constData())),
                          unsigned(head.size()));
        data.reset(exif_loader_get_data(loader));
        exif_loader_unref(loader);
    }

    bool isNull() const { return !data; }

    QString text(ExifIfd ifd, ExifTag tag) const
    {
        const ExifEntry *entry = find(ifd, tag);
        if (!entry || entry->format != EXIF_FORMAT_ASCII || !entry->data)
            return QString();
        const QByteArray bytes(reinterpret_cast<const char *>(entry->data), int(entry->size));
        return QString::fromUtf8(bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0'))).trimmed();
    }

    double rational(ExifIfd ifd, ExifTag tag, unsigned index = 0) const
    {
        const ExifEntry *entry = find(ifd, tag);
        if (!entry || entry->format != EXIF_FORMAT_RATIONAL || entry->components <= index)
            return 0;
        const ExifRational r = exif_get_rational(entry->data + 8 * index, order());
        return r.denominator ? double(r.numerator) / r.denominator : 0;
    }

    double integer(ExifIfd ifd, ExifTag tag) const
    {
        const ExifEntry *entry = find(ifd, tag);
        if (!entry || entry->components < 1)
            return 0;
        if (entry->format == EXIF_FORMAT_SHORT)
            return exif_get_short(entry->data, order());
        if (entry->format == EXIF_FORMAT_LONG)
            return exif_get_long(entry->data, order());
        return 0;
    }

    // Degrees from the three rationals of a GPS position and its N/S/E/W reference.
    double degrees(ExifTag tag, ExifTag refTag, bool *ok) const
    {
        const ExifEntry *entry = find(EXIF_IFD_GPS, tag);
        const QString ref = text(EXIF_IFD_GPS, refTag);
        *ok = entry && entry->components >= 3 && !ref.isEmpty();
        if (!*ok)
            return 0;
        const double value = rational(EXIF_IFD_GPS, tag, 0) + rational(EXIF_IFD_GPS, tag, 1) / 60
                             + rational(EXIF_IFD_GPS, tag, 2) / 3600;
        return ref == QLatin1String("S") || ref == QLatin1String("W") ? -value : value;
    }

private:
    const ExifEntry *find(ExifIfd ifd, ExifTag tag) const { return exif_content_get_entry(data->ifd[ifd], tag); }
    ExifByteOrder order() const { return exif_data_get_byte_order(data.get()); }

    ExifPtr data;
};

bool readExif(const QByteArray &head, Shot *shot)
{
    const Exif exif(head);
    if (exif.isNull())
        return false;
    shot->taken = exifDateText(exif.text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL));
    if (shot->taken.isEmpty())
        shot->taken = exifDateText(exif.text(EXIF_IFD_0, EXIF_TAG_DATE_TIME));
    shot->camera = cameraName(exif.text(EXIF_IFD_0, EXIF_TAG_MAKE), exif.text(EXIF_IFD_0, EXIF_TAG_MODEL));
    shot->lens = exif.text(EXIF_IFD_EXIF, EXIF_TAG_LENS_MODEL);
    shot->exposure = exif.rational(EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME);
    shot->aperture = exif.rational(EXIF_IFD_EXIF, EXIF_TAG_FNUMBER);
    shot->iso = exif.integer(EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS);
    shot->focalLength = exif.rational(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH);
    bool latOk = false;
    bool lonOk = false;
    shot->latitude = exif.degrees(ExifTag(EXIF_TAG_GPS_LATITUDE), ExifTag(EXIF_TAG_GPS_LATITUDE_REF), &latOk);
    shot->longitude = exif.degrees(ExifTag(EXIF_TAG_GPS_LONGITUDE), ExifTag(EXIF_TAG_GPS_LONGITUDE_REF), &lonOk);
    shot->hasGps = latOk && lonOk;
    return true;
}

// --- camera RAW through LibRaw ----------------------------------------------------

bool readRaw(const QString &path, Shot *shot, QSize *pixels, const std::function<bool()> &cancelled)
{
    // The header is read in the decoder process too: LibRaw's parsers are no safer
    // for the panel than for the picture.
    RawClient::Request request;
    request.path = path;
    request.develop = [](const QSize &) { return RawClient::Develop::None; };
    const RawClient::Result raw = RawClient::decode(request, cancelled);
    if (raw.failure != LoadFailure::None)
        return false;
    const RawDecode::Metadata &meta = raw.metadata;
    if (!pixels->isValid())
        *pixels = raw.fullSize;
    if (meta.timestamp > 0)
        shot->taken = QDateTime::fromSecsSinceEpoch(meta.timestamp).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    shot->camera
        = cameraName(QString::fromUtf8(meta.make).trimmed(), QString::fromUtf8(meta.model).trimmed());
    shot->lens = QString::fromUtf8(meta.lens).trimmed();
    shot->exposure = meta.shutter;
    shot->aperture = meta.aperture;
    shot->iso = meta.iso;
    shot->focalLength = meta.focalLength;
    shot->hasGps = meta.hasGps != 0;
    shot->latitude = meta.latitude;
    shot->longitude = meta.longitude;
    return true;
}

// Where the formats keep their EXIF, colour profile and size: the first bytes.
constexpr qint64 kHeadBytes = 1024 * 1024;

void add(QVector<Row> *rows, const QString &label, const QString &value)
{
    if (!value.isEmpty())
        rows->append({label, value});
}

} // namespace

QString exposureText(double seconds)
{
    if (seconds <= 0)
        return QString();
    if (seconds < 0.5)
        return QStringLiteral("1/%1 s").arg(qRound(1 / seconds));
    return number(seconds) + QStringLiteral(" s");
}

QString apertureText(double fNumber)
{
    return fNumber > 0 ? QStringLiteral("f/") + number(fNumber) : QString();
}

QString focalLengthText(double mm)
{
    return mm > 0 ? number(mm) + QStringLiteral(" mm") : QString();
}

QString gpsText(double latitude, double longitude)
{
    return QStringLiteral("%1, %2").arg(latitude, 0, 'f', 6).arg(longitude, 0, 'f', 6);
}

namespace {

QDateTime parseExifDate(const QString &exifDate)
{
    return QDateTime::fromString(exifDate, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
}

} // namespace

qint64 takenTime(const QString &path)
{
    PictureMemory::Bytes bytes;
    if (ImageDecode::readRegularFile(path, &bytes, kTakenBytes) != LoadFailure::None)
        return -1;
    const Exif exif(bytes.view());
    if (exif.isNull())
        return -1;
    QDateTime time = parseExifDate(exif.text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL));
    if (!time.isValid())
        time = parseExifDate(exif.text(EXIF_IFD_0, EXIF_TAG_DATE_TIME));
    return time.isValid() ? time.toMSecsSinceEpoch() : -1;
}

QString exifDateText(const QString &exifDate)
{
    const QDateTime time = parseExifDate(exifDate);
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString value(const QVector<Row> &rows, const QString &label)
{
    for (const Row &row : rows) {
        if (row.label == label)
            return row.value;
    }
    return QString();
}

QVector<Row> pathRows(const QString &path)
{
    const QFileInfo info(path);
    QVector<Row> rows;
    add(&rows, QStringLiteral("文件名"), info.fileName());
    add(&rows, QStringLiteral("文件夹"), QDir::toNativeSeparators(info.absolutePath()));
    return rows;
}

QVector<Row> read(const QString &path, const QSize &pixels, const std::function<bool()> &cancelled)
{
    const QFileInfo info(path);
    QSize size = pixels;
    Shot shot;
    const bool raw = Formats::rawSuffixes().contains(info.suffix().toLower());
    QString format;
    QString profile;
    // Only a regular file is read (a FIFO named like a picture would wait for a
    // writer), opened once without blocking; the file's own rows still show.
    if (raw) {
        if (info.isFile())
            readRaw(path, &shot, &size, cancelled);
        format = QStringLiteral("RAW (%1)").arg(info.suffix().toUpper());
    } else {
        PictureMemory::Bytes bytes;
        if (ImageDecode::readRegularFile(path, &bytes, kHeadBytes) == LoadFailure::None) {
            const QByteArray head = bytes.view();
            readExif(head, &shot);
            QBuffer buffer;
            buffer.setData(head);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            format = QString::fromLatin1(reader.format()).toUpper();
            profile = DisplayColour::profileName(DisplayColour::embeddedProfile(head));
            if (!size.isValid())
                size = reader.size();
        }
    }

    QVector<Row> rows = pathRows(path);
    add(&rows, QStringLiteral("拍摄时间"), shot.taken);
    if (size.isValid() && !size.isEmpty())
        add(&rows, QStringLiteral("像素尺寸"), QStringLiteral("%1×%2").arg(size.width()).arg(size.height()));
    if (info.exists())
        add(&rows, QStringLiteral("文件大小"), sizeText(info.size()));
    add(&rows, QStringLiteral("格式"), format);
    add(&rows, QStringLiteral("色彩配置"), profile);
    add(&rows, QStringLiteral("相机"), shot.camera);
    add(&rows, QStringLiteral("镜头"), shot.lens);
    add(&rows, QStringLiteral("曝光时间"), exposureText(shot.exposure));
    add(&rows, QStringLiteral("光圈"), apertureText(shot.aperture));
    add(&rows, QStringLiteral("ISO"), shot.iso > 0 ? QString::number(qRound(shot.iso)) : QString());
    add(&rows, QStringLiteral("焦距"), focalLengthText(shot.focalLength));
    if (shot.hasGps)
        add(&rows, QStringLiteral("GPS 位置"), gpsText(shot.latitude, shot.longitude));
    return rows;
}

} // namespace PictureInfo
