#include "widgets/StyledLineEdit.h"

#include "widgets/UiProfile.h"

#include <QEvent>

namespace {
// Lighter than the typed text (#484848), so a hint never reads as a value.
const QColor kPlaceholderColour(0xB0, 0xB0, 0xB0);
} // namespace

StyledLineEdit::StyledLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setFont(UiProfile::bodyFont());
    setFixedHeight(UiProfile::pick(35, 45));
    setStyleSheet(
        QStringLiteral("StyledLineEdit{border:1px solid #027DF0;border-radius:5px;padding-left:5px;color:#484848;}"));
    lightenPlaceholder();
}

void StyledLineEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    // The style sheet's text colour is also given to the placeholder each time it
    // sets the palette.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        lightenPlaceholder();
}

void StyledLineEdit::lightenPlaceholder()
{
    QPalette pal = palette();
    if (pal.color(QPalette::PlaceholderText) == kPlaceholderColour)
        return;
    pal.setColor(QPalette::PlaceholderText, kPlaceholderColour);
    setPalette(pal);
}
