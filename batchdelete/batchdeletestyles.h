#pragma once

#include <QString>

// The look the two tables of the batch-delete window share.
namespace BatchDeleteStyles {

// A white framed panel with rounded corners, by object name.
QString panel(const QString &objectName);
// The table: no border, light grid, blue selection.
QString table();
// Thin scroll bars without arrows.
QString scrollBar();
// The horizontal header: light grey sections with a bottom rule.
QString header();
// The order table's row widgets (tick box, progress bar), given once to the
// table: a sheet of its own on each of thousands of widgets made every one
// of them slow to make and to take down.
QString orderRowWidgets();
// The "查看成功" / "查看失败" links of a finished order's row: underlined
// text in the deep green or red of its outcome, at the table's size, so it
// reads on white.
QString resultLink(bool failed);

} // namespace BatchDeleteStyles
