#pragma once

#include <QList>

// How the file table's columns share the width there is. Each column has the
// width it would like and the least it can do with; the status and the row
// buttons ask for no less than they like, so they stay in view. With room to
// spare the file name takes it all; short of room the name gives way first,
// down to its least, then the other columns that can, each in proportion to
// what it may give; below every least the table scrolls.
namespace ColumnFit {

QList<int> widths(const QList<int> &preferred, const QList<int> &least, int nameColumn, int available);

} // namespace ColumnFit
