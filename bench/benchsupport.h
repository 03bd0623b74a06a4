#pragma once

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
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

// Measures how long the GUI thread's event loop stalls: a 5 ms timer whose
// ticks come late by the time the loop could not react.
class StallMeter
{
public:
    StallMeter()
    {
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [this]() {
            const qint64 now = clock.elapsed();
            const qint64 gap = now - last - 5;
            last = now;
            if (gap > longest) {
                longest = gap;
                longestAt = now;
            }
            if (gap > 50)
                ++over50;
            if (gap > 100)
                ++over100;
        });
    }

    void start()
    {
        clock.start();
        ticker.start();
    }
    void stop() { ticker.stop(); }
    qint64 elapsed() const { return clock.elapsed(); }

    qint64 longest = 0;
    // When the longest stall ended, in ms after start().
    qint64 longestAt = 0;
    int over50 = 0;
    int over100 = 0;

private:
    QElapsedTimer clock;
    QTimer ticker;
    qint64 last = 0;
};

} // namespace BenchSupport
