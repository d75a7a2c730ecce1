#pragma once

#include <QLineEdit>

// The text field of the parameter panels and the print dialog.
class MyLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit MyLineEdit(QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void lightenPlaceholder();
};
