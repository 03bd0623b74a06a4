#include "imaging/tfbufferpool.h"

#include <chrono>
#include <cstdlib>

#include <QThread>
#include <QThreadPool>

#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#endif
#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr qint64 kMiB = 1024 * 1024;
// What the photo jobs may hold at once, at most: the process around them
// (the program, Qt, the codec's small allocations, the C library's own
// slack and the part-used 2 MB pages) adds up to about 150 MB with
// 24-megapixel photos, so the whole stays under 1 GB.
constexpr qint64 kMaxBudget = 800 * kMiB;
// About one 24-megapixel photo in flight a core: a lossless turn holds
// about 100 MB, a re-encoded one about 115 MB, an upright one about 60 MB.
constexpr qint64 kBudgetPerCore = 110 * kMiB;
// Two photos in flight at least, also on a small machine.
constexpr qint64 kMinBudget = 220 * kMiB;

qint64 physicalMemory()
{
#if defined(Q_OS_WIN)
    MEMORYSTATUSEX status;
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? qint64(status.ullTotalPhys) : 0;
#elif defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
#else
    return 0;
#endif
}

// Marks bytes of the heap's free room for large pages, where the system
// gives them on request: the heap is grown by that much in a few chunks,
// each chunk's whole 2 MB pages are marked, and the chunks are freed again
// untouched, for the photos' buffers and the codec's working memory to be
// carved from. A fresh 4 KB page costs a fault on first touch: on a fresh
// heap about a fifth of a photo's CPU time went to them, and a 2 MB page
// costs one fault for 512 of them.
void adviseLargePages(qint64 bytes)
{
    // A sanitizer's allocator keeps freed memory poisoned aside: the
    // chunks would only cost it shadow memory.
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    constexpr quintptr kLargePage = 2 * kMiB;
    // Below the size the C library maps on its own (keepFreedMemory).
    constexpr qint64 kChunk = 128 * kMiB;
    std::vector<void *> chunks;
    for (qint64 left = bytes; left > 0; left -= kChunk) {
        const size_t size = size_t(qMin(left, kChunk));
        void *chunk = std::malloc(size);
        if (!chunk)
            break;
        chunks.push_back(chunk);
        const quintptr first = (quintptr(chunk) + kLargePage - 1) & ~(kLargePage - 1);
        const quintptr end = (quintptr(chunk) + size) & ~(kLargePage - 1);
        if (end > first)
            madvise(reinterpret_cast<void *>(first), size_t(end - first), MADV_HUGEPAGE);
    }
    for (void *chunk : chunks)
        std::free(chunk);
#else
    Q_UNUSED(bytes);
#endif
}

} // namespace

qint64 TfBufferPool::budgetFor(int cores, qint64 physicalBytes)
{
    qint64 budget = qBound(kMinBudget, qint64(qMax(1, cores)) * kBudgetPerCore, kMaxBudget);
    // Never more than a quarter of the machine's memory, when it is known.
    if (physicalBytes > 0)
        budget = qMin(budget, qMax(kMinBudget / 2, physicalBytes / 4));
    return budget;
}

qint64 TfBufferPool::blockSize(qint64 bytes)
{
    const qint64 padded = qMax<qint64>(1, bytes) + bytes / 16;
    const qint64 grain = padded >= 16 * 1024 * 1024 ? 1024 * 1024 : 64 * 1024;
    return (padded + grain - 1) / grain * grain;
}

TfBufferPool &TfBufferPool::instance()
{
    static TfBufferPool pool;
    return pool;
}

TfBufferPool::TfBufferPool()
    : m_budget(budgetFor(QThread::idealThreadCount(), physicalMemory()))
{
}

TfBufferPool::~TfBufferPool()
{
    for (auto &idle : m_idle)
        std::free(idle.second);
}

TfBufferPool::Block::Block(Block &&other) noexcept
    : m_pool(other.m_pool)
    , m_data(other.m_data)
    , m_capacity(other.m_capacity)
{
    other.m_pool = nullptr;
    other.m_data = nullptr;
    other.m_capacity = 0;
}

TfBufferPool::Block &TfBufferPool::Block::operator=(Block &&other) noexcept
{
    if (this != &other) {
        if (m_pool && m_data)
            m_pool->give(m_data, m_capacity);
        m_pool = other.m_pool;
        m_data = other.m_data;
        m_capacity = other.m_capacity;
        other.m_pool = nullptr;
        other.m_data = nullptr;
        other.m_capacity = 0;
    }
    return *this;
}

TfBufferPool::Block::~Block()
{
    if (m_pool && m_data)
        m_pool->give(m_data, m_capacity);
}

TfBufferPool::Reservation::Reservation(Reservation &&other) noexcept
    : m_pool(other.m_pool)
    , m_bytes(other.m_bytes)
{
    other.m_pool = nullptr;
    other.m_bytes = 0;
}

TfBufferPool::Reservation &TfBufferPool::Reservation::operator=(Reservation &&other) noexcept
{
    if (this != &other) {
        if (m_pool)
            m_pool->release(m_bytes);
        m_pool = other.m_pool;
        m_bytes = other.m_bytes;
        other.m_pool = nullptr;
        other.m_bytes = 0;
    }
    return *this;
}

TfBufferPool::Reservation::~Reservation()
{
    if (m_pool)
        m_pool->release(m_bytes);
}

void TfBufferPool::Reservation::shrinkTo(qint64 bytes)
{
    bytes = qMax<qint64>(0, bytes);
    if (!m_pool || bytes >= m_bytes)
        return;
    const qint64 given = m_bytes - bytes;
    m_bytes = bytes;
    m_pool->release(given);
}

bool TfBufferPool::fitsLocked(qint64 bytes) const
{
    return m_reserved == 0 || m_reserved + bytes <= m_budget;
}

void TfBufferPool::admitLocked(qint64 bytes, Reservation *reservation)
{
    if (!m_heapPrepared) {
        // The first photo of an import: the heap it and the next ones use.
        m_heapPrepared = true;
        adviseLargePages(m_budget);
    }
    m_reserved += bytes;
    m_peakReserved = qMax(m_peakReserved, m_reserved);
    freeIdleLocked(0);
    reservation->m_pool = this;
    reservation->m_bytes = bytes;
}

bool TfBufferPool::reserve(qint64 bytes, Reservation *reservation, const std::function<bool()> &cancelled)
{
    bytes = qMax<qint64>(0, bytes);
    // Whatever it held goes first, outside the lock.
    *reservation = Reservation();
    std::unique_lock<std::mutex> lock(m_mutex);
    bool waited = false;
    while (!fitsLocked(bytes)) {
        if (cancelled && cancelled())
            break;
        // Cancellation is a flag of the caller's: look at it now and then.
        waited = true;
        ++m_waiting;
        m_released.wait_for(lock, std::chrono::milliseconds(50));
        --m_waiting;
    }
    if (cancelled && cancelled()) {
        lock.unlock();
        // Those it kept from taking room may take it now.
        if (waited)
            tellRoom();
        return false;
    }
    admitLocked(bytes, reservation);
    return true;
}

bool TfBufferPool::tryReserve(qint64 bytes, Reservation *reservation)
{
    bytes = qMax<qint64>(0, bytes);
    Q_ASSERT(!reservation->m_pool);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (reservation->m_pool || m_waiting > 0 || !fitsLocked(bytes))
        return false;
    admitLocked(bytes, reservation);
    return true;
}

int TfBufferPool::addRoomListener(const std::function<void()> &listener)
{
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    const int id = ++m_nextListener;
    m_listeners.emplace(id, listener);
    return id;
}

void TfBufferPool::removeRoomListener(int id)
{
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    m_listeners.erase(id);
}

void TfBufferPool::tellRoom()
{
    m_released.notify_all();
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    for (const auto &listener : m_listeners)
        listener.second();
}

void TfBufferPool::release(qint64 bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reserved -= bytes;
    }
    tellRoom();
}

void TfBufferPool::freeIdleLocked(qint64 needed)
{
    // Idle blocks stay only beside what the jobs hold: a job's reservation
    // also counts the codec's own working memory, which is no block of
    // ours (a lossless turn's coefficients), so the blocks in use alone
    // would leave idle ones to pass the budget. Largest first: fewest
    // blocks freed for the room asked.
    const auto held = [&]() { return qMax(m_reserved, m_allocated - m_idleBytes + needed); };
    while (!m_idle.empty() && m_idleBytes + held() > m_budget) {
        auto last = std::prev(m_idle.end());
        std::free(last->second);
        m_allocated -= last->first;
        m_idleBytes -= last->first;
        m_idle.erase(last);
    }
}

TfBufferPool::Block TfBufferPool::take(qint64 bytes)
{
    Block block;
    bytes = qMax<qint64>(1, bytes);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_idle.lower_bound(bytes);
        // Not a block several times larger than asked: it is worth more to
        // the job that needs it.
        if (it != m_idle.end() && it->first <= blockSize(bytes) * 4) {
            block.m_pool = this;
            block.m_capacity = it->first;
            block.m_data = it->second;
            m_idleBytes -= it->first;
            m_idle.erase(it);
            return block;
        }
        freeIdleLocked(blockSize(bytes));
    }
    const qint64 capacity = blockSize(bytes);
    auto *data = static_cast<uchar *>(std::malloc(size_t(capacity)));
    if (!data)
        return block;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_allocated += capacity;
    m_peakAllocated = qMax(m_peakAllocated, m_allocated);
    block.m_pool = this;
    block.m_data = data;
    block.m_capacity = capacity;
    return block;
}

void TfBufferPool::give(uchar *data, qint64 capacity)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idle.emplace(capacity, data);
    m_idleBytes += capacity;
    // Blocks beyond the budget are of no use to the next job.
    freeIdleLocked(0);
}

void TfBufferPool::keepFreedMemory()
{
#if defined(__GLIBC__)
    static const bool done = []() {
        // One arena: what one thread frees, the next photo on any thread
        // reuses, so the memory held is the budget's, not a peak per thread.
        mallopt(M_ARENA_MAX, 1);
        // Blocks up to a whole decode come from the heap and go back to it;
        // mapped blocks would come back as fresh pages every time.
        mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
        // Above the budget: the room marked for large pages stays the
        // heap's until the import ends (trim).
        mallopt(M_TRIM_THRESHOLD, int(kMaxBudget + 256 * kMiB));
        return true;
    }();
    Q_UNUSED(done);
#endif
}

void TfBufferPool::trim()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto &idle : m_idle)
            std::free(idle.second);
        m_allocated -= m_idleBytes;
        m_idleBytes = 0;
        m_idle.clear();
        m_heapPrepared = false;
    }
#if defined(__GLIBC__)
    // Handing hundreds of megabytes of free heap back to the system takes
    // tens of milliseconds: not on the caller's thread, often the window's.
    QThreadPool::globalInstance()->start([]() { malloc_trim(0); });
#endif
}

void TfBufferPool::setBudget(qint64 bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_budget = qMax<qint64>(0, bytes);
    }
    tellRoom();
}

qint64 TfBufferPool::budget() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_budget;
}

qint64 TfBufferPool::reservedBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reserved;
}

void TfBufferPool::countWaiting(int change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waitingElsewhere += change;
}

int TfBufferPool::waitingReservations() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waiting + m_waitingElsewhere;
}

qint64 TfBufferPool::peakReservedBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peakReserved;
}

qint64 TfBufferPool::blockBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_allocated;
}

qint64 TfBufferPool::blocksInUseBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_allocated - m_idleBytes;
}

qint64 TfBufferPool::peakBlockBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peakAllocated;
}

void TfBufferPool::resetPeak()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_peakReserved = m_reserved;
    m_peakAllocated = m_allocated;
}
