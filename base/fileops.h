#pragma once

#include <atomic>
#include <functional>

#include <QByteArray>
#include <QImage>
#include <QFileDevice>
#include <QString>

// The one home of file replacement. Paths are the file system's own
// (PathUtil::toFs() of a service path): a name read from the disk may hold
// a backslash that is no separator. Every write first goes to a temporary
// file in the target folder and is renamed over the target only when it is
// complete, so a failed or interrupted write never leaves a truncated file
// and never removes the old one before its replacement exists.
namespace FileOps {

// The error text of a write that failed because the target's volume is
// full, as the user sees it.
QString diskFullText();
// Whether error, as set by the functions below, says the volume is full.
bool isDiskFull(const QString &error);

// Each function below sets *error to diskFullText() when it failed for want of
// space on the target's volume, and to the file's own error text otherwise.

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
    Refused,       // the target lies outside its folder or goes through a link (Confined)
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

} // namespace FileOps
