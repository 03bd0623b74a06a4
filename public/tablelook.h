#pragma once

#include <QString>

class QModelIndex;
class QTableView;

// What the tool windows' tables share in their look.
namespace TableLook {

// Colours and sizes of a table's thin scroll bars; sizes in pixels as
// drawn (already scaled).
struct ScrollBarLook
{
    QString track;
    QString handle;
    QString hover;
    // Empty: no colour of its own while pressed.
    QString pressed;
    // Width of the vertical bar, height of the horizontal one.
    int thickness = 0;
    // Of the bar and of its handle.
    int radius = 0;
    // 0: the style's own minimum length of the handle.
    int minLength = 0;
    int handleMargin = 0;
    // Empty: the style paints the corner between the two bars.
    QString corner;
};

// The tool windows' usual bars: a faint grey track, a darker handle inset
// in it, a transparent corner.
ScrollBarLook thinLook();

// Thin scroll bars without arrows, both directions, for a table's style
// sheet. A table styled without them draws Qt's bare bars, which under a
// style sheet show as an outline without a handle.
QString thinScrollBars(const ScrollBarLook &look = thinLook());

// The width the cell of index needs to show its text whole: the delegate's
// size hint (the style sheet's paddings included), the grid line and a
// hinted font's slack.
int cellWidth(QTableView *table, const QModelIndex &index);

// Widens the column of index when the cell's text does not fit it
// (cellWidth). A wider column, or one the user widened, stays as it is.
void fitCell(QTableView *table, const QModelIndex &index);

// Draws the table's cells so that a selected row keeps each item's own
// text colour (a status in blue or green stays blue or green), a clicked
// cell gets no focus box, and a text cut by its column ends in an ellipsis,
// in a cell as in the header. The table's style sheet must not give
// ::item:selected a colour of its own, which would win over the items'.
// Delegates set for single columns keep drawing those columns.
void keepItemColours(QTableView *table);

} // namespace TableLook
