#pragma once

#include <QString>
#include <Qt>

class QFontMetrics;
class QStyleOptionViewItem;

// Cut texts that still show they were cut. QFontMetrics::elidedText takes
// its ellipsis only from the first font of the fallback chain, and the
// program's font has no glyph for it (nor for "."): Qt's elision then cut a
// piece out of a text with nothing in its place, and the rest read as
// another name ("IMG_11.jpg" for "IMG_1001.jpg").
namespace TextElide {

// text as it fits width: whole, or with an ellipsis (drawn from whichever
// font has it) in place of the end, the start or the middle as mode says.
// Each kept piece is the longest that fits; a surrogate pair is never split.
QString elided(const QFontMetrics &metrics, const QString &text, int width, Qt::TextElideMode mode = Qt::ElideRight);

// An item view's cell text as elided() cuts it to the room the cell's style
// leaves for its text, in the cell's own elide mode; a wrapped text stays.
// For a delegate's paint(), after initStyleOption().
void fitItemText(QStyleOptionViewItem *cell);

} // namespace TextElide
