#pragma once

class QWidget;

namespace StyledBackground {

// Draws the style's plain-widget primitive so that a custom widget's style sheet
// background and border show; call it from the widget's paintEvent.
void paint(QWidget *widget);

} // namespace StyledBackground
