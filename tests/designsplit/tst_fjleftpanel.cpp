// The order table panel against the fake service: the shop switch and the
// order list by mode and search type, the records read from the reply, the
// errors of either request, how ticking rows reports orders, and a list of
// thousands of orders filled across turns of the event loop.

#include <QMessageBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "designsplit/fjleftpanel.h"
#include "public/tablelook.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/splitorders.h"

namespace {

QStringList s_boxes;

// A light order of shop 11: enough for its row, nothing for a batch.
QJsonObject listOrder(const QString &number)
{
    return QJsonObject{{"shopid", "11"},
                       {"id", "o" + number},
                       {"order_photo_id", "p" + number},
                       {"orderpayforkey", number},
                       {"servicetimes", "1"},
                       {"mname", "张伟"},
                       {"wname", "李娜"}};
}

void clickAt(FJLeftPanel &panel, const QPoint &pos)
{
    QTest::mouseClick(panel.table->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
}

QString numberAt(FJLeftPanel &panel, int row)
{
    QTableWidgetItem *item = panel.table->item(row, 1);
    return item ? item->text() : QString();
}

} // namespace

class TestFJLeftPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void records_data();
    void records();
    void search_data();
    void search();
    void failedSearch_data();
    void failedSearch();
    void rowsReportOrders_data();
    void rowsReportOrders();
    void orderNumbersShowWhole_data();
    void orderNumbersShowWhole();
    void columnsReadable_data();
    void columnsReadable();
    void buttonsLookOffDuringBatch();
    void fillsAcrossTurns();
    void secondSearchDuringFill();

private:
    // Replaces shop 11's orders by count light ones numbered prefix00000...
    void setManyOrders(const QString &prefix, int count, bool keep = false);
    bool searchOn(FJLeftPanel &panel, const QString &type, const QString &keyword, const QString &shop = "11");

    FakeOrderService m_fake;
};

void TestFJLeftPanel::initTestCase()
{
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(10000);
    ModalBox::setHook([](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            s_boxes << box->windowTitle() + QLatin1Char('|') + box->text();
        return int(QMessageBox::Ok);
    });
}

void TestFJLeftPanel::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
}

void TestFJLeftPanel::init()
{
    s_boxes.clear();
    m_fake.loadModel(FakeModel::testData());
    m_fake.clearFaults();
    m_fake.clearRequests();
    QJsonObject shop = m_fake.modelStore().shop(QStringLiteral("11"));
    shop.insert(QStringLiteral("issjfenjianms"), QStringLiteral("2"));
    m_fake.modelStore().replaceAt(QStringLiteral("shops"), 0, shop);
    m_fake.modelStore().setList(QStringLiteral("orders"), QJsonArray());
    for (const QString &number : {QStringLiteral("A1001"), QStringLiteral("A1002"), QStringLiteral("B2001")}) {
        QJsonObject order = SplitOrders::order(QStringLiteral("11"), number.right(3), number, QStringLiteral("/共享/") + number);
        order.insert(QStringLiteral("shotdate"), number.startsWith(QLatin1Char('B')) ? "2024-06-02" : "2024-05-01");
        m_fake.modelStore().append(QStringLiteral("orders"), order);
    }
}

void TestFJLeftPanel::setManyOrders(const QString &prefix, int count, bool keep)
{
    QJsonArray list = keep ? m_fake.modelStore().list(QStringLiteral("orders")) : QJsonArray();
    for (int i = 0; i < count; ++i)
        list.append(listOrder(prefix + QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'))));
    m_fake.modelStore().setList(QStringLiteral("orders"), list);
}

bool TestFJLeftPanel::searchOn(FJLeftPanel &panel, const QString &type, const QString &keyword, const QString &shop)
{
    QSignalSpy finished(&panel, &FJLeftPanel::emitReqOrderFinish);
    panel.onReqShopInfo(type, keyword, shop);
    return finished.wait(10000) && finished.size() == 1;
}

void TestFJLeftPanel::records_data()
{
    QTest::addColumn<QJsonObject>("element");
    QTest::addColumn<QStringList>("fields"); // id, imageCount, number, netpath
    QTest::addColumn<int>("downloaded");
    QTest::addColumn<int>("waiting");

    QTest::newRow("whole order")
        << SplitOrders::order("11", "501", "A1001", "/共享/A1001")
        << QStringList{"o501", "2", "A1001", "/共享/A1001"} << 0 << 2;
    QTest::newRow("numbers and missing lists")
        << QJsonObject{{"id", 77}, {"orderpayforkey", 1001}, {"images", "3"}, {"netpath", "/x"}}
        << QStringList{"", "0", "", "/x"} << 0 << 0;
}

void TestFJLeftPanel::records()
{
    QFETCH(QJsonObject, element);
    QFETCH(QStringList, fields);
    QFETCH(int, downloaded);
    QFETCH(int, waiting);
    const OrderData order = FJReplies::orderFromJson(element, 4);
    QCOMPARE(order.row, 4);
    QCOMPARE((QStringList{order.id, order.imageCount, order.orderpayforkey, order.netpath}), fields);
    QCOMPARE(order.downloadedImages.size(), downloaded);
    QCOMPARE(order.undownloadedImages.size(), waiting);
    for (const ThumbnailPhoto &photo : order.undownloadedImages) {
        QVERIFY(!photo.selected);
        QVERIFY(photo.selectable);
        QVERIFY(photo.iconPath.isEmpty());
        QVERIFY(!photo.filePath.isEmpty());
        QVERIFY(photo.imageUrl.isEmpty()); // no "url_yuanpian" in the element
    }
    // Copies keep their own selections.
    OrderData copy = order;
    if (!copy.undownloadedImages.isEmpty()) {
        copy.undownloadedImages[0].selected = true;
        QVERIFY(!order.undownloadedImages.at(0).selected);
    }
}

void TestFJLeftPanel::search_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("searchtype"); // "-" for no field
    QTest::addColumn<QStringList>("numbers");

    QTest::newRow("keyword") << 0 << "基本信息" << "A100" << "order_list" << "1" << QStringList{"A1001-1", "A1002-1"};
    QTest::newRow("keyword with form characters") << 2 << "基本信息" << "A&1=%2+#" << "order_list" << "1" << QStringList();
    QTest::newRow("shot date") << 3 << "拍照日期" << "2024-06-02" << "order_list" << "4" << QStringList{"B2001-1"};
    QTest::newRow("raw files list") << 1 << "基本信息" << "" << "order_list_type_1" << "1"
                                    << QStringList{"A1001-1", "A1002-1", "B2001-1"};
    QTest::newRow("unknown type sends none") << 0 << "其他" << "" << "order_list" << "-"
                                             << QStringList{"A1001-1", "A1002-1", "B2001-1"};
}

void TestFJLeftPanel::search()
{
    QFETCH(int, mode);
    QFETCH(QString, type);
    QFETCH(QString, keyword);
    QFETCH(QString, action);
    QFETCH(QString, searchtype);
    QFETCH(QStringList, numbers);

    FJLeftPanel panel;
    panel.setMode(mode);
    QSignalSpy info(&panel, &FJLeftPanel::userInfoChange);
    QVERIFY(searchOn(panel, type, keyword));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first(), (QVariantList{"11", "7001", "9001"}));
    QCOMPARE(panel.issjfenjianms, QStringLiteral("2"));
    QCOMPARE(g_splitEnterpriseId, QStringLiteral("7001"));

    const QList<FakeOrderService::Request> sent = m_fake.requestsFor(QStringLiteral("&m=order&a=") + action);
    QCOMPARE(sent.size(), 1);
    const FakeOrderService::Request &request = sent.first();
    QCOMPARE(request.field("keyword"), keyword);
    QCOMPARE(request.hasField("searchtype") ? request.field("searchtype") : QStringLiteral("-"), searchtype);
    QCOMPARE(request.field("eid"), QStringLiteral("7001"));
    QCOMPARE(request.field("personid"), QStringLiteral("7001"));
    QCOMPARE(request.field("superid"), QStringLiteral("9001"));

    if (numbers.isEmpty()) {
        QCOMPARE(s_boxes, QStringList{QStringLiteral("温馨提示|未检索到订单")});
        return;
    }
    QStringList cells;
    for (int r = 0; r < panel.table->rowCount(); ++r) {
        cells << panel.table->item(r, 1)->text();
        QCOMPARE(panel.orders.at(r).row, r);
    }
    QCOMPARE(cells, numbers);
    QCOMPARE(panel.table->item(0, 7)->text(), QStringLiteral("2 / 2"));
    QCOMPARE(panel.orders.first().undownloadedImages.size(), 2);
    if (mode == 1)
        QVERIFY(!panel.orders.first().undownloadedImages.first().imageUrl.isEmpty());
}

void TestFJLeftPanel::failedSearch_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("listKept");

    QTest::newRow("shop switch error in msg") << "&m=public&a=switch_shop" << int(FakeOrderService::Fault::CodeZeroMsg)
                                              << "温馨提示|门店已停用" << true;
    QTest::newRow("shop switch error in message")
        << "&m=public&a=switch_shop" << int(FakeOrderService::Fault::CodeZeroMessage) << "温馨提示|门店已停用" << true;
    QTest::newRow("shop switch lost") << "&m=public&a=switch_shop" << int(FakeOrderService::Fault::CloseConnection) << ""
                                      << true;
    QTest::newRow("order list error") << "&m=order&a=order_list" << int(FakeOrderService::Fault::CodeZeroMsg)
                                      << "温馨提示|门店已停用" << false;
    QTest::newRow("order list not json") << "&m=order&a=order_list" << int(FakeOrderService::Fault::InvalidJson) << ""
                                         << false;
}

void TestFJLeftPanel::failedSearch()
{
    QFETCH(QString, action);
    QFETCH(int, fault);
    QFETCH(QString, box);
    QFETCH(bool, listKept);

    FJLeftPanel panel;
    panel.setMode(0);
    QVERIFY(searchOn(panel, QStringLiteral("基本信息"), QString()));
    QCOMPARE(panel.orders.size(), 3);
    s_boxes.clear();
    m_fake.setFault(action, FakeOrderService::Fault(fault), QStringLiteral("门店已停用"));
    QVERIFY(searchOn(panel, QStringLiteral("基本信息"), QString()));
    QCOMPARE(s_boxes, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(panel.orders.size(), listKept ? 3 : 0);
    QCOMPARE(panel.table->rowCount(), panel.orders.size());
}

void TestFJLeftPanel::rowsReportOrders_data()
{
    QTest::addColumn<int>("mode");
    // Mouse clicks: "c<row>" on the row's name cell, "e<row>" on its tick
    // cell beside the box, "b<row>" on the box, "s<row>" on 设置选中;
    // "k<row>" the space key on the row, reached with the arrow keys.
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QString>("reported"); // "<row>+" / "<row>-" per orderSelected
    QTest::addColumn<QList<int>>("ticked");

    QTest::newRow("design split reports nothing") << 0 << "c0 b2" << "" << QList<int>{0, 2};
    QTest::newRow("design split box twice, cell, keyboard") << 0 << "b1 b1 e0 k2" << "" << QList<int>{0, 2};
    QTest::newRow("raw files cell clicks") << 1 << "c1 c1 c2" << "1+ 1- 2+" << QList<int>{2};
    QTest::newRow("raw files tick cell beside the box") << 1 << "e1" << "1+" << QList<int>{1};
    QTest::newRow("raw files box and keyboard only tick") << 1 << "b0 k1" << "" << QList<int>{0, 1};
    QTest::newRow("raw files show button") << 1 << "s0" << "0+" << QList<int>();
    QTest::newRow("delivery keeps one order") << 3 << "b0 c1 b1" << "0+ 1+" << QList<int>();
    QTest::newRow("delivery second order") << 3 << "b0 b2" << "0+ 2+" << QList<int>{2};
    QTest::newRow("delivery by keyboard") << 3 << "k0 k2" << "0+ 2+" << QList<int>{2};
}

void TestFJLeftPanel::rowsReportOrders()
{
    QFETCH(int, mode);
    QFETCH(QString, clicks);
    QFETCH(QString, reported);
    QFETCH(QList<int>, ticked);

    FJLeftPanel panel;
    panel.setMode(mode);
    panel.resize(1000, 600);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(searchOn(panel, QStringLiteral("基本信息"), QString()));
    QCOMPARE(panel.selectAllButton->isHidden(), mode == 3);
    QCOMPARE(panel.pickLinkRect(0).isEmpty(), mode != 1);
    QStringList got;
    connect(&panel, &FJLeftPanel::orderSelected, this,
            [&got](int row, bool checked) { got << QString::number(row) + (checked ? "+" : "-"); });
    for (const QString &click : clicks.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int row = click.mid(1).toInt();
        const QRect tickCell = panel.table->visualRect(panel.table->model()->index(row, 0));
        switch (click.at(0).toLatin1()) {
        case 'c':
            clickAt(panel, panel.table->visualItemRect(panel.table->item(row, 3)).center());
            break;
        case 'e':
            QVERIFY(!panel.tickBoxRect(row).contains(tickCell.topLeft() + QPoint(2, 2)));
            clickAt(panel, tickCell.topLeft() + QPoint(2, 2));
            break;
        case 'b':
            clickAt(panel, panel.tickBoxRect(row).center());
            break;
        case 's':
            clickAt(panel, panel.pickLinkRect(row).center());
            break;
        default:
            // The arrow keys reach the row, as a user walks the list.
            panel.table->setFocus();
            panel.table->setCurrentCell(0, 1);
            for (int r = 0; r < row; ++r)
                QTest::keyClick(panel.table, Qt::Key_Down);
            QCOMPARE(panel.table->currentRow(), row);
            QTest::keyClick(panel.table, Qt::Key_Space);
            break;
        }
    }
    QCOMPARE(got.join(QLatin1Char(' ')), reported);
    QCOMPARE(panel.selectedRows(), ticked);
    if (mode != 3) {
        panel.onSelectAllClicked();
        QCOMPARE(panel.selectedRows(), (QList<int>{0, 1, 2}));
        panel.onUnselectAllClicked();
        QCOMPARE(panel.selectedRows(), QList<int>());
        QCOMPARE(got.join(QLatin1Char(' ')), reported);
    }
}

void TestFJLeftPanel::orderNumbersShowWhole_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("design split") << 0;
    QTest::newRow("raw files") << 1;
    QTest::newRow("selection results") << 2;
    QTest::newRow("photo delivery") << 3;
}

// A studio's order numbers are long; the column that shows them must not
// cut them off, in any mode.
void TestFJLeftPanel::orderNumbersShowWhole()
{
    QFETCH(int, mode);
    m_fake.modelStore().setList(QStringLiteral("orders"), QJsonArray());
    m_fake.modelStore().append(QStringLiteral("orders"),
                               SplitOrders::order(QStringLiteral("11"), QStringLiteral("901"),
                                                  QStringLiteral("FJ20240601001"), QStringLiteral("/共享/FJ")));
    FJLeftPanel panel;
    panel.setMode(mode);
    panel.resize(1000, 600);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(searchOn(panel, QStringLiteral("基本信息"), QString()));
    const int column = panel.headers.indexOf(QStringLiteral("订单号"));
    QTableWidgetItem *item = panel.table->item(0, column);
    QVERIFY(item);
    QVERIFY(item->text().startsWith(QLatin1String("FJ20240601001-")));
    // The text and the item's padding on both sides.
    const int needed = panel.table->fontMetrics().horizontalAdvance(item->text()) + 2 * K::instance()->scale(5);
    QVERIFY2(panel.table->columnWidth(column) > needed,
             qPrintable(QStringLiteral("%1 <= %2").arg(panel.table->columnWidth(column)).arg(needed)));
}

void TestFJLeftPanel::columnsReadable_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("width");
    QTest::newRow("design split, laptop") << 0 << 760;
    QTest::newRow("raw files, laptop") << 1 << 520;
    QTest::newRow("design split, wide") << 0 << 2400;
    QTest::newRow("photo delivery, wide") << 3 << 2400;
}

// Every header reads whole, and so does every text up to a long package
// name's bound: a table narrower than that scrolls sideways instead of
// cutting each column to a character. A table wide enough shows every text
// whole and fills its width.
void TestFJLeftPanel::columnsReadable()
{
    QFETCH(int, mode);
    QFETCH(int, width);
    const QString longPackage = QStringLiteral("婚纱摄影至尊豪华全家福加外景双人旅拍纪念套系（含精修相册与装裱摆台）");
    QJsonArray orders;
    for (const QString &number : {QStringLiteral("FJ20240601001"), QStringLiteral("FJ20240601002")}) {
        QJsonObject order = SplitOrders::order(QStringLiteral("11"), number.right(3), number, QStringLiteral("/共享/FJ"));
        order.insert(QStringLiteral("mphone"), QStringLiteral("13800138000"));
        order.insert(QStringLiteral("wphone"), QStringLiteral("13912345678"));
        order.insert(QStringLiteral("mname"), QStringLiteral("欧阳明远"));
        if (number.endsWith(QLatin1Char('2')))
            order.insert(QStringLiteral("comboname"), longPackage);
        orders.append(order);
    }
    m_fake.modelStore().setList(QStringLiteral("orders"), orders);
    FJLeftPanel panel;
    panel.setMode(mode);
    panel.resize(width, 500);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(searchOn(panel, QStringLiteral("基本信息"), QString()));

    QTableWidget *table = panel.table;
    QHeaderView *header = table->horizontalHeader();
    const int package = panel.headers.indexOf(QStringLiteral("套系"));
    int total = 0;
    for (int c = 0; c < panel.headers.size(); ++c) {
        total += table->columnWidth(c);
        if (panel.headers.at(c).isEmpty())
            continue;
        QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c), qPrintable(panel.headers.at(c)));
        for (int row = 0; row < table->rowCount(); ++row) {
            const int needed = TableLook::cellWidth(table, table->model()->index(row, c));
            const bool cut = table->columnWidth(c) < needed;
            // Only the long package name may be cut, and only in a narrow table.
            QVERIFY2(!cut || (c == package && row == 1 && width < 1000),
                     qPrintable(QStringLiteral("%1 行%2: %3 < %4").arg(panel.headers.at(c)).arg(row)
                                    .arg(table->columnWidth(c)).arg(needed)));
        }
    }
    QCOMPARE(table->item(1, package)->toolTip(), longPackage);
    if (width < 1000) {
        QVERIFY(table->horizontalScrollBar()->maximum() > 0);
    } else {
        QCOMPARE(total, table->viewport()->width());
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
    }
}

// While a batch runs the two buttons do nothing; they must not look as if
// they did.
void TestFJLeftPanel::buttonsLookOffDuringBatch()
{
    FJLeftPanel panel;
    panel.setMode(0);
    panel.resize(600, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    for (QPushButton *button : {panel.selectAllButton, panel.unselectAllButton}) {
        const QImage on = button->grab().toImage();
        panel.setControlsEnabled(false);
        const QImage off = button->grab().toImage();
        panel.setControlsEnabled(true);
        QVERIFY2(on != off, qPrintable(button->text()));
    }
}

// A list of thousands of orders comes in across turns of the event loop:
// between turns the rows and the records are as many, a row ticked while
// the rest arrive keeps its tick on its order, ticking every row waits for
// the last, and every row ends up with its own order.
void TestFJLeftPanel::fillsAcrossTurns()
{
    const int count = 3000;
    setManyOrders(QStringLiteral("A"), count);
    FJLeftPanel panel;
    panel.setMode(0);
    panel.resize(1000, 600);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    int turnsFilling = 0;
    int outOfStep = 0;
    bool allButtonOnDuringFill = false;
    int lateTick = -1;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, this, [&]() {
        if (panel.table->rowCount() != panel.orders.size())
            ++outOfStep;
        if (!panel.isFilling())
            return;
        ++turnsFilling;
        allButtonOnDuringFill = allButtonOnDuringFill || panel.selectAllButton->isEnabled();
        // Once some rows are in: row 7 ticked by a click on its box, and the
        // last row in so far through its item.
        if (lateTick < 0 && panel.orders.size() > 10) {
            clickAt(panel, panel.tickBoxRect(7).center());
            lateTick = panel.orders.size() - 1;
            panel.tickAt(lateTick)->setCheckState(Qt::Checked);
        }
    });
    watcher.start();
    QSignalSpy finished(&panel, &FJLeftPanel::emitReqOrderFinish);
    panel.onReqShopInfo(QStringLiteral("基本信息"), QStringLiteral("A"), QStringLiteral("11"));
    QVERIFY(finished.wait(60000));
    watcher.stop();

    QCOMPARE(panel.orders.size(), count);
    QCOMPARE(panel.table->rowCount(), count);
    QCOMPARE(outOfStep, 0);
    QVERIFY2(turnsFilling > 1, qPrintable(QString::number(turnsFilling)));
    QVERIFY(!allButtonOnDuringFill);
    QVERIFY(lateTick > 7 && lateTick < count - 1);
    for (int r = 0; r < count; ++r) {
        const QString number = QStringLiteral("A%1").arg(r, 5, 10, QLatin1Char('0'));
        QCOMPARE(panel.orders.at(r).orderpayforkey, number);
        QCOMPARE(panel.orders.at(r).row, r);
        QCOMPARE(numberAt(panel, r), number + QStringLiteral("-1"));
    }
    QCOMPARE(panel.selectedRows(), (QList<int>{7, lateTick}));

    QVERIFY(panel.selectAllButton->isEnabled());
    QTest::mouseClick(panel.selectAllButton, Qt::LeftButton);
    QCOMPARE(panel.selectedRows().size(), count);
    QTest::mouseClick(panel.unselectAllButton, Qt::LeftButton);
    QCOMPARE(panel.selectedRows(), QList<int>());
}

// A search started while the previous list still arrives leaves only its
// own rows, none of the earlier list's ticks, and no late rows after it.
void TestFJLeftPanel::secondSearchDuringFill()
{
    setManyOrders(QStringLiteral("A"), 3000);
    setManyOrders(QStringLiteral("B"), 40, true);
    FJLeftPanel panel;
    panel.setMode(0);
    panel.resize(1000, 600);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QSignalSpy finished(&panel, &FJLeftPanel::emitReqOrderFinish);
    panel.onReqShopInfo(QStringLiteral("基本信息"), QString(), QStringLiteral("11"));
    QVERIFY(QTest::qWaitFor([&panel]() { return panel.isFilling() && panel.orders.size() > 3; }, 30000));
    panel.tickAt(1)->setCheckState(Qt::Checked);

    panel.onReqShopInfo(QStringLiteral("基本信息"), QStringLiteral("B"), QStringLiteral("11"));
    // The first list may still end its fill (and say so) while the second
    // search asks its branch first: its rows go when the second list comes.
    QVERIFY(QTest::qWaitFor(
        [&]() {
            return !panel.isFilling() && panel.orders.size() == 40
                && panel.orders.first().orderpayforkey.startsWith(QLatin1Char('B'));
        },
        30000));
    // Nothing of the first list comes after.
    QVERIFY2(!QTest::qWaitFor([&panel]() { return panel.table->rowCount() != 40 || panel.orders.size() != 40; }, 300),
             qPrintable(QStringLiteral("%1 rows, %2 records").arg(panel.table->rowCount()).arg(panel.orders.size())));
    QVERIFY(finished.size() == 1 || finished.size() == 2);
    for (int r = 0; r < 40; ++r) {
        const QString number = QStringLiteral("B%1").arg(r, 5, 10, QLatin1Char('0'));
        QCOMPARE(panel.orders.at(r).orderpayforkey, number);
        QCOMPARE(numberAt(panel, r), number + QStringLiteral("-1"));
    }
    QCOMPARE(panel.selectedRows(), QList<int>());
}

QTEST_MAIN(TestFJLeftPanel)
#include "tst_fjleftpanel.moc"
