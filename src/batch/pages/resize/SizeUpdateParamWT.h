#pragma once

#include "batch/engine/BatchCatalogue.h"
#include "batch/pages/convert/CHFParamWT.h"

// Target sides of the size presets, by preset code (the size combo's item data,
// not its index): -1 where the preset leaves a side to the aspect ratio or to
// the user.
int presetWidth(int code);
int presetHeight(int code);

// Settings of the resize page: the conversion page's panel with size presets
// that pre-fill the width and height fields (still editable; the start reads
// the fields, not the preset).
class SizeUpdateParamWT : public CHFParamWT
{
    Q_OBJECT

public:
    enum PresetCode {
        Computer = BatchCatalogue::Computer,
        Phone = BatchCatalogue::Phone,
        StickerLarge = BatchCatalogue::StickerLarge,
        StickerSmall = BatchCatalogue::StickerSmall,
        IdPhoto1 = BatchCatalogue::IdPhoto1,
        IdPhoto2 = BatchCatalogue::IdPhoto2
    };

    // The eight presets in combo order, from "原始尺寸" to "自定义".
    static QList<SizePreset> sizePresets();

    explicit SizeUpdateParamWT(QWidget *parent = nullptr);

protected:
    void applySizePreset(int code) override;
};
