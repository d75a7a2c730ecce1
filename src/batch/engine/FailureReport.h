#pragma once

#include <QString>
#include <QUrl>

// The one-line report of a failed file, and its optional delivery.
namespace FailureReport {

constexpr int kMaxErrorChars = 512;
constexpr int kSendTimeoutMs = 5000;

// "imgchfmt   failed,userId:-1,imgType:T,oriFileName:N,distFormat:F,oriFileSize:S,
//  zoomWidth:W,zoomHeight:H,errorMsg:E" on one line, E cut to its first 512 characters.
QString line(int imgType, const QString &sourcePath, qint64 sourceSize, const QString &outputPath, int outputWidth,
             int outputHeight, const QString &errorText);

// The endpoint from the environment variable QUORVANE_REPORT_URL; empty (no
// reports) when unset. The line names the user's files, so nothing is sent unless
// someone configured where to.
QUrl endpoint();

// POSTs line as UTF-8 text/plain to url on the calling thread and waits at most
// timeoutMs for the reply. Returns whether a reply arrived without network error;
// the result only goes to the debug log and never changes a file's outcome.
bool send(const QUrl &url, const QString &line, int timeoutMs = kSendTimeoutMs);

} // namespace FailureReport
