#include "batch/shell/BatchPage.h"

#include "batch/engine/BatchFiles.h"
#include "batch/engine/BatchJob.h"
#include "batch/shell/BatchCenterWT.h"
#include "batch/shell/BatchParamWT.h"
#include "batch/shell/OutputFolderRow.h"
#include "batch/shell/FileTable.h"
#include "batch/shell/OperBtn.h"
#include "batch/shell/OperBtnBar.h"
#include "batch/shell/SubmitBtn.h"
#include "batch/shell/ToolboxLog.h"
#include "widgets/DropTarget.h"
#include "widgets/DropArea.h"
#include "widgets/DragAcceptance.h"
#include "widgets/MessageBox.h"
#include "widgets/StartFolder.h"
#include "widgets/StyledBackground.h"
#include "widgets/Toast.h"

#include <QDesktopServices>
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
} // namespace

BatchPage::BatchPage(QWidget *parent)
    : QWidget(parent)
    , bar(new OperBtnBar(this))
{
    setAcceptDrops(true);
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

void BatchPage::setupPage(BatchCenterWT *centre, const std::function<void()> &startSlot)
{
    center = centre;
    notice = new Toast(center->table());
    setStyleSheet(QLatin1String(metaObject()->className()) + QStringLiteral("{background-color:white;}"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(center);

    connect(bar->addFileBtn(), &QPushButton::clicked, this, &BatchPage::addFile);
    connect(bar->clearBtn(), &QPushButton::clicked, this, &BatchPage::clearTable);
    connect(bar->addDirBtn(), &QPushButton::clicked, this, &BatchPage::addDir);
    connect(bar->stopBtn(), &QPushButton::clicked, this, &BatchPage::stopJob);
    if (startSlot && center->paramPanel())
        connect(center->paramPanel()->startButton(), &QPushButton::clicked, this, startSlot);
    connect(center->dropArea()->centerWidget(), &DropTarget::clicked, this, &BatchPage::addFile);
    connect(center->dropArea(), &DropArea::drapAndDrop, this, &BatchPage::onDragAndDrop);
}

void BatchPage::addRow(const QString &path)
{
    const int row = center->addRow(path);
    if (row < 0)
        return;
    connect(center->openDirButton(row), &QPushButton::clicked, this, &BatchPage::openItemDir);
    connect(center->deleteButton(row), &QPushButton::clicked, this, &BatchPage::deleteItem);
}

void BatchPage::addOneFile(const QString &path)
{
    if (center->isEmptyViewShown())
        center->showTableView();
    addRow(path);
}

void BatchPage::addFolder(const QString &folder)
{
    for (const QString &path : BatchFiles::folderFiles(folder))
        addRow(path);
    if (center->rowCount() > 0 && center->isEmptyViewShown())
        center->showTableView();
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
    for (const QString &path : dialog.selectedFiles())
        addRow(path);
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
    if (row < 0)
        return;
    const QString output = center->outputPath(row);
    if (output.isEmpty())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(output).absolutePath()));
}

void BatchPage::stopJob()
{
    if (!runningJob)
        return;
    runningJob->stop();
    // Stopping takes a moment (the tools end, the rows report): once is enough.
    bar->stopBtn()->setEnabled(false);
}

void BatchPage::setJobRunning(bool running)
{
    jobRunning = running;
    bar->stopBtn()->setEnabled(running);
}

void BatchPage::setProgress(int progress, int rowIndex)
{
    center->setRowProgress(rowIndex, progress);
}

void BatchPage::done(QString exportFilePath, int rowIndex, bool isSuccess)
{
    if (rowIndex == -1) {
        if (jobRunning)
            finishJob();
        return;
    }
    if (!center->hasRow(rowIndex))
        return;
    center->setRowResult(rowIndex, exportFilePath);
    resultArrived(rowIndex, exportFilePath, isSuccess);
    if (!isSuccess)
        setRowWarning(rowIndex, QStringLiteral("转换失败！"));
}

void BatchPage::resultArrived(int, const QString &exportFilePath, bool)
{
    qCDebug(lcToolbox) << "export file path ================:" << exportFilePath;
}

void BatchPage::resetRow(int row)
{
    center->resetRowStatus(row);
}

void BatchPage::rowEnded(quint64 generation, int rowIndex, JobTally::Outcome outcome, const QString &exportFilePath)
{
    // Counted even when the table has been cleared: the count is the job's.
    tally.count(outcome);
    showRunningCount();
    if (generation != tableGeneration)
        return;
    if (outcome == JobTally::Cancelled)
        setRowWarning(rowIndex, QStringLiteral("已取消"));
    else
        done(exportFilePath, rowIndex, outcome == JobTally::Succeeded);
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
    qCDebug(lcToolbox) << "on drag and drop event";
    center->showTableView();
    for (const QUrl &url : qAsConst(urls)) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        qCDebug(lcToolbox) << "file Path is :" << path;
        const QFileInfo info(path);
        if (info.isFile())
            addRow(path);
        else if (info.isDir())
            addFolder(path);
    }
}

bool BatchPage::canStart(const QString &emptyRequest)
{
    if (center->rowCount() == 0) {
        showMessage(emptyRequest);
        return false;
    }
    if (jobRunning) {
        showMessage(QStringLiteral("请等待程序执行完成！"));
        return false;
    }
    return true;
}

bool BatchPage::startJob(const JobSettings &settings, const QString &exportDir, EmptyListPolicy policy)
{
    // A re-run starts clean: nothing of the last run's outcome stays on a row.
    QStringList paths;
    for (int row = 0; row < center->rowCount(); ++row) {
        resetRow(row);
        paths << center->sourcePath(row);
    }
    QList<int> missing;
    const JobFiles files = BatchFiles::jobFiles(paths, &missing);
    for (int row : qAsConst(missing))
        setRowWarning(row, QStringLiteral("原文件不存在！"));
    if (files.isEmpty() && policy == SkipIfEmpty)
        return false;

    lastSettings = settings;
    auto *job = new BatchJob(settings, files, exportDir, this);
    runningJob = job;
    setJobRunning(true);
    tally = JobTally{};
    tally.total = center->rowCount();
    tally.failed = missing.size();
    pendingNotice.clear();
    notice->toastHide();
    if (QPushButton *button = startButton())
        idleStartText = button->text();
    showRunningCount();
    // Row indices mean something only for the table the job was started on.
    const quint64 generation = tableGeneration;
    connect(job, &BatchJob::notifyParentProgress, this, [this, generation](int progress, int rowIndex) {
        if (generation == tableGeneration)
            setProgress(progress, rowIndex);
    });
    connect(job, &BatchJob::notifyParentFailure, this, [this, generation](const QString &reason, int rowIndex) {
        if (generation == tableGeneration)
            center->setRowReason(rowIndex, reason);
    });
    connect(job, &BatchJob::notifyParentKeptOriginal, this, [this, generation](int rowIndex) {
        if (generation == tableGeneration)
            center->setRowReason(rowIndex, QStringLiteral("原图已比压缩结果更小，已保留原图"));
    });
    connect(job, &BatchJob::notifyParentCancelled, this,
            [this, generation](int rowIndex) { rowEnded(generation, rowIndex, JobTally::Cancelled); });
    connect(job, &BatchJob::notifyParentDone, this,
            [this, generation](const QString &exportFilePath, int rowIndex, bool isSuccess) {
                if (rowIndex == -1)
                    done(exportFilePath, rowIndex, isSuccess);
                else
                    rowEnded(generation, rowIndex, isSuccess ? JobTally::Succeeded : JobTally::Failed, exportFilePath);
            });
    connect(job, &QThread::finished, job, &QObject::deleteLater);
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
    qCDebug(lcToolbox) << "drop event";
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
