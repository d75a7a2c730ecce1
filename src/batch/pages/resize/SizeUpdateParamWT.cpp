#include "batch/pages/resize/SizeUpdateParamWT.h"

#include "widgets/MyLineEdit.h"

int presetWidth(int code)
{
    switch (code) {
    case SizeUpdateParamWT::Computer: return 1024;
    case SizeUpdateParamWT::Phone: return 480;
    case SizeUpdateParamWT::StickerLarge: return 200;
    case SizeUpdateParamWT::StickerSmall: return 140;
    case SizeUpdateParamWT::IdPhoto1: return 295;
    case SizeUpdateParamWT::IdPhoto2: return 413;
    default: return -1;
    }
}

int presetHeight(int code)
{
    switch (code) {
    case SizeUpdateParamWT::IdPhoto1: return 413;
    case SizeUpdateParamWT::IdPhoto2: return 626;
    default: return -1;
    }
}

QList<SizeParamWT::SizePreset> SizeUpdateParamWT::sizePresets()
{
    return {{QStringLiteral("原始尺寸"), OriginalSize},
            {QStringLiteral("电脑尺寸"), Computer},
            {QStringLiteral("手机尺寸"), Phone},
            {QStringLiteral("微信表情(大)"), StickerLarge},
            {QStringLiteral("微信表情(小)"), StickerSmall},
            {QStringLiteral("证件照1寸"), IdPhoto1},
            {QStringLiteral("证件照2寸"), IdPhoto2},
            {QStringLiteral("自定义"), CustomSize}};
}

SizeUpdateParamWT::SizeUpdateParamWT(QWidget *parent)
    : CHFParamWT(sizePresets(), parent)
{ }

void SizeUpdateParamWT::applySizePreset(int code)
{
    const int width = presetWidth(code);
    if (width < 0)
        return;
    showSizeRows();
    zoomWidthEdit()->setText(QString::number(width));
    const int height = presetHeight(code);
    zoomHeightEdit()->setText(height < 0 ? QString() : QString::number(height));
}
