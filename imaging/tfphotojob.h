#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QAtomicInt>
#include <QList>
#include <QString>

#include "imaging/tfbufferpool.h"

// The copies of one photo (its full-size upright copy and its reduced
// copies), made from one read of the file: the full-size copy of an upright
// JPEG is the bytes read, a turned one is turned without decoding where the
// picture's size allows it, and the reduced copies come from one decode at
// the smallest DCT-scaled size that is large enough, each smaller copy from
// the one above it. Each copy is written when it is made. What the job
// cannot make itself (not a JPEG it reads, a picture too large) is made by
// the hooks' own way.
class TfPhotoJob
{
public:
    // One copy: its size and where it goes.
    struct Output
    {
        // 0: the full-size upright copy; else the long side of a reduced one.
        int size = 0;
        // Empty: the prepare hook gives it.
        QString target;
        // The folder the copy must stay inside (no link on the way, see
        // Confined); empty: written where the target says, unchecked.
        QString folder;
    };

    // What the caller adds to a job, each called on the job's thread; an
    // empty hook does the plain thing.
    struct Hooks
    {
        // The target of an output given none, its folders made; or the
        // whole message of its refusal. Plain: refused.
        std::function<QString(int output, QString *target)> prepare;
        // The copy made its own way, from the file. Plain: TfImage's copy.
        std::function<bool(int output, const QString &target, QString *reason)> produce;
        // The message of a failed copy, from its reason (empty when none is
        // known). Plain: the reason.
        std::function<QString(int output, const QString &reason)> failure;
    };

    TfPhotoJob(const QString &source, const QList<Output> &outputs, const Hooks &hooks = Hooks());
    ~TfPhotoJob();

    const QString &source() const { return m_source; }
    int outputCount() const { return int(m_outputs.size()); }

    // Makes every copy on this thread, unless another thread has started:
    // waits here for its memory.
    void run();

    // Whether every copy is told (made, failed or cancelled).
    bool isFinished() const;

    // The message of copy i (empty on success). Runs the job on this
    // thread when no thread has started it, otherwise waits for the copy.
    // False when the job was cancelled before the copy was made, or when
    // stop turned set while waiting.
    bool result(int output, QString *message, const QAtomicInt *stop = nullptr);

    // Makes one copy of source at target on this thread, the full-size
    // upright copy for targetSize 0; *reason as TfImage's copies set it.
    // folder as Output's.
    static bool makeCopy(const QString &source, const QString &target, int targetSize, QString *reason,
                         const QString &folder = QString());

    // Whether this thread is making a job's copies now (the copies a job
    // leaves to the worker's own way must not start another job).
    static bool runningHere();

    // Nothing more is written; copies not made yet are never made.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }

    // Counts since the last reset, for tests and the benchmark: files read,
    // pictures decoded at full size and at a DCT-scaled size, full-size
    // copies turned without decoding and turned by decoding and encoding.
    struct Stats
    {
        int reads = 0;
        int fullDecodes = 0;
        int scaledDecodes = 0;
        int losslessTurns = 0;
        int reencodedTurns = 0;
    };
    static Stats stats();
    static void resetStats();

private:
    enum class State {
        Queued,
        Running,
        Finished,
    };
    struct Slot
    {
        bool done = false;
        bool cancelled = false;
        bool ok = false;
        QString reason;
        QString message;
    };

    // The job's working state and its steps (plan, full-size copy, reduced
    // copies, the worker's own copies).
    class Work;
    friend class TfPhotoPool;

    // Queued to running on this thread; false when another has it.
    bool start();
    // Runs step as this job's on this thread (a copy left to the worker's
    // own way starts no other job); the failure it threw, if any.
    QString runStep(const std::function<void()> &step);
    // The pool's way, in two calls that need not be on one thread: the
    // bytes its copies need reserved, or -1 when nothing is left to make
    // (another thread has the job, or it is finished); then the copies,
    // with those bytes reserved.
    qint64 plan();
    void make(TfBufferPool::Reservation &&reservation);
    // A planned job that will not be made (it was cancelled) is finished.
    void drop();
    // Every copy not told yet: cancelled, or failed with failure (empty:
    // its own plain message); the job is finished.
    void reportUnmade(const QString &failure);
    // A refusal of the output's target: its whole message.
    void refuse(int output, const QString &message);
    // The output made, or failed for reason (empty when none is known).
    void finish(int output, bool ok, const QString &reason);
    bool cancelledNow() const { return m_cancelled.load(); }
    QString messageOf(int output, const QString &reason) const;
    bool produce(int output, const QString &target, QString *reason) const;

    QString m_source;
    std::vector<Output> m_outputs;
    Hooks m_hooks;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Queued;
    std::vector<Slot> m_slots;
    std::atomic<bool> m_cancelled{false};
    // Between plan() and make(): the file open, its header read.
    std::unique_ptr<Work> m_work;
};

// Threads that run photo jobs, one per core, taken in the order they were
// submitted. Memory, not the thread count, decides how many run at once: a
// thread plans a job (its header read, its share of the buffer budget
// known) and makes it only once that share fits (TfBufferPool). A job that
// does not fit yet waits without a thread, and a later one that fits goes
// past it, so that no core idles behind it; once kPassesBeforeFirst have
// gone past, none does until it has its room.
class TfPhotoPool
{
public:
    static constexpr int kPassesBeforeFirst = 8;

    // threads <= 0: one per core.
    explicit TfPhotoPool(int threads = 0);
    // Cancels every job and waits for the threads.
    ~TfPhotoPool();

    void submit(const std::shared_ptr<TfPhotoJob> &job);
    // Cancels every job submitted so far and drops the queue.
    void cancelAll();
    // While paused no queued job is started.
    void setPaused(bool paused);
    int threadCount() const { return m_threadCount; }

    // For tests: jobs planned that wait for their room, and threads asleep
    // with nothing they may start now.
    int waitingJobs() const;
    int idleThreads() const;

private:
    // A job planned, waiting for its bytes of the budget.
    struct Waiting
    {
        std::shared_ptr<TfPhotoJob> job;
        qint64 bytes = 0;
        // Jobs that went past it.
        int passed = 0;
    };

    void loop();
    // A waiting job to make now, with its reservation: a cancelled one
    // (nothing to reserve), else the first that fits, unless one before it
    // has been passed too often.
    bool takeWaiting(std::shared_ptr<TfPhotoJob> *job, TfBufferPool::Reservation *reservation);
    bool mayPlanMore() const;
    void changed();

    int m_threadCount;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<TfPhotoJob>> m_queue;
    std::deque<Waiting> m_waiting;
    std::vector<std::weak_ptr<TfPhotoJob>> m_submitted;
    std::vector<std::thread> m_threads;
    // Counts what a sleeping thread may wake for: a job, room, a pause.
    quint64 m_changes = 0;
    int m_idle = 0;
    int m_roomListener = 0;
    bool m_paused = false;
    bool m_quit = false;
};
