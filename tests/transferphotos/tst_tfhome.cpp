// The photo-transfer window with the real engine, panels and fake service:
// photos picked for one order and videos for another are imported and
// reported with their own actions and types; a copy that fails is not
// reported and is listed once; the grid then shows the imported photos.
// Also the window's frame: resize zones, the title bar's drag and the
// path-error road.

#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QSet>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "base/pathutil.h"
#include "public/simpledialog.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/transferorders.h"
#include "tests/transferphotos/producegate.h"
#include "transferphotos/tfhome.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"
#include "transferphotos/tfhomephotos.h"
#include "imaging/tfimageprocessing.h"
#include "base/orderreplies.h"

namespace {

struct Box
{
    QString title;
    QString text;
};
QList<Box> s_boxes;
QList<QStringList> s_picks;
// The question before closing mid-run: its answer, and what happens while
// it is shown.
int s_closeAnswer = QMessageBox::Yes;
std::function<void()> s_whileAsking;

const QString kSavePic = QStringLiteral("&m=order&a=savepicpath");
const QString kSavePicMv = QStringLiteral("&m=order&a=savepicpathmv");
const QString kFolder = QStringLiteral("&m=order&a=saveorderphotopath");
const QString kSummary = QStringLiteral("&m=order&a=logreadpic");

bool hasBox(const QString &title)
{
    for (const Box &box : s_boxes) {
        if (box.title == title)
            return true;
    }
    return false;
}

QString boxText(const QString &title)
{
    for (const Box &box : s_boxes) {
        if (box.title == title)
            return box.text;
    }
    return QString();
}

QList<SimpleDialog *> shownDialogs(QWidget *owner)
{
    QList<SimpleDialog *> dialogs;
    for (SimpleDialog *dialog : owner->findChildren<SimpleDialog *>()) {
        if (dialog->isVisible())
            dialogs << dialog;
    }
    return dialogs;
}

} // namespace

class TestTfHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void photosAndVideosOfTwoOrders();
    void hitTestZones_data();
    void hitTestZones();
    void titleBarDrag_data();
    void titleBarDrag();
    void pathErrorStopsSequence();
    void resultsCheckedByIdentity();
    void reopenedWindowPicksPhotos();
    void onlyWholePhotosReported();
    void reportsKeepTheBranchOfTheRun();
    void orderReportFailureResubmitted_data();
    void orderReportFailureResubmitted();
    void gridShowsEveryPhotoOfTheRun();
    void secondRunReportsWhatItCopied();
    void secondImportTurnsPhotosAgain();
    void searchBarShowsWholeTexts_data();
    void searchBarShowsWholeTexts();
    void closeMidRunStopsAndNextRunResumes();
    void closeMidRunAnsweredNoGoesOn();
    void orderTableOnScreen_data();
    void orderTableOnScreen();

private:
    tfhome *openWindow();
    void search(tfhome *window);
    void pick(tfhome *window, int row, UploadType type, const QStringList &files);
    QStringList writePhotos(const QString &sub, const QStringList &names);
    // Small trial videos V1.mp4 … in a folder of their own.
    QStringList writeVideos(const QString &sub, int count);
    // Picks videos for the first order and starts the run; returns once
    // `held` copies wait at the gate.
    void startHeldRun(tfhome *window, const QStringList &videos, const ProduceGate &gate, int held);
    // Clicks "全部开始" and waits for the batch's summary box.
    void importAll(tfhome *window);
    // Once the order report of the run has come: the photo reports named
    // exactly these files of the folder's "all", the order report counted
    // these photos.
    void checkReports(const QString &folder, const QStringList &saved, const QStringList &counted);

    FakeOrderService m_fake;
    QTemporaryDir m_dir;
};

void TestTfHome::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<PhotoInfo>();
    qRegisterMetaType<OrderInfo>();
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    g_dataDir = m_dir.path() + QLatin1Char('/');
    g_enterpriseId = QStringLiteral("7001");
    BaseReq::setTransferTimeout(10000);
    ModalBox::setHook([](QDialog *dialog) {
        Box box;
        box.title = dialog->windowTitle();
        auto *message = qobject_cast<QMessageBox *>(dialog);
        if (message)
            box.text = message->text();
        s_boxes << box;
        if (message && box.text.contains(QStringLiteral("确定要关闭吗"))) {
            if (s_whileAsking)
                s_whileAsking();
            return s_closeAnswer;
        }
        if (message && (message->standardButtons() & QMessageBox::Yes))
            return int(QMessageBox::Yes);
        return int(QMessageBox::Ok);
    });
    tfhomeorders_OrderListWidget::setFilePicker([](QWidget *, const QString &, const QString &) {
        return s_picks.isEmpty() ? QStringList() : s_picks.takeFirst();
    });
}

void TestTfHome::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
    tfhomeorders_OrderListWidget::setFilePicker(nullptr);
}

void TestTfHome::init()
{
    s_boxes.clear();
    s_picks.clear();
    s_closeAnswer = QMessageBox::Yes;
    s_whileAsking = nullptr;
    g_uploadType = int(UploadType::Photos);
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    TransferOrders::loadTestOrders(m_fake, m_dir.path() + QStringLiteral("/share"));
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.clearRequests();
}

tfhome *TestTfHome::openWindow()
{
    auto *window = new tfhome;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void TestTfHome::search(tfhome *window)
{
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(window->ordersPanel()->orderListWidget()->orderCount(), 2, 10000);
}

void TestTfHome::pick(tfhome *window, int row, UploadType type, const QStringList &files)
{
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();
    // Select the row first: changing the type clears the picks of the
    // selected row only.
    table->tableWidget()->selectRow(row);
    const char *radio = type == UploadType::Photos ? "photoTypeButton" : "trialVideoButton";
    table->findChild<QRadioButton *>(QLatin1String(radio))->setChecked(true);
    s_picks << files;
    QWidget *cell = table->tableWidget()->cellWidget(row, 6);
    QVERIFY(cell);
    cell->findChild<QPushButton *>(QStringLiteral("selectPhotosButton"))->click();
}

QStringList TestTfHome::writePhotos(const QString &sub, const QStringList &names)
{
    const QString folder = m_dir.path() + QLatin1Char('/') + sub;
    QDir().mkpath(folder);
    QStringList paths;
    for (const QString &name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        if (!JpegFixture::writeUprightQuadrants(path, 80, 60, 6))
            qWarning("无法写入测试照片");
        paths << path;
    }
    return paths;
}

QStringList TestTfHome::writeVideos(const QString &sub, int count)
{
    const QString folder = m_dir.path() + QLatin1Char('/') + sub;
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 1; i <= count; ++i) {
        const QString path = folder + QStringLiteral("/V%1.mp4").arg(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(4096, char('0' + i))) != 4096)
            qWarning("无法写入测试视频");
        paths << path;
    }
    return paths;
}

void TestTfHome::startHeldRun(tfhome *window, const QStringList &videos, const ProduceGate &gate, int held)
{
    search(window);
    pick(window, 0, UploadType::TrialVideo, videos);
    m_fake.clearRequests();
    window->ordersPanel()->orderListWidget()->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(gate.waiting(), held, 10000);
}

void TestTfHome::importAll(tfhome *window)
{
    s_boxes.clear();
    window->ordersPanel()->orderListWidget()->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(hasBox(QStringLiteral("全部导完")), 60000);
}

void TestTfHome::checkReports(const QString &folder, const QStringList &saved, const QStringList &counted)
{
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 1, 10000);
    QStringList paths;
    for (const auto &request : m_fake.requestsFor(kSavePic))
        paths << PathUtil::toFs(request.field(QStringLiteral("path")));
    QStringList expected;
    for (const QString &name : saved)
        expected << folder + QStringLiteral("/all/") + name;
    paths.sort();
    expected.sort();
    QCOMPARE(paths, expected);
    const auto summary = m_fake.requestsFor(kSummary).first();
    QCOMPARE(summary.field(QStringLiteral("picnumber")), QString::number(counted.size()));
    QCOMPARE(summary.field(QStringLiteral("photonames")), counted.join(QStringLiteral("|:|")));
}

void TestTfHome::photosAndVideosOfTwoOrders()
{
    const QString source = m_dir.path() + QStringLiteral("/source");
    QDir().mkpath(source);
    QStringList photos;
    for (const QString &name : {QStringLiteral("IMG 1&2.jpg"), QStringLiteral("IMG_2.jpg"), QStringLiteral("BAD.jpg")}) {
        const QString path = source + QLatin1Char('/') + name;
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 80, 60, 6));
        photos << path;
    }
    const QString video = source + QStringLiteral("/clip 1.mp4");
    {
        QFile file(video);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'v'));
    }

    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    tfhomeorders *panel = window->ordersPanel();
    const QString folder0 = PathUtil::toFs(OrderPicks::targetFolder(panel->orderAt(0)));
    const QString folder1 = PathUtil::toFs(OrderPicks::targetFolder(panel->orderAt(1)));
    QVERIFY(!folder0.isEmpty() && !folder1.isEmpty() && folder0 != folder1);
    // A folder where the copy of BAD.jpg should go makes that copy fail.
    QVERIFY(QDir().mkpath(folder0 + QStringLiteral("/all/BAD.jpg")));

    pick(window, 1, UploadType::TrialVideo, {video});
    pick(window, 0, UploadType::Photos, photos);
    QCOMPARE(panel->orderAt(0).selectedFiles.size(), 12);
    QCOMPARE(panel->orderAt(1).selectedFiles.size(), 1);
    QCOMPARE(window->photosPanel()->title(), QStringLiteral("照片列表 - A20240507001 (3张)"));
    QTRY_COMPARE_WITH_TIMEOUT(window->photosPanel()->cards().size(), 3, 10000);

    s_boxes.clear();
    panel->orderListWidget()->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(hasBox(QStringLiteral("全部导完")), 60000);

    // Files where they belong, upright and in every size.
    for (const QString &sub : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")}) {
        QVERIFY2(QFileInfo(folder0 + QLatin1Char('/') + sub + QStringLiteral("/IMG 1&2.jpg")).isFile(), qPrintable(sub));
        QVERIFY(QFileInfo(folder0 + QLatin1Char('/') + sub + QStringLiteral("/IMG_2.jpg")).isFile());
    }
    QVERIFY(QFileInfo(folder1 + QStringLiteral("/试拍视频/clip 1.mp4")).isFile());

    // Photos of the first order: one report per copied photo, none for the
    // failed one.
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 2, 10000);
    const auto savedPhotos = m_fake.requestsFor(kSavePic);
    QCOMPARE(savedPhotos.size(), 2);
    QSet<QString> paths;
    for (const auto &request : savedPhotos) {
        QCOMPARE(request.field(QStringLiteral("order_photo_id")), QStringLiteral("301"));
        QCOMPARE(request.field(QStringLiteral("ratio")), QStringLiteral("all"));
        QVERIFY(!request.hasField(QStringLiteral("type")));
        paths << PathUtil::toFs(request.field(QStringLiteral("path")));
    }
    QCOMPARE(paths, QSet<QString>({folder0 + QStringLiteral("/all/IMG 1&2.jpg"), folder0 + QStringLiteral("/all/IMG_2.jpg")}));
    QCOMPARE(savedPhotos.first().field(QStringLiteral("shopid")), QStringLiteral("11"));

    // The video of the second order, with its own action and type.
    const auto savedVideos = m_fake.requestsFor(kSavePicMv);
    QCOMPARE(savedVideos.size(), 1);
    QCOMPARE(savedVideos.first().field(QStringLiteral("order_photo_id")), QStringLiteral("302"));
    QCOMPARE(savedVideos.first().field(QStringLiteral("type")), QStringLiteral("2"));
    QCOMPARE(savedVideos.first().field(QStringLiteral("photonames")), QStringLiteral("clip 1.mp4"));
    QCOMPARE(PathUtil::toFs(savedVideos.first().field(QStringLiteral("path"))),
             folder1 + QStringLiteral("/试拍视频/clip 1.mp4"));

    // One folder report and one summary per order, each of its own type.
    const auto folders = m_fake.requestsFor(kFolder);
    QCOMPARE(folders.size(), 2);
    const auto summaries = m_fake.requestsFor(kSummary);
    for (const auto &summary : summaries) {
        if (summary.field(QStringLiteral("order_photo_id")) == QLatin1String("301")) {
            QCOMPARE(summary.field(QStringLiteral("type")), QStringLiteral("1"));
            QCOMPARE(summary.field(QStringLiteral("picnumber")), QStringLiteral("2"));
            // The folder the engine resolved, not the order's empty own path.
            QCOMPARE(PathUtil::toFs(summary.field(QStringLiteral("orderpicpath"))), folder0);
        } else {
            QCOMPARE(summary.field(QStringLiteral("order_photo_id")), QStringLiteral("302"));
            QCOMPARE(summary.field(QStringLiteral("type")), QStringLiteral("2"));
            QCOMPARE(summary.field(QStringLiteral("picnumber")), QStringLiteral("1"));
            QCOMPARE(summary.field(QStringLiteral("photonames")), QStringLiteral("clip 1.mp4"));
        }
    }

    // The failed copy is told once, naming the file.
    QTRY_COMPARE_WITH_TIMEOUT(shownDialogs(window).size(), 1, 5000);
    const QString told = shownDialogs(window).first()->findChild<QTextBrowser *>()->toPlainText();
    QVERIFY2(told.contains(QStringLiteral("BAD.jpg")), qPrintable(told));
    // The summary counts what each order's last file left behind, too.
    const QString summary = boxText(QStringLiteral("全部导完"));
    QVERIFY2(summary.contains(QStringLiteral("A20240507001-1  总数:3  成功:2  失败:1")), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("A20240612002-1  总数:1  成功:1")), qPrintable(summary));

    // The grid of the selected order shows its imported photos.
    tfhomeorders_PhotoDisplayWidget *grid = panel->photoDisplayWidget();
    QTRY_COMPARE_WITH_TIMEOUT(grid->itemCount(), 2, 10000);
    QCOMPARE(grid->shownOrder().order_photo_id, QStringLiteral("301"));

    // Deleting one of them removes exactly its local copies.
    grid->createAllCards();
    // Their pictures come from the addresses the service gave for them.
    QTRY_VERIFY_WITH_TIMEOUT(grid->isPhotoLoaded(0) && grid->isPhotoLoaded(1), 10000);
    const int index = grid->photoNames().indexOf(QStringLiteral("IMG_2.jpg"));
    QVERIFY(index >= 0);
    grid->setPhotoSelected(index, true);
    grid->findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=delimages")).size(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(folder0 + QStringLiteral("/all/IMG_2.jpg")), 5000);
    QVERIFY(!QFile::exists(folder0 + QStringLiteral("/1920/IMG_2.jpg")));
    QVERIFY(QFile::exists(folder0 + QStringLiteral("/all/IMG 1&2.jpg")));
    QTRY_COMPARE_WITH_TIMEOUT(grid->itemCount(), 1, 5000);

    window->close();
    QTRY_VERIFY(guard.isNull());
}

void TestTfHome::hitTestZones_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("code");
    QTest::newRow("bottom-right") << QPoint(1200 - 8, 800 - 8) << 8;
    QTest::newRow("top-right") << QPoint(1200 - 8, 6) << 7;
    QTest::newRow("right") << QPoint(1200 - 8, 400) << 6;
    QTest::newRow("bottom") << QPoint(600, 800 - 8) << 5;
    QTest::newRow("transparent band") << QPoint(1200 - 3, 400) << 0;
    QTest::newRow("left edge") << QPoint(5, 400) << 0;
    QTest::newRow("inside") << QPoint(600, 400) << 0;
}

void TestTfHome::hitTestZones()
{
    QFETCH(QPoint, pos);
    QFETCH(int, code);
    tfhome window;
    window.resize(1200, 800);
    QCOMPARE(window.hitTest(pos), code);
}

void TestTfHome::titleBarDrag_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("moved");
    QTest::addColumn<QSize>("grown");
    QTest::newRow("title bar moves the window") << QPoint(600, 20) << QPoint(30, 20) << QSize(0, 0);
    // The right resize zone reaches into the bar's right end.
    QTest::newRow("right zone in the bar resizes") << QPoint(1200 - 8, 20) << QPoint(0, 0) << QSize(30, 0);
}

void TestTfHome::titleBarDrag()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, moved);
    QFETCH(QSize, grown);
    tfhome window;
    window.resize(1200, 800);
    window.move(40, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *bar = window.findChild<QWidget *>(QStringLiteral("titleBar"));
    QVERIFY(bar);
    const QPoint at = bar->mapFrom(&window, press);
    QVERIFY(bar->rect().contains(at));
    QCOMPARE(bar->childAt(at), nullptr);
    const QPoint before = window.pos();
    const QSize size = window.size();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, at);
    const QPoint to = at + QPoint(30, 20);
    QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, to);
    QCOMPARE(window.pos(), before + moved);
    QCOMPARE(window.size(), size + grown);
}

void TestTfHome::pathErrorStopsSequence()
{
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();
    table->setImporting(true);
    window->onPathErrorOccurred(QStringLiteral("导入路径无法访问并且无法创建，请检查局域网是否能连接"),
                                QStringLiteral("/x\\2024\\03"));
    QVERIFY(hasBox(QStringLiteral("导片路径错误")));
    // The path as this platform writes paths.
    QCOMPARE(boxText(QStringLiteral("导片路径错误")),
             QStringLiteral("导入路径无法访问并且无法创建，请检查局域网是否能连接  ")
                 + QDir::toNativeSeparators(QStringLiteral("/x/2024/03")));
    QVERIFY(!table->isImporting());
    window->close();
    QTRY_VERIFY(guard.isNull());
}

void TestTfHome::resultsCheckedByIdentity()
{
    const QString source = m_dir.path() + QStringLiteral("/identity");
    QDir().mkpath(source);
    const QString photo = source + QStringLiteral("/ID_1.jpg");
    QVERIFY(JpegFixture::writeUprightQuadrants(photo, 40, 30, 1));

    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    pick(window, 0, UploadType::Photos, {photo});
    tfhomeorders *panel = window->ordersPanel();
    const OrderInfo stored = panel->orderAt(0);
    QCOMPARE(stored.selectedFiles.size(), 4);
    // The copy exists, so only the identity checks can stop its report.
    const QString folder = PathUtil::toFs(stored.selectedFiles.first().targetDir);
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/all")));
    QVERIFY(QFile::copy(photo, folder + QStringLiteral("/all/ID_1.jpg")));
    m_fake.clearRequests();

    // A result for another order now at that row (the table was searched
    // again), and a result naming another file than the entry.
    OrderInfo other = stored;
    other.order_photo_id = QStringLiteral("999");
    window->onPhotoImported(other, QStringLiteral("ID_1.jpg"), 0, true, QString());
    window->onPhotoImported(stored, QStringLiteral("OTHER.jpg"), 0, true, QString());
    // Both are handled on the next turn of the event loop.
    QCoreApplication::processEvents();
    QCOMPARE(panel->orderAt(0).selectedFiles.first().importFlag, 1);

    // The same result for the right order and file is recorded; the photo
    // is reported once all four of its copies are done.
    window->onPhotoImported(stored, QStringLiteral("ID_1.jpg"), 0, true, QString());
    QTRY_COMPARE_WITH_TIMEOUT(panel->orderAt(0).selectedFiles.value(0).importFlag, 0, 5000);
    for (int index = 1; index < 4; ++index)
        window->onPhotoImported(stored, QStringLiteral("ID_1.jpg"), index, true, QString());
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSavePic).size(), 1, 5000);
    // Only the good result got through: one report, one folder report.
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kFolder).size(), 1, 5000);
    QCOMPARE(m_fake.requestsFor(kSavePic).size(), 1);
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// The upload type is one value for the whole program: a window closed with
// videos chosen must not leave the next window picking videos under a
// checked "成品照片".
void TestTfHome::reopenedWindowPicksPhotos()
{
    const QString photo = m_dir.path() + QStringLiteral("/reopen/R_1.jpg");
    QDir().mkpath(QFileInfo(photo).path());
    QVERIFY(JpegFixture::writeUprightQuadrants(photo, 40, 30, 1));

    tfhome *first = openWindow();
    QPointer<tfhome> firstGuard(first);
    first->ordersPanel()->orderListWidget()->findChild<QRadioButton *>(QStringLiteral("trialVideoButton"))->setChecked(true);
    QCOMPARE(g_uploadType.load(), int(UploadType::TrialVideo));
    first->close();
    QTRY_VERIFY(firstGuard.isNull());

    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();
    QVERIFY(table->findChild<QRadioButton *>(QStringLiteral("photoTypeButton"))->isChecked());
    QCOMPARE(g_uploadType.load(), int(UploadType::Photos));
    search(window);
    table->tableWidget()->selectRow(0);
    s_picks << QStringList{photo};
    table->tableWidget()->cellWidget(0, 6)->findChild<QPushButton *>(QStringLiteral("selectPhotosButton"))->click();
    const OrderInfo picked = window->ordersPanel()->orderAt(0);
    QCOMPARE(picked.selectedFiles.size(), 4);
    QCOMPARE(picked.selectedFiles.first().sizeTag, QStringLiteral("all"));
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// A photo stands for its four copies: it is reported only when all of them
// were written, and the order's count names only the photos reported.
void TestTfHome::onlyWholePhotosReported()
{
    QStringList photos = writePhotos(QStringLiteral("whole"), {QStringLiteral("GOOD.jpg"), QStringLiteral("SMALL.jpg")});
    const QString empty = m_dir.path() + QStringLiteral("/whole/EMPTY.jpg");
    QVERIFY(QFile(empty).open(QIODevice::WriteOnly));
    const QString text = m_dir.path() + QStringLiteral("/whole/TEXT.jpg");
    {
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("这不是一张照片，只是改了扩展名的文本文件。\n");
    }
    photos << empty << text;

    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    tfhomeorders *panel = window->ordersPanel();
    const QString folder = PathUtil::toFs(OrderPicks::targetFolder(panel->orderAt(0)));
    // The reduced copy of SMALL.jpg cannot be written: its place is a folder.
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/90/SMALL.jpg")));
    pick(window, 0, UploadType::Photos, photos);
    importAll(window);

    checkReports(folder, {QStringLiteral("GOOD.jpg")}, {QStringLiteral("GOOD.jpg")});
    QVERIFY2(boxText(QStringLiteral("全部导完")).contains(QStringLiteral("总数:4  成功:1  失败:3")),
             qPrintable(boxText(QStringLiteral("全部导完"))));
    // The service was told of no photo the tool counts as failed.
    const QJsonArray images = m_fake.modelStore().order(QStringLiteral("301")).value(QStringLiteral("images")).toArray();
    QCOMPARE(images.size(), 1);
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// Choosing another branch while an order imports changes nothing about the
// reports of that order: they speak for the branch it was listed under.
void TestTfHome::reportsKeepTheBranchOfTheRun()
{
    g_shopList << ShopInfo{QStringLiteral("12"), QStringLiteral("二号店"), QString()};
    const QStringList photos = writePhotos(QStringLiteral("branch"), {QStringLiteral("B_1.jpg"), QStringLiteral("B_2.jpg")});
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    pick(window, 0, UploadType::Photos, photos);
    s_boxes.clear();
    window->ordersPanel()->orderListWidget()->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    window->ordersPanel()->findChild<QComboBox *>(QStringLiteral("m_branchCombo"))->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(hasBox(QStringLiteral("全部导完")), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 1, 10000);

    QList<FakeOrderService::Request> reports = m_fake.requestsFor(kSavePic);
    QCOMPARE(reports.size(), 2);
    reports << m_fake.requestsFor(kFolder) << m_fake.requestsFor(kSummary);
    for (const auto &request : qAsConst(reports)) {
        QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
        QCOMPARE(request.field(QStringLiteral("eid")), QStringLiteral("7001"));
        QCOMPARE(request.field(QStringLiteral("superid")), QStringLiteral("9001"));
        QCOMPARE(request.field(QStringLiteral("personid")), QStringLiteral("7001"));
    }
    window->close();
    QTRY_VERIFY(guard.isNull());
}

void TestTfHome::orderReportFailureResubmitted_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("fault");
    QTest::newRow("summary refused") << kSummary << int(FakeOrderService::Fault::CodeZeroMessage);
    QTest::newRow("folder refused") << kFolder << int(FakeOrderService::Fault::CodeZeroMessage);
    QTest::newRow("folder report lost") << kFolder << int(FakeOrderService::Fault::CloseConnection);
    QTest::newRow("photo reports lost") << kSavePic << int(FakeOrderService::Fault::CloseConnection);
}

// A report the service did not take is shown on the order, and the user
// sends it again from there: afterwards the service knows every photo and
// the order's count.
void TestTfHome::orderReportFailureResubmitted()
{
    QFETCH(QString, action);
    QFETCH(int, fault);
    const QStringList photos = writePhotos(QStringLiteral("resubmit_") + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')),
                                           {QStringLiteral("R_1.jpg"), QStringLiteral("R_2.jpg")});
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();
    pick(window, 0, UploadType::Photos, photos);
    m_fake.setFault(action, FakeOrderService::Fault(fault), QStringLiteral("服务暂不可用"));
    importAll(window);

    const auto resubmitButton = [table]() -> QPushButton * {
        auto *button = qobject_cast<QPushButton *>(table->tableWidget()->cellWidget(0, 4));
        return button && button->objectName() == QLatin1String("resubmitReportsButton") ? button : nullptr;
    };
    QTRY_VERIFY_WITH_TIMEOUT(resubmitButton() && resubmitButton()->isEnabled(), 10000);
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("上报失败"));
    QCOMPARE(table->orderAt(0).uploadStatus, QStringLiteral("导片完成"));
    QVERIFY(!resubmitButton()->toolTip().isEmpty());
    // Another order imported meanwhile does not hide it.
    table->tableWidget()->selectRow(1);
    QVERIFY(resubmitButton());

    m_fake.clearFaults();
    m_fake.clearRequests();
    QTest::mouseClick(resubmitButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!resubmitButton(), 10000);
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("导片完成"));
    const auto summary = m_fake.requestsFor(kSummary).first();
    QCOMPARE(summary.field(QStringLiteral("picnumber")), QStringLiteral("2"));
    QCOMPARE(summary.field(QStringLiteral("photonames")).split(QStringLiteral("|:|")).size(), 2);
    // Only what failed goes again.
    QCOMPARE(m_fake.requestsFor(kFolder).size(), action == kFolder ? 1 : 0);
    QCOMPARE(m_fake.requestsFor(kSavePic).size(), action == kSavePic ? 2 : 0);
    QCOMPARE(m_fake.modelStore().order(QStringLiteral("301")).value(QStringLiteral("images")).toArray().size(), 2);

    // Sent again with nothing left to send: nothing is shown on the order.
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// The grid of the order being imported ends with every photo of the run,
// also when the service answers the reload of the order's photos before it
// has taken the last reports.
void TestTfHome::gridShowsEveryPhotoOfTheRun()
{
    // The service takes a photo when it answers its report, 300 ms later;
    // a photo list asked for before then does not hold it yet.
    QHash<QString, QElapsedTimer> savedAt;
    QMetaObject::Connection recorder = connect(&m_fake, &FakeOrderService::requestReceived, this,
                                               [&savedAt](const FakeOrderService::Request &request) {
        if (request.action() == kSavePic) {
            QString path = request.field(QStringLiteral("path"));
            savedAt[path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)].start();
        }
    });
    m_fake.setFault(kSavePic, FakeOrderService::Fault::Delay, QString(), 300);
    const QString photosAction = QStringLiteral("&m=order&a=getorderphotoimg");
    m_fake.setHandler(photosAction, [this, &savedAt](const FakeOrderService::Request &) {
        QJsonArray images;
        for (const QJsonValue &value : m_fake.modelStore().order(QStringLiteral("301")).value(QStringLiteral("images")).toArray()) {
            const QString name = value.toObject().value(QStringLiteral("img_name")).toString();
            if (!savedAt.contains(name) || savedAt.value(name).elapsed() >= 250)
                images.append(value);
        }
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")}, {QStringLiteral("images"), images}};
    });

    const QStringList photos = writePhotos(QStringLiteral("grid"),
                                           {QStringLiteral("G_1.jpg"), QStringLiteral("G_2.jpg"), QStringLiteral("G_3.jpg")});
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    pick(window, 0, UploadType::Photos, photos);
    importAll(window);
    tfhomeorders_PhotoDisplayWidget *grid = window->ordersPanel()->photoDisplayWidget();
    QCOMPARE(grid->shownOrder().order_photo_id, QStringLiteral("301"));
    QTRY_COMPARE_WITH_TIMEOUT(grid->itemCount(), 3, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 1, 10000);
    QCOMPARE(grid->itemCount(), 3);
    QCOMPARE(window->ordersPanel()->orderAt(0).photos.size(), 3);
    disconnect(recorder);
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// "全部开始" again after a failed copy: only the photo copied in the new run
// is reported, and the order's count holds every photo the service took.
void TestTfHome::secondRunReportsWhatItCopied()
{
    const QStringList photos = writePhotos(QStringLiteral("rerun"), {QStringLiteral("S_1.jpg"), QStringLiteral("S_2.jpg")});
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    tfhomeorders *panel = window->ordersPanel();
    const QString folder = PathUtil::toFs(OrderPicks::targetFolder(panel->orderAt(0)));
    const QString blocker = folder + QStringLiteral("/1920/S_2.jpg");
    QVERIFY(QDir().mkpath(blocker));
    pick(window, 0, UploadType::Photos, photos);
    importAll(window);
    checkReports(folder, {QStringLiteral("S_1.jpg")}, {QStringLiteral("S_1.jpg")});
    auto *start = panel->orderListWidget()->findChild<QPushButton *>(QStringLiteral("startAllButton"));
    QCOMPARE(start->text(), QStringLiteral("全部开始/上传失败照片"));

    QVERIFY(QDir(blocker).removeRecursively());
    m_fake.clearRequests();
    importAll(window);
    checkReports(folder, {QStringLiteral("S_2.jpg")}, {QStringLiteral("S_1.jpg"), QStringLiteral("S_2.jpg")});
    QCOMPARE(start->text(), QStringLiteral("全部开始"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->photoDisplayWidget()->itemCount(), 2, 10000);
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// The same camera photos imported for one order and then for another in
// the same window: every copy of both runs holds upright pixels and no
// orientation tag that would turn them once more.
void TestTfHome::secondImportTurnsPhotosAgain()
{
    const QString source = m_dir.path() + QStringLiteral("/twice");
    QVERIFY(QDir().mkpath(source));
    QStringList photos;
    for (int orientation : {1, 3, 6, 8}) {
        const QString path = source + QStringLiteral("/DSC_%1.jpg").arg(orientation);
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 160, 120, orientation));
        photos << path;
    }
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    search(window);
    tfhomeorders *panel = window->ordersPanel();
    QStringList folders;
    for (int row : {0, 1}) {
        folders << PathUtil::toFs(OrderPicks::targetFolder(panel->orderAt(row)));
        pick(window, row, UploadType::Photos, photos);
        importAll(window);
        QVERIFY2(boxText(QStringLiteral("全部导完")).contains(QStringLiteral("总数:4  成功:4")),
                 qPrintable(boxText(QStringLiteral("全部导完"))));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSavePic).size(), 8, 10000);

    for (const QString &folder : qAsConst(folders)) {
        for (const QString &photo : qAsConst(photos)) {
            for (const QString &size : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"),
                                        QStringLiteral("1920")}) {
                const QString copy = folder + QLatin1Char('/') + size + QLatin1Char('/') + QFileInfo(photo).fileName();
                QImageReader reader(copy);
                reader.setAutoTransform(false);
                const QImage pixels = reader.read();
                QVERIFY2(!pixels.isNull(), qPrintable(copy));
                QVERIFY2(pixels.width() > pixels.height(), qPrintable(copy));
                QCOMPARE(JpegFixture::quadrantLayout(pixels), (QList<int>{0, 1, 2, 3}));
                QVERIFY2(TfImage::readExifOrientation(copy) == 1, qPrintable(copy));
            }
        }
    }
    window->close();
    QTRY_VERIFY(guard.isNull());
}

void TestTfHome::searchBarShowsWholeTexts_data()
{
    QTest::addColumn<int>("searchType");
    QTest::newRow("keyword") << 0;
    QTest::newRow("selection date") << 2;
}

// The window at the size it opens with where no window manager maximises
// it: every combo shows its longest item whole (text, the 12 px paddings on
// both sides and the 30 px arrow), the keyword box its whole placeholder, and
// nothing of the bar lies outside the panel.
void TestTfHome::searchBarShowsWholeTexts()
{
    QFETCH(int, searchType);
    g_shopList << ShopInfo{QStringLiteral("12"), QStringLiteral("朝阳大悦城旗舰店"), QString()};
    QJsonArray persons = m_fake.modelStore().list(QStringLiteral("persons"));
    persons.append(QJsonObject{{QStringLiteral("id"), QStringLiteral("42")},
                               {QStringLiteral("name"), QStringLiteral("欧阳修图老师")},
                               {QStringLiteral("shopid"), QStringLiteral("11")}});
    m_fake.modelStore().setList(QStringLiteral("persons"), persons);
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    QCOMPARE(window->size(), QSize(1200, 800));
    tfhomeorders *panel = window->ordersPanel();
    auto *tiaose = panel->findChild<QComboBox *>(QStringLiteral("m_tiaoseCombo"));
    // The retoucher list, with its long name, has arrived.
    QTRY_COMPARE_WITH_TIMEOUT(tiaose->count(), 3, 10000);
    panel->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"))->setCurrentIndex(searchType);
    QTRY_VERIFY(QTest::qWaitForWindowExposed(window));
    QCoreApplication::processEvents();

    for (const char *name : {"m_branchCombo", "m_searchTypeCombo", "m_tiaoseCombo"}) {
        auto *combo = panel->findChild<QComboBox *>(QLatin1String(name));
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = qMax(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
        QVERIFY2(combo->width() >= widest + 24 + 30,
                 qPrintable(QStringLiteral("%1: %2 < %3").arg(QLatin1String(name)).arg(combo->width()).arg(widest + 54)));
    }
    auto *keyword = panel->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit"));
    const int placeholder = keyword->fontMetrics().horizontalAdvance(keyword->placeholderText());
    QVERIFY2(keyword->width() >= placeholder + 24 + 2,
             qPrintable(QStringLiteral("%1 < %2").arg(keyword->width()).arg(placeholder + 26)));
    QCOMPARE(keyword->isVisible(), searchType == 0);
    auto *search = panel->findChild<QPushButton *>(QStringLiteral("searchButton"));
    QVERIFY2(search->mapTo(panel, QPoint(search->width(), 0)).x() <= panel->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(search->mapTo(panel, QPoint(search->width(), 0)).x()).arg(panel->width())));
    window->close();
    QTRY_VERIFY(guard.isNull());
}

// Closing mid-run asks first and, while the question is shown, starts no
// new copy; 是 lets the copies in hand end and closes, the order not
// finished and not reported as done. The next window's run of the order
// copies only what was left and says so.
void TestTfHome::closeMidRunStopsAndNextRunResumes()
{
    const QStringList videos = writeVideos(QStringLiteral("close_yes"), 4);
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    // Two workers: V1 is copied, V2 and V3 are held in hand, V4 waits.
    ProduceGate gate({videos.at(1), videos.at(2)});
    startHeldRun(window, videos, gate, 2);
    tfhomeorders *panel = window->ordersPanel();
    const QString folder = PathUtil::toFs(OrderPicks::targetFolder(panel->orderAt(0)));
    const auto copyOf = [folder](int i) { return folder + QStringLiteral("/试拍视频/V%1.mp4").arg(i); };
    QTRY_COMPARE_WITH_TIMEOUT(panel->orderAt(0).selectedFiles.first().importFlag, int(PhotoStatus::Uploaded), 10000);

    QStringList startedWhileAsking;
    s_whileAsking = [&]() {
        // The copies in hand end while the user reads; the next one waits.
        gate.release();
        QTest::qWait(1000);
        startedWhileAsking = gate.started();
        startedWhileAsking.sort();
    };
    window->close();
    QVERIFY(hasBox(QStringLiteral("温馨提示")));
    QVERIFY2(boxText(QStringLiteral("温馨提示")).contains(QStringLiteral("订单A20240507001-1的导片还在进行")),
             qPrintable(boxText(QStringLiteral("温馨提示"))));
    QCOMPARE(startedWhileAsking, videos.mid(0, 3));
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 10000);
    QVERIFY(!hasBox(QStringLiteral("全部导完")));
    QCOMPARE(gate.started().size(), 3);
    QVERIFY(QFileInfo::exists(copyOf(3)));
    QVERIFY(!QFileInfo::exists(copyOf(4)));
    QVERIFY(m_fake.requestsFor(kSummary).isEmpty());
    QVERIFY(QFileInfo::exists(folder + QLatin1Char('/') + TfUnfinished::fileName()));
    {
        // A copy made again would lose this.
        QFile kept(copyOf(1));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("kept");
    }

    tfhome *next = openWindow();
    QPointer<tfhome> nextGuard(next);
    search(next);
    pick(next, 0, UploadType::TrialVideo, videos);
    importAll(next);
    const QString summary = boxText(QStringLiteral("全部导完"));
    QVERIFY2(summary.contains(QStringLiteral("A20240507001-1  总数:4  成功:4  （重新导入 1 个未完成的视频）")),
             qPrintable(summary));
    QFile kept(copyOf(1));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("kept"));
    QCOMPARE(QFileInfo(copyOf(4)).size(), qint64(4096));
    // Only V4 was copied again.
    QCOMPARE(gate.started().size(), 4);
    QCOMPARE(gate.started().last(), videos.at(3));
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 1, 10000);
    QCOMPARE(m_fake.requestsFor(kSummary).first().field(QStringLiteral("picnumber")), QStringLiteral("4"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(folder + QLatin1Char('/') + TfUnfinished::fileName()), 5000);
    next->close();
    QTRY_VERIFY(nextGuard.isNull());
}

// 否 goes on with the run: the order's end, come while the question was
// shown, is taken afterwards, and only then the summary box comes.
void TestTfHome::closeMidRunAnsweredNoGoesOn()
{
    const QStringList videos = writeVideos(QStringLiteral("close_no"), 3);
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    ProduceGate gate({videos.at(1), videos.at(2)});
    startHeldRun(window, videos, gate, 2);
    tfhomeorders *panel = window->ordersPanel();

    bool endBoxWhileAsking = true;
    s_closeAnswer = QMessageBox::No;
    s_whileAsking = [&]() {
        // The last copies end while the question is shown.
        gate.release();
        QTRY_COMPARE_WITH_TIMEOUT(panel->orderAt(0).selectedFiles.at(2).importFlag, int(PhotoStatus::Uploaded), 10000);
        QTest::qWait(500);
        endBoxWhileAsking = hasBox(QStringLiteral("全部导完"));
    };
    window->close();
    QVERIFY(!endBoxWhileAsking);
    QTRY_VERIFY_WITH_TIMEOUT(hasBox(QStringLiteral("全部导完")), 10000);
    QVERIFY(guard);
    QVERIFY(window->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kSummary).size(), 1, 10000);
    QCOMPARE(m_fake.requestsFor(kSummary).first().field(QStringLiteral("picnumber")), QStringLiteral("3"));
    QCOMPARE(window->ordersPanel()->orderAt(0).runState, OrderRunState::Done);
    window->close();
    QTRY_VERIFY(guard.isNull());
}

void TestTfHome::orderTableOnScreen_data()
{
    QTest::addColumn<QSize>("size");
    // Whether the screen has room for a useful part of the path.
    QTest::addColumn<bool>("pathOnScreen");
    QTest::newRow("1366 x 768") << QSize(1366, 768) << false;
    QTest::newRow("1920 x 1080") << QSize(1920, 1080) << true;
}

// The window as large as a small and a large screen: the row buttons show
// whole without a sideways scroll, more than four orders fit, and the path
// ends where the screen does (cut with an ellipsis) or lies behind it.
void TestTfHome::orderTableOnScreen()
{
    QFETCH(QSize, size);
    QFETCH(bool, pathOnScreen);
    tfhome *window = openWindow();
    QPointer<tfhome> guard(window);
    window->resize(size);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    search(window);
    QTableWidget *table = window->ordersPanel()->orderListWidget()->tableWidget();
    QCoreApplication::processEvents();
    const int viewport = table->viewport()->width();
    const int buttons = 6;
    const int path = 7;
    QCOMPARE(table->horizontalScrollBar()->value(), 0);
    QVERIFY2(table->columnViewportPosition(buttons) + table->columnWidth(buttons) <= viewport,
             qPrintable(QStringLiteral("%1 + %2 > %3").arg(table->columnViewportPosition(buttons)).arg(table->columnWidth(buttons)).arg(viewport)));
    QWidget *cell = table->cellWidget(0, buttons);
    QVERIFY(cell);
    for (QPushButton *button : cell->findChildren<QPushButton *>())
        QVERIFY2(cell->rect().contains(button->geometry()), qPrintable(button->text()));
    QVERIFY2(table->viewport()->height() / table->rowHeight(0) > 4,
             qPrintable(QStringLiteral("%1 / %2").arg(table->viewport()->height()).arg(table->rowHeight(0))));
    const int pathEnd = table->columnViewportPosition(path) + table->columnWidth(path);
    QCOMPARE(pathEnd <= viewport, pathOnScreen);
    // One line a cell: a long path ends in an ellipsis, not a second line
    // cut off by the row.
    QVERIFY(!table->wordWrap());
    window->close();
    QTRY_VERIFY(guard.isNull());
}

QTEST_MAIN(TestTfHome)
#include "tst_tfhome.moc"
