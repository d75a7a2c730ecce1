#pragma once

#include <QString>

namespace DiskSpace {

// Bytes this process may still write below path; -1 when unknown.
qint64 freeBytes(const QString &path);

} // namespace DiskSpace
