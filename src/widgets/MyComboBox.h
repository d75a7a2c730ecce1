#pragma once

#include <QComboBox>

// The combo box of the parameter panels and the print dialog.
class MyComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit MyComboBox(QWidget *parent = nullptr);
};
