#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

// The lenient test a drag has to pass before a page or a drop area takes it; the
// exact suffix test is applied later, row by row.
namespace DragAcceptance {

// True for a file whose lower-case suffix is the ending of an accepted suffix (a
// file without a suffix therefore passes).
bool acceptsFileName(const QString &fileName, const QStringList &acceptedSuffixes);

// True when one URL is such a file, or a folder that directly holds one.
bool acceptsUrls(const QList<QUrl> &urls, const QStringList &acceptedSuffixes);

} // namespace DragAcceptance
