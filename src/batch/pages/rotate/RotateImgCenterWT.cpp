#include "batch/pages/rotate/RotateImgCenterWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/pages/rotate/RotateImgParamWT.h"

RotateImgCenterWT::RotateImgCenterWT(QWidget *parent)
    : BatchCenterWT(QStringLiteral("支持 jpg，jpeg，png，bmp 格式的图片"),
                    BatchCatalogue::acceptedSuffixes(BatchOp::Rotate), BatchColumns::standard(), parent)
    , param(new RotateImgParamWT(this))
{
    setParamPanel(param);
}
