#pragma once

#include <QPushButton>

// The large button under a parameter panel: orange for a start button, light grey
// otherwise.
class StartButton : public QPushButton
{
    Q_OBJECT

public:
    StartButton(const QString &text, bool light, QWidget *parent = nullptr);
};
