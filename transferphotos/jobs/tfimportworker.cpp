#include "transferphotos/jobs/tfimportworker.h"

#include <exception>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "imaging/tfimageprocessing.h"
#include "transferphotos/jobs/tfimportthreadmanager.h"
#include "imaging/tfphotojob.h"
#include "transferphotos/jobs/tflog.h"

namespace {

const QString kTagAll = QStringLiteral("all");
const QString kTagTrialVideo = QStringLiteral("试拍视频");
const QString kTagRetouchedVideo = QStringLiteral("精修视频");

} // namespace

tfimportworker::tfimportworker(int index, tfimportthreadmanager *manager)
    : QThread(manager)
    , index(index)
    , stopRequested(0)
    , hasTask(0)
    , idle(1)
{
}

tfimportworker::~tfimportworker()
{
    stop();
    wait();
    runEnded.load(std::memory_order_acquire);
}

void tfimportworker::assignTask(const ImportTask &task)
{
    std::lock_guard<std::mutex> lock(mutex);
    currentTask = task;
    hasTask.storeRelease(1);
    idle.storeRelease(0);
    condition.notify_one();
}

void tfimportworker::stop()
{
    std::lock_guard<std::mutex> lock(mutex);
    stopRequested.storeRelease(1);
    condition.notify_all();
}

void tfimportworker::run()
{
    while (!stopRequested.loadAcquire()) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!hasTask.loadAcquire()) {
            if (stopRequested.loadAcquire())
                break;
            idle.storeRelease(1);
            condition.wait(lock);
        }
        if (stopRequested.loadAcquire())
            break;
        if (!hasTask.loadAcquire())
            continue;
        const ImportTask task = currentTask;
        // The photo's job is held by this copy only while it is made: a stop
        // waits for a job as long as something holds it.
        currentTask = ImportTask();
        hasTask.storeRelease(0);
        idle.storeRelease(0);
        lock.unlock();

        if (task.photo.importFlag == static_cast<int>(PhotoStatus::Uploaded)) {
            // Copied in an earlier run of the order: only its report is due.
            emit photoImported(task.taskId, task.photo.img_name, task.photoIndex, true, QString());
            QThread::msleep(10);
            idle.storeRelease(1);
            emit readyForTask();
            continue;
        }

        const QString message = process(task);
        emit photoImported(task.taskId, task.photo.img_name, task.photoIndex, message.isEmpty(), message);
        QThread::msleep(10);
        idle.storeRelease(1);
        emit readyForTask();
    }
    idle.storeRelease(1);
    emit workerFinished(index);
    qCDebug(lcTransfer).noquote() << QStringLiteral("导片工作线程 %1 结束").arg(index);
    runEnded.store(true, std::memory_order_release);
}

QString tfimportworker::failureText(const ImportTask &task)
{
    const QString &tag = task.photo.sizeTag;
    if (tag == kTagAll)
        return QStringLiteral("原图拷贝失败");
    if (tag == kTagTrialVideo)
        return QStringLiteral("试拍视频拷贝失败");
    if (tag == kTagRetouchedVideo)
        return QStringLiteral("精修视频拷贝失败");
    bool numberOk = false;
    int size = task.photo.ratio.toInt(&numberOk);
    if (!numberOk)
        size = 0;
    return QStringLiteral("图片压缩失败 (目标尺寸: ") + QString::number(size) + QLatin1Char(')');
}

QString tfimportworker::failureText(const ImportTask &task, const QString &reason)
{
    const QString failure = failureText(task);
    return reason.isEmpty() ? failure : failure + QStringLiteral("：") + reason;
}

QString tfimportworker::prepare(const ImportTask &task, QString *target)
{
    const QString &tag = task.photo.sizeTag;
    const QString failure = failureText(task);
    // Names from the service or the file dialog become one file in one size
    // folder: nothing that climbs out of it.
    if (!PathUtil::isPlainName(task.photo.img_name) || !PathUtil::isPlainName(tag) || task.sizeFolder.isEmpty()
        || !PathUtil::isAbsolute(task.sizeFolder) || PathUtil::hasDotComponent(task.sizeFolder)) {
        qCWarning(lcTransfer) << "文件名或目录名无效:" << task.photo.img_name << tag << task.sizeFolder;
        return failure;
    }
    if (tag != kTagAll && tag != kTagTrialVideo && tag != kTagRetouchedVideo) {
        const int size = task.photo.ratio.toInt();
        if (size < TfImage::kMinTargetSize || size > TfImage::kMaxTargetSize) {
            qCWarning(lcTransfer) << "目标尺寸无效:" << task.photo.ratio;
            return failure;
        }
    }
    *target = targetPathOf(task);
    const QString &source = task.photo.url;
    const QString orderFolder = QFileInfo(PathUtil::toFs(task.sizeFolder)).path();
    // A file picked from the order's own folder is one of its copies:
    // importing it would put a reduced copy in place of the full one.
    if (PathUtil::isInside(source, orderFolder)) {
        qCWarning(lcTransfer) << "源文件位于订单导片目录中，拒绝导入:" << source << orderFolder;
        return failureText(task, QStringLiteral("源文件位于本订单的导片目录中: ") + source);
    }
    // Every write stays inside the order's folder: a link there (the order
    // folder, a size folder, or a file of the same name) would send it
    // elsewhere.
    QString refusal = Confined::writeRefusal(*target, orderFolder);
    if (refusal.isEmpty())
        Confined::makePath(QFileInfo(*target).absolutePath(), orderFolder, &refusal);
    if (!refusal.isEmpty()) {
        qCWarning(lcTransfer) << refusal;
        return failureText(task, refusal);
    }
    return QString();
}

namespace {

tfimportworker::ProduceHook &produceHook()
{
    static tfimportworker::ProduceHook hook;
    return hook;
}

} // namespace

void tfimportworker::setProduceHook(ProduceHook hook)
{
    produceHook() = std::move(hook);
}

bool tfimportworker::produce(const ImportTask &task, const QString &target, QString *reason)
{
    if (produceHook())
        produceHook()(task);
    const QString &tag = task.photo.sizeTag;
    const QString &source = task.photo.url;
    // Written through the order's folder held open from the check to the
    // rename: a size folder swapped for a link meanwhile is never followed.
    const QString orderFolder = QFileInfo(PathUtil::toFs(task.sizeFolder)).path();
    if (tag == kTagAll)
        return copyWithRotation(source, target, reason, orderFolder);
    if (tag == kTagTrialVideo || tag == kTagRetouchedVideo)
        return copyFile(source, target, reason, orderFolder);
    return TfImage::processImage(source, target, task.photo.ratio.toInt(), reason, orderFolder);
}

QString tfimportworker::process(const ImportTask &task)
{
    try {
        if (task.job) {
            // Made by the photo's job, on the engine's pool or, when no
            // thread has started it yet, here.
            QString message;
            if (task.job->result(task.jobOutput, &message, &stopRequested))
                return message;
            return failureText(task, QStringLiteral("已取消"));
        }
        QString target;
        const QString refused = prepare(task, &target);
        if (!refused.isEmpty())
            return refused;
        QString reason;
        return produce(task, target, &reason) ? QString() : failureText(task, reason);
    } catch (const std::exception &e) {
        return QStringLiteral("处理异常: ") + QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("未知异常");
    }
}

QString tfimportworker::buildTargetPath(const ImportTask &task) const
{
    return targetPathOf(task);
}

QString tfimportworker::targetPathOf(const ImportTask &task)
{
    QString name = task.photo.img_name;
    if (task.photo.sizeTag != kTagAll) {
        const QFileInfo info(name);
        name = info.completeBaseName() + QLatin1Char('.') + info.suffix();
    }
    return QDir(PathUtil::toFs(task.sizeFolder)).absoluteFilePath(name);
}

bool tfimportworker::copyWithRotation(const QString &source, const QString &target, QString *reason,
                                      const QString &orderFolder)
{
    if (reason)
        reason->clear();
    const QString src = PathUtil::toFs(source);
    const QString dst = PathUtil::toFs(target);
    // Looked at without opening it: a pipe would block the reads below.
    QFile probe;
    QString unreadable;
    if (!FileOps::openSource(src, &probe, &unreadable)) {
        qCWarning(lcTransfer) << "无法读取源文件:" << source << unreadable;
        if (reason)
            *reason = QStringLiteral("源文件") + unreadable;
        return false;
    }
    probe.close();
    // The old target stays until its replacement is complete (every write
    // below replaces it atomically), so a failed copy never loses it.
    QElapsedTimer timer;
    timer.start();
    const int orientation = TfImage::readExifOrientation(src);
    if (orientation != 1) {
        qCDebug(lcTransfer).noquote() << QStringLiteral("检测到图片需要旋转，EXIF方向: %1, 源文件: %2")
                                             .arg(QString::number(orientation), source);
        return TfImage::rotateCopy(src, dst, reason, orderFolder);
    }
    // The byte copy of a photo cut short would pass on its grey-filled
    // part; its reduced copies fail for it, so the photo fails as a whole.
    if (TfImage::isTruncatedJpeg(src)) {
        qCWarning(lcTransfer) << "图片文件不完整（缺少结束标记）:" << source;
        if (reason)
            *reason = TfImage::truncatedText();
        return false;
    }
    qCDebug(lcTransfer) << "图片方向正常，直接拷贝:" << source;
    QString error;
    const bool ok = TfImage::plainCopy(src, dst, &error, orderFolder);
    if (timer.elapsed() > 10000)
        qCDebug(lcTransfer).noquote() << QStringLiteral("文件拷贝耗时较长: %1秒, 文件: %2")
                                             .arg(QString::number(double(timer.elapsed()) / 1000.0, 'f', 1), source);
    if (!ok) {
        qCWarning(lcTransfer) << "文件拷贝失败:" << error;
        if (reason)
            *reason = error;
    }
    return ok;
}

bool tfimportworker::copyFile(const QString &source, const QString &target, QString *reason,
                              const QString &orderFolder)
{
    if (reason)
        reason->clear();
    QString src = source;
    QString dst = target;
    src.replace(QLatin1Char('/'), QLatin1Char('\\'));
    dst.replace(QLatin1Char('/'), QLatin1Char('\\'));
    qCDebug(lcTransfer) << "原文件路径：" << src;
    qCDebug(lcTransfer) << "目标文件路径：" << dst;
    const QString fsSrc = PathUtil::toFs(src);
    const QString fsDst = PathUtil::toFs(dst);
    if (!QFileInfo::exists(fsSrc) && !QFileInfo(fsSrc).isSymLink()) {
        qCWarning(lcTransfer) << "源文件不存在：" << src;
        if (reason)
            *reason = QStringLiteral("源文件不存在");
        return false;
    }
    if (PathUtil::sameFile(fsSrc, fsDst)) {
        // Picked from the order's own video folder: it is already in place.
        qCWarning(lcTransfer) << "源文件与目标文件相同，保留原文件：" << src;
        return true;
    }
    QString error;
    if (!TfImage::plainCopy(fsSrc, fsDst, &error, orderFolder)) {
        // Also when the old target cannot be replaced: it is not this copy.
        qCWarning(lcTransfer) << "copyFile 拷贝失败：" << error;
        if (reason)
            *reason = error;
        return false;
    }
    qCDebug(lcTransfer) << "copyFile 拷贝成功：" << dst;
    return true;
}

QSize tfimportworker::calcIntermediateSize(const QSize &sourceSize, int target)
{
    return TfImage::calcIntermediateSize(sourceSize, target);
}

int tfimportworker::readExifOrientation(const QString &path)
{
    return TfImage::readExifOrientation(path);
}

QImage tfimportworker::rotateImageByExif(const QImage &image, int orientation)
{
    return TfImage::rotateImageByExif(image, orientation);
}

bool tfimportworker::processImage(const QString &source, const QString &target, int targetSize)
{
    return TfImage::processImage(source, target, targetSize);
}

bool tfimportworker::rotateCopy(const QString &source, const QString &target)
{
    return TfImage::rotateCopy(source, target);
}

bool tfimportworker::rotateInPlace(const QString &path)
{
    return TfImage::rotateInPlace(path);
}
