#include "ShowInFolder.h"

#include "ViewerLog.h"
#include "widgets/FolderOpener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

namespace ShowInFolder {

void show(const QString &path, QObject *context, std::function<void()> failed)
{
    const QString folder = QFileInfo(path).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        FolderOpener::open(folder, context, std::move(failed));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    // Asynchronous: starting a file manager by D-Bus activation may take seconds.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [folder, context, failed = std::move(failed)](QDBusPendingCallWatcher *done) {
                         done->deleteLater();
                         if (done->isError()) {
                             qCDebug(lcViewer) << "no file manager on the bus:" << done->error().message();
                             FolderOpener::open(folder, context, failed);
                         }
                     });
}

} // namespace ShowInFolder
