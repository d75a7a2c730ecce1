#include "LockedFolder.h"

#include "LockedFolderSystem.h"

#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>

#include <windows.h>

// The lock is ".lock" held open with no sharing: nobody else can open it while this
// process lives, and Windows closes it when the process ends, however it ends.
// Links (symbolic links, junctions: reparse points) are never followed: one found
// inside a folder being removed is removed itself, and a folder of ours that has
// become one is left alone.

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

std::wstring lockPath(const QString &folder)
{
    return native(folder + QStringLiteral("/.lock"));
}

// Opens folder's lock file for good (create: as a new file); INVALID_HANDLE_VALUE
// when someone holds it or there is none. DELETE access lets the holder mark it for
// removal before it lets go.
HANDLE takeLock(const QString &folder, bool create, DWORD *error = nullptr)
{
    const HANDLE handle = ::CreateFileW(lockPath(folder).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                        create ? CREATE_NEW : OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE && error)
        *error = ::GetLastError();
    return handle;
}

// The lock file goes when its handle closes, so the folder can be removed after.
void dropLock(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    ::CloseHandle(handle);
}

bool isReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes everything in folder; a link inside is removed, never followed.
void emptyFolder(const std::wstring &folder)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find
        = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L'\\' + name;
        const DWORD attributes = entry.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!isReparsePoint(attributes))
                emptyFolder(path);
            ::RemoveDirectoryW(path.c_str()); // a junction goes as the link it is
        } else {
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
}

// Removes parent/name with everything in it when it is a real folder (not a link).
bool removeFolder(const QString &parent, const QString &name)
{
    const std::wstring folder = native(parent + QLatin1Char('/') + name);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || isReparsePoint(attributes))
        return false;
    emptyFolder(folder);
    return ::RemoveDirectoryW(folder.c_str()) != 0;
}

qint64 secondsSince(const FILETIME &time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    // FILETIME counts 100 ns steps from 1601.
    const qint64 unixSecs = qint64(value.QuadPart / 10000000ULL) - 11644473600LL;
    return QDateTime::currentSecsSinceEpoch() - unixSecs;
}

} // namespace

LockedFolder::LockedFolder(const QString &parent, const QString &prefix)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = parent + QLatin1Char('/') + prefix
            + QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
        // The folder inherits the parent's access list: %TEMP% is the user's own.
        if (!::CreateDirectoryW(native(candidate).c_str(), nullptr)) {
            error = ::GetLastError();
            if (error == ERROR_ALREADY_EXISTS)
                continue;
            break;
        }
        const HANDLE handle = takeLock(candidate, true, &error);
        if (handle != INVALID_HANDLE_VALUE) {
            folderPath = candidate;
            lockFd = reinterpret_cast<std::intptr_t>(handle);
            return;
        }
        removeFolder(parent, candidate.mid(parent.size() + 1));
    }
    problemText = qt_error_string(int(error));
}

LockedFolder::~LockedFolder()
{
    remove();
}

void LockedFolder::remove()
{
    const HANDLE handle = reinterpret_cast<HANDLE>(lockFd);
    if (handle != INVALID_HANDLE_VALUE) {
        if (!folderPath.isEmpty())
            emptyFolder(native(folderPath));
        dropLock(handle);
    }
    if (!folderPath.isEmpty())
        ::RemoveDirectoryW(native(folderPath).c_str());
    folderPath.clear();
    lockFd = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

QStringList LockedFolder::abandoned(const QString &parent, const QString &prefix)
{
    const QRegularExpression pattern = LockedFolderSystem::namePattern(prefix);
    QStringList found;
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileExW((native(parent) + L"\\*").c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do {
        const QString name = QString::fromWCharArray(entry.cFileName);
        if (!pattern.match(name).hasMatch() || !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            || isReparsePoint(entry.dwFileAttributes))
            continue;
        DWORD error = 0;
        const HANDLE handle = takeLock(parent + QLatin1Char('/') + name, false, &error);
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
            found << name;
        } else if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                   && secondsSince(entry.ftLastWriteTime) > LockedFolderSystem::kUnlockedGraceSecs) {
            found << name;
        }
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return found;
}

bool LockedFolderSystem::removeAbandoned(const QString &parent, const QString &name)
{
    const QString folder = parent + QLatin1Char('/') + name;
    DWORD error = 0;
    const HANDLE handle = takeLock(folder, false, &error);
    if (handle == INVALID_HANDLE_VALUE && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        return false;
    if (handle != INVALID_HANDLE_VALUE) {
        // The lock file cannot go while it is open: the folder is emptied around it
        // and the lock marked to go with its handle.
        if (!isReparsePoint(::GetFileAttributesW(native(folder).c_str())))
            emptyFolder(native(folder));
        dropLock(handle);
    }
    return removeFolder(parent, name);
}
