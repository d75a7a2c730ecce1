#include "widgets/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString &text, const QString &toolTip)
{
    setText(text);
    setToolTip(toolTip.isEmpty() ? text : toolTip);
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const
{
    // Room for the ellipsis with a character on either side.
    const QSize hint = QLabel::minimumSizeHint();
    const QMargins m = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("x…x")) + m.left() + m.right(), hint.height());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}
