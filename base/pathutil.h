#pragma once

#include <QString>

// The one home of path handling. Paths from the order service and from the
// import-path builder use "\" as Windows writes them; every file-system call
// goes through toFs() so that they also work where "\" is an ordinary character.
namespace PathUtil {

// The path as the file system of this platform takes it ("\" becomes "/"
// where the platform does not treat it as a separator).
QString toFs(const QString &path);

// Whether the path is absolute on this platform, after toFs(). A UNC path
// ("\\host\share") is absolute only where the platform knows shares by it:
// elsewhere it would name a folder at the file-system root.
bool isAbsolute(const QString &path);

// Whether the path begins with two separators, as a UNC path does.
bool isUnc(const QString &path);

// Whether any component of the path (split at "/" and "\") is "." or "..".
bool hasDotComponent(const QString &path);

// Whether a single name coming from the service may be used as one folder
// or file name: not empty, no separator, not "." or "..".
bool isPlainName(const QString &name);

// Whether both paths name the same existing file (device and inode, or the
// platform's file identity), whatever strings spell them.
bool sameFile(const QString &a, const QString &b);

// Whether path, with every symbolic link on its way resolved (also one whose
// target does not exist yet), lies inside folder or is folder itself. A write
// or delete at path stays inside folder only when this holds.
bool isInside(const QString &path, const QString &folder);

// Whether the last component of path is itself a symbolic link (or, on
// Windows, a junction), whether or not its target exists.
bool isLink(const QString &path);

// Cleaned absolute form used for comparisons: symbolic links resolved, those
// whose target is missing included, and the part that does not exist yet
// appended as written.
QString cleanAbsolute(const QString &path);

// The path as the user reads it on this platform: toFs(), then the
// platform's own separators. Only for showing; what goes to the service or
// the file system keeps its own form.
QString toDisplay(const QString &path);

// Whether the folder is the root of a drive or file system (C:\ or /), of
// a network share (\\server\share) or of a mounted volume (/Volumes/name),
// whichever separators it is written with. An empty path counts as a root.
bool isRootFolder(const QString &folder);

} // namespace PathUtil
