#include <QApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "base/textelide.h"

// Cut texts keep an ellipsis where they were cut, with the program's own
// font, which has no glyph for it: Qt's elision then cut a piece out with
// nothing in its place ("IMG_11.jpg" for "IMG_1001.jpg").
class TestTextElide : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void elided_data();
    void elided();
};

void TestTextElide::initTestCase()
{
    g_uiScale = 1.0f;
    K::instance()->loadFont();
}

void TestTextElide::elided_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("mode");
    QTest::newRow("file name, middle") << QStringLiteral("velquora_demo_BD20240601001-1_原片_IMG_1001.jpg") << 160
                                       << int(Qt::ElideMiddle);
    QTest::newRow("numbered photo, middle") << QStringLiteral("IMG_1001.jpg") << 60 << int(Qt::ElideMiddle);
    QTest::newRow("path, start") << QStringLiteral("/home/studio/客户/订单/FJ202_门店自取") << 110 << int(Qt::ElideLeft);
    QTest::newRow("chinese, end") << QStringLiteral("以下订单未能全部删除") << 50 << int(Qt::ElideRight);
    QTest::newRow("fits whole") << QStringLiteral("IMG_1.jpg") << 400 << int(Qt::ElideMiddle);
    QTest::newRow("never cut") << QStringLiteral("IMG_0001_很长很长很长.jpg") << 20 << int(Qt::ElideNone);
    QTest::newRow("surrogate pairs at both cuts") << QStringLiteral("ab\U0001F600\U0001F600\U0001F600\U0001F600cd") << 70
                                                  << int(Qt::ElideMiddle);
}

void TestTextElide::elided()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(int, mode);
    const QFontMetrics metrics(QApplication::font());
    const QString shown = TextElide::elided(metrics, text, width, Qt::TextElideMode(mode));
    if (mode == Qt::ElideNone || metrics.horizontalAdvance(text) <= width) {
        QCOMPARE(shown, text);
        return;
    }
    const QChar ellipsis(0x2026);
    QCOMPARE(shown.count(ellipsis), 1);
    const QString head = shown.section(ellipsis, 0, 0);
    const QString tail = shown.section(ellipsis, 1);
    QVERIFY2(text.startsWith(head) && text.endsWith(tail), qPrintable(shown));
    // Fits unrounded: a view lays its text out unrounded and would cut a
    // text a fraction of a pixel too wide again, ellipsis and all.
    QVERIFY2(QFontMetricsF(metrics).horizontalAdvance(shown) <= width, qPrintable(shown));
    QVERIFY(head.isEmpty() || !head.at(head.size() - 1).isHighSurrogate());
    QVERIFY(tail.isEmpty() || !tail.at(0).isLowSurrogate());
    if (mode == Qt::ElideRight)
        QVERIFY(tail.isEmpty());
    if (mode == Qt::ElideLeft)
        QVERIFY(head.isEmpty());
    if (mode == Qt::ElideMiddle) {
        // Both ends kept, about as much of each.
        QVERIFY2(!head.isEmpty() && !tail.isEmpty(), qPrintable(shown));
        QVERIFY2(qAbs(head.size() - tail.size()) <= 2, qPrintable(shown));
    }
}

QTEST_MAIN(TestTextElide)
#include "tst_textelide.moc"
