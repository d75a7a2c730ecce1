#pragma once

#include <QString>
#include <QStringList>

// An output written under a hidden temporary name beside its final path and
// renamed into place only once the file is known to be good.
//
// The final name never holds a half-written or rejected file, and a failed or
// interrupted conversion leaves nothing that looks like a result. The temporary
// name is plain, so ImageMagick cannot read "%d" and friends into it. When a
// program writes one file per frame (NAME-0.EXT, NAME-1.EXT, ...), those are
// renamed to the final name's FINAL-0.EXT, FINAL-1.EXT, ...
class StagedOutput
{
public:
    explicit StagedOutput(const QString &finalPath);
    ~StagedOutput();
    StagedOutput(const StagedOutput &) = delete;
    StagedOutput &operator=(const StagedOutput &) = delete;

    QString finalPath() const { return final_; }
    QString stagePath() const { return stage_; }

    // True when the program left at least one non-empty file.
    bool present() const;

    // Renames what was written to the final names, all or nothing; never replaces
    // an existing file. Returns false (and leaves nothing) when that fails.
    bool commit();

    // Removes everything written under the temporary name. Also done on
    // destruction unless committed.
    void discard();

private:
    QStringList writtenFiles() const; // stage and its frame files that exist
    QString finalNameFor(const QString &written) const;

    QString final_;
    QString dir_; // folder of both names
    QString suffix_; // shared suffix, may be empty
    QString finalStem_; // final file name without ".suffix"
    QString stageStem_;
    QString stage_;
    bool committed_ = false;
};
