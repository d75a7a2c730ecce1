#pragma once

#include "batch/shell/BatchCenterWT.h"

class CHFParamWT;

// Drop area, file table and settings of the format conversion page.
class CHFCenterWT : public BatchCenterWT
{
    Q_OBJECT

public:
    explicit CHFCenterWT(QWidget *parent = nullptr);

    CHFParamWT *paramWidget() const { return param; }

private:
    CHFParamWT *param;
};
