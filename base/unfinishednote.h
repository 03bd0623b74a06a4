#pragma once

#include <QString>

// The note a tool leaves in an order's folder while a run of the order is
// not finished (the window closed mid-run, a stop, a crash), for the next
// run to find and for the user to read: the folder itself says that the
// order is not finished. Each tool names its note and words its text; the
// note is written and deleted here, confined to the order's folder like
// every other write there. folder is in the file system's own form.
namespace UnfinishedNote {

// Writes text as the note name in folder; false with *error set otherwise.
bool write(const QString &folder, const QString &name, const QString &text, QString *error = nullptr);

// The first line of the note name in folder; empty when there is none. A
// pipe or a link standing there is not read.
QString firstLine(const QString &folder, const QString &name);

// Deletes the note name in folder. True when it is gone (or was never
// there); false with *error set otherwise.
bool remove(const QString &folder, const QString &name, QString *error = nullptr);

} // namespace UnfinishedNote
