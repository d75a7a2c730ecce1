#include "SourceCheck.h"

#include "SourceCheckSystem.h"
#include "formats/ContentFormat.h"

#include <QDir>

#include <windows.h>

namespace SourceCheck {

// Windows hands names over as UTF-16 (the wide command line, the wide file API):
// nothing in them stands for bytes that could not be decoded.
QString nameProblem(const QString &)
{
    return QString();
}

QString readHead(const QString &path, QByteArray *head)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("not a regular file (a folder)");
    // Shared for everything, so a file another program has open still reads.
    const HANDLE file
        = ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
            ? QStringLiteral("the file does not exist")
            : QStringLiteral("cannot open the file: ") + qt_error_string(int(error));
    }
    QString problem;
    // A pipe or a console device named as a file would be read without end.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        problem = QStringLiteral("not a regular file (a device)");
    } else {
        char buffer[ContentFormat::kHeadBytes];
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr))
            problem = QStringLiteral("cannot read the file: ") + qt_error_string(int(::GetLastError()));
        else if (got == 0)
            problem = QStringLiteral("the file is empty");
        *head = QByteArray(buffer, int(got));
    }
    ::CloseHandle(file);
    return problem;
}

} // namespace SourceCheck
