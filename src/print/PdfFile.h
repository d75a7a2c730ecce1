#pragma once

#include <QString>

class QWidget;

// The PDF file a sheet is saved to through "保存为 PDF…".
namespace PdfFile {

// The file offered for a picture: its name with .pdf in its folder, or in the
// documents folder when the picture's folder cannot be written (or is not known).
QString offeredPathFor(const QString &picturePath, bool folderWritable, const QString &documentsFolder);

// The same, for this machine: the picture's folder as it is now, the user's Documents
// folder, or the home folder while there is no Documents folder.
QString offeredPath(const QString &picturePath);

// Asks for the file in a save dialog, offering `offered`; empty when cancelled.
QString ask(QWidget *parent, const QString &offered);

// Why the file cannot be written there, in words for the user; empty when it can be tried.
QString unwritableReason(const QString &path);

QString failedText(const QString &path, const QString &reason);
QString savedText(const QString &path);

} // namespace PdfFile
