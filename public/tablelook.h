#pragma once

#include <QString>

class QModelIndex;
class QTableView;

// What the tool windows' tables share in their look.
namespace TableLook {

// Thin scroll bars without arrows, both directions, for a table's style
// sheet. A table styled without them draws Qt's bare bars, which under a
// style sheet show as an outline without a handle.
QString thinScrollBars();

// Widens the column of index when the cell's text does not fit it (the
// delegate's size hint, the style sheet's paddings included). A wider
// column, or one the user widened, stays as it is.
void fitCell(QTableView *table, const QModelIndex &index);

} // namespace TableLook
