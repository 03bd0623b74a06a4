#include <QApplication>
#include <QFontMetrics>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "public/textwidth.h"

// Cut texts with the program's own font, which has no ellipsis glyph of
// its own: Qt's elision then dropped the ellipsis and a cut text looked
// whole ("BD202406" for a longer folder name).
class TestTextWidth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void elided_data();
    void elided();
};

void TestTextWidth::initTestCase()
{
    g_uiScale = 1.0f;
    K::instance()->loadFont();
}

void TestTextWidth::elided_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("latin path") << QStringLiteral("BD20240601001-1/原片/IMG_0001.jpg") << 70;
    QTest::newRow("chinese") << QStringLiteral("以下订单未能全部删除") << 50;
    QTest::newRow("fits whole") << QStringLiteral("IMG_1.jpg") << 400;
    QTest::newRow("nothing fits") << QStringLiteral("IMG_0001.jpg") << 2;
    QTest::newRow("surrogate pair at the cut") << QStringLiteral("ab\U0001F600\U0001F600\U0001F600cd") << 30;
}

void TestTextWidth::elided()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    const QFontMetrics metrics(QApplication::font());
    // Qt's own elision drops the ellipsis with this font.
    if (metrics.horizontalAdvance(text) > width && width > 20)
        QVERIFY(!metrics.elidedText(text, Qt::ElideRight, width).contains(QChar(0x2026)));
    const QString shown = TextWidth::elided(metrics, text, width);
    if (metrics.horizontalAdvance(text) <= width) {
        QCOMPARE(shown, text);
        return;
    }
    const QChar ellipsis(0x2026);
    QVERIFY2(shown.endsWith(ellipsis), qPrintable(shown));
    const QString kept = shown.left(shown.size() - 1);
    QVERIFY(text.startsWith(kept));
    QVERIFY(kept.isEmpty() || !kept.at(kept.size() - 1).isHighSurrogate());
    if (!kept.isEmpty())
        QVERIFY(metrics.horizontalAdvance(shown) <= width);
    // The longest beginning that fits: one character more would not.
    int next = kept.size() + 1;
    if (next < text.size() && text.at(next - 1).isHighSurrogate())
        ++next;
    QVERIFY(metrics.horizontalAdvance(text.left(next) + ellipsis) > width);
}

QTEST_MAIN(TestTextWidth)
#include "tst_textwidth.moc"
