#pragma once

#include <QString>

#include <functional>

// jobTempDir: the folder for intermediate files (decoded RAW files, resized PNGs
// before quantisation, links to awkwardly named sources).
//
// It is one folder for all jobs, so it is emptied only when the last running job
// of this process ends; overlapping jobs never lose each other's intermediates.
namespace TempArea {

// "temp" in the application folder, or, when that cannot be written (an
// installed binary), the per-user cache folder + "/quorvane/temp".
QString jobTempDir();

// The choice behind jobTempDir(), with the writability test passed in.
QString chooseTempDir(const QString &appDir, const QString &cacheDir,
                      const std::function<bool(const QString &path)> &isWritable);

// Creates jobTempDir() when missing; false when that fails.
bool ensureJobTempDir();

// Removes every file and sub-folder in dir, hidden ones included; symbolic links
// and the folder itself stay. A missing folder is left alone.
void clear(const QString &dir);

// A job calls jobStarted() when its run begins and jobEnded() when it ends; the
// call that ends the last running job clears jobTempDir().
void jobStarted();
void jobEnded();

} // namespace TempArea
