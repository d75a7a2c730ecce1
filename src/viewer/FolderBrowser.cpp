#include "viewer/FolderBrowser.h"

#include "app/Formats.h"
#include "viewer/NaturalOrder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace FolderBrowser {

QStringList imageNames(const QString &dirPath)
{
    // A suffix set instead of 88 wildcard patterns: same matches ("*.jpg" against the
    // text after the last dot, case ignored), one lookup per file.
    const QSet<QString> suffixes(Formats::browseSuffixes().cbegin(), Formats::browseSuffixes().cend());

    const QStringList all = QDir(dirPath).entryList(QDir::Files, QDir::NoSort);
    QStringList names;
    for (const QString &name : all) {
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0 && suffixes.contains(name.mid(dot + 1).toLower()))
            names.append(name);
    }
    NaturalOrder::sort(names);
    return names;
}

QString neighbour(const QString &currentPath, int offset)
{
    const QFileInfo current(currentPath);
    const QDir dir = current.absoluteDir();
    const QStringList names = imageNames(dir.absolutePath());
    const int index = names.indexOf(current.fileName());
    const int target = index + offset;
    if (target < 0 || target >= names.size())
        return QString();
    return dir.absoluteFilePath(names.at(target));
}

} // namespace FolderBrowser
