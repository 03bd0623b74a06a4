#pragma once

#include <atomic>

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// The one home of file replacement. Every write first goes to a temporary
// file in the target folder and is renamed over the target only when it is
// complete, so a failed or interrupted write never leaves a truncated file
// and never removes the old one before its replacement exists.
namespace FileOps {

// Writes data to path atomically. With ownerOnly the file is readable and
// writable by its owner only (login data, remembered passwords).
bool writeAtomically(const QString &path, const QByteArray &data, bool ownerOnly = false, QString *error = nullptr);

// Copies src to dst atomically, in chunks, checking cancel between chunks.
// An existing dst is replaced only when the copy is complete. Copying a file
// onto itself (same file identity) succeeds without touching it.
bool copyAtomically(const QString &src, const QString &dst, QString *error = nullptr,
                    const std::atomic_bool *cancel = nullptr);

} // namespace FileOps
