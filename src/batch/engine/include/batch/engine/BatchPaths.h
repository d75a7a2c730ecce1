#pragma once

#include <QString>
#include <QStringList>

// Folders the batch engine, the toolbox pages and the command-line front end share.
namespace BatchPaths {

// The application folder: helper programs are found relative to it and child
// processes run in it.
QString appDir();

// The default output folder of every page: the user's Desktop + "/Pelmora图片查看器".
// A job creates it when its output folder is missing.
QString defaultExportDir();

// Folders searched for the ImageMagick policy that ships with the program:
// "imagemagick" beside the binaries (the build tree), then
// "../share/quorvane/imagemagick" (an installed program).
QStringList magickConfigCandidates(const QString &appDir);

// The first of them holding policy.xml (canonical); empty when none does.
QString magickConfigDir();

} // namespace BatchPaths
