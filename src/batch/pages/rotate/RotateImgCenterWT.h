#pragma once

#include "batch/shell/BatchCenterWT.h"

class RotateImgParamWT;

// Drop area, file table and settings of the rotate and flip page.
class RotateImgCenterWT : public BatchCenterWT
{
    Q_OBJECT

public:
    explicit RotateImgCenterWT(QWidget *parent = nullptr);

    RotateImgParamWT *paramWidget() const { return param; }

private:
    RotateImgParamWT *param;
};
