#pragma once

#include "batch/shell/BatchPage.h"

// Placeholder until the page's own panel and start slot arrive: the framework page
// with this tab's hint text and accepted suffixes.
class SizeUpdateMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit SizeUpdateMainWT(QWidget *parent = nullptr);
};
