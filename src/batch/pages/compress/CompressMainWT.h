#pragma once

#include "batch/shell/BatchPage.h"

// Placeholder until the page's own panel and start slot arrive: the framework page
// with this tab's hint text and accepted suffixes.
class CompressMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit CompressMainWT(QWidget *parent = nullptr);
};
