#pragma once

// What the window benchmarks measure of the GUI thread: a 5 ms timer whose
// late ticks are time the event loop could not react, and a wait that keeps
// the loop running.

#include <functional>

#ifdef Q_OS_UNIX
#include <time.h>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace GuiStall {

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

// Runs a real event loop (what the stall meter measures) until done()
// holds, looking every 50 ms; false after ms milliseconds.
inline bool runUntil(const std::function<bool()> &done, int ms)
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
    return done();
}

// Peak resident memory of this process in KiB; -1 where it cannot be read.
inline qint64 peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
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

// Started, it ticks every 5 ms on the GUI thread; a gap between two ticks
// beyond 5 ms is a stall. On a loaded machine a gap also holds time the
// thread waited for a processor; the CPU time the thread used within a gap
// is the program's own work in it. onTick runs on every tick with the time
// since the start, for benchmarks that note when phases end.
class Meter
{
public:
    Meter()
    {
        m_ticker.setInterval(5);
        QObject::connect(&m_ticker, &QTimer::timeout, [this]() {
            const qint64 now = m_clock.elapsed();
            const qint64 gap = now - m_last - 5;
            const double cpu = threadCpuMs();
            const double work = cpu - m_lastCpu;
            m_last = now;
            m_lastCpu = cpu;
            if (gap > longest) {
                longest = gap;
                longestAt = now;
                longestWork = work;
            }
            longestBusy = qMax(longestBusy, work);
            if (gap > 50) {
                ++over50;
                if (onStall)
                    onStall(gap, now, work);
            }
            if (gap > 100)
                ++over100;
            if (onTick)
                onTick(now);
        });
    }

    // Starts (or starts again) with no stall counted.
    void start()
    {
        longest = 0;
        longestAt = 0;
        longestWork = 0;
        longestBusy = 0;
        over50 = 0;
        over100 = 0;
        m_last = 0;
        m_lastCpu = threadCpuMs();
        m_clock.start();
        m_ticker.start();
    }
    void stop() { m_ticker.stop(); }

    // Runs the event loop for ms more, so that the gap a wait ended in is
    // read: a wait that returns in the turn that did the work returns before
    // the meter ticks again, and the gap holding the work would go unseen.
    void settle(int ms = 100)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    qint64 elapsed() const { return m_clock.elapsed(); }

    qint64 longest = 0;
    // When the longest stall ended, in ms after start(), and the CPU time
    // the thread used within it.
    qint64 longestAt = 0;
    double longestWork = 0;
    // The most CPU time the thread used between two ticks.
    double longestBusy = 0;
    int over50 = 0;
    int over100 = 0;
    std::function<void(qint64)> onTick;
    // Runs for each stall over 50 ms: its length, when it ended and the CPU
    // time the thread used within it (a busy loop or a thread not run).
    std::function<void(qint64 gap, qint64 endedAt, double work)> onStall;

private:
    QElapsedTimer m_clock;
    QTimer m_ticker;
    qint64 m_last = 0;
    double m_lastCpu = 0;
};

} // namespace GuiStall
