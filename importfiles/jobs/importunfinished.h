#pragma once

#include <QDateTime>
#include <QString>

// The note a run of an order keeps in the order's folder while the order is
// not finished: written before the run's first copy, deleted once the order
// has been reported to the service. A note found when a run begins, that
// this window did not write, means that an earlier run was cut short (the
// window closed mid-run, a crash): the copies that run made are kept and
// only the others are copied again. The note's time comes from the same file
// system as the copies' times, so a share whose clock differs from this
// computer's tells them apart the same way. A note the user can open: the
// folder itself says that the order is not finished.
//
// Every function looks at the order's folder, on a share as a rule: never
// on the window's thread.
namespace ImportUnfinished {

// "导入未完成.txt"
QString fileName();

// What a run of an order begins with.
struct Begin
{
    // A note was there already.
    bool found = false;
    // The note's time: a copy made since is the cut run's.
    QDateTime since;
    // The note could not be written (a read-only share): the run goes on
    // without one.
    QString error;
};

// Begins a run of an order into orderFolder (the file system's form): reads
// the note there, or writes one.
Begin begin(const QString &orderFolder);

// Whether target (inside orderFolder, the file system's form) is a copy the
// cut run made of a source of sourceSize bytes: a regular file, not a link,
// of that size, written since the note.
bool copyKept(const QString &target, const QString &orderFolder, qint64 sourceSize, const QDateTime &since);

// The order is reported: its note goes.
void finish(const QString &orderFolder);

} // namespace ImportUnfinished
