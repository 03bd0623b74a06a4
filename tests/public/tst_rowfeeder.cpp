#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include "public/rowfeeder.h"

class TestRowFeeder : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_MAIN(TestRowFeeder)
#include "tst_rowfeeder.moc"
