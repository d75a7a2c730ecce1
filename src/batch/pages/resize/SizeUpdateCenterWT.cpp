#include "batch/pages/resize/SizeUpdateCenterWT.h"

#include "formats/Formats.h"
#include "batch/pages/resize/SizeUpdateParamWT.h"

SizeUpdateCenterWT::SizeUpdateCenterWT(QWidget *parent)
    : BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，raw，bmp，tif，tiff，webp 等上百种格式"),
                    Formats::openSuffixes(), BatchColumns::standard(), parent)
    , param(new SizeUpdateParamWT(this))
{
    setParamPanel(param);
}
