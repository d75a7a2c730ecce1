#include "FolderThumbnails.h"

#include "ThumbnailDecode.h"
#include "ThumbnailGrid.h"
#include "ThumbnailStrip.h"
#include "thumbnails/Thumbnailer.h"
#include "viewer/CurrentPicture.h"
#include "viewer/FolderModel.h"

FolderThumbnails::FolderThumbnails(CurrentPicture *current, QWidget *parent)
    : QObject(parent)
    , current(current)
    , thumbnailer(new Thumbnailer(ThumbnailCache(), ThumbnailDecode::decode, this))
    , stripView(new ThumbnailStrip(thumbnailer, parent))
    , gridView(new ThumbnailGrid(thumbnailer, parent))
{
    stripView->hide();
    gridView->hide();
    stripView->setModel(current->folder());
    gridView->setModel(current->folder());
    connect(current, &CurrentPicture::changed, this, &FolderThumbnails::follow);
    connect(stripView, &ThumbnailStrip::openRow, this, &FolderThumbnails::open);
    connect(gridView, &ThumbnailGrid::openRow, this, [this](int row) {
        open(row);
        emit leaveGrid();
    });
    connect(gridView, &ThumbnailGrid::back, this, &FolderThumbnails::leaveGrid);
    follow();
}

void FolderThumbnails::open(int row)
{
    const QString path = current->folder()->pathAt(row);
    if (!path.isEmpty() && path != current->path())
        current->open(path);
}

void FolderThumbnails::follow()
{
    stripView->setCurrentRow(current->row());
    gridView->setCurrentRow(current->row());
}
