#include "batch/pages/convert/CHFCenterWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/pages/convert/CHFParamWT.h"

CHFCenterWT::CHFCenterWT(QWidget *parent)
    : BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，bmp，tif，tiff，webp 等上百种格式"),
                    BatchCatalogue::acceptedSuffixes(BatchOp::Convert), BatchColumns::standard(), parent)
    , param(new CHFParamWT(this))
{
    setParamPanel(param);
}
