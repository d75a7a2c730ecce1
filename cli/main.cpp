#include "cli/BatchCommandLine.h"
#include "cli/BatchReport.h"
#include "cli/BatchRunner.h"
#include "cli/SignalExit.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/engine/BatchFiles.h"
#include "batch/engine/Operations.h"
#include "batch/engine/ToolSlots.h"
#include "process/StandardStreams.h"
#include "process/ToolWatchdog.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextCodec>

#include <csignal>
#include <cstdio>

namespace {

void printText(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything opens a descriptor: closed 0-2 would be handed out again.
    StandardStreams::ensureOpen();
    QCoreApplication app(argc, argv);
    // Before arguments() decodes argv: paths are UTF-8 whatever LANG says.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    BatchCatalogue::init();

    const BatchCommandLine::Result parsed = BatchCommandLine::parse(app.arguments().mid(1));
    switch (parsed.action) {
    case BatchCommandLine::Help: printText(stdout, BatchCommandLine::usage()); return 0;
    case BatchCommandLine::Version:
        printText(stdout, QStringLiteral("quorvane-batch " QUORVANE_VERSION "\n"));
        return 0;
    case BatchCommandLine::UsageError:
        printText(stderr,
                  QStringLiteral("quorvane-batch: %1\nTry 'quorvane-batch --help' for more information.\n")
                      .arg(parsed.error));
        return 2;
    case BatchCommandLine::Run: break;
    }

    const BatchRequest &request = parsed.request;
    // Arguments that are not valid UTF-8 name no file exactly once decoded: the
    // file list reports such paths; anywhere else they end the run.
    const QHash<QString, QByteArray> undecodable = BatchFiles::undecodableArguments(argc, argv);
    for (auto it = undecodable.constBegin(); it != undecodable.constEnd(); ++it) {
        if (!request.paths.contains(it.key())) {
            printText(stderr,
                      QStringLiteral("quorvane-batch: argument is not valid UTF-8: %1\n")
                          .arg(BatchReport::shown(it.value())));
            return 2;
        }
    }
    QList<QByteArray> paths;
    for (const QString &path : request.paths)
        paths << undecodable.value(path, BatchFiles::bytesOf(path));
    if (!request.filesFrom.isEmpty()) {
        QFile list;
        const bool opened = request.filesFrom == QLatin1String("-")
            ? list.open(stdin, QIODevice::ReadOnly)
            : (list.setFileName(request.filesFrom), list.open(QIODevice::ReadOnly));
        if (!opened) {
            printText(stderr, QStringLiteral("quorvane-batch: cannot read %1\n").arg(request.filesFrom));
            return 2;
        }
        const BatchFiles::NameList listed = BatchFiles::readNameList(list.readAll(), request.nulSeparated);
        if (!listed.problem.isEmpty()) {
            printText(stderr, QStringLiteral("quorvane-batch: %1: %2\n").arg(request.filesFrom, listed.problem));
            return 2;
        }
        paths += listed.names;
    }
    if (request.tools > 0)
        ToolSlots::setLimit(request.tools);
    ToolWatchdog::adoptOrphans();
    BatchRunner runner(request,
                       BatchFiles::expand(paths, Operations::row(request.job.operation).acceptedSuffixes(),
                                          request.recursive ? BatchFiles::Recursive : BatchFiles::TopLevel));
    QObject::connect(&runner, &BatchRunner::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    // Interrupted: end the running tools (and drop their partial outputs) first.
    SignalExit signalExit;
    QObject::connect(&signalExit, &SignalExit::received, &app, [&app, &runner](int signalNumber) {
        runner.interrupt(signalNumber != SignalExit::kReaderGone);
        app.exit(128 + signalNumber);
    });
    runner.start();
    const int status = app.exec();
    ToolWatchdog::stop();
    ToolWatchdog::endAdopted();
    return status;
}
