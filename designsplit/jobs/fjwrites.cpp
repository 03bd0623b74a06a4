#include "designsplit/jobs/fjwrites.h"

#include <QFile>
#include <QFileInfo>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "designsplit/jobs/fjlog.h"

namespace FJWrites {

namespace {

// Whether the open file first holds the same bytes as the file at path.
bool sameContent(QFile &first, const QString &path)
{
    QFile second;
    if (!FileOps::openSource(path, &second) || first.size() != second.size())
        return false;
    // In chunks: raw files run to tens of megabytes.
    constexpr qint64 kChunk = 1 << 20;
    while (!first.atEnd()) {
        const QByteArray x = first.read(kChunk);
        const QByteArray y = second.read(kChunk);
        if (x.isEmpty() || x != y)
            return false;
    }
    return second.atEnd();
}

} // namespace

Copy copyNew(const QString &source, const QString &target, const QString &orderFolder, QString *error)
{
    const auto end = [error](Copy outcome, const QString &text) {
        if (error)
            *error = text;
        return outcome;
    };
    // Refused first: a link at the target "exists" too, and would be kept
    // as if it were a file of the order's.
    const QString refusal = Confined::writeRefusal(target, orderFolder);
    if (!refusal.isEmpty())
        return end(Copy::Refused, refusal);
    // Opened once, without blocking: a pipe or a device in the share is
    // never read, and never compared with what the order already has.
    QFile in;
    QString why;
    if (!FileOps::openSource(source, &in, &why))
        return end(Copy::Failed, QStringLiteral("源文件") + why + QStringLiteral("：") + PathUtil::toDisplay(source));
    QString conflict;
    switch (targetKind(target, orderFolder, &conflict)) {
    case HeldFolder::Kind::Missing:
    case HeldFolder::Kind::Unknown: // the copy says why
        break;
    case HeldFolder::Kind::Link:
        return end(Copy::Refused, conflict);
    case HeldFolder::Kind::Folder:
    case HeldFolder::Kind::Special:
        return end(Copy::Exists, conflict);
    case HeldFolder::Kind::File:
        // A second run into the same folder meets its own earlier copies.
        if (sameContent(in, target))
            return end(Copy::Same, QString());
        return end(Copy::Exists, QStringLiteral("已存在且内容不同，未覆盖"));
    }
    in.close();
    QString copyError;
    switch (Confined::copyFile(source, target, orderFolder, nullptr, &copyError)) {
    case FileOps::CopyOutcome::Copied:
        return end(Copy::Copied, QString());
    case FileOps::CopyOutcome::Refused:
        return end(Copy::Refused, copyError);
    case FileOps::CopyOutcome::SourceFailed:
        // Changed since it was looked at (replaced by a pipe, cut off).
        qCWarning(lcDesignSplit) << "拷贝失败:" << source << target << copyError;
        return end(Copy::Failed, copyError + QStringLiteral("：") + PathUtil::toDisplay(source));
    default:
        break;
    }
    qCWarning(lcDesignSplit) << "拷贝失败:" << source << target << copyError;
    return end(Copy::Failed, cause(target, orderFolder, copyError));
}

HeldFolder::Kind targetKind(const QString &target, const QString &orderFolder, QString *refusal)
{
    const HeldFolder folder = Confined::holdFolderOf(target, orderFolder);
    if (!folder.isValid())
        return HeldFolder::Kind::Missing;
    const QString name = QFileInfo(target).fileName();
    const HeldFolder::Kind kind = folder.kindOf(name);
    if (refusal)
        *refusal = FileOps::targetRefusal(folder, name);
    return kind;
}

QString cause(const QString &path, const QString &orderFolder, const QString &error)
{
    if (FileOps::isDiskFull(error))
        return error;
    // A link put in place while the write ran is refused by the write
    // itself: asked again, it says so.
    const QString refusal = Confined::writeRefusal(path, orderFolder);
    if (!refusal.isEmpty())
        return refusal;
    return error.isEmpty() ? QStringLiteral("无法写入目标文件") : error;
}

bool sameContent(const QString &a, const QString &b)
{
    QFile first;
    return FileOps::openSource(a, &first) && sameContent(first, b);
}

} // namespace FJWrites
