#pragma once

#include <memory>

#include <QString>

// How the delete thread looks at a file and at the storage it lies on. The
// system's probe asks the platform; tests put in their own to reach states
// a test machine cannot produce (a remote drive, a file the account may not
// delete while tests run as an administrator). Paths are the file system's
// own, as the scan read them: on Linux a backslash in a name is a character.
// The removal itself is never the probe's: it is Confined::removeFile's,
// inside the order's folder.
class FileDeleteProbe
{
public:
    virtual ~FileDeleteProbe();

    // Whether a drive root such as "X:/" is a network drive. Always false
    // where drives have no letters.
    virtual bool isRemoteDrive(const QString &driveRoot) const;
    // Whether another program holds the file so that it cannot be deleted:
    // on Windows an exclusive open fails with a sharing or lock violation;
    // elsewhere an exclusive, non-blocking lock on it fails.
    virtual bool isLocked(const QString &path) const;
    // Whether the account may change (and so delete) the file.
    virtual bool isWritable(const QString &path) const;
    // Asked right before the file is deleted: false when the file system
    // would refuse the removal for a reason the thread cannot name. The
    // system's probe refuses nothing (the removal tells); tests refuse some.
    virtual bool remove(const QString &path) const;

    // Whether the system itself refuses to remove a locked or read-only
    // file. Where it does not, the thread asks before it removes, so the
    // outcome is the same on every platform.
    static bool systemRefusesBusyFiles();

    static std::shared_ptr<const FileDeleteProbe> system();
};
