#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include "base/orderinfo.h"

// The note a run of an order keeps in the order's folder while the order is
// not finished: written before the run's first copy, deleted once a run has
// made every copy of the order. A note found when a run begins means that an
// earlier run was cut short (the window closed mid-run, a stop, a crash):
// the copies made since the note are kept and only the others are made
// again. The note's own time comes from the same file system as the copies'
// times, so a share whose clock differs from this computer's tells them
// apart the same way; a copy older than the note is an older file of the
// same name and is made again. A note the user can open: the folder itself
// says that the order is not finished.
//
// Both functions look at the order's folder, on a share as a rule: never
// on the window's thread.
namespace TfUnfinished {

// "导片未完成.txt"
QString fileName();

// What a run begins with.
struct Resume
{
    // A note was there: an earlier run of the order was cut short.
    bool resumed = false;
    // Picked entries (indexes into selectedFiles) whose copy that run made;
    // begin() marks them done.
    QList<int> kept;
    // Photos (videos) with a copy still to make, and photos with every copy
    // made already.
    int redo = 0;
    int whole = 0;
};

// Begins a run of order into orderFolder (absolute, the file system's
// form): without a note there, writes it; with one, marks in order the
// entries whose copy exists and is not older than the note as done
// (importFlag), so the run makes only the others.
Resume begin(OrderInfo *order, const QString &orderFolder);

// A run made every copy of the order: its note goes.
void finish(const QString &orderFolder);

} // namespace TfUnfinished

Q_DECLARE_METATYPE(TfUnfinished::Resume)
