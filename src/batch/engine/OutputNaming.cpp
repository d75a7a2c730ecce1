#include "OutputNaming.h"

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

QString baseName(const QString &source)
{
    const QString name = fileName(source);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString freeName(const QString &dir, const QString &stem, const QString &suffix, const ExistsFn &exists)
{
    QString path = joined(dir, stem, suffix);
    for (int counter = 1; exists(path); ++counter)
        path = joined(dir, stem + QLatin1Char('_') + QString::number(counter), suffix);
    return path;
}

QString outputTarget(const QString &source, const QString &fmt, const QString &exportDir, int rowIndex,
                     const QDateTime &now, const ExistsFn &exists)
{
    const QString stamp = timeStamp(now) + QString::number(rowIndex);
    return withCollisionRule(exportDir, baseName(source), fmt, stamp, exists);
}

QString frameFolder(const QString &dir, const QString &base, const QString &stamp, const ExistsFn &exists)
{
    return withCollisionRule(dir, base, QString(), stamp, exists);
}

QString framePath(const QString &path, int n)
{
    const QString suffix = QFileInfo(path).suffix();
    const QString tail = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    return path.chopped(tail.size()) + QLatin1Char('-') + QString::number(n) + tail;
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
