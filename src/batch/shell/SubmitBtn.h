#pragma once

#include <QPushButton>

// The large button under a parameter panel: orange for a start button, light grey
// otherwise.
class SubmitBtn : public QPushButton
{
    Q_OBJECT

public:
    SubmitBtn(const QString &text, bool light, QWidget *parent = nullptr);
};
