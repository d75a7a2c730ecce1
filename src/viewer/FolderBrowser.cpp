#include "FolderBrowser.h"

#include "formats/Formats.h"
#include "formats/NaturalOrder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace FolderBrowser {

namespace {

// Matches a file name against the browse suffixes: the text after the last dot, any
// case. A set instead of 88 wildcard patterns, and one reused buffer for the
// lower-cased suffix, so a listing of thousands of names allocates nothing here.
class SuffixFilter
{
public:
    SuffixFilter()
        : suffixes(Formats::browseSuffixes().cbegin(), Formats::browseSuffixes().cend())
    {
        for (const QString &suffix : suffixes)
            longest = qMax(longest, suffix.size());
    }

    bool matches(const QString &name)
    {
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        const int length = name.size() - dot - 1;
        if (dot < 0 || length > longest)
            return false;
        lower.resize(length);
        for (int i = 0; i < length; ++i)
            lower[i] = name.at(dot + 1 + i).toLower();
        return suffixes.contains(lower);
    }

private:
    QSet<QString> suffixes;
    int longest = 0;
    QString lower;
};

// The last folder's listing and its natural order. Every step reads the folder
// again, but while the listing comes back the same (the usual case when stepping
// through a folder) the collation of thousands of names is not redone.
struct LastOrder
{
    QString dirPath;
    QString locale;
    QStringList listed;
    QStringList ordered;
};

QStringList naturalOrder(const QString &dirPath, const QStringList &listed)
{
    static QMutex mutex;
    static LastOrder last;

    const QString locale = NaturalOrder::collationLocale().name();
    {
        const QMutexLocker lock(&mutex);
        if (last.dirPath == dirPath && last.locale == locale && last.listed == listed)
            return last.ordered;
    }
    QStringList ordered = listed;
    NaturalOrder::sort(ordered);
    const QMutexLocker lock(&mutex);
    last = {dirPath, locale, listed, ordered};
    return ordered;
}

#ifdef Q_OS_UNIX
// readdir with the entry type it already carries: a tenth of QDirIterator's work per
// entry, which builds a QFileInfo for each. Same filter as QDir::Files: regular files
// and links to them; no folders, sockets, devices, broken links or hidden names.
bool listUnix(const QString &dirPath, SuffixFilter &filter, QStringList *names)
{
    DIR *dir = opendir(QFile::encodeName(dirPath).constData());
    if (!dir)
        return false;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type != DT_REG) {
            struct stat info;
            if ((entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) || fstatat(fd, entry->d_name, &info, 0) != 0
                || !S_ISREG(info.st_mode))
                continue;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (filter.matches(name))
            names->append(name);
    }
    closedir(dir);
    return true;
}
#endif

} // namespace

QStringList listImageNamesPortable(const QString &dirPath)
{
    SuffixFilter filter;
    QStringList names;
    QDirIterator it(dirPath, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (filter.matches(name))
            names.append(name);
    }
    return names;
}

QStringList listImageNames(const QString &dirPath)
{
#ifdef Q_OS_UNIX
    SuffixFilter filter;
    QStringList names;
    if (listUnix(dirPath, filter, &names))
        return names;
#endif
    return listImageNamesPortable(dirPath);
}

QStringList imageNames(const QString &dirPath)
{
    return naturalOrder(QDir(dirPath).absolutePath(), listImageNames(dirPath));
}

namespace {

QStringList around(const QString &currentPath, const QList<int> &offsets)
{
    const QFileInfo current(currentPath);
    const QDir dir = current.absoluteDir();
    const QStringList names = imageNames(dir.absolutePath());
    const int index = names.indexOf(current.fileName());
    QStringList paths;
    for (int offset : offsets) {
        const int target = index + offset;
        paths.append(target < 0 || target >= names.size() ? QString() : dir.absoluteFilePath(names.at(target)));
    }
    return paths;
}

} // namespace

QString neighbour(const QString &currentPath, int offset)
{
    return around(currentPath, {offset}).constFirst();
}

QStringList neighbours(const QString &currentPath)
{
    return around(currentPath, {1, -1});
}

QString folderEnd(const QString &currentPath, bool last)
{
    const QDir dir = QFileInfo(currentPath).absoluteDir();
    const QStringList names = imageNames(dir.absolutePath());
    if (names.isEmpty())
        return QString();
    return dir.absoluteFilePath(last ? names.constLast() : names.constFirst());
}

Place place(const QString &currentPath)
{
    const QFileInfo current(currentPath);
    const QStringList names = imageNames(current.absolutePath());
    return {int(names.indexOf(current.fileName())) + 1, int(names.size())};
}

QString pictureToOpen(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return path;
    const QDir dir(path);
    const QStringList names = imageNames(dir.absolutePath());
    return names.isEmpty() ? QString() : dir.absoluteFilePath(names.constFirst());
}

} // namespace FolderBrowser
