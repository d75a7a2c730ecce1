#include "batch/pages/resize/SizeUpdateCenterWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/pages/resize/SizeUpdateParamWT.h"

SizeUpdateCenterWT::SizeUpdateCenterWT(QWidget *parent)
    : BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，raw，bmp，tif，tiff，webp 等上百种格式"),
                    BatchCatalogue::acceptedSuffixes(BatchOp::Convert), BatchColumns::standard(), parent)
    , param(new SizeUpdateParamWT(this))
{
    setParamPanel(param);
}
