// Writes the desktop entry with its MimeType line filled from the viewer's suffix
// lists, so "Open With" offers exactly what the viewer opens:
//   quorvane-mimetypes TEMPLATE OUTPUT   (replaces @MIME_TYPES@)
// A suffix counts through the image/* types the MIME database knows for it; a
// suffix with none (jpg-mobile, dat, livp, some RAW makes) has no type to claim,
// and non-image types sharing a suffix (a packet capture's .cap) are not claimed.
// A type is claimed only when the viewer opens it: a camera RAW (LibRaw), or a
// type an installed Qt reader of an allowed format declares. EPS (refused on
// purpose) and types without a reader here (JPEG 2000 on Debian 12) stay out.
#include "formats/Formats.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSet>

#include <algorithm>
#include <cstdio>

namespace {

bool opens(const QString &suffix, const QMimeType &type)
{
    if (Formats::isRawSuffix(suffix))
        return true;
    // A plugin may declare the type by one of its other names (image/x-pcx).
    for (const QString &name : QStringList{type.name()} + type.aliases()) {
        const QList<QByteArray> readers = QImageReader::imageFormatsForMimeType(name.toLatin1());
        if (std::any_of(readers.begin(), readers.end(),
                        [](const QByteArray &format) { return Formats::readerFormats().contains(format.toLower()); }))
            return true;
    }
    return false;
}

QStringList imageTypes()
{
    const QMimeDatabase db;
    QSet<QString> types;
    for (const QStringList *list : {&Formats::browseSuffixes(), &Formats::openSuffixes()}) {
        for (const QString &suffix : *list) {
            const QList<QMimeType> matches = db.mimeTypesForFileName(QStringLiteral("x.") + suffix);
            for (const QMimeType &type : matches) {
                if (type.name().startsWith(QLatin1String("image/")) && opens(suffix, type))
                    types.insert(type.name());
            }
        }
    }
    QStringList sorted(types.begin(), types.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: quorvane-mimetypes TEMPLATE OUTPUT\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv); // the image plugins are found through it
    Formats::init();
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "quorvane-mimetypes: cannot read %s\n", argv[1]);
        return 1;
    }
    QByteArray text = in.readAll();
    const QStringList types = imageTypes();
    if (types.isEmpty()) {
        std::fputs("quorvane-mimetypes: the MIME database knows none of the suffixes\n", stderr);
        return 1;
    }
    text.replace("@MIME_TYPES@", (types.join(QLatin1Char(';')) + QLatin1Char(';')).toUtf8());
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size() || !out.flush()) {
        std::fprintf(stderr, "quorvane-mimetypes: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
