#include "base/fileops.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

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

// The folder of path, held open, and the name in it.
HeldFolder holdParent(const QString &path, QString *name, QString *error)
{
    const QFileInfo info(path);
    *name = info.fileName();
    if (name->isEmpty()) {
        setError(error, QStringLiteral("目标不是文件"));
        return HeldFolder();
    }
    return HeldFolder::open(info.absolutePath(), error);
}

enum class Saved {
    Done,
    Refused,       // something other than a regular file at the name
    NotCreated,    // no temporary file could be made
    FillFailed,    // fill said no, or its bytes did not reach the disk
    WriteFailed,   // the rest of the bytes or the sync failed
    ReplaceFailed, // the complete file could not take the name's place
};

// Makes a temporary file in folder, lets fill write it and renames it over
// name only when every byte fill wrote reached the disk. fill returns false
// with its own message in *fillError, or leaves it empty to report the
// device's error.
template<typename Fill>
Saved save(const HeldFolder &folder, const QString &name, bool ownerOnly, QString *error, Fill fill)
{
    const QString refusal = targetRefusal(folder, name);
    if (!refusal.isEmpty()) {
        setError(error, refusal);
        return Saved::Refused;
    }
    QString text;
    const std::unique_ptr<HeldFolder::TempFile> temp = folder.createTemp(name, ownerOnly, &text);
    if (!temp) {
        setError(error, text);
        return Saved::NotCreated;
    }
    QString fillError;
    if (!fill(*temp, &fillError)) {
        // A full disk the device met says more than a writer's own text
        // about the write it could not finish; a cancel is a cancel.
        const int failure = temp->failure();
        temp->discard();
        if (fillError == cancelledText() || (!fillError.isEmpty() && !failure))
            setError(error, fillError);
        else
            setError(error, failure ? HeldFolder::errorText(failure) : QStringLiteral("写入失败"));
        return Saved::FillFailed;
    }
    switch (temp->commit(&text)) {
    case HeldFolder::TempFile::Commit::Done:
        return Saved::Done;
    case HeldFolder::TempFile::Commit::WriteFailed:
        setError(error, text);
        return Saved::WriteFailed;
    case HeldFolder::TempFile::Commit::ReplaceFailed:
        break;
    }
    setError(error, QStringLiteral("无法替换目标文件(") + text + QLatin1Char(')'));
    return Saved::ReplaceFailed;
}

bool writeImageTo(QIODevice *device, const QImage &image, const QByteArray &format, int quality, QString *fillError)
{
    QImageWriter writer(device, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (writer.write(image))
        return true;
    *fillError = writer.error() == QImageWriter::UnsupportedFormatError ? QStringLiteral("不支持的图片格式")
                                                                        : QStringLiteral("图片编码失败");
    return false;
}

} // namespace

QString diskFullText()
{
    return HeldFolder::diskFullText();
}

bool isDiskFull(const QString &error)
{
    return error == diskFullText();
}

bool openSource(const QString &path, QFile *file, QString *error)
{
    // The program's own resources (icons, placeholders) are built in: no
    // pipe or link can stand there.
    if (path.startsWith(QLatin1Char(':')) || path.startsWith(QLatin1String("qrc:"))) {
        file->setFileName(path.startsWith(QLatin1Char(':')) ? path : path.mid(3));
        if (file->open(QIODevice::ReadOnly))
            return true;
        if (error)
            *error = QStringLiteral("不存在");
        return false;
    }
    return HeldFolder::openSource(path, file, error);
}

QString targetRefusal(const HeldFolder &folder, const QString &name)
{
    switch (folder.kindOf(name)) {
    case HeldFolder::Kind::Missing:
    case HeldFolder::Kind::File:
    case HeldFolder::Kind::Unknown: // the write itself will say why
        return QString();
    case HeldFolder::Kind::Link:
        return QStringLiteral("目标文件是链接，拒绝写入: ") + PathUtil::toDisplay(folder.filePath(name));
    case HeldFolder::Kind::Folder:
    case HeldFolder::Kind::Special:
        break;
    }
    return QStringLiteral("目标已存在且不是普通文件，未覆盖: ") + PathUtil::toDisplay(folder.filePath(name));
}

bool writeIn(const HeldFolder &folder, const QString &name, const QByteArray &data, bool ownerOnly, QString *error)
{
    return save(folder, name, ownerOnly, error, [&](QIODevice &file, QString *) {
        return file.write(data) == data.size();
    }) == Saved::Done;
}

bool writeWithIn(const HeldFolder &folder, const QString &name, const std::function<bool(QIODevice *, QString *)> &fill,
                 QString *error)
{
    return save(folder, name, false, error,
                [&](QIODevice &file, QString *fillError) { return fill(&file, fillError); })
        == Saved::Done;
}

bool writeImageIn(const HeldFolder &folder, const QString &name, const QImage &image, const QByteArray &format,
                  int quality, QString *error)
{
    return save(folder, name, false, error, [&](QIODevice &file, QString *fillError) {
        return writeImageTo(&file, image, format, quality, fillError);
    }) == Saved::Done;
}

CopyOutcome copyInto(const QString &src, const HeldFolder &folder, const QString &name,
                     const std::function<bool(qint64)> &check, QString *error, const std::atomic_bool *cancel)
{
    const QString to = folder.filePath(name);
    if (folder.kindOf(name) == HeldFolder::Kind::File && PathUtil::sameFile(src, to))
        return CopyOutcome::Copied;

    QFile in;
    QString why;
    if (!openSource(src, &in, &why)) {
        setError(error, QStringLiteral("源文件") + why);
        return CopyOutcome::SourceFailed;
    }
    CopyOutcome outcome = CopyOutcome::Copied;
    const Saved saved = save(folder, name, false, error, [&](HeldFolder::TempFile &out, QString *fillError) {
        const auto fail = [&](CopyOutcome how, const QString &text) {
            outcome = how;
            *fillError = text;
            return false;
        };
        constexpr qint64 chunk = 4 * 1024 * 1024;
        qint64 written = 0;
        QByteArray buffer;
        for (;;) {
            if (cancel && cancel->load())
                return fail(CopyOutcome::Cancelled, cancelledText());
            buffer = in.read(chunk);
            if (buffer.isEmpty()) {
                if (in.error() != QFileDevice::NoError)
                    return fail(CopyOutcome::SourceFailed, QStringLiteral("源文件读取失败"));
                break;
            }
            if (out.write(buffer) != buffer.size())
                return fail(CopyOutcome::WriteFailed, QString());
            written += buffer.size();
        }
        // Out now, so a full disk shows as a write failure and the check
        // sees bytes that are on the disk.
        if (!out.flushBuffer())
            return fail(CopyOutcome::WriteFailed, QString());
        out.keepPermissionsOf(in);
        if (cancel && cancel->load())
            return fail(CopyOutcome::Cancelled, cancelledText());
        if (check && !check(written))
            return fail(CopyOutcome::CheckRefused, QString());
        return true;
    });
    switch (saved) {
    case Saved::Done:
        return CopyOutcome::Copied;
    case Saved::Refused:
        return CopyOutcome::Refused;
    case Saved::NotCreated:
    case Saved::WriteFailed:
        return CopyOutcome::WriteFailed;
    case Saved::FillFailed:
        return outcome == CopyOutcome::Copied ? CopyOutcome::WriteFailed : outcome;
    case Saved::ReplaceFailed:
        break;
    }
    return CopyOutcome::ReplaceFailed;
}

bool writeAtomically(const QString &path, const QByteArray &data, bool ownerOnly, QString *error)
{
    QString name;
    const HeldFolder folder = holdParent(path, &name, error);
    return folder.isValid() && writeIn(folder, name, data, ownerOnly, error);
}

bool writeAtomicallyWith(const QString &path, const std::function<bool(QIODevice *, QString *)> &fill, QString *error)
{
    QString name;
    const HeldFolder folder = holdParent(path, &name, error);
    return folder.isValid() && writeWithIn(folder, name, fill, error);
}

bool copyAtomically(const QString &src, const QString &dst, QString *error, const std::atomic_bool *cancel)
{
    return copyChecked(src, dst, nullptr, error, cancel) == CopyOutcome::Copied;
}

CopyOutcome copyChecked(const QString &src, const QString &dst, const std::function<bool(qint64)> &check,
                        QString *error, const std::atomic_bool *cancel)
{
    QString name;
    const HeldFolder folder = holdParent(dst, &name, error);
    if (!folder.isValid())
        return CopyOutcome::WriteFailed;
    return copyInto(src, folder, name, check, error, cancel);
}

bool writeImageAtomically(const QString &path, const QImage &image, const QByteArray &format, int quality,
                          QString *error)
{
    QString name;
    const HeldFolder folder = holdParent(path, &name, error);
    return folder.isValid() && writeImageIn(folder, name, image, format, quality, error);
}

} // namespace FileOps
