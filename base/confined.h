#pragma once

#include <atomic>
#include <functional>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "base/fileops.h"

// The one home of writes and deletes in a user's folders: every one stays
// inside one folder (an order's folder, the folder the user picked) and
// never goes through a symbolic link or junction below it, existing or
// dangling. A link is never written through: the write is refused with a
// message that names it. The write or delete acts on what it checked: the
// folder is opened once, each folder below it is reached from the one above
// without following a link and held open (HeldFolder), and the file is
// written, renamed or deleted relative to the held folder, so a folder
// swapped for a link meanwhile is never followed. The write itself is
// FileOps's.
//
// Paths are in the file system's own form: PathUtil::toFs() of a path from
// the service, or a path read from the disk as it is (on Linux a backslash
// in a name read from the disk is a character, not a separator).
namespace Confined {

enum class Where {
    Inside,      // inside the folder, no link on the way
    Outside,     // not inside the folder by its names
    ThroughLink, // a folder between the folder and the path is a link
    IsLink,      // the path itself is a link
};

// Where path lies against folder; *link, when given, is set to the link met.
// The folder may lie below links (a mounted share) but may not be one.
Where locate(const QString &path, const QString &folder, QString *link = nullptr);

// Why path may not be written inside folder, for the user ("目标文件是链接，
// 拒绝写入: …"); empty when it may.
QString writeRefusal(const QString &path, const QString &folder);

// The folder sub (inside folder, or folder itself) with every folder on the
// way made, none of them through a link. False with *error set otherwise.
bool makePath(const QString &sub, const QString &folder, QString *error = nullptr);

// FileOps's writes, made only where writeRefusal() is empty; *error is
// then the refusal. The target's folders must exist (see makePath).
// Makes the one folder path (its parent inside folder, made already),
// looked for in the held parent: Made, or Existed for a folder already
// there; Failed with *error naming it and why (a link there or on the way,
// a file of that name, the file system's refusal).
HeldFolder::MakeFolder makeFolder(const QString &path, const QString &folder, QString *error = nullptr);
bool writeFile(const QString &path, const QString &folder, const QByteArray &data, QString *error = nullptr);
bool writeImage(const QString &path, const QString &folder, const QImage &image, const QByteArray &format,
                int quality = -1, QString *error = nullptr);
// CopyOutcome::Refused when the target may not be written.
FileOps::CopyOutcome copyFile(const QString &src, const QString &path, const QString &folder,
                              const std::function<bool(qint64 written)> &check = nullptr, QString *error = nullptr,
                              const std::atomic_bool *cancel = nullptr);
// Writes what fill writes to its device (see FileOps::writeAtomicallyWith).
bool writeWith(const QString &path, const QString &folder,
               const std::function<bool(QIODevice *device, QString *fillError)> &fill, QString *error = nullptr);

// The folder of path (inside folder), held open for writes and deletes of
// several names in it; invalid with *error set (the refusal of a link on
// the way) otherwise. The folder must exist (see makePath).
HeldFolder holdFolderOf(const QString &path, const QString &folder, QString *error = nullptr);

enum class Removal {
    Removed,
    Refused, // outside the folder, or through a linked folder
    Missing, // nothing was there
    Failed,  // the file system refused (permission, lock)
};

// Deletes the file at path inside folder. A path through a link, or a link
// itself, is never deleted. *error says why it was not deleted.
Removal removeFile(const QString &path, const QString &folder, QString *error = nullptr);

// Why folder may not be deleted in as one order's folder; empty when it
// may. Refused: a folder that is itself a link or a junction, one whose
// path resolves to another place than it names (a link above it), and the
// root of a drive, share or volume.
QString orderFolderRefusal(const QString &folder);

} // namespace Confined
