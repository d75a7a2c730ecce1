#pragma once

#include "batch/shell/BatchPage.h"

class CHFCenterWT;

// The format conversion page: converts the listed images into one format,
// optionally scaled.
class CHFMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit CHFMainWT(QWidget *parent = nullptr);

    CHFCenterWT *chfCenter() const { return centre; }

public slots:
    void chFormat();
    // Opens the panel's output folder, whichever row asked.
    void openItemDir() override;

private:
    CHFCenterWT *centre;
};
