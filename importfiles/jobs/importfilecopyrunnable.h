#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QObject>
#include <QRunnable>
#include <QString>

#include "importfiles/jobs/importrecords.h"

// Copies one picked file into its order's folder on a pool thread, checks
// the copy and hands its record back with the outcome. The copy goes to a
// temporary file beside the target that replaces the target only when it is
// complete and checked, so a failed or cancelled copy leaves an existing
// target as it was. Nothing is written outside the order's folder or
// through a link in it (the order folder itself included): such a target
// fails with the refusal as its message.
//
// The pool owns the job (auto-delete): it is deleted after run() or, when
// the pool's queue is cleared, without running. The creator keeps only the
// shared cancel flag and the claim, never a pointer to the job.
class ImportFileCopyRunnable : public QObject, public QRunnable
{
    Q_OBJECT

public:
    // Who runs the job: the pool thread that starts it, or whoever stops
    // the run first (then it never runs and reports nothing).
    enum Claim {
        Queued = 0,
        Running = 1,
        Dropped = 2,
    };
    using ClaimFlag = std::shared_ptr<std::atomic_int>;
    using CancelFlag = std::shared_ptr<std::atomic_bool>;

    ImportFileCopyRunnable(const ImportFile &file, CancelFlag cancel, ClaimFlag claim = nullptr,
                           QObject *parent = nullptr);
    ~ImportFileCopyRunnable() override;

    void run() override;

    void cancel();
    bool isCancelled() const;

    // Takes a queued job away from the pool; false when it already runs.
    static bool drop(const ClaimFlag &claim);

    // The copy itself: to a temporary file, checked against expectedSize,
    // then renamed over target, which must lie in orderFolder with no link
    // on the way. Paths are the file system's own. On failure *error holds
    // the text for the user, or nothing when the copy was cancelled (cancel,
    // or cancelBeforeRename answering true once the copy is complete).
    static bool copyWithCheck(const QString &source, const QString &target, const QString &orderFolder,
                              qint64 expectedSize, QString *error, const std::atomic_bool *cancel,
                              const std::function<bool()> &cancelBeforeRename = nullptr);
    // Creates a folder inside orderFolder (or orderFolder itself) with its
    // parents when it is missing, never through a link. Service paths.
    static bool ensureDirectory(const QString &dir, const QString &orderFolder, QString *error);

    // The points where a job looks at its cancel flag, in order. Tests
    // install a hook that runs at each of them (on the pool thread).
    enum Checkpoint {
        BeforeStart,
        SourceChecked,
        TargetChecked,
        CopyWritten, // the temporary file is complete, not yet renamed
        Renamed,     // the copy has replaced the target: too late to cancel
    };
    using CheckpointHook = std::function<void(Checkpoint point, const ImportFile &file, const std::atomic_bool &cancel)>;
    static void setCheckpointHook(CheckpointHook hook);

signals:
    void copyFinished(ImportFile file);
    void copyProgress(ImportFile file, qint64 done, qint64 total);
    void copyCancelled(ImportFile file);

private:
    void finish(int status, const QString &message);
    void cancelled();
    // Runs the test hook, then reads the cancel flag.
    bool cancelledAt(Checkpoint point);

    ImportFile file;
    CancelFlag cancelFlag;
    ClaimFlag claimFlag;
};
