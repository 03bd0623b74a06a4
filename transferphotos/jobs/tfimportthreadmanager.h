#pragma once

#include <memory>

#include <QAtomicInt>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>

#include "base/orderinfo.h"

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
    QString orderFolderPath(const OrderInfo &order);
    // Threads that make the photos' copies behind the workers.

signals:
    void photoImported(OrderInfo order, QString name, int photoIndex, bool success, QString message);
    void orderProgressUpdated(OrderInfo order, int done, int total);
    void orderImportCompleted(OrderInfo order, bool success, QString message);
    void allTasksCompleted();
    void pathErrorOccurred(QString message, QString path);

private slots:
    void onPhotoImported(int taskId, QString name, int photoIndex, bool success, QString message);
    void onWorkerFinished(int workerIndex);
    void checkTaskCompletion();

private:
    bool validatePaths(const QList<OrderInfo> &orders, QString *message, QString *path);
    void ensureOrderFolders(const QString &orderFolder, const OrderInfo &order);
    void initWorkers();
    void stopWorkers();
    // Replaces the pool when a worker has ended or is ending, without waiting
    // for the old threads: they finish their file and delete themselves.
    void renewStoppedWorkers();
    void assignNextTask();
    void rearm(int ms);
    bool queueOrders(const QList<OrderInfo> &orders, bool resolvePaths);
    // One job per picked photo of a run of an order, made when it is queued
    // and handed to the pool a little ahead of the workers.
    void planJobs(const OrderTask &task);
    void feedPool(int runId);
    void dropFinishedPlans();

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
    QMutex queueMutex;
    QMutex ordersMutex;
    QAtomicInt running;
    QAtomicInt paused;
    QAtomicInt nextTaskId;
    QTimer *completionTimer;
    // The next look for an idle worker: one at a time, at the earliest of
    // the times asked for.
    QTimer *pollTimer;

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
};
