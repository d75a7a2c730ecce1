#pragma once

#include <QObject>

class CurrentPicture;
class ThumbnailGrid;
class ThumbnailStrip;
class Thumbnailer;
class QWidget;

// The shown picture's folder as thumbnails: the strip and the grid over the folder's
// model, with the thumbnailer they share. Both follow the current picture; a cell
// chosen in either is shown. The window places the two widgets and says when each
// shows.
class FolderThumbnails : public QObject
{
    Q_OBJECT

public:
    FolderThumbnails(CurrentPicture *current, QWidget *parent);

    ThumbnailStrip *strip() const { return stripView; }
    ThumbnailGrid *grid() const { return gridView; }

signals:
    // The grid is done with: a picture opened from it, or Esc.
    void leaveGrid();

private:
    void open(int row);
    void follow();

    CurrentPicture *current;
    Thumbnailer *thumbnailer;
    ThumbnailStrip *stripView;
    ThumbnailGrid *gridView;
};
