#pragma once

#include "ThumbnailList.h"

// A line of thumbnails along the bottom of the viewer: the shown picture marked and
// kept in view; a click opens another. It never takes the keys from the picture.
class ThumbnailStrip : public ThumbnailList
{
    Q_OBJECT

public:
    explicit ThumbnailStrip(Thumbnailer *thumbnailer, QWidget *parent = nullptr);

    // Marks row as the shown picture and scrolls it to the middle; -1 marks none.
    void setCurrentRow(int row);

protected:
    void relayout() override;
};
