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
    // The same in runs of rows: addRange(first, end) adds the rows
    // [first, end), so a table grows by one insertion per run instead of one
    // per row. The runs are as long as the rows measured so far let fit in
    // the slice's time; each turn ends with whole runs added.
    void startRanges(int count, const std::function<void(int first, int end)> &addRange,
                     const std::function<void()> &done = {});
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

    std::function<void(int, int)> m_addRange;
    std::function<void()> m_done;
    int m_count = 0;
    int m_next = 0;
    int m_run = 0;
    // Time one row took to add, from the runs added so far; 0 before the
    // first.
    qint64 m_nsPerRow = 0;
};
