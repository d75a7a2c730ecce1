#include "widgets/StyledComboBox.h"

#include "widgets/UiProfile.h"

#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int kTextPadding = 10;

// Draws every drop-down row alike: one height, the text padded from the edge and
// centred vertically, a light selection that keeps the text readable. A style
// sheet item rule reaches the popup only under some parents and pads only some rows.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(StyledComboBox::rowHeight());
        return size;
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        painter->save();
        painter->fillRect(option.rect, selected ? QColor(0xE8, 0xF1, 0xFD) : QColor(Qt::white));
        painter->setPen(option.state & QStyle::State_Enabled ? QColor(0x48, 0x48, 0x48) : QColor(0xAA, 0xAA, 0xAA));
        painter->setFont(option.font);
        const QRect text = option.rect.adjusted(kTextPadding, 0, -kTextPadding, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data().toString(), Qt::ElideMiddle, text.width()));
        painter->restore();
    }
};

} // namespace

StyledComboBox::StyledComboBox(QWidget *parent)
    : QComboBox(parent)
{
    auto *list = new QListView(this);
    setView(list);
    auto *delegate = new RowDelegate(this);
    delegate->setObjectName(QStringLiteral("itemDelegate"));
    setItemDelegate(delegate);
    list->setFont(UiProfile::bodyFont());
    list->setStyleSheet(QStringLiteral("QListView{border:1px solid #027DF0;outline:0px;background:white;}"));

    setFont(UiProfile::bodyFont());
    setFixedHeight(UiProfile::pick(35, 45));
    const bool small = UiProfile::isSmallScreen();
    setStyleSheet(
        QStringLiteral("QComboBox{border:1px solid #027DF0;border-radius:5px;padding-left:5px;color:#484848;}"
                       "QComboBox::drop-down{border:0px;subcontrol-origin:padding; subcontrol-position:top right;"
                       "width:%1px;border-left-style:solid;border-top-right-radius:3px;"
                       "border-bottom-right-radius:3px;}"
                       "QComboBox::down-arrow {image:url(:/icons/icons/%2.png);}")
            .arg(small ? 30 : 50)
            .arg(small ? QStringLiteral("down_arrow_small") : QStringLiteral("down_arrow")));
}

int StyledComboBox::rowHeight()
{
    return UiProfile::pick(40, 45);
}
