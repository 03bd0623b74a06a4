#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QThread>
#include <QtTest>

#include "public/rowfeeder.h"

class TestRowFeeder : public QObject
{
    Q_OBJECT

private slots:
    // The table is empty at once; its items go over later turns, every one
    // (the sanitizers see a leak or a second delete), also when the feeder
    // goes before they are all freed.
    void emptiesAtOnceAndFreesLater_data()
    {
        QTest::addColumn<bool>("feederGoesEarly");
        QTest::newRow("freed over turns") << false;
        QTest::newRow("feeder deleted meanwhile") << true;
    }
    void emptiesAtOnceAndFreesLater()
    {
        QFETCH(bool, feederGoesEarly);
        static int alive = 0;
        struct CountedItem : QTableWidgetItem
        {
            CountedItem() { ++alive; }
            ~CountedItem() override { --alive; }
        };
        alive = 0;
        QTableWidget table(30000, 6);
        for (int r = 0; r < table.rowCount(); ++r) {
            for (int c = 0; c < table.columnCount(); ++c)
                table.setItem(r, c, new CountedItem);
        }
        QList<QString> records;
        for (int i = 0; i < 30000; ++i)
            records.append(QString::number(i));
        auto *feeder = new RowFeeder;
        feeder->emptyTable(&table);
        feeder->freeLater(std::move(records));
        QCOMPARE(table.rowCount(), 0);
        // Nothing freed in the turn that emptied the table.
        QCOMPARE(alive, 30000 * 6);
        if (feederGoesEarly) {
            QCoreApplication::processEvents();
            delete feeder;
            QCOMPARE(alive, 0);
            return;
        }
        int turns = 0;
        while (alive > 0 && turns < 10000) {
            QCoreApplication::processEvents();
            ++turns;
        }
        // A fast build may free them all in the first slice.
        QCOMPARE(alive, 0);
        delete feeder;
    }

    // Slow rows go in over many turns of the event loop, every one in
    // order, and the run ends once.
    void addsEveryRowAcrossTurns()
    {
        RowFeeder feeder;
        QSignalSpy finished(&feeder, &RowFeeder::finished);
        QList<int> rows;
        int done = 0;
        feeder.start(
            100,
            [&rows](int i) {
                QThread::msleep(1);
                rows.append(i);
            },
            [&done]() { ++done; });
        // The first slice only: the window reacts between slices.
        QVERIFY2(rows.size() < 100, qPrintable(QString::number(rows.size())));
        QVERIFY(feeder.isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(done, 1);
        QCOMPARE(rows.size(), 100);
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rows.at(i), i);
        QVERIFY(!feeder.isRunning());
    }

    // A new search replaces the rows of the old one not added yet; a
    // cancelled run adds nothing more and never says it finished.
    void newRunDropsTheOld()
    {
        RowFeeder feeder;
        QSignalSpy finished(&feeder, &RowFeeder::finished);
        QStringList rows;
        const auto slow = [&rows](const QString &run) {
            return [&rows, run](int i) {
                QThread::msleep(1);
                rows.append(run + QString::number(i));
            };
        };
        feeder.start(200, slow(QStringLiteral("a")));
        const int fromFirst = rows.size();
        QVERIFY(fromFirst < 200);
        feeder.start(50, slow(QStringLiteral("b")));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(!QTest::qWaitFor([&]() { return finished.count() > 1; }, 200));
        QCOMPARE(rows.size(), fromFirst + 50);
        QCOMPARE(rows.last(), QStringLiteral("b49"));

        feeder.start(200, slow(QStringLiteral("c")));
        feeder.cancel();
        const int afterCancel = rows.size();
        QVERIFY(!QTest::qWaitFor([&]() { return rows.size() > afterCancel || finished.count() > 1; }, 300));
    }

    // Rows given in runs: the runs follow each other without gap or
    // overlap, many rows go in one run, the rows still take more than one
    // turn, and a new start drops the runs of the old.
    void addsRangesAcrossTurns()
    {
        RowFeeder feeder;
        QSignalSpy finished(&feeder, &RowFeeder::finished);
        QList<QPair<int, int>> runs;
        QString lastRun;
        const auto busy = [&runs, &lastRun](const QString &name) {
            return [&runs, &lastRun, name](int first, int end) {
                QElapsedTimer clock;
                clock.start();
                // 50 microseconds a row.
                while (clock.nsecsElapsed() < qint64(end - first) * 50000) {
                }
                runs.append({first, end});
                lastRun = name;
            };
        };
        feeder.startRanges(2000, busy(QStringLiteral("a")));
        QVERIFY(feeder.isRunning());
        QVERIFY(runs.last().second < 2000);
        runs.clear();
        feeder.startRanges(3000, busy(QStringLiteral("b")));
        QVERIFY(runs.last().second < 3000);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(!QTest::qWaitFor([&]() { return finished.count() > 1; }, 200));
        QCOMPARE(lastRun, QStringLiteral("b"));
        int next = 0;
        int longest = 0;
        for (const auto &run : qAsConst(runs)) {
            QCOMPARE(run.first, next);
            QVERIFY(run.second > run.first);
            next = run.second;
            longest = qMax(longest, run.second - run.first);
        }
        QCOMPARE(next, 3000);
        QVERIFY2(longest > 16, qPrintable(QString::number(longest)));
        QVERIFY(runs.size() < 3000 / 2);
    }
};

QTEST_MAIN(TestRowFeeder)
#include "tst_rowfeeder.moc"
