#include "support/PdfProbe.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVector>

namespace PdfProbe {

namespace {

// Output of a successful run; false when the program failed or took too long.
bool run(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

QString infoField(const QString &path, const QString &field)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field), QRegularExpression::MultilineOption);
    QString info;
    run(QStringLiteral("pdfinfo"), {path}, &info);
    const QRegularExpressionMatch match = line.match(info);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

} // namespace

QSizeF pageSizeMillimetres(const QString &path)
{
    // "595.276 x 841.89 pts (A4)"
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^([0-9.]+) x ([0-9.]+) pts"))
                                              .match(infoField(path, QStringLiteral("Page size")));
    if (!match.hasMatch())
        return QSizeF();
    const double toMillimetres = 25.4 / 72.0;
    return QSizeF(match.captured(1).toDouble() * toMillimetres, match.captured(2).toDouble() * toMillimetres);
}

int pageCount(const QString &path)
{
    bool ok = false;
    const int pages = infoField(path, QStringLiteral("Pages")).toInt(&ok);
    return ok ? pages : -1;
}

QImage renderPage(const QString &path, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const QStringList arguments = {QStringLiteral("-png"),
                                   QStringLiteral("-r"),
                                   QString::number(dpi),
                                   QStringLiteral("-singlefile"),
                                   path,
                                   prefix};
    if (!run(QStringLiteral("pdftoppm"), arguments))
        return QImage();
    return QImage(prefix + QStringLiteral(".png"));
}

QList<QRect> regions(const QImage &page, bool (*matches)(QRgb))
{
    const QImage image = page.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    QVector<bool> seen(width * image.height(), false);
    QList<QRect> found;
    QVector<QPoint> pending;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < width; ++x) {
            if (seen[y * width + x] || !matches(reinterpret_cast<const QRgb *>(image.constScanLine(y))[x]))
                continue;
            QRect box(x, y, 1, 1);
            seen[y * width + x] = true;
            pending = {QPoint(x, y)};
            while (!pending.isEmpty()) {
                const QPoint at = pending.takeLast();
                box |= QRect(at, QSize(1, 1));
                for (const QPoint &next : {at + QPoint(1, 0), at - QPoint(1, 0), at + QPoint(0, 1), at - QPoint(0, 1)}) {
                    if (!image.rect().contains(next) || seen[next.y() * width + next.x()]
                        || !matches(image.pixel(next)))
                        continue;
                    seen[next.y() * width + next.x()] = true;
                    pending << next;
                }
            }
            found << box;
        }
    }
    return found;
}

QList<Image> images(const QString &path)
{
    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
    QList<Image> found;
    QString list;
    run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path}, &list);
    const QStringList lines = list.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool isRow = false;
        const int page = fields.value(0).toInt(&isRow);
        if (!isRow || fields.size() < 6 || fields[2] != QLatin1String("image"))
            continue;
        found << Image{page, QSize(fields[3].toInt(), fields[4].toInt()), fields[5]};
    }
    return found;
}

} // namespace PdfProbe
