#include "base/fileops.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include "base/pathutil.h"

namespace FileOps {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Opens a temporary file beside path, lets fill write it and renames it over
// path only when fill succeeded. fill returns false with its own message in
// *fillError, or leaves it empty to report the file's error.
template<typename Fill>
bool saveAtomically(const QString &path, QString *error, Fill fill)
{
    QSaveFile file(PathUtil::toFs(path));
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    QString fillError;
    if (!fill(file, &fillError)) {
        setError(error, fillError.isEmpty() ? file.errorString() : fillError);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool writeAtomically(const QString &path, const QByteArray &data, bool ownerOnly, QString *error)
{
    return saveAtomically(path, error, [&](QSaveFile &file, QString *) {
        if (ownerOnly)
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return file.write(data) == data.size();
    });
}

bool copyAtomically(const QString &src, const QString &dst, QString *error, const std::atomic_bool *cancel)
{
    return copyChecked(src, dst, nullptr, error, cancel) == CopyOutcome::Copied;
}

CopyOutcome copyChecked(const QString &src, const QString &dst, const std::function<bool(qint64)> &check,
                        QString *error, const std::atomic_bool *cancel)
{
    const QString from = PathUtil::toFs(src);
    const QString to = PathUtil::toFs(dst);
    if (PathUtil::sameFile(from, to))
        return CopyOutcome::Copied;

    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, in.errorString());
        return CopyOutcome::SourceFailed;
    }
    bool opened = false;
    CopyOutcome outcome = CopyOutcome::Copied;
    const bool saved = saveAtomically(to, error, [&](QSaveFile &out, QString *fillError) {
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
                return fail(CopyOutcome::Cancelled, QStringLiteral("已取消"));
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
            return fail(CopyOutcome::Cancelled, QStringLiteral("已取消"));
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
    return saveAtomically(path, error, [&](QSaveFile &file, QString *fillError) {
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
