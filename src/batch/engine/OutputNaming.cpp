#include "batch/engine/OutputNaming.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/engine/Operations.h"

#include <QFileInfo>

namespace OutputNaming {

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString joined(const QString &dir, const QString &stem, const QString &suffix)
{
    QString path = dir + QLatin1Char('/') + stem;
    if (!suffix.isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}

// The documented name if free; else the documented collision name, counted on if
// that is taken as well.
QString withCollisionRule(const QString &dir, const QString &stem, const QString &suffix, const QString &stamp,
                          const ExistsFn &exists)
{
    const QString plain = joined(dir, stem, suffix);
    if (!exists(plain))
        return plain;
    return freeName(dir, stem + QLatin1Char('_') + stamp, suffix, exists);
}

} // namespace

QString timeStamp(const QDateTime &now)
{
    return now.toString(QStringLiteral("ddhhmmss"));
}

QString timeStampMs(const QDateTime &now)
{
    return now.toString(QStringLiteral("ddhhmmsszzz"));
}

QString sourceSuffix(const QString &path)
{
    const QString name = fileName(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QString outputSuffix(const JobSettings &settings, const QString &source)
{
    if (Operations::row(settings.operation).keepsFormat || !settings.format)
        return sourceSuffix(source);
    return BatchCatalogue::outputFormats().contains(*settings.format) ? *settings.format : QString();
}

QString baseName(Operation operation, const QString &source)
{
    const QString name = fileName(source);
    const int dot = Operations::row(operation).baseToFirstDot ? name.indexOf(QLatin1Char('.'))
                                                               : name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool writesFrameFolder(Operation operation, const QString &source)
{
    if (!Operations::row(operation).framesInFolder)
        return false;
    const QString suffix = sourceSuffix(source);
    for (const char *multiFrame : {"psd", "tif", "tiff", "webp", "gif"}) {
        if (suffix == QLatin1String(multiFrame))
            return true;
    }
    return false;
}

QString freeName(const QString &dir, const QString &stem, const QString &suffix, const ExistsFn &exists)
{
    QString path = joined(dir, stem, suffix);
    for (int counter = 1; exists(path); ++counter)
        path = joined(dir, stem + QLatin1Char('_') + QString::number(counter), suffix);
    return path;
}

Target outputTarget(Operation operation, const QString &source, const QString &fmt, const QString &exportDir,
                    int rowIndex, const QDateTime &now, const ExistsFn &exists)
{
    const QString base = baseName(operation, source);
    const QString stamp = timeStamp(now) + QString::number(rowIndex);
    Target target;
    if (writesFrameFolder(operation, source)) {
        target.frameDir = withCollisionRule(exportDir, base, QString(), stamp, exists);
        target.outputPath = joined(target.frameDir, base, fmt);
    } else {
        target.outputPath = withCollisionRule(exportDir, base, fmt, stamp, exists);
    }
    return target;
}

QString framePath(const QString &path, int n)
{
    const QString suffix = QFileInfo(path).suffix();
    const QString tail = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    return path.chopped(tail.size()) + QLatin1Char('-') + QString::number(n) + tail;
}

QString frameSetTarget(const QString &dir, const QString &base, const QString &fmt, const QList<int> &frames,
                       const QString &stamp, const ExistsFn &exists)
{
    const auto taken = [&](const QString &path) {
        if (exists(path))
            return true;
        for (const int n : frames) {
            if (exists(framePath(path, n)))
                return true;
        }
        return false;
    };
    return withCollisionRule(dir, base, fmt, stamp, taken);
}

QString rawIntermediateDir(const QString &tempDir, const QDateTime &now, const ExistsFn &exists)
{
    const auto taken = [&exists](const QString &dir) { return exists(dir) || exists(dir + QStringLiteral(".jpg")); };
    return freeName(tempDir, timeStampMs(now), QString(), taken);
}

QString compressIntermediate(const QString &tempDir, const QString &base, const QString &fmt, const QDateTime &now,
                             const ExistsFn &exists)
{
    return freeName(tempDir, base + QLatin1Char('_') + timeStamp(now), fmt, exists);
}

} // namespace OutputNaming
