#include "TempArea.h"

#include "TempAreaSystem.h"

#include <QDir>

#include <windows.h>

namespace TempArea {

// %TEMP%\quorvane: the user's own temporary folder, whatever the program's folder
// allows (it is often under Program Files).
QString jobTempDir()
{
    return QDir::tempPath() + QStringLiteral("/quorvane");
}

QString rootProblem(const QString &root)
{
    const DWORD attributes = ::GetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(root).utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return QStringLiteral("cannot use the temporary folder %1: %2")
            .arg(root, qt_error_string(int(::GetLastError())));
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("the temporary folder %1 is a symbolic link; "
                              "the program only works in a folder of its own (make it a real folder)")
            .arg(root);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("the temporary folder %1 is not a folder").arg(root);
    return QString();
}

// %TEMP% has no second place to turn to.
QString secondRoot(const QString &root, QString *why)
{
    *why = QStringLiteral("cannot create the temporary folder %1").arg(root);
    return QString();
}

} // namespace TempArea
