#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// A private folder (mode 0700, created exclusively, named PREFIX + 16 random hex
// digits) that proves it is in use: it holds a lock (flock on ".lock" inside; on
// Windows ".lock" open with no sharing) for as long as this object lives. A folder
// whose lock anyone can take was left by a process that is gone, whatever machine
// or PID namespace it ran in.
class LockedFolder
{
public:
    // Creates the folder in parent. Empty path() when that fails; problem() then
    // says why (the system's words: "Permission denied").
    LockedFolder(const QString &parent, const QString &prefix);
    // Removes the folder with everything in it, then lets the lock go.
    ~LockedFolder();
    LockedFolder(const LockedFolder &) = delete;
    LockedFolder &operator=(const LockedFolder &) = delete;

    QString path() const { return folderPath; }
    QString problem() const { return problemText; }

    // Removes the folder now (the lock goes with it); the destructor then does nothing.
    void remove();

    // The entries of parent that are our abandoned folders: a name of PREFIX and 16
    // hex digits, a folder of ours (not a link), whose lock is free. A folder with
    // no lock file counts when it is older than a minute (it was left between its
    // creation and its lock).
    static QStringList abandoned(const QString &parent, const QString &prefix);

    // Removes abandoned(parent, prefix), each while holding its lock, never
    // following a link: a folder swapped for a link after it was listed is left
    // alone, and so is everything the link points to. Returns the names removed.
    // beforeRemoval (tests) runs between the listing and each removal.
    static QStringList sweep(const QString &parent, const QString &prefix,
                             const std::function<void(const QString &name)> &beforeRemoval = {});

private:
    QString folderPath;
    QString problemText;
    std::intptr_t lockFd = -1; // a descriptor; on Windows a HANDLE
};
