#include "widgets/DragAcceptance.h"

#include <QDir>
#include <QFileInfo>

namespace DragAcceptance {

bool acceptsFileName(const QString &fileName, const QStringList &acceptedSuffixes)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const QString &accepted : acceptedSuffixes) {
        if (accepted.endsWith(suffix))
            return true;
    }
    return false;
}

bool acceptsUrls(const QList<QUrl> &urls, const QStringList &acceptedSuffixes)
{
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile() && acceptsFileName(info.fileName(), acceptedSuffixes))
            return true;
        if (info.isDir()) {
            const QStringList names = QDir(info.absoluteFilePath()).entryList(QDir::Files | QDir::Hidden);
            for (const QString &name : names) {
                if (acceptsFileName(name, acceptedSuffixes))
                    return true;
            }
        }
    }
    return false;
}

} // namespace DragAcceptance
