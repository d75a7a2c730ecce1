#pragma once

#include "batch/engine/BatchTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// One file named by the user, directly or through its folder.
struct BatchEntry
{
    enum State { Send, Missing, Skipped };

    QString source; // as the user gave it (folder entries: folder + "/" + name)
    QString absolutePath; // what the engine gets; its tools run in another folder
    State state = Send;
};

// Turning files and folders into a job's file list, the same way for the toolbox
// pages (add file, add folder, drop) and for quorvane-batch.
namespace BatchFiles {

// The files directly in folder (no sub-folders, no hidden files), absolute, in
// name order ignoring case.
QStringList folderFiles(const QString &folder);

// A file stands for itself; a folder for folderFiles(); anything that does not
// exist is Missing; a file whose lower-case suffix is not one of accepted is Skipped.
QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted);

// A job's files for paths, the index of each path as its row. Paths that no
// longer exist are left out; their indices go to missing when given.
JobFiles jobFiles(const QStringList &paths, QList<int> *missing = nullptr);

} // namespace BatchFiles
