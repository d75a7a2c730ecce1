#pragma once

#include "batch/pages/convert/ConvertPanel.h"

// Settings of the resize page: the conversion page's panel with the catalogue's
// size presets, which pre-fill the width and height fields (still editable; the
// start reads the fields, not the preset).
class ResizePanel : public ConvertPanel
{
    Q_OBJECT

public:
    // The eight presets in combo order, from "原始尺寸" to "自定义".
    static QList<SizePreset> sizePresets();

    explicit ResizePanel(QWidget *parent = nullptr);

protected:
    void applySizePreset(int code) override;
};
