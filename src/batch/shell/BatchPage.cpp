#include "batch/shell/BatchPage.h"

#include "batch/engine/BatchFiles.h"
#include "batch/engine/BatchJob.h"
#include "batch/engine/Operations.h"
#include "batch/shell/PageCentre.h"
#include "batch/shell/SettingsPanel.h"
#include "OutputFolderRow.h"
#include "ReasonWords.h"
#include "FileTable.h"
#include "widgets/FolderOpener.h"
#include "FileButton.h"
#include "FileButtonBar.h"
#include "StartButton.h"
#include "ToolboxLog.h"
#include "formats/NaturalOrder.h"
#include "widgets/DropTarget.h"
#include "widgets/DropArea.h"
#include "widgets/DragAcceptance.h"
#include "widgets/MessageBox.h"
#include "widgets/StartFolder.h"
#include "widgets/StyledBackground.h"
#include "widgets/Toast.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kEndNoticeMs = 3000;

// A succeeded row's tooltip: the original kept, and a decoder's warning that left
// the pixels whole.
QString successNote(const FileResult &result)
{
    QStringList notes;
    if (result.keptOriginal)
        notes << QStringLiteral("原图已比压缩结果更小，已保留原图");
    if (const QString warning = ReasonWords::noteTooltip(result.reason); !warning.isEmpty())
        notes << warning;
    return notes.join(QLatin1Char('\n'));
}
} // namespace

BatchPage::BatchPage(const Spec &spec, SettingsPanel *panel, const BatchColumns &columns, QWidget *parent)
    : QWidget(parent)
    , pageSpec(spec)
    , center(new PageCentre(spec.hint, Operations::row(spec.operation).acceptedSuffixes(), columns, this))
    , bar(new FileButtonBar(this))
    , ticker(new QTimer(this))
{
    setAcceptDrops(true);
    center->setParamPanel(panel);
    notice = new Toast(center->table());
    setStyleSheet(QStringLiteral("BatchPage{background-color:white;}"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(center);

    connect(bar->addFileBtn(), &QPushButton::clicked, this, &BatchPage::addFile);
    connect(bar->clearBtn(), &QPushButton::clicked, this, &BatchPage::clearTable);
    connect(bar->addDirBtn(), &QPushButton::clicked, this, &BatchPage::addDir);
    connect(bar->stopBtn(), &QPushButton::clicked, this, &BatchPage::stopJob);
    connect(panel->startButton(), &QPushButton::clicked, this, &BatchPage::start);
    connect(center->dropArea()->centerWidget(), &DropTarget::clicked, this, &BatchPage::addFile);
    connect(center->dropArea(), &DropArea::drapAndDrop, this, &BatchPage::onDragAndDrop);
    connect(center->table(), &FileTable::openFolderClicked, this, &BatchPage::openRowFolder);
    connect(center->table(), &FileTable::deleteClicked, this, &BatchPage::deleteRow);

    ticker->setInterval(1000);
    connect(ticker, &QTimer::timeout, this, &BatchPage::drawRunningRows);
    clock.start();
}

BatchPage::~BatchPage()
{
    // A job still running must neither die with its page (its thread would be
    // destroyed mid-run) nor leave a file half-written: it is cut loose, finishes
    // its files and deletes itself; its signals have nowhere to go any more.
    const QList<BatchJob *> jobs = findChildren<BatchJob *>(QString(), Qt::FindDirectChildrenOnly);
    for (BatchJob *job : jobs)
        job->detach();
}

SettingsPanel *BatchPage::paramPanel() const
{
    return center->paramPanel();
}

const BatchJob *BatchPage::job() const
{
    return runningJob;
}

bool BatchPage::addRow(const QString &path)
{
    return center->addRow(path) >= 0;
}

void BatchPage::addOneFile(const QString &path)
{
    if (center->isEmptyViewShown())
        center->showTableView();
    addRow(path);
}

AddReport BatchPage::addFiles(QStringList paths)
{
    NaturalOrder::sort(paths);
    AddReport report;
    for (const QString &path : qAsConst(paths)) {
        if (addRow(path))
            ++report.added;
        else
            ++report.unsupported;
    }
    return report;
}

AddReport BatchPage::addFolder(const QString &folder)
{
    const AddReport report = addFolderRows(folder);
    if (center->rowCount() > 0 && center->isEmptyViewShown())
        center->showTableView();
    tellAdded(report);
    return report;
}

AddReport BatchPage::addFolderRows(const QString &folder)
{
    AddReport report = addFiles(BatchFiles::folderFiles(folder));
    report.folders = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    return report;
}

void BatchPage::tellAdded(const AddReport &report)
{
    // Over the table when it is shown; without one (nothing was added) in a box.
    if (center->isEmptyViewShown())
        showMessage(report.notice());
    else
        notice->showToast(report.notice(), kEndNoticeMs);
}

void BatchPage::addFile()
{
    QString filter;
    for (const QString &suffix : center->acceptedSuffixes())
        filter += QStringLiteral("*.") + suffix + QLatin1Char(' ');

    QFileDialog dialog(this, QStringLiteral("打开图片"), QString(), filter);
    StartFolder::track(&dialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setViewMode(QFileDialog::Detail);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (center->isEmptyViewShown())
        center->showTableView();
    tellAdded(addFiles(dialog.selectedFiles()));
}

void BatchPage::addDir()
{
    const QString folder = OutputFolderRow::askFolder(this, StartFolder::path());
    if (folder.isEmpty()) {
        qCDebug(lcToolbox) << "没有选择任何内容";
        return;
    }
    StartFolder::remember(folder);
    addFolder(folder);
}

void BatchPage::clearTable()
{
    center->clearRows();
    runningRows.clear();
    ++tableGeneration;
}

void BatchPage::deleteRow(int row)
{
    if (jobRunning) {
        showMessage(QStringLiteral("请等待程序执行完成！"));
        return;
    }
    center->removeRowAt(row);
}

void BatchPage::openRowFolder(int row)
{
    const QString output = center->outputPath(row);
    if (output.isEmpty())
        return; // the button is off on a row without an output
    const QString folder
        = pageSpec.openFolder == PanelOutputFolder ? paramPanel()->exportDir() : QFileInfo(output).absolutePath();
    if (!QFileInfo(folder).isDir())
        showMessage(QStringLiteral("输出文件夹已不存在：") + folder);
    else
        FolderOpener::open(folder, this, [this, folder] { showMessage(QStringLiteral("无法打开文件夹：") + folder); });
}

void BatchPage::stopJob()
{
    if (!runningJob)
        return;
    runningJob->stop();
    tally.stopped = true;
    // Stopping takes a moment (the tools end, the rows report): once is enough.
    bar->stopBtn()->setEnabled(false);
}

void BatchPage::setJobRunning(bool running)
{
    jobRunning = running;
    bar->stopBtn()->setEnabled(running);
}
void BatchPage::showResult(const FileResult &result)
{
    if (!center->hasRow(result.row))
        return;
    BatchRow row = center->row(result.row);
    switch (result.status) {
    case FileResult::Cancelled: row.state = BatchRow::State::Cancelled; break;
    case FileResult::Succeeded:
        row.state = BatchRow::State::Succeeded;
        row.progress = 100;
        row.output = result.output;
        row.outputSize = QFileInfo(result.output).size();
        row.doneWith = runningSettings;
        row.reason = successNote(result);
        break;
    case FileResult::Failed:
        row.state = BatchRow::State::Failed;
        row.reason = ReasonWords::tooltip(result.reason);
        break;
    }
    center->setRow(result.row, row);
}

void BatchPage::fileStarted(quint64 generation, int row)
{
    if (generation != tableGeneration || !center->hasRow(row))
        return;
    runningRows.insert(row, clock.elapsed());
    BatchRow value = center->row(row);
    value.state = BatchRow::State::Running;
    value.progress = runningProgress(0);
    center->setRow(row, value);
}

void BatchPage::drawRunningRows()
{
    for (auto it = runningRows.constBegin(); it != runningRows.constEnd(); ++it) {
        if (!center->hasRow(it.key()))
            continue;
        BatchRow row = center->row(it.key());
        row.progress = runningProgress(clock.elapsed() - it.value());
        center->setRow(it.key(), row);
    }
}

void BatchPage::fileFinished(quint64 generation, const FileResult &result)
{
    // Counted even when the table has been cleared: the count is the job's.
    tally.count(result.status == FileResult::Succeeded ? JobTally::Succeeded
                    : result.status == FileResult::Failed ? JobTally::Failed
                                                          : JobTally::Cancelled);
    showRunningCount();
    if (generation == tableGeneration) {
        runningRows.remove(result.row);
        showResult(result);
    }
    emit fileCounted(result);
}

QPushButton *BatchPage::startButton() const
{
    return center && center->paramPanel() ? center->paramPanel()->startButton() : nullptr;
}

void BatchPage::showRunningCount()
{
    if (QPushButton *button = startButton(); button && jobRunning)
        button->setText(tally.runningText(idleStartText));
}

void BatchPage::finishJob()
{
    setJobRunning(false);
    ticker->stop();
    runningRows.clear();
    if (QPushButton *button = startButton())
        button->setText(idleStartText);
    const QString text = tally.endNotice();
    qCDebug(lcToolbox) << "job ended:" << text;
    if (isVisible())
        notice->showToast(text, kEndNoticeMs);
    else
        pendingNotice = text;
    emit jobEnded();
}

void BatchPage::onDragAndDrop(QList<QUrl> urls)
{
    center->showTableView();
    QStringList files;
    QStringList folders;
    for (const QUrl &url : qAsConst(urls)) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (info.isFile())
            files << path;
        else if (info.isDir())
            folders << path;
    }
    AddReport report = addFiles(files);
    NaturalOrder::sort(folders);
    for (const QString &folder : qAsConst(folders))
        report += addFolderRows(folder);
    tellAdded(report);
}

void BatchPage::start()
{
    if (!canStart())
        return;
    SettingsPanel *panel = paramPanel();
    // A field that cannot be read is said at once; nothing runs on a guess.
    SettingsReading reading = panel->read();
    if (!reading.problem.isEmpty()) {
        showMessage(reading.problem);
        return;
    }
    reading.settings.operation = pageSpec.operation;
    startJob(RunSettings(reading.settings, panel->exportDir()));
}

bool BatchPage::canStart()
{
    if (center->rowCount() == 0) {
        showMessage(pageSpec.emptyRequest);
        return false;
    }
    if (jobRunning) {
        showMessage(QStringLiteral("请等待程序执行完成！"));
        return false;
    }
    return true;
}

bool BatchPage::startJob(const RunSettings &run)
{
    // A start goes on where the last one ended: rows done with these very
    // settings keep their result; all others (failed, cancelled, changed
    // settings, output gone) start clean.
    JobFiles files;
    QList<int> missing;
    int kept = 0;
    for (int index = 0; index < center->rowCount(); ++index) {
        BatchRow row = center->row(index);
        if (row.doneWith == run && row.hasOutput() && QFileInfo::exists(row.output)) {
            row.state = BatchRow::State::Kept;
            center->setRow(index, row);
            ++kept;
            continue;
        }
        row.reset();
        if (QFileInfo::exists(row.source)) {
            files.append({index, row.source});
        } else {
            row.state = BatchRow::State::Missing;
            missing.append(index);
        }
        center->setRow(index, row);
    }
    if (kept > 0 && files.isEmpty() && missing.isEmpty()) {
        showMessage(QStringLiteral("所有文件都已按当前设置处理完成"));
        return false;
    }
    if (files.isEmpty() && pageSpec.emptyList == SkipIfEmpty)
        return false;

    runningSettings = run;
    auto *job = new BatchJob(run.job, files, run.outputFolder, this);
    runningJob = job;
    setJobRunning(true);
    tally = JobTally{};
    tally.total = files.size() + missing.size();
    tally.failed = missing.size();
    pendingNotice.clear();
    notice->toastHide();
    if (QPushButton *button = startButton())
        idleStartText = button->text();
    showRunningCount();
    runningRows.clear();
    ticker->start();
    // Row indices mean something only for the table the job was started on.
    const quint64 generation = tableGeneration;
    connect(job, &BatchJob::fileStarted, this, [this, generation](int row) { fileStarted(generation, row); });
    connect(job, &BatchJob::fileFinished, this,
            [this, generation](const FileResult &result) { fileFinished(generation, result); });
    connect(job, &BatchJob::finished, this, [this] {
        if (jobRunning)
            finishJob();
    });
    connect(job, &BatchJob::finished, job, &QObject::deleteLater);
    job->start();
    return true;
}

void BatchPage::showMessage(const QString &text)
{
    (new MessageBox(text, this))->show();
}

void BatchPage::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls() && DragAcceptance::acceptsUrls(data->urls(), center->acceptedSuffixes()))
        event->acceptProposedAction();
}

void BatchPage::dropEvent(QDropEvent *event)
{
    onDragAndDrop(event->mimeData()->urls());
}

void BatchPage::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}

void BatchPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (pendingNotice.isEmpty())
        return;
    // After the layout has placed the table the notice centres on.
    QTimer::singleShot(0, this, [this] {
        if (pendingNotice.isEmpty() || !isVisible())
            return;
        notice->showToast(pendingNotice, kEndNoticeMs);
        pendingNotice.clear();
    });
}

void BatchPage::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (notice)
        notice->hide();
}
