#include "batchdelete/jobs/filescanthread.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include "base/pathutil.h"
#include "batchdelete/jobs/batchdeleteunfinished.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

    scanDirectory(PathUtil::toFs(path), &result, 1);
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

bool FileScanWorker::scanDirectory(const QString &path, FileScanResult *result, int depth)
{
    if (cancelled())
        return false;
    if (maxDepth > 0 && depth > maxDepth)
        return true;
    if (!QFileInfo(path).isDir())
        return true;
    if (cancelled())
        return false;
    emit scanProgress(filesFound, path);

    QVector<FolderEntry> entries;
    int cause = BatchDeleteLeftEntry::UnreadableFolder;
    // The order's folder may lie below links (a mounted share); a folder in
    // it that became a link since it was seen is not entered.
    if (!listFolder(path, depth > 1, &entries, &cause)) {
        // Whatever it holds stays, and the run must not call the order
        // emptied.
        result->leftEntries.append({path, cause});
        return true;
    }
    for (const FolderEntry &entry : qAsConst(entries)) {
        if (cancelled())
            return false;
        const QString entryPath = path + QLatin1Char('/') + entry.name;
        switch (entry.kind) {
        case FolderEntry::Folder:
            if (!scanDirectory(entryPath, result, depth + 1))
                return false;
            continue;
        case FolderEntry::Left:
            qCDebug(lcScan) << "不删除:" << entryPath << BatchDeleteLeftEntry::causeText(entry.cause);
            result->leftEntries.append({entryPath, entry.cause});
            continue;
        case FolderEntry::File:
            // The note of a run cut short is the program's, not the order's.
            if (depth == 1 && entry.name == BatchDeleteUnfinished::fileName()) {
                result->unfinishedNote = true;
                continue;
            }
            break;
        case FolderEntry::LinkedFile:
            break;
        }
        BatchDeleteFileInfo file;
        file.fileName = entry.name;
        file.filePath = entryPath;
        file.dirName = parentDirName(file.filePath);
        // A linked file is listed so that the run can say it was not
        // deleted (links are never deleted); the size it points at is not
        // the order's.
        file.size = entry.kind == FolderEntry::LinkedFile ? 0 : entry.size;
        file.index = result->files.size();
        result->files.append(file);
        ++filesFound;
        if (filesFound % 100 == 0)
            emit scanProgress(filesFound, path);
    }
    return true;
}

#ifdef Q_OS_UNIX
// Reads the raw names: QDir decodes a name lossily, and a name whose bytes
// do not decode would come back as another name, one that addresses another
// file or none. Nothing is opened but the folder; each entry is looked at
// without following it.
bool FileScanWorker::listFolder(const QString &path, bool noLink, QVector<FolderEntry> *entries, int *cause)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (noLink ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        if (errno == ELOOP)
            *cause = BatchDeleteLeftEntry::Link;
        return false;
    }
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    for (;;) {
        // Only readdir's own errno tells an end from a failed read.
        errno = 0;
        const dirent *item = ::readdir(dir);
        if (!item)
            break;
        const QByteArray raw(item->d_name);
        // ".", ".." and hidden entries, as QDir leaves them out.
        if (raw.startsWith('.'))
            continue;
        FolderEntry entry;
        entry.name = QFile::decodeName(raw);
        if (QFile::encodeName(entry.name) != raw) {
            entry.kind = FolderEntry::Left;
            entry.cause = BatchDeleteLeftEntry::UndecodableName;
            entries->append(entry);
            continue;
        }
        struct stat st;
        // Gone since the folder was read: nothing to delete.
        if (::fstatat(fd, raw.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            entry.kind = FolderEntry::Folder;
        } else if (S_ISREG(st.st_mode)) {
            entry.kind = FolderEntry::File;
            entry.size = st.st_size;
        } else if (S_ISLNK(st.st_mode)) {
            // A link to a regular file is listed, to be refused by name; a
            // linked folder may lead anywhere, and a dangling link has
            // nothing behind it.
            struct stat target;
            const bool toFile = ::fstatat(fd, raw.constData(), &target, 0) == 0 && S_ISREG(target.st_mode);
            entry.kind = toFile ? FolderEntry::LinkedFile : FolderEntry::Left;
            entry.cause = BatchDeleteLeftEntry::Link;
        } else {
            entry.kind = FolderEntry::Left;
            entry.cause = BatchDeleteLeftEntry::SpecialFile;
        }
        entries->append(entry);
    }
    const bool complete = errno == 0;
    ::closedir(dir);
    if (!complete)
        return false;
    sortByName(entries);
    return true;
}
#else
// Windows names are UTF-16 and always decode; a pipe, socket or device has
// no place in a folder there.
bool FileScanWorker::listFolder(const QString &path, bool noLink, QVector<FolderEntry> *entries, int *cause)
{
    Q_UNUSED(noLink)
    Q_UNUSED(cause)
    QDir dir(path);
    if (!dir.isReadable())
        return false;
    const QFileInfoList infos = dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &info : infos) {
        FolderEntry entry;
        entry.name = info.fileName();
        if (info.isDir()) {
            // A linked folder may lead anywhere on the machine or the
            // network: its files are not this order's.
            const bool linked = info.isSymLink() || info.isJunction();
            entry.kind = linked ? FolderEntry::Left : FolderEntry::Folder;
            entry.cause = BatchDeleteLeftEntry::Link;
        } else if (info.isFile()) {
            entry.kind = info.isSymLink() ? FolderEntry::LinkedFile : FolderEntry::File;
            entry.size = info.size();
        } else {
            continue;
        }
        entries->append(entry);
    }
    sortByName(entries);
    return true;
}
#endif

// The order the panel has always shown: names compared in lower case, the
// exact name telling apart names that differ in case only.
void FileScanWorker::sortByName(QVector<FolderEntry> *entries)
{
    std::sort(entries->begin(), entries->end(), [](const FolderEntry &a, const FolderEntry &b) {
        const int folded = a.name.toLower().compare(b.name.toLower());
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
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
        // The worker goes here, once its thread has ended: deleted at that
        // thread's end, it reads this object there, ordered before this
        // destructor goes on only by QThread::wait, inside Qt, where the
        // tests' ThreadSanitizer does not see it.
        delete worker;
        delete thread;
        return;
    }
    qCWarning(lcScan) << "FileScanThread: 线程关闭超时，但不强制终止";
    // Deleted once it ends by itself; never while it still runs.
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
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
