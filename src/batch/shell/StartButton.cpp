#include "StartButton.h"

#include "widgets/UiProfile.h"

StartButton::StartButton(const QString &text, bool light, QWidget *parent)
    : QPushButton(text, parent)
{
    QFont font = UiProfile::largeFont();
    font.setWeight(63);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    setFont(font);
    setFixedHeight(UiProfile::pick(45, 60));
    setCursor(Qt::PointingHandCursor);
    if (light) {
        setStyleSheet(
            QStringLiteral("QPushButton{border:2px solid #E2E2E2; border-radius:5px;padding-left:5;padding-right:5;}"
                           "QPushButton:hover{background-color:#F0F0F0;}"));
    } else {
        setStyleSheet(QStringLiteral("QPushButton{background-color:#FF9F00;color:white;border-radius:5px;"
                                     "padding-left:5;padding-right:5;}QPushButton:hover{background-color:#F7B03B;}"));
    }
}
