#pragma once

#include <QString>

// The one home of path handling. Paths from the order service and from the
// import-path builder use "\" as Windows writes them; every file-system call
// goes through toFs() so that they also work where "\" is an ordinary character.
namespace PathUtil {

// The path as the file system of this platform takes it ("\" becomes "/"
// where the platform does not treat it as a separator).
QString toFs(const QString &path);

// Whether the path is absolute on this platform, after toFs().
bool isAbsolute(const QString &path);

// Whether any component of the path (split at "/" and "\") is "." or "..".
bool hasDotComponent(const QString &path);

// Whether a single name coming from the service may be used as one folder
// or file name: not empty, no separator, not "." or "..".
bool isPlainName(const QString &name);

// Whether both paths name the same existing file (device and inode, or the
// platform's file identity), whatever strings spell them.
bool sameFile(const QString &a, const QString &b);

// Whether path lies inside folder (or is folder itself), compared as cleaned
// absolute paths, with symbolic links resolved where the paths exist.
bool isInside(const QString &path, const QString &folder);

// Cleaned absolute form used for comparisons.
QString cleanAbsolute(const QString &path);

// Whether the folder is the root of a drive or file system (C:\ or /), of
// a network share (\\server\share) or of a mounted volume (/Volumes/name),
// whichever separators it is written with. An empty path counts as a root.
bool isRootFolder(const QString &folder);

} // namespace PathUtil
