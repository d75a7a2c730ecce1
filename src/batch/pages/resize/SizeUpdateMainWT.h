#pragma once

#include "batch/shell/BatchPage.h"

class SizeUpdateCenterWT;

// The resize page: converts the listed images into one format, scaled to a
// preset or custom size. Rows open the folder of their own output.
class SizeUpdateMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit SizeUpdateMainWT(QWidget *parent = nullptr);

    SizeUpdateCenterWT *sizeUpdateCenter() const { return centre; }

public slots:
    void sizeUpdate();

private:
    SizeUpdateCenterWT *centre;
};
