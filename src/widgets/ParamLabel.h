#pragma once

#include <QLabel>

// Caption of a parameter-panel row.
class ParamLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ParamLabel(const QString &text = QString(), QWidget *parent = nullptr);
};
