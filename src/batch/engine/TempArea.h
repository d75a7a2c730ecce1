#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// jobTempDir: the folder under which intermediate files live (decoded RAW files,
// resized PNGs before quantisation, links to awkwardly named sources, the tools'
// own temporary files).
//
// Every viewer and every quorvane-batch started from the same place shares it, so
// nobody clears it whole: each file of a job works in a private folder below it,
// "PID-N" (this process's id and a number), created exclusively and removed with
// everything in it when that file ends. Folders whose process no longer runs are
// swept when a job starts.
namespace TempArea {

// "temp" in the application folder, or, when that cannot be written (an
// installed binary), the per-user cache folder + "/quorvane/temp".
QString jobTempDir();

// The choice behind jobTempDir(), with the writability test passed in.
QString chooseTempDir(const QString &appDir, const QString &cacheDir,
                      const std::function<bool(const QString &path)> &isWritable);

// Creates jobTempDir() when missing; false when that fails.
bool ensureJobTempDir();

// The entries of root that are private folders of processes for which isRunning
// says no ("PID-N" names only; anything else is left alone).
QStringList staleFolders(const QString &root, const std::function<bool(qint64 pid)> &isRunning);

// Removes the private folders of processes that no longer run, with everything
// in them (links are removed, never followed). Called when a job starts, and when
// the first private folder of this process is made.
void sweep();

} // namespace TempArea

// One file's private temporary folder: jobTempDir()/PID-N, mode 0700, created
// exclusively; gone with everything in it when this object is.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // Empty when the folder could not be made; problem() then says why.
    QString path() const { return folderPath; }
    QString problem() const { return problemText; }

private:
    QString folderPath;
    QString problemText;
};
