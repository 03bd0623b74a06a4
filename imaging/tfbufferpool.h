#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include <QtGlobal>

// The large buffers of the import engine's photo jobs (file contents,
// decoded pictures) and the memory budget they share. A block freed by one
// photo is handed to the next instead of going back to the system: a fresh
// block of tens of megabytes costs a page fault for every 4 KB the first
// time it is touched. A job reserves its peak before it starts, and is
// admitted only while it fits beside what the others hold; idle blocks are
// freed when a new block would not fit beside them.
class TfBufferPool
{
public:
    static TfBufferPool &instance();

    // A block of at least the asked size, back to the pool when destroyed.
    class Block
    {
    public:
        Block() = default;
        Block(Block &&other) noexcept;
        Block &operator=(Block &&other) noexcept;
        Block(const Block &) = delete;
        Block &operator=(const Block &) = delete;
        ~Block();

        uchar *data() const { return m_data; }
        qint64 capacity() const { return m_capacity; }
        bool isNull() const { return !m_data; }

    private:
        friend class TfBufferPool;
        TfBufferPool *m_pool = nullptr;
        uchar *m_data = nullptr;
        qint64 m_capacity = 0;
    };

    // Bytes of the budget held by one job, given back when destroyed.
    class Reservation
    {
    public:
        Reservation() = default;
        Reservation(Reservation &&other) noexcept;
        Reservation &operator=(Reservation &&other) noexcept;
        Reservation(const Reservation &) = delete;
        Reservation &operator=(const Reservation &) = delete;
        ~Reservation();

        qint64 bytes() const { return m_bytes; }

        // Gives back all but bytes now: a job past its largest stage lets
        // the next one in while it finishes (never grows).
        void shrinkTo(qint64 bytes);

    private:
        friend class TfBufferPool;
        TfBufferPool *m_pool = nullptr;
        qint64 m_bytes = 0;
    };

    // Waits until bytes fit the budget beside the other reservations; a job
    // larger than the whole budget goes alone. False, with nothing reserved,
    // when cancelled() turned true while waiting.
    bool reserve(qint64 bytes, Reservation *reservation, const std::function<bool()> &cancelled);

    // The same without waiting: false, with nothing reserved, when bytes do
    // not fit now, or when a caller of reserve() waits (it has no other
    // work to go to, so it goes first). reservation must hold nothing.
    bool tryReserve(qint64 bytes, Reservation *reservation);

    // listener is called, on the thread that gave them back, whenever bytes
    // of the budget are given back or the budget changes, for whoever waits
    // for room without blocking in reserve() to look again. It must not give
    // back bytes itself.
    int addRoomListener(const std::function<void()> &listener);
    // Once it returns, the listener is not running and is never called again.
    void removeRoomListener(int id);

    // A block of at least bytes, an idle one when one is large enough; null
    // when the system has no memory for it.
    Block take(qint64 bytes);

    // The capacity a block taken for bytes has: a little more, so that the
    // next photo of about the same size reuses it.
    static qint64 blockSize(qint64 bytes);

    // Has the C library keep memory the codec frees for the next photo,
    // shared by all threads, instead of mapping fresh pages for each large
    // block (the codec's own working memory is no block of ours: turning a
    // 24-megapixel photo allocates and zeroes about 150 MB inside it).
    // Peak memory stays bounded by the budget, which counts that memory.
    static void keepFreedMemory();

    // Frees every idle block (an import has ended) and, on a pool thread,
    // gives the heap's free memory back to the system.
    void trim();

    // The budget of a machine of cores and physicalBytes of memory (0: not
    // known): a share a core, within a fixed ceiling that keeps the whole
    // process under 1 GB. The pool starts with this machine's.
    static qint64 budgetFor(int cores, qint64 physicalBytes);

    void setBudget(qint64 bytes);
    qint64 budget() const;

    // Jobs a pool has planned that wait for room without a thread (see
    // TfPhotoPool), counted in waitingReservations().
    void countWaiting(int change);

    // For tests and the benchmark.
    qint64 reservedBytes() const;
    // Jobs waiting for the budget: callers of reserve(), and jobs planned
    // by a pool.
    int waitingReservations() const;
    qint64 peakReservedBytes() const;
    qint64 blockBytes() const;     // idle and in use
    qint64 blocksInUseBytes() const;
    qint64 peakBlockBytes() const;
    void resetPeak();

private:
    TfBufferPool();
    ~TfBufferPool();

    void give(uchar *data, qint64 capacity);
    void release(qint64 bytes);
    void freeIdleLocked(qint64 needed);
    bool fitsLocked(qint64 bytes) const;
    void admitLocked(qint64 bytes, Reservation *reservation);
    void tellRoom();

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::multimap<qint64, uchar *> m_idle;
    // Its own lock: a listener takes its waiter's lock, which may be held
    // around tryReserve().
    std::mutex m_listenersMutex;
    std::map<int, std::function<void()>> m_listeners;
    int m_nextListener = 0;
    qint64 m_budget;
    qint64 m_reserved = 0;
    int m_waiting = 0;
    int m_waitingElsewhere = 0;
    qint64 m_peakReserved = 0;
    // Whether this import's heap room was marked for large pages.
    bool m_heapPrepared = false;
    qint64 m_allocated = 0;
    qint64 m_peakAllocated = 0;
    qint64 m_idleBytes = 0;
};
