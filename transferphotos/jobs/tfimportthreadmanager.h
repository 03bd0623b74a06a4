#pragma once

#include <functional>
#include <memory>

#include <QAtomicInt>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include "base/orderinfo.h"
#include "transferphotos/jobs/tfunfinished.h"

class QThreadPool;
class QTimer;
class TfPhotoJob;
class TfPhotoPool;
class tfimportworker;

// One part of an order waiting for or in the hands of the workers.
struct OrderTask
{
    OrderInfo order;
    bool completed = false;
    int taskId = 0;
    int startIndex = 0;
    // Where this part's files begin in order.selectedFiles: the parts split
    // from an order share its one list (a copy of the files still to come
    // for each part made memory and time grow with the square of the
    // order's files).
    int first = 0;
    int totalCount = 0;
    // The task id of the order's first part, kept by every part split from
    // it: progress is counted per run of an order, so two runs of one order
    // number never mix their counts.
    int runId = 0;
};

// Schedules the import of orders over a small pool of worker threads and
// reports every file, every order's progress and the end of all work.
class tfimportthreadmanager : public QObject
{
    Q_OBJECT

public:
    explicit tfimportthreadmanager(QObject *parent = nullptr);
    ~tfimportthreadmanager() override;

    void setWorkerCount(int count);
    int currentWorkerCount() const;
    void addOrderTask(const OrderInfo &order);
    void addBatchTasks(const QList<OrderInfo> &orders);
    void stopAll();
    void pauseAll();
    void resumeAll();
    int pendingCount();
    // After stopAll: whether a copy is still being written (a worker's or
    // the photo engine's, each ends after the file in hand) or an added
    // batch's folders are still being made. A window waits for this before
    // it goes, without holding its thread.
    bool hasCopiesInHand();
    QString orderFolderPath(const OrderInfo &order);
    // For tests: called on the thread that checks an added batch's folders
    // and makes them, before it does, to stand for a share that answers
    // slowly. Set before a run starts.
    using FolderHook = std::function<void(const QList<OrderInfo> &orders)>;
    static void setFolderHook(FolderHook hook);

signals:
    void photoImported(OrderInfo order, QString name, int photoIndex, bool success, QString message);
    void orderProgressUpdated(OrderInfo order, int done, int total);
    void orderImportCompleted(OrderInfo order, bool success, QString message);
    void allTasksCompleted();
    void pathErrorOccurred(QString message, QString path);
    // An earlier run of the order was cut short (TfUnfinished): this run
    // makes only what that one did not. Sent before the order's first
    // result; the kept entries are then reported as done like the others.
    void orderResumed(OrderInfo order, TfUnfinished::Resume resume);

private slots:
    void onPhotoImported(int taskId, QString name, int photoIndex, bool success, QString message);
    void onWorkerFinished(int workerIndex);
    void checkTaskCompletion();

private:
    // An added batch, its folders checked and made off this thread.
    struct PreparedBatch
    {
        QList<OrderInfo> orders;
        // Each order's folder (K::buildImportPath).
        QStringList folders;
        bool resolvePaths = false;
        // The stops seen when it was added: a stop since drops it.
        int generation = 0;
        bool valid = false;
        QString message;
        QString path;
        // Per order: what its run begins with.
        QList<TfUnfinished::Resume> resumes;
    };

    // Both look at the disk and make folders: they run off this thread.
    static bool validatePaths(const QList<OrderInfo> &orders, QString *message, QString *path);
    static void ensureOrderFolders(const QString &orderFolder, const OrderInfo &order);
    void initWorkers();
    void stopWorkers();
    // Replaces the pool when a worker has ended or is ending, without waiting
    // for the old threads: they finish their file and delete themselves.
    void renewStoppedWorkers();
    void assignNextTask();
    void rearm(int ms);
    // Checks the orders' folders and makes them on folderPool's thread;
    // onOrdersPrepared queues the orders or reports the path error.
    void queueOrders(const QList<OrderInfo> &orders, bool resolvePaths);
    void onOrdersPrepared(const PreparedBatch &batch);
    // One job per picked photo of a run of an order, made when it is queued
    // and handed to the pool a little ahead of the workers.
    void planJobs(const OrderTask &task);
    void feedPool(int runId);
    void dropFinishedPlans();
    // The order's run made every copy: its unfinished note goes, on the
    // folder thread.
    void finishNote(const OrderInfo &order);

    int workerCount;
    QList<tfimportworker *> workers;
    QList<tfimportworker *> retiredWorkers;
    QList<OrderTask> taskQueue;
    QMap<int, OrderTask> activeOrders;
    QMap<int, QMap<int, bool>> photoDoneFlags;
    // How many of each run's photos are done (flags set true in
    // photoDoneFlags): counted as they are set, not by walking every part
    // of the run at every photo, which grew with the square of its files.
    QHash<int, int> doneInRun;
    // How many of each run's photos failed: a run without a failure leaves
    // its order finished.
    QHash<int, int> failedInRun;
    QMutex queueMutex;
    QMutex ordersMutex;
    QAtomicInt running;
    QAtomicInt paused;
    QAtomicInt nextTaskId;
    QTimer *completionTimer;
    // The next look for an idle worker: one at a time, at the earliest of
    // the times asked for.
    QTimer *pollTimer;
    QThreadPool *folderPool;
    // The orders added whose folders are still being made; only touched on
    // this object's thread.
    int preparing = 0;
    // The stops so far: a batch added before a stop is dropped, and its
    // folders are not made when the stop came first.
    QAtomicInt generation;

    struct RunPlan
    {
        QList<std::shared_ptr<TfPhotoJob>> jobs;
        // Entry index -> (job, which of its copies).
        QHash<int, QPair<int, int>> outputs;
        int submitted = 0;
        int reached = 0; // the furthest job a worker was handed
    };
    QHash<int, RunPlan> runPlans;
    std::unique_ptr<TfPhotoPool> pool;
    // The jobs of the runs stopped: a job still held by the engine's pool
    // is writing a copy (the worker that waited for it may have gone).
    std::vector<std::weak_ptr<TfPhotoJob>> stoppedJobs;
};
