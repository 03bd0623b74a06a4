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

} // namespace BatchDeleteStyles
