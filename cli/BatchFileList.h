#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One file named on the command line, directly or through its folder.
struct BatchEntry
{
    enum State { Send, Missing, Skipped };

    QString source; // as the user wrote it (folder entries: folder + "/" + name)
    QString absolutePath; // what the engine gets; its tools run in another folder
    State state = Send;
};

// Turns the PATH arguments into the list of files of a job, the way the pages add
// files and folders.
class BatchFileList
{
public:
    // The suffixes the page of the operation accepts (imgType 0, 3 or 4).
    static const QStringList &acceptedSuffixes(int imgType);

    // A file stands for itself; a folder for the files directly in it, in name order
    // ignoring case; anything that does not exist is Missing; a file whose lower-case
    // suffix is not one of accepted is Skipped.
    static QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted);
};
