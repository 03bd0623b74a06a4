#include "base/handover.h"

#include <utility>

#include <QMetaObject>
#include <QObject>
#include <QRunnable>
#include <QThreadPool>

#if defined(__SANITIZE_THREAD__)
#define VQ_HANDOVER_MARKS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VQ_HANDOVER_MARKS 1
#endif
#endif

#ifdef VQ_HANDOVER_MARKS
#include <sanitizer/tsan_interface.h>
#endif

namespace HandOver {

namespace {

// The tool's own happens-before marks, on an address that names the
// hand-over. They read and write nothing there, so the receiving end can
// mark before it reads anything the sending end wrote.
void sent(const void *key)
{
#ifdef VQ_HANDOVER_MARKS
    __tsan_release(const_cast<void *>(key));
#else
    Q_UNUSED(key)
#endif
}

void received(const void *key)
{
#ifdef VQ_HANDOVER_MARKS
    __tsan_acquire(const_cast<void *>(key));
#else
    Q_UNUSED(key)
#endif
}

// What the pool gets: built whole before it is marked sent, under its own
// address, which its run() knows without reading anything.
class MarkedJob : public QRunnable
{
public:
    explicit MarkedJob(QRunnable *job)
        : m_job(job)
    {
    }

    explicit MarkedJob(std::function<void()> work)
        : m_work(std::move(work))
    {
    }

    // A pool cleared before the job ran deletes this one: the job goes with
    // it if the pool would have deleted it.
    ~MarkedJob() override
    {
        if (m_job && m_job->autoDelete())
            delete m_job;
    }

    void run() override
    {
        received(this);
        if (!m_job) {
            m_work();
            return;
        }
        m_job->run();
        if (m_job->autoDelete())
            delete m_job;
        m_job = nullptr;
    }

private:
    QRunnable *m_job = nullptr;
    std::function<void()> m_work;
};

void startMarked(QThreadPool *pool, MarkedJob *job, int priority)
{
    sent(job);
    pool->start(job, priority);
}

// Every call posted back is marked under this one address: the receiving
// end cannot read a per-call key before it has received.
const char s_posted = 0;

} // namespace

void start(QThreadPool *pool, QRunnable *job, int priority)
{
    startMarked(pool, new MarkedJob(job), priority);
}

void start(QThreadPool *pool, std::function<void()> work, int priority)
{
    startMarked(pool, new MarkedJob(std::move(work)), priority);
}

void post(QObject *context, std::function<void()> call)
{
    // The lambda below is copied into Qt's queued call after the mark, on
    // this thread: that copy is Qt's own hand-over, which the tests'
    // ThreadSanitizer suppressions name; what call holds was written before.
    sent(&s_posted);
    QMetaObject::invokeMethod(
        context,
        [call = std::move(call)]() {
            received(&s_posted);
            call();
        },
        Qt::QueuedConnection);
}

} // namespace HandOver
