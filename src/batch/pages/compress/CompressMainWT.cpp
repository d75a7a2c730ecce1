#include "batch/pages/compress/CompressMainWT.h"

#include "app/Formats.h"
#include "app/UiProfile.h"
#include "batch/shell/BatchCenterWT.h"
#include "batch/shell/BatchParamWT.h"

namespace {

// The extra "压缩后大小" column moves status and buttons to columns 4 and 5.
BatchColumns compressColumns()
{
    BatchColumns columns;
    columns.headers = QStringList{QStringLiteral("编号"), QStringLiteral("文件名"), QStringLiteral("文件大小"),
                                  QStringLiteral("压缩后大小"), QStringLiteral("状态"), QStringLiteral("操作")};
    columns.widths = UiProfile::isSmallScreen() ? QList<int>{60, 150, 150, 150, 150, 80}
                                                : QList<int>{80, 200, 200, 200, 200, 100};
    columns.statusColumn = 4;
    columns.buttonColumn = 5;
    return columns;
}

} // namespace

CompressMainWT::CompressMainWT(QWidget *parent)
    : BatchPage(parent)
{
    auto *centre = new BatchCenterWT(QStringLiteral("支持 png，jpg，jpeg 格式的图片进行压缩"), Formats::compressSuffixes(),
                                     compressColumns(), this);
    centre->setParamPanel(new BatchParamWT(QStringLiteral("开始压缩"), centre));
    setupPage(centre, nullptr);
}
