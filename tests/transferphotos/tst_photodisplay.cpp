// The imported-photo grid: an order's photos fetched from the fake service,
// selection, and deleting with confirmation, on the service and on disk,
// never outside the order's own folders. No run may warn of an object used
// from another thread than its own.

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"

namespace {

struct Box
{
    QString title;
    QString text;
};

QList<Box> s_boxes;
int s_answer = QMessageBox::Yes;

// Warnings about objects used from the wrong thread, caught for the whole run.
QStringList s_threadWarnings;
QtMessageHandler s_previousHandler = nullptr;

void recordThreadWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("thread")))
        s_threadWarnings.append(message);
    if (s_previousHandler)
        s_previousHandler(type, context, message);
}

QImage shownPicture(QWidget *card)
{
    auto *label = card ? qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>()) : nullptr;
    return label ? label->pixmap(Qt::ReturnByValue).toImage() : QImage();
}

bool touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

} // namespace

class TestPhotoDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void showsOrderPhotos();
    void newOrderDropsStaleThumbnails();
    void answerForEarlierOrderOfSameNamesIsDropped();
    void destroyedWhileLoadingThenNextGridLoads();
    void hostilePictureFailsAndOthersLoad_data();
    void hostilePictureFailsAndOthersLoad();
    void selectAllAndCardClick();
    void photosByName_data();
    void photosByName();
    void resultsGoInByName();
    void deletePermission_data();
    void deletePermission();
    void deleteAsksAndStaysInsideOrderFolder();
    void deleteVideosUsesVideoAction();
    void refusedDeleteTouchesNothing();

private:
    OrderInfo orderWithPhotos(const QString &number, int count, QJsonArray *images);
    // Order 301 with photos of these names, in this order.
    OrderInfo orderNamed(const QStringList &names);
    void putImages(const QString &orderPhotoId, const QJsonArray &images);

    FakeOrderService m_fake;
    QTemporaryDir m_dir;
    QByteArray m_jpeg;
};

void TestPhotoDisplay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    s_previousHandler = qInstallMessageHandler(recordThreadWarnings);
    m_jpeg = JpegFixture::encode(JpegFixture::quadrants(60, 40), JpegFixture::Options());
    ModalBox::setHook([](QDialog *dialog) {
        Box box;
        box.title = dialog->windowTitle();
        if (auto *message = qobject_cast<QMessageBox *>(dialog))
            box.text = message->text();
        s_boxes << box;
        return s_answer;
    });
}

void TestPhotoDisplay::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
    qInstallMessageHandler(s_previousHandler);
}

void TestPhotoDisplay::init()
{
    s_boxes.clear();
    s_answer = QMessageBox::Yes;
    g_uploadType = int(UploadType::Photos);
    m_fake.clearRequests();
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.setGetDelay(0);
    m_fake.loadModel(FakeModel::testData());
    BaseReq::setRequestDeadline(120000);
    s_threadWarnings.clear();
}

void TestPhotoDisplay::cleanup()
{
    QVERIFY2(s_threadWarnings.isEmpty(), qPrintable(s_threadWarnings.join(QLatin1Char('\n'))));
}

OrderInfo TestPhotoDisplay::orderWithPhotos(const QString &number, int count, QJsonArray *images)
{
    OrderInfo order;
    order.order_photo_id = QStringLiteral("301");
    order.orderpayforkey = number;
    order.servicetimes = QStringLiteral("1");
    order.importPath = m_dir.path() + QStringLiteral("/import/") + number;
    order.row = 0;
    for (int i = 0; i < count; ++i) {
        PhotoInfo photo;
        photo.id = QString::number(500 + i);
        photo.img_name = QStringLiteral("%1_%2.jpg").arg(number).arg(i);
        photo.url = m_fake.addFile(photo.img_name, m_jpeg, QStringLiteral("image/jpeg"));
        photo.localpath = order.importPath + QStringLiteral("/all/") + photo.img_name;
        order.photos << photo;
        if (images) {
            images->append(QJsonObject{{QStringLiteral("id"), photo.id},
                                       {QStringLiteral("img_name"), photo.img_name},
                                       {QStringLiteral("url"), photo.url},
                                       {QStringLiteral("localpath"), photo.localpath},
                                       {QStringLiteral("type"), QStringLiteral("1")}});
        }
    }
    return order;
}

OrderInfo TestPhotoDisplay::orderNamed(const QStringList &names)
{
    OrderInfo order = orderWithPhotos(QStringLiteral("N1"), names.size(), nullptr);
    for (int i = 0; i < names.size(); ++i)
        order.photos[i].img_name = names.at(i);
    return order;
}

void TestPhotoDisplay::putImages(const QString &orderPhotoId, const QJsonArray &images)
{
    FakeModel &model = m_fake.modelStore();
    const int index = model.orderIndex(orderPhotoId);
    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    order.insert(QStringLiteral("images"), images);
    model.replaceAt(QStringLiteral("orders"), index, order);
}

void TestPhotoDisplay::showsOrderPhotos()
{
    tfhomeorders_PhotoDisplayWidget grid;
    grid.resize(900, 900);
    grid.show();
    const OrderInfo order = orderWithPhotos(QStringLiteral("G1"), 12, nullptr);
    grid.setOrder(order);
    QCOMPARE(grid.title(), QStringLiteral("已导入：12"));
    QCOMPARE(grid.itemCount(), 12);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(11), 5000);
    // The cards on screen get their pictures over HTTP.
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(0) && grid.isPhotoLoaded(4), 10000);
    QCOMPARE(grid.photoNames().first(), QStringLiteral("G1_0.jpg"));

    // A photo saved during an import is added at once.
    PhotoInfo added;
    added.id = QStringLiteral("900");
    added.img_name = QStringLiteral("new.jpg");
    added.url = m_fake.addFile(added.img_name, m_jpeg, QStringLiteral("image/jpeg"));
    grid.addImportedPhoto(added);
    QCOMPARE(grid.itemCount(), 13);
    QCOMPARE(grid.title(), QStringLiteral("已导入照片：13张"));
    QVERIFY(grid.cardAt(12));
}

void TestPhotoDisplay::newOrderDropsStaleThumbnails()
{
    tfhomeorders_PhotoDisplayWidget grid;
    grid.resize(900, 900);
    grid.show();
    m_fake.setGetDelay(300);
    grid.setOrder(orderWithPhotos(QStringLiteral("OLD"), 4, nullptr));
    grid.createAllCards();
    QTRY_VERIFY_WITH_TIMEOUT(m_fake.requests().size() >= 1, 5000);
    m_fake.setGetDelay(0);
    grid.setOrder(orderWithPhotos(QStringLiteral("NEW"), 2, nullptr));
    grid.createAllCards();
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(0) && grid.isPhotoLoaded(1), 10000);
    QCOMPARE(grid.photoNames(), QStringList({QStringLiteral("NEW_0.jpg"), QStringLiteral("NEW_1.jpg")}));
    QCOMPARE(grid.itemCount(), 2);
}

void TestPhotoDisplay::answerForEarlierOrderOfSameNamesIsDropped()
{
    tfhomeorders_PhotoDisplayWidget grid;
    grid.resize(900, 900);
    grid.show();
    QSignalSpy requests(&grid, &tfhomeorders_PhotoDisplayWidget::loadPhotoRequest);
    const OrderInfo first = orderWithPhotos(QStringLiteral("C1"), 2, nullptr);
    grid.setOrder(first);
    grid.createAllCards();
    QTRY_VERIFY_WITH_TIMEOUT(!requests.isEmpty(), 5000);
    const int oldGeneration = requests.first().at(4).toInt();

    // Camera names repeat across orders: the next order has the same ones.
    OrderInfo second = orderWithPhotos(QStringLiteral("C2"), 2, nullptr);
    for (int i = 0; i < second.photos.size(); ++i)
        second.photos[i].img_name = first.photos.at(i).img_name;
    requests.clear();
    grid.setOrder(second);
    grid.createAllCards();
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(0), 10000);
    QVERIFY(!requests.isEmpty());
    const int generation = requests.first().at(4).toInt();
    QVERIFY(generation != oldGeneration);
    const QImage shown = shownPicture(grid.cardAt(0));
    QVERIFY(!shown.isNull());

    // An answer of the first order that was already on its way: same index,
    // same name, earlier order.
    QImage red(90, 90, QImage::Format_RGB32);
    red.fill(Qt::red);
    grid.onPhotoLoaded(red, first.photos.first().img_name, 0, oldGeneration);
    QCOMPARE(shownPicture(grid.cardAt(0)), shown);
    // The same answer for the shown order is taken.
    grid.onPhotoLoaded(red, first.photos.first().img_name, 0, generation);
    QCOMPARE(shownPicture(grid.cardAt(0)).pixelColor(45, 45), QColor(Qt::red));
}

void TestPhotoDisplay::destroyedWhileLoadingThenNextGridLoads()
{
    // A grid closed with downloads still open ends its loader's network
    // objects on the loader's own thread; the next grid loads as the first
    // would have.
    m_fake.setGetDelay(2000);
    for (int round = 0; round < 2; ++round) {
        m_fake.clearRequests();
        tfhomeorders_PhotoDisplayWidget grid;
        grid.resize(900, 900);
        grid.show();
        grid.setOrder(orderWithPhotos(QStringLiteral("Z%1").arg(round), 6, nullptr));
        grid.createAllCards();
        QTRY_VERIFY_WITH_TIMEOUT(m_fake.requests().size() >= 2, 10000);
    }
    m_fake.setGetDelay(0);
    tfhomeorders_PhotoDisplayWidget grid;
    grid.resize(900, 900);
    grid.show();
    grid.setOrder(orderWithPhotos(QStringLiteral("Z2"), 3, nullptr));
    grid.createAllCards();
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(0) && grid.isPhotoLoaded(2), 10000);
}

void TestPhotoDisplay::hostilePictureFailsAndOthersLoad_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("header claims 60000 x 60000") << "huge";
    QTest::newRow("picture trickles in without end") << "trickle";
}

void TestPhotoDisplay::hostilePictureFailsAndOthersLoad()
{
    QFETCH(QString, kind);
    OrderInfo order = orderWithPhotos(QStringLiteral("H1"), 2, nullptr);
    if (kind == QLatin1String("huge")) {
        order.photos[0].url = m_fake.addFile(QStringLiteral("huge.jpg"), JpegFixture::hugeClaim(),
                                             QStringLiteral("image/jpeg"));
    } else {
        BaseReq::setRequestDeadline(1500);
        m_fake.setFault(QStringLiteral("&m=file&a=trickle"), FakeOrderService::Fault::Trickle, QString(), 200);
        order.photos[0].url = m_fake.indexUrl() + QStringLiteral("g=QuorplexDPc&m=file&a=trickle");
    }

    tfhomeorders_PhotoDisplayWidget grid;
    grid.resize(900, 900);
    grid.show();
    grid.setOrder(order);
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(1), 10000);
    auto *label = qobject_cast<QLabel *>(grid.cardAt(0)->property("photoLabel").value<QObject *>());
    QVERIFY(label);
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("加载失败"), 8000);
    QVERIFY(!grid.isPhotoLoaded(0));
}

void TestPhotoDisplay::selectAllAndCardClick()
{
    tfhomeorders_PhotoDisplayWidget grid;
    grid.setDeletePermission(1);
    grid.resize(900, 900);
    grid.show();
    grid.setOrder(orderWithPhotos(QStringLiteral("S1"), 3, nullptr));
    grid.createAllCards();
    auto *selectAll = grid.findChild<QPushButton *>(QStringLiteral("selectAllButton"));
    auto *remove = grid.findChild<QPushButton *>(QStringLiteral("deleteButton"));
    QVERIFY(selectAll && remove);
    QVERIFY(!remove->isEnabled());

    // A click on the card away from its small button selects it.
    QWidget *card = grid.cardAt(1);
    QVERIFY(card);
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(card->width() / 2, card->height() - 10));
    QVERIFY(grid.isPhotoSelected(1));
    QVERIFY(remove->isEnabled());

    selectAll->click();
    QCOMPARE(grid.selectedPhotoCount(), 3);
    QCOMPARE(selectAll->text(), QStringLiteral("取消全选"));
    selectAll->click();
    QCOMPARE(grid.selectedPhotoCount(), 0);
    QCOMPARE(selectAll->text(), QStringLiteral("全选"));
    QVERIFY(!remove->isEnabled());
}

void TestPhotoDisplay::photosByName_data()
{
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("in the order they finished")
        << QStringList{"IMG_1001.jpg", "IMG_1003.jpg", "IMG_1002.jpg", "IMG_1004.jpg"}
        << QStringList{"IMG_1001.jpg", "IMG_1002.jpg", "IMG_1003.jpg", "IMG_1004.jpg"};
    QTest::newRow("numbers by their value")
        << QStringList{"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg", "IMG_100.jpg"}
        << QStringList{"IMG_1.jpg", "IMG_2.jpg", "IMG_10.jpg", "IMG_100.jpg"};
    QTest::newRow("case and leading zeros")
        << QStringList{"img_3.jpg", "IMG_02.jpg", "Img_1.jpg", "DSC_9.jpg"}
        << QStringList{"DSC_9.jpg", "Img_1.jpg", "IMG_02.jpg", "img_3.jpg"};
    QTest::newRow("names that tie apart from case")
        << QStringList{"b.jpg", "A.jpg", "a.jpg", "B.jpg"} << QStringList{"A.jpg", "a.jpg", "B.jpg", "b.jpg"};
}

// The grid shows an order's photos by name, numbers by their value,
// whatever order the service keeps them in.
void TestPhotoDisplay::photosByName()
{
    QFETCH(QStringList, saved);
    QFETCH(QStringList, shown);
    tfhomeorders_PhotoDisplayWidget grid;
    grid.resize(900, 900);
    grid.show();
    grid.setOrder(orderNamed(saved));
    QCOMPARE(grid.photoNames(), shown);
}

// Photos saved during an import, in the order they finish, go in where
// their names put them: the cards already shown stay, with their pictures
// and their selection, and their buttons act on their own photos.
void TestPhotoDisplay::resultsGoInByName()
{
    tfhomeorders_PhotoDisplayWidget grid;
    grid.setDeletePermission(1);
    grid.resize(900, 900);
    grid.show();
    const QStringList names{"IMG_1001.jpg", "IMG_1004.jpg", "IMG_1003.jpg", "IMG_1002.jpg"};
    const OrderInfo all = orderNamed(names);
    OrderInfo stored = all;
    stored.photos = all.photos.mid(0, 2);
    grid.setOrder(stored);
    grid.createAllCards();
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(0) && grid.isPhotoLoaded(1), 10000);
    QWidget *first = grid.cardAt(0);
    QWidget *last = grid.cardAt(1);
    grid.setPhotoSelected(1, true);

    for (int saved = 3; saved <= 4; ++saved) {
        stored.photos = all.photos.mid(0, saved);
        grid.followOrder(stored);
    }
    QCOMPARE(grid.photoNames(), (QStringList{"IMG_1001.jpg", "IMG_1002.jpg", "IMG_1003.jpg", "IMG_1004.jpg"}));
    QCOMPARE(grid.cardAt(0), first);
    QCOMPARE(grid.cardAt(3), last);
    QCOMPARE(grid.selectedNames(), QStringList{"IMG_1004.jpg"});
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(1) && grid.isPhotoLoaded(2) && grid.isPhotoLoaded(3), 10000);
    // The moved card's button still stands for its photo.
    auto *button = qobject_cast<QPushButton *>(last->property("selectButton").value<QObject *>());
    QVERIFY(button);
    button->click();
    QVERIFY(grid.selectedNames().isEmpty());
    QTest::mouseClick(grid.cardAt(2), Qt::LeftButton, Qt::NoModifier,
                      QPoint(grid.cardAt(2)->width() / 2, grid.cardAt(2)->height() - 10));
    QCOMPARE(grid.selectedNames(), QStringList{"IMG_1003.jpg"});
}

void TestPhotoDisplay::deletePermission_data()
{
    QTest::addColumn<int>("permission");
    QTest::addColumn<QString>("issample");
    QTest::addColumn<bool>("visible");
    QTest::newRow("allowed") << 1 << QStringLiteral("0") << true;
    QTest::newRow("no permission") << 0 << QStringLiteral("0") << false;
    QTest::newRow("sample order") << 1 << QStringLiteral("1") << false;
}

void TestPhotoDisplay::deletePermission()
{
    QFETCH(int, permission);
    QFETCH(QString, issample);
    QFETCH(bool, visible);
    tfhomeorders_PhotoDisplayWidget grid;
    grid.show();
    grid.setDeletePermission(permission);
    OrderInfo order = orderWithPhotos(QStringLiteral("P1"), 1, nullptr);
    order.issample = issample;
    grid.setOrder(order);
    QCOMPARE(grid.findChild<QPushButton *>(QStringLiteral("deleteButton"))->isVisible(), visible);
    QCOMPARE(grid.findChild<QPushButton *>(QStringLiteral("selectAllButton"))->isVisible(), visible);
}

void TestPhotoDisplay::deleteAsksAndStaysInsideOrderFolder()
{
    QJsonArray images;
    OrderInfo order = orderWithPhotos(QStringLiteral("D1"), 3, &images);
    // The service names a file outside the order's folder for the third
    // photo: it must stay where it is.
    const QString outside = m_dir.path() + QStringLiteral("/elsewhere/all/D1_2.jpg");
    order.photos[2].localpath = outside;
    putImages(QStringLiteral("301"), images);
    const QString folder = order.importPath;
    QStringList copies;
    for (const QString &sub : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")})
        copies << folder + QLatin1Char('/') + sub + QStringLiteral("/D1_0.jpg");
    for (const QString &path : copies)
        QVERIFY(touch(path));
    const QString kept = folder + QStringLiteral("/all/D1_1.jpg");
    QVERIFY(touch(kept));
    QVERIFY(touch(outside));
    // The same name inside the order folder is not what the service named.
    QVERIFY(touch(folder + QStringLiteral("/all/D1_2.jpg")));

    tfhomeorders_PhotoDisplayWidget grid;
    grid.shopId = QStringLiteral("11");
    grid.eid = QStringLiteral("7001");
    grid.superId = QStringLiteral("9001");
    grid.setDeletePermission(1);
    grid.resize(900, 900);
    grid.show();
    grid.setOrder(order);
    grid.createAllCards();
    grid.setPhotoSelected(0, true);
    grid.setPhotoSelected(2, true);
    QSignalSpy reload(&grid, &tfhomeorders_PhotoDisplayWidget::reloadOrderThumbnail);

    // "No" deletes nothing.
    s_answer = QMessageBox::No;
    grid.findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    QCOMPARE(s_boxes.size(), 1);
    QCOMPARE(s_boxes.first().title, QStringLiteral("温馨提示"));
    QVERIFY2(s_boxes.first().text.contains(QStringLiteral("2 个照片")), qPrintable(s_boxes.first().text));
    QVERIFY(m_fake.requestsFor(QStringLiteral("&m=order&a=delimages")).isEmpty());

    s_answer = QMessageBox::Yes;
    grid.findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    QVERIFY(reload.wait(5000));
    QCOMPARE(reload.first().first().toString(), QStringLiteral("301"));
    const auto requests = m_fake.requestsFor(QStringLiteral("&m=order&a=delimages"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().field(QStringLiteral("ids")), QStringLiteral("502,500"));
    QCOMPARE(requests.first().field(QStringLiteral("order_photo_id")), QStringLiteral("301"));
    QCOMPARE(requests.first().field(QStringLiteral("personid")), QStringLiteral("7001"));

    for (const QString &path : copies)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    QVERIFY(QFile::exists(kept));
    QVERIFY(QFile::exists(outside));
    QVERIFY(QFile::exists(folder + QStringLiteral("/all/D1_2.jpg")));
    QTRY_COMPARE_WITH_TIMEOUT(s_boxes.size(), 3, 5000);
    QCOMPARE(s_boxes.last().text, QStringLiteral("删除成功，1 个本地文件未能删除：\n") + QDir::toNativeSeparators(outside));
    const QJsonArray left = m_fake.modelStore().order(QStringLiteral("301")).value(QStringLiteral("images")).toArray();
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first().toObject().value(QStringLiteral("id")).toString(), QStringLiteral("501"));
}

void TestPhotoDisplay::deleteVideosUsesVideoAction()
{
    g_uploadType = int(UploadType::TrialVideo);
    OrderInfo order;
    order.order_photo_id = QStringLiteral("301");
    order.importPath = m_dir.path() + QStringLiteral("/import/V1");
    PhotoInfo video;
    video.id = QStringLiteral("610");
    video.img_name = QStringLiteral("a.mp4");
    video.localpath = order.importPath + QStringLiteral("/试拍视频/a.mp4");
    order.trialVideos << video;
    putImages(QStringLiteral("301"), QJsonArray{QJsonObject{{QStringLiteral("id"), video.id},
                                                            {QStringLiteral("img_name"), video.img_name},
                                                            {QStringLiteral("type"), QStringLiteral("2")}}});
    QVERIFY(touch(video.localpath));

    tfhomeorders_PhotoDisplayWidget grid;
    grid.setDeletePermission(1);
    grid.resize(600, 600);
    grid.show();
    grid.setOrder(order);
    grid.createAllCards();
    // Videos show the video picture without asking the network.
    QTRY_VERIFY_WITH_TIMEOUT(grid.isPhotoLoaded(0), 5000);
    // The type selected later does not change what the shown list deletes.
    g_uploadType = int(UploadType::Photos);
    grid.setPhotoSelected(0, true);
    QSignalSpy reload(&grid, &tfhomeorders_PhotoDisplayWidget::reloadOrderThumbnail);
    grid.findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    QVERIFY(reload.wait(5000));
    QCOMPARE(m_fake.requestsFor(QStringLiteral("&m=order&a=delmv")).size(), 1);
    QVERIFY(m_fake.requestsFor(QStringLiteral("&m=order&a=delimages")).isEmpty());
    QVERIFY(!QFile::exists(video.localpath));
    QTRY_COMPARE_WITH_TIMEOUT(s_boxes.value(s_boxes.size() - 1).text, QStringLiteral("删除成功"), 5000);
}

void TestPhotoDisplay::refusedDeleteTouchesNothing()
{
    QJsonArray images;
    const OrderInfo order = orderWithPhotos(QStringLiteral("R1"), 1, &images);
    putImages(QStringLiteral("301"), images);
    QVERIFY(touch(order.photos.first().localpath));
    m_fake.setFault(QStringLiteral("&m=order&a=delimages"), FakeOrderService::Fault::CodeZeroMessage,
                    QStringLiteral("订单已锁定"));

    tfhomeorders_PhotoDisplayWidget grid;
    grid.setDeletePermission(1);
    grid.show();
    grid.setOrder(order);
    grid.createAllCards();
    grid.setPhotoSelected(0, true);
    grid.findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_boxes.size(), 2, 5000);
    QCOMPARE(s_boxes.last().text, QStringLiteral("订单已锁定"));
    QVERIFY(QFile::exists(order.photos.first().localpath));
}

QTEST_MAIN(TestPhotoDisplay)
#include "tst_photodisplay.moc"
