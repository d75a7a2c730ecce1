#include "batch/shell/ParamLabel.h"

#include "app/UiProfile.h"

ParamLabel::ParamLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFont(UiProfile::bodyFont());
    setStyleSheet(QStringLiteral("QLabel{color:#484848;}"));
}
