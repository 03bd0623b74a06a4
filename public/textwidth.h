#pragma once

#include <QString>

class QComboBox;
class QFontMetrics;
class QLineEdit;

// Widths that let a search bar's fields show their texts whole. A field
// given only a small fixed minimum is squeezed by its layout in a narrow
// window until a combo shows one character of its item; these widths come
// from the field's own font and style sheet (paddings, border, arrow).
namespace TextWidth {

// The width a combo box needs to show its longest item.
int comboBox(QComboBox *combo);

// The width a line edit needs to show its whole placeholder text.
int placeholder(QLineEdit *edit);

// text as it fits width: whole, or its longest beginning that fits with an
// ellipsis after it (TextElide::elided, which says why Qt's own elision is
// not used).
QString elided(const QFontMetrics &metrics, const QString &text, int width);

} // namespace TextWidth
