#include "widgets/StartFolder.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace StartFolder {

namespace {

const char *const kLastFolderKey = "dialogs/lastFolder";

QString &shownPicture()
{
    static QString path;
    return path;
}

// ~/.config/quorvane/quorvane.conf
QString lastFolder()
{
    return QSettings(QStringLiteral("quorvane"), QStringLiteral("quorvane")).value(QLatin1String(kLastFolderKey)).toString();
}

void setLastFolder(const QString &folder)
{
    QSettings(QStringLiteral("quorvane"), QStringLiteral("quorvane")).setValue(QLatin1String(kLastFolderKey), folder);
}

bool isFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString choose(const QString &shownPictureFolder, const QString &lastFolder, const QString &desktop)
{
    for (const QString &candidate : {shownPictureFolder, lastFolder}) {
        if (isFolder(candidate))
            return candidate;
    }
    return desktop;
}

QString path()
{
    const QString shown = shownPicture().isEmpty() ? QString() : QFileInfo(shownPicture()).absolutePath();
    return choose(shown, lastFolder(), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

void setShownPicture(const QString &picturePath)
{
    shownPicture() = picturePath;
}

void remember(const QString &chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    const QFileInfo chosen(chosenPath);
    setLastFolder(chosen.isDir() ? chosen.absoluteFilePath() : chosen.absolutePath());
}

void track(QFileDialog *dialog)
{
    dialog->setDirectory(path());
    QObject::connect(dialog, &QFileDialog::filesSelected, dialog, [](const QStringList &files) {
        if (!files.isEmpty())
            remember(files.constFirst());
    });
}

} // namespace StartFolder
