#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// One file named on the command line, directly or through its folder.
struct BatchEntry
{
    enum State { Send, Missing, Skipped, BadName };

    QString source; // as the user wrote it (folder entries: folder + "/" + name)
    QByteArray bytes; // the same as the file system has it (may not be UTF-8)
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

    // A file stands for itself; a folder for the files directly in it that are not
    // hidden and not folders (FIFOs, sockets and dangling links included: the
    // engine says why they fail), in name order ignoring case; anything that does
    // not exist is Missing; a file whose lower-case suffix is not one of accepted
    // is Skipped. A name that is not valid UTF-8 cannot be handed on exactly: it is
    // BadName (unless its suffix alone makes it Skipped). undecodable maps the
    // arguments that were not valid UTF-8, as decoded, to their bytes.
    static QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted,
                                      const QHash<QString, QByteArray> &undecodable = {});

    static bool isValidUtf8(const QByteArray &bytes);
};
