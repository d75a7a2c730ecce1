#include "process/ToolLocator.h"

#include <QCoreApplication>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

namespace ToolLocator {

namespace {

QBasicMutex overrideMutex;
QHash<int, QString> overrides;

QString firstFound(const QString &appDir, const QStringList &inAppDir, const QStringList &onPath,
                   const IsExecutableFn &isExecutable, const FindOnPathFn &findOnPath, Platform platform)
{
    // The PATH lookup adds Windows' suffixes itself; a file in a folder is named whole.
    const QString suffix = platform == Platform::Windows ? QStringLiteral(".exe") : QString();
    for (const QString &name : inAppDir) {
        const QString path = QDir::cleanPath(appDir + QLatin1Char('/') + name + suffix);
        if (isExecutable(path))
            return path;
    }
    for (const QString &name : onPath) {
        const QString path = findOnPath(name);
        if (!path.isEmpty())
            return path;
    }
    return appDir + QLatin1Char('/') + inAppDir.first() + suffix;
}

} // namespace

QString locate(Tool tool, const QString &appDir, const IsExecutableFn &isExecutable, const FindOnPathFn &findOnPath,
               Platform platform)
{
    switch (tool) {
    case Tool::ImageMagick:
        return firstFound(appDir, {QStringLiteral("magick")},
                          platform == Platform::Windows
                              ? QStringList{QStringLiteral("magick")}
                              : QStringList{QStringLiteral("magick"), QStringLiteral("convert")},
                          isExecutable, findOnPath, platform);
    case Tool::Pngquant:
        return firstFound(appDir, {QStringLiteral("pngquant.2.12.3"), QStringLiteral("pngquant")},
                          {QStringLiteral("pngquant")}, isExecutable, findOnPath, platform);
    case Tool::RawToJpeg:
    case Tool::RawDecoder: {
        // Beside the program (build tree, unpacked folder), then where the install
        // rules put it relative to bin/.
        const QString name = tool == Tool::RawToJpeg ? QStringLiteral("ConvertToJpg") : QStringLiteral("RawDecoder");
        return firstFound(appDir,
                          {QStringLiteral("decoder/ConverterToJpg/") + name, QStringLiteral("../lib/quorvane/") + name},
                          {}, isExecutable, findOnPath, platform);
    }
    case Tool::JxlDecoder:
        return firstFound(appDir, {QStringLiteral("djxl")}, {QStringLiteral("djxl")}, isExecutable, findOnPath,
                          platform);
    }
    return QString();
}

QString program(Tool tool)
{
    {
        QMutexLocker lock(&overrideMutex);
        const QString path = overrides.value(int(tool));
        if (!path.isEmpty())
            return path;
    }
    return locate(
        tool, QCoreApplication::applicationDirPath(),
        [](const QString &path) {
            const QFileInfo info(path);
            return info.isFile() && info.isExecutable();
        },
        [](const QString &name) { return QStandardPaths::findExecutable(name); });
}

void setOverride(Tool tool, const QString &path)
{
    QMutexLocker lock(&overrideMutex);
    if (path.isEmpty())
        overrides.remove(int(tool));
    else
        overrides.insert(int(tool), path);
}

bool overridden(Tool tool)
{
    QMutexLocker lock(&overrideMutex);
    return overrides.contains(int(tool));
}

} // namespace ToolLocator
