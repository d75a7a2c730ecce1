#pragma once

#include <QTableWidget>

// The file table of the batch pages: header only, no grid, whole-row selection,
// read-only. Column widths are set by the owner.
class FileTable : public QTableWidget
{
    Q_OBJECT

public:
    FileTable(int rows, int columns, QWidget *parent = nullptr);
};
