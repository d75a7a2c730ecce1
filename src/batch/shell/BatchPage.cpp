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
    const int row = center->addRow(path);
    if (row < 0)
        return false;
    connect(center->openDirButton(row), &QPushButton::clicked, this, &BatchPage::openItemDir);
    connect(center->deleteButton(row), &QPushButton::clicked, this, &BatchPage::deleteItem);
    return true;
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

QString BatchPage::runKey(const JobSettings &settings, const QString &exportDir)
{
    const auto number = [](const std::optional<int> &value) {
        return value ? QString::number(*value) : QStringLiteral("-");
    };
    return QStringList{QString::number(int(settings.operation)),
                       settings.format.value_or(QStringLiteral("-")),
                       number(settings.width),
                       number(settings.height),
                       number(settings.quality),
                       number(settings.degrees),
                       QString::number(settings.flop),
                       QString::number(settings.flip),
                       QString::number(int(settings.metadata)),
                       QDir(exportDir).absolutePath()}
        .join(QLatin1Char('\n'));
}

void BatchPage::setRowWarning(int row, const QString &text)
{
    center->setRowWarning(row, text);
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

void BatchPage::deleteItem()
{
    if (jobRunning) {
        showMessage(QStringLiteral("请等待程序执行完成！"));
        return;
    }
    center->removeRowAt(senderRow());
}

void BatchPage::openItemDir()
{
    const int row = senderRow();
    const QString output = row < 0 ? QString() : center->outputPath(row);
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
    const int row = result.row;
    if (!center->hasRow(row))
        return;
    switch (result.status) {
    case FileResult::Cancelled: setRowWarning(row, QStringLiteral("已取消")); return;
    case FileResult::Succeeded:
        center->setRowProgress(row, 100);
        center->setRowResult(row, result.output);
        center->setRowDoneKey(row, runningKey);
        center->setRowReason(row, successNote(result));
        return;
    case FileResult::Failed:
        center->setRowReason(row, ReasonWords::tooltip(result.reason));
        setRowWarning(row, QStringLiteral("转换失败！"));
        return;
    }
}

void BatchPage::fileStarted(quint64 generation, int row)
{
    if (generation != tableGeneration)
        return;
    runningRows.insert(row, clock.elapsed());
    center->setRowProgress(row, runningProgress(0));
}

void BatchPage::drawRunningRows()
{
    for (auto it = runningRows.constBegin(); it != runningRows.constEnd(); ++it)
        center->setRowProgress(it.key(), runningProgress(clock.elapsed() - it.value()));
}

void BatchPage::fileFinished(quint64 generation, const FileResult &result)
{
    // Counted even when the table has been cleared: the count is the job's.
    tally.count(result.status == FileResult::Succeeded ? JobTally::Succeeded
                    : result.status == FileResult::Failed ? JobTally::Failed
                                                          : JobTally::Cancelled);
    showRunningCount();
    if (generation != tableGeneration)
        return;
    runningRows.remove(result.row);
    showResult(result);
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
    const QString problem = panel->settingsProblem();
    if (!problem.isEmpty()) {
        showMessage(problem);
        return;
    }
    JobSettings settings = panel->settings();
    settings.operation = pageSpec.operation;
    startJob(std::move(settings), panel->exportDir());
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

bool BatchPage::startJob(JobSettings settings, const QString &exportDir)
{
    // A start goes on where the last one ended: rows done with these very
    // settings keep their result; all others (failed, cancelled, changed
    // settings, output gone) start clean.
    const QString key = runKey(settings, exportDir);
    JobFiles files;
    QList<int> missing;
    int kept = 0;
    for (int row = 0; row < center->rowCount(); ++row) {
        const QString output = center->outputPath(row);
        if (center->rowDoneKey(row) == key && !output.isEmpty() && QFileInfo::exists(output)) {
            setRowWarning(row, QStringLiteral("已完成，未重复处理"));
            ++kept;
            continue;
        }
        center->resetRowStatus(row);
        const QString path = center->sourcePath(row);
        if (QFileInfo::exists(path))
            files.append({row, path});
        else
            missing.append(row);
    }
    for (int row : qAsConst(missing))
        setRowWarning(row, QStringLiteral("原文件不存在！"));
    if (kept > 0 && files.isEmpty() && missing.isEmpty()) {
        showMessage(QStringLiteral("所有文件都已按当前设置处理完成"));
        return false;
    }
    if (files.isEmpty() && pageSpec.emptyList == SkipIfEmpty)
        return false;

    runningKey = key;
    auto *job = new BatchJob(std::move(settings), files, exportDir, this);
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

int BatchPage::senderRow() const
{
    const auto *button = qobject_cast<const QWidget *>(sender());
    return button ? center->rowOfWidget(button) : -1;
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
