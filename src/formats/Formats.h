#pragma once

#include <QString>
#include <QStringList>

// The program's supported-suffix lists: lower-case suffixes without the dot, in a
// fixed order (the order also orders file-dialog filters).
namespace Formats {

// Fills every list; called once at start-up before any window exists.
void init();

const QStringList &browseSuffixes(); // folder browsing in the viewer
const QStringList &openSuffixes(); // open dialog, drop area, convert and resize pages
const QStringList &rawSuffixes(); // camera RAW files
const QStringList &compressSuffixes(); // compression page
const QStringList &rotateSuffixes(); // rotate and flip page

// True when the suffix, lower-cased, equals an entry of rawSuffixes().
bool isRawSuffix(const QString &suffix);

} // namespace Formats
