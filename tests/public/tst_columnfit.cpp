#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "public/columnfit.h"

using Columns = QVector<ColumnFit::Column>;
Q_DECLARE_METATYPE(Columns)

// Three tables once sized their columns each with their own copy of this;
// the cases below are what each of them relied on.
class TestColumnFit : public QObject
{
    Q_OBJECT

private slots:
    void widths_data();
    void widths();
    void followsTheViewport();
};

void TestColumnFit::widths_data()
{
    QTest::addColumn<Columns>("columns");
    QTest::addColumn<int>("available");
    QTest::addColumn<bool>("widenLast");
    QTest::addColumn<QVector<int>>("expected");

    const Columns table{{100, 30, 0}, {200, 40, 1}, {100, 40, 2}, {50, 50, 2}};
    QTest::newRow("room left widens the last") << table << 500 << true << QVector<int>{100, 200, 100, 100};
    QTest::newRow("room left stays unused") << table << 500 << false << QVector<int>{100, 200, 100, 50};
    QTest::newRow("exact fit") << table << 450 << true << QVector<int>{100, 200, 100, 50};
    QTest::newRow("first level gives way alone") << table << 400 << true << QVector<int>{100, 150, 100, 50};
    QTest::newRow("first level down to its minimum, then the next")
        << table << 250 << true << QVector<int>{100, 40, 60, 50};
    QTest::newRow("every minimum reached: the table scrolls")
        << table << 100 << true << QVector<int>{100, 40, 40, 50};
    // Two columns of a level share the cut by what each can still give,
    // and the pixels the rounding leaves are given too: the sum is exact.
    QTest::newRow("one level shared by what each can give")
        << Columns{{101, 1, 1}, {201, 1, 1}, {50, 0, 0}} << 300 << true << QVector<int>{83, 167, 50};
    QTest::newRow("rounding leaves no pixel over")
        << Columns{{100, 0, 1}, {100, 0, 1}, {100, 0, 1}} << 299 << true << QVector<int>{99, 100, 100};
    QTest::newRow("a preferred width under the minimum is the minimum")
        << Columns{{10, 60, 1}, {100, 10, 1}} << 100 << false << QVector<int>{60, 40};
    QTest::newRow("levels in ascending order, whatever the column order")
        << Columns{{100, 10, 3}, {100, 10, 1}, {100, 10, 2}} << 150 << true << QVector<int>{100, 10, 40};
    QTest::newRow("no columns") << Columns{} << 100 << true << QVector<int>{};
}

void TestColumnFit::widths()
{
    QFETCH(Columns, columns);
    QFETCH(int, available);
    QFETCH(bool, widenLast);
    QFETCH(QVector<int>, expected);
    QCOMPARE(ColumnFit::widths(columns, available, widenLast), expected);
}

// On a real table: the columns fill the viewport as it is resized, the
// column sized elsewhere keeps its width, and widening that column moves
// the others so the last stays on screen.
void TestColumnFit::followsTheViewport()
{
    QStandardItemModel model(3, 4);
    QTableView view;
    view.setModel(&model);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setColumnWidth(0, 120);
    new ColumnFit(&view, {{-1, 0, 0}, {200, 40, 1}, {150, 60, 2}, {80, 80, 0}});
    const auto sum = [&] {
        int total = 0;
        for (int c = 0; c < model.columnCount(); ++c)
            total += view.columnWidth(c);
        return total;
    };
    for (const int width : {900, 500, 400, 260}) {
        view.resize(width, 200);
        view.show();
        QTRY_COMPARE(view.viewport()->width() > 0, true);
        QCoreApplication::processEvents();
        const int viewport = view.viewport()->width();
        QCOMPARE(view.columnWidth(0), 120);
        QCOMPARE(view.columnWidth(3), 80 + (viewport > 550 ? viewport - 550 : 0));
        QCOMPARE(sum(), std::max(viewport, 120 + 40 + 60 + 80));
    }
    view.resize(500, 200);
    QCoreApplication::processEvents();
    const int viewport = view.viewport()->width();
    view.setColumnWidth(0, 200);
    QCOMPARE(view.columnWidth(0), 200);
    QCOMPARE(sum(), viewport);
    QCOMPARE(view.columnWidth(3), 80);
}

QTEST_MAIN(TestColumnFit)
#include "tst_columnfit.moc"
