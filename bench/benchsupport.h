#pragma once

#include <functional>

#ifdef Q_OS_UNIX
#include <time.h>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

// What the benchmark programs share.
namespace BenchSupport {

// Runs the event loop until done() holds; false after ms milliseconds.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// Runs the event loop itself (no sleeping in between, so a stall meter sees
// only the program's own gaps) until done() holds or ms have passed.
inline void loopUntil(const std::function<bool()> &done, qint64 ms)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        if (done() || timer.elapsed() > ms)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
}

// CPU time the calling thread has used, in ms; 0 where it cannot be read.
inline double threadCpuMs()
{
#ifdef Q_OS_UNIX
    timespec ts;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) == 0)
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
#endif
    return 0;
}

// Measures how long the GUI thread's event loop stalls: a 5 ms timer whose
// ticks come late by the time the loop could not react. On a loaded machine
// a gap also holds time the thread waited for a processor; the CPU time the
// thread used within a gap is the program's own work in it.
class StallMeter
{
public:
    StallMeter()
    {
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [this]() {
            const qint64 now = clock.elapsed();
            const qint64 gap = now - last - 5;
            const double cpu = threadCpuMs();
            const double work = cpu - lastCpu;
            last = now;
            lastCpu = cpu;
            if (gap > longest) {
                longest = gap;
                longestAt = now;
                longestWork = work;
            }
            longestBusy = qMax(longestBusy, work);
            if (gap > 50)
                ++over50;
            if (gap > 100)
                ++over100;
        });
    }

    void start()
    {
        clock.start();
        lastCpu = threadCpuMs();
        ticker.start();
    }
    void stop() { ticker.stop(); }
    qint64 elapsed() const { return clock.elapsed(); }

    qint64 longest = 0;
    // When the longest stall ended, in ms after start(), and the CPU time
    // the thread used within it.
    qint64 longestAt = 0;
    double longestWork = 0;
    // The most CPU time the thread used between two ticks.
    double longestBusy = 0;
    int over50 = 0;
    int over100 = 0;

private:
    QElapsedTimer clock;
    QTimer ticker;
    qint64 last = 0;
    double lastCpu = 0;
};

} // namespace BenchSupport
