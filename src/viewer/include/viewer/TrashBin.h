#pragma once

#include <QString>
#include <QVector>

#include <functional>

// Culling: files go to the freedesktop trash, never away outright, and come back
// with the undo key, the last one first.
class TrashBin
{
public:
    enum class Outcome {
        Done,
        Missing, // the file is not there (any more)
        NoTrash, // the file system offers no trash (or no right to use it): nothing happened
        Occupied, // a file of that name is back in its place: not overwritten
        Lost, // the trashed file is no longer in the trash
        NothingToRestore,
        NotAFile, // a folder, FIFO or the like, or a link to one: left where it is
        Failed, // the file could not be moved back: it stays in the trash
    };

    // Moves path into the trash.
    Outcome trash(const QString &path);
    // Puts the last trashed file back, never over anything that took its name
    // meanwhile; restoredPath is where it is again.
    Outcome restoreLast(QString *restoredPath);
    bool canRestore() const;

    // What the window says about an outcome other than Done.
    static QString message(Outcome outcome);

    // Runs right before a file is moved back, after every check: where a test puts
    // something under the name at the last moment.
    void setBeforeRestore(std::function<void(const QString &original)> hook);

private:
    struct Entry
    {
        QString original;
        QString inTrash;
    };
    QVector<Entry> trashed;
    std::function<void(const QString &)> beforeRestore;
};
