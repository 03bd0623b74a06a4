#pragma once

#include <functional>

class QObject;
class QRunnable;
class QThreadPool;

// Work that one thread builds and another runs: a job queued on a thread
// pool, a result sent back to a window's thread. Qt passes it under locks of
// its own, inside its libraries; Debian's Qt is not built with
// ThreadSanitizer, so in the tests' build with the tool (VQ_TSAN) it sees
// neither those locks nor the order they keep, and takes the sender's writes
// and the receiver's reads for a race. These calls pass the work the same way
// and also tell the tool, at both ends, the order Qt keeps; in any other
// build they are Qt's calls and nothing more.
namespace HandOver {

// Queues job on pool like QThreadPool::start: whatever this thread wrote
// before is seen by the job's run(). The pool takes the job (and deletes it
// after its run if it is autoDelete).
void start(QThreadPool *pool, QRunnable *job, int priority = 0);
void start(QThreadPool *pool, std::function<void()> work, int priority = 0);

// Runs call on context's thread, queued, if context is still there then:
// whatever this thread wrote before is seen by call.
void post(QObject *context, std::function<void()> call);

} // namespace HandOver
