#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QAtomicInteger>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>

// Decoded pictures shared by the import workers, so that a photo's full-size
// upright copy and its three reduced copies come from one decode. Keyed by
// path, size and modification time; a decode in progress is waited for, not
// repeated. Memory is bounded: full decodes are dropped as soon as every
// expected copy has been made from them, the copies once they have been
// handed out, and least recently used entries beyond the budget.
class TfDecodeCache
{
public:
    static TfDecodeCache &instance();

    // The reduced copy of path for targetSize (scaled, then turned upright);
    // null when the picture cannot be decoded.
    QImage reduced(const QString &path, int targetSize);

    // The full-size picture of path turned upright, pixel for pixel what Qt's
    // reader gives with its automatic transformation; null on failure.
    QImage upright(const QString &path);

    // Starts decoding path on the cache's own threads and making its reduced
    // copies for sizes, when memory allows. uprightWanted tells whether the
    // full-size copy will ask for the decode too.
    // Returns false when the picture is not taken (too large, unreadable, or
    // no room in the budget now).
    bool prefetch(const QString &path, const QList<int> &sizes, bool uprightWanted);

    // Waits for prefetches in progress and forgets every picture.
    void clear();

    // Drops queued prefetches and waits for those in progress (the import
    // manager's end: no decode may outlive the application's image plugins).
    void cancelReadAhead();

    void setBudget(qint64 bytes);
    qint64 budget() const;

    // Number of full decodes made since the last clear (for tests and the
    // benchmark).
    int decodeCount() const;
    // Bytes of decoded pictures and reduced copies held now (for tests and
    // the benchmark).
    qint64 heldBytes() const;

private:
    struct Entry;

    TfDecodeCache();
    ~TfDecodeCache();

    QString keyOf(const QString &path) const;
    std::shared_ptr<Entry> entryFor(const QString &path, bool *created);
    // The decoded picture of entry, decoding it on this thread when nobody
    // else is; waits for a decode in progress. The picture is the caller's
    // to keep: the entry may drop its own reference at any time once its
    // expected copies are made.
    QImage rawOf(const std::shared_ptr<Entry> &entry, const QString &path, int *orientation);
    // Decodes path into entry and returns the decode (null on failure). A
    // failed entry is forgotten, so a later import reads the file again.
    QImage decodeInto(const std::shared_ptr<Entry> &entry, const QString &path, int *orientation);
    void forget(const std::shared_ptr<Entry> &entry);
    // Decodes entry on this thread unless another thread already does.
    void ensureDecoded(const std::shared_ptr<Entry> &entry, const QString &path);
    // Drops the decode of entry once its expected copies are made and the
    // upright picture, if wanted, was taken; drops the copies too once every
    // one has been handed out. True when the entry is done with.
    bool releaseIfDone(Entry &entry);
    QImage reducedOf(const std::shared_ptr<Entry> &entry, const QString &path, int targetSize, bool serve);
    void enforceBudget();
    qint64 rawBytes() const;
    void startJob(std::function<void()> job);
    void waitForJobs();
    void jobLoop();

    // Standard mutexes here: their waits are visible to ThreadSanitizer,
    // which cannot see inside Qt's.
    mutable std::mutex m_mutex;
    QHash<QString, std::shared_ptr<Entry>> m_entries;
    qint64 m_budget;
    qint64 m_clock = 0;
    QAtomicInteger<int> m_decodes;

    // The read-ahead threads: a small queue of our own on standard
    // primitives, so that every hand-over is visible to ThreadSanitizer.
    std::mutex m_jobMutex;
    std::condition_variable m_jobAdded;
    std::condition_variable m_jobsDone;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    int m_jobsRunning = 0;
    bool m_quit = false;
};
