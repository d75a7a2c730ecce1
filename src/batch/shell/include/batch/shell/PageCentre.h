#pragma once

#include "batch/shell/BatchColumns.h"
#include "batch/shell/BatchRow.h"

#include <QStringList>
#include <QWidget>

class BatchTableModel;
class SettingsPanel;
class DropArea;
class FileTable;
class QHBoxLayout;

// The centre area of every batch page: the drop area and the file table,
// exactly one of them visible, and the page's settings panel on the right. It
// owns the rows (a BatchTableModel the table draws); what happens on clicks,
// drops and job results is the page's business (BatchPage).
class PageCentre : public QWidget
{
    Q_OBJECT

public:
    PageCentre(const QString &hintText, const QStringList &acceptedSuffixes,
               const BatchColumns &columns = BatchColumns::standard(), QWidget *parent = nullptr);

    // Called once by the page; the panel goes right of the table.
    void setParamPanel(SettingsPanel *panel);
    SettingsPanel *paramPanel() const { return panel; }

    FileTable *table() const { return fileTable; }
    DropArea *dropArea() const { return dropWidget; }
    const QStringList &acceptedSuffixes() const { return suffixes; }
    const BatchColumns &columns() const;

    // True when the lower-cased suffix equals one accepted entry.
    static bool acceptsPath(const QString &path, const QStringList &acceptedSuffixes);

    // Appends a row for path when its suffix is accepted; returns its index or -1.
    int addRow(const QString &path);
    int rowCount() const;
    bool hasRow(int row) const;
    // A row as it stands; row must exist.
    const BatchRow &row(int row) const;
    // Replaces a row's value (nothing for a row that is not there).
    void setRow(int row, const BatchRow &value);
    QString sourcePath(int row) const;
    QString outputPath(int row) const;
    QString rowReason(int row) const;
    // What a cell shows (its display text), for a look at the table as drawn.
    QString cellText(int row, int column) const;

    // Removes a row and renumbers the rest; the drop area returns when none is left.
    void removeRowAt(int row);
    void clearRows();

    void showTableView();
    void showEmptyView();
    bool isEmptyViewShown() const;

private:
    QStringList suffixes;
    BatchTableModel *rows;
    FileTable *fileTable;
    DropArea *dropWidget;
    SettingsPanel *panel = nullptr;
    QHBoxLayout *layout;
};
