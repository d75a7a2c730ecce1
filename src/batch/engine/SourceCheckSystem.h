#pragma once

#include <QByteArray>
#include <QString>

namespace SourceCheck {

// Opens path without blocking, refuses anything but a regular file and reads up to
// ContentFormat::kHeadBytes of it into head. Why it cannot be used; empty when it can.
QString readHead(const QString &path, QByteArray *head);

} // namespace SourceCheck
