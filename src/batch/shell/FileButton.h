#pragma once

#include <QPushButton>

// A blue file button of a page's top bar.
class FileButton : public QPushButton
{
    Q_OBJECT

public:
    FileButton(const QString &iconPath, const QString &text, QWidget *parent = nullptr);
};
