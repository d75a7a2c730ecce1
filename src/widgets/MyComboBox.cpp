#include "widgets/MyComboBox.h"

#include "widgets/UiProfile.h"

#include <QStyledItemDelegate>

MyComboBox::MyComboBox(QWidget *parent)
    : QComboBox(parent)
{
    // A styled delegate lets the item rule of the style sheet (height, colour) apply.
    auto *delegate = new QStyledItemDelegate(this);
    delegate->setObjectName(QStringLiteral("itemDelegate"));
    setItemDelegate(delegate);
    setFont(UiProfile::bodyFont());
    setFixedHeight(UiProfile::pick(35, 45));
    if (UiProfile::isSmallScreen()) {
        setStyleSheet(QStringLiteral(
            "QComboBox{border:1px solid #027DF0;border-radius:5px;padding-left:5px;color:#484848;}"
            "QComboBox::drop-down{border:0px;subcontrol-origin:padding; subcontrol-position:top right;width:30px;"
            "border-left-style:solid;border-top-right-radius:3px;border-bottom-right-radius:3px;}"
            "QComboBox::down-arrow {image:url(:/icons/icons/down_arrow_small.png);}"
            "QComboBox QAbstractItemView::item{height:40;color:#484848;}"));
    } else {
        setStyleSheet(QStringLiteral(
            "QComboBox{border:1px solid #027DF0;border-radius:5px;padding-left:5px;color:#484848;}"
            "QComboBox::drop-down{border:0px;subcontrol-origin:padding; subcontrol-position:top right;width:50px;"
            "border-left-style:solid;border-top-right-radius:3px;border-bottom-right-radius:3px;}"
            "QComboBox::down-arrow {image:url(:/icons/icons/down_arrow.png);}"
            "QComboBox QAbstractItemView::item{height:45;color:#484848;}"));
    }
}
