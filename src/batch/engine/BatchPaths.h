#pragma once

#include <QString>

// Folders the batch engine, the toolbox pages and the command-line front end share.
namespace BatchPaths {

// The application folder: helper programs are found relative to it and child
// processes run in it.
QString appDir();

// The default output folder of every page: the user's Desktop + "/Pelmora图片查看器".
// A job creates it when its output folder is missing.
QString defaultExportDir();

} // namespace BatchPaths
