#pragma once

#include <QSize>
#include <QString>
#include <QVector>

#include <functional>

// What the information panel shows about a file: the file's own facts, then what
// the camera wrote (EXIF through libexif; camera RAW through LibRaw's own fields).
namespace PictureInfo {

struct Row
{
    QString label;
    QString value;
};

// The rows for path, the shown picture being pixels large (invalid: read from the
// file). Rows the file says nothing about are left out. Blocks while a RAW file's
// decoder reads its header: off the GUI thread, with cancelled asked every few
// milliseconds (a RAW file's camera rows are then left out).
QVector<Row> read(const QString &path, const QSize &pixels, const std::function<bool()> &cancelled = {});

// The rows known from the path alone (name, folder), shown while read runs.
QVector<Row> pathRows(const QString &path);

// When the camera took the picture (EXIF DateTimeOriginal, else DateTime), in ms
// since the epoch read as local time; -1 when the file says nothing. Reads the
// file's first kTakenBytes only.
constexpr qint64 kTakenBytes = 256 * 1024;
qint64 takenTime(const QString &path);

// The value of the row labelled label; empty when there is none.
QString value(const QVector<Row> &rows, const QString &label);

// Value texts.
QString exposureText(double seconds); // "1/250 s", "2 s", "0.6 s"
QString apertureText(double fNumber); // "f/2.8", "f/8"
QString focalLengthText(double mm); // "50 mm", "4.2 mm"
QString gpsText(double latitude, double longitude); // "39.904200, 116.407400"
QString exifDateText(const QString &exifDate); // "2024:05:01 10:20:30" -> "2024-05-01 10:20:30"

} // namespace PictureInfo
