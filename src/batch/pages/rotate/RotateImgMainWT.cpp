#include "batch/pages/rotate/RotateImgMainWT.h"

#include "batch/pages/rotate/RotateImgCenterWT.h"
#include "batch/pages/rotate/RotateImgParamWT.h"

RotateImgMainWT::RotateImgMainWT(QWidget *parent)
    : BatchPage(parent)
    , centre(new RotateImgCenterWT(this))
{
    setupPage(centre, [this] { rotate(); });
}

void RotateImgMainWT::rotate()
{
    if (!canStart(QStringLiteral("请添加要转换的文件！")))
        return;
    const RotateImgParamWT *param = centre->paramWidget();
    JobSettings settings;
    settings.imgType = BatchOp::Rotate;
    settings.formatIndex = kKeepFormat;
    settings.rotateDegree = param->rotateDegree();
    settings.isFlop = param->isFlop();
    settings.isFlip = param->isFlip();
    startJob(settings, param->exportDir());
}
