#pragma once

#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// What a load ends with, shown in the view under "无法显示此图片".
enum class LoadFailure {
    None,
    NotFound,
    NotAFile, // a folder, FIFO, device or socket: never opened
    Unreadable,
    Empty, // zero bytes
    NotImage,
    Unsupported, // a picture format this machine has no decoder for
    Corrupt,
    TooLarge,
    Cancelled, // no longer wanted; never shown
};

// The one-line reason shown under the message.
QString failureReason(LoadFailure failure);

enum class LoadStage {
    Preview, // a first picture while the load goes on: a RAW file's embedded preview, or an unfiltered decode
    Full, // the load's final picture: the display level it asked for, or the full resolution
    Failed,
};

struct AnimationFrame
{
    QImage image;
    int delayMs = 100;
};

// Size, modification time (to the nanosecond) and inode of a file when it was read:
// a cached picture is used only while all are unchanged. A rewrite of the same size
// within one second, or a file renamed over it, is caught.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;

    static FileStamp of(const QString &path);
    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp &other) const
    {
        return size == other.size && modifiedNs == other.modifiedNs && inode == other.inode;
    }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

// One load's outcome, crossing from the loader's threads to the view whole.
struct LoadResult
{
    QString path;
    quint64 generation = 0;
    LoadStage stage = LoadStage::Failed;
    QImage image; // upright; smaller than fullSize for a preview or a display level
    QSize fullSize; // upright size of the full picture
    QVector<AnimationFrame> frames; // more than one for an animation; image is the first
    int loopCount = 0; // QImageReader's meaning: -1 for ever, 0 once, n extra rounds
    bool framesCut = false; // the animation has more frames than are held: the first ones play
    LoadFailure failure = LoadFailure::None;
    bool incomplete = false; // the file ends before the picture does: what was there is shown
    FileStamp stamp;
    QStringList warnings; // what the decoder reported for this picture

    qint64 bytes() const;
    // The image holds every pixel of the picture (not a reduced level).
    bool isFullResolution() const { return !image.isNull() && image.size() == fullSize; }
};

Q_DECLARE_METATYPE(LoadResult)
Q_DECLARE_METATYPE(LoadFailure)
