#include "batch/pages/convert/CHFCenterWT.h"

#include "formats/Formats.h"
#include "batch/pages/convert/CHFParamWT.h"

CHFCenterWT::CHFCenterWT(QWidget *parent)
    : BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，bmp，tif，tiff，webp 等上百种格式"), Formats::openSuffixes(),
                    BatchColumns::standard(), parent)
    , param(new CHFParamWT(this))
{
    setParamPanel(param);
}
