#pragma once

class QComboBox;
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

} // namespace TextWidth
