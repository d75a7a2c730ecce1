#pragma once

#include "thumbnails/ThumbnailCache.h"

#include <QListView>
#include <QTimer>

class Thumbnailer;
class ThumbnailDelegate;

// What the strip and the grid share: a list view over the folder's model (the file
// name as Qt::DisplayRole, the absolute path as Qt::UserRole) whose cells draw the
// thumbnailer's thumbnails, or a placeholder until one is ready; it never waits. After
// every scroll, resize or change of the folder it tells the thumbnailer what to make
// first: the visible cells, then outward from them.
class ThumbnailList : public QListView
{
    Q_OBJECT

public:
    ThumbnailList(Thumbnailer *thumbnailer, bool namesShown, QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;

    // The side of a cell's thumbnail box, in logical pixels.
    int thumbnailSide() const { return side; }
    void setThumbnailSide(int logicalPixels);
    // The cache size that covers the box on this screen.
    ThumbnailSize cacheSize() const;

    // The rows a cell of which shows in the viewport, first to last; empty for none.
    QPair<int, int> visibleRows() const;

signals:
    // A picture chosen (a click on the strip; Enter or a double click on the grid).
    void openRow(int row);

protected:
    // How many rows past the visible ones to ask for, each way.
    void setReach(int rows) { reach = rows; }
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    virtual void relayout() = 0;

private:
    void askLater();
    void ask();

    Thumbnailer *thumbnailer;
    ThumbnailDelegate *delegate;
    QTimer asking;
    int side = 128;
    int reach = 0;
};
