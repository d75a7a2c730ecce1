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

namespace {

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
}

} // namespace

bool writePngHeader(const QString &path, quint32 width, quint32 height)
{
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
    return writeBytes(path,
                      QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header)
                          + chunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8))
                          + chunk("IEND", QByteArray()));
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
