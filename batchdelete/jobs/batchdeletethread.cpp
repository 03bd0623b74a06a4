#include "batchdelete/jobs/batchdeletethread.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include "base/confined.h"
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
    // Only a file the confined remover would delete is looked at: a link is
    // refused for what it is, not for the file it points at.
    if (Confined::locate(path, folder) == Confined::Where::Inside) {
        if (!FileDeleteProbe::systemRefusesBusyFiles() && QFileInfo::exists(path)) {
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
            diagnoseFailure(path);
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
    case Confined::Removal::Failed:
        diagnoseFailure(path);
        return;
    }
}

void BatchdeleteThread::diagnoseFailure(const QString &path)
{
    if (stopRequested)
        return;
    const QFileInfo info(path);
    if (!info.exists()) {
        if (isNetworkPathUnavailable(path)) {
            setOutcome(BatchDeleteFileStatus::Unreachable, QStringLiteral("网络路径无法访问"));
            return;
        }
        // Missing counts as deleted only while its folder is there: a folder
        // that went away (an unplugged disk, a dropped share) says nothing
        // about the file.
        if (!QDir(info.absolutePath()).exists()) {
            setOutcome(BatchDeleteFileStatus::Unreachable, QStringLiteral("文件所在目录无法访问"));
            return;
        }
        setOutcome(BatchDeleteFileStatus::Deleted, QString());
        return;
    }
    if (!probe->isWritable(path)) {
        setOutcome(BatchDeleteFileStatus::NoPermission, QStringLiteral("没有删除权限"));
        return;
    }
    if (isFileLocked(path)) {
        setOutcome(BatchDeleteFileStatus::Locked, QStringLiteral("文件被其他程序占用"));
        return;
    }
    setOutcome(BatchDeleteFileStatus::Failed, QStringLiteral("删除失败，未知原因"));
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
