#include "transferphotos/jobs/tfimportthreadmanager.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include "base/confined.h"
#include "base/handover.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "imaging/tfbufferpool.h"
#include "transferphotos/jobs/tfimportworker.h"
#include "imaging/tfphotojob.h"
#include "transferphotos/jobs/tflog.h"

namespace {

constexpr int kMinWorkers = 1;
constexpr int kMaxWorkers = 16;

const QString kTagAll = QStringLiteral("all");

bool folderExists(const QString &path)
{
    return QFileInfo(PathUtil::toFs(path)).isDir();
}

QString parentOf(const QString &path)
{
    return QFileInfo(QDir::cleanPath(PathUtil::toFs(path))).path();
}

bool isVideoTag(const QString &tag)
{
    return tag == QStringLiteral("试拍视频") || tag == QStringLiteral("精修视频");
}

tfimportthreadmanager::FolderHook &folderHook()
{
    static tfimportthreadmanager::FolderHook hook;
    return hook;
}

} // namespace

void tfimportthreadmanager::setFolderHook(FolderHook hook)
{
    folderHook() = std::move(hook);
}

tfimportthreadmanager::tfimportthreadmanager(QObject *parent)
    : QObject(parent)
    , workerCount(4)
    , running(0)
    , paused(0)
    , nextTaskId(1)
    , completionTimer(new QTimer(this))
    , pollTimer(new QTimer(this))
    , folderPool(new QThreadPool(this))
    , pool(new TfPhotoPool)
{
    // One batch at a time: batches are queued in the order they were added.
    folderPool->setMaxThreadCount(1);
    connect(completionTimer, &QTimer::timeout, this, &tfimportthreadmanager::checkTaskCompletion);
    pollTimer->setSingleShot(true);
    connect(pollTimer, &QTimer::timeout, this, &tfimportthreadmanager::assignNextTask);
    completionTimer->start(1000);
    initWorkers();
}

tfimportthreadmanager::~tfimportthreadmanager()
{
    stopAll();
    // Its last report is posted to this object.
    folderPool->waitForDone();
    stopWorkers();
    for (tfimportworker *worker : qAsConst(retiredWorkers)) {
        worker->stop();
        worker->wait();
        delete worker;
    }
    retiredWorkers.clear();
    // Cancelled by stopAll: the threads end after the step in hand.
    pool.reset();
}

void tfimportthreadmanager::initWorkers()
{
    for (int i = 0; i < workerCount; ++i) {
        auto *worker = new tfimportworker(i, this);
        connect(worker, &tfimportworker::photoImported, this, &tfimportthreadmanager::onPhotoImported);
        connect(worker, &tfimportworker::workerFinished, this, &tfimportthreadmanager::onWorkerFinished);
        connect(worker, &tfimportworker::readyForTask, this, &tfimportthreadmanager::assignNextTask);
        worker->start();
        workers.append(worker);
    }
    qCDebug(lcTransfer).noquote() << QStringLiteral("初始化 %1 个导片工作线程").arg(workerCount);
}

void tfimportthreadmanager::stopWorkers()
{
    for (tfimportworker *worker : qAsConst(workers)) {
        worker->stop();
        worker->wait();
        delete worker;
    }
    workers.clear();
}

void tfimportthreadmanager::renewStoppedWorkers()
{
    bool renew = false;
    for (tfimportworker *worker : qAsConst(workers)) {
        if (!worker->isRunning() || worker->isStopping()) {
            renew = true;
            break;
        }
    }
    if (!renew)
        return;
    qCDebug(lcTransfer) << "检测到已停止的工作线程，重新初始化";
    for (tfimportworker *worker : qAsConst(workers)) {
        worker->stop();
        if (worker->isFinished()) {
            delete worker;
            continue;
        }
        // A worker still finishing a long copy is not waited for here; its
        // report is dropped (its task is no longer active) and it is deleted
        // once its loop has ended. Its own last signal, not QThread's
        // finished: that one is sent by Qt after the thread's last step that
        // a destructor can see to be done.
        retiredWorkers.append(worker);
        connect(worker, &tfimportworker::workerFinished, this, [this, worker]() {
            if (retiredWorkers.removeOne(worker)) {
                worker->wait();
                worker->deleteLater();
            }
        });
        if (worker->isFinished() && retiredWorkers.removeOne(worker))
            delete worker;
    }
    workers.clear();
    initWorkers();
}

void tfimportthreadmanager::setWorkerCount(int count)
{
    count = qBound(kMinWorkers, count, kMaxWorkers);
    if (count == workerCount)
        return;
    if (running.loadAcquire()) {
        stopAll();
        stopWorkers();
        workerCount = count;
        initWorkers();
        rearm(10);
    } else {
        stopWorkers();
        workerCount = count;
        initWorkers();
    }
}

int tfimportthreadmanager::currentWorkerCount() const
{
    return workerCount;
}

bool tfimportthreadmanager::validatePaths(const QList<OrderInfo> &orders, QString *message, QString *path)
{
    const QString unreachablePublic = QStringLiteral("公共导入路径无法访问，请检查路径是否正确");
    const QString unreachableImport = QStringLiteral("导入路径无法访问并且无法创建，请检查局域网是否能连接");

    // Values from the service that would put files outside the order's
    // folder are refused for every order, before any folder is made.
    for (const OrderInfo &order : orders) {
        if (order.importPath.isEmpty() && order.publicImportPath.isEmpty())
            continue;
        if (!K::instance()->buildImportPath(order).isEmpty()
            && (order.importPath.isEmpty() || PathUtil::isAbsolute(order.importPath)))
            continue;
        if (order.importPath.isEmpty()) {
            *message = unreachablePublic;
            *path = order.publicImportPath;
        } else {
            *message = unreachableImport;
            *path = order.importPath;
        }
        return false;
    }

    for (const OrderInfo &order : orders) {
        if (order.importPath.isEmpty()) {
            if (order.publicImportPath.isEmpty()) {
                *message = QStringLiteral("订单 ") + order.orderpayforkey + QLatin1Char('-') + order.servicetimes
                    + QStringLiteral(" 的导入路径和公共导入路径都为空");
                *path = QString();
                return false;
            }
            if (!folderExists(order.publicImportPath) && !folderExists(parentOf(order.publicImportPath))) {
                *message = unreachablePublic;
                *path = order.publicImportPath;
                return false;
            }
            continue;
        }
        if (folderExists(order.importPath) || folderExists(parentOf(order.importPath)))
            continue;
        if (QDir().mkpath(PathUtil::toFs(order.importPath)))
            return true;
        *message = unreachableImport;
        *path = order.importPath;
        return false;
    }
    return true;
}

void tfimportthreadmanager::queueOrders(const QList<OrderInfo> &orders, bool resolvePaths)
{
    // Looking at the folders and making them waits on the share: never on
    // this thread, which is the window's.
    preparing += orders.size();
    PreparedBatch batch;
    batch.orders = orders;
    batch.resolvePaths = resolvePaths;
    batch.generation = generation.loadAcquire();
    // Built here: K is made on this thread, before the pool's thread uses it.
    for (const OrderInfo &order : orders)
        batch.folders.append(K::instance()->buildImportPath(order));
    HandOver::start(folderPool, [this, batch]() mutable {
        if (folderHook())
            folderHook()(batch.orders);
        if (generation.loadAcquire() != batch.generation)
            return;
        batch.valid = validatePaths(batch.orders, &batch.message, &batch.path);
        for (int i = 0; batch.valid && i < batch.orders.size(); ++i) {
            const QString &folder = batch.folders.at(i);
            ensureOrderFolders(folder, batch.orders.at(i));
            TfUnfinished::Resume resume;
            // The note comes before the run's first copy: the copies it keeps
            // next time are those not older than it.
            if (!folder.isEmpty() && !batch.orders.at(i).selectedFiles.isEmpty())
                resume = TfUnfinished::begin(&batch.orders[i], QDir(PathUtil::toFs(folder)).absolutePath());
            batch.resumes.append(resume);
        }
        HandOver::post(this, [this, batch]() { onOrdersPrepared(batch); });
    });
}

void tfimportthreadmanager::onOrdersPrepared(const PreparedBatch &batch)
{
    // Dropped by a stop meanwhile.
    if (batch.generation != generation.loadAcquire())
        return;
    preparing -= batch.orders.size();
    const QList<OrderInfo> &orders = batch.orders;
    const bool resolvePaths = batch.resolvePaths;
    if (!batch.valid) {
        if (resolvePaths)
            qCWarning(lcTransfer).noquote()
                << QStringLiteral("批量导片路径验证失败: %1, 路径: %2").arg(batch.message, batch.path);
        else
            qCWarning(lcTransfer).noquote() << QStringLiteral("路径验证失败: %1, 路径: %2").arg(batch.message, batch.path);
        emit pathErrorOccurred(batch.message, batch.path);
        return;
    }

    renewStoppedWorkers();

    for (int i = 0; i < orders.size(); ++i) {
        if (batch.resumes.value(i).resumed)
            emit orderResumed(orders.at(i), batch.resumes.at(i));
    }

    {
        QMutexLocker lock(&queueMutex);
        running.storeRelease(1);
        for (const OrderInfo &order : orders) {
            OrderTask task;
            task.order = order;
            if (resolvePaths)
                task.order.importPath = K::instance()->buildImportPath(order);
            task.completed = false;
            task.taskId = nextTaskId.fetchAndAddOrdered(1);
            task.runId = task.taskId;
            task.startIndex = 0;
            task.totalCount = order.selectedFiles.size();
            taskQueue.append(task);
            planJobs(task);
            if (!resolvePaths)
                qCDebug(lcTransfer).noquote() << QStringLiteral("添加导片任务: %1 (包含 %2 张照片)")
                                                     .arg(order.orderpayforkey, QString::number(task.totalCount));
        }
        if (resolvePaths)
            qCDebug(lcTransfer).noquote() << QStringLiteral("添加批量导片任务: %1 个订单").arg(orders.size());
    }
    rearm(10);
}

void tfimportthreadmanager::addOrderTask(const OrderInfo &order)
{
    queueOrders({order}, false);
}

void tfimportthreadmanager::addBatchTasks(const QList<OrderInfo> &orders)
{
    queueOrders(orders, true);
}

void tfimportthreadmanager::rearm(int ms)
{
    // One look pending at a time: a new single-shot timer at every report,
    // each re-armed while the workers were busy, made a chain a report, and
    // thousands of timers held the window for seconds in an order of
    // thousands of photos.
    if (QThread::currentThread() != thread()) {
        HandOver::post(this, [this, ms]() { rearm(ms); });
        return;
    }
    if (pollTimer->isActive() && pollTimer->remainingTime() <= ms)
        return;
    pollTimer->start(ms);
}

void tfimportthreadmanager::ensureOrderFolders(const QString &orderFolder, const OrderInfo &order)
{
    if (orderFolder.isEmpty())
        return;
    const QString folder = QDir(PathUtil::toFs(orderFolder)).absolutePath();
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);
    // Made inside the order's folder only, never through a link in it: the
    // workers refuse a photo whose folder is one and say so. A folder not
    // made here fails its photos when the worker makes it.
    QStringList subFolders{kTagAll, QStringLiteral("原始档")};
    for (const PhotoInfo &photo : order.selectedFiles) {
        const QString &tag = photo.sizeTag;
        // A tag is one folder name; anything else is refused by the worker.
        if (!tag.isEmpty() && PathUtil::isPlainName(tag) && !subFolders.contains(tag))
            subFolders.append(tag);
    }
    for (const QString &sub : qAsConst(subFolders)) {
        QString refusal;
        if (!Confined::makePath(folder + QLatin1Char('/') + sub, folder, &refusal))
            qCWarning(lcTransfer) << refusal;
    }
}

void tfimportthreadmanager::planJobs(const OrderTask &task)
{
    // Every copy of a photo comes from one job, so the photo is read once
    // and decoded at most once; videos and entries done in an earlier run
    // stay with the workers.
    const QString orderFolder = K::instance()->buildImportPath(task.order);
    if (orderFolder.isEmpty())
        return;
    const QString folderFs = QDir(PathUtil::toFs(orderFolder)).absolutePath();
    RunPlan plan;
    QHash<QString, int> jobOfUrl;
    QList<QList<TfPhotoJob::Output>> outputs;
    // Each job's copies as the workers know them: their checks, their own
    // way of copying and their messages.
    QList<std::shared_ptr<QList<ImportTask>>> tasks;
    QStringList urls;
    const QList<PhotoInfo> &entries = task.order.selectedFiles;
    for (int i = 0; i < entries.size(); ++i) {
        const PhotoInfo &photo = entries.at(i);
        if (photo.importFlag == static_cast<int>(PhotoStatus::Uploaded) || isVideoTag(photo.sizeTag)
            || photo.url.isEmpty())
            continue;
        auto it = jobOfUrl.constFind(photo.url);
        int job;
        if (it == jobOfUrl.constEnd()) {
            job = urls.size();
            jobOfUrl.insert(photo.url, job);
            urls.append(photo.url);
            outputs.append(QList<TfPhotoJob::Output>());
            tasks.append(std::make_shared<QList<ImportTask>>());
        } else {
            job = it.value();
        }
        ImportTask copy;
        copy.photo = photo;
        copy.sizeFolder = folderFs + QLatin1Char('/') + photo.sizeTag;
        TfPhotoJob::Output output;
        // A size the worker's checks refuse stays a reduced copy: never
        // taken for the full-size one.
        const int ratio = photo.ratio.toInt();
        output.size = photo.sizeTag == kTagAll ? 0 : (ratio > 0 ? ratio : -1);
        output.folder = folderFs;
        plan.outputs.insert(task.startIndex + i, qMakePair(job, int(outputs[job].size())));
        outputs[job].append(output);
        tasks[job]->append(copy);
    }
    for (int j = 0; j < urls.size(); ++j) {
        const std::shared_ptr<QList<ImportTask>> copies = tasks.at(j);
        TfPhotoJob::Hooks hooks;
        hooks.prepare = [copies](int i, QString *target) { return tfimportworker::prepare(copies->at(i), target); };
        hooks.produce = [copies](int i, const QString &target, QString *reason) {
            return tfimportworker::produce(copies->at(i), target, reason);
        };
        hooks.failure = [copies](int i, const QString &reason) {
            return tfimportworker::failureText(copies->at(i), reason);
        };
        plan.jobs.append(std::make_shared<TfPhotoJob>(urls.at(j), outputs.at(j), hooks));
    }
    runPlans.insert(task.runId, plan);
}

void tfimportthreadmanager::feedPool(int runId)
{
    // A few photos per pool thread ahead of the workers: enough to keep
    // every core busy, few enough that a stop leaves little made ahead.
    auto it = runPlans.find(runId);
    if (it == runPlans.end())
        return;
    const int ahead = pool->threadCount() * 2 + 2;
    while (it->submitted < it->jobs.size() && it->submitted <= it->reached + ahead)
        pool->submit(it->jobs.at(it->submitted++));
}

void tfimportthreadmanager::dropFinishedPlans()
{
    QSet<int> live;
    for (const OrderTask &task : qAsConst(taskQueue))
        live.insert(task.runId);
    for (const OrderTask &task : qAsConst(activeOrders))
        live.insert(task.runId);
    for (auto it = runPlans.begin(); it != runPlans.end();) {
        if (live.contains(it.key()))
            ++it;
        else
            it = runPlans.erase(it);
    }
    for (QHash<int, int> *counts : {&doneInRun, &failedInRun}) {
        for (auto it = counts->begin(); it != counts->end();) {
            if (live.contains(it.key()))
                ++it;
            else
                it = counts->erase(it);
        }
    }
}

void tfimportthreadmanager::finishNote(const OrderInfo &order)
{
    const QString folder = K::instance()->buildImportPath(order);
    if (folder.isEmpty() || order.selectedFiles.isEmpty())
        return;
    const QString folderFs = QDir(PathUtil::toFs(folder)).absolutePath();
    // Behind the batches queued before it: a run of the order added next
    // finds the note gone.
    HandOver::start(folderPool, [folderFs]() { TfUnfinished::finish(folderFs); });
}

void tfimportthreadmanager::assignNextTask()
{
    if (paused.loadAcquire() || !running.loadAcquire())
        return;
    QMutexLocker queueLock(&queueMutex);

    // Only a running worker that has not been told to stop may take a file.
    auto usable = [](tfimportworker *worker) {
        return worker->isRunning() && !worker->isStopping() && worker->isIdle();
    };
    tfimportworker *chosen = nullptr;
    for (int i = 0; i < workers.size(); ++i) {
        tfimportworker *worker = workers.at(i);
        if (!worker->isRunning() || worker->isStopping()) {
            qCDebug(lcTransfer).noquote() << QStringLiteral("检测到停止的工作线程 %1，跳过").arg(i);
            continue;
        }
        qCDebug(lcTransfer).noquote() << QStringLiteral("工作线程 %1 空闲状态: %2")
                                             .arg(QString::number(i), worker->isIdle() ? QStringLiteral("空闲")
                                                                                        : QStringLiteral("忙碌"));
        if (worker->isIdle()) {
            chosen = worker;
            qCDebug(lcTransfer).noquote() << QStringLiteral("找到空闲线程: %1").arg(i);
            break;
        }
    }
    if (!chosen) {
        qCDebug(lcTransfer) << "没有空闲线程，500ms后重试";
        rearm(500);
        return;
    }
    if (taskQueue.isEmpty())
        return;
    OrderTask part = taskQueue.takeFirst();
    {
        QMutexLocker ordersLock(&ordersMutex);
        activeOrders.insert(part.taskId, part);
    }

    // The order's folders were made when it was queued (queueOrders).
    const QString orderFolder = K::instance()->buildImportPath(part.order);

    bool completedEmpty = false;
    {
        QMutexLocker ordersLock(&ordersMutex);
        photoDoneFlags[part.taskId] = QMap<int, bool>();
        const QString folderFs = orderFolder.isEmpty() ? QString() : QDir(PathUtil::toFs(orderFolder)).absolutePath();
        const QList<PhotoInfo> &entries = part.order.selectedFiles;
        if (part.first >= entries.size() && part.startIndex == 0) {
            // Nothing to copy: the order is complete at once.
            activeOrders[part.taskId].completed = true;
            completedEmpty = true;
        }
        for (int i = part.first; i < entries.size(); ++i) {
            ImportTask task;
            task.photo = entries.at(i);
            task.sizeFolder = folderFs.isEmpty() ? QString() : folderFs + QLatin1Char('/') + entries.at(i).sizeTag;
            task.taskId = part.taskId;
            task.photoIndex = part.startIndex + (i - part.first);
            task.totalCount = part.totalCount;
            const auto plan = runPlans.constFind(part.runId);
            if (plan != runPlans.constEnd()) {
                const auto output = plan->outputs.constFind(task.photoIndex);
                if (output != plan->outputs.constEnd()) {
                    task.job = plan->jobs.at(output->first);
                    task.jobOutput = output->second;
                    runPlans[part.runId].reached = qMax(plan->reached, output->first);
                }
            }
            photoDoneFlags[part.taskId][task.photoIndex] = false;
            if (i == part.first) {
                chosen->assignTask(task);
                continue;
            }
            tfimportworker *other = nullptr;
            for (tfimportworker *worker : qAsConst(workers)) {
                if (worker != chosen && usable(worker)) {
                    other = worker;
                    break;
                }
            }
            if (other) {
                other->assignTask(task);
                continue;
            }
            OrderTask rest;
            rest.order = part.order;
            rest.first = i;
            rest.completed = part.completed;
            rest.startIndex = part.startIndex + (i - part.first);
            rest.totalCount = part.totalCount;
            rest.taskId = nextTaskId.fetchAndAddOrdered(1);
            rest.runId = part.runId;
            taskQueue.append(rest);
            break;
        }
    }
    feedPool(part.runId);
    queueLock.unlock();
    if (completedEmpty) {
        finishNote(part.order);
        emit orderImportCompleted(part.order, true, QString());
        qCDebug(lcTransfer).noquote() << QStringLiteral("订单 %1 导片完成").arg(part.order.orderpayforkey);
    }
    rearm(50);
}

void tfimportthreadmanager::onPhotoImported(int taskId, QString name, int photoIndex, bool success, QString message)
{
    OrderInfo order;
    int total = 0;
    int done = 0;
    bool completedNow = false;
    bool failedNone = false;
    {
        QMutexLocker lock(&ordersMutex);
        auto it = activeOrders.find(taskId);
        if (it == activeOrders.end())
            return;
        order = it->order;
        total = it->totalCount;
        const int run = it->runId;
        bool &flag = photoDoneFlags[taskId][photoIndex];
        if (!flag) {
            flag = true;
            ++doneInRun[run];
            if (!success)
                ++failedInRun[run];
        }
        done = doneInRun.value(run);
        failedNone = failedInRun.value(run) == 0;
        if (done >= total) {
            for (auto a = activeOrders.begin(); a != activeOrders.end(); ++a) {
                if (a->runId != run)
                    continue;
                if (!a->completed)
                    completedNow = true;
                a->completed = true;
            }
        }
    }
    emit photoImported(order, name, photoIndex, success, message);
    emit orderProgressUpdated(order, done, total);
    if (completedNow) {
        if (failedNone)
            finishNote(order);
        emit orderImportCompleted(order, true, QString());
        qCDebug(lcTransfer).noquote() << QStringLiteral("订单 %1 导片完成").arg(order.orderpayforkey);
        // The last order done may be the end of all work: said now, not
        // at the next tick of the completion poll.
        QTimer::singleShot(0, this, &tfimportthreadmanager::checkTaskCompletion);
    }
    rearm(50);
}

void tfimportthreadmanager::checkTaskCompletion()
{
    bool allDone = false;
    {
        QMutexLocker queueLock(&queueMutex);
        QMutexLocker ordersLock(&ordersMutex);
        for (auto it = activeOrders.begin(); it != activeOrders.end();) {
            if (it->completed) {
                photoDoneFlags.remove(it.key());
                it = activeOrders.erase(it);
            } else {
                ++it;
            }
        }
        if (running.loadAcquire() && !taskQueue.isEmpty()) {
            bool anyIdle = false;
            for (tfimportworker *worker : qAsConst(workers)) {
                if (worker->isRunning() && !worker->isStopping() && worker->isIdle())
                    anyIdle = true;
            }
            if (!anyIdle) {
                qCDebug(lcTransfer) << "检测到可能的线程状态异常，尝试重新分配任务";
                rearm(100);
            }
        }
        dropFinishedPlans();
        // A batch whose folders are still being made is work to come.
        if (running.loadAcquire() && taskQueue.isEmpty() && activeOrders.isEmpty() && preparing == 0) {
            running.storeRelease(0);
            allDone = true;
        }
    }
    if (allDone) {
        // Buffers kept for the next photo: no photo is coming.
        TfBufferPool::instance().trim();
        emit allTasksCompleted();
        qCDebug(lcTransfer) << "所有导片任务完成";
    }
}

void tfimportthreadmanager::onWorkerFinished(int workerIndex)
{
    qCDebug(lcTransfer).noquote() << QStringLiteral("工作线程 %1 完成任务").arg(workerIndex);
    rearm(10);
}

void tfimportthreadmanager::stopAll()
{
    QMutexLocker queueLock(&queueMutex);
    running.storeRelease(0);
    // Batches whose folders are still being made are never queued.
    generation.fetchAndAddOrdered(1);
    preparing = 0;
    taskQueue.clear();
    {
        QMutexLocker ordersLock(&ordersMutex);
        activeOrders.clear();
        photoDoneFlags.clear();
        doneInRun.clear();
        failedInRun.clear();
    }
    // Jobs of the dropped orders write nothing more; a copy being written
    // is finished.
    pool->cancelAll();
    stoppedJobs.erase(std::remove_if(stoppedJobs.begin(), stoppedJobs.end(),
                                     [](const std::weak_ptr<TfPhotoJob> &job) { return job.expired(); }),
                      stoppedJobs.end());
    for (const RunPlan &plan : qAsConst(runPlans)) {
        for (const std::shared_ptr<TfPhotoJob> &job : plan.jobs)
            stoppedJobs.push_back(job);
    }
    runPlans.clear();
    for (tfimportworker *worker : qAsConst(workers))
        worker->stop();
    qCDebug(lcTransfer) << "停止所有导片任务";
}

void tfimportthreadmanager::pauseAll()
{
    paused.storeRelease(1);
    pool->setPaused(true);
    qCDebug(lcTransfer) << "暂停所有导片任务";
}

void tfimportthreadmanager::resumeAll()
{
    paused.storeRelease(0);
    pool->setPaused(false);
    rearm(10);
    qCDebug(lcTransfer) << "恢复所有导片任务";
}

bool tfimportthreadmanager::hasCopiesInHand()
{
    for (const QList<tfimportworker *> *list : {&workers, &retiredWorkers}) {
        for (tfimportworker *worker : *list) {
            if (worker->isRunning() && !worker->isIdle())
                return true;
        }
    }
    if (folderPool->activeThreadCount() > 0)
        return true;
    // Nothing else holds a stopped job once its worker is idle: the pool's
    // thread does while it writes the job's copy.
    for (const std::weak_ptr<TfPhotoJob> &job : stoppedJobs) {
        if (!job.expired())
            return true;
    }
    stoppedJobs.clear();
    return false;
}

int tfimportthreadmanager::pendingCount()
{
    QMutexLocker queueLock(&queueMutex);
    QMutexLocker ordersLock(&ordersMutex);
    return preparing + taskQueue.size() + activeOrders.size();
}

QString tfimportthreadmanager::orderFolderPath(const OrderInfo &order)
{
    return K::instance()->buildImportPath(order);
}
