#include "batch/pages/resize/SizeUpdateMainWT.h"

#include "batch/pages/resize/SizeUpdateCenterWT.h"
#include "batch/pages/resize/SizeUpdateParamWT.h"
#include "batch/shell/ToolboxLog.h"


SizeUpdateMainWT::SizeUpdateMainWT(QWidget *parent)
    : BatchPage(parent)
    , centre(new SizeUpdateCenterWT(this))
{
    setupPage(centre, [this] { sizeUpdate(); });
}

void SizeUpdateMainWT::sizeUpdate()
{
    if (!canStart(QStringLiteral("请添加要转换的文件！")))
        return;
    const SizeUpdateParamWT *param = centre->paramWidget();
    JobSettings settings;
    settings.imgType = BatchOp::Convert;
    settings.formatIndex = param->formatIndex();
    settings.zoomWidth = param->zoomWidth();
    settings.zoomHeight = param->zoomHeight();
    qCDebug(lcToolbox) << "zoomWidth:" << settings.zoomWidth << ",zoomHeight:" << settings.zoomHeight
             << ",widthText:" << param->widthText() << ",heightText:" << param->heightText();
    startJob(settings, param->exportDir());
}
