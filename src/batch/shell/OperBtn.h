#pragma once

#include <QPushButton>

// A blue file button of a page's top bar.
class OperBtn : public QPushButton
{
    Q_OBJECT

public:
    OperBtn(const QString &iconPath, const QString &text, QWidget *parent = nullptr);
};
