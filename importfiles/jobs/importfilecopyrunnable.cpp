#include "importfiles/jobs/importfilecopyrunnable.h"

#include <QFileInfo>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "importfiles/jobs/importlog.h"
#include "importfiles/jobs/importunfinished.h"

namespace {

const QString kCancelled = QStringLiteral("任务已取消");

// The text of a copy that failed, naming the file the cause is about.
QString copyFailure(const QString &file, const QString &cause)
{
    return QStringLiteral("拷贝失败: ") + file + QStringLiteral(" (") + cause + QLatin1Char(')');
}

ImportFileCopyRunnable::CheckpointHook &checkpointHook()
{
    static ImportFileCopyRunnable::CheckpointHook hook;
    return hook;
}

} // namespace

void ImportFileCopyRunnable::setCheckpointHook(CheckpointHook hook)
{
    checkpointHook() = std::move(hook);
}

bool ImportFileCopyRunnable::cancelledAt(Checkpoint point)
{
    if (checkpointHook())
        checkpointHook()(point, file, *cancelFlag);
    return isCancelled();
}

ImportFileCopyRunnable::ImportFileCopyRunnable(const ImportFile &file, CancelFlag cancel, ClaimFlag claim,
                                               QObject *parent)
    : QObject(parent)
    , file(file)
    , cancelFlag(cancel ? std::move(cancel) : std::make_shared<std::atomic_bool>(false))
    , claimFlag(std::move(claim))
{
    setAutoDelete(true);
}

ImportFileCopyRunnable::~ImportFileCopyRunnable() = default;

void ImportFileCopyRunnable::cancel()
{
    cancelFlag->store(true);
}

bool ImportFileCopyRunnable::isCancelled() const
{
    return cancelFlag->load();
}

bool ImportFileCopyRunnable::drop(const ClaimFlag &claim)
{
    int expected = Queued;
    return claim && claim->compare_exchange_strong(expected, Dropped);
}

void ImportFileCopyRunnable::finish(int status, const QString &message)
{
    file.status = status;
    file.message = message;
    emit copyFinished(file);
}

void ImportFileCopyRunnable::cancelled()
{
    file.status = Failed;
    file.message = kCancelled;
    emit copyCancelled(file);
}

void ImportFileCopyRunnable::run()
{
    if (claimFlag) {
        int expected = Queued;
        if (!claimFlag->compare_exchange_strong(expected, Running))
            return; // dropped by a stop before the pool got to it
    }
    if (cancelledAt(BeforeStart))
        return cancelled();

    // Read from the disk by the file dialog: used as it is. Only looked
    // at here, never opened: a pipe would block an open. The copy opens it
    // without blocking and reads it only if what it opened is a regular
    // file, so a file swapped after this look is still refused.
    const QString source = file.sourcePath;
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists())
        return finish(Failed, QStringLiteral("原文件不存在: %1").arg(source));
    if (sourceInfo.isDir())
        return finish(Failed, QStringLiteral("路径不是文件: %1").arg(source));
    if (!sourceInfo.isFile())
        return finish(Failed, QStringLiteral("原文件不是普通文件（管道、设备或套接字）: %1").arg(source));
    if (!sourceInfo.isReadable())
        return finish(Failed, QStringLiteral("原文件无法读取: %1").arg(source));
    const qint64 sourceSize = sourceInfo.size();
    if (sourceSize == 0)
        return finish(Failed, QStringLiteral("文件大小为0KB，无法导入: %1").arg(source));
    if (cancelledAt(SourceChecked))
        return cancelled();

    // The service reads a backslash in a reported name as a separator: such
    // a file could never be named to it as what it is.
    if (file.fileName().contains(QLatin1Char('\\')))
        return finish(Failed, QStringLiteral("文件名含有\"\\\"，无法导入: %1").arg(source));
    const QString target = file.targetPath();
    const QString fsTarget = file.targetFsPath();
    const QString folder = PathUtil::toFs(file.orderFolder);
    const QString refusal = Confined::writeRefusal(fsTarget, folder);
    if (!refusal.isEmpty())
        return finish(Failed, refusal);
    // An existing file is replaced by a rename once the new copy is
    // complete, which a read-only file would not stop: it is left alone as
    // Windows leaves it. A folder, pipe or device there is refused by the
    // copy itself, in the folder it holds.
    const QFileInfo targetInfo(fsTarget);
    if (targetInfo.isFile() && !targetInfo.isSymLink() && !targetInfo.isWritable()
        && !PathUtil::sameFile(source, fsTarget))
        return finish(Failed, QStringLiteral("无法覆盖已存在的文件: %1 (目标文件是只读的)").arg(target));
    if (cancelledAt(TargetChecked))
        return cancelled();
    if (ImportUnfinished::copyKept(fsTarget, folder, sourceSize, file.keptSince)) {
        file.kept = true;
        qCDebug(lcImport) << QStringLiteral("上次中断前已导入，保留: %1").arg(target);
        return finish(Succeeded, QStringLiteral("上次已导入，保留"));
    }

    // Success means the copy's own check saw every byte of the source
    // written and synced before the rename in the held folder: no second
    // look at the target by its path, which could lead elsewhere by now.
    QString error;
    if (!copyWithCheck(source, fsTarget, folder, sourceSize, &error, cancelFlag.get(),
                       [this]() { return cancelledAt(CopyWritten); })) {
        // A cancel wins over whatever else went wrong: the target is as it was.
        if (isCancelled())
            return cancelled();
        return finish(Failed, error);
    }
    // The new copy is in place; a cancel now would only throw it away.
    cancelledAt(Renamed);
    qCDebug(lcImport) << QStringLiteral("文件拷贝成功: %1 -> %2").arg(source, target);
    finish(Succeeded, QStringLiteral("拷贝成功"));
}

bool ImportFileCopyRunnable::copyWithCheck(const QString &source, const QString &target, const QString &orderFolder,
                                           qint64 expectedSize, QString *error, const std::atomic_bool *cancel,
                                           const std::function<bool()> &cancelBeforeRename)
{
    qint64 written = -1;
    bool cancelledLate = false;
    const auto check = [&](qint64 bytes) {
        written = bytes;
        if (cancelBeforeRename && cancelBeforeRename()) {
            cancelledLate = true;
            return false;
        }
        return bytes > 0 && (expectedSize < 0 || bytes == expectedSize);
    };
    QString detail;
    const FileOps::CopyOutcome outcome = Confined::copyFile(source, target, orderFolder, check, &detail, cancel);
    switch (outcome) {
    case FileOps::CopyOutcome::Copied:
        return true;
    case FileOps::CopyOutcome::Cancelled:
        error->clear();
        return false;
    case FileOps::CopyOutcome::CheckRefused:
        if (cancelledLate) {
            error->clear();
            return false;
        }
        // The source changed between its look and its copy.
        *error = copyFailure(source, written == 0 ? QStringLiteral("拷贝时原文件已被清空")
                                                  : QStringLiteral("拷贝时原文件的大小已改变"));
        break;
    case FileOps::CopyOutcome::Refused:
        // Names the link or the file that stands at the target.
        *error = detail;
        break;
    case FileOps::CopyOutcome::SourceFailed:
        *error = copyFailure(source, detail);
        break;
    case FileOps::CopyOutcome::WriteFailed:
    case FileOps::CopyOutcome::ReplaceFailed:
        *error = copyFailure(PathUtil::toDisplay(target), detail);
        break;
    }
    qCWarning(lcImport) << "文件拷贝失败:" << source << "->" << target << detail;
    return false;
}

bool ImportFileCopyRunnable::ensureDirectory(const QString &dir, const QString &orderFolder, QString *error)
{
    const QString fsDir = PathUtil::toFs(dir);
    const QString fsFolder = PathUtil::toFs(orderFolder);
    const bool existed = QFileInfo(fsDir).isDir();
    // The error names the link on the way, or the folder and the system's
    // cause (no room, no permission, a name too long).
    if (!Confined::makePath(fsDir, fsFolder, error)) {
        qCWarning(lcImport) << *error;
        return false;
    }
    if (!existed)
        qCDebug(lcImport) << QStringLiteral("目录创建成功: %1").arg(dir);
    return true;
}
