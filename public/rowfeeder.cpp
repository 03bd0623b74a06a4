#include "public/rowfeeder.h"

#include <QTimer>

RowFeeder::RowFeeder(QObject *parent)
    : QObject(parent)
{
}

void RowFeeder::start(int count, const std::function<void(int)> &add, const std::function<void()> &done)
{
    ++m_run;
    m_add = add;
    m_done = done;
    m_count = qMax(0, count);
    m_next = 0;
    feed(m_run);
}

void RowFeeder::cancel()
{
    ++m_run;
    m_count = 0;
    m_next = 0;
    m_add = nullptr;
    m_done = nullptr;
}

void RowFeeder::feed(int run)
{
    if (run != m_run)
        return;
    QElapsedTimer slice;
    slice.start();
    // At least one row a turn, however slow a row is.
    do {
        if (m_next >= m_count)
            break;
        m_add(m_next++);
        // add() may have started a new run or cancelled this one.
        if (run != m_run)
            return;
    } while (slice.elapsed() < kSliceMs);
    if (m_next < m_count) {
        QTimer::singleShot(0, this, [this, run]() { feed(run); });
        return;
    }
    const std::function<void()> done = m_done;
    m_add = nullptr;
    m_done = nullptr;
    if (done)
        done();
    emit finished();
}
