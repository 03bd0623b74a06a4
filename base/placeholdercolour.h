#pragma once

class QColor;
class QLineEdit;

// Style sheets have no selector for an edit's placeholder and give it the
// sheet's text colour, so an empty field looks filled in. This keeps colour
// as the field's placeholder colour, also after the field is restyled (a
// polish rebuilds its palette from the sheet, e.g. a focused look).
void keepPlaceholderColour(QLineEdit *field, const QColor &colour);
