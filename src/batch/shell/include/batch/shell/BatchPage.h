#pragma once

#include "batch/engine/BatchTypes.h"
#include "batch/shell/AddReport.h"
#include "batch/shell/BatchRow.h"
#include "batch/shell/PageCentre.h"
#include "batch/shell/SettingsPanel.h"
#include "batch/shell/JobTally.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class BatchJob;
class FileButtonBar;
class QPushButton;
class QTimer;
class Toast;

// A page of the batch toolbox: file bar above a centre area (drop area or file
// table, and the settings panel), drag and drop on the whole page, and the
// start. A page is this class given its operation and texts (Spec) and its
// settings panel; what differs between pages is in those two.
//
// Start: an empty table asks for files (Spec::emptyRequest), a running job asks
// to wait, a number field the panel cannot read says its rule
// (SettingsReading::problem) and nothing runs; otherwise the rows not yet
// done go to a new job with the panel's settings and the page's operation. A
// row is done when it succeeded with the same settings and output folder and
// its output is still there: it is kept and says "已完成，未重复处理". Rows whose
// files are gone show "原文件不存在！".
//
// A running job is matched to the table it was started on: clearing the table
// ends that match, so late results never land on rows added afterwards. A page
// destroyed while its job runs lets the job finish on its own. "停止" in the bar
// stops the running job: its unfinished rows show "已取消", finished ones keep
// their results, and the page can start again once the job has ended.
//
// Every row a start runs begins clean; a row's bar moves from when its tools
// start (runningProgress) until its result. While the job runs the start
// button shows its count ("转换中 12/40"); when it ends the button's own text
// comes back and a notice over the table says how it went ("完成：N 个成功，M 个失败";
// "已停止：…, K 个已取消" after a stop), at once when the page is on screen, else when it
// is shown next; it goes when the page is hidden (another tab chosen), so it
// never stands over another page.
class BatchPage : public QWidget
{
    Q_OBJECT

public:
    enum EmptyListPolicy { StartEvenIfEmpty, SkipIfEmpty };
    // What a row's folder button opens: the folder of the row's output, or the
    // panel's output folder whichever row asks.
    enum OpenFolder { RowOutputFolder, PanelOutputFolder };

    struct Spec
    {
        Operation operation;
        QString hint; // the drop area's text
        QString emptyRequest; // the message for a start on an empty table
        OpenFolder openFolder = RowOutputFolder;
        EmptyListPolicy emptyList = StartEvenIfEmpty; // SkipIfEmpty: nothing starts when every file is missing
    };

    // Takes the panel. The table takes the operation's files (Operations).
    BatchPage(const Spec &spec, SettingsPanel *panel, const BatchColumns &columns = BatchColumns::standard(),
              QWidget *parent = nullptr);
    ~BatchPage() override;

    const Spec &spec() const { return pageSpec; }
    PageCentre *centerWidget() const { return center; }
    SettingsPanel *paramPanel() const;
    // The panel as its own type; null for another type.
    template<typename Panel> Panel *panel() const { return qobject_cast<Panel *>(paramPanel()); }
    FileButtonBar *operBar() const { return bar; }
    bool isJobRunning() const { return jobRunning; }
    // The running job (its settings), or null.
    const BatchJob *job() const;
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
    // the folders in it are passed over. The page's notice says what it did.
    AddReport addFolder(const QString &folder);
    // Shows a file's result on its row (nothing for a row that is not there).
    void showResult(const FileResult &result);

signals:
    // A file of the running job has ended and is counted: the start button and
    // its row show it (the row only while it is on the table the job started on).
    void fileCounted(const FileResult &result);
    // The running job has ended: the page is free again and has its end notice.
    void jobEnded();

public slots:
    void start();
    void addFile();
    void addDir();
    void clearTable();
    // A row's delete button: refused while a job runs.
    void deleteRow(int row);
    // A row's folder button: opens the folder of its output (Spec::openFolder).
    void openRowFolder(int row);
    void stopJob();
    void onDragAndDrop(QList<QUrl> urls);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The refusals before a start: an empty table or a running job.
    bool canStart();
    // Starts a job on the rows whose files still exist; false when nothing was started.
    bool startJob(const RunSettings &run);
    // A folder's files as rows, and what was passed over, without a notice.
    AddReport addFolderRows(const QString &folder);
    // The page's notice says what an add did.
    void tellAdded(const AddReport &report);
    // Counts a row's end for the start button and the end notice, and shows it
    // if the row is still on the table the job started on.
    void fileFinished(quint64 generation, const FileResult &result);
    void fileStarted(quint64 generation, int row);
    // Moves the bars of the running rows.
    void drawRunningRows();
    void setJobRunning(bool running);
    void showMessage(const QString &text);
    QPushButton *startButton() const;
    void showRunningCount();
    // The job has ended: the page is free again and says how it went.
    void finishJob();

    Spec pageSpec;
    PageCentre *center = nullptr;
    FileButtonBar *bar;
    bool jobRunning = false;
    QPointer<BatchJob> runningJob;
    JobTally tally;
    std::optional<RunSettings> runningSettings; // what the running job's successes are marked with
    QString idleStartText; // the start button's text before the job
    Toast *notice = nullptr;
    QString pendingNotice; // an end notice waiting for the page to be shown
    // Bumped by clearTable(); a job's results count only while it is unchanged.
    quint64 tableGeneration = 0;
    QHash<int, qint64> runningRows; // row -> when its tools started (clock)
    QElapsedTimer clock;
    QTimer *ticker;
};
