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

} // namespace

bool writeAtomically(const QString &path, const QByteArray &data, bool ownerOnly, QString *error)
{
    QSaveFile file(PathUtil::toFs(path));
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    if (ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(data) != data.size()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

bool copyAtomically(const QString &src, const QString &dst, QString *error, const std::atomic_bool *cancel)
{
    const QString from = PathUtil::toFs(src);
    const QString to = PathUtil::toFs(dst);
    if (PathUtil::sameFile(from, to))
        return true;

    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, in.errorString());
        return false;
    }
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly)) {
        setError(error, out.errorString());
        return false;
    }
    constexpr qint64 chunk = 4 * 1024 * 1024;
    QByteArray buffer;
    while (!in.atEnd()) {
        if (cancel && cancel->load()) {
            out.cancelWriting();
            setError(error, QStringLiteral("已取消"));
            return false;
        }
        buffer = in.read(chunk);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError) {
            setError(error, in.errorString());
            out.cancelWriting();
            return false;
        }
        if (out.write(buffer) != buffer.size()) {
            setError(error, out.errorString());
            out.cancelWriting();
            return false;
        }
    }
    // Keep the source's permissions, as a plain copy does.
    out.setPermissions(in.permissions());
    if (!out.commit()) {
        setError(error, out.errorString());
        return false;
    }
    return true;
}

bool writeImageAtomically(const QString &path, const QImage &image, const QByteArray &format, int quality,
                          QString *error)
{
    QSaveFile file(PathUtil::toFs(path));
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    QImageWriter writer(&file, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        setError(error, writer.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

} // namespace FileOps
