#include "BatchTableModel.h"

#include "formats/SizeText.h"

BatchTableModel::BatchTableModel(const BatchColumns &columns, QObject *parent)
    : QAbstractTableModel(parent)
    , cols(columns)
{ }

int BatchTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int BatchTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : cols.headers.size();
}

QVariant BatchTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !hasRow(index.row()))
        return QVariant();
    const BatchRow &value = rows.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == BatchColumns::NumberColumn)
            return QString::number(index.row() + 1);
        if (column == BatchColumns::NameColumn)
            return value.fileName();
        if (column == BatchColumns::SizeColumn)
            return sizeText(value.sourceSize);
        if (column == cols.resultSizeColumn)
            return value.hasOutput() ? QVariant(sizeText(value.outputSize)) : QVariant();
        if (column == cols.statusColumn)
            return value.stateText();
        return QVariant();
    case Qt::ToolTipRole:
        if (column == BatchColumns::NameColumn)
            return value.fileName(); // the whole name, which the cell may elide
        if (column == cols.statusColumn && !value.reason.isEmpty())
            return value.reason;
        return QVariant();
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    case ProgressRole: return value.state == BatchRow::State::Waiting ? -1 : value.progress;
    case ShowsBarRole: return value.showsBar();
    case HasOutputRole: return value.hasOutput();
    default: return QVariant();
    }
}

QVariant BatchTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return cols.headers.value(section);
}

void BatchTableModel::append(const BatchRow &row)
{
    beginInsertRows(QModelIndex(), rows.size(), rows.size());
    rows.append(row);
    endInsertRows();
}

void BatchTableModel::setRow(int row, const BatchRow &value)
{
    if (!hasRow(row))
        return;
    rows[row] = value;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void BatchTableModel::removeAt(int row)
{
    if (!hasRow(row))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows.remove(row);
    endRemoveRows();
    // The numbers below it moved up by one.
    if (row < rows.size())
        emit dataChanged(index(row, BatchColumns::NumberColumn), index(rows.size() - 1, BatchColumns::NumberColumn));
}

void BatchTableModel::clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
}
