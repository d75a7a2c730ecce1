#include "widgets/MyLineEdit.h"

#include "widgets/UiProfile.h"

MyLineEdit::MyLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setFont(UiProfile::bodyFont());
    setFixedHeight(UiProfile::pick(35, 45));
    setStyleSheet(
        QStringLiteral("MyLineEdit{border:1px solid #027DF0;border-radius:5px;padding-left:5px;color:#484848;}"));
}
