#include "widgets/FolderOpener.h"

#include "UiLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QUrl>

namespace FolderOpener {

namespace {

// xdg-open finds out within this whether it has anything to open the folder with;
// under a plain window manager it then waits for the file manager it started.
constexpr int kFailWindowMs = 10000;

int running = 0;

// The caller's failure report while its folder is handed to QDesktopServices:
// openUrl calls the handler on this thread before it returns.
struct Request
{
    QPointer<QObject> context;
    std::function<void()> failed;
};
Request *handing = nullptr;

void runXdgOpen(const QString &folder, Request request)
{
    // No parent: a file manager that xdg-open waits for outlives the page.
    auto *process = new QProcess;
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    ++running;
    const QDeadlineTimer window(kFailWindowMs);
    const auto ended = [process, window, request = std::move(request)](bool ok) {
        --running;
        process->deleteLater();
        qCDebug(lcUi) << "xdg-open ended" << (ok ? "well" : "with an error");
        if (!ok && request.context && request.failed && !window.hasExpired())
            request.failed();
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [ended](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(false);
    });
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [ended](int code, QProcess::ExitStatus status) {
                         ended(status == QProcess::NormalExit && code == 0);
                     });
    process->start(QStringLiteral("xdg-open"), {folder});
}

} // namespace

// The program's handler of file URLs.
class XdgOpen : public QObject
{
    Q_OBJECT

public slots:
    void open(const QUrl &url)
    {
        Request request;
        if (handing) {
            request = std::move(*handing);
            handing = nullptr;
        }
        runXdgOpen(url.toLocalFile(), std::move(request));
    }
};

void open(const QString &folder, QObject *context, std::function<void()> failed)
{
    Request request{context, std::move(failed)};
    handing = &request;
    const bool handed = QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    handing = nullptr;
    // Neither a handler nor the platform could take it.
    if (!handed && request.context && request.failed)
        request.failed();
}

int pending()
{
    return running;
}

void handleFileUrls()
{
    static auto *handler = new XdgOpen;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), handler, "open");
}

} // namespace FolderOpener

namespace {

// As the program starts, before anything (a test among them) sets its own.
void handleFileUrlsAtStart()
{
    FolderOpener::handleFileUrls();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(handleFileUrlsAtStart)

#include "FolderOpener.moc"
