#include "FolderBrowser.h"

#include "formats/Formats.h"
#include "formats/NaturalOrder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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

#ifdef Q_OS_UNIX
// readdir with the entry type it already carries: a tenth of QDirIterator's work per
// entry, which builds a QFileInfo for each. Same filter as QDir::Files: regular files
// and links to them; no folders, sockets, devices, broken links or hidden names.
bool listUnix(const QString &dirPath, SuffixFilter &filter, QVector<Listed> *listed)
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
            listed->append({name, quint64(entry->d_ino)});
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

QVector<Listed> listImages(const QString &dirPath, bool *ok)
{
    if (ok)
        *ok = true;
    QVector<Listed> listed;
#ifdef Q_OS_UNIX
    SuffixFilter filter;
    if (listUnix(dirPath, filter, &listed))
        return listed;
    listed.clear();
#endif
    if (ok)
        *ok = QFileInfo(dirPath).isDir();
    for (const QString &name : listImageNamesPortable(dirPath))
        listed.append({name, 0});
    return listed;
}

QStringList listImageNames(const QString &dirPath)
{
    QStringList names;
    for (const Listed &entry : listImages(dirPath))
        names.append(entry.name);
    return names;
}

QStringList imageNames(const QString &dirPath)
{
    QStringList names = listImageNames(dirPath);
    NaturalOrder::sort(names);
    return names;
}

} // namespace FolderBrowser
