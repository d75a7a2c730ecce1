#include "batch/pages/resize/ResizePanel.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/NumberField.h"

QList<SizeSettingsPanel::SizePreset> ResizePanel::sizePresets()
{
    QList<SizePreset> presets;
    for (const BatchCatalogue::SizePreset &preset : BatchCatalogue::sizePresets())
        presets.append({preset.label, preset.code});
    return presets;
}

ResizePanel::ResizePanel(QWidget *parent)
    : ConvertPanel(sizePresets(), parent)
{ }

void ResizePanel::applySizePreset(int code)
{
    const BatchCatalogue::SizePreset *preset = BatchCatalogue::presetByCode(code);
    if (!preset || preset->width < 0)
        return;
    showSizeRows();
    outputWidthEdit()->setText(QString::number(preset->width));
    outputHeightEdit()->setText(preset->height < 0 ? QString() : QString::number(preset->height));
}
