#include "PrintLayout.h"

#include <QtMath>

namespace PrintLayout {

namespace {

struct Paper
{
    const char *name;
    QPageSize::PageSizeId id; // QPageSize::Custom: the size below
    double width;
    double height;
    QPageSize::Unit unit;
};

const Paper kPapers[] = {
    {"A4", QPageSize::A4, 0, 0, QPageSize::Millimeter},
    {"A5", QPageSize::A5, 0, 0, QPageSize::Millimeter},
    {"A6", QPageSize::A6, 0, 0, QPageSize::Millimeter},
    {"Letter", QPageSize::Letter, 0, 0, QPageSize::Inch},
    {"4×6 英寸 (10×15 厘米)", QPageSize::Custom, 4, 6, QPageSize::Inch},
    {"5×7 英寸 (13×18 厘米)", QPageSize::Custom, 5, 7, QPageSize::Inch},
    {"10×15 厘米", QPageSize::Custom, 100, 150, QPageSize::Millimeter},
    {"13×18 厘米", QPageSize::Custom, 130, 180, QPageSize::Millimeter},
};

struct Photo
{
    const char *name;
    double width;
    double height;
};

const Photo kPhotos[] = {
    {"适配纸张大小", 0, 0}, {"1寸", 25, 35}, {"大1寸", 35, 45}, {"小2寸", 35, 50}, {"2寸", 40, 60},
    {"3寸", 50, 75},        {"4寸", 60, 90}, {"5寸", 70, 100},  {"6寸", 102, 152}, {"7寸", 127, 178},
};

constexpr int kPaperCount = int(sizeof(kPapers) / sizeof(kPapers[0]));
constexpr int kPhotoCount = int(sizeof(kPhotos) / sizeof(kPhotos[0]));

// Free space kept between photos and from the margins.
constexpr double kMinimumGap = 1;
// A lone photo this much larger than its sheet still goes on it: the sheet's edge
// trims a sliver the printer could not reach anyway.
constexpr double kOverhang = 1;
// Two papers this close in both sides are the same paper.
constexpr double kSamePaper = 1;

template<typename Entry, int N> QStringList namesOf(const Entry (&table)[N])
{
    QStringList names;
    for (const Entry &entry : table)
        names << QString::fromUtf8(entry.name);
    return names;
}

// One axis of a grid: how many photos and where the first one starts.
struct Axis
{
    int count = 0;
    double start = 0;
    double step = 0; // from one photo's start to the next
};

Axis spread(double sheet, double before, double after, double photo)
{
    Axis axis;
    const double usable = sheet - before - after;
    // n photos and n + 1 gaps of at least kMinimumGap; the small allowance keeps an
    // exact fit from being lost to rounding.
    axis.count = qMax(0, int(std::floor((usable - kMinimumGap) / (photo + kMinimumGap) + 1e-9)));
    if (axis.count > 0) {
        const double gap = (usable - axis.count * photo) / (axis.count + 1);
        axis.start = before + gap;
        axis.step = photo + gap;
    } else if (photo <= sheet + kOverhang) {
        axis.count = 1;
        axis.start = (sheet - photo) * 0.5;
    }
    return axis;
}

QSizeF turned(const QSizeF &size, QPageLayout::Orientation orientation)
{
    const bool landscape = size.width() > size.height();
    return landscape == (orientation == QPageLayout::Landscape) ? size : size.transposed();
}

QPageLayout::Orientation orientationOf(const QSize &picture)
{
    return picture.width() > picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QVector<QRectF> gridCells(const QSizeF &paper, const QMarginsF &margins, const QSizeF &photo)
{
    const Axis x = spread(paper.width(), margins.left(), margins.right(), photo.width());
    const Axis y = spread(paper.height(), margins.top(), margins.bottom(), photo.height());
    QVector<QRectF> cells;
    cells.reserve(x.count * y.count);
    for (int row = 0; row < y.count; ++row) {
        for (int column = 0; column < x.count; ++column)
            cells << QRectF(QPointF(x.start + column * x.step, y.start + row * y.step), photo);
    }
    return cells;
}

// A box of the given shape, as large as fits in `within`, centred in it.
QRectF centredFit(const QSizeF &shape, const QRectF &within)
{
    if (shape.isEmpty())
        return QRectF();
    const QSizeF size = shape.scaled(within.size(), Qt::KeepAspectRatio);
    return QRectF(within.center() - QPointF(size.width() * 0.5, size.height() * 0.5), size);
}

} // namespace

QStringList paperNames()
{
    return namesOf(kPapers);
}

QStringList photoNames()
{
    return namesOf(kPhotos);
}

QStringList orientationNames()
{
    return {QStringLiteral("纵向"), QStringLiteral("横向"), QStringLiteral("自动")};
}

QStringList fillingNames()
{
    return {QStringLiteral("裁剪填满"), QStringLiteral("完整显示（留白）")};
}

QPageSize paperSize(int paperIndex)
{
    if (paperIndex < 0 || paperIndex >= kPaperCount)
        return QPageSize();
    const Paper &paper = kPapers[paperIndex];
    const QString name = QString::fromUtf8(paper.name);
    if (paper.id != QPageSize::Custom)
        return QPageSize(paper.id);
    return QPageSize(QSizeF(paper.width, paper.height), paper.unit, name, QPageSize::ExactMatch);
}

int paperIndexOf(const QPageSize &size)
{
    if (!size.isValid())
        return -1;
    const QSizeF wanted = turned(size.size(QPageSize::Millimeter), QPageLayout::Portrait);
    for (int i = 0; i < kPaperCount; ++i) {
        const QSizeF listed = paperSize(i).size(QPageSize::Millimeter);
        if (qAbs(listed.width() - wanted.width()) < kSamePaper && qAbs(listed.height() - wanted.height()) < kSamePaper)
            return i;
    }
    return -1;
}

QSizeF photoMillimetres(int photoIndex)
{
    if (photoIndex <= kFitPhotoIndex || photoIndex >= kPhotoCount)
        return QSizeF();
    return QSizeF(kPhotos[photoIndex].width, kPhotos[photoIndex].height);
}

QMarginsF margins(bool borderless)
{
    return borderless ? QMarginsF() : QMarginsF(3, 3, 3, 13);
}

Sheet layOut(const Request &request)
{
    Sheet sheet;
    if (request.paper.isEmpty() || request.picture.isEmpty())
        return sheet;
    const QPageLayout::Orientation pictureWay = orientationOf(request.picture);
    const auto paperTurned = [&request](QPageLayout::Orientation orientation) {
        return turned(request.paper, orientation);
    };

    if (request.photo.isEmpty()) {
        sheet.orientation = request.orientation == Orientation::Automatic ? pictureWay
            : request.orientation == Orientation::Landscape               ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait;
        sheet.paper = paperTurned(sheet.orientation);
        const QRectF area = QRectF(QPointF(), sheet.paper).marginsRemoved(margins(request.borderless));
        sheet.cells = {area};
        sheet.pictures = {centredFit(request.picture, area)};
        sheet.source = QRectF(QPointF(), request.picture);
        return sheet;
    }

    const QSizeF photo = turned(request.photo, pictureWay);
    const QMarginsF kept = margins(false);
    if (request.orientation == Orientation::Automatic) {
        const int portrait = gridCells(paperTurned(QPageLayout::Portrait), kept, photo).size();
        const int landscape = gridCells(paperTurned(QPageLayout::Landscape), kept, photo).size();
        sheet.orientation = portrait == landscape ? pictureWay
            : portrait > landscape                ? QPageLayout::Portrait
                                                  : QPageLayout::Landscape;
    } else {
        sheet.orientation
            = request.orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    }
    sheet.paper = paperTurned(sheet.orientation);
    sheet.cells = gridCells(sheet.paper, kept, photo);

    const QRectF wholePicture(QPointF(), request.picture);
    sheet.source = request.filling == Filling::Crop ? centredFit(photo, wholePicture) : wholePicture;
    sheet.pictures.reserve(sheet.cells.size());
    for (const QRectF &cell : qAsConst(sheet.cells))
        sheet.pictures << (request.filling == Filling::Crop ? cell : centredFit(request.picture, cell));
    return sheet;
}

QRectF scaled(const QRectF &millimetres, double unitsPerMillimetre, const QPointF &origin)
{
    return QRectF(origin + millimetres.topLeft() * unitsPerMillimetre, millimetres.size() * unitsPerMillimetre);
}

} // namespace PrintLayout
