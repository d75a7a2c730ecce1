#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class LockedFolder;

// jobTempDir: the folder under which intermediate files live (decoded RAW files,
// resized PNGs before quantisation, links to awkwardly named sources, the tools'
// own temporary files).
//
// Every viewer and every quorvane-batch started from the same place shares it, so
// nobody clears it whole: each file of a job works in a private folder below it,
// "quorvane-" and 16 random hex digits, created exclusively, holding a lock for as
// long as it is used and removed with everything in it when that file ends. A
// folder of ours whose lock is free was left by a process that is gone (on this
// machine or another sharing the folder) and is swept when a job starts. Nothing
// else in the root is ever touched, and a root that is a symbolic link or not
// the user's own is refused.
namespace TempArea {

constexpr char kFolderPrefix[] = "quorvane-";

// "temp" in the application folder, or, when that cannot be written (an
// installed binary), the per-user cache folder + "/quorvane/temp". On Windows
// %TEMP%\quorvane.
QString jobTempDir();

// The choice behind jobTempDir(), with the writability test passed in.
QString chooseTempDir(const QString &appDir, const QString &cacheDir,
                      const std::function<bool(const QString &path)> &isWritable);

// Where intermediates go when jobTempDir() cannot be created (no HOME, or one we
// cannot write, as for "nobody"): "$XDG_RUNTIME_DIR/quorvane" when that variable
// names a folder, else "/tmp/quorvane-UID". Linux only.
QString fallbackTempDir(const QString &runtimeDir, uint uid);

// Why root cannot hold our folders; empty when it can: it must be a folder (not
// a symbolic link) owned by this user (on Windows: not a link or junction).
QString rootProblem(const QString &root);

// The root in use: jobTempDir() (created when missing), else fallbackTempDir()
// (created 0700). Empty when neither can be used; problem then says why.
QString usableRoot(QString *problem = nullptr);

// Creates jobTempDir() when missing; false when that fails.
bool ensureJobTempDir();

// Our folders in root whose lock is free (left by a process that is gone).
QStringList staleFolders(const QString &root);

// Removes staleFolders(usableRoot()) with everything in them (links are removed,
// never followed). Called when a job starts, and when the first private folder of
// this process is made.
void sweep();

} // namespace TempArea

// One file's private temporary folder in TempArea::usableRoot(), mode 0700,
// locked while it lives; gone with everything in it when this object is.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // Empty when the folder could not be made; problem() then says why.
    QString path() const;
    QString problem() const { return problemText; }

private:
    std::unique_ptr<LockedFolder> folder;
    QString problemText;
};
