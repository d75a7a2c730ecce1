#include "FolderOpener.h"

#include "ToolboxLog.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QProcess>

namespace FolderOpener {

namespace {

// xdg-open finds out within this whether it has anything to open the folder with;
// under a plain window manager it then waits for the file manager it started.
constexpr int kFailWindowMs = 10000;

int running = 0;

} // namespace

void open(const QString &folder, QObject *context, std::function<void()> failed)
{
    // No parent: a file manager that xdg-open waits for outlives the page.
    auto *process = new QProcess;
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    ++running;
    const QDeadlineTimer window(kFailWindowMs);
    const QPointer<QObject> guard(context);
    const auto ended = [process, guard, window, failed = std::move(failed)](bool ok) {
        --running;
        process->deleteLater();
        qCDebug(lcToolbox) << "xdg-open ended" << (ok ? "well" : "with an error");
        if (!ok && guard && !window.hasExpired())
            failed();
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

int pending()
{
    return running;
}

} // namespace FolderOpener
