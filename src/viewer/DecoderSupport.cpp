#include "DecoderSupport.h"

#include "ViewerLog.h"

#include <QImageReader>
#include <QMutex>
#include <QSet>

namespace DecoderSupport {

namespace {

QBasicMutex mutex;
bool asked = false;
QSet<QByteArray> plugins;
QSet<QByteArray> missing;

void askLocked()
{
    if (asked)
        return;
    asked = true;
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const QByteArray &format : formats)
        plugins.insert(format.toLower());
    qCDebug(lcViewer) << "image plugins decode" << formats;
}

} // namespace

bool canDecode(const QByteArray &format)
{
    QMutexLocker lock(&mutex);
    askLocked();
    const QByteArray name = format.toLower();
    return plugins.contains(name) && !missing.contains(name);
}

void setMissing(const QList<QByteArray> &formats)
{
    QMutexLocker lock(&mutex);
    missing.clear();
    for (const QByteArray &format : formats)
        missing.insert(format.toLower());
}

} // namespace DecoderSupport
