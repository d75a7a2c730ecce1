#pragma once

#include "batch/shell/BatchPage.h"

class CompressCenterWT;

// The compression page: writes the listed PNG and JPEG files in their own format
// at a chosen quality, optionally scaled, and shows each result's size.
class CompressMainWT : public BatchPage
{
    Q_OBJECT

public:
    explicit CompressMainWT(QWidget *parent = nullptr);

    CompressCenterWT *compressCenter() const { return centre; }

public slots:
    void compress();
    void openItemDir() override;

protected:
    void resultArrived(int row, const QString &exportFilePath, bool isSuccess) override;
    void resetRow(int row) override;

private:
    CompressCenterWT *centre;
};
