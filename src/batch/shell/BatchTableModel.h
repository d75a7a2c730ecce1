#pragma once

#include "batch/shell/BatchColumns.h"
#include "batch/shell/BatchRow.h"

#include <QAbstractTableModel>
#include <QVector>

// The rows of a page's file table as values, one column set per page. The view
// and its delegates draw what data() gives; the page changes a row whole.
class BatchTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        ProgressRole = Qt::UserRole, // int: the bar's percent, -1 for an empty bar
        ShowsBarRole, // bool: the status cell shows the bar, not its words
        HasOutputRole, // bool: the row's folder button can open something
    };

    explicit BatchTableModel(const BatchColumns &columns, QObject *parent = nullptr);

    const BatchColumns &columns() const { return cols; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const BatchRow &row(int row) const { return rows.at(row); }
    bool hasRow(int row) const { return row >= 0 && row < rows.size(); }
    void append(const BatchRow &row);
    void setRow(int row, const BatchRow &value);
    void removeAt(int row);
    void clear();

private:
    BatchColumns cols;
    QVector<BatchRow> rows;
};
