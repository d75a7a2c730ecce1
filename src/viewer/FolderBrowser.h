#pragma once

#include <QString>
#include <QStringList>

// Previous/next image of a folder. The listing is read anew on every step so files
// added or removed in the meantime count.
namespace FolderBrowser {

// Names of the plain files in dirPath whose suffix (any case) is a browse suffix,
// in the order the file system lists them. Plain files and links to them; hidden
// names (a leading dot) are left out.
QStringList listImageNames(const QString &dirPath);

// The same listing through QDirIterator: what listImageNames falls back to where it
// has no faster way, and what it must agree with.
QStringList listImageNamesPortable(const QString &dirPath);

// The same names in natural order.
QStringList imageNames(const QString &dirPath);

// The absolute path of the image offset places (+1 or -1) from currentPath in its
// folder; empty when there is none (no wrap-around). A file missing from the listing
// counts as standing before the first entry: +1 gives the first image, -1 nothing.
QString neighbour(const QString &currentPath, int offset);

// The next and the previous image (either empty when there is none), from one listing.
QStringList neighbours(const QString &currentPath);

// The absolute path of the first (or last) image of currentPath's folder in natural
// order; empty for a folder without images.
QString folderEnd(const QString &currentPath, bool last);

// Where currentPath stands in its folder: 1-based position (0 when not listed) and
// the number of images.
struct Place
{
    int position = 0;
    int count = 0;
};
Place place(const QString &currentPath);

// What opening path shows: a folder stands for its first image in natural order
// (nothing, an empty path, when it has none); anything else is itself.
QString pictureToOpen(const QString &path);

} // namespace FolderBrowser
