#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The pictures of a folder as the file system lists them: what the folder model
// reads when it lists a folder and when its watcher reports a change.
namespace FolderBrowser {

// Names of the plain files in dirPath whose suffix (any case) is a browse suffix,
// in the order the file system lists them. Plain files and links to them; hidden
// names (a leading dot) are left out.
QStringList listImageNames(const QString &dirPath);

// The same entries with their inode numbers (0 where the listing gives none), which
// tell a renamed file from a removed one and an added one. ok is false when the
// folder cannot be read.
struct Listed
{
    QString name;
    quint64 inode = 0;
};
QVector<Listed> listImages(const QString &dirPath, bool *ok = nullptr);

// The same listing through QDirIterator: what listImageNames falls back to where it
// has no faster way, and what it must agree with.
QStringList listImageNamesPortable(const QString &dirPath);

// The same names in natural order.
QStringList imageNames(const QString &dirPath);

} // namespace FolderBrowser
