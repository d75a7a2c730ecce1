#pragma once

#include <QLabel>

// Caption of a parameter-panel row.
class CaptionLabel : public QLabel
{
    Q_OBJECT

public:
    explicit CaptionLabel(const QString &text = QString(), QWidget *parent = nullptr);
};
