#pragma once

#include <QTableView>

struct BatchColumns;
class BatchTableModel;

// The file table of the batch pages: header only, no grid, whole-row selection,
// read-only, drawn from the page's row model. The status column shows a row's bar
// or its words, the button column its two row buttons. The file name takes the
// room the other columns leave and gives way first, elided in the middle; the
// status and the buttons stay in view down to the narrowest the page gets.
class FileTable : public QTableView
{
    Q_OBJECT

public:
    enum class RowButton { OpenFolder, Delete };

    FileTable(BatchTableModel *model, QWidget *parent = nullptr);

    // Where a row button sits in its cell (cell in viewport coordinates).
    static QRect buttonRect(const QRect &cell, RowButton button);
    // The button under a point of the viewport, on the row of at; false for none.
    bool buttonAt(const QPoint &point, int *row, RowButton *button) const;

signals:
    // A click on a row button; the folder button only while the row has an output.
    void openFolderClicked(int row);
    void deleteClicked(int row);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    // Shares the viewport's width out among the columns (ColumnFit).
    void fitColumns();

    BatchTableModel *rows;
    QList<int> leastWidths; // one per column
    // The button a left press went down on: a click is a press and a release on the same one.
    int pressedRow = -1;
    RowButton pressedButton = RowButton::Delete;
};
