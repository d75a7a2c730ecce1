#include "viewer/CurrentPicture.h"

#include "viewer/FolderModel.h"

#include <QDir>
#include <QFileInfo>

CurrentPicture::CurrentPicture(QObject *parent)
    : QObject(parent)
    , model(new FolderModel(this))
{
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { onRowsRemoving(first, last); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, &CurrentPicture::onRowsRemoved);
    connect(model, &QAbstractItemModel::rowsInserted, this, &CurrentPicture::followRows);
    connect(model, &QAbstractItemModel::layoutChanged, this, &CurrentPicture::followRows);
    connect(model, &QAbstractItemModel::modelReset, this, &CurrentPicture::followRows);
    connect(model, &FolderModel::renamed, this, &CurrentPicture::onRenamed);
}

FolderModel *CurrentPicture::folder() const
{
    return model;
}
QString CurrentPicture::path() const
{
    return shownPath;
}
int CurrentPicture::row() const
{
    return shownRow;
}
int CurrentPicture::count() const
{
    return shownCount;
}
quint64 CurrentPicture::generation() const
{
    return shownGeneration;
}

int CurrentPicture::rowAt(int offset) const
{
    const int count = model->rowCount();
    if (shownPath.isEmpty() || count == 0)
        return -1;
    // Outside the listing counts as just before the first row.
    int target = shownRow < 0 ? (offset > 0 ? offset - 1 : offset) : shownRow + offset;
    if (looping && count > 1)
        target = ((target % count) + count) % count;
    return target >= 0 && target < count && target != shownRow ? target : -1;
}

QString CurrentPicture::neighbour(int offset) const
{
    return model->pathAt(rowAt(offset));
}

void CurrentPicture::setLoops(bool loops)
{
    looping = loops;
}

bool CurrentPicture::loops() const
{
    return looping;
}

QStringList CurrentPicture::neighbours() const
{
    return {neighbour(1), neighbour(-1)};
}

void CurrentPicture::open(const QString &path)
{
    if (path.isEmpty()) {
        clear();
        return;
    }
    const QFileInfo file(path);
    if (file.isDir()) {
        model->setFolder(file.absoluteFilePath());
        if (model->rowCount() == 0)
            clear();
        else
            show(model->pathAt(0), 0);
        return;
    }
    const QString absolute = file.absoluteFilePath();
    model->setFolder(file.absolutePath());
    int row = model->rowOf(absolute);
    // Just made (a download, a restore from the trash): the watcher has not said so yet.
    if (row < 0 && file.exists()) {
        model->refresh();
        row = model->rowOf(absolute);
    }
    show(absolute, row);
}

bool CurrentPicture::step(int offset)
{
    const int target = rowAt(offset);
    if (target < 0)
        return false;
    show(model->pathAt(target), target);
    return true;
}

bool CurrentPicture::toEnd(bool last)
{
    const int count = model->rowCount();
    const int target = last ? count - 1 : 0;
    if (shownPath.isEmpty() || count == 0 || target == shownRow)
        return false;
    show(model->pathAt(target), target);
    return true;
}

void CurrentPicture::clear()
{
    show(QString(), -1);
}

void CurrentPicture::show(const QString &path, int row)
{
    shownPath = path;
    shownRow = row;
    shownCount = path.isEmpty() ? 0 : model->rowCount();
    goneAt = -1;
    ++shownGeneration;
    emit changed();
}

void CurrentPicture::followRows()
{
    const int row = model->rowOf(shownPath);
    const int count = shownPath.isEmpty() ? 0 : model->rowCount();
    if (row == shownRow && count == shownCount)
        return;
    shownRow = row;
    shownCount = count;
    emit changed();
}

void CurrentPicture::onRowsRemoving(int first, int last)
{
    if (shownRow >= first && shownRow <= last)
        goneAt = first;
}

void CurrentPicture::onRowsRemoved()
{
    if (goneAt < 0) {
        followRows();
        return;
    }
    const QString gone = shownPath;
    const int count = model->rowCount();
    if (count == 0)
        clear();
    else
        show(model->pathAt(qMin(goneAt, count - 1)), qMin(goneAt, count - 1));
    emit shownGone(gone);
}

void CurrentPicture::onRenamed(const QString &oldPath, const QString &newPath)
{
    if (oldPath == shownPath)
        show(newPath, model->rowOf(newPath));
}
