#pragma once

#include <QLabel>

// A one-line label that keeps its whole text but draws it elided in the middle
// ("…") when it is narrower than the text, and shows the whole text as its tooltip.
// It asks for the whole width and can shrink to an ellipsis.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text and the tooltip (the text itself when none is given).
    void setFullText(const QString &text, const QString &toolTip = QString());

    // The text as drawn at the current width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
