#include <QGridLayout>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "public/elementbutton.h"
#include "tests/public/widgetrender.h"

namespace {

// Subclass only to reach the style-sheet counter; the button itself is real.
class CountingButton : public ElementButton
{
public:
    using ElementButton::ElementButton;
    int styleChanges = 0;

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            ++styleChanges;
        ElementButton::changeEvent(event);
    }
};

} // namespace

class TestElementButton : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void mediumPrimaryAtFactorOne();
    void sizesAtTwoFactors_data();
    void sizesAtTwoFactors();
    void outOfRangeTypeAndSize();
    void circleWinsOverRound();
    void plainAndAlternate();
    void loadingDisablesOnce();
    void sameValueDoesNotRestyle();
    void renderTypesAndLooks();
};

void TestElementButton::cleanup()
{
    g_uiScale = 1.0f;
}

void TestElementButton::mediumPrimaryAtFactorOne()
{
    g_uiScale = 1.0f;
    ElementButton button(QStringLiteral("保存"), 1);
    const QString style = button.styleSheet();
    QVERIFY(style.contains(QLatin1String("border: 1px solid #409EFF;")));
    QVERIFY(style.contains(QLatin1String("border-radius: 3px;")));
    QVERIFY(style.contains(QLatin1String("padding: 6px 12px;")));
    QVERIFY(style.contains(QLatin1String("font-size: 10px;")));
    QVERIFY(style.contains(QLatin1String("font-weight: 600;")));
    QVERIFY(style.contains(QLatin1String("QPushButton:hover {    background-color: #66B1FF;    color: #FFFFFF;    border-color: #66B1FF;}")));
    QVERIFY(style.contains(QLatin1String("QPushButton:disabled {    background-color: #F5F7FA;    color: #C0C4CC;    border-color: #E4E7ED;")));
    QCOMPARE(button.minimumSize(), QSize(60, 25));
    QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
}

void TestElementButton::sizesAtTwoFactors_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<int>("size");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QString>("padding");
    QTest::addColumn<QString>("font");

    // Factor 1.0 enlarges by 1.2; any other factor multiplies.
    QTest::newRow("1.0 small") << 1.0f << 0 << QSize(48, 19) << QStringLiteral("3px 8px") << QStringLiteral("9px");
    QTest::newRow("1.0 medium") << 1.0f << 1 << QSize(60, 25) << QStringLiteral("6px 12px") << QStringLiteral("10px");
    QTest::newRow("1.0 large") << 1.0f << 2 << QSize(72, 32) << QStringLiteral("8px 15px") << QStringLiteral("10px");
    QTest::newRow("2.0 small") << 2.0f << 0 << QSize(80, 32) << QStringLiteral("6px 14px") << QStringLiteral("16px");
    QTest::newRow("2.0 medium") << 2.0f << 1 << QSize(100, 42) << QStringLiteral("10px 20px") << QStringLiteral("18px");
    QTest::newRow("2.0 large") << 2.0f << 2 << QSize(120, 54) << QStringLiteral("14px 26px") << QStringLiteral("18px");
}

void TestElementButton::sizesAtTwoFactors()
{
    QFETCH(float, factor);
    QFETCH(int, size);
    QFETCH(QSize, minimum);
    QFETCH(QString, padding);
    QFETCH(QString, font);

    g_uiScale = factor;
    ElementButton button(QStringLiteral("确定"), 2);
    button.setSize(size);
    QCOMPARE(button.minimumSize(), minimum);
    QVERIFY2(button.styleSheet().contains(QStringLiteral("padding: ") + padding + QLatin1Char(';')), qPrintable(button.styleSheet()));
    QVERIFY(button.styleSheet().contains(QStringLiteral("font-size: ") + font + QLatin1Char(';')));
    QVERIFY(button.styleSheet().contains(QStringLiteral("border: ") + K::instance()->scaleText(1) + QStringLiteral("px solid #67C23A;")));

    // A laid-out button is never smaller than its minimum.
    button.show();
    QVERIFY(button.width() >= minimum.width());
    QVERIFY(button.height() >= minimum.height());
}

void TestElementButton::outOfRangeTypeAndSize()
{
    ElementButton reference(QStringLiteral("按钮"), 0);
    for (int type : {7, -1}) {
        ElementButton button(QStringLiteral("按钮"), type);
        QCOMPARE(button.buildStyleSheet(), reference.buildStyleSheet());
    }
    ElementButton medium(QStringLiteral("按钮"), 1);
    ElementButton odd(QStringLiteral("按钮"), 1);
    odd.setSize(5);
    QCOMPARE(odd.buildStyleSheet(), medium.buildStyleSheet());
    QCOMPARE(odd.minimumSize(), medium.minimumSize());
}

void TestElementButton::circleWinsOverRound()
{
    ElementButton button(QStringLiteral("+"), 1);
    button.setSize(2);
    button.setRound(true);
    QVERIFY(button.styleSheet().contains(QStringLiteral("border-radius: ") + K::instance()->scaleText(13) + QStringLiteral("px;")));
    button.setCircle(true);
    QVERIFY(button.styleSheet().contains(QLatin1String("border-radius: 50%;")));
    QCOMPARE(button.minimumSize(), QSize(K::instance()->scale(27), K::instance()->scale(27)));
    // The "%" of the radius is not taken for a placeholder by the later passes.
    QVERIFY(button.styleSheet().contains(QLatin1String("QPushButton:disabled {    background-color: #F5F7FA;")));
}

void TestElementButton::plainAndAlternate()
{
    ElementButton plainWhite(QStringLiteral("默认"), 0);
    plainWhite.setPlain(true);
    const QString p0 = plainWhite.styleSheet();
    QVERIFY(p0.contains(QLatin1String("background-color: #FFFFFF;    color: #FFFFFF;    border: 1px solid #FFFFFF;")));
    QVERIFY(p0.contains(QLatin1String("QPushButton:hover {    background-color: #FFFFFF;    color: #FFFFFF;    border-color: #FFFFFF;}")));

    ElementButton plainRed(QStringLiteral("删除"), 4);
    plainRed.setPlain(true);
    QVERIFY(plainRed.styleSheet().contains(QLatin1String("background-color: #FFFFFF;    color: #F56C6C;    border: 1px solid #F56C6C;")));
    QVERIFY(plainRed.styleSheet().contains(QLatin1String("QPushButton:disabled {    background-color: #FFFFFF;")));

    ElementButton text(QStringLiteral("查看"), 3);
    text.setPlain(true);
    text.setAlternateScheme(true);
    const QString a = text.styleSheet();
    QVERIFY(a.contains(QLatin1String("background-color: transparent;    color: #E6A23C;    border: 1px solid transparent;")));
    QVERIFY(a.contains(QLatin1String("QPushButton:hover {    background-color: transparent;    color: #EBB563;    border-color: transparent;}")));
    QVERIFY(a.contains(QLatin1String("QPushButton:pressed {    background-color: transparent;    color: #CF9236;")));
    QVERIFY(a.contains(QLatin1String("QPushButton:disabled {    background-color: transparent;    color: #C0C4CC;    border-color: transparent;")));

    ElementButton greyText(QStringLiteral("更多"), 0);
    greyText.setAlternateScheme(true);
    QVERIFY(greyText.styleSheet().contains(QLatin1String("QPushButton:hover {    background-color: transparent;    color: #409EFF;")));
}

void TestElementButton::loadingDisablesOnce()
{
    CountingButton button(QStringLiteral("开始分件"), 1);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    button.setLoading(true);
    QVERIFY(!button.isEnabled());
    button.setEnabled(true);
    const int before = button.styleChanges;
    button.setLoading(true); // same value: nothing, even though re-enabled in between
    QVERIFY(button.isEnabled());
    QCOMPARE(button.styleChanges, before);
    button.setLoading(false);
    QVERIFY(button.isEnabled());
}

void TestElementButton::sameValueDoesNotRestyle()
{
    CountingButton button(QStringLiteral("保存"), 2);
    button.show(); // a hidden widget is restyled without a style-change event
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    const int before = button.styleChanges;
    button.setType(2);
    button.setSize(1);
    button.setPlain(false);
    button.setRound(false);
    button.setCircle(false);
    button.setAlternateScheme(false);
    QCOMPARE(button.styleChanges, before);
    button.setType(3);
    QVERIFY(button.styleChanges > before);
}

void TestElementButton::renderTypesAndLooks()
{
    const char *const normal[] = {"#FFFFFF", "#409EFF", "#67C23A", "#E6A23C", "#F56C6C", "#909399"};
    for (float factor : {1.0f, 2.0f}) {
        g_uiScale = factor;
        QWidget board;
        board.setStyleSheet(QStringLiteral("background: #ffffff;"));
        auto *layout = new QGridLayout(&board);
        QList<ElementButton *> filled;
        for (int type = 0; type < 6; ++type) {
            auto *b = new ElementButton(QStringLiteral("按钮%1").arg(type), type, &board);
            layout->addWidget(b, 0, type);
            filled.append(b);
            auto *plain = new ElementButton(QStringLiteral("朴素"), type, &board);
            plain->setPlain(true);
            layout->addWidget(plain, 1, type);
            auto *text = new ElementButton(QStringLiteral("文字"), type, &board);
            text->setSize(0);
            text->setAlternateScheme(true);
            layout->addWidget(text, 2, type);
            auto *big = new ElementButton(QStringLiteral("大圆角"), type, &board);
            big->setSize(2);
            big->setRound(true);
            layout->addWidget(big, 3, type);
            auto *busy = new ElementButton(QStringLiteral("加载"), type, &board);
            busy->setLoading(true);
            layout->addWidget(busy, 4, type);
        }
        // Every style it sets is one Qt knows: an unknown property costs a
        // line on stderr each time a button is polished.
        auto *disabled = new ElementButton(QStringLiteral("禁用"), 1, &board);
        disabled->setEnabled(false);
        layout->addWidget(disabled, 5, 0);
        static QStringList unknown;
        unknown.clear();
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            if (text.contains(QLatin1String("Unknown property")))
                unknown.append(text);
        });
        board.show();
        QVERIFY(QTest::qWaitForWindowExposed(&board));
        const QImage image = renderWidget(&board, QStringLiteral("elementbutton_x%1").arg(factor));
        qInstallMessageHandler(previous);
        QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(QLatin1Char('\n'))));
        for (int type = 1; type < 6; ++type) {
            ElementButton *b = filled[type];
            const QPoint p = b->mapTo(&board, QPoint(b->width() / 2, K::instance()->scale(3)));
            QVERIFY2(closeTo(image.pixel(p), QColor(QLatin1String(normal[type])), 8), normal[type]);
        }
    }
}

QTEST_MAIN(TestElementButton)
#include "tst_elementbutton.moc"
