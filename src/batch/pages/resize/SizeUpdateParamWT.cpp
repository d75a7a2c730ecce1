#include "batch/pages/resize/SizeUpdateParamWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/NumberField.h"

int presetWidth(int code)
{
    const BatchCatalogue::SizePreset *preset = BatchCatalogue::presetByCode(code);
    return preset ? preset->width : -1;
}

int presetHeight(int code)
{
    const BatchCatalogue::SizePreset *preset = BatchCatalogue::presetByCode(code);
    return preset ? preset->height : -1;
}

QList<SizeParamWT::SizePreset> SizeUpdateParamWT::sizePresets()
{
    QList<SizePreset> presets;
    for (const BatchCatalogue::SizePreset &preset : BatchCatalogue::sizePresets())
        presets.append({preset.label, preset.code});
    return presets;
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
