#pragma once

#include <QString>

// The note an order's deletion cut short (the window closed mid-run) leaves
// in the order's folder: the folder itself says that files are left. The
// folder scan passes over it and tells the next run it was there; that run
// deletes what is left, says it went on with the order, and deletes the
// note once it is past the order. Written and deleted only inside the
// order's folder, never through a link; never on the window's thread.
namespace BatchDeleteUnfinished {

// "删除未完成.txt"
QString fileName();

// Writes the note into folder (the order's, as the scan names it); false
// with *error set when it could not be written.
bool write(const QString &folder, QString *error = nullptr);

// Deletes the note, when there is one.
void remove(const QString &folder);

} // namespace BatchDeleteUnfinished
