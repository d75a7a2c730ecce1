#pragma once

#include "batch/engine/BatchTypes.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// One file named by the user, directly or through its folder.
struct BatchEntry
{
    enum State { Send, Missing, Skipped, BadName };

    QString source; // as the user gave it (folder entries: folder + "/" + name)
    QByteArray bytes; // the same as the file system has it (may not be UTF-8)
    QString absolutePath; // what the engine gets; its tools run in another folder
    State state = Send;
    QString subDir; // found in a sub-folder of a folder given recursively: its path below it
};

// Turning files and folders into a job's file list, the same way for the toolbox
// pages (add file, add folder, drop) and for quorvane-batch.
namespace BatchFiles {

// The entries directly in folder that are neither folders nor hidden, absolute,
// in name order ignoring case. FIFOs, sockets, devices and dangling links are
// listed too: the job says why each of them fails instead of passing over them.
QStringList folderFiles(const QString &folder);

enum Depth { TopLevel, Recursive };

// A file stands for itself; a folder for folderFiles(), or with Recursive also
// for the files of its sub-folders (each folder's files in name order, then its
// sub-folders in name order; symbolic links to folders are not followed);
// anything that does not exist is Missing; a file whose lower-case suffix is not
// one of accepted is Skipped. A name that is not valid UTF-8 cannot be handed on
// exactly: it is BadName (in a folder, unless its suffix alone makes it Skipped).
// undecodable maps the paths given that were not valid UTF-8, as decoded, to
// their bytes.
QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted, Depth depth = TopLevel,
                           const QHash<QString, QByteArray> &undecodable = {});
// The same for paths as the file system names them: two names that are not
// valid UTF-8 stay two entries even where they decode alike.
QVector<BatchEntry> expand(const QList<QByteArray> &paths, const QStringList &accepted, Depth depth = TopLevel);

bool isValidUtf8(const QByteArray &bytes);

// path as the bytes the file system names it by (BatchEntry::bytes): on Linux as it
// is encoded there, on Windows the UTF-8 of its UTF-16.
QByteArray bytesOf(const QString &path);

// This program's arguments that are not valid UTF-8, as QCoreApplication decodes
// them, to their bytes (see expand). None on Windows, whose command line is UTF-16.
QHash<QString, QByteArray> undecodableArguments(int argc, char *const argv[]);

// The names in a list such as `find` writes: one per line, or separated by NUL
// bytes (find -print0); empty names are dropped, a line's trailing CR too. Names
// that are not valid UTF-8 are also entered in undecodable (see expand).
QStringList readNames(const QByteArray &data, bool nulSeparated, QHash<QString, QByteArray> *undecodable = nullptr);

// The names of such a list as bytes, each kept apart; problem says why the list
// is refused (a line holding a NUL byte: "line N holds a NUL byte", since no
// file name can), and names is then empty.
struct NameList
{
    QList<QByteArray> names;
    QString problem;
};
NameList readNameList(const QByteArray &data, bool nulSeparated);

// A job's files for paths, the index of each path as its row. Paths that no
// longer exist are left out; their indices go to missing when given.
JobFiles jobFiles(const QStringList &paths, QList<int> *missing = nullptr);
// The same for entries (absolutePath and subDir).
JobFiles jobFiles(const QVector<BatchEntry> &entries, QList<int> *missing = nullptr);

} // namespace BatchFiles
