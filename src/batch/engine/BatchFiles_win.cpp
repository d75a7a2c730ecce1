#include "BatchFilesSystem.h"
#include "batch/engine/BatchFiles.h"

#include <QDir>

#include <windows.h>

namespace BatchFiles {

QList<QByteArray> listFolder(const QByteArray &dir, QList<QByteArray> *folders)
{
    QList<QByteArray> names;
    const std::wstring pattern = QDir::toNativeSeparators(pathFromBytes(dir) + QStringLiteral("/*")).toStdWString();
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const QByteArray name = QString::fromWCharArray(entry.cFileName).toUtf8();
        if (name.startsWith('.'))
            continue;
        // A link or junction to a folder is a folder, never entered.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (folders && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders->append(name);
            continue;
        }
        names << name;
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return names;
}

QByteArray bytesOf(const QString &path)
{
    return path.toUtf8();
}

QString pathFromBytes(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

QHash<QString, QByteArray> undecodableArguments(int, char *const[])
{
    return {};
}

} // namespace BatchFiles
