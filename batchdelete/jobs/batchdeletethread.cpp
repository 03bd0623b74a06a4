#include "batchdelete/jobs/batchdeletethread.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

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
    const QString path = file.filePath;
    if (!liesInScannedFolder(path)) {
        qCWarning(lcDelete) << "文件不在订单目录中，未删除:" << path << order.netpath;
        setOutcome(BatchDeleteFileStatus::Failed, QStringLiteral("文件不在订单目录中，未删除"));
    } else if (!FileDeleteProbe::systemRefusesBusyFiles() && QFileInfo::exists(PathUtil::toFs(path))
               && !probe->isWritable(path)) {
        // Where the system would delete a read-only or locked file anyway,
        // the thread refuses as Windows does.
        setOutcome(BatchDeleteFileStatus::NoPermission, QStringLiteral("没有删除权限"));
    } else if (!FileDeleteProbe::systemRefusesBusyFiles() && QFileInfo::exists(PathUtil::toFs(path))
               && probe->isLocked(path)) {
        setOutcome(BatchDeleteFileStatus::Locked, QStringLiteral("文件被其他程序占用"));
    } else if (probe->remove(path)) {
        setOutcome(BatchDeleteFileStatus::Deleted, QString());
    } else {
        diagnoseFailure(path);
    }
    if (!stopRequested)
        emit deleteFileFinish(order, file);
}

void BatchdeleteThread::diagnoseFailure(const QString &path)
{
    if (stopRequested)
        return;
    const QFileInfo info(PathUtil::toFs(path));
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

bool BatchdeleteThread::liesInScannedFolder(const QString &path) const
{
    if (order.netpath.isEmpty() || path.isEmpty())
        return false;
    const QString folder = QFileInfo(PathUtil::toFs(path)).absolutePath();
    return PathUtil::isInside(folder, order.netpath);
}
