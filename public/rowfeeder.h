#pragma once

#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QList>
#include <QObject>

class QTableWidget;

// Adds a search's rows to a table a slice at a time, across turns of the
// event loop: thousands of rows added in one turn freeze the window for
// as long. Each slice takes at most a few milliseconds; a new start() or
// cancel() drops the rows not added yet.
class RowFeeder : public QObject
{
    Q_OBJECT

public:
    explicit RowFeeder(QObject *parent = nullptr);
    ~RowFeeder() override;

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

    // Empties table at once and frees its items a slice a turn after:
    // twenty thousand rows are a few hundred thousand items, which freed in
    // one turn hold the window longer than a click may wait. Cancels the
    // running fill first.
    void emptyTable(QTableWidget *table);
    // Frees records (a list of a search's orders, taken out of its owner) a
    // slice a turn, last first, beside the table's items.
    template<typename List>
    void freeLater(List &&records)
    {
        auto held = std::make_shared<List>(std::move(records));
        m_frees.append([held]() {
            for (int i = 0; i < 64 && !held->isEmpty(); ++i)
                held->removeLast();
            return held->isEmpty();
        });
        scheduleFree();
    }

    // The time a slice may take; for tests and benchmarks.
    static constexpr int kSliceMs = 8;

signals:
    void finished();

private:
    void feed(int run);
    void scheduleFree();
    void freeSome();

    std::function<void(int, int)> m_addRange;
    std::function<void()> m_done;
    int m_count = 0;
    int m_next = 0;
    int m_run = 0;
    // Time one row took to add, from the runs added so far; 0 before the
    // first.
    qint64 m_nsPerRow = 0;
    // What is still to be freed: each call frees some and says whether it
    // is done.
    QList<std::function<bool()>> m_frees;
    bool m_freeScheduled = false;
};
