#include "batchdelete/jobs/filescanthread.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include "base/pathutil.h"

Q_LOGGING_CATEGORY(lcScan, "velquora.batchdelete.scan")

FileScanWorker::FileScanWorker(QObject *parent)
    : QObject(parent)
{
}

void FileScanWorker::cancel()
{
    cancelRequested.storeRelease(1);
}

void FileScanWorker::startScan(const QString &tag, const QString &path, int depthLimit)
{
    cancelRequested.storeRelease(0);
    filesFound = 0;
    maxDepth = depthLimit;
    FileScanResult result;
    result.path = path;
    result.tag = tag;

    if (path.isEmpty()) {
        result.errorCode = FileScanError::EmptyPath;
        result.errorMessage = QStringLiteral("扫描路径为空");
        emit scanFinished(result);
        return;
    }
    if (cancelled()) {
        result.errorCode = FileScanError::Cancelled;
        result.errorMessage = QStringLiteral("用户取消");
        emit scanFinished(result);
        return;
    }
    QString message;
    const int code = checkDirectory(path, &message);
    if (code != FileScanError::None) {
        result.errorCode = code;
        result.errorMessage = message;
        emit scanFinished(result);
        return;
    }

    scanDirectory(PathUtil::toFs(path), &result.files, 1);
    if (cancelled()) {
        result.errorCode = FileScanError::Cancelled;
        result.errorMessage = QStringLiteral("用户取消");
        emit scanFinished(result);
        return;
    }
    for (int i = 0; i < result.files.size(); ++i)
        result.files[i].index = i;
    result.spareInt = result.files.size();
    emit scanFinished(result);
}

int FileScanWorker::checkDirectory(const QString &path, QString *errorMessage)
{
    const QFileInfo info(PathUtil::toFs(path));
    if (info.exists() && info.isDir()) {
        if (!info.isReadable()) {
            *errorMessage = QStringLiteral("没有权限访问目录: %1").arg(path);
            return FileScanError::NoAccess;
        }
        return FileScanError::None;
    }
    if (PathUtil::isUnc(path)) {
        *errorMessage = QStringLiteral("共享目录连接失败: %1\n请检查网络连接或共享目录权限").arg(path);
        return FileScanError::ShareUnreachable;
    }
    *errorMessage = QStringLiteral("目录不存在: %1").arg(path);
    return FileScanError::NotFound;
}

bool FileScanWorker::scanDirectory(const QString &path, QList<BatchDeleteFileInfo> *files, int depth)
{
    if (cancelled())
        return false;
    if (maxDepth > 0 && depth > maxDepth)
        return true;
    QDir dir(path);
    if (!dir.exists())
        return true;
    if (cancelled())
        return false;
    emit scanProgress(filesFound, path);

    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        if (cancelled())
            return false;
        if (entry.isDir()) {
            // A linked folder may lead anywhere on the machine or the
            // network: its files are not this order's.
            if (entry.isSymLink() || entry.isJunction()) {
                qCDebug(lcScan) << "跳过链接目录:" << entry.absoluteFilePath();
                continue;
            }
            if (!scanDirectory(entry.absoluteFilePath(), files, depth + 1))
                return false;
            continue;
        }
        if (!entry.isFile())
            continue;
        BatchDeleteFileInfo file;
        file.fileName = entry.fileName();
        file.filePath = entry.absolutePath() + QLatin1Char('/') + entry.fileName();
        file.dirName = parentDirName(file.filePath);
        // A linked file is listed so that the run can say it was not
        // deleted (links are never deleted); the size it points at is not
        // the order's.
        file.size = entry.isSymLink() ? 0 : entry.size();
        file.index = files->size();
        files->append(file);
        ++filesFound;
        if (filesFound % 100 == 0)
            emit scanProgress(filesFound, path);
    }
    return true;
}

QString FileScanWorker::parentDirName(const QString &filePath)
{
    const QDir folder = QFileInfo(filePath).dir();
    if (folder.isRoot())
        return QString();
    return folder.dirName();
}

FileScanThread::FileScanThread(QObject *parent)
    : QObject(parent)
{
    BatchDeleteRecords::registerMetaTypes();
    init();
}

FileScanThread::~FileScanThread()
{
    if (worker)
        worker->cancel();
    if (!thread)
        return;
    thread->quit();
    if (thread->wait(5000)) {
        delete thread;
        return;
    }
    qCWarning(lcScan) << "FileScanThread: 线程关闭超时，但不强制终止";
    // Deleted once it ends by itself; never while it still runs.
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}

void FileScanThread::init()
{
    if (thread && worker)
        return;
    thread = new QThread;
    worker = new FileScanWorker;
    worker->moveToThread(thread);
    connect(this, &FileScanThread::startScanInternal, worker, &FileScanWorker::startScan, Qt::QueuedConnection);
    connect(worker, &FileScanWorker::scanFinished, this, &FileScanThread::onScanFinished, Qt::QueuedConnection);
    connect(worker, &FileScanWorker::scanProgress, this, &FileScanThread::scanProgress, Qt::QueuedConnection);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    thread->start(QThread::InheritPriority);
}

void FileScanThread::startScan(const QString &tag, const QString &path, int maxDepth)
{
    if (running && worker)
        worker->cancel();
    running = true;
    emit startScanInternal(tag, path, maxDepth);
}

bool FileScanThread::cancel(int timeoutMs)
{
    Q_UNUSED(timeoutMs)
    cancelled = true;
    if (worker)
        worker->cancel();
    else
        running = false;
    return true;
}

void FileScanThread::onScanFinished(const FileScanResult &result)
{
    running = false;
    if (!cancelled)
        emit scanFinished(result);
}
