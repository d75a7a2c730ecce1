#include "MetadataStrip.h"

#include <QRegularExpression>

#include <libexif/exif-data.h>

#include <cstdlib>

namespace MetadataStrip {

namespace {

// The names of the values ImageMagick parsed ("exif:Make", "xmp:GPSLongitude",
// "exif:GPSInfo"); only those naming a position when locationOnly.
QStringList parsedNames(const QString &printed, bool locationOnly)
{
    static const QRegularExpression any(QStringLiteral("^((?:exif|xmp):[A-Za-z0-9]+)="),
                                        QRegularExpression::MultilineOption);
    static const QRegularExpression location(QStringLiteral("^((?:exif|xmp):GPS[A-Za-z0-9]*)="),
                                             QRegularExpression::MultilineOption);
    QStringList names;
    auto matches = (locationOnly ? location : any).globalMatch(printed);
    while (matches.hasNext())
        names << matches.next().captured(1);
    names.removeDuplicates();
    return names;
}

QStringList unset(const QStringList &names)
{
    QStringList args;
    for (const QString &name : names)
        args << QStringLiteral("+set") << name;
    return args;
}

} // namespace

bool needsProbe(Metadata metadata, const QString &fmt)
{
    return metadata == Metadata::NoLocation || (metadata == Metadata::None && fmt == QLatin1String("png"));
}

QStringList probeArgs(const QString &input, const QString &exifPath)
{
    return {QStringLiteral("-ping"), input + QStringLiteral("[0]"), QStringLiteral("-print"),
            QStringLiteral("%[exif:*]%[xmp:*]"), QStringLiteral("exif:") + exifPath};
}

QByteArray withoutLocation(const QByteArray &exif, bool upright)
{
    ExifData *data = exif_data_new();
    if (!data)
        return QByteArray();
    // Tags libexif does not know and the maker's notes stay as they are.
    exif_data_unset_option(data, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data, reinterpret_cast<const unsigned char *>(exif.constData()), unsigned(exif.size()));
    ExifContent *gps = data->ifd[EXIF_IFD_GPS];
    while (gps && gps->count > 0)
        exif_content_remove_entry(gps, gps->entries[gps->count - 1]);
    if (upright) {
        if (ExifEntry *entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION)) {
            if (entry->format == EXIF_FORMAT_SHORT && entry->components == 1 && entry->data)
                exif_set_short(entry->data, exif_data_get_byte_order(data), 1);
        }
    }
    unsigned char *bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data, &bytes, &size);
    exif_data_unref(data);
    // More than the "Exif\0\0" header and an empty TIFF structure.
    const QByteArray result = bytes && size > 6 + 8 ? QByteArray(reinterpret_cast<const char *>(bytes), int(size))
                                                    : QByteArray();
    std::free(bytes);
    return result;
}

bool hasLocation(const QString &printed)
{
    return !parsedNames(printed, true).isEmpty();
}

QStringList args(Metadata metadata, const QString &printed, const QString &carrierPath)
{
    switch (metadata) {
    case Metadata::Keep:
        return {};
    case Metadata::None:
        return unset(parsedNames(printed, false));
    case Metadata::NoLocation:
        break;
    }
    const QStringList names = parsedNames(printed, true);
    if (names.isEmpty())
        return {};
    // The source's block goes first: a new one would be written beside it.
    QStringList args{QStringLiteral("+profile"), QStringLiteral("exif")};
    if (!carrierPath.isEmpty())
        args << QStringLiteral("-profile") << QStringLiteral("jpeg:") + carrierPath;
    args << unset(names);
    if (!names.filter(QRegularExpression(QStringLiteral("^xmp:"))).isEmpty())
        args << QStringLiteral("+profile") << QStringLiteral("xmp");
    return args;
}

} // namespace MetadataStrip
