#include "viewer/FolderModel.h"

#include "FolderBrowser.h"
#include "PictureInfo.h"
#include "ViewerLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <algorithm>

#include <sys/stat.h>

FolderModel::FolderModel(QObject *parent)
    : QAbstractListModel(parent)
    , watcher(new QFileSystemWatcher(this))
    , settle(new QTimer(this))
{
    // Reports come in bursts (a copy of many files, a file written in pieces): the
    // folder is read once per burst, and at least every kSettleMs while it lasts.
    settle->setSingleShot(true);
    settle->setInterval(kSettleMs);
    connect(settle, &QTimer::timeout, this, &FolderModel::reread);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!settle->isActive())
            settle->start();
    });
}

void FolderModel::setFolder(const QString &folder)
{
    const QString path = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
    if (path == dirPath)
        return;
    beginResetModel();
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    settle->stop();
    dirPath = path;
    rows.clear();
    if (!dirPath.isEmpty()) {
        watcher->addPath(dirPath);
        const QVector<FolderBrowser::Listed> listed = FolderBrowser::listImages(dirPath);
        QVector<Row> unsorted;
        unsorted.reserve(listed.size());
        for (const FolderBrowser::Listed &file : listed) {
            Row row;
            row.entry.name = file.name;
            row.inode = file.inode;
            readFacts(row);
            unsorted.append(row);
        }
        placeInOrder(unsorted);
    }
    endResetModel();
    qCDebug(lcViewer) << "listed" << dirPath << rows.size();
}

QString FolderModel::folder() const
{
    return dirPath;
}

void FolderModel::setOrder(FolderOrder::Order order)
{
    if (order == sortOrder)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortOrder = order;
    const QModelIndexList before = persistentIndexList();
    QStringList names;
    for (const QModelIndex &index : before)
        names.append(rows.at(index.row()).entry.name);

    for (Row &row : rows)
        readFacts(row);
    const QVector<Row> unsorted = rows;
    placeInOrder(unsorted);
    QHash<QString, int> placed;
    placed.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i)
        placed.insert(rows.at(i).entry.name, i);
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i)
        after.append(index(placed.value(names.at(i)), before.at(i).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FolderModel::placeInOrder(const QVector<Row> &unsorted)
{
    QVector<FolderOrder::Entry> entries;
    entries.reserve(unsorted.size());
    for (const Row &row : unsorted)
        entries.append(row.entry);
    rows.clear();
    rows.reserve(unsorted.size());
    for (int index : FolderOrder::sorted(entries, sortOrder))
        rows.append(unsorted.at(index));
}

FolderOrder::Order FolderModel::order() const
{
    return sortOrder;
}

void FolderModel::refresh()
{
    settle->stop();
    reread();
}

int FolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

QVariant FolderModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return rows.at(index.row()).entry.name;
    if (role == PathRole)
        return pathAt(index.row());
    return QVariant();
}

QString FolderModel::pathAt(int row) const
{
    if (row < 0 || row >= rows.size())
        return QString();
    const QString &name = rows.at(row).entry.name;
    return dirPath.endsWith(QLatin1Char('/')) ? dirPath + name : dirPath + QLatin1Char('/') + name;
}

int FolderModel::rowOf(const QString &path) const
{
    if (path.isEmpty() || rows.isEmpty())
        return -1;
    const QFileInfo file(path);
    if (QDir::cleanPath(file.absolutePath()) != dirPath)
        return -1;
    const QString name = file.fileName();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).entry.name == name)
            return i;
    }
    return -1;
}

void FolderModel::readFacts(Row &row) const
{
    const QString path = dirPath + QLatin1Char('/') + row.entry.name;
    if (FolderOrder::needsFileFacts(sortOrder.key) && !row.factsRead) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
            row.entry.bytes = qint64(info.st_size);
            row.entry.modified = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
        }
        row.factsRead = true;
    }
    if (FolderOrder::needsTaken(sortOrder.key) && !row.takenRead) {
        row.entry.taken = PictureInfo::takenTime(path);
        row.takenRead = true;
    }
}

int FolderModel::placeFor(const Row &row) const
{
    const auto at = std::lower_bound(rows.cbegin(), rows.cend(), row, [this](const Row &a, const Row &b) {
        return FolderOrder::before(a.entry, b.entry, sortOrder);
    });
    return int(at - rows.cbegin());
}

void FolderModel::reread()
{
    if (dirPath.isEmpty())
        return;
    bool ok = false;
    const QVector<FolderBrowser::Listed> listed = FolderBrowser::listImages(dirPath, &ok);
    // A folder removed and made again is a new folder to the watcher.
    if (ok && !watcher->directories().contains(dirPath))
        watcher->addPath(dirPath);

    QHash<QString, quint64> now;
    now.reserve(listed.size());
    for (const FolderBrowser::Listed &file : listed)
        now.insert(file.name, file.inode);
    QSet<QString> held;
    held.reserve(rows.size());
    QHash<quint64, QString> goneByInode;
    for (const Row &row : qAsConst(rows)) {
        held.insert(row.entry.name);
        if (!now.contains(row.entry.name) && row.inode != 0)
            goneByInode.insert(row.inode, row.entry.name);
    }

    QVector<QPair<QString, QString>> renames;
    for (const FolderBrowser::Listed &file : listed) {
        if (held.contains(file.name))
            continue;
        Row row;
        row.entry.name = file.name;
        row.inode = file.inode;
        readFacts(row);
        const int at = placeFor(row);
        beginInsertRows(QModelIndex(), at, at);
        rows.insert(at, row);
        endInsertRows();
        if (file.inode != 0 && goneByInode.contains(file.inode))
            renames.append({goneByInode.value(file.inode), file.name});
    }
    for (const auto &rename : qAsConst(renames))
        emit renamed(QDir(dirPath).filePath(rename.first), QDir(dirPath).filePath(rename.second));

    // Runs of gone rows, from the end so the rows before stay where they are.
    for (int last = rows.size() - 1; last >= 0; --last) {
        if (now.contains(rows.at(last).entry.name))
            continue;
        int first = last;
        while (first > 0 && !now.contains(rows.at(first - 1).entry.name))
            --first;
        beginRemoveRows(QModelIndex(), first, last);
        rows.remove(first, last - first + 1);
        endRemoveRows();
        last = first;
    }
}
