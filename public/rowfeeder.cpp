#include "public/rowfeeder.h"

#include <QTableWidget>
#include <QTimer>

namespace {

// Rows of the first run of a start, before any row has been timed: small
// enough that even slow rows keep the first turn short (a row made with its
// cell widgets takes about 2 ms).
const int kFirstRun = 4;

} // namespace

RowFeeder::RowFeeder(QObject *parent)
    : QObject(parent)
{
}

void RowFeeder::start(int count, const std::function<void(int)> &add, const std::function<void()> &done)
{
    startRanges(
        count,
        [add](int first, int end) {
            for (int i = first; i < end; ++i)
                add(i);
        },
        done);
}

void RowFeeder::startRanges(int count, const std::function<void(int, int)> &addRange,
                            const std::function<void()> &done)
{
    ++m_run;
    m_addRange = addRange;
    m_done = done;
    m_count = qMax(0, count);
    m_next = 0;
    m_nsPerRow = 0;
    feed(m_run);
}

void RowFeeder::cancel()
{
    ++m_run;
    m_count = 0;
    m_next = 0;
    m_addRange = nullptr;
    m_done = nullptr;
}

void RowFeeder::feed(int run)
{
    if (run != m_run)
        return;
    const qint64 budget = qint64(kSliceMs) * 1000000;
    QElapsedTimer slice;
    slice.start();
    // At least one row a turn, however slow a row is.
    do {
        const int remaining = m_count - m_next;
        if (remaining <= 0)
            break;
        int rows = kFirstRun;
        if (m_nsPerRow > 0)
            rows = int(qMin<qint64>(remaining, (budget - slice.nsecsElapsed()) / m_nsPerRow));
        rows = qBound(1, rows, remaining);
        const int first = m_next;
        m_next += rows;
        QElapsedTimer runClock;
        runClock.start();
        m_addRange(first, first + rows);
        // addRange may have started a new run or cancelled this one.
        if (run != m_run)
            return;
        // A slower run counts at once, a faster one by a quarter: the next
        // runs rather end a turn early than late.
        const qint64 measured = qMax<qint64>(1, runClock.nsecsElapsed() / rows);
        m_nsPerRow = m_nsPerRow == 0 || measured > m_nsPerRow ? measured : (3 * m_nsPerRow + measured) / 4;
    } while (slice.nsecsElapsed() < budget);
    if (m_next < m_count) {
        QTimer::singleShot(0, this, [this, run]() { feed(run); });
        return;
    }
    const std::function<void()> done = m_done;
    m_addRange = nullptr;
    m_done = nullptr;
    if (done)
        done();
    emit finished();
}

RowFeeder::~RowFeeder()
{
    while (!m_frees.isEmpty()) {
        if (m_frees.first()())
            m_frees.removeFirst();
    }
}

void RowFeeder::emptyTable(QTableWidget *table)
{
    cancel();
    QAbstractItemModel *model = table->model();
    // Each taken item would tell the view its cell changed; the rows go
    // right after, which the view is told.
    const bool blocked = model->blockSignals(true);
    auto items = std::make_shared<QVector<QTableWidgetItem *>>();
    items->reserve(table->rowCount() * table->columnCount());
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (QTableWidgetItem *item = table->takeItem(r, c))
                items->append(item);
        }
    }
    model->blockSignals(blocked);
    table->setRowCount(0);
    if (items->isEmpty())
        return;
    // Taken items are owned by no one: freed here, at the latest with the
    // feeder.
    m_frees.append([items]() {
        for (int i = 0; i < 1024 && !items->isEmpty(); ++i)
            delete items->takeLast();
        return items->isEmpty();
    });
    scheduleFree();
}

void RowFeeder::scheduleFree()
{
    // Not in this turn, which has emptied the table and often sends a search.
    if (m_freeScheduled || m_frees.isEmpty())
        return;
    m_freeScheduled = true;
    QTimer::singleShot(0, this, &RowFeeder::freeSome);
}

void RowFeeder::freeSome()
{
    m_freeScheduled = false;
    QElapsedTimer slice;
    slice.start();
    while (!m_frees.isEmpty() && slice.elapsed() < kSliceMs) {
        if (m_frees.first()())
            m_frees.removeFirst();
    }
    scheduleFree();
}
