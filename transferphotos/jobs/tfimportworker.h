#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <QAtomicInt>
#include <QImage>
#include <QSize>
#include <QString>
#include <QThread>

#include "base/orderinfo.h"

class TfPhotoJob;
class tfimportthreadmanager;

// One file of an order, as the manager hands it to a worker.
struct ImportTask
{
    PhotoInfo photo;
    QString sizeFolder;
    int taskId = 0;
    int photoIndex = 0;
    int totalCount = 0;
    // The job that makes this copy together with the photo's other copies,
    // and which of its copies this is; none for a file the worker copies
    // itself.
    std::shared_ptr<TfPhotoJob> job;
    int jobOutput = -1;
};

// One thread of the import pool: copies the one file it was handed into its
// size folder (upright full-size copy, reduced copy or video), reports it and
// waits for the next.
class tfimportworker : public QThread
{
    Q_OBJECT

public:
    tfimportworker(int index, tfimportthreadmanager *manager);
    ~tfimportworker() override;

    void assignTask(const ImportTask &task);
    void stop();

    int workerIndex() const { return index; }
    bool isIdle() const { return idle.loadAcquire() != 0; }
    bool isStopping() const { return stopRequested.loadAcquire() != 0; }

    QString buildTargetPath(const ImportTask &task) const;
    static QString targetPathOf(const ImportTask &task);

    // The failure message of a task's copy, without its cause.
    static QString failureText(const ImportTask &task);
    // The failure message with its cause, when there is one to tell.
    static QString failureText(const ImportTask &task, const QString &reason);
    // Checks the task's names and target (nothing may be written outside
    // the order's folder, nor over a link) and makes its folder; returns the
    // failure message, or an empty text and *target.
    static QString prepare(const ImportTask &task, QString *target);
    // Makes the copy of a prepared task from its source file.
    static bool produce(const ImportTask &task, const QString &target, QString *reason);
    // For tests: called on the worker's thread before each copy is made, to
    // stand for a copy held up by a slow share. Set before a run starts.
    using ProduceHook = std::function<void(const ImportTask &task)>;
    static void setProduceHook(ProduceHook hook);
    // On failure *reason, when given, names the cause where it is known (a
    // full disk, a picture cut short or that cannot be turned), else stays
    // empty.
    // orderFolder: where the copy must stay (Confined); empty: unchecked.
    static bool copyWithRotation(const QString &source, const QString &target, QString *reason = nullptr,
                                 const QString &orderFolder = QString());
    static bool copyFile(const QString &source, const QString &target, QString *reason = nullptr,
                         const QString &orderFolder = QString());

    // The image operations; they use no worker state.
    static QSize calcIntermediateSize(const QSize &sourceSize, int target);
    static int readExifOrientation(const QString &path);
    static QImage rotateImageByExif(const QImage &image, int orientation);
    static bool processImage(const QString &source, const QString &target, int targetSize);
    static bool rotateCopy(const QString &source, const QString &target);
    static bool rotateInPlace(const QString &path);

signals:
    void photoImported(int taskId, QString name, int photoIndex, bool success, QString message);
    void workerFinished(int index);
    // Idle again after a report: the manager hands the next file at once
    // rather than at its next poll, which may come before the worker is
    // idle and then wait half a second.
    void readyForTask();

protected:
    void run() override;

private:
    // Copies one task's file; returns the failure message, empty on success.
    QString process(const ImportTask &task);

    int index;
    ImportTask currentTask;
    // Standard primitives: ThreadSanitizer sees their waits, not Qt's.
    std::mutex mutex;
    std::condition_variable condition;
    // Set as the last step of run(); read after wait() so the end of the
    // thread visibly happens before its destruction.
    std::atomic<bool> runEnded{false};
    QAtomicInt stopRequested;
    QAtomicInt hasTask;
    QAtomicInt idle;
};
