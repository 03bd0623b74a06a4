// The order table: cells and status texts, picking files through the picker
// seam, the import sequencer, identity checks on row writes, and "打开".

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "base/modalbox.h"
#include "base/sharedfolderopener.h"
#include "public/ordernumberbuttondelegate.h"
#include "public/toastwidget.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "base/orderreplies.h"

namespace {

struct Box
{
    QString title;
    QString text;
};

QList<Box> s_boxes;
QStringList s_pickerCaptions;
QStringList s_opened;
bool s_openResult = true;

bool recordOpen(const QString &path)
{
    s_opened << path;
    return s_openResult;
}

QStringList toastTexts(QWidget *owner)
{
    QStringList texts;
    for (ToastWidget *toast : owner->findChildren<ToastWidget *>()) {
        for (QLabel *label : toast->findChildren<QLabel *>())
            texts << label->text();
    }
    return texts;
}

QPushButton *rowButton(tfhomeorders_OrderListWidget *table, int row, const QString &name)
{
    const int column = 6;
    QWidget *cell = table->tableWidget()->cellWidget(row, column);
    return cell ? cell->findChild<QPushButton *>(name) : nullptr;
}

QPushButton *startButton(tfhomeorders_OrderListWidget *table)
{
    return table->findChild<QPushButton *>(QStringLiteral("startAllButton"));
}

} // namespace

class TestOrderList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rowCells();
    void pickPhotosAndVideos_data();
    void pickPhotosAndVideos();
    void duplicateNamesRefused();
    void pickWithoutFolder();
    void cleanPicks();
    void progressCounts_data();
    void progressCounts();
    void sequencerRunsOrdersInTurn();
    void failedPhotoRestarted();
    void pauseStopsSequence();
    void pausedOrderResumesFirst();
    void rowButtonsDisabledWhileImporting();
    void manyOrdersGetButtonsAsTheyShow();
    void rowWritesCheckIdentity();
    void staleRowButton();
    void uploadTypeChangeClearsSelectedPicks();
    void picksKeepTheirOwnType();
    void openFolderErrors();
    void pathsShownWithPlatformSeparators();
    void orderNumberCopiesNumberOnly();
    void orderNumberColumnIsALink();
    void statusColors_data();
    void statusColors();

private:
    OrderInfo makeOrder(int i, const QString &status = QStringLiteral("未选择"));
    tfhomeorders_OrderListWidget *newTable(int orders, int openypml = 0);
    QStringList makeFiles(const QString &sub, const QStringList &names);
    // Every picked entry of row reported as the engine would.
    void finishOrder(tfhomeorders_OrderListWidget *table, int row, int failIndex = -1);

    QTemporaryDir m_dir;
    QStringList m_pick;
    QList<tfhomeorders_OrderListWidget *> m_tables;
};

void TestOrderList::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ModalBox::setHook([](QDialog *dialog) {
        Box box;
        box.title = dialog->windowTitle();
        if (auto *message = qobject_cast<QMessageBox *>(dialog))
            box.text = message->text();
        s_boxes << box;
        return int(QMessageBox::Ok);
    });
    tfhomeorders_OrderListWidget::setFilePicker([this](QWidget *, const QString &caption, const QString &) {
        s_pickerCaptions << caption;
        return m_pick;
    });
    SharedFolderOpener::setOpenUrlHook(recordOpen);
}

void TestOrderList::init()
{
    s_boxes.clear();
    s_pickerCaptions.clear();
    s_opened.clear();
    s_openResult = true;
    m_pick.clear();
    g_uploadType.store(int(UploadType::Photos));
}

void TestOrderList::cleanup()
{
    qDeleteAll(m_tables);
    m_tables.clear();
}

OrderInfo TestOrderList::makeOrder(int i, const QString &status)
{
    OrderInfo order;
    order.id = QString::number(i + 1);
    order.order_photo_id = QString::number(301 + i);
    order.orderpayforkey = QStringLiteral("A%1").arg(i);
    order.servicetimes = QStringLiteral("1");
    order.mname = QStringLiteral("张伟");
    order.wname = QStringLiteral("李娜");
    order.storesname = QStringLiteral("一号店");
    order.uploadStatus = status;
    order.importPath = m_dir.path() + QStringLiteral("/orders/A%1").arg(i);
    order.imagesize_small = QStringLiteral("90");
    order.imagesize_middle = QStringLiteral("190");
    order.imagesize_big = QStringLiteral("1920");
    order.row = i;
    return order;
}

tfhomeorders_OrderListWidget *TestOrderList::newTable(int orders, int openypml)
{
    auto *table = new tfhomeorders_OrderListWidget();
    m_tables << table;
    table->openypml = openypml;
    for (int i = 0; i < orders; ++i)
        table->addOrderRow(makeOrder(i));
    table->resize(1200, 600);
    table->show();
    return table;
}

QStringList TestOrderList::makeFiles(const QString &sub, const QStringList &names)
{
    QStringList paths;
    QDir().mkpath(m_dir.path() + QLatin1Char('/') + sub);
    for (const QString &name : names) {
        const QString path = m_dir.path() + QLatin1Char('/') + sub + QLatin1Char('/') + name;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        paths << path;
    }
    return paths;
}

void TestOrderList::finishOrder(tfhomeorders_OrderListWidget *table, int row, int failIndex)
{
    const OrderInfo order = table->orderAt(row);
    for (int i = 0; i < order.selectedFiles.size(); ++i)
        table->updatePhotoStatus(order, i, order.selectedFiles.at(i).img_name, i == failIndex ? 2 : 0);
    table->updateProgress(order, 100);
    table->setOrderStatus(order, OrderRunState::Done);
    table->startNext(row);
}

void TestOrderList::rowCells()
{
    auto *table = newTable(0, 1);
    OrderInfo order = makeOrder(0);
    order.tiaosename = QStringLiteral("周修图");
    order.photos.append(PhotoInfo());
    order.photos.append(PhotoInfo());
    order.retouchedVideos.append(PhotoInfo());
    order.mphone = QStringLiteral("138");
    table->addOrderRow(order);
    OrderInfo womanOnly = makeOrder(1);
    womanOnly.mname.clear();
    table->addOrderRow(womanOnly);
    OrderInfo manOnly = makeOrder(2);
    manOnly.wname.clear();
    table->addOrderRow(manOnly);

    QCOMPARE(table->cellText(0, QStringLiteral("订单号")), QStringLiteral("A0-1"));
    QCOMPARE(table->cellText(0, QStringLiteral("客户姓名")), QStringLiteral("张伟/李娜"));
    QCOMPARE(table->cellText(1, QStringLiteral("客户姓名")), QStringLiteral("李娜"));
    QCOMPARE(table->cellText(2, QStringLiteral("客户姓名")), QStringLiteral("张伟"));
    QCOMPARE(table->cellText(0, QStringLiteral("样前修片师")), QStringLiteral("周修图"));
    QCOMPARE(table->cellText(0, QStringLiteral("已导")), QStringLiteral("2/0/1"));
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("未选择"));
    QCOMPARE(table->cellText(0, QStringLiteral("已选")), QStringLiteral("未选择"));
    QCOMPARE(table->cellText(0, QStringLiteral("导片路径")), order.importPath);
    QCOMPARE(table->cellText(0, QStringLiteral("男士电话")), QStringLiteral("138"));
    QVERIFY(rowButton(table, 0, QStringLiteral("selectPhotosButton")));
    QVERIFY(rowButton(table, 0, QStringLiteral("cleanPhotosButton")));
    QVERIFY(rowButton(table, 0, QStringLiteral("openFolderButton")));

    auto *plain = newTable(1, 0);
    QVERIFY(!rowButton(plain, 0, QStringLiteral("openFolderButton")));
    QCOMPARE(plain->currentOrder().row, -1);
    QCOMPARE(plain->orderAt(5).row, -1);
    QCOMPARE(plain->orderAt(-1).row, -1);
}

void TestOrderList::pickPhotosAndVideos_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("perFile");
    QTest::addColumn<QString>("caption");
    QTest::newRow("photos") << "photoTypeButton" << 4 << "选择照片文件 (可使用Cmd+A全选)";
    QTest::newRow("trial videos") << "trialVideoButton" << 1 << "选择视频文件 (可使用Cmd+A全选)";
    QTest::newRow("retouched videos") << "retouchedVideoButton" << 1 << "选择视频文件 (可使用Cmd+A全选)";
}

void TestOrderList::pickPhotosAndVideos()
{
    QFETCH(QString, radio);
    QFETCH(int, perFile);
    QFETCH(QString, caption);
    auto *table = newTable(2);
    table->findChild<QRadioButton *>(radio)->setChecked(true);
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"});
    QSignalSpy selection(table, &tfhomeorders_OrderListWidget::orderSelectionChanged);

    QTest::mouseClick(rowButton(table, 1, QStringLiteral("selectPhotosButton")), Qt::LeftButton);

    QCOMPARE(s_pickerCaptions, QStringList{caption});
    const OrderInfo order = table->orderAt(1);
    QCOMPARE(order.selectedFiles.size(), 3 * perFile);
    QCOMPARE(order.selectedCount, 3);
    QCOMPARE(order.uploadStatus, QStringLiteral("等待中"));
    QCOMPARE(table->cellText(1, QStringLiteral("上传状态")), QStringLiteral("等待中"));
    QCOMPARE(table->cellText(1, QStringLiteral("已选")), QStringLiteral("3"));
    QCOMPARE(order.selectedFiles.first().targetDir, makeOrder(1).importPath);
    QVERIFY(!selection.isEmpty());
    QCOMPARE(selection.first().at(0).toInt(), 1);
    QCOMPARE(table->currentOrder().row, 1);
    QCOMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().title, QStringLiteral("成功"));
    QCOMPARE(s_boxes.first().text, QStringLiteral("已选择 3 "));
    // The other order keeps nothing.
    QVERIFY(table->orderAt(0).selectedFiles.isEmpty());

    // A second pick replaces the first.
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_9.jpg"});
    QTest::mouseClick(rowButton(table, 1, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QCOMPARE(table->orderAt(1).selectedFiles.size(), perFile);
    QCOMPARE(table->orderAt(1).selectedFiles.first().img_name, QStringLiteral("IMG_9.jpg"));

    // Cancelled dialog: nothing changes.
    m_pick.clear();
    QTest::mouseClick(rowButton(table, 1, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QCOMPARE(table->orderAt(1).selectedFiles.size(), perFile);
}

void TestOrderList::duplicateNamesRefused()
{
    auto *table = newTable(1);
    m_pick = makeFiles(QStringLiteral("day1"), {"IMG_1.jpg", "IMG_2.jpg"})
        + makeFiles(QStringLiteral("day2"), {"IMG_1.jpg", "IMG_3.jpg"});
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QCOMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().title, QStringLiteral("温馨提示"));
    QVERIFY(s_boxes.first().text.contains(QStringLiteral("IMG_1.jpg")));
    QVERIFY(!s_boxes.first().text.contains(QStringLiteral("IMG_3.jpg")));
    QVERIFY(table->orderAt(0).selectedFiles.isEmpty());
    QCOMPARE(table->orderAt(0).uploadStatus, QStringLiteral("未选择"));
}

void TestOrderList::pickWithoutFolder()
{
    auto *table = newTable(0);
    OrderInfo order = makeOrder(0);
    order.importPath.clear();
    order.publicNetpath.clear();
    table->addOrderRow(order);
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_1.jpg"});
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QVERIFY(s_pickerCaptions.isEmpty());
    QCOMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().title, QStringLiteral("温馨提示"));
    QCOMPARE(s_boxes.first().text, QStringLiteral("一号店 没有设置本地云导片路径, 请在后台设置本地云导片路径！"));
    QVERIFY(table->orderAt(0).selectedFiles.isEmpty());
}

void TestOrderList::cleanPicks()
{
    auto *table = newTable(1);
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_1.jpg"});
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QSignalSpy selection(table, &tfhomeorders_OrderListWidget::orderSelectionChanged);
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("cleanPhotosButton")), Qt::LeftButton);
    QVERIFY(table->orderAt(0).selectedFiles.isEmpty());
    QCOMPARE(table->orderAt(0).selectedCount, 0);
    QCOMPARE(table->orderAt(0).uploadStatus, QStringLiteral("未选择"));
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("未选择"));
    QCOMPARE(table->cellText(0, QStringLiteral("已选")), QStringLiteral("未选择"));
    QVERIFY(selection.isEmpty());
}

void TestOrderList::progressCounts_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("text");
    QTest::newRow("three videos") << "trialVideoButton" << 3 << "50% 3张";
    QTest::newRow("four photos") << "photoTypeButton" << 4 << "50% 4张";
}

void TestOrderList::progressCounts()
{
    QFETCH(QString, radio);
    QFETCH(int, files);
    QFETCH(QString, text);
    auto *table = newTable(1);
    table->findChild<QRadioButton *>(radio)->setChecked(true);
    QStringList names;
    for (int i = 0; i < files; ++i)
        names << QStringLiteral("F%1.mp4").arg(i);
    m_pick = makeFiles(QStringLiteral("in"), names);
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    table->updateProgress(table->orderAt(0), 50);
    QCOMPARE(table->cellText(0, QStringLiteral("已选")), text);
    QCOMPARE(table->orderAt(0).importedCount, 50);
}

void TestOrderList::sequencerRunsOrdersInTurn()
{
    auto *table = newTable(3);
    for (int row : {0, 2}) {
        m_pick = makeFiles(QStringLiteral("in%1").arg(row), {"IMG_1.jpg", "IMG_2.jpg"});
        QTest::mouseClick(rowButton(table, row, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    }
    s_boxes.clear();
    QSignalSpy started(table, &tfhomeorders_OrderListWidget::startImportAllOrders);
    QSignalSpy status(table, &tfhomeorders_OrderListWidget::importStatusChange);
    QSignalSpy finished(table, &tfhomeorders_OrderListWidget::importAllFinish);

    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(started.size(), 1);
    auto handed = started.takeFirst().at(0).value<QList<OrderInfo>>();
    QCOMPARE(handed.size(), 1);
    QCOMPARE(handed.first().row, 0);
    QCOMPARE(handed.first().uploadStatus, QStringLiteral("导片中"));
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("导片中"));
    QCOMPARE(startButton(table)->text(), QStringLiteral("全部暂停"));
    QVERIFY(!table->findChild<QRadioButton *>(QStringLiteral("photoTypeButton"))->isEnabled());
    QVERIFY(!status.isEmpty());
    QCOMPARE(status.last().at(0).toBool(), true);

    // Row 1 has no picks and is skipped; row 2 follows.
    finishOrder(table, 0);
    QCOMPARE(started.size(), 1);
    handed = started.takeFirst().at(0).value<QList<OrderInfo>>();
    QCOMPARE(handed.first().row, 2);
    QVERIFY(finished.isEmpty());

    finishOrder(table, 2);
    QVERIFY(started.isEmpty());
    QCOMPARE(finished.size(), 1);
    QVERIFY(!table->isImporting());
    QCOMPARE(startButton(table)->text(), QStringLiteral("全部开始"));
    QCOMPARE(status.last().at(0).toBool(), false);
    QVERIFY(table->findChild<QRadioButton *>(QStringLiteral("photoTypeButton"))->isEnabled());
    // The summary opens after startNext has returned.
    QVERIFY(s_boxes.isEmpty());
    QTRY_COMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().title, QStringLiteral("全部导完"));
    QCOMPARE(s_boxes.first().text, QStringLiteral("\nA0-1  总数:2  成功:2\nA2-1  总数:2  成功:2"));
}

void TestOrderList::failedPhotoRestarted()
{
    auto *table = newTable(1);
    QStringList names;
    for (int i = 0; i < 10; ++i)
        names << QStringLiteral("P%1.jpg").arg(i);
    m_pick = makeFiles(QStringLiteral("ten"), names);
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QCOMPARE(table->orderAt(0).selectedFiles.size(), 40);
    s_boxes.clear();
    QSignalSpy started(table, &tfhomeorders_OrderListWidget::startImportAllOrders);

    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(started.size(), 1);
    finishOrder(table, 0, 13); // P3's "90" copy fails
    QCOMPARE(table->cellText(0, QStringLiteral("已选")), QStringLiteral("9/10 失败:1"));
    QCOMPARE(table->orderAt(0).failedCount, 1);
    QCOMPARE(startButton(table)->text(), QStringLiteral("全部开始/上传失败照片"));
    QTRY_COMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().text, QStringLiteral("\nA0-1  总数:10  成功:9  失败:1"));

    // The next start takes the order again; only its failed copy is pending.
    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(started.size(), 2);
    const OrderInfo again = started.last().at(0).value<QList<OrderInfo>>().first();
    QCOMPARE(again.row, 0);
    QCOMPARE(again.selectedFiles.at(13).importFlag, 2);
    QCOMPARE(again.selectedFiles.at(12).importFlag, 0);
}

void TestOrderList::pauseStopsSequence()
{
    auto *table = newTable(2);
    for (int row : {0, 1}) {
        m_pick = makeFiles(QStringLiteral("p%1").arg(row), {"IMG_1.jpg"});
        QTest::mouseClick(rowButton(table, row, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    }
    QSignalSpy started(table, &tfhomeorders_OrderListWidget::startImportAllOrders);
    QSignalSpy stopped(table, &tfhomeorders_OrderListWidget::stopAllImport);
    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(started.size(), 1);

    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(table->orderAt(0).uploadStatus, QStringLiteral("等待中"));
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("等待中"));
    QCOMPARE(table->tableWidget()->item(0, 4)->foreground().color(), QColor(QStringLiteral("#ff9500")));
    QVERIFY(table->findChild<QRadioButton *>(QStringLiteral("trialVideoButton"))->isEnabled());
    QCOMPARE(startButton(table)->text(), QStringLiteral("全部开始"));

    // The engine may still report the interrupted order: nothing more starts.
    table->setOrderStatus(table->orderAt(0), OrderRunState::Done);
    table->startNext(0);
    QCOMPARE(started.size(), 1);
}

// The order paused in the engine waits again: the next start takes it
// before the orders after it, and leaves the finished one alone.
void TestOrderList::pausedOrderResumesFirst()
{
    auto *table = newTable(3);
    for (int row : {0, 1, 2}) {
        m_pick = makeFiles(QStringLiteral("r%1").arg(row), {"IMG_1.jpg"});
        QTest::mouseClick(rowButton(table, row, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    }
    QSignalSpy started(table, &tfhomeorders_OrderListWidget::startImportAllOrders);
    QTest::mouseClick(startButton(table), Qt::LeftButton);
    finishOrder(table, 0);
    QCOMPARE(started.size(), 2);
    QCOMPARE(started.last().at(0).value<QList<OrderInfo>>().first().row, 1);

    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(table->orderAt(1).runState, OrderRunState::Waiting);
    QCOMPARE(table->cellText(1, QStringLiteral("上传状态")), QStringLiteral("等待中"));

    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QCOMPARE(started.size(), 3);
    const OrderInfo resumed = started.last().at(0).value<QList<OrderInfo>>().first();
    QCOMPARE(resumed.row, 1);
    QCOMPARE(resumed.runState, OrderRunState::Importing);
    QCOMPARE(resumed.uploadStatus, QStringLiteral("导片中"));
    QCOMPARE(table->orderAt(0).runState, OrderRunState::Done);
    QCOMPARE(table->orderAt(2).runState, OrderRunState::Waiting);
}

void TestOrderList::rowButtonsDisabledWhileImporting()
{
    auto *table = newTable(2, 1);
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_1.jpg"});
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QTest::mouseClick(startButton(table), Qt::LeftButton);
    QVERIFY(table->isImporting());
    for (int row : {0, 1}) {
        QVERIFY(!rowButton(table, row, QStringLiteral("selectPhotosButton"))->isEnabled());
        QVERIFY(!rowButton(table, row, QStringLiteral("cleanPhotosButton"))->isEnabled());
        QVERIFY(rowButton(table, row, QStringLiteral("openFolderButton"))->isEnabled());
    }
    // A click that still arrives (a queued one) changes nothing either.
    s_pickerCaptions.clear();
    QMetaObject::invokeMethod(rowButton(table, 0, QStringLiteral("cleanPhotosButton")), "clicked");
    QMetaObject::invokeMethod(rowButton(table, 1, QStringLiteral("selectPhotosButton")), "clicked");
    QCOMPARE(table->orderAt(0).selectedFiles.size(), 4);
    QVERIFY(table->orderAt(1).selectedFiles.isEmpty());
    QVERIFY(s_pickerCaptions.isEmpty());

    table->setImporting(false);
    QVERIFY(rowButton(table, 0, QStringLiteral("selectPhotosButton"))->isEnabled());
    QVERIFY(rowButton(table, 1, QStringLiteral("cleanPhotosButton"))->isEnabled());
}

void TestOrderList::manyOrdersGetButtonsAsTheyShow()
{
    auto *table = newTable(500, 1);
    QVERIFY(QTest::qWaitForWindowExposed(table));
    QTableWidget *view = table->tableWidget();
    QCOMPARE(view->rowCount(), 500);
    QCOMPARE(table->cellText(499, QStringLiteral("订单号")), QStringLiteral("A499-1"));
    // Rows far off screen have no buttons yet: with a cell widget in every
    // row, each added row laid the whole table out again.
    int cells = 0;
    for (int row = 0; row < view->rowCount(); ++row)
        cells += view->cellWidget(row, 6) ? 1 : 0;
    QVERIFY2(cells < 100, qPrintable(QString::number(cells)));
    QVERIFY(rowButton(table, 0, QStringLiteral("selectPhotosButton")));
    QVERIFY(!view->cellWidget(450, 6));

    // A far row gets its buttons as it scrolls into view, for its own order
    // and in the table's state.
    table->setImporting(true);
    view->scrollToItem(view->item(450, 0));
    QTRY_VERIFY_WITH_TIMEOUT(rowButton(table, 450, QStringLiteral("cleanPhotosButton")), 2000);
    QVERIFY(!rowButton(table, 450, QStringLiteral("cleanPhotosButton"))->isEnabled());
    QVERIFY(rowButton(table, 450, QStringLiteral("openFolderButton")));
    table->setImporting(false);
    QVERIFY(rowButton(table, 450, QStringLiteral("selectPhotosButton"))->isEnabled());
    m_pick = makeFiles(QStringLiteral("far"), {"IMG_9.jpg"});
    QTest::mouseClick(rowButton(table, 450, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    QCOMPARE(table->orderAt(450).selectedFiles.size(), 4);
    QCOMPARE(table->cellText(450, QStringLiteral("上传状态")), QStringLiteral("等待中"));
    QVERIFY(table->orderAt(449).selectedFiles.isEmpty());

    // A new search drops the rows with their buttons.
    table->clearOrders();
    table->addOrderRow(makeOrder(7));
    QCOMPARE(view->rowCount(), 1);
    QCOMPARE(rowButton(table, 0, QStringLiteral("selectPhotosButton"))->property("row").toInt(), 0);
}

void TestOrderList::rowWritesCheckIdentity()
{
    auto *table = newTable(2);
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_1.jpg"});
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    const OrderInfo before = table->orderAt(0);

    // The same row, another order (the table was reloaded meanwhile).
    OrderInfo stranger = before;
    stranger.order_photo_id = QStringLiteral("999");
    stranger.importPath = QStringLiteral("/elsewhere");
    table->setOrderStatus(stranger, OrderRunState::Done);
    table->updateProgress(stranger, 80);
    table->updatePhotoStatus(stranger, 0, QStringLiteral("IMG_1.jpg"), 0);
    stranger.selectedFiles.clear();
    table->updateOrder(stranger);
    // A row that no longer exists.
    OrderInfo gone = before;
    gone.row = 7;
    table->setOrderStatus(gone, OrderRunState::Done);
    table->updateOrder(gone);
    // The right order but a result for another file.
    table->updatePhotoStatus(before, 1, QStringLiteral("OTHER.jpg"), 0);

    const OrderInfo after = table->orderAt(0);
    QCOMPARE(after.uploadStatus, QStringLiteral("等待中"));
    QCOMPARE(after.importPath, before.importPath);
    QCOMPARE(after.importedCount, 0);
    QCOMPARE(after.selectedFiles.size(), 4);
    for (const PhotoInfo &entry : after.selectedFiles)
        QCOMPARE(entry.importFlag, int(PhotoStatus::NotUploaded));
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("等待中"));
    QCOMPARE(table->cellText(0, QStringLiteral("导片路径")), before.importPath);
    QCOMPARE(table->orderCount(), 2);

    // The matching writes land.
    table->updatePhotoStatus(before, 1, QStringLiteral("IMG_1.jpg"), 0);
    QCOMPARE(table->orderAt(0).selectedFiles.at(1).importFlag, 0);
    QCOMPARE(table->orderAt(0).selectedFiles.at(0).status2, 0);
    OrderInfo resolved = before;
    resolved.importPath = m_dir.path() + QStringLiteral("/resolved");
    table->setOrderStatus(resolved, OrderRunState::Failed);
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("导片失败"));
    QCOMPARE(table->cellText(0, QStringLiteral("导片路径")), resolved.importPath);

    // A written-back order shows its imported counts.
    OrderInfo withPhotos = table->orderAt(1);
    withPhotos.trialVideos = {PhotoInfo(), PhotoInfo()};
    table->updateOrder(withPhotos);
    QCOMPARE(table->cellText(1, QStringLiteral("已导")), QStringLiteral("0/2/0"));
    QCOMPARE(table->orderAt(1).trialVideos.size(), 2);

    // Refreshing imported counts matches rows by id.
    OrderInfo counts;
    counts.order_photo_id = before.order_photo_id;
    counts.photos = {PhotoInfo(), PhotoInfo(), PhotoInfo()};
    counts.trialVideos = {PhotoInfo()};
    table->updateImportedCounts({{counts.order_photo_id, counts}, {QStringLiteral("404"), counts}});
    QCOMPARE(table->cellText(0, QStringLiteral("已导")), QStringLiteral("3/1/0"));
    QCOMPARE(table->cellText(1, QStringLiteral("已导")), QStringLiteral("0/2/0"));
    QCOMPARE(table->orderAt(0).selectedFiles.size(), 4);
}

void TestOrderList::staleRowButton()
{
    auto *table = newTable(2);
    QPointer<QPushButton> button = rowButton(table, 1, QStringLiteral("selectPhotosButton"));
    table->clearOrders();
    table->addOrderRow(makeOrder(0));
    m_pick = makeFiles(QStringLiteral("in"), {"IMG_1.jpg"});
    // The old button of row 1 is deleted only later and may still deliver a
    // click.
    QVERIFY(button);
    QMetaObject::invokeMethod(button, "clicked");
    QVERIFY(s_pickerCaptions.isEmpty());
    QCOMPARE(table->orderCount(), 1);
}

void TestOrderList::uploadTypeChangeClearsSelectedPicks()
{
    auto *table = newTable(2);
    for (int row : {0, 1}) {
        m_pick = makeFiles(QStringLiteral("u%1").arg(row), {"IMG_1.jpg"});
        QTest::mouseClick(rowButton(table, row, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    }
    // Row 1 is selected (the last pick selected it).
    QSignalSpy selection(table, &tfhomeorders_OrderListWidget::orderSelectionChanged);
    table->findChild<QRadioButton *>(QStringLiteral("trialVideoButton"))->setChecked(true);
    QCOMPARE(g_uploadType.load(), int(UploadType::TrialVideo));
    QVERIFY(table->orderAt(1).selectedFiles.isEmpty());
    QCOMPARE(table->orderAt(1).uploadStatus, QStringLiteral("未选择"));
    QCOMPARE(table->cellText(1, QStringLiteral("已选")), QStringLiteral("未选择"));
    QCOMPARE(table->orderAt(0).selectedFiles.size(), 4);
    QVERIFY(!selection.isEmpty());
    QCOMPARE(selection.last().at(0).toInt(), 1);
}

void TestOrderList::picksKeepTheirOwnType()
{
    auto *table = newTable(2);
    m_pick = makeFiles(QStringLiteral("photos"), {"IMG_1.jpg", "IMG_2.jpg"});
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("selectPhotosButton")), Qt::LeftButton);
    table->tableWidget()->selectRow(1);
    table->findChild<QRadioButton *>(QStringLiteral("trialVideoButton"))->setChecked(true);
    m_pick = makeFiles(QStringLiteral("videos"), {"V1.mp4", "V2.mp4", "V3.mp4"});
    QTest::mouseClick(rowButton(table, 1, QStringLiteral("selectPhotosButton")), Qt::LeftButton);

    QCOMPARE(g_uploadType.load(), int(UploadType::TrialVideo));
    const OrderInfo photos = table->orderAt(0);
    const OrderInfo videos = table->orderAt(1);
    QCOMPARE(photos.selectedFiles.size(), 8);
    QCOMPARE(uploadTypeOf(photos), UploadType::Photos);
    QCOMPARE(uploadTypeOf(videos), UploadType::TrialVideo);

    // Results, progress and counts of the photo order follow its own type.
    table->updateProgress(photos, 50);
    QCOMPARE(table->cellText(0, QStringLiteral("已选")), QStringLiteral("50% 2张"));
    for (int i = 0; i < 4; ++i)
        table->updatePhotoStatus(photos, i, QStringLiteral("IMG_1.jpg"), 0);
    QCOMPARE(table->orderAt(0).selectedFiles.at(0).statusOrigin, 0);
    QCOMPARE(table->orderAt(0).selectedFiles.at(1).statusOrigin, 1);
    int count = -1;
    QString names;
    table->countUploadedPhotos(0, [&](int c, QString n) {
        count = c;
        names = n;
    });
    QCOMPARE(count, 1);
    QCOMPARE(names, QStringLiteral("IMG_1.jpg"));

    table->updatePhotoStatus(videos, 2, QStringLiteral("V3.mp4"), 0);
    table->countUploadedPhotos(1, [&](int c, QString n) {
        count = c;
        names = n;
    });
    QCOMPARE(count, 1);
    QCOMPARE(names, QStringLiteral("V3.mp4"));
}

void TestOrderList::openFolderErrors()
{
    auto *table = newTable(0, 1);
    OrderInfo missing = makeOrder(0);
    table->addOrderRow(missing);
    OrderInfo present = makeOrder(1);
    QDir().mkpath(present.importPath);
    table->addOrderRow(present);
    OrderInfo none = makeOrder(2);
    none.importPath.clear();
    table->addOrderRow(none);

    QTest::mouseClick(rowButton(table, 0, QStringLiteral("openFolderButton")), Qt::LeftButton);
    QVERIFY(s_opened.isEmpty());
    QStringList toasts = toastTexts(table);
    QCOMPARE(toasts.size(), 1);
    QVERIFY2(toasts.first().startsWith(QStringLiteral("文件夹不存在")), qPrintable(toasts.first()));
    QVERIFY(toasts.first().contains(missing.importPath));

    QTest::mouseClick(rowButton(table, 1, QStringLiteral("openFolderButton")), Qt::LeftButton);
    QCOMPARE(s_opened.size(), 1);
    QCOMPARE(toastTexts(table).size(), 1);

    s_openResult = false;
    QTest::mouseClick(rowButton(table, 1, QStringLiteral("openFolderButton")), Qt::LeftButton);
    toasts = toastTexts(table);
    QCOMPARE(toasts.size(), 2);
    QVERIFY(toasts.last().startsWith(QStringLiteral("无法打开文件夹")));

    QTest::mouseClick(rowButton(table, 2, QStringLiteral("openFolderButton")), Qt::LeftButton);
    toasts = toastTexts(table);
    QCOMPARE(toasts.size(), 3);
    QCOMPARE(toasts.last(), QStringLiteral("订单 A2 没有导片路径"));
}

// The import-path builder writes "\\" as Windows does; the user reads the
// path in this platform's own form, the order keeps it as it came.
void TestOrderList::pathsShownWithPlatformSeparators()
{
    auto *table = newTable(0, 1);
    OrderInfo order = makeOrder(0);
    order.importPath = m_dir.path() + QStringLiteral("/share\\2024\\03\\15\\A0-1");
#ifdef Q_OS_WIN
    const QString shown = QDir::toNativeSeparators(m_dir.path()) + QStringLiteral("\\share\\2024\\03\\15\\A0-1");
#else
    const QString shown = m_dir.path() + QStringLiteral("/share/2024/03/15/A0-1");
#endif
    table->addOrderRow(order);
    QCOMPARE(table->cellText(0, QStringLiteral("导片路径")), shown);
    QCOMPARE(table->orderAt(0).importPath, order.importPath);

    table->setOrderStatus(order, OrderRunState::Done);
    QCOMPARE(table->cellText(0, QStringLiteral("导片路径")), shown);
    QCOMPARE(table->orderAt(0).importPath, order.importPath);

    // The folder does not exist: the toast names it as the user reads paths.
    QTest::mouseClick(rowButton(table, 0, QStringLiteral("openFolderButton")), Qt::LeftButton);
    const QStringList toasts = toastTexts(table);
    QCOMPARE(toasts.size(), 1);
    QCOMPARE(toasts.first(), QStringLiteral("文件夹不存在：") + shown);
}

void TestOrderList::orderNumberCopiesNumberOnly()
{
    auto *table = newTable(2);
    table->onOrderNumberClicked(1, QStringLiteral("A1-1"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("A1"));
    QCOMPARE(toastTexts(table), QStringList{QStringLiteral("订单号已复制")});
}

void TestOrderList::orderNumberColumnIsALink()
{
    auto *table = newTable(2);
    QTableWidget *grid = table->tableWidget();
    int column = -1;
    for (int c = 0; c < grid->columnCount(); ++c) {
        if (grid->horizontalHeaderItem(c)->text() == QStringLiteral("订单号"))
            column = c;
    }
    QVERIFY(column >= 0);
    auto *delegate = qobject_cast<OrderNumberButtonDelegate *>(grid->itemDelegateForColumn(column));
    QVERIFY(delegate);
    // A click on the link copies that row's order number.
    emit delegate->orderNumberClicked(1, grid->item(1, column)->text());
    QCOMPARE(QApplication::clipboard()->text(), table->orderAt(1).orderpayforkey);
}

void TestOrderList::statusColors_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("color");
    QTest::newRow("done") << "已完成" << "#34c759";
    QTest::newRow("uploading") << "上传中" << "#007aff";
    QTest::newRow("waiting") << "等待中" << "#ff9500";
    QTest::newRow("not uploaded") << "未上传" << "#8e8e93";
    QTest::newRow("other") << "导片完成" << "#333333";
}

void TestOrderList::statusColors()
{
    QFETCH(QString, status);
    QFETCH(QString, color);
    QCOMPARE(tfhomeorders_OrderListWidget::statusColor(status), color);
}

QTEST_MAIN(TestOrderList)
#include "tst_orderlist.moc"
