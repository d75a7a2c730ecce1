#pragma once

#include <QComboBox>

// The combo box of the parameter panels and the print dialog.
class StyledComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit StyledComboBox(QWidget *parent = nullptr);

    // The height of a drop-down row, the same in every box of the program.
    static int rowHeight();
};
