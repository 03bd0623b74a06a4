#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "public/contextmenu.h"
#include "tests/public/widgetrender.h"

namespace {

QList<QPushButton *> itemButtons(ContextMenu *menu)
{
    QList<QPushButton *> result;
    for (QPushButton *b : menu->findChildren<QPushButton *>()) {
        if (!b->isHidden())
            result.append(b);
    }
    return result;
}

} // namespace

class TestContextMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void sizes_data();
    void sizes();
    void opensAwayFromScreenEdges();
    void itemClickRunsActionAndHides();
    void pressOutsideClosesAndIsSwallowed();
    void escapeOnlyWhileVisible();
    void disabledAndDangerLooks();
    void settersClamp();
    void clearFromInsideAnItemAction();
    void render();
};

void TestContextMenu::init()
{
    g_uiScale = 1.0f;
}

void TestContextMenu::sizes_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("policy");

    // Factor 1.0: item 38 px high, 39 with spacing; padding 16; limit 304.
    QTest::newRow("empty") << 0 << QSize(160, 16) << int(Qt::ScrollBarAlwaysOff);
    QTest::newRow("seven") << 7 << QSize(160, 289) << int(Qt::ScrollBarAlwaysOff);
    QTest::newRow("eight") << 8 << QSize(160, 320) << int(Qt::ScrollBarAsNeeded);
}

void TestContextMenu::sizes()
{
    QFETCH(int, items);
    QFETCH(QSize, size);
    QFETCH(int, policy);

    ContextMenu menu;
    for (int i = 0; i < items; ++i)
        menu.addItem(QStringLiteral("项%1").arg(i), [] {});
    menu.popup(QPoint(100, 100));
    QCOMPARE(menu.size(), size);
    QCOMPARE(int(menu.findChild<QScrollArea *>()->verticalScrollBarPolicy()), policy);
    menu.hide();

    // Clearing gives the empty size again.
    menu.clear();
    menu.popup(QPoint(100, 100));
    QCOMPARE(menu.size(), QSize(160, 16));
}

void TestContextMenu::opensAwayFromScreenEdges()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ContextMenu menu;
    menu.addItem(QStringLiteral("打开文件夹"), [] {});
    menu.addItem(QStringLiteral("复制路径"), [] {});

    const QPoint corner(area.right() - 5, area.bottom() - 5);
    menu.popup(corner);
    QCOMPARE(menu.pos(), QPoint(corner.x() - menu.width(), corner.y() - menu.height()));
    menu.hide();

    menu.popup(QPoint(area.left() + 10, area.top() + 10));
    QCOMPARE(menu.pos(), QPoint(area.left() + 10, area.top() + 10));
}

void TestContextMenu::itemClickRunsActionAndHides()
{
    ContextMenu menu;
    int runs = 0;
    bool visibleDuringAction = false;
    menu.addItem(QStringLiteral("删除"), [&] {
        ++runs;
        visibleDuringAction = menu.isVisible();
    });
    menu.addItem(QStringLiteral("无动作"));
    menu.popup(QPoint(200, 200));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));

    QTest::mouseClick(itemButtons(&menu).at(1), Qt::LeftButton);
    QTest::qWait(200);
    QVERIFY(menu.isVisible()); // an item without an action leaves it open

    QTest::mouseClick(itemButtons(&menu).at(0), Qt::LeftButton);
    QCOMPARE(runs, 1);
    QVERIFY(visibleDuringAction); // the action runs while the menu fades out
    QTRY_VERIFY_WITH_TIMEOUT(!menu.isVisible(), 2000);
}

void TestContextMenu::pressOutsideClosesAndIsSwallowed()
{
    QWidget window;
    window.setGeometry(0, 0, 600, 500);
    auto *target = new QPushButton(QStringLiteral("目标"), &window);
    target->setGeometry(400, 400, 100, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int clicks = 0;
    connect(target, &QPushButton::pressed, [&] { ++clicks; });

    ContextMenu menu(&window);
    menu.addItem(QStringLiteral("刷新"), [] {});
    menu.popup(QPoint(50, 50));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));

    QTest::mousePress(target, Qt::LeftButton);
    QCOMPARE(clicks, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!menu.isVisible(), 2000);
    QTest::mouseRelease(target, Qt::LeftButton);

    // Hidden, it lets presses through.
    QTest::mousePress(target, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QTest::mouseRelease(target, Qt::LeftButton);
}

void TestContextMenu::escapeOnlyWhileVisible()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ContextMenu menu(&window);
    menu.addItem(QStringLiteral("复制"), [] {});
    QTest::keyClicks(edit, QStringLiteral("ab"));
    QSignalSpy edits(edit, &QLineEdit::textEdited);
    QTest::keyClick(edit, Qt::Key_Escape); // hidden menu: Escape goes on
    QTest::keyClick(edit, Qt::Key_C);
    QCOMPARE(edits.count(), 1);

    menu.popup(QPoint(30, 30));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!menu.isVisible(), 2000);
}

void TestContextMenu::disabledAndDangerLooks()
{
    ContextMenu menu;
    menu.addItem(QStringLiteral("不可用"), [] {}, QString(), false);
    menu.addItem(QStringLiteral("删除订单"), [] {}, QString(), true, true);
    const QList<QPushButton *> buttons = itemButtons(&menu);
    QVERIFY(!buttons.at(0)->isEnabled());
    QVERIFY(buttons.at(0)->styleSheet().contains(QLatin1String("QPushButton:disabled {    color: rgba(0, 0, 0, 0.3);}")));
    QVERIFY(buttons.at(1)->styleSheet().contains(QLatin1String("color: #e53935;")));
    QVERIFY(buttons.at(1)->styleSheet().contains(QLatin1String("rgba(229, 57, 53, 0.08)")));
}

void TestContextMenu::settersClamp()
{
    ContextMenu menu;
    menu.setMaxVisibleItems(0);
    menu.setMinimumMenuWidth(50);
    menu.addItem(QStringLiteral("一"), [] {});
    menu.addItem(QStringLiteral("二"), [] {});
    menu.popup(QPoint(100, 100));
    // One row visible (38 + 16), width floor 100 scaled to 120, plus padding.
    QCOMPARE(menu.size(), QSize(K::instance()->scale(100) + 16, 38 + 16));
    QCOMPARE(menu.findChild<QScrollArea *>()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

void TestContextMenu::clearFromInsideAnItemAction()
{
    ContextMenu menu;
    menu.addItem(QStringLiteral("换一批"), [&menu] {
        menu.clear();
        menu.addItem(QStringLiteral("新的"), [] {});
    });
    menu.popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QPointer<QPushButton> first = itemButtons(&menu).at(0);
    QTest::mouseClick(first, Qt::LeftButton);
    // The clicked button goes later, not while it is still emitting.
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
    QCOMPARE(itemButtons(&menu).size(), 1);
    QCOMPARE(itemButtons(&menu).at(0)->text(), QStringLiteral("新的"));
}

void TestContextMenu::render()
{
    ContextMenu menu;
    menu.addItem(QStringLiteral("打开文件夹"), [] {}, QStringLiteral(":/public/image/public/icon/raw.png"));
    menu.addItem(QStringLiteral("复制订单号"), [] {});
    menu.addSeparator();
    menu.addItem(QStringLiteral("不可用"), [] {}, QString(), false);
    menu.addItem(QStringLiteral("删除"), [] {}, QString(), true, true);
    menu.popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::qWait(300); // fade-in
    const QImage image = renderWidget(&menu, QStringLiteral("contextmenu"));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(closeTo(image.pixel(image.width() / 2, 3), Qt::white, 4));
}

QTEST_MAIN(TestContextMenu)
#include "tst_contextmenu.moc"
