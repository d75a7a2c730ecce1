#pragma once

#include <QDateTime>
#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>
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
    Preview, // decoded at the fitted size, or a RAW file's embedded preview
    Full, // the whole picture at full resolution
    Failed,
};

struct AnimationFrame
{
    QImage image;
    int delayMs = 100;
};

// Size and modification time of a file when it was read: a cached picture is used
// only while both are unchanged.
struct FileStamp
{
    qint64 size = -1;
    QDateTime modified;

    static FileStamp of(const QString &path);
    bool operator==(const FileStamp &other) const { return size == other.size && modified == other.modified; }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

// One load's outcome, crossing from the loader's threads to the view whole.
struct LoadResult
{
    QString path;
    quint64 generation = 0;
    LoadStage stage = LoadStage::Failed;
    QImage image; // upright; a preview is smaller than fullSize
    QSize fullSize; // upright size of the full picture
    QVector<AnimationFrame> frames; // more than one for an animation; image is the first
    int loopCount = 0; // QImageReader's meaning: -1 for ever, 0 once, n extra rounds
    LoadFailure failure = LoadFailure::None;
    bool incomplete = false; // the file ends before the picture does: what was there is shown
    FileStamp stamp;

    qint64 bytes() const;
};

Q_DECLARE_METATYPE(LoadResult)
Q_DECLARE_METATYPE(LoadFailure)
