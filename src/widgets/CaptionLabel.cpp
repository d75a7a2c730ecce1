#include "widgets/CaptionLabel.h"

#include "widgets/UiProfile.h"

CaptionLabel::CaptionLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFont(UiProfile::bodyFont());
    setStyleSheet(QStringLiteral("QLabel{color:#484848;}"));
}
