#include "PdfFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace PdfFile {

QString offeredPathFor(const QString &picturePath, bool folderWritable, const QString &documentsFolder)
{
    const QFileInfo info(picturePath);
    QString name = info.completeBaseName();
    if (name.isEmpty())
        name = QStringLiteral("图片");
    const QString folder = folderWritable && !picturePath.isEmpty() ? info.absolutePath() : documentsFolder;
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

QString offeredPath(const QString &picturePath)
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(documents).isDir())
        documents = QDir::homePath();
    const bool writable = !picturePath.isEmpty() && QFileInfo(QFileInfo(picturePath).absolutePath()).isWritable();
    return offeredPathFor(picturePath, writable, documents);
}

QString ask(QWidget *parent, const QString &offered)
{
    QFileDialog chooser(parent, QStringLiteral("保存为 PDF"), QFileInfo(offered).absolutePath(),
                        QStringLiteral("PDF 文件 (*.pdf)"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setDefaultSuffix(QStringLiteral("pdf"));
    chooser.selectFile(QFileInfo(offered).fileName());
    if (chooser.exec() != QDialog::Accepted)
        return QString();
    return chooser.selectedFiles().value(0);
}

QString unwritableReason(const QString &path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("文件夹不存在");
    if (file.isDir())
        return QStringLiteral("已有同名文件夹");
    if (file.exists() ? !file.isWritable() : !folder.isWritable())
        return QStringLiteral("没有写入权限");
    return QString();
}

QString failedText(const QString &path, const QString &reason)
{
    return QStringLiteral("无法保存 PDF 文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
}

QString savedText(const QString &path)
{
    return QStringLiteral("已保存为 PDF 文件：%1").arg(QDir::toNativeSeparators(path));
}

} // namespace PdfFile
