// The order search panel against the in-process order service over real
// HTTP: what it sends, in which order, and what it does with each reply,
// late and mismatched replies included.

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFileInfo>
#include <QScopeGuard>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "base/pathutil.h"
#include "public/toastwidget.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"
#include "base/orderreplies.h"

namespace {

const QString kSwitch = QStringLiteral("&m=public&a=switch_shop");
const QString kPersons = QStringLiteral("&m=order&a=get_persons");
const QString kOrderList = QStringLiteral("&m=order&a=order_list");
const QString kPhotos = QStringLiteral("&m=order&a=getorderphotoimg");

struct Box
{
    QString title;
    QString text;
};
QList<Box> s_boxes;

QStringList boxTexts()
{
    QStringList texts;
    for (const Box &box : s_boxes)
        texts << box.title + QLatin1Char('|') + box.text;
    return texts;
}

QJsonObject image(const QString &id, const QString &name, const QString &type)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("img_name"), name},
                       {QStringLiteral("url"), QString()},
                       {QStringLiteral("localpath"), QString()},
                       {QStringLiteral("type"), type}};
}

bool idle(tfhomeorders *panel)
{
    return panel->findChildren<BaseReq *>().isEmpty();
}

} // namespace

class TestTfHomeOrders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newPanelAsksForRetouchers();
    void noBranch();
    void searchSwitchesShopFirst_data();
    void searchSwitchesShopFirst();
    void returnSearchesLikeTheButton();
    void retoucherChosen();
    void errorReplies_data();
    void errorReplies();
    void emptyResultKeepsRows();
    void staleOrderListDropped();
    void staleRetoucherListDropped();
    void branchChangeOnlyReloadsRetouchers();
    void orderPhotosReply();
    void orderPhotosForReplacedRowDropped();
    void searchIgnoredWhileImporting();
    void refreshAfterImportKeepsRows();
    void refreshFindingNothingIsQuiet();
    void calendarPopupSetsDate();
    void demoOrdersSearchable();
    void importedNamesWhole_data();
    void importedNamesWhole();
    void largeSearchFillsAcrossTurns_data();
    void largeSearchFillsAcrossTurns();
    void newSearchReplacesRunningFill();
    void renderPanel();

private:
    tfhomeorders *newPanel();
    // Presses "搜索" and waits until the order list has arrived.
    void search(tfhomeorders *panel);
    // Picks one (empty) IMG_1.jpg in folder sub for the order of row 0.
    void pickOnePhoto(tfhomeorders *panel, const QString &sub);
    // "全部开始", then every copy of the started order done and the order
    // finished, as the window does with the engine's results.
    void importAsTheEngineWould(tfhomeorders *panel);
    // Orders "DD100000" on, one per customer "客户0" on, in the service.
    void loadManyOrders(int count);
    // Searches by keyword with the button, without waiting.
    void startKeywordSearch(tfhomeorders *panel, const QString &keyword);

    FakeOrderService m_fake;
    QTemporaryDir m_dir;
    QList<tfhomeorders *> m_panels;
};

void TestTfHomeOrders::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<QMap<QString, QString>>();
    QVERIFY(m_fake.start(FakeOrderService::Mode::Http));
    g_indexUrl = m_fake.indexUrl();
    g_dataDir = m_dir.path() + QLatin1Char('/');
    BaseReq::setTransferTimeout(5000);
    ModalBox::setHook([](QDialog *dialog) {
        Box box;
        box.title = dialog->windowTitle();
        if (auto *message = qobject_cast<QMessageBox *>(dialog))
            box.text = message->text();
        s_boxes << box;
        return int(QMessageBox::Ok);
    });
}

void TestTfHomeOrders::init()
{
    s_boxes.clear();
    g_uploadType.store(int(UploadType::Photos));
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()},
                  ShopInfo{QStringLiteral("12"), QStringLiteral("二号店"), QString()}};
    m_fake.loadModel(FakeModel::testData());
    // Orders with a shared folder, so files can be picked for them.
    QJsonArray orders = m_fake.modelStore().list(QStringLiteral("orders"));
    for (int i = 0; i < orders.size(); ++i) {
        QJsonObject order = orders.at(i).toObject();
        order.insert(QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), m_dir.path()}});
        order.insert(QStringLiteral("selectphototime"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        orders.replace(i, order);
    }
    m_fake.modelStore().setList(QStringLiteral("orders"), orders);
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.clearRequests();
}

void TestTfHomeOrders::cleanup()
{
    for (tfhomeorders *panel : qAsConst(m_panels))
        QTRY_VERIFY(idle(panel));
    qDeleteAll(m_panels);
    m_panels.clear();
}

tfhomeorders *TestTfHomeOrders::newPanel()
{
    auto *panel = new tfhomeorders();
    m_panels << panel;
    panel->resize(1200, 700);
    panel->show();
    if (!QTest::qWaitFor([panel]() { return idle(panel); }, 5000))
        qWarning("面板的请求未在 5 秒内结束");
    m_fake.clearRequests();
    return panel;
}

void TestTfHomeOrders::search(tfhomeorders *panel)
{
    const int before = m_fake.requestsFor(kOrderList).size();
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), before + 1);
    QTRY_VERIFY(idle(panel));
}

void TestTfHomeOrders::pickOnePhoto(tfhomeorders *panel, const QString &sub)
{
    QDir().mkpath(m_dir.path() + QLatin1Char('/') + sub);
    const QString photo = m_dir.path() + QLatin1Char('/') + sub + QStringLiteral("/IMG_1.jpg");
    QFile file(photo);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    tfhomeorders_OrderListWidget::setFilePicker(
        [photo](QWidget *, const QString &, const QString &) { return QStringList{photo}; });
    QTest::mouseClick(panel->orderListWidget()->tableWidget()->cellWidget(0, 6)->findChild<QPushButton *>(
                          QStringLiteral("selectPhotosButton")),
                      Qt::LeftButton);
    tfhomeorders_OrderListWidget::setFilePicker(nullptr);
}

void TestTfHomeOrders::importAsTheEngineWould(tfhomeorders *panel)
{
    auto *table = panel->orderListWidget();
    QSignalSpy started(table, &tfhomeorders_OrderListWidget::startImportAllOrders);
    QSignalSpy relayed(panel, &tfhomeorders::startImportAllOrders);
    QTest::mouseClick(table->findChild<QPushButton *>(QStringLiteral("startAllButton")), Qt::LeftButton);
    QCOMPARE(started.size(), 1);
    QCOMPARE(relayed.size(), 1);
    const OrderInfo running = relayed.first().at(0).value<QList<OrderInfo>>().first();
    for (int i = 0; i < 4; ++i)
        panel->updatePhotoStatus(running, i, QStringLiteral("IMG_1.jpg"), 0);
    panel->setOrderStatus(running, OrderRunState::Done);
    panel->startNext(running.row);
}

void TestTfHomeOrders::newPanelAsksForRetouchers()
{
    auto *panel = new tfhomeorders();
    m_panels << panel;
    QTRY_COMPARE(m_fake.requestsFor(kPersons).size(), 1);
    const auto request = m_fake.requestsFor(kPersons).first();
    QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
    for (const char *name : {"eid", "superid", "personid"}) {
        QVERIFY(request.hasField(QLatin1String(name)));
        QVERIFY(request.field(QLatin1String(name)).isEmpty());
    }
    auto *combo = panel->findChild<QComboBox *>(QStringLiteral("m_tiaoseCombo"));
    QTRY_COMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("全部"));
    QCOMPARE(combo->itemText(1), QStringLiteral("周修图"));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(panel->objectName(), QStringLiteral("tfhomeorders"));
    QVERIFY(panel->findChild<tfhomeorders_OrderListWidget *>(QStringLiteral("m_orderListWidget")));
    QVERIFY(panel->findChild<tfhomeorders_PhotoDisplayWidget *>(QStringLiteral("m_photoDisplayWidget")));
    QVERIFY(m_fake.requestsFor(kSwitch).isEmpty());
    QVERIFY(m_fake.requestsFor(kOrderList).isEmpty());
}

// An account without a branch: the panel asks the service nothing, says so
// once when it opens, in the words every tool uses, and in the branch
// field; 搜索 (also after an import run ends) and Enter in the keyword
// field say it again.
void TestTfHomeOrders::noBranch()
{
    g_shopList.clear();
    QWidget window;
    auto *panel = new tfhomeorders(&window);
    window.resize(1200, 700);
    window.show();
    QTRY_COMPARE(s_boxes.size(), 1);
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("温馨提示|") + OrderService::noShopText()});
    QTest::qWait(200);
    QCOMPARE(s_boxes.size(), 1);
    QVERIFY(!window.findChild<ToastWidget *>());
    auto *branch = panel->findChild<QComboBox *>(QStringLiteral("m_branchCombo"));
    QCOMPARE(branch->count(), 0);
    QCOMPARE(branch->placeholderText(), QStringLiteral("没有可用的门店"));
    auto *button = panel->findChild<QPushButton *>(QStringLiteral("searchButton"));
    panel->setImporting(true);
    panel->setImporting(false);
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(s_boxes.size(), 2);
    QTest::keyClick(panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit")), Qt::Key_Return);
    QTRY_COMPARE(s_boxes.size(), 3);
    for (const Box &box : qAsConst(s_boxes))
        QCOMPARE(box.text, OrderService::noShopText());
    QVERIFY(m_fake.requests().isEmpty());
}

void TestTfHomeOrders::searchSwitchesShopFirst_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("searchType");
    QTest::addColumn<int>("found");
    QTest::newRow("selection date today") << 2 << QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) << "5"
                                          << 2;
    QTest::newRow("shot date") << 1 << "2024-05-07" << "4" << 1;
    QTest::newRow("keyword") << 0 << "A20240612002" << "1" << 1;
    QTest::newRow("keyword with form characters") << 0 << " a&b+c%d=e# 张 " << "1" << 0;
}

void TestTfHomeOrders::searchSwitchesShopFirst()
{
    QFETCH(int, type);
    QFETCH(QString, keyword);
    QFETCH(QString, searchType);
    QFETCH(int, found);
    auto *panel = newPanel();
    panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"))->setCurrentIndex(type);
    if (type == 0)
        panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"))->setText(keyword);
    else if (type == 1)
        panel->findChild<QDateEdit *>(QStringLiteral("m_shotDateEdit"))->setDate(QDate::fromString(keyword, Qt::ISODate));
    // Changing the search type or a date sends nothing.
    QVERIFY(m_fake.requests().isEmpty());
    QSignalSpy shops(panel, &tfhomeorders::changeShop);

    const int before = m_fake.requestsFor(kOrderList).size();
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), before + 1);
    if (found == 0)
        QTRY_COMPARE(s_boxes.size(), 1);
    QTRY_VERIFY(idle(panel));

    const QList<FakeOrderService::Request> requests = m_fake.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).action(), kSwitch);
    QCOMPARE(requests.at(0).field(QStringLiteral("shopid")), QStringLiteral("11"));
    const FakeOrderService::Request list = requests.at(1);
    QCOMPARE(list.action(), kOrderList);
    QCOMPARE(list.field(QStringLiteral("keyword")), keyword);
    QCOMPARE(list.field(QStringLiteral("searchtype")), searchType);
    QVERIFY(list.hasField(QStringLiteral("role7id")));
    QVERIFY(list.field(QStringLiteral("role7id")).isEmpty());
    QCOMPARE(list.field(QStringLiteral("ratio")), QStringLiteral("90"));
    QCOMPARE(list.field(QStringLiteral("shopid")), QStringLiteral("11"));
    QCOMPARE(list.field(QStringLiteral("eid")), QStringLiteral("7001"));
    QCOMPARE(list.field(QStringLiteral("superid")), QStringLiteral("9001"));
    QCOMPARE(list.field(QStringLiteral("personid")), QStringLiteral("7001"));
    QVERIFY(list.body.startsWith("keyword="));
    if (type == 1)
        QVERIFY(list.body.startsWith("keyword=2024-05-07&searchtype=4&role7id=&ratio=90&shopid=11&eid=7001"
                                     "&superid=9001&personid=7001"));

    QCOMPARE(shops.size(), 1);
    const auto shop = shops.first().at(0).value<QMap<QString, QString>>();
    QCOMPARE(shop.value(QStringLiteral("shopid")), QStringLiteral("11"));
    QCOMPARE(shop.value(QStringLiteral("superid")), QStringLiteral("9001"));
    QCOMPARE(shop.value(QStringLiteral("managerid")), QStringLiteral("7001"));
    QCOMPARE(panel->eid(), QStringLiteral("7001"));
    auto *grid = panel->photoDisplayWidget();
    QCOMPARE(grid->shopId, QStringLiteral("11"));
    QCOMPARE(grid->eid, QStringLiteral("7001"));
    QCOMPARE(grid->superId, QStringLiteral("9001"));

    auto *table = panel->orderListWidget();
    QCOMPARE(table->orderCount(), found);
    if (found == 0) {
        QCOMPARE(boxTexts(), QStringList{QStringLiteral("温馨提示|未检索到订单")});
        return;
    }
    QVERIFY(s_boxes.isEmpty());
    for (int row = 0; row < found; ++row)
        QCOMPARE(table->orderAt(row).row, row);
    // The service allows opening folders ("openypml" 1).
    QVERIFY(table->tableWidget()->cellWidget(0, 6)->findChild<QPushButton *>(QStringLiteral("openFolderButton")));
}

void TestTfHomeOrders::returnSearchesLikeTheButton()
{
    auto *panel = newPanel();
    auto *combo = panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"));
    combo->setCurrentIndex(0);
    auto *edit = panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"));
    QVERIFY(edit->isVisible());
    edit->setText(QStringLiteral("张伟"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 1);
    QTRY_VERIFY(idle(panel));
    QCOMPARE(m_fake.requests().first().action(), kSwitch);
    QCOMPARE(panel->orderListWidget()->orderCount(), 1);
    QCOMPARE(panel->orderListWidget()->orderAt(0).mname, QStringLiteral("张伟"));
    QCOMPARE(panel->orderListWidget()->orderAt(0).shotdate_month, QStringLiteral("05"));
}

void TestTfHomeOrders::retoucherChosen()
{
    auto *panel = newPanel();
    panel->findChild<QComboBox *>(QStringLiteral("m_tiaoseCombo"))->setCurrentIndex(1);
    search(panel);
    QCOMPARE(m_fake.requestsFor(kOrderList).last().field(QStringLiteral("role7id")), QStringLiteral("41"));
    panel->findChild<QComboBox *>(QStringLiteral("m_tiaoseCombo"))->setCurrentIndex(0);
    search(panel);
    QVERIFY(m_fake.requestsFor(kOrderList).last().field(QStringLiteral("role7id")).isEmpty());
}

void TestTfHomeOrders::errorReplies_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<FakeOrderService::Fault>("fault");
    QTest::addColumn<QString>("box");
    QTest::newRow("shop switch refused")
        << kSwitch << FakeOrderService::Fault::CodeZeroMsg << "温馨提示|门店已停用";
    QTest::newRow("order list refused")
        << kOrderList << FakeOrderService::Fault::CodeZeroMessage << "温馨提示|门店已停用";
    QTest::newRow("numeric code") << kOrderList << FakeOrderService::Fault::NumericCode << "温馨提示|获取成功";
    QTest::newRow("server error") << kOrderList << FakeOrderService::Fault::Http500 << "";
    QTest::newRow("broken json") << kOrderList << FakeOrderService::Fault::InvalidJson << "";
    QTest::newRow("connection closed") << kSwitch << FakeOrderService::Fault::CloseConnection << "";
}

void TestTfHomeOrders::errorReplies()
{
    QFETCH(QString, action);
    QFETCH(FakeOrderService::Fault, fault);
    QFETCH(QString, box);
    auto *panel = newPanel();
    search(panel);
    const OrderInfo before = panel->orderListWidget()->orderAt(0);
    QVERIFY(before.row == 0);
    s_boxes.clear();
    m_fake.clearRequests();

    m_fake.setFault(action, fault, QStringLiteral("门店已停用"));
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    // A closed connection is tried once more by the network layer.
    QTRY_VERIFY(!m_fake.requestsFor(action).isEmpty());
    QTRY_VERIFY(idle(panel));
    if (box.isEmpty()) {
        // A failed transfer is silent.
        QCoreApplication::processEvents();
        QVERIFY(s_boxes.isEmpty());
    } else {
        QTRY_COMPARE(boxTexts(), QStringList{box});
    }
    if (action == kSwitch)
        QVERIFY(m_fake.requestsFor(kOrderList).isEmpty());
    QCOMPARE(panel->orderListWidget()->orderCount(), 2);
    QCOMPARE(panel->orderListWidget()->orderAt(0).order_photo_id, before.order_photo_id);
}

void TestTfHomeOrders::emptyResultKeepsRows()
{
    auto *panel = newPanel();
    search(panel);
    QCOMPARE(panel->orderListWidget()->orderCount(), 2);
    panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"))->setCurrentIndex(0);
    panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"))->setText(QStringLiteral("没有这个订单"));
    search(panel);
    QTRY_COMPARE(boxTexts(), QStringList{QStringLiteral("温馨提示|未检索到订单")});
    QCOMPARE(panel->orderListWidget()->orderCount(), 2);
}

void TestTfHomeOrders::staleOrderListDropped()
{
    auto *panel = newPanel();
    panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"))->setCurrentIndex(0);
    auto *edit = panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"));

    // The first search's answer is slow and arrives after the second's.
    m_fake.setFault(kOrderList, FakeOrderService::Fault::Delay, QString(), 1000);
    edit->setText(QStringLiteral("A20240507001"));
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 1);
    m_fake.clearFaults();
    edit->setText(QStringLiteral("A20240612002"));
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 2);
    QTRY_COMPARE(panel->orderListWidget()->orderCount(), 1);
    QCOMPARE(panel->orderListWidget()->orderAt(0).orderpayforkey, QStringLiteral("A20240612002"));
    // Once the slow answer is in too, the table still shows the newer search.
    QTRY_VERIFY(idle(panel));
    QCOMPARE(panel->orderListWidget()->orderCount(), 1);
    QCOMPARE(panel->orderListWidget()->orderAt(0).orderpayforkey, QStringLiteral("A20240612002"));
}

void TestTfHomeOrders::staleRetoucherListDropped()
{
    auto *panel = newPanel();
    auto *branch = panel->findChild<QComboBox *>(QStringLiteral("m_branchCombo"));
    auto *combo = panel->findChild<QComboBox *>(QStringLiteral("m_tiaoseCombo"));
    m_fake.setFault(kPersons, FakeOrderService::Fault::Delay, QString(), 1000);
    branch->setCurrentIndex(1);
    QTRY_COMPARE(m_fake.requestsFor(kPersons).size(), 1);
    m_fake.clearFaults();
    branch->setCurrentIndex(0);
    QTRY_COMPARE(m_fake.requestsFor(kPersons).size(), 2);
    QTRY_VERIFY(idle(panel));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("全部"));
    QCOMPARE(combo->itemText(1), QStringLiteral("周修图"));

    // Two answers that both count leave one "全部" and one list.
    panel->reqTiaoseList();
    QTRY_VERIFY(idle(panel));
    QCOMPARE(combo->count(), 2);
    combo->setCurrentIndex(1);
    search(panel);
    QCOMPARE(m_fake.requestsFor(kOrderList).last().field(QStringLiteral("role7id")), QStringLiteral("41"));
}

void TestTfHomeOrders::branchChangeOnlyReloadsRetouchers()
{
    auto *panel = newPanel();
    search(panel);
    m_fake.clearRequests();
    panel->findChild<QComboBox *>(QStringLiteral("m_branchCombo"))->setCurrentIndex(1);
    QTRY_COMPARE(m_fake.requestsFor(kPersons).size(), 1);
    QTRY_VERIFY(idle(panel));
    QCOMPARE(m_fake.requests().size(), 1);
    const auto request = m_fake.requestsFor(kPersons).first();
    QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("12"));
    // The ids of the previous switch until the next search.
    QCOMPARE(request.field(QStringLiteral("eid")), QStringLiteral("7001"));
    QCOMPARE(panel->orderListWidget()->orderCount(), 2);
    auto *combo = panel->findChild<QComboBox *>(QStringLiteral("m_tiaoseCombo"));
    QCOMPARE(combo->itemText(1), QStringLiteral("孙修图"));

    search(panel);
    QCOMPARE(m_fake.requestsFor(kSwitch).last().field(QStringLiteral("shopid")), QStringLiteral("12"));
    QCOMPARE(panel->eid(), QStringLiteral("7002"));
    QCOMPARE(panel->orderListWidget()->orderCount(), 1);
    QCOMPARE(panel->orderListWidget()->orderAt(0).order_photo_id, QStringLiteral("303"));
}

void TestTfHomeOrders::orderPhotosReply()
{
    auto *panel = newPanel();
    search(panel);
    auto *table = panel->orderListWidget();
    table->tableWidget()->selectRow(1);
    QCOMPARE(panel->currentOrder().row, 1);

    const int index = m_fake.modelStore().orderIndex(QStringLiteral("301"));
    QJsonObject stored = m_fake.modelStore().list(QStringLiteral("orders")).at(index).toObject();
    stored.insert(QStringLiteral("images"), QJsonArray{image("1", "a.jpg", "1"), image("2", "t.mp4", "2"),
                                                       image("3", "r.mp4", "3"), image("4", "b.jpg", "")});
    m_fake.modelStore().replaceAt(QStringLiteral("orders"), index, stored);

    // Not the current order: the table's copy changes, the grid does not.
    panel->getOrderImportPhotos(table->orderAt(0));
    QTRY_VERIFY(idle(panel));
    const auto request = m_fake.requestsFor(kPhotos).last();
    QCOMPARE(request.field(QStringLiteral("order_photo_id")), QStringLiteral("301"));
    QCOMPARE(request.field(QStringLiteral("ratio")), QStringLiteral("90"));
    QCOMPARE(request.field(QStringLiteral("personid")), QStringLiteral("7001"));
    QCOMPARE(table->orderAt(0).photos.size(), 2);
    QCOMPARE(table->orderAt(0).trialVideos.size(), 1);
    QCOMPARE(table->orderAt(0).retouchedVideos.size(), 1);
    QCOMPARE(panel->photoDisplayWidget()->shownOrder().order_photo_id, QStringLiteral("302"));

    // The current order: the grid shows the new lists.
    table->tableWidget()->selectRow(0);
    stored.insert(QStringLiteral("images"), QJsonArray{image("5", "c.jpg", "1")});
    m_fake.modelStore().replaceAt(QStringLiteral("orders"), index, stored);
    panel->getOrderImportPhotos(table->orderAt(0));
    QTRY_VERIFY(idle(panel));
    QCOMPARE(table->orderAt(0).photos.size(), 1);
    QCOMPARE(panel->photoDisplayWidget()->shownOrder().photos.size(), 1);
    QCOMPARE(panel->photoDisplayWidget()->shownOrder().photos.first().img_name, QStringLiteral("c.jpg"));

    // An error reply changes nothing and shows nothing.
    m_fake.setFault(kPhotos, FakeOrderService::Fault::CodeZeroMsg, QStringLiteral("失败"));
    panel->getOrderImportPhotos(table->orderAt(0));
    QTRY_VERIFY(idle(panel));
    QCOMPARE(table->orderAt(0).photos.size(), 1);
    QVERIFY(s_boxes.isEmpty());
}

void TestTfHomeOrders::orderPhotosForReplacedRowDropped()
{
    auto *panel = newPanel();
    search(panel);
    auto *table = panel->orderListWidget();
    const int index = m_fake.modelStore().orderIndex(QStringLiteral("301"));
    QJsonObject stored = m_fake.modelStore().list(QStringLiteral("orders")).at(index).toObject();
    stored.insert(QStringLiteral("images"), QJsonArray{image("1", "a.jpg", "1")});
    m_fake.modelStore().replaceAt(QStringLiteral("orders"), index, stored);

    m_fake.setFault(kPhotos, FakeOrderService::Fault::Delay, QString(), 300);
    panel->getOrderImportPhotos(table->orderAt(0));
    QTRY_COMPARE(m_fake.requestsFor(kPhotos).size(), 1);
    // The rows are rebuilt before the answer comes: row 0 is another order.
    table->clearOrders();
    OrderInfo other = table->orderAt(0);
    other.order_photo_id = QStringLiteral("999");
    other.orderpayforkey = QStringLiteral("X1");
    table->addOrderRow(other);
    QTRY_VERIFY(idle(panel));
    QCOMPARE(table->orderAt(0).order_photo_id, QStringLiteral("999"));
    QVERIFY(table->orderAt(0).photos.isEmpty());
}

void TestTfHomeOrders::searchIgnoredWhileImporting()
{
    auto *panel = newPanel();
    search(panel);
    m_fake.clearRequests();
    auto *button = panel->findChild<QPushButton *>(QStringLiteral("searchButton"));
    panel->setImporting(true);
    QVERIFY(!button->isEnabled());
    // Return in the keyword box is no way around it.
    panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"))->setCurrentIndex(0);
    QTest::keyClick(panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit")), Qt::Key_Return);
    panel->onSearchClick();
    QVERIFY(idle(panel));

    panel->setImporting(false);
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 1);
    QTRY_VERIFY(idle(panel));
    QCOMPARE(m_fake.requestsFor(kSwitch).size(), 1);

    // A full answer that arrives once an import has begun is not applied.
    m_fake.setFault(kOrderList, FakeOrderService::Fault::Delay, QString(), 300);
    panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"))->setText(QStringLiteral("A20240612002"));
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 2);
    panel->setImporting(true);
    QTRY_VERIFY(idle(panel));
    QCOMPARE(panel->orderListWidget()->orderCount(), 2);
    panel->setImporting(false);
}

void TestTfHomeOrders::refreshAfterImportKeepsRows()
{
    auto *panel = newPanel();
    search(panel);
    auto *table = panel->orderListWidget();
    pickOnePhoto(panel, QStringLiteral("in"));
    QCOMPARE(table->orderAt(0).selectedFiles.size(), 4);
    QVERIFY(PathUtil::toFs(table->orderAt(0).selectedFiles.first().targetDir)
                .startsWith(m_dir.path() + QStringLiteral("/2024/05/07/A20240507001-1")));

    const int index = m_fake.modelStore().orderIndex(QStringLiteral("301"));
    QJsonObject stored = m_fake.modelStore().list(QStringLiteral("orders")).at(index).toObject();
    stored.insert(QStringLiteral("images"), QJsonArray{image("1", "IMG_1.jpg", "1")});
    m_fake.modelStore().replaceAt(QStringLiteral("orders"), index, stored);
    s_boxes.clear();
    m_fake.clearRequests();

    importAsTheEngineWould(panel);

    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 1);
    QTRY_VERIFY(idle(panel));
    QVERIFY(m_fake.requestsFor(kSwitch).isEmpty());
    QCOMPARE(table->orderCount(), 2);
    QCOMPARE(table->cellText(0, QStringLiteral("已导")), QStringLiteral("1/0/0"));
    QCOMPARE(table->orderAt(0).selectedFiles.size(), 4);
    QCOMPARE(table->orderAt(0).uploadStatus, QStringLiteral("导片完成"));
    QTRY_COMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().title, QStringLiteral("全部导完"));
}

// The refresh after a batch finds none of the orders (another branch
// took them, the day changed): the summary box stays the only box.
void TestTfHomeOrders::refreshFindingNothingIsQuiet()
{
    auto *panel = newPanel();
    search(panel);
    auto *table = panel->orderListWidget();
    pickOnePhoto(panel, QStringLiteral("quiet"));
    m_fake.setHandler(kOrderList, [](const FakeOrderService::Request &) {
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")}, {QStringLiteral("data"), QJsonArray()}};
    });
    s_boxes.clear();
    m_fake.clearRequests();

    importAsTheEngineWould(panel);

    QTRY_COMPARE(m_fake.requestsFor(kOrderList).size(), 1);
    QTRY_VERIFY(idle(panel));
    // A box of the reply would have been queued by now: let it open.
    QCoreApplication::processEvents();
    QTRY_COMPARE(s_boxes.size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(boxTexts().size(), 1);
    QVERIFY2(boxTexts().first().startsWith(QStringLiteral("全部导完|")), qPrintable(boxTexts().join(QLatin1Char(','))));
    QCOMPARE(table->orderCount(), 2);
}

void TestTfHomeOrders::calendarPopupSetsDate()
{
    auto *panel = newPanel();
    auto *edit = panel->findChild<QDateEdit *>(QStringLiteral("m_selectDateEdit"));
    QVERIFY(edit->isVisible());
    QVERIFY(edit->isReadOnly());
    // The field's own calendar opens as a popup below it; the stand-alone
    // calendar only where that one cannot show.
    const auto popup = [edit]() -> QCalendarWidget * {
        if (edit->calendarWidget() && edit->calendarWidget()->isVisible())
            return edit->calendarWidget();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *calendar = qobject_cast<QCalendarWidget *>(widget);
            if (calendar && calendar->objectName() == QLatin1String("calendarPopup") && calendar->isVisible())
                return calendar;
        }
        return nullptr;
    };
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(popup() != nullptr);
    QCOMPARE(popup()->selectedDate(), QDate::currentDate());
    const QDate day(2024, 3, 5);
    if (popup() == edit->calendarWidget())
        popup()->setSelectedDate(day); // a click on a day of the field's own calendar
    else
        QMetaObject::invokeMethod(popup(), "clicked", Q_ARG(QDate, day));
    QCOMPARE(edit->date(), day);
    QTRY_VERIFY(popup() == nullptr);
    QTRY_VERIFY(edit->isReadOnly());
    // Choosing a date sends nothing; the next search carries it.
    QVERIFY(m_fake.requests().isEmpty());
    search(panel);
    QCOMPARE(m_fake.requestsFor(kOrderList).last().field(QStringLiteral("keyword")), QStringLiteral("2024-03-05"));
    QCOMPARE(m_fake.requestsFor(kOrderList).last().field(QStringLiteral("searchtype")), QStringLiteral("5"));
}

// The demo data set as the demo service serves it: today's selections show
// under the panel's first search, with shared folders in the home folder.
void TestTfHomeOrders::loadManyOrders(int count)
{
    const QJsonObject model = m_fake.modelStore().list(QStringLiteral("orders")).at(0).toObject();
    m_fake.modelStore().setList(QStringLiteral("orders"), FakeModel::manyOrders(model, count));
}

void TestTfHomeOrders::startKeywordSearch(tfhomeorders *panel, const QString &keyword)
{
    panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"))->setCurrentIndex(0);
    panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"))->setText(keyword);
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
}

void TestTfHomeOrders::importedNamesWhole_data()
{
    QTest::addColumn<QSize>("size");
    // The panel as the window lays it out on the screens studios use.
    QTest::newRow("1366x768") << QSize(880, 700);
    QTest::newRow("1920x1080") << QSize(1100, 1000);
}

// The imported photos' names under their pictures are whole, however short
// the screen leaves the panel.
void TestTfHomeOrders::importedNamesWhole()
{
    QFETCH(QSize, size);
    auto *panel = newPanel();
    panel->resize(size);
    OrderInfo order;
    order.row = 0;
    order.order_photo_id = QStringLiteral("1");
    for (int i = 0; i < 12; ++i) {
        PhotoInfo photo;
        photo.id = QString::number(i + 1);
        photo.img_name = QStringLiteral("DSC_%1.jpg").arg(4001 + i);
        order.photos << photo;
    }
    auto *grid = panel->photoDisplayWidget();
    grid->setOrder(order);
    grid->createAllCards();
    QTRY_VERIFY(grid->cardAt(0) && grid->cardAt(0)->isVisible());
    QTest::qWait(150); // the grid counts its columns after a resize
    for (int i : {0, 1}) {
        auto *name = qobject_cast<QLabel *>(grid->cardAt(i)->property("nameLabel").value<QObject *>());
        QVERIFY(name);
        QCOMPARE(name->text(), order.photos.at(i).img_name);
        QVERIFY2(name->height() >= name->heightForWidth(name->width()),
                 qPrintable(QStringLiteral("%1 < %2").arg(name->height()).arg(name->heightForWidth(name->width()))));
        QCOMPARE(name->visibleRegion().boundingRect(), name->rect());
    }
}

void TestTfHomeOrders::largeSearchFillsAcrossTurns_data()
{
    QTest::addColumn<int>("pick");
    // A row whose order is in when it is chosen, and one still to come.
    QTest::newRow("filled row") << 1;
    QTest::newRow("row still empty") << 3999;
}

// Thousands of orders reach the table a slice per turn; a row chosen while
// they arrive is the order the table, the grid and the window see, then and
// when the last order is in.
void TestTfHomeOrders::largeSearchFillsAcrossTurns()
{
    QFETCH(int, pick);
    const int count = 4000;
    loadManyOrders(count);
    auto *panel = newPanel();
    auto *table = panel->orderListWidget();
    QTableWidget *view = table->tableWidget();
    QSignalSpy chosen(panel, &tfhomeorders::orderSelChanged);

    // Right after the first slice, on the next turn of the event loop.
    int addedWhenPicked = -1;
    bool fillingWhenPicked = false;
    OrderInfo currentWhenPicked;
    QMetaObject::Connection once;
    once = connect(view->model(), &QAbstractItemModel::rowsInserted, this, [&]() {
        disconnect(once);
        QTimer::singleShot(0, this, [&]() {
            addedWhenPicked = table->orderCount();
            fillingWhenPicked = table->isFilling();
            view->selectRow(pick);
            currentWhenPicked = table->currentOrder();
        });
    });
    startKeywordSearch(panel, QString());
    QTRY_VERIFY_WITH_TIMEOUT(addedWhenPicked >= 0, 20000);
    QVERIFY(fillingWhenPicked);
    QVERIFY(addedWhenPicked > 0 && addedWhenPicked < count);
    QCOMPARE(view->rowCount(), count);
    if (pick < addedWhenPicked) {
        QCOMPARE(currentWhenPicked.orderpayforkey, QStringLiteral("DD%1").arg(100000 + pick));
        QCOMPARE(chosen.size(), 1);
    } else {
        // Nothing to show yet, and nothing said about it.
        QCOMPARE(currentWhenPicked.row, -1);
        QCOMPARE(chosen.size(), 0);
    }

    QTRY_COMPARE_WITH_TIMEOUT(table->orderCount(), count, 60000);
    QVERIFY(!table->isFilling());
    QCOMPARE(view->rowCount(), count);
    for (int row : {0, 1, 2000, count - 1}) {
        QCOMPARE(table->orderAt(row).row, row);
        QCOMPARE(table->orderAt(row).orderpayforkey, QStringLiteral("DD%1").arg(100000 + row));
        QVERIFY(table->cellText(row, QStringLiteral("客户姓名")).startsWith(QStringLiteral("客户%1/").arg(row)));
    }
    const QString wanted = QString::number(100000 + pick);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view->selectionModel()->selectedRows().first().row(), pick);
    QCOMPARE(table->currentOrder().order_photo_id, wanted);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.last().at(0).toInt(), pick);
    QCOMPARE(chosen.last().at(1).value<OrderInfo>().order_photo_id, wanted);
    QCOMPARE(panel->photoDisplayWidget()->shownOrder().order_photo_id, wanted);
    // Its buttons come with the order.
    view->scrollToBottom();
    QTRY_VERIFY(view->cellWidget(count - 1, 6));
}

// A second search while the first one's orders are still arriving: the
// table ends with the second search's orders only, and stays so.
void TestTfHomeOrders::newSearchReplacesRunningFill()
{
    const int count = 4000;
    loadManyOrders(count);
    auto *panel = newPanel();
    auto *table = panel->orderListWidget();
    QTableWidget *view = table->tableWidget();

    // The second search goes out as soon as the first one's rows are made.
    // The service answers on this thread too: the first fill's rows are
    // slowed down until the second answer replaces them, so that it is
    // still running then, however fast the machine.
    int addedWhenReplaced = -1;
    int added = 0;
    bool slow = true;
    connect(view->model(), &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &topLeft) {
        if (!slow || topLeft.column() != 0)
            return;
        added = table->orderCount();
        QThread::msleep(1);
    });
    QMetaObject::Connection started;
    started = connect(view->model(), &QAbstractItemModel::rowsInserted, this, [&]() {
        disconnect(started);
        QTimer::singleShot(0, this, [&]() { startKeywordSearch(panel, QStringLiteral("DD10000")); });
    });
    QMetaObject::Connection removed;
    removed = connect(view->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, [&]() {
        disconnect(removed);
        slow = false;
        addedWhenReplaced = added;
    });
    startKeywordSearch(panel, QString());
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kOrderList).size(), 2, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(idle(panel) && !table->isFilling(), 20000);
    QVERIFY2(addedWhenReplaced > 0 && addedWhenReplaced < count, qPrintable(QString::number(addedWhenReplaced)));

    // Longer than the first fill would have taken to end.
    QTest::qWait(500);
    QCOMPARE(table->orderCount(), 10);
    QCOMPARE(view->rowCount(), 10);
    for (int row = 0; row < 10; ++row) {
        QCOMPARE(table->orderAt(row).row, row);
        QCOMPARE(table->orderAt(row).orderpayforkey, QStringLiteral("DD%1").arg(100000 + row));
        QCOMPARE(table->cellText(row, QStringLiteral("订单号")).section(QLatin1Char('-'), 0, 0),
                 QStringLiteral("DD%1").arg(100000 + row));
    }
    view->selectRow(9);
    QCOMPARE(table->currentOrder().orderpayforkey, QStringLiteral("DD100009"));
    QCOMPARE(panel->photoDisplayWidget()->shownOrder().orderpayforkey, QStringLiteral("DD100009"));
}

void TestTfHomeOrders::demoOrdersSearchable()
{
    const QString data = QFINDTESTDATA("../fakeservice/demo-data.json");
    QVERIFY(!data.isEmpty());
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const auto restore = qScopeGuard([&]() { qputenv("HOME", oldHome); });
    QVERIFY(m_fake.loadModelFile(data));
    g_shopList.clear();
    for (const QJsonValue &value : m_fake.modelStore().list(QStringLiteral("shops"))) {
        const QJsonObject shop = value.toObject();
        g_shopList.append(ShopInfo{shop.value(QStringLiteral("id")).toString(),
                                   shop.value(QStringLiteral("name")).toString(), QString()});
    }
    auto *panel = newPanel();
    search(panel);
    auto *table = panel->orderListWidget();
    QCOMPARE(table->orderCount(), 3);
    const QString shared = home.path() + QStringLiteral("/velquora_demo/照片库/旗舰店");
    QVERIFY(QFileInfo(shared).isDir());
    QCOMPARE(table->orderAt(0).publicImportPath, shared);
    QCOMPARE(table->orderAt(0).orderpayforkey, QStringLiteral("DD20240315001"));
    QCOMPARE(table->orderAt(0).photos.size(), 3);
    QVERIFY(PathUtil::isInside(PathUtil::toFs(OrderPicks::targetFolder(table->orderAt(0))), shared));
    QVERIFY(PathUtil::isInside(PathUtil::toFs(OrderPicks::targetFolder(table->orderAt(2))), shared));
    QVERIFY(table->orderAt(2).importPath.startsWith(shared + QStringLiteral("/单独目录/")));
}

// Leaves a picture of a searched panel beside the other test pictures, for
// a look at the layout.
void TestTfHomeOrders::renderPanel()
{
    auto *panel = newPanel();
    panel->resize(1400, 800);
    search(panel);
    panel->orderListWidget()->tableWidget()->selectRow(0);
    QCoreApplication::processEvents();
    const QImage picture = panel->grab().toImage();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(QDir::tempPath() + QStringLiteral("/velquora_tfhomeorders.png")));
}

QTEST_MAIN(TestTfHomeOrders)
#include "tst_tfhomeorders.moc"
