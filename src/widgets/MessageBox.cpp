#include "widgets/MessageBox.h"

#include "widgets/UiProfile.h"

#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

MessageBox::MessageBox(const QString &text, QWidget *parent)
    : QDialog(parent)
    , textLabel(new QLabel(this))
    , spacer(new QWidget(this))
    , okButton(new QPushButton(QStringLiteral("确定"), this))
    , layout(new QGridLayout(this))
    , shadow(new QGraphicsDropShadowEffect(this))
{
    setFixedSize(450, 200);
    setWindowTitle(QStringLiteral("提示"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/icons/note.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setFont(UiProfile::bodyFont());
    setStyleSheet(QStringLiteral("MessageBox{background-color:white;}"));

    textLabel->setFont(UiProfile::bodyFont());
    textLabel->setStyleSheet(QStringLiteral("QLabel{color:#484848;}"));
    textLabel->setText(text);
    // A long message wraps inside the fixed box instead of being cut off.
    textLabel->setWordWrap(true);

    okButton->setFont(UiProfile::bodyFont());
    okButton->setFixedSize(120, 40);
    okButton->setCursor(Qt::PointingHandCursor);
    okButton->setStyleSheet(QStringLiteral(
        "QPushButton{background:#2F69F2;border-radius:5px;color:white;}QPushButton:hover{background:#487FFF;}"));
    connect(okButton, &QPushButton::clicked, this, &QWidget::close);

    spacer->setFixedHeight(15);

    layout->setSpacing(10);
    layout->setContentsMargins(10, 10, 20, 10);
    layout->addWidget(textLabel, 0, 1, 1, 5);
    layout->addWidget(okButton, 1, 5);
    layout->addWidget(spacer, 2, 0, 1, 6);
    for (int column = 0; column < 6; ++column)
        layout->setColumnStretch(column, 1);

    shadow->setOffset(0, 0);
    shadow->setColor(QColor(38, 78, 119, 127));
    shadow->setBlurRadius(50);
    okButton->setGraphicsEffect(shadow);
}

QString MessageBox::text() const
{
    return textLabel->text();
}
