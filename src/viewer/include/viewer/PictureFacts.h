#pragma once

#include <QSize>
#include <QString>

// What the viewer always shows about the picture on screen: its place in the
// folder, pixel size, file size and zoom, as one line; and the window title.
namespace PictureFacts {

struct Facts
{
    int position = 0; // 1-based place in the folder; 0 when the file is not listed
    int count = 0; // pictures in the folder
    QSize pixels; // invalid until the picture's size is known
    qint64 bytes = -1; // -1 when unknown
    double zoom = 0; // the shown scale (1.0 = 100%); 0 while nothing is shown
};

// "3/30  4000×3000  2.3 MB  25%": the parts that are known, in that order.
QString line(const Facts &facts);

// "name – Quorvane" for the window manager; the program's name alone without a file.
QString windowTitle(const QString &fileName);

} // namespace PictureFacts
