// The photo list: one card per picked photo or video, found by the index of
// its first entry; statuses of the four copies of a photo; switching orders
// while thumbnails are still being made; names and columns.

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/jpegfixture.h"
#include "transferphotos/tfhomephotos.h"
#include "base/orderreplies.h"

class TestTfHomePhotos : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void cardsPerPickedFile_data();
    void cardsPerPickedFile();
    void emptyOrder();
    void titleKeepsOrderNumberAsGiven();
    void photoStatusFollowsAllFourCopies_data();
    void photoStatusFollowsAllFourCopies();
    void videoStatus();
    void statusBeforeCardExists();
    void switchingOrdersDropsOldThumbnails();
    void longNameShortened();
    void cardsAddedWithoutThumbnails();

private:
    QStringList makePhotos(const QString &sub, int count, const QString &prefix = QStringLiteral("IMG_"));
    OrderInfo makeOrder(const QString &number, const QStringList &files, int type);

    QTemporaryDir m_dir;
};

void TestTfHomePhotos::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestTfHomePhotos::init()
{
    g_uploadType = int(UploadType::Photos);
}

QStringList TestTfHomePhotos::makePhotos(const QString &sub, int count, const QString &prefix)
{
    const QString folder = m_dir.path() + QLatin1Char('/') + sub;
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/%1%2.jpg").arg(prefix).arg(i + 1);
        if (!QFile::exists(path))
            JpegFixture::writeUprightQuadrants(path, 60, 40, 1);
        files << path;
    }
    return files;
}

OrderInfo TestTfHomePhotos::makeOrder(const QString &number, const QStringList &files, int type)
{
    OrderInfo order;
    order.order_photo_id = number;
    order.orderpayforkey = number;
    order.servicetimes = QStringLiteral("1");
    order.importPath = m_dir.path() + QStringLiteral("/import/") + number;
    order.row = 0;
    order.selectedFiles = OrderPicks::entriesFor(files, order, type);
    return order;
}

void TestTfHomePhotos::cardsPerPickedFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("files");
    QTest::addColumn<QList<int>>("cardEntries");
    QTest::newRow("photos") << int(UploadType::Photos) << 3 << QList<int>{0, 4, 8};
    QTest::newRow("videos") << int(UploadType::TrialVideo) << 3 << QList<int>{0, 1, 2};
}

void TestTfHomePhotos::cardsPerPickedFile()
{
    QFETCH(int, type);
    QFETCH(int, files);
    QFETCH(QList<int>, cardEntries);
    g_uploadType = type;

    const QStringList picked = makePhotos(QStringLiteral("cards"), files);
    const OrderInfo order = makeOrder(QStringLiteral("A001"), picked, type);
    tfhomephotos panel;
    panel.resize(600, 400);
    panel.show();
    panel.setOrderPhotos(0, order);
    QCOMPARE(panel.title(), QStringLiteral("照片列表 - A001 (3张)"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.cards().size(), files, 10000);

    for (int i = 0; i < cardEntries.size(); ++i) {
        PhotoItem *card = panel.cardForEntry(cardEntries.at(i));
        QVERIFY(card);
        QCOMPARE(card->entry().img_name, QStringLiteral("IMG_%1.jpg").arg(i + 1));
        QTRY_VERIFY_WITH_TIMEOUT(card->hasThumbnail(), 5000);
        QCOMPARE(card->badgeText(), QStringLiteral("●"));
    }
    if (type == int(UploadType::Photos)) {
        // Only a photo's first ("all") entry has a card.
        QVERIFY(!panel.cardForEntry(1));
        QVERIFY(!panel.cardForEntry(5));
    }
    // Cards are laid out in pick order, left to right.
    QVERIFY(panel.cardForEntry(cardEntries.at(0))->x() < panel.cardForEntry(cardEntries.at(1))->x());
}

void TestTfHomePhotos::emptyOrder()
{
    tfhomephotos panel;
    panel.setOrderPhotos(0, makeOrder(QStringLiteral("E1"), {}, int(UploadType::Photos)));
    QCOMPARE(panel.title(), QStringLiteral("照片列表 - E1 (0张)"));
    QVERIFY(panel.cards().isEmpty());
}

void TestTfHomePhotos::titleKeepsOrderNumberAsGiven()
{
    // An order number is the service's text: a "%2" in it is not a place for
    // the count.
    tfhomephotos panel;
    panel.setOrderPhotos(0, makeOrder(QStringLiteral("A%2-%1"), {}, int(UploadType::Photos)));
    QCOMPARE(panel.title(), QStringLiteral("照片列表 - A%2-%1 (0张)"));
}

void TestTfHomePhotos::photoStatusFollowsAllFourCopies_data()
{
    QTest::addColumn<QList<int>>("order");  // entry offsets within the photo
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QStringList>("badges"); // badge after each result

    QTest::newRow("all ok, all last")
        << QList<int>{3, 1, 2, 0} << QList<int>{0, 0, 0, 0}
        << QStringList{QStringLiteral("●"), QStringLiteral("●"), QStringLiteral("●"), QStringLiteral("✓")};
    QTest::newRow("1920 90 all 190")
        << QList<int>{3, 1, 0, 2} << QList<int>{0, 0, 0, 0}
        << QStringList{QStringLiteral("●"), QStringLiteral("●"), QStringLiteral("●"), QStringLiteral("✓")};
    QTest::newRow("one copy failed")
        << QList<int>{1, 2, 0, 3} << QList<int>{0, 2, 0, 0}
        << QStringList{QStringLiteral("●"), QStringLiteral("✕"), QStringLiteral("✕"), QStringLiteral("✕")};
}

void TestTfHomePhotos::photoStatusFollowsAllFourCopies()
{
    QFETCH(QList<int>, order);
    QFETCH(QList<int>, states);
    QFETCH(QStringList, badges);

    const QStringList picked = makePhotos(QStringLiteral("status"), 2);
    const OrderInfo shown = makeOrder(QStringLiteral("S1"), picked, int(UploadType::Photos));
    tfhomephotos panel;
    panel.show();
    panel.setOrderPhotos(0, shown);
    QTRY_COMPARE_WITH_TIMEOUT(panel.cards().size(), 2, 10000);
    PhotoItem *second = panel.cardForEntry(4);
    QVERIFY(second);
    for (int i = 0; i < order.size(); ++i) {
        panel.updatePhotoStatus(4 + order.at(i), QStringLiteral("IMG_2.jpg"), states.at(i));
        QCOMPARE(second->badgeText(), badges.at(i));
    }
    // The other photo is untouched.
    QCOMPARE(panel.cardForEntry(0)->badgeText(), QStringLiteral("●"));
}

void TestTfHomePhotos::videoStatus()
{
    g_uploadType = int(UploadType::RetouchedVideo);
    const QStringList picked = makePhotos(QStringLiteral("video"), 2, QStringLiteral("V_"));
    tfhomephotos panel;
    panel.show();
    panel.setOrderPhotos(0, makeOrder(QStringLiteral("V1"), picked, int(UploadType::RetouchedVideo)));
    QTRY_COMPARE_WITH_TIMEOUT(panel.cards().size(), 2, 10000);
    panel.updatePhotoStatus(1, QStringLiteral("V_2.jpg"), 2);
    QCOMPARE(panel.cardForEntry(1)->badgeText(), QStringLiteral("✕"));
    QCOMPARE(panel.cardForEntry(0)->badgeText(), QStringLiteral("●"));
    panel.updatePhotoStatus(0, QStringLiteral("V_1.jpg"), 0);
    QCOMPARE(panel.cardForEntry(0)->badgeText(), QStringLiteral("✓"));
    // A result naming another file than the entry is dropped.
    panel.updatePhotoStatus(0, QStringLiteral("V_2.jpg"), 2);
    QCOMPARE(panel.cardForEntry(0)->badgeText(), QStringLiteral("✓"));
}

void TestTfHomePhotos::statusBeforeCardExists()
{
    const QStringList picked = makePhotos(QStringLiteral("early"), 1);
    tfhomephotos panel;
    panel.show();
    panel.setOrderPhotos(0, makeOrder(QStringLiteral("P1"), picked, int(UploadType::Photos)));
    // All four copies done before the thumbnail arrived.
    for (int i = 0; i < 4; ++i)
        panel.updatePhotoStatus(i, QStringLiteral("IMG_1.jpg"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(panel.cards().size(), 1, 10000);
    QCOMPARE(panel.cardForEntry(0)->badgeText(), QStringLiteral("✓"));
}

void TestTfHomePhotos::switchingOrdersDropsOldThumbnails()
{
    const QStringList first = makePhotos(QStringLiteral("first"), 30, QStringLiteral("F_"));
    const QStringList second = makePhotos(QStringLiteral("second"), 3, QStringLiteral("S_"));
    tfhomephotos panel;
    panel.show();
    panel.setOrderPhotos(0, makeOrder(QStringLiteral("O1"), first, int(UploadType::Photos)));
    panel.setOrderPhotos(1, makeOrder(QStringLiteral("O2"), second, int(UploadType::Photos)));
    QCOMPARE(panel.title(), QStringLiteral("照片列表 - O2 (3张)"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.cards().size(), 3, 10000);
    // Let anything of the first order still queued arrive.
    QTRY_VERIFY_WITH_TIMEOUT(panel.cardForEntry(8) && panel.cardForEntry(8)->hasThumbnail(), 5000);
    QCoreApplication::processEvents();
    QCOMPARE(panel.cards().size(), 3);
    for (PhotoItem *card : panel.cards())
        QVERIFY2(card->entry().img_name.startsWith(QStringLiteral("S_")), qPrintable(card->entry().img_name));
}

void TestTfHomePhotos::longNameShortened()
{
    const QString name = QStringLiteral("ABCDEFGHIJKLMNOPQRSTU.jpg"); // 25 characters
    PhotoInfo entry;
    entry.img_name = name;
    PhotoItem item(entry);
    auto *label = item.findChild<QLabel *>(QStringLiteral("nameLabel"));
    QVERIFY(label);
    QCOMPARE(label->text(), name.left(17) + QStringLiteral("..."));
    QCOMPARE(label->toolTip(), name);
}

// Cards made at once for a list of entries: in the grid in list order, found
// by their entries, followed by status updates, and not made a second time
// when the thumbnails arrive.
void TestTfHomePhotos::cardsAddedWithoutThumbnails()
{
    const QStringList picked = makePhotos(QStringLiteral("direct"), 7, QStringLiteral("D_"));
    const OrderInfo shown = makeOrder(QStringLiteral("D1"), picked, int(UploadType::Photos));
    tfhomephotos panel;
    panel.resize(500, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.setOrderPhotos(0, shown);
    QList<PhotoInfo> heads;
    for (int i = 0; i < shown.selectedFiles.size(); i += 4)
        heads << shown.selectedFiles.at(i);
    panel.addPhotoItems(heads);
    QCOMPARE(panel.cards().size(), 7);

    auto *grid = qobject_cast<QGridLayout *>(panel.findChild<QScrollArea *>()->widget()->layout());
    QVERIFY(grid);
    const auto positionOf = [grid](QWidget *card) {
        int row = -1;
        int column = -1;
        int rowSpan = 0;
        int columnSpan = 0;
        const int at = grid->indexOf(card);
        if (at >= 0)
            grid->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
        return QPoint(column, row);
    };
    int columns = 0;
    while (columns < 7 && positionOf(panel.cardForEntry(4 * columns)).y() == 0)
        ++columns;
    QVERIFY2(columns >= 1 && columns < 7, qPrintable(QString::number(columns)));
    for (int k = 0; k < 7; ++k) {
        PhotoItem *card = panel.cardForEntry(4 * k);
        QVERIFY(card);
        QCOMPARE(card->entry().img_name, QStringLiteral("D_%1.jpg").arg(k + 1));
        QCOMPARE(positionOf(card), QPoint(k % columns, k / columns));
    }

    // A wider panel takes more cards per row.
    panel.resize(900, 400);
    panel.refreshLayout();
    QTRY_VERIFY(positionOf(panel.cardForEntry(4 * columns)).y() == 0);

    panel.updatePhotoStatus(8 + 1, QStringLiteral("D_3.jpg"), 2);
    QCOMPARE(panel.cardForEntry(8)->badgeText(), QStringLiteral("✕"));
    // The thumbnails land on the same cards.
    QTRY_VERIFY_WITH_TIMEOUT(panel.cardForEntry(24) && panel.cardForEntry(24)->hasThumbnail(), 10000);
    QCoreApplication::processEvents();
    QCOMPARE(panel.cards().size(), 7);
}

QTEST_MAIN(TestTfHomePhotos)
#include "tst_tfhomephotos.moc"
