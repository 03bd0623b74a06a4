#include "transferphotos/tfdecodecache.h"

#include <condition_variable>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>

#include "transferphotos/tfimageprocessing.h"
#include "transferphotos/tflog.h"

namespace {

// Three decoded 24-megapixel photos, decodes in progress included.
constexpr qint64 kDefaultBudget = 300LL * 1024 * 1024;
constexpr int kMaxEntries = 32;
constexpr int kReadAheadThreads = 2;

} // namespace

struct TfDecodeCache::Entry
{
    std::mutex mutex;
    std::condition_variable changed;
    bool loading = true;
    // Whether a thread has taken the decode on: a queued prefetch that has
    // not started yet is overtaken by the first worker that needs it.
    bool claimed = false;
    bool failed = false;
    QImage raw;
    int orientation = 1;
    QHash<int, QImage> reduced;
    QSet<int> reducing;
    QSet<int> expected;
    // Sizes handed to a worker; once every expected one is, and the upright
    // picture too when it is wanted, the entry has served its import: its
    // pictures go, and only the entry stays, so that a read-ahead arriving
    // late does not decode the photo once more.
    QSet<int> served;
    bool done = false;
    bool uprightPending = false;
    bool uprightDone = false;
    bool prefetched = false;
    // Size of the decode while it is queued or in progress, so memory
    // promised to decodes counts before it is taken.
    qint64 pendingBytes = 0;
    qint64 lastUse = 0; // guarded by the cache's mutex
};

TfDecodeCache &TfDecodeCache::instance()
{
    static TfDecodeCache cache;
    return cache;
}

TfDecodeCache::TfDecodeCache()
    : m_budget(kDefaultBudget)
{
#if defined(__GLIBC__)
    // Decoded photos and their reduced copies are megabytes each and made on
    // several threads; glibc would otherwise raise its mapping threshold
    // after the first free and keep such blocks in per-thread heaps, so
    // memory freed by one photo would stay with the process.
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
#endif
}

TfDecodeCache::~TfDecodeCache()
{
    {
        std::lock_guard<std::mutex> lock(m_jobMutex);
        m_quit = true;
        m_jobs.clear();
    }
    m_jobAdded.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void TfDecodeCache::startJob(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_jobMutex);
    if (m_threads.empty()) {
        for (int i = 0; i < kReadAheadThreads; ++i)
            m_threads.emplace_back([this]() { jobLoop(); });
    }
    m_jobs.push_back(std::move(job));
    m_jobAdded.notify_one();
}

void TfDecodeCache::jobLoop()
{
    std::unique_lock<std::mutex> lock(m_jobMutex);
    for (;;) {
        m_jobAdded.wait(lock, [this]() { return m_quit || !m_jobs.empty(); });
        if (m_quit)
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_jobsRunning;
        lock.unlock();
        job();
        lock.lock();
        --m_jobsRunning;
        if (m_jobs.empty() && m_jobsRunning == 0)
            m_jobsDone.notify_all();
    }
}

void TfDecodeCache::waitForJobs()
{
    std::unique_lock<std::mutex> lock(m_jobMutex);
    m_jobsDone.wait(lock, [this]() { return m_jobs.empty() && m_jobsRunning == 0; });
}

QString TfDecodeCache::keyOf(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QString();
    return info.absoluteFilePath() + QLatin1Char('|') + QString::number(info.size()) + QLatin1Char('|')
        + QString::number(info.lastModified().toMSecsSinceEpoch());
}

std::shared_ptr<TfDecodeCache::Entry> TfDecodeCache::entryFor(const QString &path, bool *created)
{
    *created = false;
    const QString key = keyOf(path);
    if (key.isEmpty())
        return nullptr;
    std::unique_lock<std::mutex> lock(m_mutex);
    auto it = m_entries.find(key);
    if (it != m_entries.end()) {
        it.value()->lastUse = ++m_clock;
        return it.value();
    }
    auto entry = std::make_shared<Entry>();
    entry->lastUse = ++m_clock;
    m_entries.insert(key, entry);
    *created = true;
    return entry;
}

void TfDecodeCache::ensureDecoded(const std::shared_ptr<Entry> &entry, const QString &path)
{
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        if (!entry->loading || entry->claimed)
            return;
        entry->claimed = true;
    }
    int orientation = 1;
    decodeInto(entry, path, &orientation);
}

QImage TfDecodeCache::decodeInto(const std::shared_ptr<Entry> &entry, const QString &path, int *orientation)
{
    QImage raw;
    *orientation = 1;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QImageReader reader(&file);
        reader.setAutoTransform(false);
        const QSize size = reader.size();
        {
            std::unique_lock<std::mutex> lock(entry->mutex);
            entry->pendingBytes = qMax<qint64>(0, qint64(size.width()) * size.height() * 4);
        }
        // The orientation comes from the same open file the decoder reads.
        *orientation = TfImage::orientationOf(&file, reader);
        // A file cut short decodes "successfully", its missing part grey.
        if (TfImage::isTruncatedJpeg(&file)) {
            qCWarning(lcTransfer) << "图片文件不完整（缺少结束标记）:" << path;
        } else {
            raw = reader.read();
            if (raw.isNull())
                qCWarning(lcTransfer) << "图片读取失败:" << path << reader.errorString();
        }
    }
    m_decodes.fetchAndAddRelaxed(1);
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        entry->raw = raw;
        entry->orientation = *orientation;
        entry->failed = raw.isNull();
        entry->loading = false;
        entry->pendingBytes = 0;
        if (*orientation == 1)
            entry->uprightPending = false;
        releaseIfDone(*entry);
        entry->changed.notify_all();
    }
    if (raw.isNull())
        forget(entry);
    enforceBudget();
    return raw;
}

void TfDecodeCache::forget(const std::shared_ptr<Entry> &entry)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it.value() == entry) {
            m_entries.erase(it);
            return;
        }
    }
}

QImage TfDecodeCache::rawOf(const std::shared_ptr<Entry> &entry, const QString &path, int *orientation)
{
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        for (;;) {
            if (entry->loading) {
                if (!entry->claimed)
                    break; // a queued prefetch nobody has started: decode here
                entry->changed.wait(lock);
                continue;
            }
            if (!entry->raw.isNull() || entry->failed) {
                *orientation = entry->orientation;
                return entry->raw;
            }
            // Dropped after its expected copies were made and asked for
            // again (the same photos imported once more): decode again.
            entry->loading = true;
            break;
        }
        entry->claimed = true;
    }
    return decodeInto(entry, path, orientation);
}

bool TfDecodeCache::releaseIfDone(Entry &entry)
{
    if (entry.loading || entry.expected.isEmpty() || entry.uprightPending)
        return false;
    for (int size : qAsConst(entry.expected)) {
        if (!entry.reduced.contains(size))
            return false;
    }
    entry.raw = QImage();
    for (int size : qAsConst(entry.expected)) {
        if (!entry.served.contains(size))
            return false;
    }
    // Asked again (the same photos imported once more), the picture is
    // decoded again.
    entry.reduced.clear();
    entry.served.clear();
    entry.done = true;
    return true;
}

QImage TfDecodeCache::reduced(const QString &path, int targetSize)
{
    bool created = false;
    const std::shared_ptr<Entry> entry = entryFor(path, &created);
    if (!entry)
        return QImage();
    return reducedOf(entry, path, targetSize, true);
}

QImage TfDecodeCache::reducedOf(const std::shared_ptr<Entry> &entry, const QString &path, int targetSize, bool serve)
{
    QImage image;
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        // A read-ahead that comes after the workers took everything.
        if (!serve && entry->done)
            return QImage();
        for (;;) {
            auto it = entry->reduced.constFind(targetSize);
            if (it != entry->reduced.constEnd()) {
                image = it.value();
                break;
            }
            if (!entry->reducing.contains(targetSize))
                break;
            entry->changed.wait(lock);
        }
        if (!image.isNull()) {
            if (serve)
                entry->served.insert(targetSize);
            releaseIfDone(*entry);
        } else {
            entry->reducing.insert(targetSize);
        }
    }
    if (image.isNull()) {
        int orientation = 1;
        const QImage raw = rawOf(entry, path, &orientation);
        image = TfImage::makeReduced(raw, orientation, targetSize);
        std::unique_lock<std::mutex> lock(entry->mutex);
        entry->reducing.remove(targetSize);
        if (!image.isNull()) {
            entry->reduced.insert(targetSize, image);
            if (serve)
                entry->served.insert(targetSize);
        }
        releaseIfDone(*entry);
        entry->changed.notify_all();
    }
    return image;
}

QImage TfDecodeCache::upright(const QString &path)
{
    bool created = false;
    const std::shared_ptr<Entry> entry = entryFor(path, &created);
    if (!entry)
        return QImage();
    int orientation = 1;
    const QImage raw = rawOf(entry, path, &orientation);
    const QImage image = raw.isNull() ? QImage() : TfImage::rotateImageByExif(raw, orientation);
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        entry->uprightPending = false;
        entry->uprightDone = true;
        releaseIfDone(*entry);
    }
    return image;
}

bool TfDecodeCache::prefetch(const QString &path, const QList<int> &sizes, bool uprightWanted)
{
    qint64 expectedBytes = 0;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QImageReader reader(&file);
        const QSize size = reader.size();
        if (!size.isValid() || !TfImage::decodesWhole(size))
            return false;
        // A full-size copy too large to turn from one whole decode decodes
        // on its own: keeping this decode for it would only hold memory.
        uprightWanted = uprightWanted && TfImage::rotateDecodesWhole(size, file.size());
        expectedBytes = qint64(size.width()) * size.height() * 4;
        std::unique_lock<std::mutex> lock(m_mutex);
        const QString key = keyOf(path);
        auto it = m_entries.constFind(key);
        if (it != m_entries.constEnd() && it.value()->prefetched)
            return true;
        // Prefetching is only worth it while the decode fits the budget;
        // otherwise the workers decode on demand.
        if (it == m_entries.constEnd() && rawBytes() + expectedBytes > m_budget)
            return false;
    }
    bool created = false;
    const std::shared_ptr<Entry> entry = entryFor(path, &created);
    if (!entry)
        return false;
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        entry->prefetched = true;
        if (entry->loading && entry->pendingBytes == 0)
            entry->pendingBytes = expectedBytes;
        for (int s : sizes) {
            if (s >= TfImage::kMinTargetSize && s <= TfImage::kMaxTargetSize)
                entry->expected.insert(s);
        }
        if (uprightWanted && !entry->uprightDone && (entry->loading || entry->orientation != 1))
            entry->uprightPending = true;
    }
    startJob([this, entry, path, sizes]() {
        ensureDecoded(entry, path);
        for (int s : sizes) {
            if (s >= TfImage::kMinTargetSize && s <= TfImage::kMaxTargetSize)
                reducedOf(entry, path, s, false);
        }
    });
    return true;
}

void TfDecodeCache::cancelReadAhead()
{
    {
        std::lock_guard<std::mutex> lock(m_jobMutex);
        m_jobs.clear();
    }
    waitForJobs();
}

void TfDecodeCache::clear()
{
    waitForJobs();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_entries.clear();
    m_decodes.storeRelaxed(0);
}

void TfDecodeCache::setBudget(qint64 bytes)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_budget = bytes;
}

qint64 TfDecodeCache::budget() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_budget;
}

int TfDecodeCache::decodeCount() const
{
    return m_decodes.loadRelaxed();
}

qint64 TfDecodeCache::heldBytes() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    qint64 total = 0;
    for (const auto &entry : m_entries) {
        std::unique_lock<std::mutex> entryLock(entry->mutex);
        total += entry->raw.sizeInBytes();
        for (const QImage &image : qAsConst(entry->reduced))
            total += image.sizeInBytes();
    }
    return total;
}

qint64 TfDecodeCache::rawBytes() const
{
    qint64 total = 0;
    for (const auto &entry : m_entries) {
        std::unique_lock<std::mutex> entryLock(entry->mutex);
        total += entry->loading ? entry->pendingBytes : entry->raw.sizeInBytes();
    }
    return total;
}

void TfDecodeCache::enforceBudget()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_entries.isEmpty() && (rawBytes() > m_budget || m_entries.size() > kMaxEntries)) {
        // Drop the least recently used finished entry; those in use by a
        // worker keep their picture through their own reference.
        QString oldestKey;
        qint64 oldest = 0;
        for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
            if (oldestKey.isEmpty() || it.value()->lastUse < oldest) {
                std::unique_lock<std::mutex> entryLock(it.value()->mutex);
                if (it.value()->loading)
                    continue;
                oldestKey = it.key();
                oldest = it.value()->lastUse;
            }
        }
        if (oldestKey.isEmpty())
            break;
        m_entries.remove(oldestKey);
    }
}
