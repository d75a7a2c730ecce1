#pragma once

#include "batch/shell/BatchPage.h"

// Placeholder until the page's own panel and start slot arrive: the framework page
// with this tab's hint text and accepted suffixes.
class RotateImgMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit RotateImgMainWT(QWidget *parent = nullptr);
};
