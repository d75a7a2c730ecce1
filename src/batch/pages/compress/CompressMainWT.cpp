#include "batch/pages/compress/CompressMainWT.h"

#include "batch/pages/compress/CompressCenterWT.h"
#include "batch/pages/compress/CompressParamWT.h"
#include "batch/shell/ToolboxLog.h"

CompressMainWT::CompressMainWT(QWidget *parent)
    : BatchPage(parent)
    , centre(new CompressCenterWT(this))
{
    setupPage(centre, [this] { compress(); });
}

void CompressMainWT::compress()
{
    if (!canStart(QStringLiteral("请添加要压缩的文件！")))
        return;
    const CompressParamWT *param = centre->paramWidget();
    JobSettings settings;
    settings.imgType = BatchOp::Compress;
    settings.formatIndex = kKeepFormat;
    settings.qualityValue = param->qualityValue();
    settings.zoomWidth = param->zoomWidth();
    settings.zoomHeight = param->zoomHeight();
    startJob(settings, param->exportDir(), SkipIfEmpty);
}

void CompressMainWT::openItemDir()
{
    qCDebug(lcToolbox) << "================111111111111111111111111111=====================";
    BatchPage::openItemDir();
}

void CompressMainWT::resultArrived(int row, const QString &exportFilePath, bool)
{
    centre->setCompressedSize(row, exportFilePath);
}

void CompressMainWT::resetRow(int row)
{
    BatchPage::resetRow(row);
    centre->clearCompressedSize(row);
}
