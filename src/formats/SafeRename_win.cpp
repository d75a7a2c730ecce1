#include "formats/SafeRename.h"

#include <QDir>

#include <cerrno>
#include <windows.h>

namespace SafeRename {

namespace {

int errnoFor(DWORD code)
{
    switch (code) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}

} // namespace

// MoveFileExW without MOVEFILE_REPLACE_EXISTING never replaces a name, and without
// MOVEFILE_COPY_ALLOWED never copies to another volume.
Result rename(const QString &from, const QString &to, int *error)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (::MoveFileExW(reinterpret_cast<LPCWSTR>(source.utf16()), reinterpret_cast<LPCWSTR>(target.utf16()), 0))
        return Result::Renamed;
    const int code = errnoFor(::GetLastError());
    if (error)
        *error = code;
    return code == EEXIST ? Result::Taken : Result::Failed;
}

} // namespace SafeRename
