#pragma once

#include "batch/shell/BatchCenterWT.h"

class CompressParamWT;

// Drop area, file table and settings of the compression page. The table has a
// sixth column, "压缩后大小", before the status.
class CompressCenterWT : public BatchCenterWT
{
    Q_OBJECT

public:
    enum { CompressedSizeColumn = 3 };

    // The six columns with their widths for the current size profile.
    static BatchColumns compressColumns();

    explicit CompressCenterWT(QWidget *parent = nullptr);

    CompressParamWT *paramWidget() const { return param; }

    // Shows the size of the file at path (0 KB when there is none) in row's
    // "压缩后大小" cell.
    void setCompressedSize(int row, const QString &path);
    // Empties the cell again, as on a new row.
    void clearCompressedSize(int row);

private:
    CompressParamWT *param;
};
