#include "base/fileops.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QStorageInfo>

#include "base/pathutil.h"

namespace FileOps {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString cancelledText()
{
    return QStringLiteral("已取消");
}

// Whether the volume of path has less room left than needed bytes (at least
// one). A full volume does not always say so: a plain write to it may just
// come up short.
bool lacksSpace(const QString &path, qint64 needed)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (!storage.isValid() || !storage.isReady())
        return false;
    const qint64 available = storage.bytesAvailable();
    return available >= 0 && available < qMax<qint64>(needed, 1);
}

// Opens a temporary file beside path, lets fill write it and renames it over
// path only when fill succeeded. fill returns false with its own message in
// *fillError, or leaves it empty to report the file's error. needed is the
// size the file will have, when known, to tell a full volume.
template<typename Fill>
bool saveAtomically(const QString &path, qint64 needed, QString *error, Fill fill)
{
    const QString &fsPath = path;
    QSaveFile file(fsPath);
    // Read before the write is cancelled, which sets an error of its own.
    auto full = [&]() { return file.error() == QFileDevice::ResourceError || lacksSpace(fsPath, needed); };
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, full() ? diskFullText() : file.errorString());
        return false;
    }
    QString fillError;
    if (!fill(file, &fillError)) {
        // Cancelled on purpose: whatever the volume holds, that is the cause.
        const bool noSpace = fillError != cancelledText() && full();
        const QString text = fillError.isEmpty() ? file.errorString() : fillError;
        file.cancelWriting();
        setError(error, noSpace ? diskFullText() : text);
        return false;
    }
    if (!file.commit()) {
        setError(error, full() ? diskFullText() : file.errorString());
        return false;
    }
    return true;
}

} // namespace

QString diskFullText()
{
    return QStringLiteral("磁盘空间不足");
}

bool isDiskFull(const QString &error)
{
    return error == diskFullText();
}

bool writeAtomically(const QString &path, const QByteArray &data, bool ownerOnly, QString *error)
{
    return saveAtomically(path, data.size(), error, [&](QSaveFile &file, QString *) {
        if (ownerOnly)
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return file.write(data) == data.size();
    });
}

bool writeAtomicallyWith(const QString &path, const std::function<bool(QIODevice *, QString *)> &fill, QString *error)
{
    return saveAtomically(path, 0, error, [&](QSaveFile &file, QString *fillError) { return fill(&file, fillError); });
}

bool copyAtomically(const QString &src, const QString &dst, QString *error, const std::atomic_bool *cancel)
{
    return copyChecked(src, dst, nullptr, error, cancel) == CopyOutcome::Copied;
}

CopyOutcome copyChecked(const QString &src, const QString &dst, const std::function<bool(qint64)> &check,
                        QString *error, const std::atomic_bool *cancel)
{
    const QString &from = src;
    const QString &to = dst;
    if (PathUtil::sameFile(from, to))
        return CopyOutcome::Copied;

    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, in.errorString());
        return CopyOutcome::SourceFailed;
    }
    bool opened = false;
    CopyOutcome outcome = CopyOutcome::Copied;
    const bool saved = saveAtomically(to, in.size(), error, [&](QSaveFile &out, QString *fillError) {
        opened = true;
        const auto fail = [&](CopyOutcome why, const QString &text) {
            outcome = why;
            *fillError = text;
            return false;
        };
        constexpr qint64 chunk = 4 * 1024 * 1024;
        qint64 written = 0;
        QByteArray buffer;
        while (!in.atEnd()) {
            if (cancel && cancel->load())
                return fail(CopyOutcome::Cancelled, cancelledText());
            buffer = in.read(chunk);
            if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
                return fail(CopyOutcome::SourceFailed, in.errorString());
            if (out.write(buffer) != buffer.size())
                return fail(CopyOutcome::WriteFailed, QString());
            written += buffer.size();
        }
        // Flushed here, so a full disk shows as a write failure and a
        // failed commit can only be the rename.
        if (!out.flush())
            return fail(CopyOutcome::WriteFailed, QString());
        // Keep the source's permissions, as a plain copy does.
        out.setPermissions(in.permissions());
        if (cancel && cancel->load())
            return fail(CopyOutcome::Cancelled, cancelledText());
        if (check && !check(written))
            return fail(CopyOutcome::CheckRefused, QString());
        return true;
    });
    if (saved)
        return CopyOutcome::Copied;
    if (!opened)
        return CopyOutcome::WriteFailed;
    return outcome == CopyOutcome::Copied ? CopyOutcome::ReplaceFailed : outcome;
}

bool writeImageAtomically(const QString &path, const QImage &image, const QByteArray &format, int quality,
                          QString *error)
{
    // The encoded size is not known ahead; a full volume shows in the
    // file's error.
    return saveAtomically(path, 0, error, [&](QSaveFile &file, QString *fillError) {
        QImageWriter writer(&file, format);
        if (quality >= 0)
            writer.setQuality(quality);
        if (writer.write(image))
            return true;
        *fillError = writer.errorString();
        return false;
    });
}

} // namespace FileOps
