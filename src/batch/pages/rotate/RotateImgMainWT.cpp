#include "batch/pages/rotate/RotateImgMainWT.h"

#include "app/Formats.h"
#include "batch/shell/BatchCenterWT.h"
#include "batch/shell/BatchParamWT.h"

RotateImgMainWT::RotateImgMainWT(QWidget *parent)
    : BatchPage(parent)
{
    auto *centre = new BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，bmp 格式的图片"), Formats::rotateSuffixes(),
                                     BatchColumns::standard(), this);
    centre->setParamPanel(new BatchParamWT(QStringLiteral("开始旋转"), centre));
    setupPage(centre, nullptr);
}
