#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "base/k.h"
#include "batchdelete/batchdelete_filelistwidget.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/batchdeletefilemodel.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "batchdelete/jobs/filescanthread.h"
#include "public/elementbutton.h"
#include "public/fullscreenloading.h"
#include "public/simpledialog.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/public/widgetrender.h"
#include "tests/support/batchdeletefixture.h"
#include "tests/support/widgetprobe.h"

namespace {

const QString kAfter = QStringLiteral("&m=order&a=delete_pic_after");

// The values of shop "11" of the fake's test data.
const BatchDeleteRequests::Branch kBranch{QStringLiteral("11"), QStringLiteral("7001"), QStringLiteral("9001")};

BatchDeleteOrderInfo makeOrder(const QString &id, const QString &number, const QString &mname, const QString &wname,
                               const QString &netpath = QString())
{
    BatchDeleteOrderInfo order;
    order.order_photo_id = id;
    order.orderpayforkey = number;
    order.servicetimes = QStringLiteral("2");
    order.mname = mname;
    order.wname = wname;
    order.role1 = QStringLiteral("郑摄影");
    order.fulfil_time = QStringLiteral("2024-05-07");
    order.netpath = netpath;
    return order;
}

QList<BatchDeleteFileInfo> makeFiles(int count)
{
    QList<BatchDeleteFileInfo> files;
    for (int i = 0; i < count; ++i) {
        BatchDeleteFileInfo file;
        file.fileName = QStringLiteral("%1.jpg").arg(QChar('a' + i));
        file.dirName = QStringLiteral("X");
        file.filePath = QStringLiteral("/srv/X/") + file.fileName;
        file.index = i;
        files << file;
    }
    return files;
}

BatchDeleteFileInfo withStatus(BatchDeleteFileInfo file, int status, const QString &message = QString())
{
    file.status = status;
    file.errorMessage = message;
    return file;
}

struct Counter
{
    QString text;
    bool barVisible = false;
    int value = 0;
    int maximum = 0;
    bool okVisible = false;
    bool failVisible = false;
};

Counter counterOf(BatchDelete_OrderListWidget &panel, int row)
{
    QWidget *cell = panel.table()->cellWidget(row, panel.column(QStringLiteral("成功/失败/总数")));
    Counter counter;
    if (!cell)
        return counter;
    counter.text = cell->findChild<QLabel *>(QStringLiteral("numLab"))->text();
    auto *bar = cell->findChild<QProgressBar *>(QStringLiteral("progressBar"));
    counter.barVisible = !bar->isHidden();
    counter.value = bar->value();
    counter.maximum = bar->maximum();
    counter.okVisible = !cell->findChild<ElementButton *>(QStringLiteral("checkOkBtn"))->isHidden();
    counter.failVisible = !cell->findChild<ElementButton *>(QStringLiteral("checkFailBtn"))->isHidden();
    return counter;
}

// Whether every scan the panel started has ended.
bool scansIdle(BatchDelete_FileListWidget &panel)
{
    for (FileScanThread *scan : panel.findChildren<FileScanThread *>()) {
        if (scan->isRunning())
            return false;
    }
    return true;
}

// What the panel's loading overlay says; empty without one.
QStringList overlayTexts(QWidget *panel)
{
    QStringList texts;
    if (FullScreenLoading *overlay = FullScreenLoading::instance(panel)) {
        for (QLabel *label : overlay->findChildren<QLabel *>())
            texts << label->text();
    }
    return texts;
}

QCheckBox *rowBox(BatchDelete_OrderListWidget &panel, int row)
{
    return panel.table()->cellWidget(row, panel.column(QStringLiteral("选择")))->findChild<QCheckBox *>();
}

// Runs the orders to their end on a run; false when it did not start or
// did not finish.
bool runToEnd(BatchDeleteRun &run, const QList<BatchDeleteOrderInfo> &orders)
{
    QSignalSpy finished(&run, &BatchDeleteRun::finished);
    return run.start(kBranch, orders) && QTest::qWaitFor([&finished]() { return !finished.isEmpty(); }, 30000);
}

// What the dialog of a counter cell's button says: its title and its list.
QPair<QString, QString> listDialog(BatchDelete_OrderListWidget &panel, int row, const QString &button)
{
    QWidget *cell = panel.table()->cellWidget(row, panel.column(QStringLiteral("成功/失败/总数")));
    cell->findChild<ElementButton *>(button)->click();
    const QList<SimpleDialog *> dialogs = WidgetProbe::topLevels<SimpleDialog>();
    if (dialogs.size() != 1)
        return {};
    QString title;
    for (QLabel *label : dialogs.first()->findChildren<QLabel *>()) {
        if (label->text().contains(QStringLiteral("的照片")))
            title = label->text();
    }
    const QString text = dialogs.first()->findChild<QTextBrowser *>()->toPlainText();
    delete dialogs.first();
    return {title, text};
}

} // namespace

// The order table and the file panel of the batch-delete window.
class TestBatchDeletePanels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void orderRows();
    void orderNumbersShowWhole_data();
    void orderNumbersShowWhole();
    void checkBoxesFollowEachOther();
    void counterStates();
    void fileListsInDialogs();
    void sharedIdActsOnFirst();
    void rowClickTellsTheWindow();

    void storedListShownAtOnce();
    void scanFillsPanel();
    void secondOrderCancelsFirstScan();
    void lookOverTakenByHandedList();
    void scanErrors();
    void cancelFromOverlay();
    void renderPanels();

private:
    // The orders as the fake service's orders and as the records of its
    // order list.
    QList<BatchDeleteOrderInfo> serviceOrders(const QList<QJsonObject> &orders);

    FakeOrderService m_fake;
    QTemporaryDir m_dataDir;
};

void TestBatchDeletePanels::initTestCase()
{
    QVERIFY(m_dataDir.isValid());
    QVERIFY(BatchDeleteFixture::startService(m_fake, m_dataDir.path()));
}

void TestBatchDeletePanels::init()
{
    BatchDeleteFixture::resetService(m_fake);
}

QList<BatchDeleteOrderInfo> TestBatchDeletePanels::serviceOrders(const QList<QJsonObject> &orders)
{
    BatchDeleteFixture::setOrders(m_fake, orders);
    QList<BatchDeleteOrderInfo> records;
    for (int i = 0; i < orders.size(); ++i)
        records << BatchDeleteOrderInfo::fromJson(orders.at(i), i);
    return records;
}

void TestBatchDeletePanels::cleanup()
{
    for (SimpleDialog *dialog : WidgetProbe::topLevels<SimpleDialog>())
        delete dialog;
}

void TestBatchDeletePanels::orderRows()
{
    BatchDelete_OrderListWidget panel;
    QSignalSpy clicked(&panel, &BatchDelete_OrderListWidget::singleOrderClicked);
    BatchDeleteOrderInfo one = makeOrder(QStringLiteral("1"), QStringLiteral("A1"), QString(), QStringLiteral("B"),
                                         QStringLiteral("/srv/A1"));
    one.checked = true;
    one.row = 9;
    panel.addOrderRow(one);
    panel.addOrderRow(makeOrder(QStringLiteral("2"), QStringLiteral("A2"), QStringLiteral("甲"), QStringLiteral("乙")));
    QCOMPARE(panel.table()->rowCount(), 2);
    QCOMPARE(panel.table()->columnCount(), 7);
    const auto text = [&panel](int row, const QString &title) {
        return panel.table()->item(row, panel.column(title))->text();
    };
    QCOMPARE(text(0, QStringLiteral("订单号")), QStringLiteral("A1-2"));
    QCOMPARE(text(0, QStringLiteral("客户姓名")), QStringLiteral("B"));
    QCOMPARE(text(1, QStringLiteral("客户姓名")), QStringLiteral("甲/乙"));
    QCOMPARE(text(0, QStringLiteral("摄影师")), QStringLiteral("郑摄影"));
    QCOMPARE(text(0, QStringLiteral("结单日期")), QStringLiteral("2024-05-07"));
    QCOMPARE(text(0, QStringLiteral("导片路径")), QStringLiteral("/srv/A1"));
    QCOMPARE(counterOf(panel, 0).text, QStringLiteral("0/0/0"));
    QVERIFY(!counterOf(panel, 0).barVisible);
    // The widget's own copy: not checked, row by position.
    QCOMPARE(panel.allOrders().at(0).row, 0);
    QVERIFY(panel.getCheckedOrders().isEmpty());
    QCOMPARE(rowBox(panel, 1)->property("row").toInt(), 1);
    QCOMPARE(clicked.count(), 0);
}

void TestBatchDeletePanels::orderNumbersShowWhole_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("short") << QStringLiteral("A1");
    QTest::newRow("studio number") << QStringLiteral("BD20240601001");
    QTest::newRow("long with letters") << QStringLiteral("WEDDING-2024-SUMMER-000123");
}

// The order number column keeps its first width for short numbers and
// grows for a studio's long ones, which it cut off (without an ellipsis).
void TestBatchDeletePanels::orderNumbersShowWhole()
{
    QFETCH(QString, number);
    BatchDelete_OrderListWidget panel;
    panel.resize(900, 500);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.addOrderRow(makeOrder(QStringLiteral("1"), number, QStringLiteral("张伟"), QStringLiteral("李娜")));
    QTableWidget *table = panel.table();
    const int column = panel.column(QStringLiteral("订单号"));
    const QString text = table->item(0, column)->text();
    QCOMPARE(text, number + QStringLiteral("-2"));
    // The cell as drawn (the grid line takes its last pixel) holds the
    // text, the item padding and the text margins on both sides.
    const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    const int needed = table->fontMetrics().horizontalAdvance(text) + 2 * K::instance()->scale(4) + 2 * margin;
    QVERIFY2(table->visualRect(table->model()->index(0, column)).width() >= needed,
             qPrintable(QStringLiteral("%1 < %2").arg(table->columnWidth(column)).arg(needed)));
    QVERIFY(table->columnWidth(column) >= K::instance()->scale(100));
}

void TestBatchDeletePanels::checkBoxesFollowEachOther()
{
    BatchDelete_OrderListWidget panel;
    QSignalSpy clicked(&panel, &BatchDelete_OrderListWidget::singleOrderClicked);
    QSignalSpy selection(&panel, &BatchDelete_OrderListWidget::orderSelectionChanged);
    for (int i = 0; i < 3; ++i)
        panel.addOrderRow(makeOrder(QString::number(i), QStringLiteral("A%1").arg(i), QString(), QString()));

    for (int i = 0; i < 3; ++i)
        rowBox(panel, i)->setChecked(true);
    QCOMPARE(panel.selectAllBox()->checkState(), Qt::Checked);
    rowBox(panel, 1)->setChecked(false);
    QCOMPARE(panel.selectAllBox()->checkState(), Qt::PartiallyChecked);
    QCOMPARE(panel.getCheckedOrders().size(), 2);
    rowBox(panel, 0)->setChecked(false);
    rowBox(panel, 2)->setChecked(false);
    QCOMPARE(panel.selectAllBox()->checkState(), Qt::Unchecked);

    panel.selectAllBox()->setChecked(true);
    const QList<BatchDeleteOrderInfo> all = panel.getCheckedOrders();
    QCOMPARE(all.size(), 3);
    QCOMPARE(all.at(2).order_photo_id, QStringLiteral("2"));
    QVERIFY(rowBox(panel, 2)->isChecked());
    panel.selectAllBox()->setChecked(false);
    QVERIFY(panel.getCheckedOrders().isEmpty());
    QVERIFY(!rowBox(panel, 0)->isChecked());

    panel.setCheckBoxesEnabled(false);
    QVERIFY(!panel.selectAllBox()->isEnabled());
    QVERIFY(!rowBox(panel, 1)->isEnabled());
    panel.setCheckBoxesEnabled(true);
    QVERIFY(rowBox(panel, 1)->isEnabled());

    panel.selectAllBox()->setChecked(true);
    panel.clearOrders();
    QCOMPARE(panel.table()->rowCount(), 0);
    QCOMPARE(panel.selectAllBox()->checkState(), Qt::Unchecked);
    QVERIFY(panel.getCheckedOrders().isEmpty());
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(selection.count(), 0);
}

// The counters of the rows a real run deletes: the panel reads the run's
// records, while each file goes and once the order is done.
void TestBatchDeletePanels::counterStates()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("A1"));
    const QString second = dir.filePath(QStringLiteral("A2"));
    QVERIFY(BatchDeleteFixture::writeFiles(first, {"a.jpg", "b.jpg", "c.jpg"}));
    QVERIFY(BatchDeleteFixture::writeFiles(second, {"a.jpg"}));
    const QList<BatchDeleteOrderInfo> orders =
        serviceOrders({BatchDeleteFixture::order(QStringLiteral("1"), QStringLiteral("A1"), first, dir.path()),
                       BatchDeleteFixture::order(QStringLiteral("2"), QStringLiteral("A2"), second, dir.path())});
    BatchDelete_OrderListWidget panel;
    panel.show();
    for (const BatchDeleteOrderInfo &order : orders)
        panel.addOrderRow(order);
    BatchDeleteRun run;
    auto probe = std::make_shared<ScriptedProbe>();
    probe->readOnly.insert(first + QStringLiteral("/b.jpg"));
    run.setFileProbe(probe);
    panel.followRun(&run);

    // The first row when its files are announced, the state its record
    // gives each file being deleted, and the row after each result.
    QList<Counter> announced;
    QList<int> deleting;
    QList<Counter> results;
    connect(&run, &BatchDeleteRun::orderFilesAnnounced, this, [&](const BatchDeleteOrderInfo &order) {
        if (order.order_photo_id == QLatin1String("1"))
            announced << counterOf(panel, 0);
    });
    connect(&run, &BatchDeleteRun::fileDeleting, this,
            [&](const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file) {
                if (order.order_photo_id == QLatin1String("1"))
                    deleting << panel.orderAt(0).allFiles.at(file.index).status;
            });
    connect(&run, &BatchDeleteRun::fileFinished, this, [&](const BatchDeleteOrderInfo &order) {
        if (order.order_photo_id == QLatin1String("1"))
            results << counterOf(panel, 0);
    });
    QVERIFY(runToEnd(run, orders));

    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.first().text, QStringLiteral("0/0/3"));
    QVERIFY(!announced.first().barVisible && !announced.first().okVisible && !announced.first().failVisible);
    QCOMPARE(announced.first().maximum, 3);
    QCOMPARE(deleting, (QList<int>{BatchDeleteFileStatus::Deleting, BatchDeleteFileStatus::Deleting,
                                   BatchDeleteFileStatus::Deleting}));
    QCOMPARE(results.size(), 3);
    for (int i = 0; i < 2; ++i) {
        // Under way: the bar counts, no list is offered yet.
        const QStringList counts = results.at(i).text.split(QLatin1Char('/'));
        QCOMPARE(counts.at(0).toInt() + counts.at(1).toInt(), i + 1);
        QCOMPARE(counts.at(2), QStringLiteral("3"));
        QVERIFY(results.at(i).barVisible);
        QCOMPARE(results.at(i).value, i + 1);
        QVERIFY(!results.at(i).okVisible && !results.at(i).failVisible);
    }
    Counter c = counterOf(panel, 0);
    QCOMPARE(c.text, QStringLiteral("2/1/3"));
    QVERIFY(!c.barVisible);
    QVERIFY(c.okVisible && c.failVisible);
    QCOMPARE(panel.orderAt(0).allFiles.at(1).status, int(BatchDeleteFileStatus::NoPermission));
    QCOMPARE(panel.orderAt(0).allFiles.at(1).errorMessage, QStringLiteral("没有删除权限"));
    // The panel's own rows hold no copy of the run's files.
    QVERIFY(panel.allOrders().at(0).allFiles.isEmpty());

    // All deleted: only the success list is offered.
    c = counterOf(panel, 1);
    QCOMPARE(c.text, QStringLiteral("1/0/1"));
    QVERIFY(c.okVisible && !c.failVisible && !c.barVisible);

    // A look at the folder returns the row to its files-known state.
    panel.updateOrderFiles(QStringLiteral("1"), makeFiles(3));
    c = counterOf(panel, 0);
    QCOMPARE(c.text, QStringLiteral("0/0/3"));
    QVERIFY(!c.okVisible && !c.failVisible && !c.barVisible);
    QCOMPARE(panel.orderAt(0).allFiles.at(1).status, int(BatchDeleteFileStatus::NotDeleted));

    // A look at an order that has no row changes nothing.
    panel.updateOrderFiles(QStringLiteral("9"), makeFiles(1));
    QCOMPARE(counterOf(panel, 0).text, QStringLiteral("0/0/3"));
    QCOMPARE(counterOf(panel, 1).text, QStringLiteral("1/0/1"));
}

// The lists behind a done row's buttons are the run's; a later batch that
// finds the folder empty leaves them as they were.
void TestBatchDeletePanels::fileListsInDialogs()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("X"));
    QVERIFY(BatchDeleteFixture::writeFiles(folder, {"a.jpg", "b.jpg"}));
    const QList<BatchDeleteOrderInfo> orders =
        serviceOrders({BatchDeleteFixture::order(QStringLiteral("1"), QStringLiteral("A1"), folder, dir.path())});
    BatchDelete_OrderListWidget panel;
    panel.show();
    panel.addOrderRow(orders.first());
    BatchDeleteRun run;
    auto probe = std::make_shared<ScriptedProbe>();
    probe->readOnly.insert(folder + QStringLiteral("/b.jpg"));
    run.setFileProbe(probe);
    panel.followRun(&run);

    for (int pass = 1; pass <= 2; ++pass) {
        QVERIFY(runToEnd(run, orders));
        QCOMPARE(counterOf(panel, 0).text, QStringLiteral("1/1/2"));
        const QPair<QString, QString> failed = listDialog(panel, 0, QStringLiteral("checkFailBtn"));
        QCOMPARE(failed.first, QStringLiteral("A1-1 删除失败的照片"));
        QCOMPARE(failed.second, QStringLiteral("\nX/b.jpg: 没有删除权限"));
        const QPair<QString, QString> deleted = listDialog(panel, 0, QStringLiteral("checkOkBtn"));
        QCOMPARE(deleted.first, QStringLiteral("A1-1 删除成功的照片"));
        QCOMPARE(deleted.second, QStringLiteral("\nX/a.jpg"));
        // Nothing left for the second batch to find.
        if (pass == 1)
            QVERIFY(QFile::remove(folder + QStringLiteral("/b.jpg")));
    }
    QCOMPARE(panel.orderAt(0).allFiles.size(), 2);
}

void TestBatchDeletePanels::sharedIdActsOnFirst()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("A1"));
    QVERIFY(BatchDeleteFixture::writeFiles(folder, {"a.jpg", "b.jpg"}));
    const QList<BatchDeleteOrderInfo> orders =
        serviceOrders({BatchDeleteFixture::order(QStringLiteral("7"), QStringLiteral("A1"), folder, dir.path())});
    BatchDelete_OrderListWidget panel;
    panel.addOrderRow(makeOrder(QStringLiteral("7"), QStringLiteral("A1"), QString(), QString()));
    panel.addOrderRow(makeOrder(QStringLiteral("7"), QStringLiteral("A2"), QString(), QString()));
    // A look goes to the first row of the id, and so do the run's files.
    panel.updateOrderFiles(QStringLiteral("7"), makeFiles(2));
    QCOMPARE(panel.allOrders().at(0).allFiles.size(), 2);
    QCOMPARE(panel.allOrders().at(1).allFiles.size(), 0);
    BatchDeleteRun run;
    panel.followRun(&run);
    QVERIFY(runToEnd(run, orders));
    QCOMPARE(counterOf(panel, 0).text, QStringLiteral("2/0/2"));
    QCOMPARE(counterOf(panel, 1).text, QStringLiteral("0/0/0"));
    QVERIFY(panel.orderAt(1).allFiles.isEmpty());
}

void TestBatchDeletePanels::rowClickTellsTheWindow()
{
    BatchDelete_OrderListWidget panel;
    panel.show();
    panel.addOrderRow(makeOrder(QStringLiteral("1"), QStringLiteral("A1"), QString(), QString()));
    panel.addOrderRow(makeOrder(QStringLiteral("2"), QStringLiteral("A2"), QString(), QString()));
    QSignalSpy clicked(&panel, &BatchDelete_OrderListWidget::singleOrderClicked);
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QRect cell = panel.table()->visualItemRect(panel.table()->item(1, panel.column(QStringLiteral("订单号"))));
    QTest::mouseClick(panel.table()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.first().first().value<BatchDeleteOrderInfo>().order_photo_id, QStringLiteral("2"));
    QCOMPARE(panel.currentOrder().order_photo_id, QStringLiteral("2"));
    panel.clearOrders();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(panel.currentOrder().row, -1);
}

void TestBatchDeletePanels::storedListShownAtOnce()
{
    BatchDelete_FileListWidget panel;
    QSignalSpy refreshed(&panel, &BatchDelete_FileListWidget::refreshOrderFiles);
    panel.showOrderFiles({});
    QCOMPARE(panel.model()->rowCount(), 0);
    BatchDeleteOrderInfo first = makeOrder(QStringLiteral("1"), QStringLiteral("A1"), QString(), QString());
    first.allFiles = makeFiles(3);
    const BatchDeleteOrderInfo second = makeOrder(QStringLiteral("2"), QStringLiteral("A2"), QString(), QString());
    panel.showOrderFiles({first, second});
    QCOMPARE(panel.currentOrder().order_photo_id, QStringLiteral("1"));
    QCOMPARE(panel.model()->rowCount(), 3);
    QVERIFY(!FullScreenLoading::instance(&panel));
    QCOMPARE(panel.scanCount(), 0);
    bool counted = false;
    for (QLabel *label : panel.findChildren<QLabel *>())
        counted = counted || label->text() == QStringLiteral("共 3 个文件");
    QVERIFY(counted);

    // Updates find the row by the file's index; other orders and rows past
    // the end change nothing.
    panel.updateFile(first, withStatus(first.allFiles.at(2), BatchDeleteFileStatus::Deleting));
    QCOMPARE(panel.model()->file(2).status, 1);
    panel.updateFile(second, withStatus(first.allFiles.at(1), BatchDeleteFileStatus::Deleted));
    QCOMPARE(panel.model()->file(1).status, 0);
    BatchDeleteFileInfo past = first.allFiles.at(0);
    past.index = 5;
    panel.updateFile(first, withStatus(past, BatchDeleteFileStatus::Deleted));
    QCOMPARE(panel.model()->rowCount(), 3);
    QCOMPARE(refreshed.count(), 0);
}

void TestBatchDeletePanels::scanFillsPanel()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("A1-2"));
    QVERIFY(BatchDeleteFixture::writeFiles(folder, {"b.jpg", "a.jpg", "原片/c.jpg"}));
    BatchDelete_FileListWidget panel;
    panel.show();
    QSignalSpy refreshed(&panel, &BatchDelete_FileListWidget::refreshOrderFiles);
    BatchDeleteOrderInfo order = makeOrder(QStringLiteral("70001"), QStringLiteral("A1"), QString(), QString(), folder);
    panel.showOrderFiles({order});
    QVERIFY(overlayTexts(&panel).contains(QStringLiteral("查找A1-2的文件中...")));
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(refreshed.first().at(0).toString(), QStringLiteral("70001"));
    QCOMPARE(refreshed.first().at(1).value<QList<BatchDeleteFileInfo>>().size(), 3);
    QCOMPARE(panel.model()->rowCount(), 3);
    QCOMPARE(panel.model()->file(0).fileName, QStringLiteral("a.jpg"));
    QVERIFY(!FullScreenLoading::instance(&panel));
    // The scan that reported is disposed of.
    QCOMPARE(panel.scanCount(), 0);

    // Refresh scans again, also with a list already shown.
    QVERIFY(BatchDeleteFixture::writeFile(folder + QStringLiteral("/d.jpg")));
    panel.findChild<ElementButton *>()->click();
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(panel.model()->rowCount(), 4);
}

void TestBatchDeletePanels::secondOrderCancelsFirstScan()
{
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big"));
    QStringList many;
    for (int i = 0; i < 60; ++i)
        many << QStringLiteral("s%1/f.jpg").arg(i);
    QVERIFY(BatchDeleteFixture::writeFiles(big, many));
    const QString small = dir.filePath(QStringLiteral("small"));
    QVERIFY(BatchDeleteFixture::writeFiles(small, {"only.jpg"}));

    BatchDelete_FileListWidget panel;
    panel.show();
    QSignalSpy refreshed(&panel, &BatchDelete_FileListWidget::refreshOrderFiles);
    panel.showOrderFiles({makeOrder(QStringLiteral("1"), QStringLiteral("A1"), QString(), QString(), big)});
    panel.showOrderFiles({makeOrder(QStringLiteral("2"), QStringLiteral("A2"), QString(), QString(), small)});
    QVERIFY(overlayTexts(&panel).contains(QStringLiteral("查找A2-2的文件中...")));
    QVERIFY(refreshed.wait(10000));
    // The first scan ends by itself; its result is dropped.
    QTRY_VERIFY_WITH_TIMEOUT(scansIdle(panel), 10000);
    QCOMPARE(refreshed.count(), 1);
    QCOMPARE(refreshed.first().at(0).toString(), QStringLiteral("2"));
    QCOMPARE(panel.model()->rowCount(), 1);
    QCOMPARE(panel.model()->file(0).fileName, QStringLiteral("only.jpg"));
}

// The run hands the panel the order's list with its states while a look at
// the same folder is still under way: the look's answer (the folder as it
// was, every file "未删除") must not replace it, and the states that follow
// land on the rows they name.
void TestBatchDeletePanels::lookOverTakenByHandedList()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("A1-1"));
    QVERIFY(BatchDeleteFixture::writeFiles(folder, {"a.jpg", "b.jpg", "c.jpg"}));
    BatchDelete_FileListWidget panel;
    panel.show();
    QSignalSpy refreshed(&panel, &BatchDelete_FileListWidget::refreshOrderFiles);
    BatchDeleteOrderInfo order = makeOrder(QStringLiteral("70001"), QStringLiteral("A1"), QString(), QString(), folder);
    for (int pass = 1; pass <= 2; ++pass) {
        panel.showOrderFiles({order});
        QCOMPARE(panel.scanCount(), 1);
        // Same turn of the event loop: the look cannot have answered yet.
        BatchDeleteOrderInfo handed = order;
        handed.allFiles = makeFiles(3);
        handed.allFiles[0].status = BatchDeleteFileStatus::Deleted;
        panel.showOrderFiles({handed});
        panel.updateFile(handed, withStatus(handed.allFiles.at(1), BatchDeleteFileStatus::Deleted));
        QTRY_VERIFY_WITH_TIMEOUT(scansIdle(panel), 10000);
        QTest::qWait(50);
        QCOMPARE(refreshed.count(), 0);
        QVERIFY(!FullScreenLoading::instance(&panel));
        QCOMPARE(panel.model()->rowCount(), 3);
        QCOMPARE(panel.model()->file(0).status, int(BatchDeleteFileStatus::Deleted));
        QCOMPARE(panel.model()->file(1).status, int(BatchDeleteFileStatus::Deleted));
        QCOMPARE(panel.model()->file(2).status, int(BatchDeleteFileStatus::NotDeleted));
    }
}

void TestBatchDeletePanels::scanErrors()
{
    BatchDelete_FileListWidget panel;
    panel.show();
    QSignalSpy refreshed(&panel, &BatchDelete_FileListWidget::refreshOrderFiles);

    // Refresh before any order: an empty path, the overlay comes and goes.
    panel.findChild<ElementButton *>()->click();
    QVERIFY(overlayTexts(&panel).contains(QStringLiteral("查找-的文件中...")));
    QTRY_VERIFY_WITH_TIMEOUT(!FullScreenLoading::instance(&panel), 5000);
    QVERIFY(WidgetProbe::toastTexts(&panel).isEmpty());

    // A missing folder is named in a toast.
    const QString missing = QDir::tempPath() + QStringLiteral("/vq-no-such-order-folder");
    panel.showOrderFiles({makeOrder(QStringLiteral("1"), QStringLiteral("A1"), QString(), QString(), missing)});
    QTRY_COMPARE_WITH_TIMEOUT(WidgetProbe::toastTexts(&panel), QStringList{QStringLiteral("目录不存在: ") + missing}, 5000);
    QVERIFY(!FullScreenLoading::instance(&panel));
    QCOMPARE(panel.model()->rowCount(), 0);
    QCOMPARE(refreshed.count(), 0);
}

void TestBatchDeletePanels::cancelFromOverlay()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("A1"));
    QVERIFY(BatchDeleteFixture::writeFiles(folder, {"a.jpg"}));
    BatchDelete_FileListWidget panel;
    panel.show();
    QSignalSpy refreshed(&panel, &BatchDelete_FileListWidget::refreshOrderFiles);
    panel.showOrderFiles({makeOrder(QStringLiteral("1"), QStringLiteral("A1"), QString(), QString(), folder)});
    FullScreenLoading *overlay = FullScreenLoading::instance(&panel);
    QVERIFY(overlay);
    emit overlay->cancelled();
    QVERIFY(!FullScreenLoading::instance(&panel));
    // The scan ends by itself; its result is dropped.
    QTRY_VERIFY_WITH_TIMEOUT(scansIdle(panel), 10000);
    QCOMPARE(refreshed.count(), 0);
    panel.stopAllScans();
    QCOMPARE(panel.scanCount(), 0);
    QCOMPARE(refreshed.count(), 0);
    QCOMPARE(panel.model()->rowCount(), 0);
}

void TestBatchDeletePanels::renderPanels()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("X"));
    QVERIFY(BatchDeleteFixture::writeFiles(folder, {"a.jpg", "b.jpg", "c.jpg"}));
    const QList<BatchDeleteOrderInfo> records =
        serviceOrders({BatchDeleteFixture::order(QStringLiteral("1"), QStringLiteral("A1"), folder, dir.path())});
    QWidget window;
    auto *orders = new BatchDelete_OrderListWidget(&window);
    auto *files = new BatchDelete_FileListWidget(&window);
    orders->setGeometry(0, 0, 900, 400);
    files->setGeometry(900, 0, 1300, 400);
    window.resize(2200, 400);
    orders->addOrderRow(records.first());
    // A run under way: one file refused at once, the others waiting for
    // their confirmation.
    BatchDeleteRun run;
    auto probe = std::make_shared<ScriptedProbe>();
    probe->readOnly.insert(folder + QStringLiteral("/a.jpg"));
    run.setFileProbe(probe);
    orders->followRun(&run);
    m_fake.setFault(kAfter, FakeOrderService::Fault::Delay, QString(), 1500);
    QVERIFY(run.start(kBranch, records));
    QTRY_COMPARE_WITH_TIMEOUT(counterOf(*orders, 0).text, QStringLiteral("0/1/3"), 10000);
    QVERIFY(counterOf(*orders, 0).barVisible);
    BatchDeleteOrderInfo shown = orders->orderAt(0);
    shown.allFiles[0].status = BatchDeleteFileStatus::Deleted;
    shown.allFiles[1].status = BatchDeleteFileStatus::Deleting;
    files->showOrderFiles({shown});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage image = renderWidget(&window, QStringLiteral("batchdelete_panels"));
    // The deleted file's status in green, the one being deleted in blue.
    QTableView *table = files->table();
    const auto statusColour = [&](int row) {
        const QRect cell = table->visualRect(files->model()->index(row, 3));
        const QImage shot = table->viewport()->grab(cell).toImage();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (QColor(shot.pixel(x, y)).saturation() > 120)
                    return QColor(shot.pixel(x, y));
        return QColor();
    };
    QVERIFY2(statusColour(0).green() > statusColour(0).red() + 60, qPrintable(statusColour(0).name()));
    QVERIFY2(statusColour(1).blue() > statusColour(1).red() + 100, qPrintable(statusColour(1).name()));
    QVERIFY(!image.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(!run.isRunning(), 15000);
}

QTEST_MAIN(TestBatchDeletePanels)
#include "tst_batchdeletepanels.moc"
