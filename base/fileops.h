#pragma once

#include <atomic>
#include <functional>

#include <QByteArray>
#include <QImage>
#include <QFileDevice>
#include <QString>

#include "base/heldfolder.h"

class QFile;

// The one home of file replacement. Paths are the file system's own
// (PathUtil::toFs() of a service path): a name read from the disk may hold
// a backslash that is no separator. Every write first goes to a temporary
// file in the target's folder, held open (HeldFolder) from before the file
// is made until it is renamed; its bytes are checked to have reached the
// disk (every write, then a sync) before the rename, so a failed or
// interrupted write never leaves a truncated file and never removes the old
// one before its replacement exists. A link, folder, pipe or device at the
// target is never written through or replaced.
//
// Error texts are Chinese causes ("磁盘空间不足", "没有权限", "源文件不是普通
// 文件"); the caller names the file.
namespace FileOps {

// The error text of a write that failed because the target's volume is
// full, as the user sees it.
QString diskFullText();
// Whether error, as set by the functions below, says the volume is full.
bool isDiskFull(const QString &error);

// Opens the source of a copy or a decode: see HeldFolder::openSource().
bool openSource(const QString &path, QFile *file, QString *error = nullptr);

// Each function below sets *error to diskFullText() when it failed for want of
// space on the target's volume, and to the cause otherwise.

// Writes data to path atomically. With ownerOnly the file is readable and
// writable by its owner only (login data, remembered passwords).
bool writeAtomically(const QString &path, const QByteArray &data, bool ownerOnly = false, QString *error = nullptr);

// Writes to path atomically what fill writes to the device it is given, for
// data made as it is written (a picture encoded a chunk at a time, never
// held whole in memory). fill returns false to fail: with its own message
// in *fillError, or leaving it empty for the file's error.
bool writeAtomicallyWith(const QString &path, const std::function<bool(QIODevice *device, QString *fillError)> &fill,
                         QString *error = nullptr);

// Copies src to dst atomically, in chunks, checking cancel between chunks.
// An existing dst is replaced only when the copy is complete. Copying a file
// onto itself (same file identity) succeeds without touching it.
bool copyAtomically(const QString &src, const QString &dst, QString *error = nullptr,
                    const std::atomic_bool *cancel = nullptr);

// Where a checked copy ended, for callers that word each failure themselves.
enum class CopyOutcome {
    Copied,
    SourceFailed,  // the source could not be opened or read
    WriteFailed,   // the temporary file could not be made, written or flushed
    Cancelled,     // cancel was set before the rename
    CheckRefused,  // the caller's check of the complete temporary file said no
    ReplaceFailed, // the complete copy could not be renamed over the target
    Refused,       // a link, folder or special file at the target, or a path leaving its folder (Confined)
};

// Copies like copyAtomically. The temporary file ("<target>.XXXXXX" beside
// the target) is complete and flushed when check (when given) sees the
// number of bytes written; refusing it, a cancel or any failure removes only
// the temporary file, so an existing target is kept as it was.
CopyOutcome copyChecked(const QString &src, const QString &dst, const std::function<bool(qint64 written)> &check,
                        QString *error = nullptr, const std::atomic_bool *cancel = nullptr);

// Encodes image to path atomically with the given format and quality (-1:
// the writer's default). An existing file is replaced only when the encoded
// file is complete.
bool writeImageAtomically(const QString &path, const QImage &image, const QByteArray &format, int quality = -1,
                          QString *error = nullptr);

// The same writes into name, one name of a folder held open.
bool writeIn(const HeldFolder &folder, const QString &name, const QByteArray &data, bool ownerOnly = false,
             QString *error = nullptr);
bool writeWithIn(const HeldFolder &folder, const QString &name,
                 const std::function<bool(QIODevice *device, QString *fillError)> &fill, QString *error = nullptr);
bool writeImageIn(const HeldFolder &folder, const QString &name, const QImage &image, const QByteArray &format,
                  int quality = -1, QString *error = nullptr);
CopyOutcome copyInto(const QString &src, const HeldFolder &folder, const QString &name,
                     const std::function<bool(qint64 written)> &check = nullptr, QString *error = nullptr,
                     const std::atomic_bool *cancel = nullptr);

// Why nothing may be written at name of folder, for the user (a link, or
// something that is no regular file); empty when it may.
QString targetRefusal(const HeldFolder &folder, const QString &name);

} // namespace FileOps
