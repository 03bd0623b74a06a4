#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QObject>

// Adds a search's rows to a table a slice at a time, across turns of the
// event loop: thousands of rows added in one turn freeze the window for
// as long. Each slice takes at most a few milliseconds; a new start() or
// cancel() drops the rows not added yet.
class RowFeeder : public QObject
{
    Q_OBJECT

public:
    explicit RowFeeder(QObject *parent = nullptr);

    // Calls add(i) for every i in [0, count), in order, then done (when
    // given) and finished(). The first slice is added at once.
    void start(int count, const std::function<void(int)> &add, const std::function<void()> &done = {});
    void cancel();
    bool isRunning() const { return m_next < m_count; }
    // How many rows have been added of the current run.
    int added() const { return m_next; }

    // The time a slice may take; for tests and benchmarks.
    static constexpr int kSliceMs = 12;

signals:
    void finished();

private:
    void feed(int run);

    std::function<void(int)> m_add;
    std::function<void()> m_done;
    int m_count = 0;
    int m_next = 0;
    int m_run = 0;
};
