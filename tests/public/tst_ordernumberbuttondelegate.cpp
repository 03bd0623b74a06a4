#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "base/globals.h"
#include "public/ordernumberbuttondelegate.h"
#include "public/tablelook.h"
#include "tests/public/widgetrender.h"

class TestOrderNumberButtonDelegate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void releases_data();
    void releases();
    void hoverRepaintsOncePerRow();
    void render();
    void selectedRowKeepsItsLook();
    void cellWidthHoldsTheNumber_data();
    void cellWidthHoldsTheNumber();

private:
    QStandardItemModel *model = nullptr;
    QTableView *view = nullptr;
    OrderNumberButtonDelegate *delegate = nullptr;
};

void TestOrderNumberButtonDelegate::init()
{
    g_uiScale = 1.0f;
    model = new QStandardItemModel(3, 2);
    model->setItem(0, 0, new QStandardItem(QStringLiteral("DD20240518001")));
    model->setItem(0, 1, new QStandardItem(QStringLiteral("张三")));
    model->setItem(1, 0, new QStandardItem(QString()));
    model->setItem(2, 0, new QStandardItem(QStringLiteral("DD20240518003")));
    view = new QTableView;
    view->setModel(model);
    view->setMouseTracking(true);
    view->resize(400, 200);
    delegate = new OrderNumberButtonDelegate(view);
    view->setItemDelegateForColumn(0, delegate);
    view->setItemDelegateForColumn(1, delegate);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void TestOrderNumberButtonDelegate::cleanup()
{
    delete view;
    delete model;
}

void TestOrderNumberButtonDelegate::releases_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("emitted");
    QTest::addColumn<QString>("text");

    QTest::newRow("left on number") << 0 << 0 << int(Qt::LeftButton) << true << QStringLiteral("DD20240518001");
    QTest::newRow("left on empty cell") << 1 << 0 << int(Qt::LeftButton) << true << QString();
    QTest::newRow("right") << 0 << 0 << int(Qt::RightButton) << false << QString();
    QTest::newRow("middle") << 0 << 0 << int(Qt::MiddleButton) << false << QString();
    QTest::newRow("other column") << 0 << 1 << int(Qt::LeftButton) << false << QString();
}

void TestOrderNumberButtonDelegate::releases()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, button);
    QFETCH(bool, emitted);
    QFETCH(QString, text);

    QSignalSpy clicked(delegate, &OrderNumberButtonDelegate::orderNumberClicked);
    const QRect cell = view->visualRect(model->index(row, column));
    QTest::mouseClick(view->viewport(), Qt::MouseButton(button), Qt::NoModifier, cell.center());
    QCOMPARE(clicked.count(), emitted ? 1 : 0);
    if (emitted) {
        QCOMPARE(clicked.first().at(0).toInt(), row);
        QCOMPARE(clicked.first().at(1).toString(), text);
    }
}

void TestOrderNumberButtonDelegate::hoverRepaintsOncePerRow()
{
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    const QRect row0 = view->visualRect(model->index(0, 0));
    const QRect row2 = view->visualRect(model->index(2, 0));
    QTest::mouseMove(view->viewport(), row0.center());
    QTest::mouseMove(view->viewport(), row0.center() + QPoint(5, 0));
    QTest::mouseMove(view->viewport(), row0.center() + QPoint(10, 1));
    QCOMPARE(changed.count(), 1);
    QTest::mouseMove(view->viewport(), row2.center());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).value<QModelIndex>(), model->index(2, 0));
}

void TestOrderNumberButtonDelegate::render()
{
    view->setColumnWidth(0, 170);
    view->setColumnWidth(1, 120);
    // The last row under the pointer: darker blue with an underline.
    view->viewport()->setAttribute(Qt::WA_Hover);
    QTest::mouseMove(view->viewport(), view->visualRect(model->index(2, 0)).center());
    QTest::qWait(50);
    const QImage image = renderWidget(view, QStringLiteral("ordernumberdelegate"));
    // Some pixel of the first number is the link blue.
    const QRect cell = view->visualRect(model->index(0, 0)).translated(view->viewport()->pos());
    bool blue = false;
    for (int y = cell.top(); y <= cell.bottom() && !blue; ++y) {
        for (int x = cell.left(); x <= cell.right() && !blue; ++x)
            blue = closeTo(image.pixel(x, y), QColor(QStringLiteral("#007aff")), 40);
    }
    QVERIFY(blue);
}

// A selected row: the number's cell gets the view's own selection colour,
// as its neighbours do, and the blue link stays readable on it (the view's
// row highlight is the palette's strong blue).
void TestOrderNumberButtonDelegate::selectedRowKeepsItsLook()
{
    const QColor selection(QStringLiteral("#e3f2fd"));
    view->setStyleSheet(QStringLiteral("QTableView { background-color: white; }"
                                       "QTableView::item:selected { background-color: #e3f2fd; color: #333333; }"));
    QPalette palette = view->palette();
    palette.setColor(QPalette::Highlight, QColor(QStringLiteral("#308cc6")));
    view->setPalette(palette);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setItemDelegateForColumn(1, nullptr);
    view->setColumnWidth(0, 170);
    view->selectRow(0);
    const QImage image = renderWidget(view, QStringLiteral("ordernumberdelegate_selected"));
    const QRect number = view->visualRect(model->index(0, 0)).translated(view->viewport()->pos());
    const QRect name = view->visualRect(model->index(0, 1)).translated(view->viewport()->pos());
    QVERIFY(closeTo(image.pixel(name.left() + 3, name.top() + 3), selection, 6));
    QVERIFY2(closeTo(image.pixel(number.left() + 3, number.top() + 3), selection, 6),
             qPrintable(QColor(image.pixel(number.left() + 3, number.top() + 3)).name()));
    bool link = false;
    for (int y = number.top(); y <= number.bottom() && !link; ++y) {
        for (int x = number.left(); x <= number.right() && !link; ++x)
            link = closeTo(image.pixel(x, y), QColor(QStringLiteral("#007aff")), 40);
    }
    QVERIFY(link);
}

void TestOrderNumberButtonDelegate::cellWidthHoldsTheNumber_data()
{
    QTest::addColumn<bool>("fitted");
    QTest::addColumn<QString>("styleSheet");
    QTest::newRow("cellWidth") << false << QString();
    QTest::newRow("widened by the table") << true << QString();
    // The view measures its own text in a font smaller than the link's.
    QTest::newRow("widened under a small view font") << true << QStringLiteral("QTableView { font-size: 8px; }");
}

// A column of cellWidth(), or one a table widened to its cell's size hint,
// shows the whole number: the painted link leaves a margin on both sides of
// the cell.
void TestOrderNumberButtonDelegate::cellWidthHoldsTheNumber()
{
    QFETCH(bool, fitted);
    QFETCH(QString, styleSheet);
    const QString number = QStringLiteral("DD20240315001-12");
    model->setItem(0, 0, new QStandardItem(number));
    view->setStyleSheet(styleSheet);
    if (fitted) {
        view->setColumnWidth(0, 40);
        TableLook::fitCell(view, model->index(0, 0));
    } else {
        view->setColumnWidth(0, OrderNumberButtonDelegate::cellWidth(number, view->font()));
    }
    view->setShowGrid(false);
    const QImage image = renderWidget(view, QStringLiteral("ordernumberdelegate_width"));
    const QRect cell = view->visualRect(model->index(0, 0)).translated(view->viewport()->pos());
    int left = cell.right();
    int right = cell.left();
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            if (closeTo(image.pixel(x, y), QColor(QStringLiteral("#007aff")), 90)) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
        }
    }
    QVERIFY(left > cell.left() + 2);
    QVERIFY2(right < cell.right() - 2, qPrintable(QStringLiteral("%1 %2").arg(right).arg(cell.right())));
}

QTEST_MAIN(TestOrderNumberButtonDelegate)
#include "tst_ordernumberbuttondelegate.moc"
