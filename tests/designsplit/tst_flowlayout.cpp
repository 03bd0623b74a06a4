#include <QPushButton>
#include <QtTest>

#include "designsplit/flowlayout.h"

namespace {

// A widget with a fixed preferred size.
class Box : public QWidget
{
public:
    Box(int w, int h, QWidget *parent)
        : QWidget(parent)
        , m_hint(w, h)
    {
    }
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_hint; }

private:
    QSize m_hint;
};

} // namespace

class TestFlowLayout : public QObject
{
    Q_OBJECT

private slots:
    void geometry_data();
    void geometry();
    void emptyLayout();
    void takeAndCount();
};

void TestFlowLayout::geometry_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<QList<QPoint>>("positions");
    QTest::addColumn<int>("height");

    const QList<QSize> three{{40, 20}, {40, 30}, {40, 20}};
    // Margin 5, spacings 8 (between items) and 6 (between lines).
    QTest::newRow("one line") << 200 << three << QList<QPoint>{{5, 5}, {53, 5}, {101, 5}} << 40;
    QTest::newRow("exactly fits") << 147 << three << QList<QPoint>{{5, 5}, {53, 5}, {101, 5}} << 40;
    QTest::newRow("one pixel short: third wraps") << 146 << three << QList<QPoint>{{5, 5}, {53, 5}, {5, 41}} << 66;
    QTest::newRow("one per line") << 60 << three << QList<QPoint>{{5, 5}, {5, 31}, {5, 67}} << 92;
    QTest::newRow("wider than the width stays first, next wraps")
        << 100 << QList<QSize>{{30, 10}, {200, 10}, {30, 10}} << QList<QPoint>{{5, 5}, {5, 21}, {5, 37}} << 52;
    QTest::newRow("zero height first lets the next pass the edge")
        << 60 << QList<QSize>{{40, 0}, {40, 10}, {40, 10}} << QList<QPoint>{{5, 5}, {53, 5}, {5, 21}} << 36;
}

void TestFlowLayout::geometry()
{
    QFETCH(int, width);
    QFETCH(QList<QSize>, sizes);
    QFETCH(QList<QPoint>, positions);
    QFETCH(int, height);

    QWidget host;
    auto *layout = new FlowLayout(&host, 5, 8, 6);
    QList<QWidget *> boxes;
    for (const QSize &s : sizes) {
        boxes << new Box(s.width(), s.height(), &host);
        layout->addWidget(boxes.last());
    }
    QCOMPARE(layout->heightForWidth(width), height);
    layout->setGeometry(QRect(0, 0, width, height));
    for (int i = 0; i < boxes.size(); ++i) {
        QCOMPARE(boxes[i]->pos(), positions[i]);
        QCOMPARE(boxes[i]->size(), sizes[i]);
    }
    // The height asked for a width is the height the layout uses.
    int bottom = 0;
    for (QWidget *b : boxes)
        bottom = qMax(bottom, b->geometry().top() + b->height());
    QCOMPARE(bottom + 5, height);
    QVERIFY(layout->hasHeightForWidth());
    QCOMPARE(layout->expandingDirections(), Qt::Orientations());
}

void TestFlowLayout::emptyLayout()
{
    QWidget host;
    auto *layout = new FlowLayout(&host, 5, 8, 6);
    QCOMPARE(layout->heightForWidth(300), 10);
    QCOMPARE(layout->minimumSize(), QSize(9, 9));
    QCOMPARE(layout->sizeHint(), layout->minimumSize());
}

void TestFlowLayout::takeAndCount()
{
    QWidget host;
    auto *layout = new FlowLayout(&host, 0, -1, -1);
    layout->addWidget(new QPushButton("a", &host));
    layout->addWidget(new QPushButton("b", &host));
    QCOMPARE(layout->count(), 2);
    QVERIFY(!layout->itemAt(-1));
    QVERIFY(!layout->itemAt(2));
    QVERIFY(!layout->takeAt(5));
    QLayoutItem *item = layout->takeAt(0);
    QVERIFY(item);
    QCOMPARE(layout->count(), 1);
    delete item;
    // Spacings from the style when none is given.
    QCOMPARE(layout->horizontalSpacing(), host.style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, &host));
}

QTEST_MAIN(TestFlowLayout)
#include "tst_flowlayout.moc"
