#pragma once

#include <QImage>
#include <QObject>
#include <QRunnable>
#include <QString>

// Decodes one camera RAW file with LibRaw on a pool thread. Created without a parent
// and deleted by the pool after run().
class ImageLoadTask : public QObject, public QRunnable
{
    Q_OBJECT

public:
    ImageLoadTask(const QString &path, QObject *parent = nullptr);

    void run() override;

    const QString &path() const;

    // The decode itself, callable from any thread: an RGB32 image, or a null image
    // when LibRaw cannot open, unpack, process or render the file.
    static QImage decode(const QString &path);

signals:
    // The path travels with the image so the view can drop results of loads that
    // are no longer current; a receiver taking only the image still connects.
    void finished(QImage image, QString path);

private:
    QString filePath;
};
