#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>

#include "base/globals.h"
#include "public/toastwidget.h"
#include "tests/public/widgetrender.h"

class TestToastWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void centredAndGoneAfterItsTime();
    void zeroTimeStillFades();
    void longTextWraps();
    void doesNotTakeFocus();
    void withoutParent();
    void parentTakesToast();
    void render();
};

void TestToastWidget::init()
{
    g_uiScale = 1.0f;
}

void TestToastWidget::centredAndGoneAfterItsTime()
{
    QWidget window;
    window.setGeometry(100, 80, 600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QElapsedTimer watch;
    watch.start();
    ToastWidget::showToast(&window, QStringLiteral("保存成功"), 200);
    QPointer<ToastWidget> toast = window.findChild<ToastWidget *>();
    QVERIFY(toast);
    QVERIFY(toast->isVisible());
    const QPoint centre = window.mapToGlobal(window.rect().center());
    QCOMPARE(toast->pos(), QPoint(centre.x() - toast->width() / 2, centre.y() - toast->height() / 2));

    QTest::qWait(150);
    QVERIFY(!toast.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(toast.isNull(), 3000);
    QVERIFY(watch.elapsed() >= 200 + 300 - 20);
}

void TestToastWidget::zeroTimeStillFades()
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    ToastWidget::showToast(&window, QStringLiteral("已复制"), 0);
    QPointer<ToastWidget> toast = window.findChild<ToastWidget *>();
    QTest::qWait(100);
    QVERIFY(!toast.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(toast.isNull(), 2000);
}

void TestToastWidget::longTextWraps()
{
    QWidget window;
    window.resize(800, 600);
    window.show();
    ToastWidget::showToast(&window, QStringLiteral("短"), 2000);
    ToastWidget *shortToast = window.findChildren<ToastWidget *>().last();
    QString longText;
    for (int i = 0; i < 12; ++i)
        longText += QStringLiteral("订单照片导入失败请检查共享文件夹的权限设置，");
    ToastWidget::showToast(&window, longText, 2000);
    ToastWidget *longToast = window.findChildren<ToastWidget *>().last();
    QVERIFY(longToast != shortToast);
    QVERIFY(longToast->findChild<QLabel *>()->wordWrap());
    QVERIFY(longToast->height() > shortToast->height());
}

void TestToastWidget::doesNotTakeFocus()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    window.resize(400, 300);
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ToastWidget::showToast(&window, QStringLiteral("提示"), 500);
    ToastWidget *toast = window.findChild<ToastWidget *>();
    QVERIFY(toast->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(toast->windowFlags().testFlag(Qt::ToolTip));
    QTest::qWait(50);
    QCOMPARE(QApplication::focusWidget(), edit);
}

void TestToastWidget::withoutParent()
{
    ToastWidget::showToast(nullptr, QStringLiteral("无父窗口"), 0);
    ToastWidget *toast = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *t = qobject_cast<ToastWidget *>(w))
            toast = t;
    }
    QVERIFY(toast);
    QPointer<ToastWidget> guard(toast);
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 2000);
}

void TestToastWidget::parentTakesToast()
{
    auto *window = new QWidget;
    window->show();
    ToastWidget::showToast(window, QStringLiteral("关闭"), 5000);
    QPointer<ToastWidget> toast = window->findChild<ToastWidget *>();
    delete window;
    QVERIFY(toast.isNull());
}

void TestToastWidget::render()
{
    QWidget window;
    window.resize(400, 200);
    window.show();
    ToastWidget::showToast(&window, QStringLiteral("订单已保存"), 5000);
    ToastWidget *toast = window.findChild<ToastWidget *>();
    QVERIFY(QTest::qWaitForWindowExposed(toast));
    const QImage image = renderWidget(toast, QStringLiteral("toast"));
    // Dark translucent body (offscreen shows translucent windows as
    // painted), transparent outside the rounded corner.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    const QRgb body = image.pixel(6, image.height() / 2);
    QVERIFY2(qAlpha(body) >= 100 && qAlpha(body) < 255 && qRed(body) <= 80 && qGreen(body) <= 80,
             qPrintable(QStringLiteral("%1 %2").arg(qAlpha(body)).arg(qRed(body))));
}

QTEST_MAIN(TestToastWidget)
#include "tst_toastwidget.moc"
