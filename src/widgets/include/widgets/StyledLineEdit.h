#pragma once

#include <QLineEdit>

// The text field of the parameter panels and the print dialog.
class StyledLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit StyledLineEdit(QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void lightenPlaceholder();
};
