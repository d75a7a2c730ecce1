#include "FailureReport.h"

#include "BatchLog.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace FailureReport {

QString line(int imgType, const QString &sourcePath, qint64 sourceSize, const QString &outputPath, int outputWidth,
             int outputHeight, const QString &errorText)
{
    return QStringLiteral("imgchfmt   failed,userId:-1,imgType:") + QString::number(imgType)
        + QStringLiteral(",oriFileName:") + QFileInfo(sourcePath).fileName() + QStringLiteral(",distFormat:")
        + QFileInfo(outputPath).suffix() + QStringLiteral(",oriFileSize:") + QString::number(sourceSize)
        + QStringLiteral(",zoomWidth:") + QString::number(outputWidth) + QStringLiteral(",zoomHeight:")
        + QString::number(outputHeight) + QStringLiteral(",errorMsg:") + errorText.left(kMaxErrorChars);
}

QUrl endpoint()
{
    const QString value = qEnvironmentVariable("QUORVANE_REPORT_URL").trimmed();
    return value.isEmpty() ? QUrl() : QUrl(value);
}

bool send(const QUrl &url, const QString &line, int timeoutMs)
{
    if (!url.isValid())
        return false;
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.post(request, line.toUtf8());

    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    const bool ok = reply->error() == QNetworkReply::NoError;
    if (!ok) {
        qCDebug(lcBatch) << "request protobufHttp handle errors here";
        qCDebug(lcBatch, "request protobufHttp found error ....code: %d %d\n",
                reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), int(reply->error()));
        qCDebug(lcBatch) << reply->errorString();
    } else {
        qCDebug(lcBatch) << "result is :" << QString::fromUtf8(reply->readAll());
    }
    return ok; // the manager deletes the reply
}

} // namespace FailureReport
