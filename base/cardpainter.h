#pragma once

class QWidget;

// The look of the frameless login and chooser windows: a rounded dark card
// inset from the window's edge with a soft shadow ring around it.
namespace CardPainter {

// Paints the card over the whole widget. With clearFirst the widget's
// pixels are cleared to transparent before (the widget has a translucent
// background and is repainted whole).
void paintCard(QWidget *widget, bool clearFirst);

} // namespace CardPainter
