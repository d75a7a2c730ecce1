#pragma once

#include <QString>

// A rename that never replaces what is at the new name and never falls back to
// copying: QFile::rename does both when a plain rename is refused (it opens the
// target with truncation, through a link that took the name). Shared by the
// batch engine's last step and the viewer's restore from the trash.
namespace SafeRename {

enum class Result {
    Renamed,
    Taken, // something (a file, a folder, a link, dangling or not) has the new name
    Failed, // nothing changed; error says why
};

// renameat2(RENAME_NOREPLACE); where the file system has no such rename, a hard
// link and the removal of the old name. error: the errno of a failure.
Result rename(const QString &from, const QString &to, int *error = nullptr);

} // namespace SafeRename
