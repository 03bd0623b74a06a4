#pragma once

#include <QString>

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
    Exists,  // another file (or a folder) of that name was there already and is kept
    Refused, // a link at the target or on its way, or outside the order folder
    Failed,
};

// Copies source to target inside orderFolder without replacing anything:
// an existing target is left as it is. *error says why the copy is not
// done, as the user reads it: the refusal, "已存在且内容不同，未覆盖", the
// missing source, the full disk; empty for Copied and Same.
Copy copyNew(const QString &source, const QString &target, const QString &orderFolder, QString *error = nullptr);

// Whether the target holds the source's bytes after the copy.
inline bool isDone(Copy outcome)
{
    return outcome == Copy::Copied || outcome == Copy::Same;
}

// Why a confined write of path failed, for the user: the refusal of a link
// or the full disk; empty for another file-system error (logged, not shown:
// its text is the system's, not Chinese).
QString cause(const QString &path, const QString &orderFolder, const QString &error);

// Whether both files exist and hold the same bytes.
bool sameContent(const QString &a, const QString &b);

} // namespace FJWrites
