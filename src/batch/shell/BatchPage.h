#pragma once

#include "batch/engine/BatchTypes.h"
#include "batch/shell/AddReport.h"
#include "batch/shell/JobTally.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class BatchCenterWT;
class BatchJob;
class OperBtnBar;
class QPushButton;
class Toast;

// The page of the batch toolbox (the …MainWT classes derive from it): file bar
// above a centre area, the common slots, drag and drop on the whole page, and the
// start skeleton. Writing a page:
//
//   1. Derive the centre area from BatchCenterWT, passing the hint text, the
//      accepted suffixes and, for a sixth column, its own BatchColumns (headers,
//      widths, statusColumn, buttonColumn); create the panel (derived from
//      BatchParamWT, or SizeParamWT for the width/height rows) and call
//      setParamPanel().
//   2. Derive the page from BatchPage; in its constructor create the centre area
//      and call setupPage(centre, [this] { yourStartSlot(); }).
//   3. The start slot: `if (!canStart(QStringLiteral("请添加要转换的文件！"))) return;`
//      read the panel into a JobSettings (batch/engine/BatchTypes.h: set imgType,
//      formatIndex and what else the page passes), then
//      `startJob(settings, panel->exportDir())` (SkipIfEmpty for a page that
//      starts nothing when every file is missing).
//   4. Optional hooks: override resultArrived() to add cells when a row's result
//      comes in (the compression page's "压缩后大小") and resetRow() to clear them
//      for a new start; override openItemDir() for another open-folder rule.
//
// A running job is matched to the table it was started on: clearing the table
// ends that match, so late results never land on rows added afterwards. A page
// destroyed while its job runs lets the job finish on its own. "停止" in the bar
// stops the running job: its unfinished rows show "已取消", finished ones keep
// their results, and the page can start again once the job has ended.
//
// Every start begins with clean rows. While the job runs the start button shows
// its count ("转换中 12/40"); when it ends the button's own text comes back and a
// notice over the table says how it went ("完成：N 个成功，M 个失败", and
// "K 个已取消" after a stop), at once when the page is on screen, else when it is
// shown next; it goes when the page is hidden (another tab chosen), so it never
// stands over another page.
class BatchPage : public QWidget
{
    Q_OBJECT

public:
    enum EmptyListPolicy { StartEvenIfEmpty, SkipIfEmpty };

    explicit BatchPage(QWidget *parent = nullptr);
    ~BatchPage() override;

    BatchCenterWT *centerWidget() const { return center; }
    OperBtnBar *operBar() const { return bar; }
    bool isJobRunning() const { return jobRunning; }
    // What the page handed to the job it started last (defaults until one starts):
    // lets a caller see what a start read from the panel without running it twice.
    const JobSettings &lastJobSettings() const { return lastSettings; }
    // How the rows of the job started last have ended so far.
    const JobTally &jobTally() const { return tally; }
    Toast *endNotice() const { return notice; }

    // Adds one file when its suffix is accepted (exact test on the lower-cased suffix).
    bool addRow(const QString &path);
    // A file handed over from outside: shows the table, then addRow().
    void addOneFile(const QString &path);
    // Files chosen together: added in natural name order (the viewer's).
    AddReport addFiles(QStringList paths);
    // What addDir() does with the chosen folder: its files in natural name order;
    // the folders in it are passed over. Says in the notice what it did.
    AddReport addFolder(const QString &folder);
    // A settings record as a start compares it with a row's last success.
    static QString runKey(const JobSettings &settings, const QString &exportDir);
    void setRowWarning(int row, const QString &text);

public slots:
    void addFile();
    void addDir();
    void clearTable();
    void deleteItem();
    virtual void openItemDir();
    void stopJob();
    void setProgress(int progress, int rowIndex);
    void done(QString exportFilePath, int rowIndex, bool isSuccess);
    void onDragAndDrop(QList<QUrl> urls);

protected:
    // Lays out bar and centre and makes the connections every page has.
    void setupPage(BatchCenterWT *centre, const std::function<void()> &startSlot);

    // The refusals before a start: an empty table (emptyRequest), a running job, or
    // a number field whose text its rule refuses (the rule's message).
    bool canStart(const QString &emptyRequest);
    // Sends the rows not yet done to a new job and starts it: a row that
    // succeeded with the same settings and output folder, its output still there,
    // is kept ("已完成，未重复处理"); rows whose files are gone are marked
    // "原文件不存在！". False when nothing was started.
    bool startJob(const JobSettings &settings, const QString &exportDir, EmptyListPolicy policy = StartEvenIfEmpty);

    // A file's result has been stored in its row; the default logs the path.
    virtual void resultArrived(int row, const QString &exportFilePath, bool isSuccess);
    // A start is about to run the row again: the default resets its status cell
    // (BatchCenterWT::resetRowStatus). A page with cells of its own for a result
    // clears them too, calling this first.
    virtual void resetRow(int row);

    // The row of the row button that sent the current signal, or -1.
    int senderRow() const;
    void showMessage(const QString &text);

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void setJobRunning(bool running);
    // A folder's files as rows, and what was passed over, without a notice.
    AddReport addFolderRows(const QString &folder);
    // The page's notice says what an add did.
    void tellAdded(const AddReport &report);

    // Where every row end of the running job arrives (generation: the table's at
    // the job's start, as startJob() captures it): counts the outcome for the
    // start button and the end notice, then shows it on the row if the row is
    // still on that table: done() for a result, "已取消" for a row a stop ended
    // before it finished (a stop feeds those here as JobTally::Cancelled).
    void rowEnded(quint64 generation, int rowIndex, JobTally::Outcome outcome,
                  const QString &exportFilePath = QString());

    QPushButton *startButton() const;
    void showRunningCount();
    // The end marker: the page is free again and says how the job went.
    void finishJob();

    BatchCenterWT *center = nullptr;
    OperBtnBar *bar;
    bool jobRunning = false;
    QPointer<BatchJob> runningJob;
    JobSettings lastSettings;
    QString runningKey; // runKey() of the running job: what its successes are marked with
    JobTally tally;
    QString idleStartText; // the start button's text before the job
    Toast *notice = nullptr;
    QString pendingNotice; // an end notice waiting for the page to be shown
    // Bumped by clearTable(); a job's results count only while it is unchanged.
    quint64 tableGeneration = 0;
};
