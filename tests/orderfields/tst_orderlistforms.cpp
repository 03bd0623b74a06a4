#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QtTest>

#include "orderfields/fixedorderlist.h"
#include "orderfields/mainorderlist.h"
#include "orderfields/orderlist.h"
#include "orderfields/ordertypelist.h"
#include "orderfields/setshowfield.h"
#include "tests/public/widgetrender.h"

class TestOrderListForms : public QObject
{
    Q_OBJECT

private slots:
    void formsAsBuilt_data();
    void formsAsBuilt();
    void orderListShell();
};

static QWidget *createForm(const QString &className, QWidget *parent)
{
    if (className == QLatin1String("OrderList"))
        return new OrderList(parent);
    if (className == QLatin1String("OrderTypeList"))
        return new OrderTypeList(parent);
    if (className == QLatin1String("MainOrderList"))
        return new MainOrderList(parent);
    if (className == QLatin1String("FixedOrderList"))
        return new FixedOrderList(parent);
    if (className == QLatin1String("SetShowField"))
        return new SetShowField(parent);
    return nullptr;
}

void TestOrderListForms::formsAsBuilt_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("title");

    QTest::newRow("OrderList") << "OrderList" << QSize(800, 600) << "MainWindow";
    QTest::newRow("OrderTypeList") << "OrderTypeList" << QSize(400, 300) << "Form";
    QTest::newRow("MainOrderList") << "MainOrderList" << QSize(400, 300) << "Form";
    QTest::newRow("FixedOrderList") << "FixedOrderList" << QSize(400, 300) << "Form";
    QTest::newRow("SetShowField") << "SetShowField" << QSize(400, 300) << "Form";
}

void TestOrderListForms::formsAsBuilt()
{
    QFETCH(QString, className);
    QFETCH(QSize, size);
    QFETCH(QString, title);

    QScopedPointer<QWidget> form(createForm(className, nullptr));
    QVERIFY(form);
    QCOMPARE(QString::fromLatin1(form->metaObject()->className()), className);
    QCOMPARE(form->objectName(), className);
    QCOMPARE(form->size(), size);
    QCOMPARE(form->windowTitle(), title);
    if (className != QLatin1String("OrderList"))
        QVERIFY(form->findChildren<QWidget *>().isEmpty());

    renderWidget(form.data(), className);

    // Under a parent it goes with the parent; the forms are plain children,
    // while a main window stays a window of its own.
    auto *owner = new QWidget;
    QPointer<QWidget> child = createForm(className, owner);
    QCOMPARE(child->parentWidget(), owner);
    QCOMPARE(child->isWindow(), className == QLatin1String("OrderList"));
    QCOMPARE(child->objectName(), className);
    delete owner;
    QVERIFY(child.isNull());
}

void TestOrderListForms::orderListShell()
{
    OrderList window;

    QWidget *central = window.centralWidget();
    QVERIFY(central);
    QCOMPARE(central->objectName(), QStringLiteral("centralwidget"));
    QCOMPARE(QString::fromLatin1(central->metaObject()->className()), QStringLiteral("QWidget"));
    QCOMPARE(central->parentWidget(), &window);

    QMenuBar *menuBar = window.menuBar();
    QCOMPARE(menuBar->objectName(), QStringLiteral("menubar"));
    QCOMPARE(menuBar->geometry(), QRect(0, 0, 800, 21));
    QVERIFY(menuBar->actions().isEmpty());

    QStatusBar *statusBar = window.statusBar();
    QCOMPARE(statusBar->objectName(), QStringLiteral("statusbar"));
    QVERIFY(statusBar->currentMessage().isEmpty());

    // Exactly these three widgets are the window's own, and no more menu
    // bar or status bar was created on demand by the look-ups above.
    QCOMPARE(window.findChildren<QMenuBar *>().size(), 1);
    QCOMPARE(window.findChildren<QStatusBar *>().size(), 1);
}

QTEST_MAIN(TestOrderListForms)
#include "tst_orderlistforms.moc"
