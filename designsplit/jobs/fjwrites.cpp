#include "designsplit/jobs/fjwrites.h"

#include <QFile>
#include <QFileInfo>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "designsplit/jobs/fjlog.h"

namespace FJWrites {

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
    const bool sourceThere = QFileInfo::exists(source);
    if (QFileInfo::exists(target)) {
        // A second run into the same folder meets its own earlier copies.
        if (sourceThere && sameContent(source, target))
            return end(Copy::Same, QString());
        return end(Copy::Exists, QStringLiteral("已存在且内容不同，未覆盖"));
    }
    if (!sourceThere)
        return end(Copy::Failed, QStringLiteral("源文件不存在：") + PathUtil::toDisplay(source));
    QString copyError;
    switch (Confined::copyFile(source, target, orderFolder, nullptr, &copyError)) {
    case FileOps::CopyOutcome::Copied:
        return end(Copy::Copied, QString());
    case FileOps::CopyOutcome::Refused:
        return end(Copy::Refused, copyError);
    default:
        break;
    }
    qCWarning(lcDesignSplit) << "拷贝失败:" << source << target << copyError;
    const QString why = cause(target, orderFolder, copyError);
    // The system's own text is logged; the user still learns that the
    // write, not the source, failed.
    return end(Copy::Failed, why.isEmpty() ? QStringLiteral("无法写入目标文件") : why);
}

QString cause(const QString &path, const QString &orderFolder, const QString &error)
{
    if (FileOps::isDiskFull(error))
        return error;
    // A link put in place while the write ran is refused by the write
    // itself: asked again, it says so.
    return Confined::writeRefusal(path, orderFolder);
}

bool sameContent(const QString &a, const QString &b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
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

} // namespace FJWrites
