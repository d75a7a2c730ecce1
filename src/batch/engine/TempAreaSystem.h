#pragma once

#include <QString>

namespace TempArea {

// Where intermediates go when root cannot be created: the folder, made when the
// system has one; why says what is wrong with it, empty when it can be used.
QString secondRoot(const QString &root, QString *why);

} // namespace TempArea
