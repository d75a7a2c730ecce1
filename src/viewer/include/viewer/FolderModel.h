#pragma once

#include "viewer/FolderOrder.h"

#include <QAbstractListModel>
#include <QVector>

class QFileSystemWatcher;
class QTimer;

// The pictures of one folder, one row each in the chosen order: listed once, then
// kept current by a file-system watcher. A file added, removed or renamed by
// another program shows within a second as rows inserted and removed (never a
// reset), so views keep their scroll position and selection; a new order moves
// the rows (a layout change).
//
// DisplayRole is the file name, PathRole (Qt::UserRole) its absolute path.
class FolderModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { PathRole = Qt::UserRole };
    // How long the watcher's reports are gathered before the folder is read again.
    static constexpr int kSettleMs = 100;

    explicit FolderModel(QObject *parent = nullptr);

    // Lists folder and watches it; the same folder again changes nothing. Empty:
    // no folder, no rows.
    void setFolder(const QString &folder);
    QString folder() const;

    void setOrder(FolderOrder::Order order);
    FolderOrder::Order order() const;

    // Reads the folder again at once rather than when the watcher reports: after the
    // viewer itself moved a file.
    void refresh();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The absolute path of row; empty outside the rows.
    QString pathAt(int row) const;
    // The row of a file by its absolute path; -1 when it is not listed. The name is
    // compared exactly (IMG.JPG is not img.jpg).
    int rowOf(const QString &path) const;

signals:
    // A listed file now has another name (as the rows already say): whoever follows
    // the old name follows the new one. Emitted after the new row is in and before
    // the old one goes.
    void renamed(const QString &oldPath, const QString &newPath);

private:
    struct Row
    {
        FolderOrder::Entry entry;
        quint64 inode = 0;
        bool factsRead = false;
        bool takenRead = false;
    };

    void readFacts(Row &row) const;
    void reread();
    int placeFor(const Row &row) const;
    // rows becomes unsorted in the chosen order.
    void placeInOrder(const QVector<Row> &unsorted);

    QString dirPath;
    QVector<Row> rows;
    FolderOrder::Order sortOrder;
    QFileSystemWatcher *watcher;
    QTimer *settle;
};
