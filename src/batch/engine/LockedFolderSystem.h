#pragma once

#include <QRegularExpression>
#include <QString>

// What LockedFolder.cpp shares with the system's own LockedFolder_<system>.cpp.
namespace LockedFolderSystem {

// A folder with no lock file counts as abandoned once it is this old.
constexpr qint64 kUnlockedGraceSecs = 60;

// PREFIX and 16 hex digits.
QRegularExpression namePattern(const QString &prefix);

// Removes the abandoned folder parent/name while holding its lock, taken again so
// nobody takes the folder up meanwhile; never follows a link. Whether it went.
bool removeAbandoned(const QString &parent, const QString &name);

} // namespace LockedFolderSystem
