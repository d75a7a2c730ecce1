#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class LockedFolder;

// An output written into a private hidden folder beside its final path and
// renamed into place only once the file is known to be good.
//
// The folder (".quorvane-" and 16 random hex digits) is created exclusively, so
// everything found in it was written by this run: a file of someone else's is
// never taken for an output, whatever its name. It holds a lock while in use
// (LockedFolder): the first stage made in an output folder by a process sweeps
// the stage folders there whose lock is free (left by a run that was killed). The final name never holds a
// half-written or rejected file, and a failed or interrupted conversion leaves
// nothing that looks like a result. The names inside are plain, so ImageMagick
// cannot read "%d" and friends into them. When a program writes one file per
// frame (NAME-0.EXT, NAME-1.EXT, ...), they become FINAL-0.EXT, FINAL-1.EXT, ...
class StagedOutput
{
public:
    explicit StagedOutput(const QString &finalPath);
    ~StagedOutput();
    StagedOutput(const StagedOutput &) = delete;
    StagedOutput &operator=(const StagedOutput &) = delete;

    // Empty when the private folder could not be made; problem() says why.
    QString stagePath() const { return stageFile; }
    QString problem() const { return problemText; }

    QString finalPath() const { return target; }
    // Another final path, chosen once it is known what was written.
    void retarget(const QString &finalPath);

    // True when the program left at least one non-empty file.
    bool present() const;

    // The frame numbers written (NAME-N.EXT), ascending; empty for a single file.
    QList<int> frames() const;

    // Renames what was written to the final names, all or nothing; never replaces
    // anything and never copies. When a single file's final name was taken after it
    // was chosen, nextName (if given) names the next free one, and that is tried.
    // Returns false (and leaves nothing) when that fails.
    bool commit(const std::function<QString()> &nextName = {});

    // Removes the private folder and everything in it. Also done on destruction.
    void discard();

    static constexpr char kFolderPrefix[] = ".quorvane-";

    // Tests: called with the final name right before each rename into place, to
    // play another program that takes the name at that moment.
    static void setBeforeRename(std::function<void(const QString &to)> hook);

private:
    struct Move
    {
        QString from; // what was written
        QString to; // its final name
    };
    QList<Move> moves() const;

    QString target;
    std::unique_ptr<LockedFolder> folder;
    QString stageDir;
    QString stageFile; // stageDir/out.EXT
    QString problemText;
};
