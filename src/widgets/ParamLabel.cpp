#include "widgets/ParamLabel.h"

#include "widgets/UiProfile.h"

ParamLabel::ParamLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFont(UiProfile::bodyFont());
    setStyleSheet(QStringLiteral("QLabel{color:#484848;}"));
}
