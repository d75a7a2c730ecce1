#pragma once

#include "batch/shell/BatchPage.h"

class RotateImgCenterWT;

// The rotate and flip page: turns the listed images by an angle and mirrors
// them, each written in its own format. Rows open the folder of their own output.
class RotateImgMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit RotateImgMainWT(QWidget *parent = nullptr);

    RotateImgCenterWT *rotateCenter() const { return centre; }

public slots:
    void rotate();

private:
    RotateImgCenterWT *centre;
};
