#include "batch/pages/resize/SizeUpdateMainWT.h"

#include "app/Formats.h"
#include "batch/shell/BatchCenterWT.h"
#include "batch/shell/BatchParamWT.h"

SizeUpdateMainWT::SizeUpdateMainWT(QWidget *parent)
    : BatchPage(parent)
{
    auto *centre = new BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，raw，bmp，tif，tiff，webp 等上百种格式"),
                                     Formats::openSuffixes(), BatchColumns::standard(), this);
    centre->setParamPanel(new BatchParamWT(QStringLiteral("开始转换"), centre));
    setupPage(centre, nullptr);
}
