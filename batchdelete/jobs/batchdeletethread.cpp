#include "batchdelete/jobs/batchdeletethread.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include "base/confined.h"
#include "base/heldfolder.h"
#include "base/pathutil.h"

Q_LOGGING_CATEGORY(lcDelete, "velquora.batchdelete.delete")

BatchdeleteThread::BatchdeleteThread(QObject *parent)
    : QThread(parent)
{
}

BatchdeleteThread::~BatchdeleteThread() = default;

void BatchdeleteThread::run()
{
    deleteFile();
}

void BatchdeleteThread::setOutcome(int status, const QString &message)
{
    if (stopRequested)
        return;
    file.status = status;
    file.errorMessage = message;
}

void BatchdeleteThread::deleteFile()
{
    removeInOrderFolder();
    if (!stopRequested)
        emit deleteFileFinish(order, file);
}

void BatchdeleteThread::removeInOrderFolder()
{
    // The path as the scan read it from the disk; only the service's folder
    // is converted to the file system's form.
    const QString path = file.filePath;
    const QString folder = PathUtil::toFs(order.netpath);
    // Checked again for every file: a folder swapped for a link after the
    // scan would hand every file of the list to another place.
    const QString folderRefusal = Confined::orderFolderRefusal(folder);
    if (!folderRefusal.isEmpty()) {
        qCWarning(lcDelete) << "订单目录不能删除:" << folder << folderRefusal;
        setOutcome(BatchDeleteFileStatus::Failed, folderRefusal);
        return;
    }
    // Only a regular file the confined remover would delete is looked at:
    // a link is refused for what it is, not for the file it points at, and
    // a pipe put in a file's place after the scan is never opened.
    if (Confined::locate(path, folder) == Confined::Where::Inside) {
        if (!FileDeleteProbe::systemRefusesBusyFiles() && isRegularFile(path)) {
            // Where the system would delete a read-only or locked file
            // anyway, the thread refuses as Windows does.
            if (!probe->isWritable(path)) {
                setOutcome(BatchDeleteFileStatus::NoPermission, QStringLiteral("没有删除权限"));
                return;
            }
            if (probe->isLocked(path)) {
                setOutcome(BatchDeleteFileStatus::Locked, QStringLiteral("文件被其他程序占用"));
                return;
            }
        }
        if (!probe->remove(path)) {
            diagnoseFailure(path, folder, QString());
            return;
        }
    }
    QString error;
    switch (Confined::removeFile(path, folder, &error)) {
    case Confined::Removal::Removed:
        setOutcome(BatchDeleteFileStatus::Deleted, QString());
        return;
    case Confined::Removal::Refused:
        qCWarning(lcDelete) << "拒绝删除:" << path << error;
        setOutcome(BatchDeleteFileStatus::Failed, error);
        return;
    case Confined::Removal::Missing:
        settleMissing(path, folder);
        return;
    case Confined::Removal::Failed:
        diagnoseFailure(path, folder, error);
        return;
    }
}

bool BatchdeleteThread::isRegularFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

// A file that is not there counts as deleted only when its folder is, the
// very folder the removal looked in: reached from the order's folder
// without a link. A folder that went away (an unplugged disk, a dropped
// share), or a link standing where it was, says nothing about the file, and
// the service must not hear that it was deleted.
void BatchdeleteThread::settleMissing(const QString &path, const QString &folder)
{
    if (stopRequested)
        return;
    if (isNetworkPathUnavailable(path)) {
        setOutcome(BatchDeleteFileStatus::Unreachable, QStringLiteral("网络路径无法访问"));
        return;
    }
    const HeldFolder held = Confined::holdFolderOf(path, folder);
    if (!held.isValid()) {
        setOutcome(BatchDeleteFileStatus::Unreachable, QStringLiteral("文件所在目录无法访问"));
        return;
    }
    if (held.kindOf(QFileInfo(path).fileName()) == HeldFolder::Kind::Missing) {
        setOutcome(BatchDeleteFileStatus::Deleted, QString());
        return;
    }
    // Something is at the name again (its folder was away for a moment,
    // or the file came back): it was not deleted.
    setOutcome(BatchDeleteFileStatus::Failed, QStringLiteral("删除时文件无法访问，未删除"));
}

void BatchdeleteThread::diagnoseFailure(const QString &path, const QString &folder, const QString &removerError)
{
    if (stopRequested)
        return;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        settleMissing(path, folder);
        return;
    }
    if (!probe->isWritable(path) || !isFolderWritable(path)) {
        setOutcome(BatchDeleteFileStatus::NoPermission, QStringLiteral("没有删除权限"));
        return;
    }
    if (isRegularFile(path) && isFileLocked(path)) {
        setOutcome(BatchDeleteFileStatus::Locked, QStringLiteral("文件被其他程序占用"));
        return;
    }
    // The remover names what the file system said (a read-only volume, an
    // I/O error); only a refusal nobody explained stays unknown.
    setOutcome(BatchDeleteFileStatus::Failed,
               removerError.isEmpty() ? QStringLiteral("删除失败，未知原因") : removerError);
}

// On POSIX a name goes with its folder: a file is deleted when its folder
// may be changed, whatever the file's own mode. On Windows a folder's
// read-only mark does not keep its files.
bool BatchdeleteThread::isFolderWritable(const QString &path) const
{
#ifdef Q_OS_UNIX
    return probe->isWritable(QFileInfo(path).absolutePath());
#else
    Q_UNUSED(path)
    return true;
#endif
}

bool BatchdeleteThread::isNetworkPathUnavailable(const QString &path) const
{
    if (PathUtil::isUnc(path)) {
        const QChar separator = path.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/');
        const QString root = path.section(separator, 0, 3);
        return !QDir(PathUtil::toFs(root)).exists();
    }
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':')) {
        const QString root = path.left(3);
        if (probe->isRemoteDrive(root))
            return !QDir(PathUtil::toFs(root)).exists();
    }
    return false;
}

bool BatchdeleteThread::isFileLocked(const QString &path) const
{
    return probe->isLocked(path);
}
