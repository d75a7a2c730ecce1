#include "batch/pages/compress/CompressCenterWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/pages/compress/CompressParamWT.h"
#include "batch/shell/FileTable.h"
#include "batch/shell/SizeText.h"
#include "widgets/DropArea.h"
#include "widgets/UiProfile.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <memory>

BatchColumns CompressCenterWT::compressColumns()
{
    BatchColumns columns;
    columns.headers = QStringList{QStringLiteral("编号"),       QStringLiteral("文件名"), QStringLiteral("文件大小"),
                                  QStringLiteral("压缩后大小"), QStringLiteral("状态"),   QStringLiteral("操作")};
    columns.widths
        = UiProfile::isSmallScreen() ? QList<int>{60, 150, 150, 150, 150, 80} : QList<int>{80, 200, 200, 200, 200, 100};
    columns.statusColumn = 4;
    columns.buttonColumn = 5;
    return columns;
}

CompressCenterWT::CompressCenterWT(QWidget *parent)
    : BatchCenterWT(QStringLiteral("支持 png，jpg，jpeg 格式的图片进行压缩"),
                    BatchCatalogue::acceptedSuffixes(BatchOp::Compress), compressColumns(), parent)
    , param(new CompressParamWT(this))
{
    setParamPanel(param);
    // Unlike the other pages, no item of this row has a stretch factor.
    centerLayout()->setStretchFactor(dropArea(), 0);
}

void CompressCenterWT::setCompressedSize(int row, const QString &path)
{
    // QFileInfo gives 0 for a missing file, which is what a failed row shows.
    auto *item = new QTableWidgetItem(sizeText(QFileInfo(path).size()));
    item->setTextAlignment(Qt::AlignCenter);
    table()->setItem(row, CompressedSizeColumn, item);
}

void CompressCenterWT::clearCompressedSize(int row)
{
    const std::unique_ptr<QTableWidgetItem> gone(table()->takeItem(row, CompressedSizeColumn));
}
