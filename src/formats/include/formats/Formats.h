#pragma once

#include <QByteArray>
#include <QList>
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

// The Qt image reader formats the viewer decodes: those of its listed suffixes,
// camera RAW aside (LibRaw does those), and never one whose plugin starts another
// program (PostScript, EPS, PDF).
const QList<QByteArray> &readerFormats();

// True when the suffix, lower-cased, equals an entry of rawSuffixes().
bool isRawSuffix(const QString &suffix);

} // namespace Formats
