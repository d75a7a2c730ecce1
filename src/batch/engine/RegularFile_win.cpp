#include "RegularFile.h"

#include <QDir>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace RegularFile {

FILE *openForReading(const QString &path)
{
    const HANDLE handle = ::CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    // A file on a disk only: a pipe or a device would be read without end.
    const int fd = ::GetFileType(handle) == FILE_TYPE_DISK
        ? ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY)
        : -1;
    if (fd < 0) {
        ::CloseHandle(handle);
        return nullptr;
    }
    FILE *file = ::_fdopen(fd, "rb");
    if (!file)
        ::_close(fd); // closes the handle too
    return file;
}

} // namespace RegularFile
