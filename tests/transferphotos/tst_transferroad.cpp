// The whole road of the photo-transfer tool, through the real windows against
// the in-process fake service and real folders: log in, open the tool from
// the chooser, search, pick photos for one order and videos for another,
// import everything, then delete two imported photos.

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "base/pathutil.h"
#include "choosetools/choosetools.h"
#include "choosetools/toolcardwidget.h"
#include "login/loginnew.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/transferorders.h"
#include "transferphotos/tfhome.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"
#include "base/orderreplies.h"

namespace {

QStringList s_boxTitles;
QList<QStringList> s_picks;

ChooseTools *openChooser()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *chooser = qobject_cast<ChooseTools *>(w); chooser && chooser->isVisible())
            return chooser;
    }
    return nullptr;
}

QImage readUpright(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

} // namespace

class TestTransferRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginToImportToDelete();

private:
    FakeOrderService m_fake;
    QTemporaryDir m_dir;
};

void TestTransferRoad::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QStandardPaths::setTestModeEnabled(true);
    // The remembered login of an earlier run would fill the account field.
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                  + QStringLiteral("/login_config.txt"));
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    g_dataDir = m_dir.path() + QStringLiteral("/data/");
    BaseReq::setTransferTimeout(15000);
    ModalBox::setHook([](QDialog *dialog) {
        s_boxTitles << dialog->windowTitle();
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box && (box->standardButtons() & QMessageBox::Yes))
            return int(QMessageBox::Yes);
        return int(QMessageBox::Ok);
    });
    tfhomeorders_OrderListWidget::setFilePicker([](QWidget *, const QString &, const QString &) {
        return s_picks.isEmpty() ? QStringList() : s_picks.takeFirst();
    });

    // The orders' shared folder lies in the test's folder.
    TransferOrders::loadTestOrders(m_fake, m_dir.path() + QStringLiteral("/share"));
}

void TestTransferRoad::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
    tfhomeorders_OrderListWidget::setFilePicker(nullptr);
    // The chooser and the hidden login window are still there; dialogs are
    // top-level too and go with their parents, hence the guards.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTransferRoad::loginToImportToDelete()
{
    // Photos as cameras store them: four orientations of one upright scene.
    const QString source = m_dir.path() + QStringLiteral("/camera");
    QVERIFY(QDir().mkpath(source));
    const QList<int> orientations{1, 3, 6, 8};
    QStringList photos;
    for (int orientation : orientations) {
        const QString path = source + QStringLiteral("/DSC_%1.jpg").arg(orientation);
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 160, 120, orientation));
        photos << path;
    }
    const QString video = source + QStringLiteral("/试拍 01.mp4");
    {
        QFile file(video);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64 * 1024, 'v'));
    }

    // Log in.
    auto *login = new LoginNew;
    login->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<LoginNew> loginGuard(login);
    login->show();
    QVERIFY(QTest::qWaitForWindowExposed(login));
    const QList<QLineEdit *> fields = login->findChildren<QLineEdit *>(QStringLiteral("inputField"));
    QCOMPARE(fields.size(), 2);
    QTest::keyClicks(fields.at(0), QStringLiteral("tester"));
    QTest::keyClicks(fields.at(1), QStringLiteral("secret"));
    QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(openChooser(), 10000);
    QCOMPARE(g_userId, QStringLiteral("501"));
    // The login window fades out and closes.
    QTRY_VERIFY_WITH_TIMEOUT(!loginGuard || !loginGuard->isVisible(), 5000);

    // Open the photo-transfer tool from its card.
    ChooseTools *chooser = openChooser();
    ToolCardWidget *card = nullptr;
    for (ToolCardWidget *c : chooser->cards()) {
        if (c->title() == QStringLiteral("导片工具"))
            card = c;
    }
    QVERIFY(card);
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    auto *window = qobject_cast<tfhome *>(chooser->toolWindow(QStringLiteral("导片工具")));
    QVERIFY(window);
    QPointer<tfhome> guard(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // Search the first shop's orders.
    tfhomeorders *panel = window->ordersPanel();
    tfhomeorders_OrderListWidget *table = panel->orderListWidget();
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("searchButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(table->orderCount() >= 2, 10000);
    const OrderInfo photoOrder = panel->orderAt(0);
    const OrderInfo videoOrder = panel->orderAt(1);
    const QString photoFolder = PathUtil::toFs(OrderPicks::targetFolder(photoOrder));
    const QString videoFolder = PathUtil::toFs(OrderPicks::targetFolder(videoOrder));
    QVERIFY(PathUtil::isInside(photoFolder, m_dir.path() + QStringLiteral("/share")));
    QVERIFY(photoFolder != videoFolder);

    // Pick videos for the second order and photos for the first.
    auto pick = [&](int row, const char *typeButton, const QStringList &files) {
        table->tableWidget()->selectRow(row);
        table->findChild<QRadioButton *>(QLatin1String(typeButton))->setChecked(true);
        s_picks << files;
        QWidget *cell = table->tableWidget()->cellWidget(row, 6);
        QVERIFY(cell);
        cell->findChild<QPushButton *>(QStringLiteral("selectPhotosButton"))->click();
    };
    pick(1, "trialVideoButton", {video});
    pick(0, "photoTypeButton", photos);
    QCOMPARE(panel->orderAt(0).selectedFiles.size(), 16);
    QCOMPARE(panel->orderAt(1).selectedFiles.size(), 1);

    // Import all, one order after the other.
    s_boxTitles.clear();
    table->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(s_boxTitles.contains(QStringLiteral("全部导完")), 60000);
    QCOMPARE(table->cellText(0, QStringLiteral("上传状态")), QStringLiteral("导片完成"));
    QCOMPARE(table->cellText(1, QStringLiteral("上传状态")), QStringLiteral("导片完成"));

    // Every photo upright in "all" and in each reduced size; the video as it
    // is; an empty "原始档".
    for (int i = 0; i < photos.size(); ++i) {
        const QString name = QFileInfo(photos.at(i)).fileName();
        for (const QString &size : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"),
                                    QStringLiteral("1920")}) {
            const QString copy = photoFolder + QLatin1Char('/') + size + QLatin1Char('/') + name;
            const QImage image = readUpright(copy);
            QVERIFY2(!image.isNull(), qPrintable(copy));
            QVERIFY2(image.width() > image.height(), qPrintable(copy));
            QCOMPARE(JpegFixture::quadrantLayout(image), (QList<int>{0, 1, 2, 3}));
        }
    }
    QVERIFY(QFileInfo(videoFolder + QStringLiteral("/试拍视频/试拍 01.mp4")).isFile());
    QCOMPARE(QFileInfo(videoFolder + QStringLiteral("/试拍视频/试拍 01.mp4")).size(), qint64(64 * 1024));
    QVERIFY(QFileInfo(photoFolder + QStringLiteral("/原始档")).isDir());

    // Each photo and order reported with its own action and type.
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=logreadpic")).size(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath")).size(), 4, 10000);
    const auto saved = m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath"));
    QSet<QString> savedPaths;
    for (const auto &request : saved) {
        QCOMPARE(request.field(QStringLiteral("order_photo_id")), photoOrder.order_photo_id);
        savedPaths << PathUtil::toFs(request.field(QStringLiteral("path")));
    }
    QSet<QString> expectedPaths;
    for (const QString &photo : photos)
        expectedPaths << photoFolder + QStringLiteral("/all/") + QFileInfo(photo).fileName();
    QCOMPARE(savedPaths, expectedPaths);
    const auto savedVideos = m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpathmv"));
    QCOMPARE(savedVideos.size(), 1);
    QCOMPARE(savedVideos.first().field(QStringLiteral("order_photo_id")), videoOrder.order_photo_id);
    QCOMPARE(savedVideos.first().field(QStringLiteral("type")), QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=saveorderphotopath")).size(), 2, 10000);
    for (const auto &summary : m_fake.requestsFor(QStringLiteral("&m=order&a=logreadpic"))) {
        const bool photosOrder = summary.field(QStringLiteral("order_photo_id")) == photoOrder.order_photo_id;
        QCOMPARE(summary.field(QStringLiteral("type")), photosOrder ? QStringLiteral("1") : QStringLiteral("2"));
        QCOMPARE(summary.field(QStringLiteral("picnumber")), photosOrder ? QStringLiteral("4") : QStringLiteral("1"));
    }

    // The imported-photo grid of the photo order shows its photos.
    table->tableWidget()->selectRow(0);
    tfhomeorders_PhotoDisplayWidget *grid = panel->photoDisplayWidget();
    QTRY_COMPARE_WITH_TIMEOUT(grid->shownOrder().order_photo_id, photoOrder.order_photo_id, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(grid->itemCount(), 4, 10000);

    // Delete two of them: the service is told, exactly their local copies go.
    grid->createAllCards();
    const QStringList names = grid->photoNames();
    const QStringList doomed{QStringLiteral("DSC_3.jpg"), QStringLiteral("DSC_6.jpg")};
    for (const QString &name : doomed) {
        const int index = names.indexOf(name);
        QVERIFY2(index >= 0, qPrintable(name));
        grid->setPhotoSelected(index, true);
    }
    s_boxTitles.clear();
    grid->findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=delimages")).size(), 1, 10000);
    for (const QString &size : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"),
                                QStringLiteral("1920")}) {
        for (const QString &name : doomed)
            QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(photoFolder + QLatin1Char('/') + size + QLatin1Char('/') + name), 5000);
        QVERIFY(QFile::exists(photoFolder + QLatin1Char('/') + size + QStringLiteral("/DSC_1.jpg")));
        QVERIFY(QFile::exists(photoFolder + QLatin1Char('/') + size + QStringLiteral("/DSC_8.jpg")));
    }
    QVERIFY(QFile::exists(photos.at(1))); // the camera's own file stays
    QTRY_COMPARE_WITH_TIMEOUT(grid->itemCount(), 2, 10000);

    window->close();
    QTRY_VERIFY(guard.isNull());
}

QTEST_MAIN(TestTransferRoad)
#include "tst_transferroad.moc"
