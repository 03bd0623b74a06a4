#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/orderservice.h"
#include "batchdelete/batchdelete.h"
#include "batchdelete/batchdelete_filelistwidget.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/batchdeletefilemodel.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "batchdelete/jobs/filescanthread.h"
#include "choosetools/choosetools.h"
#include "choosetools/toolcardwidget.h"
#include "batchdelete/batchlogindialog.h"
#include "public/glasswidgets.h"
#include "public/datepopup.h"
#include "public/elementbutton.h"
#include "public/fullscreenloading.h"
#include "public/simpledialog.h"
#include "public/toastwidget.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/login/loginfixture.h"
#include "tests/public/widgetrender.h"
#include "tests/support/batchdeletefixture.h"
#include "tests/support/widgetprobe.h"

using BatchDeleteFixture::filesBelow;
using BatchDeleteFixture::writeFiles;

namespace {

const QString kSwitch = QStringLiteral("&m=public&a=switch_shop");
const QString kOrderList = QStringLiteral("&m=order&a=order_list");
const QString kBefore = QStringLiteral("&m=order&a=delete_pic_before");
const QString kAfter = QStringLiteral("&m=order&a=delete_pic_after");

// The buttons of the search bar, by their text.
ElementButton *buttonOf(BatchDelete *window, const QString &text)
{
    for (ElementButton *button : window->findChildren<ElementButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QCheckBox *rowBox(BatchDelete_OrderListWidget *panel, int row)
{
    return panel->table()->cellWidget(row, panel->column(QStringLiteral("选择")))->findChild<QCheckBox *>();
}

// The toasts standing over the window now (one fading out may still be
// its child a moment longer).
QStringList shownToasts(QWidget *window)
{
    QStringList texts;
    for (ToastWidget *toast : window->findChildren<ToastWidget *>()) {
        if (toast->isVisible())
            texts << toast->findChild<QLabel *>()->text();
    }
    return texts;
}

QStringList toSorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

// The batch-delete window end to end against the in-process order service
// and real folder trees: search, tick, confirm the account, delete.
class TestBatchDelete : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void searchAndRights();
    void searchEdges();
    void startNeedsRightAndOrders();
    void lateSearchReplyIsIgnored();
    void branchChosenButNotSearched();
    void deletesEverythingAndConfirmsEach();
    void confirmationRefusedThenSentAgainOrGivenUp();
    void hostileFolders_data();
    void hostileFolders();
    void foldersOfOtherOrders_data();
    void foldersOfOtherOrders();
    void fileReportedTwice();
    void panelScansStayOutOfTheRun();
    void endBoxSaysWhatHappened_data();
    void endBoxSaysWhatHappened();
    void filePanelShowsRunStates();
    void tablesFitTheWindow_data();
    void tablesFitTheWindow();
    void largeSearchArrivesInSlices();
    void newSearchDuringRun();
    void announcementRefusalStopsRun_data();
    void announcementRefusalStopsRun();
    void closeDuringRun();
    void closeAsksHoldsThenClosesDown();
    void chooserCardOpensWindow();
    void renderWindow();

private:
    BatchDelete *openWindow();
    void search(BatchDelete *window, int expectedRows);
    // Start, confirm the account with the right password, and wait for the
    // run to end; returns the text of the box that ends it.
    QString runDeletion(BatchDelete *window);
    bool startAndConfirm(BatchDelete *window);
    QStringList confirmedPaths(const QString &orderPhotoId) const;
    QStringList confirmedRequestPaths() const;
    QString folder(const QString &name) const { return m_root.filePath(name); }
    QString commonRoot() const { return m_root.path(); }

    std::unique_ptr<BoxRecorder> m_boxes;
    FakeOrderService m_fake;
    QTemporaryDir m_root;
    QTemporaryDir m_dataDir;
    QList<QPointer<QWidget>> m_windows;
};

void TestBatchDelete::initTestCase()
{
    useOwnConfigFolder();
    QVERIFY(m_root.isValid());
    QVERIFY(m_dataDir.isValid());
    g_dataDir = m_dataDir.path() + QStringLiteral("/");
    QVERIFY(m_fake.start(FakeOrderService::Mode::Http));
    g_indexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(3000);
}

void TestBatchDelete::init()
{
    m_boxes.reset();
    m_boxes.reset(new BoxRecorder);
    m_fake.clearRequests();
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.loadModel(FakeModel::testData());
    BatchDeleteFixture::setOrders(m_fake, {});
    g_userId = QStringLiteral("501");
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()},
                  ShopInfo{QStringLiteral("12"), QStringLiteral("二号店"), QString()}};
    QVERIFY(writeCredentials("username=tester\nremember=0\n"));
    for (const QString &entry : QDir(m_root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString path = m_root.filePath(entry);
        if (QFileInfo(path).isSymLink() || QFileInfo(path).isFile())
            QFile::remove(path);
        else
            QDir(path).removeRecursively();
    }
}

void TestBatchDelete::cleanup()
{
    for (const QPointer<QWidget> &window : qAsConst(m_windows))
        delete window.data();
    m_windows.clear();
    for (BatchLoginDialog *dialog : WidgetProbe::topLevels<BatchLoginDialog>())
        delete dialog;
    for (SimpleDialog *dialog : WidgetProbe::topLevels<SimpleDialog>())
        delete dialog;
}

void TestBatchDelete::cleanupTestCase()
{
    m_boxes.reset();
    removeConfigFolder();
}

BatchDelete *TestBatchDelete::openWindow()
{
    auto *window = new BatchDelete;
    m_windows.append(window);
    window->resize(1400, 800);
    window->show();
    return window;
}

void TestBatchDelete::search(BatchDelete *window, int expectedRows)
{
    const int before = m_fake.requestsFor(kOrderList).size();
    QTest::mouseClick(buttonOf(window, QStringLiteral("搜索")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kOrderList).size(), before + 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderPanel()->table()->rowCount(), expectedRows, 5000);
}

bool TestBatchDelete::startAndConfirm(BatchDelete *window)
{
    QTest::mouseClick(buttonOf(window, QStringLiteral("开始批量删除")), Qt::LeftButton);
    const QList<BatchLoginDialog *> dialogs = WidgetProbe::topLevels<BatchLoginDialog>();
    if (dialogs.size() != 1 || dialogs.first()->parentWidget() != window)
        return false;
    BatchLoginDialog *dialog = dialogs.first();
    GlassLineEdit *password = nullptr;
    for (GlassLineEdit *edit : dialog->findChildren<GlassLineEdit *>()) {
        if (edit->placeholderText() == QStringLiteral("密码"))
            password = edit;
    }
    if (!password)
        return false;
    for (const QChar c : QStringLiteral("secret"))
        QTest::sendKeyEvent(QTest::Click, password, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog, &enter);
    return QTest::qWaitFor([]() { return WidgetProbe::topLevels<BatchLoginDialog>().isEmpty(); }, 5000);
}

QString TestBatchDelete::runDeletion(BatchDelete *window)
{
    const int boxesBefore = m_boxes->boxes.size();
    if (!startAndConfirm(window))
        return QStringLiteral("<the account was not confirmed>");
    if (!QTest::qWaitFor([&]() { return m_boxes->boxes.size() > boxesBefore; }, 30000))
        return QStringLiteral("<the run did not end>");
    return m_boxes->boxes.last().text;
}

QStringList TestBatchDelete::confirmedPaths(const QString &orderPhotoId) const
{
    QStringList paths;
    for (const QJsonValue &order : m_fake.model().value(QStringLiteral("orders")).toArray()) {
        if (order.toObject().value(QStringLiteral("order_photo_id")).toString() != orderPhotoId)
            continue;
        for (const QJsonValue &value : order.toObject().value(QStringLiteral("deletedPics")).toArray())
            paths << value.toObject().value(QStringLiteral("picpath")).toString();
    }
    paths.sort();
    return paths;
}

QStringList TestBatchDelete::confirmedRequestPaths() const
{
    QStringList paths;
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kAfter))
        paths << request.field(QStringLiteral("picpath"));
    paths.sort();
    return paths;
}

void TestBatchDelete::searchAndRights()
{
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", folder("A2"), commonRoot()),
                                           BatchDeleteFixture::order("70003", "A3", folder("A3"), commonRoot())});
    BatchDelete *window = openWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("批量删除"));
    // Nothing is asked before the first search.
    QVERIFY(m_fake.requests().isEmpty());
    search(window, 3);
    QCOMPARE(m_fake.requestsFor(kSwitch).first().body, QByteArray("shopid=11&token=") + g_token.toUtf8()
                                                          + "&version=" + g_version.toUtf8() + "&architecture="
                                                          + g_architecture.toUtf8() + "&uid=501&device=windows");
    const FakeOrderService::Request list = m_fake.requestsFor(kOrderList).first();
    QCOMPARE(list.field(QStringLiteral("searchtype")), QStringLiteral("1"));
    QCOMPARE(list.field(QStringLiteral("eid")), QStringLiteral("7001"));
    QCOMPARE(list.field(QStringLiteral("personid")), QStringLiteral("7001"));
    QCOMPARE(list.field(QStringLiteral("superid")), QStringLiteral("9001"));
    QVERIFY(list.body.contains("&role7id=&ratio=90&"));
    QCOMPARE(window->orderPanel()->orderCountLabel()->text(), QStringLiteral("    共3个订单"));
    QCOMPARE(window->deleteRight(), 1);

    // A branch without the right: both tables emptied, no search.
    QJsonArray shops = m_fake.modelStore().list(QStringLiteral("shops"));
    QJsonObject second = shops.at(1).toObject();
    second.insert(QStringLiteral("is_all_del_photo"), 0);
    shops.replace(1, second);
    m_fake.modelStore().setList(QStringLiteral("shops"), shops);
    window->findChildren<QComboBox *>().first()->setCurrentIndex(1);
    m_fake.clearRequests();
    QTest::mouseClick(buttonOf(window, QStringLiteral("搜索")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderPanel()->orderCountLabel()->text(), QStringLiteral("暂无权限操作批量删除"),
                              5000);
    QCOMPARE(window->orderPanel()->table()->rowCount(), 0);
    QCOMPARE(m_fake.requestsFor(kSwitch).first().field(QStringLiteral("shopid")), QStringLiteral("12"));
    QVERIFY(m_fake.requestsFor(kOrderList).isEmpty());
    QCOMPARE(window->deleteRight(), 0);
    // Searched, and the branch has no right: that is what the start says.
    QTest::mouseClick(buttonOf(window, QStringLiteral("开始批量删除")), Qt::LeftButton);
    QVERIFY(WidgetProbe::toastTexts(window).contains(QStringLiteral("暂无权限操作")));
    QVERIFY(WidgetProbe::topLevels<BatchLoginDialog>().isEmpty());

    // The right as the text "1" is no right either.
    m_fake.setHandler(kSwitch, [](const FakeOrderService::Request &) {
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                           {QStringLiteral("is_all_del_photo"), QStringLiteral("1")},
                           {QStringLiteral("EID"), QStringLiteral("7001")},
                           {QStringLiteral("SUPERID"), QStringLiteral("9001")}};
    });
    window->orderPanel()->orderCountLabel()->clear();
    QTest::mouseClick(buttonOf(window, QStringLiteral("搜索")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderPanel()->orderCountLabel()->text(), QStringLiteral("暂无权限操作批量删除"),
                              5000);
    QVERIFY(m_boxes->boxes.isEmpty());
}

void TestBatchDelete::searchEdges()
{
    QJsonObject closed = BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot());
    closed.insert(QStringLiteral("fulfil_time"), QStringLiteral("2024-03-05 10:00:00"));
    BatchDeleteFixture::setOrders(m_fake, {closed, BatchDeleteFixture::order("70002", "B2", folder("B2"), commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 2);

    // By closing date: the date, not the keyword, goes out.
    auto *keyword = window->findChild<QLineEdit *>();
    keyword->setText(QStringLiteral("B2"));
    window->findChildren<QComboBox *>().at(1)->setCurrentIndex(1);
    QVERIFY(keyword->isHidden());
    auto *date = window->findChild<QDateEdit *>();
    QVERIFY(!date->isHidden());
    date->setDate(QDate(2024, 3, 5));
    search(window, 1);
    const FakeOrderService::Request byDate = m_fake.requestsFor(kOrderList).last();
    QCOMPARE(byDate.field(QStringLiteral("keyword")), QStringLiteral("2024-03-05"));
    QCOMPARE(byDate.field(QStringLiteral("searchtype")), QStringLiteral("6"));
    QCOMPARE(window->orderPanel()->allOrders().first().orderpayforkey, QStringLiteral("A1"));
    QCOMPARE(keyword->text(), QStringLiteral("B2"));

    // Nothing found: a box, and the table keeps what it showed.
    date->setDate(QDate(2020, 1, 1));
    QTest::mouseClick(buttonOf(window, QStringLiteral("搜索")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->texts(), QStringList{QStringLiteral("未检索到订单")}, 5000);
    QCOMPARE(window->orderPanel()->table()->rowCount(), 1);

    // Enter in the keyword box searches too.
    window->findChildren<QComboBox *>().at(1)->setCurrentIndex(0);
    keyword->setText(QStringLiteral("B2"));
    QTest::keyClick(keyword, Qt::Key_Return);
    // The old row stays until the answer comes; then the table is emptied
    // at once and filled in a later turn.
    const auto firstOrder = [window]() {
        const QList<BatchDeleteOrderInfo> orders = window->orderPanel()->allOrders();
        return orders.isEmpty() ? QString() : orders.first().orderpayforkey;
    };
    QTRY_COMPARE_WITH_TIMEOUT(firstOrder(), QStringLiteral("B2"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderPanel()->table()->rowCount(), 1, 5000);

    // An account with no shop: the window says what to do when it opens,
    // and again at 搜索, which asks the service nothing.
    g_shopList.clear();
    m_boxes->boxes.clear();
    m_fake.clearRequests();
    BatchDelete *empty = openWindow();
    QCOMPARE(empty->findChildren<QComboBox *>().first()->count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->texts(), QStringList{OrderService::noShopText()}, 5000);
    QCOMPARE(m_boxes->boxes.first().title, QStringLiteral("温馨提示"));
    QTest::mouseClick(buttonOf(empty, QStringLiteral("搜索")), Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), (QStringList{OrderService::noShopText(), OrderService::noShopText()}));
    QTest::keyClick(empty->findChild<QLineEdit *>(), Qt::Key_Return);
    QCOMPARE(m_boxes->boxes.size(), 3);
    QTest::qWait(200);
    QVERIFY(m_fake.requests().isEmpty());
}

void TestBatchDelete::startNeedsRightAndOrders()
{
    QVERIFY(writeFiles(folder("A1"), {"a.jpg"}));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot())});
    BatchDelete *window = openWindow();
    // No search yet: the toast names what is missing, not a right.
    QTest::mouseClick(buttonOf(window, QStringLiteral("开始批量删除")), Qt::LeftButton);
    QCOMPARE(WidgetProbe::toastTexts(window), QStringList{QStringLiteral("请先搜索订单")});
    QVERIFY(WidgetProbe::topLevels<BatchLoginDialog>().isEmpty());
    search(window, 1);
    QTest::mouseClick(buttonOf(window, QStringLiteral("开始批量删除")), Qt::LeftButton);
    QVERIFY(WidgetProbe::toastTexts(window).contains(QStringLiteral("请选择要删除的订单!")));
    QVERIFY(WidgetProbe::topLevels<BatchLoginDialog>().isEmpty());

    // Cancelling the account check changes nothing.
    window->orderPanel()->selectAllBox()->setChecked(true);
    QTest::mouseClick(buttonOf(window, QStringLiteral("开始批量删除")), Qt::LeftButton);
    QCOMPARE(WidgetProbe::topLevels<BatchLoginDialog>().size(), 1);
    WidgetProbe::topLevels<BatchLoginDialog>().first()->handleCancel();
    QTRY_VERIFY_WITH_TIMEOUT(WidgetProbe::topLevels<BatchLoginDialog>().isEmpty(), 3000);
    QVERIFY(buttonOf(window, QStringLiteral("开始批量删除"))->isEnabled());
    QVERIFY(m_fake.requestsFor(kBefore).isEmpty());
    QCOMPARE(filesBelow(folder("A1")), QStringList{"a.jpg"});
}

void TestBatchDelete::lateSearchReplyIsIgnored()
{
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot()),
                                           BatchDeleteFixture::order("70002", "B2", folder("B2"), commonRoot())});
    BatchDelete *window = openWindow();
    auto *keyword = window->findChild<QLineEdit *>();
    // The first search's answer is slow; a second search overtakes it.
    m_fake.setFault(kOrderList, FakeOrderService::Fault::Delay, QString(), 600);
    keyword->setText(QStringLiteral("A1"));
    QTest::keyClick(keyword, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kOrderList).size(), 1, 5000);
    m_fake.clearFaults();
    keyword->setText(QStringLiteral("B2"));
    QTest::keyClick(keyword, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderPanel()->allOrders().size(), 1, 5000);
    QCOMPARE(window->orderPanel()->allOrders().first().orderpayforkey, QStringLiteral("B2"));

    // A request sent now with the same delay is answered after the late
    // one: by then the late answer has come and gone.
    m_fake.setFault(kOrderList, FakeOrderService::Fault::Delay, QString(), 600);
    BaseReq barrier;
    bool answered = false;
    barrier.post(kOrderList, "shopid=11", [&answered](bool, const QJsonDocument &) { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 5000);
    QCOMPARE(window->orderPanel()->allOrders().size(), 1);
    QCOMPARE(window->orderPanel()->allOrders().first().orderpayforkey, QStringLiteral("B2"));
}

void TestBatchDelete::branchChosenButNotSearched()
{
    QVERIFY(writeFiles(folder("A1"), {"a.jpg"}));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 1);
    window->orderPanel()->selectAllBox()->setChecked(true);
    // Another branch picked, not searched: the orders on screen are still
    // the first branch's, and so is every request of the run.
    window->findChildren<QComboBox *>().first()->setCurrentIndex(1);
    QCOMPARE(runDeletion(window), QStringLiteral("全部删除完成！"));
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kBefore) + m_fake.requestsFor(kAfter))
        QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
    QCOMPARE(confirmedPaths(QStringLiteral("70001")), QStringList{folder("A1") + "/a.jpg"});
}

void TestBatchDelete::deletesEverythingAndConfirmsEach()
{
    const QStringList first{"合同.pdf", "原片/IMG_0001.jpg", "原片/IMG_0002.jpg", "原片/a&b+c%d.jpg", "精修/海边 001.jpg"};
    QVERIFY(writeFiles(folder("A1-1 张伟"), first));
    // Deeper than the scan goes, and hidden: left alone.
    QVERIFY(writeFiles(folder("A1-1 张伟"), {"原片/备份/old.jpg", ".thumbs.db"}));
    QStringList second;
    for (int i = 0; i < 7; ++i)
        second << QStringLiteral("DSC_%1.jpg").arg(i);
    QVERIFY(writeFiles(folder("A2-1"), second));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1-1 张伟"), commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", folder("A2-1"), commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 2);
    window->orderPanel()->selectAllBox()->setChecked(true);

    const QString summary = runDeletion(window);
    QCOMPARE(summary, QStringLiteral("全部删除完成！"));
    QCOMPARE(m_boxes->boxes.last().icon, QMessageBox::Information);
    // The toast of the account check is gone once the box stands: it
    // would cover the box's text.
    QVERIFY(shownToasts(window).isEmpty());

    QCOMPARE(filesBelow(folder("A1-1 张伟")), (QStringList{".thumbs.db", "原片/备份/old.jpg"}));
    QVERIFY(filesBelow(folder("A2-1")).isEmpty());

    // Announced once per order, in scan order, then every file confirmed
    // with the path the announcement named.
    const auto announced = m_fake.requestsFor(kBefore);
    QCOMPARE(announced.size(), 2);
    QCOMPARE(announced.at(0).field(QStringLiteral("order_photo_id")), QStringLiteral("70001"));
    const QJsonArray pics = QJsonDocument::fromJson(announced.at(0).field(QStringLiteral("pics")).toUtf8()).array();
    QStringList announcedPaths;
    for (const QJsonValue &pic : pics)
        announcedPaths << pic.toObject().value(QStringLiteral("picpath")).toString();
    QStringList expectedFirst;
    for (const QString &file : first)
        expectedFirst << folder("A1-1 张伟") + QLatin1Char('/') + file;
    QCOMPARE(toSorted(announcedPaths), toSorted(expectedFirst));
    QCOMPARE(confirmedPaths(QStringLiteral("70001")), toSorted(expectedFirst));
    QCOMPARE(confirmedPaths(QStringLiteral("70002")).size(), 7);
    QCOMPARE(m_fake.requestsFor(kAfter).size(), 12);
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kAfter)) {
        QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
        QCOMPARE(request.field(QStringLiteral("eid")), QStringLiteral("7001"));
    }

    // The table counts, the controls are back.
    const auto counter = [window](int row) {
        BatchDelete_OrderListWidget *panel = window->orderPanel();
        return panel->table()
            ->cellWidget(row, panel->column(QStringLiteral("成功/失败/总数")))
            ->findChild<QLabel *>(QStringLiteral("numLab"))
            ->text();
    };
    QCOMPARE(counter(0), QStringLiteral("5/0/5"));
    QCOMPARE(counter(1), QStringLiteral("7/0/7"));
    QVERIFY(buttonOf(window, QStringLiteral("开始批量删除"))->isEnabled());
    QVERIFY(buttonOf(window, QStringLiteral("搜索"))->isEnabled());
    QVERIFY(window->orderPanel()->selectAllBox()->isEnabled());
    // Each order's scanner went as soon as its result was in.
    QTRY_VERIFY_WITH_TIMEOUT(window->deleteRun()->findChildren<FileScanThread *>().isEmpty(), 5000);

    // A second run in the same window: the folders are empty now, and the
    // box says so.
    m_fake.clearRequests();
    QCOMPARE(runDeletion(window), QStringLiteral("删除结束：已删除 0 个文件\n\n以下订单目录中没有文件，无需删除：\n"
                                                 "订单 A1-1\n订单 A2-1"));
    QCOMPARE(m_boxes->boxes.last().icon, QMessageBox::Information);
    QVERIFY(m_fake.requestsFor(kBefore).isEmpty());
    QVERIFY(m_fake.requestsFor(kAfter).isEmpty());
    QCOMPARE(filesBelow(folder("A1-1 张伟")), (QStringList{".thumbs.db", "原片/备份/old.jpg"}));
}

void TestBatchDelete::confirmationRefusedThenSentAgainOrGivenUp()
{
    QVERIFY(writeFiles(folder("A1"), {"again.jpg", "given-up.jpg", "plain.jpg"}));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot())});
    m_fake.modelStore().setList(
        QStringLiteral("deleteAfterRefusals"),
        QJsonArray{QJsonObject{{"picname", "again.jpg"}, {"times", 1}, {"message", QStringLiteral("服务器繁忙")}},
                   QJsonObject{{"picname", "given-up.jpg"}, {"times", 99}, {"message", QStringLiteral("订单已归档")}}});
    BatchDelete *window = openWindow();
    search(window, 1);
    window->orderPanel()->selectAllBox()->setChecked(true);
    const int boxesBefore = m_boxes->boxes.size();
    QVERIFY(startAndConfirm(window));

    // One question per refused confirmation; the answers decide.
    QSet<QString> answered;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&]() {
            for (SimpleDialog *dialog : WidgetProbe::topLevels<SimpleDialog>()) {
                const QString text = dialog->findChild<QTextBrowser *>()->toPlainText();
                QString button;
                if (text == QStringLiteral("服务器繁忙，需要继续提交吗？"))
                    button = QStringLiteral("确定");
                else if (text == QStringLiteral("订单已归档，需要继续提交吗？"))
                    button = QStringLiteral("取消");
                for (QPushButton *push : dialog->findChildren<QPushButton *>()) {
                    if (!button.isEmpty() && push->text() == button && push->isVisible()) {
                        answered.insert(text);
                        push->click();
                        break;
                    }
                }
            }
            return answered.size() == 2;
        }(),
        15000);
    QTRY_VERIFY_WITH_TIMEOUT(m_boxes->boxes.size() > boxesBefore, 15000);
    const QString summary = m_boxes->boxes.last().text;
    QVERIFY2(summary.contains(QStringLiteral("另有 1 个文件已删除，但删除信息未提交")), qPrintable(summary));
    // Nothing stayed on disk: no count of files not deleted.
    QVERIFY2(!summary.contains(QStringLiteral("个文件未删除")), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("已删除 2 个文件")), qPrintable(summary));
    QCOMPARE(m_boxes->boxes.last().icon, QMessageBox::Warning);

    // Every file is gone from the disk; the given-up one is not confirmed.
    QVERIFY(filesBelow(folder("A1")).isEmpty());
    QCOMPARE(confirmedPaths(QStringLiteral("70001")),
             (QStringList{folder("A1") + "/again.jpg", folder("A1") + "/plain.jpg"}));
    int givenUpRequests = 0;
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kAfter))
        givenUpRequests += request.field(QStringLiteral("picname")) == QLatin1String("given-up.jpg");
    QCOMPARE(givenUpRequests, 1);
    const BatchDeleteOrderInfo record = window->deleteRun()->order(QStringLiteral("70001"));
    QCOMPARE(record.failedFiles.size(), 1);
    QCOMPARE(record.failedFiles.first().status, int(BatchDeleteFileStatus::SubmitFailed));

    // A failed request asks as well, with its own text.
    QVERIFY(writeFiles(folder("A1"), {"late.jpg"}));
    m_fake.setFault(kAfter, FakeOrderService::Fault::Http500);
    QVERIFY(startAndConfirm(window));
    QTRY_VERIFY_WITH_TIMEOUT(!WidgetProbe::topLevels<SimpleDialog>().isEmpty(), 15000);
    SimpleDialog *question = WidgetProbe::topLevels<SimpleDialog>().first();
    QCOMPARE(question->findChild<QTextBrowser *>()->toPlainText(), QStringLiteral("删除信息提交失败，需要继续提交吗？"));
    m_fake.clearFaults();
    for (QPushButton *push : question->findChildren<QPushButton *>()) {
        if (push->text() == QStringLiteral("确定"))
            push->click();
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->boxes.value(m_boxes->boxes.size() - 1).text, QStringLiteral("全部删除完成！"), 15000);
    QVERIFY(confirmedPaths(QStringLiteral("70001")).contains(folder("A1") + "/late.jpg"));
}

void TestBatchDelete::hostileFolders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("linked folder inside the order folder") << "linked folder";
    QTest::newRow("linked file inside the order folder") << "linked file";
    QTest::newRow("netpath /") << "root";
    QTest::newRow("netpath empty") << "empty";
    QTest::newRow("netpath relative") << "relative";
    QTest::newRow("netpath a share root") << "share root";
    QTest::newRow("netpath the branch's common root") << "common root";
    QTest::newRow("folder removed mid-run") << "removed";
    QTest::newRow("locked file") << "locked";
    QTest::newRow("file the account may not delete") << "read-only";
    QTest::newRow("folder missing") << "missing";
}

void TestBatchDelete::hostileFolders()
{
    QFETCH(QString, kind);

    QTemporaryDir outside;
    QVERIFY(writeFiles(outside.path(), {"keep/a.jpg", "keep/b.jpg", "target.jpg"}));
    const QString order = folder("A1-1");
    QVERIFY(writeFiles(order, {"top.jpg", "原片/IMG_0001.jpg", "原片/IMG_0002.jpg"}));
    QVERIFY(writeFiles(folder("A2-1"), {"other.jpg"}));
    const QStringList orderFiles{order + "/top.jpg", order + "/原片/IMG_0001.jpg", order + "/原片/IMG_0002.jpg"};
    auto probe = std::make_shared<ScriptedProbe>();
    probe->confinedTo = m_root.path();

    QString netpath = order;
    QStringList confirmed = orderFiles;
    QStringList survivors = BatchDeleteFixture::filesBelow(outside.path());
    QString reason;
    bool announced = true;
    int fd = -1;
    QMetaObject::Connection removal;

    if (kind == QLatin1String("linked folder")) {
        // Not entered and not deleted: it stays, so the folder is not emptied.
        QVERIFY(QFile::link(outside.filePath("keep"), order + "/linked"));
        reason = QStringLiteral("订单 A1-1：1 个文件未删除（链接）");
    } else if (kind == QLatin1String("linked file")) {
        // Listed, never deleted: removing the link would leave the file it
        // stands for.
        QVERIFY(QFile::link(outside.filePath("target.jpg"), order + "/link.jpg"));
        reason = QStringLiteral("共 1 个文件未删除");
    } else if (kind == QLatin1String("root")) {
        netpath = QStringLiteral("/");
        reason = QStringLiteral("根目录");
    } else if (kind == QLatin1String("empty")) {
        netpath.clear();
        reason = QStringLiteral("订单目录为空");
    } else if (kind == QLatin1String("relative")) {
        netpath = QStringLiteral("A1-1");
        reason = QStringLiteral("不是绝对路径");
    } else if (kind == QLatin1String("share root")) {
        netpath = QStringLiteral("\\\\nas\\photos");
        reason = QStringLiteral("共享的根目录");
    } else if (kind == QLatin1String("common root")) {
        netpath = commonRoot();
        reason = QStringLiteral("公共目录");
    } else if (kind == QLatin1String("missing")) {
        netpath = folder("gone");
        reason = QStringLiteral("目录不存在: ") + folder("gone");
    } else if (kind == QLatin1String("removed")) {
        // The subfolder goes (a share drops) after the scan, before deleting.
        m_fake.setFault(kBefore, FakeOrderService::Fault::Delay, QString(), 300);
        removal = connect(&m_fake, &FakeOrderService::requestReceived, this,
                          [order](const FakeOrderService::Request &request) {
                              if (request.action() == kBefore)
                                  QDir(order + "/原片").removeRecursively();
                          });
        confirmed = QStringList{order + "/top.jpg"};
        reason = QStringLiteral("共 2 个文件未删除");
    } else if (kind == QLatin1String("locked")) {
        fd = ::open(QFile::encodeName(order + "/top.jpg").constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        confirmed.removeOne(order + "/top.jpg");
        reason = QStringLiteral("共 1 个文件未删除");
    } else if (kind == QLatin1String("read-only")) {
        probe->readOnly.insert(order + "/原片/IMG_0002.jpg");
        confirmed.removeOne(order + "/原片/IMG_0002.jpg");
        reason = QStringLiteral("共 1 个文件未删除");
    }
    // A folder that is refused or missing has nothing confirmed.
    if (!reason.isEmpty() && netpath != order)
        confirmed.clear();
    if (netpath != order)
        announced = false;

    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", netpath, commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", folder("A2-1"), commonRoot())});
    BatchDelete *window = openWindow();
    window->setFileProbe(probe);
    search(window, 2);
    window->orderPanel()->selectAllBox()->setChecked(true);
    const QString summary = runDeletion(window);
    if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
    disconnect(removal);

    // Nothing outside the order folders was touched, nothing there removed.
    QCOMPARE(BatchDeleteFixture::filesBelow(outside.path()), survivors);
    QCOMPARE(probe->removalsOutside(), QStringList());
    // Only what was deleted is confirmed.
    QStringList confirmedNow = confirmedPaths(QStringLiteral("70001"));
    QCOMPARE(confirmedNow, toSorted(confirmed));
    for (const QString &path : confirmedNow)
        QVERIFY2(!QFileInfo::exists(path) && !QFileInfo(path).isSymLink(), qPrintable(path));
    QCOMPARE(m_fake.requestsFor(kBefore).size(), announced ? 2 : 1);
    // The other order is deleted either way.
    QCOMPARE(confirmedPaths(QStringLiteral("70002")), QStringList{folder("A2-1") + "/other.jpg"});

    if (reason.isEmpty()) {
        QCOMPARE(summary, QStringLiteral("全部删除完成！"));
    } else {
        QVERIFY2(summary.contains(reason), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("A1-1")), qPrintable(summary));
        QCOMPARE(m_boxes->boxes.last().icon, QMessageBox::Warning);
    }
    if (kind == QLatin1String("common root") || kind == QLatin1String("relative") || kind == QLatin1String("root"))
        QCOMPARE(BatchDeleteFixture::filesBelow(order).size(), 3);
    if (kind == QLatin1String("linked file"))
        QVERIFY(QFileInfo(order + "/link.jpg").isSymLink());
    QVERIFY(buttonOf(window, QStringLiteral("开始批量删除"))->isEnabled());
}

void TestBatchDelete::foldersOfOtherOrders_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("reason");
    // The demo's layout: the service sends the root of every order's folder
    // as the branch's common root.
    QTest::newRow("the branch's common root") << "" << "公共目录";
    // No common root names it: only the search tells.
    QTest::newRow("the parent of another order's folder") << "shop" << "包含订单 A2-1 的目录";
}

// An order whose folder holds the folders of the search's other orders:
// the file panel does not list it as that order's files, and a run refuses
// it before anything is deleted, also the second time.
void TestBatchDelete::foldersOfOtherOrders()
{
    QFETCH(QString, parent);
    QFETCH(QString, reason);

    const QString parentFolder = parent.isEmpty() ? commonRoot() : folder(parent);
    const QString child = parentFolder + "/A2-1 王芳";
    QVERIFY(writeFiles(parentFolder, {"P.jpg", "原片/P1.jpg"}));
    QVERIFY(writeFiles(child, {"合同.pdf", "原片/IMG_0001.jpg"}));
    const QStringList before = filesBelow(m_root.path());
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "P1", parentFolder, commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", child, commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 2);
    BatchDelete_OrderListWidget *panel = window->orderPanel();
    BatchDelete_FileListWidget *files = window->filePanel();

    panel->table()->selectRow(0);
    QTRY_VERIFY_WITH_TIMEOUT(files->countText().contains(reason), 5000);
    QCOMPARE(files->model()->rowCount(), 0);
    QCOMPARE(files->scanCount(), 0);
    QVERIFY(!window->findChild<FullScreenLoading *>());
    // The other order's folder is listed as usual.
    panel->table()->selectRow(1);
    QTRY_COMPARE_WITH_TIMEOUT(files->model()->rowCount(), 2, 5000);

    rowBox(panel, 0)->setChecked(true);
    for (int pass = 1; pass <= 2; ++pass) {
        m_fake.clearRequests();
        const QString summary = runDeletion(window);
        QVERIFY2(summary.contains(QStringLiteral("订单 P1-1 未删除")) && summary.contains(reason), qPrintable(summary));
        QCOMPARE(m_boxes->boxes.last().icon, QMessageBox::Warning);
        QVERIFY(m_fake.requestsFor(kBefore).isEmpty());
        QVERIFY(m_fake.requestsFor(kAfter).isEmpty());
        QCOMPARE(filesBelow(m_root.path()), before);
    }

    // Refreshing the shown order does not list it either.
    panel->table()->selectRow(0);
    QTRY_VERIFY_WITH_TIMEOUT(files->countText().contains(reason), 5000);
    files->findChild<ElementButton *>()->click();
    QCOMPARE(files->scanCount(), 0);
    QVERIFY(files->countText().contains(reason));
    QCOMPARE(files->model()->rowCount(), 0);
}

void TestBatchDelete::fileReportedTwice()
{
    QVERIFY(writeFiles(folder("A1"), {"a.jpg", "b.jpg", "c.jpg"}));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 1);
    window->orderPanel()->selectAllBox()->setChecked(true);
    BatchDeleteRun *run = window->deleteRun();
    // Every result arrives a second time, and a stale one for a file that
    // is not being deleted.
    int echoes = 0;
    connect(run, &BatchDeleteRun::fileFinished, this,
            [run, &echoes](const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file) {
                ++echoes;
                run->onDeleteFileFinish(order, file);
                BatchDeleteFileInfo stale = file;
                stale.index = 2;
                run->onDeleteFileFinish(order, stale);
            });
    const QString summary = runDeletion(window);
    QCOMPARE(summary, QStringLiteral("全部删除完成！"));
    QCOMPARE(echoes, 3);
    QCOMPARE(m_fake.requestsFor(kAfter).size(), 3);
    const BatchDeleteOrderInfo record = run->order(QStringLiteral("70001"));
    QCOMPARE(record.successFiles.size(), 3);
    QVERIFY(record.failedFiles.isEmpty());
    BatchDelete_OrderListWidget *panel = window->orderPanel();
    QCOMPARE(panel->table()
                 ->cellWidget(0, panel->column(QStringLiteral("成功/失败/总数")))
                 ->findChild<QLabel *>(QStringLiteral("numLab"))
                 ->text(),
             QStringLiteral("3/0/3"));
}

void TestBatchDelete::panelScansStayOutOfTheRun()
{
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("s%1/f%2.jpg").arg(i % 30).arg(i);
    QVERIFY(writeFiles(folder("A1"), {"a.jpg", "b.jpg"}));
    QVERIFY(writeFiles(folder("A2"), many));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", folder("A2"), commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 2);
    BatchDelete_OrderListWidget *panel = window->orderPanel();
    panel->selectAllBox()->setChecked(true);
    // A look at the second order's folder is under way when the run starts:
    // it is stopped, and its overlay goes.
    panel->table()->selectRow(1);
    QCOMPARE(window->filePanel()->scanCount(), 1);
    QVERIFY(startAndConfirm(window));
    QCOMPARE(window->filePanel()->scanCount(), 0);

    // A list of the second order's folder handed up while the run deletes
    // that order leaves the run's counters alone.
    bool injected = false;
    connect(window->deleteRun(), &BatchDeleteRun::fileFinished, this,
            [window, &injected](const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &) {
                if (injected || order.order_photo_id != QLatin1String("70002"))
                    return;
                injected = true;
                emit window->filePanel()->refreshOrderFiles(QStringLiteral("70002"), {});
            });
    QTRY_VERIFY_WITH_TIMEOUT(!m_boxes->boxes.isEmpty(), 30000);
    QCOMPARE(m_boxes->boxes.last().text, QStringLiteral("全部删除完成！"));
    QVERIFY(injected);
    QCOMPARE(panel->table()
                 ->cellWidget(1, panel->column(QStringLiteral("成功/失败/总数")))
                 ->findChild<QLabel *>(QStringLiteral("numLab"))
                 ->text(),
             QStringLiteral("300/0/300"));
    QVERIFY(filesBelow(folder("A2")).isEmpty());

    // Once the run is over, a fresh look stores its list again.
    emit window->filePanel()->refreshOrderFiles(QStringLiteral("70002"), {});
    QCOMPARE(panel->table()
                 ->cellWidget(1, panel->column(QStringLiteral("成功/失败/总数")))
                 ->findChild<QLabel *>(QStringLiteral("numLab"))
                 ->text(),
             QStringLiteral("0/0/0"));
}

void TestBatchDelete::endBoxSaysWhatHappened_data()
{
    // Per order, in table order: "files" (a.jpg, and b.jpg the account may
    // not delete), "one" (x.jpg), "empty" (a folder without files) or
    // "missing" (no folder). %1 is the missing folder.
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("warning");
    QTest::newRow("everything deleted") << QStringList{"one", "one"} << QStringLiteral("全部删除完成！") << false;
    QTest::newRow("folder missing") << QStringList{"missing", "one"}
                                    << QStringLiteral("删除结束：已删除 1 个文件\n"
                                                      "共 1 个订单未删除\n\n"
                                                      "以下订单未删除：\n"
                                                      "订单 A1-1 未删除：目录不存在: %1")
                                    << true;
    QTest::newRow("folder already empty") << QStringList{"empty", "one"}
                                          << QStringLiteral("删除结束：已删除 1 个文件\n\n"
                                                            "以下订单目录中没有文件，无需删除：\n"
                                                            "订单 A1-1")
                                          << false;
    QTest::newRow("every folder already empty") << QStringList{"empty", "empty"}
                                                << QStringLiteral("删除结束：已删除 0 个文件\n\n"
                                                                  "以下订单目录中没有文件，无需删除：\n"
                                                                  "订单 A1-1\n订单 A2-1")
                                                << false;
    QTest::newRow("a file not deleted") << QStringList{"files", "one"}
                                        << QStringLiteral("删除结束：已删除 2 个文件\n"
                                                          "共 1 个文件未删除\n\n"
                                                          "以下订单未能全部删除：\n"
                                                          "订单 A1-1：1 个文件未删除")
                                        << true;
    QTest::newRow("all of it") << QStringList{"missing", "empty", "files"}
                               << QStringLiteral("删除结束：已删除 1 个文件\n"
                                                 "共 1 个文件未删除\n"
                                                 "共 1 个订单未删除\n\n"
                                                 "以下订单未删除：\n"
                                                 "订单 A1-1 未删除：目录不存在: %1\n\n"
                                                 "以下订单未能全部删除：\n"
                                                 "订单 A3-1：1 个文件未删除\n\n"
                                                 "以下订单目录中没有文件，无需删除：\n"
                                                 "订单 A2-1")
                               << true;
}

// The box at the end of a run counts what happened to each order, and the
// same case, set up again, reads the same in a second run in the window.
void TestBatchDelete::endBoxSaysWhatHappened()
{
    QFETCH(QStringList, kinds);
    QFETCH(QString, expected);
    QFETCH(bool, warning);

    auto probe = std::make_shared<ScriptedProbe>();
    probe->confinedTo = m_root.path();
    QList<QJsonObject> orders;
    QString missing;
    for (int i = 0; i < kinds.size(); ++i) {
        const QString number = QStringLiteral("A%1").arg(i + 1);
        const QString path = folder(number + QStringLiteral("-1"));
        if (kinds.at(i) == QLatin1String("missing"))
            missing = path;
        if (kinds.at(i) == QLatin1String("files"))
            probe->readOnly.insert(path + QStringLiteral("/b.jpg"));
        orders << BatchDeleteFixture::order(QString::number(70001 + i), number, path, commonRoot());
    }
    if (!missing.isEmpty())
        expected = expected.arg(missing);
    BatchDeleteFixture::setOrders(m_fake, orders);
    BatchDelete *window = openWindow();
    window->setFileProbe(probe);
    search(window, kinds.size());

    for (int pass = 1; pass <= 2; ++pass) {
        for (int i = 0; i < kinds.size(); ++i) {
            const QString path = folder(QStringLiteral("A%1-1").arg(i + 1));
            const QString &kind = kinds.at(i);
            if (kind == QLatin1String("files"))
                QVERIFY(writeFiles(path, {"a.jpg", "b.jpg"}));
            else if (kind == QLatin1String("one"))
                QVERIFY(writeFiles(path, {"x.jpg"}));
            else if (kind == QLatin1String("empty"))
                QVERIFY(QDir().mkpath(path));
        }
        window->orderPanel()->selectAllBox()->setChecked(true);
        const QString summary = runDeletion(window);
        QCOMPARE(summary, expected);
        QCOMPARE(m_boxes->boxes.last().icon, warning ? QMessageBox::Warning : QMessageBox::Information);
        if (!missing.isEmpty())
            QVERIFY(!QFileInfo::exists(missing));
    }
}

// After a run the file panel shows each listed file's new state, without
// a refresh: the deleted ones as deleted, the one that stayed as failed.
void TestBatchDelete::filePanelShowsRunStates()
{
    const QString order = folder("A1-1");
    QVERIFY(writeFiles(order, {"a.jpg", "b.jpg", "c.jpg"}));
    auto probe = std::make_shared<ScriptedProbe>();
    probe->confinedTo = m_root.path();
    probe->readOnly.insert(order + "/b.jpg");
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", order, commonRoot())});
    BatchDelete *window = openWindow();
    window->setFileProbe(probe);
    search(window, 1);
    BatchDelete_FileListWidget *files = window->filePanel();
    const auto states = [files]() {
        QStringList shown;
        for (int row = 0; row < files->model()->rowCount(); ++row)
            shown << files->model()->index(row, 0).data().toString() + QLatin1Char(' ')
                    + files->model()->index(row, 3).data().toString();
        return shown;
    };

    // The panel lists the folder before the run.
    window->orderPanel()->table()->selectRow(0);
    QTRY_COMPARE_WITH_TIMEOUT(states(), (QStringList{"a.jpg 未删除", "b.jpg 未删除", "c.jpg 未删除"}), 5000);
    window->orderPanel()->selectAllBox()->setChecked(true);
    QVERIFY(runDeletion(window).contains(QStringLiteral("共 1 个文件未删除")));
    QCOMPARE(states(), (QStringList{"a.jpg 已删除", "b.jpg 未知", "c.jpg 已删除"}));
    QCOMPARE(filesBelow(order), QStringList{"b.jpg"});

    // A second run lists what is left, and shows its state too.
    QVERIFY(runDeletion(window).contains(QStringLiteral("共 1 个文件未删除")));
    QCOMPARE(states(), QStringList{"b.jpg 未知"});
    QCOMPARE(files->countText(), QStringLiteral("共 1 个文件"));
}

void TestBatchDelete::tablesFitTheWindow_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1366x768") << QSize(1366, 740);
    QTest::newRow("1600x1000") << QSize(1600, 970);
    QTest::newRow("1920x1080") << QSize(1920, 1050);
}

// At the screen sizes studios use, the columns a user acts on are on
// screen without scrolling sideways: the order table's check boxes and
// counters, the file table's size and status, whole; the text columns give
// way first, and keep their widths where there is room.
void TestBatchDelete::tablesFitTheWindow()
{
    QFETCH(QSize, size);
    const QString order = folder("BD20240601-1 张伟李娜婚纱照");
    QVERIFY(writeFiles(order, {"原片婚纱外景/IMG_20240601_000001.jpg", "精修/IMG_20240601_000002.jpg"}));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "BD20240601", order, commonRoot())});
    BatchDelete *window = openWindow();
    window->resize(size);
    search(window, 1);
    window->orderPanel()->table()->selectRow(0);
    BatchDelete_FileListWidget *files = window->filePanel();
    QTRY_COMPARE_WITH_TIMEOUT(files->model()->rowCount(), 2, 5000);
    QCoreApplication::processEvents();

    const auto wholeOnScreen = [](QTableView *table, int column) {
        const int left = table->columnViewportPosition(column);
        return left >= 0 && left + table->columnWidth(column) <= table->viewport()->width();
    };
    QTableView *fileTable = files->table();
    QVERIFY(!fileTable->horizontalScrollBar()->isVisible());
    QVERIFY2(wholeOnScreen(fileTable, 3), qPrintable(QString::number(fileTable->viewport()->width())));
    QVERIFY(wholeOnScreen(fileTable, 2));
    // The file's name, which tells the rows apart, keeps its date and
    // number: the path and the room the status leaves gave way before it.
    QVERIFY2(fileTable->columnWidth(0) > fileTable->fontMetrics().horizontalAdvance(QStringLiteral("IMG_20240601")),
             qPrintable(QString::number(fileTable->columnWidth(0))));
    // The status shown fits its column.
    const int statusText = fileTable->fontMetrics().horizontalAdvance(QStringLiteral("未删除"));
    QVERIFY(fileTable->columnWidth(3) > statusText);
    QTableWidget *orderTable = window->orderPanel()->table();
    QVERIFY(!orderTable->horizontalScrollBar()->isVisible());
    BatchDelete_OrderListWidget *panel = window->orderPanel();
    QVERIFY(wholeOnScreen(orderTable, panel->column(QStringLiteral("选择"))));
    QVERIFY(wholeOnScreen(orderTable, panel->column(QStringLiteral("成功/失败/总数"))));
    QVERIFY(wholeOnScreen(orderTable, panel->column(QStringLiteral("订单号"))));
    K *k = K::instance();
    QCOMPARE(orderTable->columnWidth(panel->column(QStringLiteral("成功/失败/总数"))), k->scale(170));
    if (size.width() >= 1920) {
        // Room enough: the order table's widths as designed.
        QCOMPARE(orderTable->columnWidth(panel->column(QStringLiteral("客户姓名"))), k->scale(100));
    }
    // The closing date and time whole, at every size; the file table's
    // last header too.
    const int dateColumn = panel->column(QStringLiteral("结单日期"));
    const QString closed = orderTable->item(0, dateColumn)->text();
    QCOMPARE(closed.size(), 19);
    QVERIFY2(orderTable->columnWidth(dateColumn) > orderTable->fontMetrics().horizontalAdvance(closed) + k->scale(8),
             qPrintable(QString::number(orderTable->columnWidth(dateColumn))));
    QVERIFY(wholeOnScreen(orderTable, dateColumn));
    QVERIFY2(fileTable->columnWidth(4) >= fileTable->horizontalHeader()->sectionSizeHint(4),
             qPrintable(QString::number(fileTable->columnWidth(4))));

    // A failed state is wider than "未删除": its column makes room for it.
    BatchDeleteFileInfo locked = files->model()->file(0);
    locked.status = BatchDeleteFileStatus::Locked;
    files->updateFile(files->currentOrder(), locked);
    QCoreApplication::processEvents();
    QVERIFY(wholeOnScreen(fileTable, 3));
    QVERIFY(fileTable->columnWidth(3)
            > fileTable->fontMetrics().horizontalAdvance(files->model()->index(0, 3).data().toString()));
}

// A search of many orders adds its rows over several turns of the event
// loop. Meanwhile the start waits for the whole list, "全选" covers the rows
// still to come, and a new search drops the rows of the old one.
void TestBatchDelete::largeSearchArrivesInSlices()
{
    QList<QJsonObject> orders;
    for (int i = 0; i < 1500; ++i)
        orders << BatchDeleteFixture::order(QString::number(71000 + i), QStringLiteral("M%1").arg(i, 4, 10, QLatin1Char('0')),
                                            folder(QStringLiteral("M%1").arg(i)), commonRoot());
    orders << BatchDeleteFixture::order("79999", "Z9", folder("Z9"), commonRoot());
    BatchDeleteFixture::setOrders(m_fake, orders);
    BatchDelete *window = openWindow();
    BatchDelete_OrderListWidget *panel = window->orderPanel();

    for (int pass = 1; pass <= 2; ++pass) {
        QTest::mouseClick(buttonOf(window, QStringLiteral("搜索")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(panel->isFilling(), 10000);
        QVERIFY(panel->table()->rowCount() < 1501);
        QTest::mouseClick(buttonOf(window, QStringLiteral("开始批量删除")), Qt::LeftButton);
        QVERIFY(WidgetProbe::toastTexts(window).contains(QStringLiteral("订单加载中，请稍候")));
        QVERIFY(WidgetProbe::topLevels<BatchLoginDialog>().isEmpty());
        panel->selectAllBox()->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isFilling(), 60000);
        QCOMPARE(panel->table()->rowCount(), 1501);
        QCOMPARE(panel->getCheckedOrders().size(), 1501);
        QCOMPARE(panel->selectAllBox()->checkState(), Qt::Checked);
        QCOMPARE(panel->allOrders().last().order_photo_id, QStringLiteral("79999"));
        QCOMPARE(panel->allOrders().at(700).row, 700);

        // A new search while the rows arrive: only its own rows stay.
        auto *keyword = window->findChild<QLineEdit *>();
        keyword->clear();
        QTest::mouseClick(buttonOf(window, QStringLiteral("搜索")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(panel->isFilling(), 10000);
        keyword->setText(QStringLiteral("Z9"));
        QTest::keyClick(keyword, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(panel->allOrders().size() == 1
                                     && panel->allOrders().first().order_photo_id == QLatin1String("79999"),
                                 10000);
        QTest::qWait(300);
        QCOMPARE(panel->table()->rowCount(), 1);
        QCOMPARE(panel->allOrders().first().order_photo_id, QStringLiteral("79999"));
        QVERIFY(!panel->isFilling());
        keyword->clear();
    }
}

void TestBatchDelete::newSearchDuringRun()
{
    QVERIFY(writeFiles(folder("A1"), {"a.jpg", "b.jpg"}));
    QVERIFY(writeFiles(folder("A2"), {"c.jpg", "d.jpg", "e.jpg"}));
    QJsonObject otherShop = BatchDeleteFixture::order("70009", "C9", folder("C9"), commonRoot());
    otherShop.insert(QStringLiteral("shopid"), QStringLiteral("12"));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", folder("A2"), commonRoot()), otherShop});
    QVERIFY(writeFiles(folder("C9"), {"keep.jpg"}));
    m_fake.setFault(kBefore, FakeOrderService::Fault::Delay, QString(), 400);

    BatchDelete *window = openWindow();
    search(window, 2);
    window->orderPanel()->selectAllBox()->setChecked(true);
    const int boxesBefore = m_boxes->boxes.size();
    QVERIFY(startAndConfirm(window));
    QTRY_VERIFY_WITH_TIMEOUT(!m_fake.requestsFor(kBefore).isEmpty(), 5000);
    QVERIFY(!buttonOf(window, QStringLiteral("开始批量删除"))->isEnabled());
    QVERIFY(!window->orderPanel()->selectAllBox()->isEnabled());

    // A look at the second order's folder while the run goes on.
    BatchDelete_OrderListWidget *panel = window->orderPanel();
    panel->table()->selectRow(1);
    QTRY_COMPARE_WITH_TIMEOUT(window->filePanel()->model()->rowCount(), 3, 5000);

    // Another branch searched mid-run: the table now shows its order.
    window->findChildren<QComboBox *>().first()->setCurrentIndex(1);
    QTest::keyClick(window->findChild<QLineEdit *>(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(panel->allOrders().size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(panel->allOrders().value(0).order_photo_id, QStringLiteral("70009"), 5000);

    QTRY_VERIFY_WITH_TIMEOUT(m_boxes->boxes.size() > boxesBefore, 20000);
    QCOMPARE(m_boxes->boxes.last().text, QStringLiteral("全部删除完成！"));
    // Everything the run sent carries the branch it started with.
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kBefore) + m_fake.requestsFor(kAfter)) {
        QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
        QCOMPARE(request.field(QStringLiteral("eid")), QStringLiteral("7001"));
    }
    QCOMPARE(m_fake.requestsFor(kAfter).size(), 5);
    QVERIFY(filesBelow(folder("A1")).isEmpty());
    QVERIFY(filesBelow(folder("A2")).isEmpty());
    QCOMPARE(filesBelow(folder("C9")), QStringList{"keep.jpg"});
    // The new branch's row was never touched by the run.
    QCOMPARE(panel->table()
                 ->cellWidget(0, panel->column(QStringLiteral("成功/失败/总数")))
                 ->findChild<QLabel *>(QStringLiteral("numLab"))
                 ->text(),
             QStringLiteral("0/0/0"));
    QVERIFY(buttonOf(window, QStringLiteral("开始批量删除"))->isEnabled());
    QVERIFY(panel->selectAllBox()->isEnabled());
}

void TestBatchDelete::announcementRefusalStopsRun_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("message");
    QTest::newRow("service refuses") << true << "订单已锁定";
    QTest::newRow("request fails") << false << "提交数据失败!";
}

void TestBatchDelete::announcementRefusalStopsRun()
{
    QFETCH(bool, refused);
    QFETCH(QString, message);

    QVERIFY(writeFiles(folder("A1"), {"a.jpg"}));
    QVERIFY(writeFiles(folder("A2"), {"b.jpg"}));
    QVERIFY(writeFiles(folder("A3"), {"c.jpg"}));
    QJsonObject second = BatchDeleteFixture::order("70002", "A2", folder("A2"), commonRoot());
    if (refused)
        second.insert(QStringLiteral("refuseDeleteBefore"), message);
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot()), second,
                                           BatchDeleteFixture::order("70003", "A3", folder("A3"), commonRoot())});
    BatchDelete *window = openWindow();
    search(window, 3);
    window->orderPanel()->selectAllBox()->setChecked(true);
    if (!refused) {
        // The second announcement fails on the way.
        connect(window->deleteRun(), &BatchDeleteRun::fileFinished, this, [this]() {
            m_fake.setFault(kBefore, FakeOrderService::Fault::Http500);
        });
    }
    QCOMPARE(runDeletion(window), message);
    QCOMPARE(m_boxes->boxes.last().icon, QMessageBox::Warning);
    QVERIFY(filesBelow(folder("A1")).isEmpty());
    QCOMPARE(filesBelow(folder("A2")), QStringList{"b.jpg"});
    QCOMPARE(filesBelow(folder("A3")), QStringList{"c.jpg"});
    QCOMPARE(m_fake.requestsFor(kBefore).size(), 2);
    QVERIFY(!window->deleteRun()->isRunning());
    QVERIFY(buttonOf(window, QStringLiteral("开始批量删除"))->isEnabled());
}

void TestBatchDelete::closeDuringRun()
{
    QStringList many;
    for (int i = 0; i < 20; ++i)
        many << QStringLiteral("f%1.jpg").arg(i);
    QVERIFY(writeFiles(folder("A1"), many));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1"), commonRoot())});
    m_fake.setFault(kAfter, FakeOrderService::Fault::Delay, QString(), 200);
    BatchDelete *window = openWindow();
    search(window, 1);
    window->orderPanel()->selectAllBox()->setChecked(true);
    QVERIFY(startAndConfirm(window));
    QTRY_VERIFY_WITH_TIMEOUT(!m_fake.requestsFor(kAfter).isEmpty(), 5000);
    QPointer<BatchDelete> guard(window);
    window->close();
    delete window;
    QVERIFY(guard.isNull());
    const QStringList remainingAtClose = filesBelow(folder("A1"));
    QVERIFY(!remainingAtClose.isEmpty());

    // Replies that come later reach nobody and start nothing: once a
    // request sent after them is answered, no further file has gone.
    BaseReq barrier;
    bool answered = false;
    barrier.post(kAfter, "shopid=11", [&answered](bool, const QJsonDocument &) { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 5000);
    QCOMPARE(filesBelow(folder("A1")), remainingAtClose);
}

// A close mid-run asks and holds the run while it asks: no file starts and
// no box comes. 否 goes on to the run's end box (the account check's toast
// gone by then). 是 lets the files under way finish, then the window goes:
// no end box, the order's folder says it is not finished.
void TestBatchDelete::closeAsksHoldsThenClosesDown()
{
    QStringList many;
    for (int i = 0; i < 16; ++i)
        many << QStringLiteral("f%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    QVERIFY(writeFiles(folder("A1-1"), many));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1-1"), commonRoot())});
    m_fake.setFault(kAfter, FakeOrderService::Fault::Delay, QString(), 100);
    BatchDelete *window = openWindow();
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<BatchDelete> guard(window);
    search(window, 1);
    window->orderPanel()->selectAllBox()->setChecked(true);
    QVERIFY(startAndConfirm(window));
    QCOMPARE(shownToasts(window), QStringList{QStringLiteral("验证成功！")});
    QTRY_VERIFY_WITH_TIMEOUT(m_fake.requestsFor(kAfter).size() >= 2, 10000);

    QStringList asked;
    m_boxes->onQuestion = [&]() {
        asked << m_boxes->boxes.last().text;
        // The toast would stand over the question.
        QVERIFY(shownToasts(window).isEmpty());
        const int left = filesBelow(folder("A1-1")).size();
        // The files under way settle (at most one a lane), then nothing
        // moves and no box comes.
        int held = left;
        for (int quiet = 0, round = 0; quiet < 3 && round < 30; ++round) {
            QTest::qWait(300);
            const int now = filesBelow(folder("A1-1")).size();
            quiet = now == held ? quiet + 1 : 0;
            held = now;
        }
        QVERIFY2(held >= left - 2 && held > 0, qPrintable(QString::number(held)));
        QCOMPARE(m_boxes->boxes.size(), int(asked.size()));
    };
    m_boxes->answers = {int(QMessageBox::No)};
    window->close();
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked.first().startsWith(QStringLiteral("订单A1-1的删除还在进行（已处理 ")), qPrintable(asked.first()));
    QVERIFY(guard);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->boxes.size(), 2, 20000);
    QCOMPARE(m_boxes->boxes.last().text, QStringLiteral("全部删除完成！"));
    QVERIFY(shownToasts(window).isEmpty());
    QVERIFY(filesBelow(folder("A1-1")).isEmpty());

    // 是: the window goes once the files under way are done.
    QVERIFY(writeFiles(folder("A1-1"), many));
    window->orderPanel()->table()->selectRow(0);
    QTRY_COMPARE_WITH_TIMEOUT(window->filePanel()->model()->rowCount(), many.size(), 5000);
    m_fake.clearRequests();
    QVERIFY(startAndConfirm(window));
    QTRY_VERIFY_WITH_TIMEOUT(m_fake.requestsFor(kAfter).size() >= 2, 10000);
    m_boxes->onQuestion = nullptr;
    m_boxes->answers = {int(QMessageBox::Yes)};
    const int boxesBefore = m_boxes->boxes.size();
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!guard, 10000);
    QCOMPARE(m_boxes->boxes.size(), boxesBefore + 1);
    const QStringList left = filesBelow(folder("A1-1"));
    QVERIFY(left.contains(QStringLiteral("删除未完成.txt")));
    QVERIFY(left.size() > 1);
    // Every file gone was confirmed: nothing deleted behind the service's back.
    QCOMPARE(m_fake.requestsFor(kAfter).size(), many.size() - (left.size() - 1));
}

void TestBatchDelete::chooserCardOpensWindow()
{
    ChooseTools chooser;
    chooser.loginData = QJsonObject{{QStringLiteral("UID"), QStringLiteral("501")}};
    chooser.show();
    ToolCardWidget *card = nullptr;
    for (ToolCardWidget *each : chooser.cards()) {
        if (each->title() == QStringLiteral("批量删除"))
            card = each;
    }
    QVERIFY(card);
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    auto *window = qobject_cast<BatchDelete *>(chooser.toolWindow(QStringLiteral("批量删除")));
    QVERIFY(window);
    m_windows.append(window);
    QCOMPARE(window->loginReply, chooser.loginData);
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    // A second double-click raises the same window.
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    QCOMPARE(chooser.toolWindow(QStringLiteral("批量删除")), window);
}

void TestBatchDelete::renderWindow()
{
    QVERIFY(writeFiles(folder("A1-1"), {"原片/IMG_0001.jpg", "原片/IMG_0002.jpg", "精修/IMG_0001.jpg"}));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", folder("A1-1"), commonRoot()),
                                           BatchDeleteFixture::order("70002", "A2", folder("A2-1"), commonRoot())});
    BatchDelete *window = openWindow();
    window->resize(1600, 900);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    search(window, 2);
    BatchDelete_OrderListWidget *panel = window->orderPanel();
    panel->table()->selectRow(0);
    QTRY_COMPARE_WITH_TIMEOUT(window->filePanel()->model()->rowCount(), 3, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<FullScreenLoading *>(), 3000);
    renderWidget(window, QStringLiteral("batchdelete_window"));

    // The date field opens the shared calendar.
    window->findChildren<QComboBox *>().at(1)->setCurrentIndex(1);
    QDateEdit *date = window->findChild<QDateEdit *>();
    window->datePicker()->open(date);
    QTRY_VERIFY_WITH_TIMEOUT(window->datePicker()->currentPopup() || date->calendarWidget()->isVisible(), 3000);
}

QTEST_MAIN(TestBatchDelete)
#include "tst_batchdelete.moc"
