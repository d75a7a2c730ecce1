#pragma once

#include <QList>
#include <QStringList>

// Which columns a page's file table shows and where the status and the row
// buttons are. Most pages use standard(); the compression page shows each
// result's size in a column of its own (withResultSize()). The file name
// (column 1) takes what room is left, so the status and the buttons stay in view.
struct BatchColumns
{
    enum { NumberColumn = 0, NameColumn = 1, SizeColumn = 2 };

    QStringList headers;
    QList<int> widths; // one per column, already picked for the size profile; the name's is its least
    int statusColumn = 3;
    int buttonColumn = 4;
    int resultSizeColumn = -1; // -1: none

    // "编号", "文件名", "文件大小", "状态", "操作".
    static BatchColumns standard();
    // The same with "压缩后大小" before the status.
    static BatchColumns withResultSize();
};
