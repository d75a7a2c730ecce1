#include "thumbnails/ThumbnailCache.h"

#include "ThumbnailsLog.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QProcessEnvironment>
#include <QTemporaryFile>

#include <array>
#include <cstdio>

namespace {

constexpr std::array<ThumbnailSize, 4> kSizes = {ThumbnailSize::Normal, ThumbnailSize::Large,
                                                 ThumbnailSize::XLarge, ThumbnailSize::XXLarge};

const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");
const QString kSizeKey = QStringLiteral("Thumb::Size");
const QString kMimeKey = QStringLiteral("Thumb::Mimetype");

// The cache's folders are the user's alone; a folder that already exists is left as
// its owner set it.
bool makePrivateDir(const QString &path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    if (!QDir().mkdir(path) && !dir.exists())
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString failureFolder()
{
    return QStringLiteral("fail/quorvane-" QUORVANE_VERSION);
}

} // namespace

SourceStamp SourceStamp::of(const QString &path)
{
    const QFileInfo info(path);
    SourceStamp stamp;
    if (!info.isFile())
        return stamp;
    stamp.mtime = info.lastModified().toSecsSinceEpoch();
    stamp.size = info.size();
    return stamp;
}

namespace Thumbnails {

ThumbnailSize sizeFor(int devicePixels)
{
    for (const ThumbnailSize size : kSizes) {
        if (devicePixels <= pixels(size))
            return size;
    }
    return ThumbnailSize::XXLarge;
}

int pixels(ThumbnailSize size)
{
    return int(size);
}

QString folderName(ThumbnailSize size)
{
    switch (size) {
    case ThumbnailSize::Normal: return QStringLiteral("normal");
    case ThumbnailSize::Large: return QStringLiteral("large");
    case ThumbnailSize::XLarge: return QStringLiteral("x-large");
    case ThumbnailSize::XXLarge: return QStringLiteral("xx-large");
    }
    return QStringLiteral("normal");
}

QByteArray fileUri(const QString &path)
{
    // The bytes GLib's g_filename_to_uri leaves as they are in a path; the
    // unreserved ones (letters, digits, - . _ ~) Qt leaves anyway.
    const QByteArray local = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    return QByteArrayLiteral("file://") + local.toPercentEncoding(QByteArrayLiteral("!$&'()*+,/:=@"));
}

QString fileName(const QByteArray &uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
}

bool matches(const QImage &thumbnail, const QByteArray &uri, const SourceStamp &stamp)
{
    if (thumbnail.isNull() || !stamp.isValid() || thumbnail.text(kUriKey).toUtf8() != uri)
        return false;
    bool ok = false;
    const qint64 mtime = thumbnail.text(kMTimeKey).trimmed().toLongLong(&ok);
    if (!ok || mtime != stamp.mtime)
        return false;
    const QString size = thumbnail.text(kSizeKey).trimmed();
    return size.isEmpty() || size.toLongLong() == stamp.size;
}

} // namespace Thumbnails

ThumbnailCache::ThumbnailCache(const QString &root)
    : base(root.isEmpty() ? defaultRoot() : QDir::cleanPath(root))
{
}

QString ThumbnailCache::defaultRoot()
{
    QString cache = QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CACHE_HOME")).trimmed();
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(cache + QStringLiteral("/thumbnails"));
}

bool ThumbnailCache::holds(const QString &file) const
{
    return QDir::cleanPath(QFileInfo(file).absoluteFilePath()).startsWith(base + QLatin1Char('/'));
}

QString ThumbnailCache::pathFor(const QString &file, ThumbnailSize size) const
{
    return base + QLatin1Char('/') + Thumbnails::folderName(size) + QLatin1Char('/')
        + Thumbnails::fileName(Thumbnails::fileUri(file));
}

QString ThumbnailCache::failurePathFor(const QString &file) const
{
    return base + QLatin1Char('/') + failureFolder() + QLatin1Char('/')
        + Thumbnails::fileName(Thumbnails::fileUri(file));
}

QImage ThumbnailCache::find(const QString &file, ThumbnailSize size, const SourceStamp &stamp) const
{
    if (!stamp.isValid())
        return {};
    const QByteArray uri = Thumbnails::fileUri(file);
    for (const ThumbnailSize candidate : kSizes) {
        if (candidate < size)
            continue;
        QImageReader reader(pathFor(file, candidate), "png");
        const QImage image = reader.read();
        if (!Thumbnails::matches(image, uri, stamp))
            continue;
        const int side = Thumbnails::pixels(size);
        if (image.width() <= side && image.height() <= side)
            return image;
        return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return {};
}

bool ThumbnailCache::store(const QString &file, ThumbnailSize size, const QImage &thumbnail,
                           const SourceStamp &stamp, const QString &mimeType) const
{
    if (thumbnail.isNull() || !stamp.isValid() || holds(file))
        return false;
    QImage keyed = thumbnail;
    keyed.setText(kUriKey, QString::fromUtf8(Thumbnails::fileUri(file)));
    keyed.setText(kMTimeKey, QString::number(stamp.mtime));
    keyed.setText(kSizeKey, QString::number(stamp.size));
    if (!mimeType.isEmpty())
        keyed.setText(kMimeKey, mimeType);
    keyed.setText(QStringLiteral("Software"), QStringLiteral("Quorvane " QUORVANE_VERSION));
    return write(pathFor(file, size), keyed);
}

bool ThumbnailCache::storeFailure(const QString &file, const SourceStamp &stamp) const
{
    if (!stamp.isValid() || holds(file))
        return false;
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    mark.setText(kUriKey, QString::fromUtf8(Thumbnails::fileUri(file)));
    mark.setText(kMTimeKey, QString::number(stamp.mtime));
    mark.setText(kSizeKey, QString::number(stamp.size));
    return write(failurePathFor(file), mark);
}

bool ThumbnailCache::hasFailure(const QString &file, const SourceStamp &stamp) const
{
    QImageReader reader(failurePathFor(file), "png");
    return Thumbnails::matches(reader.read(), Thumbnails::fileUri(file), stamp);
}

bool ThumbnailCache::write(const QString &path, const QImage &image) const
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!makePrivateDir(base) || !makePrivateDir(folder)) {
        qCDebug(lcThumbnails) << "cannot make" << folder;
        return false;
    }
    // Written beside its place (created 0600) and renamed over it: a reader sees the
    // old thumbnail or the new one, never half of one.
    QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return false;
    QImageWriter writer(&temp, "png");
    if (!writer.write(image) || !temp.flush()) {
        qCDebug(lcThumbnails) << "cannot write" << path << writer.errorString();
        return false;
    }
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        qCDebug(lcThumbnails) << "cannot rename into" << path;
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}
