#pragma once

#include "batch/shell/BatchCenterWT.h"

class SizeUpdateParamWT;

// Drop area, file table and settings of the resize page.
class SizeUpdateCenterWT : public BatchCenterWT
{
    Q_OBJECT

public:
    explicit SizeUpdateCenterWT(QWidget *parent = nullptr);

    SizeUpdateParamWT *paramWidget() const { return param; }

private:
    SizeUpdateParamWT *param;
};
