#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "public/fullscreenloading.h"
#include "tests/public/widgetrender.h"

namespace {

QWidget *cardOf(FullScreenLoading *overlay)
{
    // The card is the overlay's only direct child widget with a layout.
    for (QWidget *child : overlay->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->layout())
            return child;
    }
    return nullptr;
}

QPushButton *cancelButtonOf(FullScreenLoading *overlay)
{
    return overlay->findChild<QPushButton *>();
}

QLabel *messageLabelOf(FullScreenLoading *overlay)
{
    for (QLabel *label : overlay->findChildren<QLabel *>()) {
        if (label->wordWrap())
            return label;
    }
    return nullptr;
}

} // namespace

class TestFullScreenLoading : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void oneOverlayPerParent();
    void nullParent();
    void closeUnregistersAndDeletes();
    void showAfterCloseMakesNewOverlayAndOldOneLeavesItAlone();
    void showDuringAutoCloseFadeRevives();
    void fadeInAfterPulseHasNoMiddleFrame();
    void successClosesAfterDelay();
    void errorWithZeroStaysUntilClosed();
    void cancelWithoutReceiverCloses();
    void cancelWithReceiverStays();
    void followsParentResize();
    void longMessageMakesCardTaller();
    void parentDestroyedTakesOverlay();
    void spinnerAngleWraps();
    void renderStates();
};

void TestFullScreenLoading::init()
{
    g_uiScale = 1.0f;
}

void TestFullScreenLoading::oneOverlayPerParent()
{
    QWidget window;
    window.resize(500, 400);
    window.show();
    FullScreenLoading *first = FullScreenLoading::showLoading(&window, QStringLiteral("加载订单..."), true);
    QVERIFY(first);
    QCOMPARE(FullScreenLoading::instance(&window), first);
    QCOMPARE(first->geometry(), window.rect());
    QVERIFY(first->styleSheet().contains(QLatin1String("rgba(0, 0, 0, 100)")));

    FullScreenLoading *second = FullScreenLoading::showLoading(&window, QStringLiteral("再次加载"), false);
    QCOMPARE(second, first);
    QCOMPARE(messageLabelOf(second)->text(), QStringLiteral("再次加载"));
    QVERIFY(second->styleSheet().isEmpty());
    QCOMPARE(window.findChildren<FullScreenLoading *>().size(), 1);
}

void TestFullScreenLoading::nullParent()
{
    QVERIFY(!FullScreenLoading::instance(nullptr));
    FullScreenLoading overlay(nullptr);
    overlay.showSuccess(QStringLiteral("成功"), 100);
    QCOMPARE(overlay.currentState(), 0);
}

void TestFullScreenLoading::closeUnregistersAndDeletes()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> overlay = FullScreenLoading::showLoading(&window, QStringLiteral("请稍候"), true);
    overlay->closeOverlay();
    QVERIFY(!FullScreenLoading::instance(&window));
    QVERIFY(!overlay.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 2000);
}

void TestFullScreenLoading::showAfterCloseMakesNewOverlayAndOldOneLeavesItAlone()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> old = FullScreenLoading::showLoading(&window, QStringLiteral("第一次"), true);
    old->closeOverlay();
    // Within the 200 ms fade of the old one.
    QPointer<FullScreenLoading> fresh = FullScreenLoading::showLoading(&window, QStringLiteral("第二次"), true);
    QVERIFY(fresh.data() != old.data());
    QVERIFY(!old.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(old.isNull(), 2000);
    // The old overlay's end must not take the new one's registration along.
    QCOMPARE(FullScreenLoading::instance(&window), fresh.data());
    QVERIFY(!fresh.isNull());
    QTest::qWait(300);
    QVERIFY(!fresh.isNull());
    QVERIFY(fresh->isVisible());
}

void TestFullScreenLoading::fadeInAfterPulseHasNoMiddleFrame()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    FullScreenLoading *overlay = FullScreenLoading::showLoading(&window, QStringLiteral("保存中"), true);
    overlay->showError(QStringLiteral("保存失败"), 0);
    QPropertyAnimation *growth = nullptr;
    for (QPropertyAnimation *animation : overlay->findChildren<QPropertyAnimation *>()) {
        if (animation->propertyName() == "geometry")
            growth = animation;
    }
    QVERIFY(growth);
    QVERIFY(growth->keyValueAt(0.5).isValid());

    // Shown again while hidden: the card grows straight from its small
    // rectangle to the full one.
    window.hide();
    QCOMPARE(FullScreenLoading::showLoading(&window, QStringLiteral("再次保存"), true), overlay);
    QCOMPARE(growth->keyValues().size(), 2);
    QVERIFY(!growth->keyValueAt(0.5).isValid());
    overlay->closeOverlay();
}

void TestFullScreenLoading::showDuringAutoCloseFadeRevives()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> overlay = FullScreenLoading::showLoading(&window, QStringLiteral("保存中"), true);
    overlay->showSuccess(QStringLiteral("已保存"), 50);
    QTRY_VERIFY_WITH_TIMEOUT(overlay->isClosing(), 2000);

    // Asked again while it fades away: the caller gets a live overlay.
    FullScreenLoading *again = FullScreenLoading::showLoading(&window, QStringLiteral("再次保存"), true);
    QCOMPARE(again, overlay.data());
    QVERIFY(!again->isClosing());
    QCOMPARE(again->currentState(), 0);
    QTest::qWait(500);
    QVERIFY(!overlay.isNull());
    QCOMPARE(FullScreenLoading::instance(&window), overlay.data());
    QVERIFY(overlay->isVisible());
    overlay->closeOverlay();
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 2000);
}

void TestFullScreenLoading::successClosesAfterDelay()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> overlay = FullScreenLoading::showLoading(&window, QStringLiteral("上传中"), true);
    QElapsedTimer watch;
    watch.start();
    overlay->showSuccess(QStringLiteral("上传成功"), 300);
    QCOMPARE(overlay->currentState(), 1);
    QCOMPARE(messageLabelOf(overlay)->text(), QStringLiteral("上传成功"));
    QTest::qWait(150);
    QVERIFY(!overlay.isNull());
    QCOMPARE(FullScreenLoading::instance(&window), overlay.data());
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 3000);
    QVERIFY(watch.elapsed() >= 300 + 200 - 20);
    QVERIFY(!FullScreenLoading::instance(&window));
}

void TestFullScreenLoading::errorWithZeroStaysUntilClosed()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> overlay = FullScreenLoading::showLoading(&window, QStringLiteral("删除中"), true);
    overlay->showError(QStringLiteral("删除失败"), 0);
    QTest::qWait(600);
    QVERIFY(!overlay.isNull());
    QCOMPARE(overlay->currentState(), 2);
    overlay->closeOverlay();
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 2000);
}

void TestFullScreenLoading::cancelWithoutReceiverCloses()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> overlay =
        FullScreenLoading::showWithCancel(&window, QStringLiteral("扫描中"), QStringLiteral("停止"), true);
    QWidget *card = cardOf(overlay);
    QVERIFY(card->height() >= K::instance()->scale(150));
    QPushButton *cancel = cancelButtonOf(overlay);
    QCOMPARE(cancel->text(), QStringLiteral("停止"));
    QTRY_VERIFY(cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!FullScreenLoading::instance(&window));
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 2000);
}

void TestFullScreenLoading::cancelWithReceiverStays()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QPointer<FullScreenLoading> overlay =
        FullScreenLoading::showWithCancel(&window, QStringLiteral("扫描中"), QStringLiteral("取消"), true);
    QSignalSpy cancelled(overlay.data(), &FullScreenLoading::cancelled);
    QTest::mouseClick(cancelButtonOf(overlay), Qt::LeftButton);
    QCOMPARE(cancelled.count(), 1);
    QTest::qWait(400);
    QVERIFY(!overlay.isNull());
    QCOMPARE(FullScreenLoading::instance(&window), overlay.data());
}

void TestFullScreenLoading::followsParentResize()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    FullScreenLoading *overlay = FullScreenLoading::showLoading(&window, QStringLiteral("加载中..."), true);
    window.resize(900, 700);
    QTRY_COMPARE(overlay->geometry(), QRect(0, 0, 900, 700));
    QTest::qWait(400); // card animation done
    QWidget *card = cardOf(overlay);
    QVERIFY(qAbs(card->geometry().center().x() - 450) <= 1);
    QVERIFY(qAbs(card->geometry().center().y() - 350) <= 1);
}

void TestFullScreenLoading::longMessageMakesCardTaller()
{
    QWidget window;
    window.resize(500, 400);
    window.show();
    FullScreenLoading *overlay = FullScreenLoading::showLoading(&window, QStringLiteral("短"), true);
    const int shortHeight = cardOf(overlay)->height();
    QCOMPARE(shortHeight, K::instance()->scale(120));
    overlay->setText(QStringLiteral("正在从服务器下载订单的全部照片，这可能需要一段时间，请不要关闭窗口"));
    QVERIFY(cardOf(overlay)->height() > shortHeight);
}

void TestFullScreenLoading::parentDestroyedTakesOverlay()
{
    auto *window = new QWidget;
    window->resize(300, 200);
    window->show();
    QPointer<FullScreenLoading> overlay = FullScreenLoading::showLoading(window, QStringLiteral("加载中..."), true);
    delete window;
    QVERIFY(overlay.isNull());
    QVERIFY(!FullScreenLoading::instance(window));
}

void TestFullScreenLoading::spinnerAngleWraps()
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    FullScreenLoading *overlay = FullScreenLoading::showLoading(&window, QStringLiteral("加载中..."), true);
    // 36 ticks of 30 ms; generous bounds for a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(overlay->currentAngle() == 350, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(overlay->currentAngle() < 350, 5000);
}

void TestFullScreenLoading::renderStates()
{
    struct Case
    {
        const char *name;
        int state;
        bool withCancel;
        const char *colour;
    };
    const Case cases[] = {
        {"loading", 0, false, "#409EFF"},
        {"loading_cancel", 0, true, "#409EFF"},
        {"success", 1, false, "#67C23A"},
        {"error", 2, false, "#F56C6C"},
    };
    for (const Case &c : cases) {
        QWidget window;
        window.setStyleSheet(QStringLiteral("background: #ffffff;"));
        window.resize(420, 320);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        FullScreenLoading *overlay = c.withCancel
                                         ? FullScreenLoading::showWithCancel(&window, QStringLiteral("正在加载订单"), QStringLiteral("取消"), true)
                                         : FullScreenLoading::showLoading(&window, QStringLiteral("正在加载订单"), true);
        if (c.state == 1)
            overlay->showSuccess(QStringLiteral("加载成功"), 0);
        else if (c.state == 2)
            overlay->showError(QStringLiteral("加载失败"), 0);
        QTest::qWait(700); // fade-in and pulse finished
        const QImage image = renderWidget(&window, QStringLiteral("fullscreenloading_") + QLatin1String(c.name));

        // Dimmed cover in a corner: white under rgba(0, 0, 0, 100) gives about 155.
        QVERIFY(closeTo(image.pixel(5, 5), QColor(155, 155, 155), 10));
        // The card is white next to its spinner.
        QWidget *card = cardOf(overlay);
        const QPoint cardPoint = card->mapTo(&window, QPoint(6, card->height() / 2));
        QVERIFY(closeTo(image.pixel(cardPoint), Qt::white, 6));
        // The symbol's colour appears inside the spinner label.
        QLabel *spinner = nullptr;
        for (QLabel *label : overlay->findChildren<QLabel *>()) {
            if (!label->wordWrap())
                spinner = label;
        }
        QVERIFY(spinner);
        const QRect area(spinner->mapTo(&window, QPoint(0, 0)), spinner->size());
        bool found = false;
        for (int y = area.top(); y <= area.bottom() && !found; ++y) {
            for (int x = area.left(); x <= area.right() && !found; ++x)
                found = closeTo(image.pixel(x, y), QColor(QLatin1String(c.colour)), 16);
        }
        QVERIFY2(found, c.name);
        overlay->closeOverlay();
        QTest::qWait(250);
    }
}

QTEST_MAIN(TestFullScreenLoading)
#include "tst_fullscreenloading.moc"
