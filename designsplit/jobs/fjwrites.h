#pragma once

#include <QString>

#include "base/heldfolder.h"

// The writes of the design-split jobs into an order folder, on top of the
// confined writes: every target stays inside the order folder and is never
// reached through a link. Paths are the file system's own (PathUtil::toFs()
// of the service's paths).
namespace FJWrites {

enum class Copy {
    Copied,
    // A file with the same bytes was there already (an earlier run of the
    // same order): nothing to do, and the copy is done.
    Same,
    // Another file, a folder, a pipe or a device of that name was there
    // already and is kept (a pipe or device never opened).
    Exists,
    Refused, // a link at the target or on its way, or outside the order folder
    Failed,
};

// Copies source to target inside orderFolder without replacing anything:
// an existing target is left as it is. *error says why the copy is not
// done, as the user reads it: the refusal, "已存在且内容不同，未覆盖", what
// stands at the target when it is no regular file, the source that is
// missing or no regular file (named), the full disk; empty for Copied and
// Same.
Copy copyNew(const QString &source, const QString &target, const QString &orderFolder, QString *error = nullptr);

// Whether the target holds the source's bytes after the copy.
inline bool isDone(Copy outcome)
{
    return outcome == Copy::Copied || outcome == Copy::Same;
}

// What stands at target, the name itself not followed, looked at in its
// folder held inside orderFolder; Missing when that folder cannot be had
// (the write then says why). For a link, *refusal is set to the refusal; for
// a folder, pipe, socket or device, to the conflict that names it.
HeldFolder::Kind targetKind(const QString &target, const QString &orderFolder, QString *refusal = nullptr);

// Why a confined write of path failed, for the user: the refusal of a link
// put in its way meanwhile, or else the write's own cause (FileOps words it
// in Chinese: the full disk, a permission, the source that is no regular
// file). Never empty.
QString cause(const QString &path, const QString &orderFolder, const QString &error);

// Whether both are regular files that hold the same bytes. Neither is
// opened when it is a pipe, a device or a link: a pipe would block the
// comparison for ever.
bool sameContent(const QString &a, const QString &b);

} // namespace FJWrites
