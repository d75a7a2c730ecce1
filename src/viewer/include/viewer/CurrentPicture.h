#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class FolderModel;

// The picture on screen, held once: its path, its row in its folder's model, its
// neighbours and its load generation. The view, the title, the information panel,
// the start folder (and any view of the folder) follow its one change signal.
// Stepping asks the model, never the folder itself.
class CurrentPicture : public QObject
{
    Q_OBJECT

public:
    explicit CurrentPicture(QObject *parent = nullptr);

    // The shown picture's folder, in the chosen order.
    FolderModel *folder() const;

    // The shown file's absolute path; empty while nothing is shown.
    QString path() const;
    // Its row in folder(); -1 when the folder does not list it (a file of a type the
    // folder's listing leaves out, or one not there any more).
    int row() const;
    int count() const;
    // Counts up whenever another file (or the same one anew) is to be shown: what a
    // load belongs to. Changes of place alone (a neighbour added) leave it.
    quint64 generation() const;

    // The path offset places away in the folder's order; empty when there is none
    // (no wrap-around). A file the folder does not list stands before the first row.
    QString neighbour(int offset) const;
    // The next and the previous (either empty when there is none).
    QStringList neighbours() const;
    // While on (a slideshow), the last picture's next is the first and the first's
    // previous the last.
    void setLoops(bool loops);
    bool loops() const;

    // Shows path: a file (its folder listed when it is another folder), or a folder,
    // which stands for its first picture (nothing shown when it has none). Empty:
    // nothing shown.
    void open(const QString &path);
    // Steps offset places; false (nothing changes) when there is no such picture.
    bool step(int offset);
    // The first or the last picture; false when it is already shown or there is none.
    bool toEnd(bool last);
    // Nothing shown.
    void clear();

signals:
    // Path, row, count or generation changed.
    void changed();
    // The shown file left its folder (removed or moved by another program); the next
    // one (or the previous, or nothing) is shown instead.
    void shownGone(const QString &path);

private:
    // The row offset places away, by the rules of neighbour(); -1 for none.
    int rowAt(int offset) const;
    void show(const QString &path, int row);
    void followRows();
    void onRowsRemoving(int first, int last);
    void onRowsRemoved();
    void onRenamed(const QString &oldPath, const QString &newPath);

    FolderModel *model;
    QString shownPath;
    int shownRow = -1;
    int shownCount = 0;
    quint64 shownGeneration = 0;
    bool looping = false;
    int goneAt = -1; // the shown row while its removal is under way
};
