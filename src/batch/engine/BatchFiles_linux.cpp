#include "BatchFilesSystem.h"
#include "batch/engine/BatchFiles.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

namespace BatchFiles {

QList<QByteArray> listFolder(const QByteArray &dir, QList<QByteArray> *folders)
{
    QList<QByteArray> names;
    DIR *handle = ::opendir(dir.constData());
    if (!handle)
        return names;
    while (const dirent *entry = ::readdir(handle)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        const QByteArray path = dir + '/' + name;
        struct stat info = {};
        // Followed: a link to a folder is a folder; a dangling one is listed.
        if (::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
            struct stat own = {};
            if (folders && ::lstat(path.constData(), &own) == 0 && S_ISDIR(own.st_mode))
                folders->append(name);
            continue;
        }
        names << name;
    }
    ::closedir(handle);
    return names;
}

QByteArray bytesOf(const QString &path)
{
    return QFile::encodeName(path);
}

QString pathFromBytes(const QByteArray &bytes)
{
    return QFile::decodeName(bytes);
}

QHash<QString, QByteArray> undecodableArguments(int argc, char *const argv[])
{
    QHash<QString, QByteArray> undecodable;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (!isValidUtf8(bytes))
            undecodable.insert(QString::fromUtf8(bytes), bytes);
    }
    return undecodable;
}

} // namespace BatchFiles
