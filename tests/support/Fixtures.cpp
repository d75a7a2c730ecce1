#include "support/Fixtures.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>

namespace Fixtures {

QString testsDir()
{
    return QStringLiteral(QUORVANE_TESTS_DIR);
}

QString binDir()
{
    return QStringLiteral(QUORVANE_BIN_DIR);
}

bool writeImage(const QString &path, const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path);
}

bool writeDng(const QString &path, int width, int height)
{
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {testsDir() + QStringLiteral("/support/mkdng.py"), path, QString::number(width), QString::number(height)});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0
        && QFile::exists(path);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QSize imageSize(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.canRead() ? reader.size() : QSize();
}

QByteArray imageFormat(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.canRead() ? reader.format() : QByteArray();
}

} // namespace Fixtures
