#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails): what a file
// manager made serves the viewer, and what the viewer makes serves the file manager.
// Stateless beyond its root, so any thread may use one.

// The cache's sizes, named by their folders; the value is the longest side in pixels.
enum class ThumbnailSize {
    Normal = 128,
    Large = 256,
    XLarge = 512,
    XXLarge = 1024,
};

// What a thumbnail is checked against: the file's modification time in whole
// seconds and its size in bytes.
struct SourceStamp
{
    qint64 mtime = -1;
    qint64 size = -1;

    static SourceStamp of(const QString &path);
    bool isValid() const { return mtime >= 0; }
};

namespace Thumbnails {

// The smallest size whose pixels cover a cell shown devicePixels wide (the largest
// size beyond that).
ThumbnailSize sizeFor(int devicePixels);
int pixels(ThumbnailSize size);
QString folderName(ThumbnailSize size);

// A local file's URI as the desktop writes it (every byte outside the path-safe set
// percent-encoded, upper-case hex): the thumbnail's name is its MD5, so a URI encoded
// any other way names a different thumbnail.
QByteArray fileUri(const QString &path);
// The thumbnail's file name for a URI: the MD5 of the URI in lower-case hex, ".png".
QString fileName(const QByteArray &uri);

// Whether the keys a thumbnail carries describe this file as it is now: the same
// URI and MTime, and the same Size when the thumbnail names one.
bool matches(const QImage &thumbnail, const QByteArray &uri, const SourceStamp &stamp);

} // namespace Thumbnails

class ThumbnailCache
{
public:
    // root is the thumbnails folder itself; defaultRoot() when empty.
    explicit ThumbnailCache(const QString &root = QString());

    // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when it is unset or blank.
    static QString defaultRoot();

    QString root() const { return base; }
    // Whether file lies in the cache itself: its thumbnails are never stored (a view
    // of a cache folder would otherwise fill the folder it shows).
    bool holds(const QString &file) const;
    QString pathFor(const QString &file, ThumbnailSize size) const;
    QString failurePathFor(const QString &file) const;

    // A thumbnail of file that is still valid: of this size, else of a larger one
    // scaled down to this size; null when there is none.
    QImage find(const QString &file, ThumbnailSize size, const SourceStamp &stamp) const;

    // Stores thumbnail (already within the size) with its keys, atomically, readable
    // by the user only. False when it could not be written (nothing is left behind).
    bool store(const QString &file, ThumbnailSize size, const QImage &thumbnail, const SourceStamp &stamp,
               const QString &mimeType = QString()) const;

    // A file no thumbnail could be made of, recorded under fail/ for this program so
    // it is not tried again until it changes.
    bool storeFailure(const QString &file, const SourceStamp &stamp) const;
    bool hasFailure(const QString &file, const SourceStamp &stamp) const;

private:
    bool write(const QString &path, const QImage &image) const;

    QString base;
};
