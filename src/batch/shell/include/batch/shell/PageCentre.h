#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class SettingsPanel;
class DropArea;
class FileTable;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

// Where a page's file table keeps what it knows, and which columns hold the
// status and the row buttons. Most pages use standard(); the compression page
// shows each result's size in a column of its own (withResultSize()).
struct BatchColumns
{
    QStringList headers;
    QList<int> widths; // one per column, already picked for the size profile
    int statusColumn = 3;
    int buttonColumn = 4;
    int resultSizeColumn = -1; // -1: none

    // "编号", "文件名", "文件大小", "状态", "操作".
    static BatchColumns standard();
    // The same with "压缩后大小" before the status.
    static BatchColumns withResultSize();
};

// The centre area of every batch page: the drop area and the file table,
// exactly one of them visible, and the page's settings panel on the right. It
// owns the rows and their cells; what happens on clicks, drops and job results
// is the page's business (BatchPage).
class PageCentre : public QWidget
{
    Q_OBJECT

public:
    // Item data roles of a row's first cell.
    enum { SourcePathRole = 20, OutputPathRole = 21, DoneKeyRole = 22 };

    PageCentre(const QString &hintText, const QStringList &acceptedSuffixes,
                  const BatchColumns &columns = BatchColumns::standard(), QWidget *parent = nullptr);

    // Called once by the page; the panel goes right of the table.
    void setParamPanel(SettingsPanel *panel);
    SettingsPanel *paramPanel() const { return panel; }

    FileTable *table() const { return fileTable; }
    DropArea *dropArea() const { return dropWidget; }
    const QStringList &acceptedSuffixes() const { return suffixes; }
    const BatchColumns &columns() const { return cols; }

    // True when the lower-cased suffix equals one accepted entry.
    static bool acceptsPath(const QString &path, const QStringList &acceptedSuffixes);

    // Appends a row for path when its suffix is accepted; returns its index or -1.
    int addRow(const QString &path);
    int rowCount() const;
    bool hasRow(int row) const;
    QString sourcePath(int row) const;
    QString outputPath(int row) const;

    void setRowProgress(int row, int value);
    void setRowWarning(int row, const QString &text);
    // Back to how a new row looks: warning hidden and emptied, no reason, bar
    // shown and empty, no output and no done mark.
    void resetRowStatus(int row);
    // Why the row's file failed (or a note on its result), shown as the status
    // cell's tooltip.
    void setRowReason(int row, const QString &text);
    QString rowReason(int row) const;
    // A file succeeded: the row remembers the output and its folder button lights
    // up (it stays off, saying why, on a row without an output); the result-size
    // column, when there is one, shows the output's size.
    void setRowResult(int row, const QString &exportFilePath);
    // The settings a row succeeded with (BatchPage's run key); empty when not done.
    void setRowDoneKey(int row, const QString &key);
    QString rowDoneKey(int row) const;
    // Removes a row and renumbers the rest; the drop area returns when none is left.
    void removeRowAt(int row);
    void clearRows();

    // The row whose cell widget holds widget (a row button), or -1.
    int rowOfWidget(const QWidget *widget) const;

    QProgressBar *progressBar(int row) const;
    QLabel *rowWarning(int row) const;
    QPushButton *openDirButton(int row) const;
    QPushButton *deleteButton(int row) const;

    void showTableView();
    void showEmptyView();
    bool isEmptyViewShown() const;

private:
    QWidget *makeStatusCell();
    QWidget *makeButtonCell();
    template<typename T> T *cellChild(int row, int column, const char *name) const;

    BatchColumns cols;
    QStringList suffixes;
    FileTable *fileTable;
    DropArea *dropWidget;
    SettingsPanel *panel = nullptr;
    QHBoxLayout *layout;
};
