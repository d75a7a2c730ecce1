#include "formats/Formats.h"

namespace Formats {

namespace {

QStringList split(const char *words)
{
    return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

const QStringList &browseSuffixes()
{
    static const QStringList list
        = split("bmp jpeg jpg ico png tif tiff wbmp webp gif tga avif heic heif jxl jfif raw crw raf cr2 cr3 mrw nef "
                "orf dng pef arw "
                "x3f dcr kdc drf k25 dcs dc2 kc2 crr srf sr2 arq nrw ori ptx 3fr fff ari bay cap eip liq iiq erf mdc "
                "mef mfw mos pxn rwl rw2 gpr srw bmq cs1 dxo rdc rwz sti dib cur eps epsf epsi exr icns jpeg2000 j2k "
                "jp2 jpc jpx jpe jif kra mng ora pbm pcx pgm ppm pnm svg svgz xbm xpm");
    return list;
}

const QStringList &openSuffixes()
{
    static const QStringList list = split(
        "bmp jpeg jpg ico png tif tiff wbmp webp gif tga avif jxl psd jfif jpe jpg-mobile dat heic heif livp raw "
        "crw raf cr2 cr3 mrw nef orf dng pef arw x3f dcr");
    return list;
}

const QStringList &rawSuffixes()
{
    static const QStringList list
        = split("raw crw raf cr2 cr3 mrw nef orf dng pef arw x3f dcr kdc drf k25 dcs dc2 kc2 crr srf sr2 arq nrw ori "
                "ptx 3fr fff ari bay cap eip liq iiq erf mdc mef mfw mos pxn rwl rw2 gpr srw bmq cs1 dxo rdc rwz sti");
    return list;
}

const QStringList &compressSuffixes()
{
    static const QStringList list = split("png jpg jpeg");
    return list;
}

const QStringList &rotateSuffixes()
{
    static const QStringList list = split("bmp jpeg jpg png");
    return list;
}

const QList<QByteArray> &readerFormats()
{
    static const QList<QByteArray> list{"bmp", "jpeg", "jpg",  "png", "tif",  "tiff", "wbmp", "webp", "gif", "tga",
                                        "ico", "cur",  "icns", "jp2", "mng",  "pbm",  "pgm",  "ppm",  "pnm", "xbm",
                                        "xpm", "svg",  "svgz", "psd", "heic", "heif", "avif", "jxl",  "exr", "kra",
                                        "ora", "pcx"};
    return list;
}

void init()
{
    browseSuffixes();
    openSuffixes();
    rawSuffixes();
    compressSuffixes();
    rotateSuffixes();
    readerFormats();
}

bool isRawSuffix(const QString &suffix)
{
    return rawSuffixes().contains(suffix.toLower());
}

} // namespace Formats
