#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What BatchFiles.cpp asks of the system (BatchFiles_<platform>.cpp). Names travel
// as the bytes the file system holds: on Linux as they are, on Windows the UTF-8
// of its UTF-16 names.
namespace BatchFiles {

// The entries of dir that are neither folders nor hidden (a name starting with a
// dot), in the order the system lists them. A link to a folder counts as a folder;
// a dangling link is listed. With folders, also the sub-folders that are neither
// hidden nor links.
QList<QByteArray> listFolder(const QByteArray &dir, QList<QByteArray> *folders);

// Those bytes as a path.
QString pathFromBytes(const QByteArray &bytes);

} // namespace BatchFiles
