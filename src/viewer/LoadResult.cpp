#include "viewer/LoadResult.h"

#include <QFile>

#include <sys/stat.h>

QString failureReason(LoadFailure failure)
{
    switch (failure) {
    case LoadFailure::None:
    case LoadFailure::Cancelled: return QString();
    case LoadFailure::NotFound: return QStringLiteral("文件不存在");
    case LoadFailure::NotAFile:
    case LoadFailure::NotImage: return QStringLiteral("不是图片文件");
    case LoadFailure::Empty: return QStringLiteral("文件为空");
    case LoadFailure::Unsupported: return QStringLiteral("不支持的图片格式");
    case LoadFailure::Unreadable: return QStringLiteral("无法读取文件");
    case LoadFailure::Corrupt: return QStringLiteral("文件已损坏");
    case LoadFailure::TooLarge: return QStringLiteral("图片过大");
    }
    return QString();
}

FileStamp FileStamp::of(const QString &path)
{
    FileStamp stamp;
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        stamp.size = info.st_size;
        stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamp.inode = info.st_ino;
    }
    return stamp;
}

qint64 LoadResult::bytes() const
{
    // An animation's image is its first frame, shared.
    if (frames.isEmpty())
        return image.sizeInBytes();
    qint64 total = 0;
    for (const AnimationFrame &frame : frames)
        total += frame.image.sizeInBytes();
    return total;
}
