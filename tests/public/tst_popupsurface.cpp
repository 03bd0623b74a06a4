// The surface of the frameless pop-ups (toast, popup menu, message dialog):
// translucent with see-through corners where the window system shows such a
// window, otherwise an opaque window whose corners a mask cuts off.

#include <QLabel>
#include <QPointer>
#include <QtTest>

#include "base/globals.h"
#include "public/contextmenu.h"
#include "public/popupsurface.h"
#include "public/simpledialog.h"
#include "public/toastwidget.h"
#include "tests/public/widgetrender.h"

class TestPopupSurface : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void platformDecides();
    void surfaces_data();
    void surfaces();
};

void TestPopupSurface::init()
{
    g_uiScale = 1.0f;
}

void TestPopupSurface::cleanup()
{
    PopupSurface::setTranslucencyOverride(-1);
    for (QWidget *widget : QApplication::topLevelWidgets())
        widget->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestPopupSurface::platformDecides()
{
    // Only X11 leaves a translucent window to a compositing manager.
    QCOMPARE(PopupSurface::translucencyAvailable(), QGuiApplication::platformName() != QLatin1String("xcb"));
    PopupSurface::setTranslucencyOverride(0);
    QVERIFY(!PopupSurface::translucencyAvailable());
    PopupSurface::setTranslucencyOverride(1);
    QVERIFY(PopupSurface::translucencyAvailable());
}

void TestPopupSurface::surfaces_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("translucent");
    QTest::addColumn<QColor>("body");

    for (bool translucent : {true, false}) {
        const char *mode = translucent ? "translucent" : "opaque";
        QTest::addRow("toast, %s", mode) << "toast" << translucent << QColor(70, 70, 70);
        QTest::addRow("menu, %s", mode) << "menu" << translucent << QColor(Qt::white);
        QTest::addRow("dialog, %s", mode) << "dialog" << translucent << QColor(Qt::white);
    }
}

void TestPopupSurface::surfaces()
{
    QFETCH(QString, kind);
    QFETCH(bool, translucent);
    QFETCH(QColor, body);

    PopupSurface::setTranslucencyOverride(translucent ? 1 : 0);
    auto *window = new QWidget;
    window->resize(500, 400);
    window->show();
    QWidget *popup = nullptr;
    if (kind == QLatin1String("toast")) {
        ToastWidget::showToast(window, QStringLiteral("订单号已复制"), 5000);
        popup = window->findChild<ToastWidget *>();
    } else if (kind == QLatin1String("menu")) {
        auto *menu = ContextMenu::create(window);
        menu->addItem(QStringLiteral("打开文件夹"), [] {});
        menu->addItem(QStringLiteral("复制订单号"), [] {});
        menu->popup(QPoint(100, 100));
        popup = menu;
    } else {
        SimpleDialog::showInfo(window, QStringLiteral("温馨提示"), QStringLiteral("删除成功"));
        popup = window->findChild<SimpleDialog *>();
    }
    QVERIFY(popup);
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    // The menu fades in.
    QTRY_COMPARE_WITH_TIMEOUT(popup->windowOpacity(), 1.0, 2000);
    QCOMPARE(popup->testAttribute(Qt::WA_TranslucentBackground), translucent);

    const QImage image = renderWidget(popup, QStringLiteral("popup_%1_%2").arg(kind, translucent ? "translucent" : "opaque"));
    const QPoint inside(image.width() / 2, 3);
    if (translucent) {
        QVERIFY(popup->mask().isEmpty());
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    } else {
        // Cut corners, a solid body.
        QVERIFY(!popup->mask().contains(QPoint(0, 0)));
        QVERIFY(popup->mask().contains(QPoint(image.width() / 2, image.height() / 2)));
        QCOMPARE(qAlpha(image.pixel(inside)), 255);
        QVERIFY2(closeTo(image.pixel(inside), body, 4), qPrintable(QColor(image.pixel(inside)).name()));
    }
    if (kind == QLatin1String("toast")) {
        // The text shows on the card.
        int light = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                light += qGray(image.pixel(x, y)) > 200 && qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
        }
        QVERIFY(light > 20);
    }
}

QTEST_MAIN(TestPopupSurface)
#include "tst_popupsurface.moc"
