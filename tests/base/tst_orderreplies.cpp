// The order-list reply builder and the per-order pick state, driven
// directly: records from reply JSON, picked entries, engine results, counts.

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "base/k.h"
#include "base/pathutil.h"
#include "base/orderinfo.h"
#include "base/orderreplies.h"

namespace {

QJsonObject photo(const QString &id, const QString &name, const QJsonValue &type)
{
    QJsonObject object{{QStringLiteral("id"), id},
                       {QStringLiteral("img_name"), name},
                       {QStringLiteral("url"), QStringLiteral("http://127.0.0.1/") + name},
                       {QStringLiteral("localpath"), QStringLiteral("D:/photos/") + name}};
    if (!type.isUndefined())
        object.insert(QStringLiteral("type"), type);
    return object;
}

QStringList namesOf(const QList<PhotoInfo> &list)
{
    QStringList names;
    for (const PhotoInfo &p : list)
        names << p.img_name;
    return names;
}

OrderInfo pickedOrder(const QStringList &files, UploadType type, const QString &folder)
{
    OrderInfo order;
    order.order_photo_id = QStringLiteral("301");
    order.orderpayforkey = QStringLiteral("A1");
    order.importPath = folder;
    order.imagesize_small = QStringLiteral("90");
    order.imagesize_middle = QStringLiteral("190");
    order.imagesize_big = QStringLiteral("1920");
    order.row = 0;
    order.selectedFiles = OrderPicks::entriesFor(files, order, static_cast<int>(type));
    return order;
}

} // namespace

class TestOrderReplies : public QObject
{
    Q_OBJECT

private slots:
    void shotDate_data();
    void shotDate();
    void copySizes_data();
    void copySizes();
    void fieldsAndPaths();
    void numbersReadAsEmptyText();
    void serverPhotosSortedByType();
    void folderValuesCleaned_data();
    void folderValuesCleaned();
    void importedCountsKeepLastOfId();
    void entriesPerPick_data();
    void entriesPerPick();
    void entryRatiosFollowOrderSizes();
    void duplicateNames();
    void uploadTypeFromPicks();
    void resultsInAnyOrder();
    void resultMismatchDropped_data();
    void resultMismatchDropped();
    void videoResults();
    void countAndTally();
};

void TestOrderReplies::shotDate_data()
{
    QTest::addColumn<QString>("shotdate");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::newRow("short parts padded") << "2024-5-7" << "2024" << "05" << "07";
    QTest::newRow("padded") << "2024-05-07" << "2024" << "05" << "07";
    QTest::newRow("slashes") << "2024/05/07" << "1970" << "01" << "01";
    QTest::newRow("empty") << "" << "1970" << "01" << "01";
    QTest::newRow("two parts") << "2024-05" << "1970" << "01" << "01";
    QTest::newRow("short year kept") << "24-5-7" << "24" << "05" << "07";
    QTest::newRow("dot part") << "2024-..-07" << "1970" << "01" << "01";
    QTest::newRow("single dot") << "2024-.-07" << "1970" << "01" << "01";
    QTest::newRow("letters") << "2024-05-0a" << "1970" << "01" << "01";
    QTest::newRow("empty part") << "2024--07" << "1970" << "01" << "01";
    QTest::newRow("separator inside") << "2024-05-0\\7" << "1970" << "01" << "01";
}

void TestOrderReplies::shotDate()
{
    QFETCH(QString, shotdate);
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(QString, day);
    const OrderInfo order = OrderReplies::orderFromJson(QJsonObject{{QStringLiteral("shotdate"), shotdate}}, 0);
    QCOMPARE(order.shotdate, shotdate);
    QCOMPARE(order.shotdate_year, year);
    QCOMPARE(order.shotdate_month, month);
    QCOMPARE(order.shotdate_day, day);
}

void TestOrderReplies::copySizes_data()
{
    QTest::addColumn<QJsonValue>("small");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("secondRatio");
    QTest::newRow("zero") << QJsonValue(QStringLiteral("0")) << "90" << "90";
    QTest::newRow("empty") << QJsonValue(QString()) << "" << "90";
    QTest::newRow("own size") << QJsonValue(QStringLiteral("120")) << "120" << "120";
    QTest::newRow("number") << QJsonValue(0) << "" << "90";
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << "" << "90";
}

void TestOrderReplies::copySizes()
{
    QFETCH(QJsonValue, small);
    QFETCH(QString, field);
    QFETCH(QString, secondRatio);
    QJsonObject object{{QStringLiteral("imagesize_middle"), QStringLiteral("0")},
                       {QStringLiteral("imagesize_big"), QStringLiteral("2400")},
                       {QStringLiteral("netpath"), QStringLiteral("/srv/share/order")}};
    if (!small.isUndefined())
        object.insert(QStringLiteral("imagesize_small"), small);
    const OrderInfo order = OrderReplies::orderFromJson(object, 3);
    QCOMPARE(order.imagesize_small, field);
    QCOMPARE(order.imagesize_middle, QStringLiteral("190"));
    QCOMPARE(order.imagesize_big, QStringLiteral("2400"));

    const QList<PhotoInfo> entries =
        OrderPicks::entriesFor({QStringLiteral("/in/a.jpg")}, order, static_cast<int>(UploadType::Photos));
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries.at(1).sizeTag, QStringLiteral("90"));
    QCOMPARE(entries.at(1).ratio, secondRatio);
    QCOMPARE(entries.at(2).ratio, QStringLiteral("190"));
    QCOMPARE(entries.at(3).ratio, QStringLiteral("2400"));
}

void TestOrderReplies::fieldsAndPaths()
{
    const QJsonObject object{
        {QStringLiteral("id"), QStringLiteral("5")},
        {QStringLiteral("order_photo_id"), QStringLiteral("301")},
        {QStringLiteral("orderpayforkey"), QStringLiteral("A2024")},
        {QStringLiteral("servicetimes"), QStringLiteral("2")},
        {QStringLiteral("mname"), QStringLiteral("张伟")},
        {QStringLiteral("wname"), QStringLiteral("李娜")},
        {QStringLiteral("tiaosename"), QStringLiteral("周修图")},
        {QStringLiteral("netpath"), QStringLiteral("\\\\nas01\\photos\\2024\\A2024-2")},
        {QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), QStringLiteral("\\\\nas02\\public")}}},
    };
    const OrderInfo order = OrderReplies::orderFromJson(object, 7);
    QCOMPARE(order.row, 7);
    QCOMPARE(order.id, QStringLiteral("5"));
    QCOMPARE(order.order_photo_id, QStringLiteral("301"));
    QCOMPARE(order.orderpayforkey, QStringLiteral("A2024"));
    QCOMPARE(order.servicetimes, QStringLiteral("2"));
    QCOMPARE(order.uploadStatus, QStringLiteral("未选择"));
    QCOMPARE(order.selectedCount, 0);
    QCOMPARE(order.importedCount, 0);
    QCOMPARE(order.failedCount, 0);
    QVERIFY(!order.spareFlag);
    QVERIFY(order.selectedFiles.isEmpty());
    QCOMPARE(order.netpath, QStringLiteral("\\\\nas01\\photos\\2024\\A2024-2"));
    QCOMPARE(order.importPath, K::instance()->toLocalPath(order.netpath));
    QCOMPARE(order.publicNetpath, QStringLiteral("\\\\nas02\\public"));
    QCOMPARE(order.publicImportPath, K::instance()->toLocalPath(QStringLiteral("\\\\nas02\\public")));
    QCOMPARE(order.resolvedImportPath, QStringLiteral("nas01"));

    // Without its own folder the order's share is the public one.
    QJsonObject noOwn = object;
    noOwn.insert(QStringLiteral("netpath"), QString());
    QCOMPARE(OrderReplies::orderFromJson(noOwn, 0).resolvedImportPath, QStringLiteral("nas02"));
}

void TestOrderReplies::numbersReadAsEmptyText()
{
    const QJsonObject object{{QStringLiteral("order_photo_id"), 301},
                             {QStringLiteral("orderpayforkey"), 2024},
                             {QStringLiteral("mphone"), 13800000000.0},
                             {QStringLiteral("picpathnew"), QStringLiteral("not an object")}};
    const OrderInfo order = OrderReplies::orderFromJson(object, 0);
    QVERIFY(order.order_photo_id.isEmpty());
    QVERIFY(order.orderpayforkey.isEmpty());
    QVERIFY(order.mphone.isEmpty());
    QVERIFY(order.publicNetpath.isEmpty());
}

void TestOrderReplies::serverPhotosSortedByType()
{
    const QJsonObject object{
        {QStringLiteral("images"),
         QJsonArray{photo("1", "a.jpg", QStringLiteral("1")), photo("2", "t.mp4", QStringLiteral("2")),
                    photo("3", "r.mp4", QStringLiteral("3")), photo("4", "b.jpg", QStringLiteral("0")),
                    photo("5", "c.jpg", QJsonValue(QJsonValue::Undefined)), photo("6", "d.jpg", QString()),
                    photo("7", "n.jpg", 2)}},
        {QStringLiteral("images_taipian"),
         QJsonArray{photo("8", "e.jpg", QStringLiteral("1")), photo("9", "t2.mp4", QStringLiteral("2"))}},
    };
    const OrderInfo order = OrderReplies::orderFromJson(object, 0);
    // A numeric type is no text "2": the entry is a photo.
    QCOMPARE(namesOf(order.photos),
             (QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "n.jpg", "e.jpg"}));
    QCOMPARE(namesOf(order.trialVideos), (QStringList{"t.mp4", "t2.mp4"}));
    QCOMPARE(namesOf(order.retouchedVideos), (QStringList{"r.mp4"}));
    const PhotoInfo &first = order.photos.first();
    QCOMPARE(first.id, QStringLiteral("1"));
    QCOMPARE(first.url, QStringLiteral("http://127.0.0.1/a.jpg"));
    QCOMPARE(first.localpath, QStringLiteral("D:/photos/a.jpg"));
    QVERIFY(first.sizeTag.isEmpty());
    QVERIFY(first.targetDir.isEmpty());
    QCOMPARE(first.importFlag, int(PhotoStatus::NotUploaded));
}

void TestOrderReplies::folderValuesCleaned_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("cleanNumber");
    QTest::addColumn<QString>("cleanCount");
    QTest::newRow("plain") << "A2024" << "1" << "A2024" << "1";
    QTest::newRow("separators") << "..\\..\\evil" << "1/2" << "evil" << "12";
    QTest::newRow("dot dot") << ".." << "." << "" << "";
    QTest::newRow("forbidden chars") << "A:2024*?" << "<1>" << "A2024" << "1";
}

void TestOrderReplies::folderValuesCleaned()
{
    QFETCH(QString, number);
    QFETCH(QString, count);
    QFETCH(QString, cleanNumber);
    QFETCH(QString, cleanCount);
    QTemporaryDir root;
    const QJsonObject object{
        {QStringLiteral("orderpayforkey"), number},
        {QStringLiteral("servicetimes"), count},
        {QStringLiteral("shotdate"), QStringLiteral("2024-5-7")},
        {QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), root.path()}}},
    };
    const OrderInfo order = OrderReplies::orderFromJson(object, 0);
    QCOMPARE(order.orderpayforkey, cleanNumber);
    QCOMPARE(order.servicetimes, cleanCount);
    // The folder the picks go to stays inside the shared root.
    const QString folder = OrderPicks::targetFolder(order);
    QVERIFY(!folder.isEmpty());
    QVERIFY2(QDir::cleanPath(PathUtil::toFs(folder)).startsWith(root.path() + QStringLiteral("/2024/05/07/")), qPrintable(folder));
}

void TestOrderReplies::importedCountsKeepLastOfId()
{
    const QJsonArray data{
        QJsonObject{{QStringLiteral("id"), QStringLiteral("1")},
                    {QStringLiteral("order_photo_id"), QStringLiteral("301")},
                    {QStringLiteral("images"), QJsonArray{photo("1", "a.jpg", QStringLiteral("1"))}}},
        QJsonObject{{QStringLiteral("id"), QStringLiteral("2")},
                    {QStringLiteral("order_photo_id"), QStringLiteral("302")},
                    {QStringLiteral("images"), QJsonArray{photo("2", "t.mp4", QStringLiteral("2"))}}},
        QJsonObject{{QStringLiteral("id"), QStringLiteral("3")},
                    {QStringLiteral("order_photo_id"), QStringLiteral("301")},
                    {QStringLiteral("orderpayforkey"), QStringLiteral("ignored")},
                    {QStringLiteral("images"),
                     QJsonArray{photo("3", "b.jpg", QStringLiteral("1")), photo("4", "c.jpg", QStringLiteral("1"))}},
                    {QStringLiteral("images_taipian"), QJsonArray{photo("5", "r.mp4", QStringLiteral("3"))}}},
    };
    const QMap<QString, OrderInfo> counts = OrderReplies::importedCounts(data);
    QCOMPARE(counts.size(), 2);
    const OrderInfo first = counts.value(QStringLiteral("301"));
    QCOMPARE(first.id, QStringLiteral("3"));
    QVERIFY(first.orderpayforkey.isEmpty());
    QCOMPARE(namesOf(first.photos), (QStringList{"b.jpg", "c.jpg"}));
    QCOMPARE(namesOf(first.retouchedVideos), (QStringList{"r.mp4"}));
    QCOMPARE(namesOf(counts.value(QStringLiteral("302")).trialVideos), (QStringList{"t.mp4"}));
}

void TestOrderReplies::entriesPerPick_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("tags");
    QTest::newRow("photos") << int(UploadType::Photos) << QStringList{"all", "90", "190", "1920"};
    QTest::newRow("trial video") << int(UploadType::TrialVideo) << QStringList{"试拍视频"};
    QTest::newRow("retouched video") << int(UploadType::RetouchedVideo) << QStringList{"精修视频"};
    QTest::newRow("unknown type") << 7 << QStringList{""};
}

void TestOrderReplies::entriesPerPick()
{
    QFETCH(int, type);
    QFETCH(QStringList, tags);
    QTemporaryDir dir;
    OrderInfo order;
    order.importPath = dir.path() + QStringLiteral("/order");
    const QStringList files{dir.path() + QStringLiteral("/in/IMG_1.jpg"), dir.path() + QStringLiteral("/in/IMG_2.jpg")};
    const QList<PhotoInfo> entries = OrderPicks::entriesFor(files, order, type);
    QCOMPARE(entries.size(), tags.size() * 2);
    for (int f = 0; f < 2; ++f) {
        for (int t = 0; t < tags.size(); ++t) {
            const PhotoInfo &entry = entries.at(f * tags.size() + t);
            QCOMPARE(entry.sizeTag, tags.at(t));
            if (type > 2)
                continue;
            QCOMPARE(entry.img_name, QStringLiteral("IMG_%1.jpg").arg(f + 1));
            QCOMPARE(entry.url, files.at(f));
            QCOMPARE(entry.targetDir, order.importPath);
            QCOMPARE(entry.importFlag, int(PhotoStatus::NotUploaded));
            QCOMPARE(entry.statusOrigin, int(PhotoStatus::NotUploaded));
            if (tags.at(t) == QLatin1String("all") || type != 0)
                QVERIFY(entry.ratio.isEmpty());
        }
    }
}

void TestOrderReplies::entryRatiosFollowOrderSizes()
{
    QTemporaryDir dir;
    OrderInfo order;
    order.publicImportPath = dir.path();
    order.shotdate_year = QStringLiteral("2024");
    order.shotdate_month = QStringLiteral("05");
    order.shotdate_day = QStringLiteral("07");
    order.orderpayforkey = QStringLiteral("A1");
    order.servicetimes = QStringLiteral("1");
    order.imagesize_small = QStringLiteral("120");
    const QList<PhotoInfo> entries =
        OrderPicks::entriesFor({QStringLiteral("/in/a.jpg")}, order, int(UploadType::Photos));
    QCOMPARE(entries.at(1).sizeTag, QStringLiteral("90"));
    QCOMPARE(entries.at(1).ratio, QStringLiteral("120"));
    QCOMPARE(entries.at(2).ratio, QStringLiteral("190"));
    QCOMPARE(entries.at(3).ratio, QStringLiteral("1920"));
    // Without a folder of its own the order's folder is built under the share.
    QCOMPARE(entries.at(0).targetDir, K::instance()->buildImportPath(order));
    QVERIFY(!entries.at(0).targetDir.isEmpty());
}

void TestOrderReplies::duplicateNames()
{
    QCOMPARE(OrderPicks::duplicateNames({"/a/IMG_1.jpg", "/b/IMG_2.jpg", "/c/IMG_1.jpg", "/d/img_2.JPG",
                                         "/e/IMG_1.jpg"}),
             (QStringList{"IMG_1.jpg", "img_2.JPG"}));
    QVERIFY(OrderPicks::duplicateNames({"/a/IMG_1.jpg", "/a/IMG_2.jpg"}).isEmpty());
}

void TestOrderReplies::uploadTypeFromPicks()
{
    OrderInfo order;
    QCOMPARE(OrderPicks::typeOfPicks(order, UploadType::RetouchedVideo), UploadType::RetouchedVideo);
    order.selectedFiles = OrderPicks::entriesFor({"/a/x.mp4"}, order, int(UploadType::TrialVideo));
    QCOMPARE(OrderPicks::typeOfPicks(order, UploadType::Photos), UploadType::TrialVideo);
    order.selectedFiles = OrderPicks::entriesFor({"/a/x.mp4"}, order, int(UploadType::RetouchedVideo));
    QCOMPARE(OrderPicks::typeOfPicks(order, UploadType::Photos), UploadType::RetouchedVideo);
    order.selectedFiles = OrderPicks::entriesFor({"/a/x.jpg"}, order, int(UploadType::Photos));
    QCOMPARE(OrderPicks::typeOfPicks(order, UploadType::TrialVideo), UploadType::Photos);
    QCOMPARE(OrderPicks::pickedCount(order, UploadType::Photos), 1);
}

void TestOrderReplies::resultsInAnyOrder()
{
    QTemporaryDir dir;
    OrderInfo order = pickedOrder({"/in/a.jpg", "/in/b.jpg"}, UploadType::Photos, dir.path());
    // b.jpg's copies arrive as "1920", "90", "all", "190".
    const int order4[] = {7, 5, 4, 6};
    for (int i = 0; i < 4; ++i) {
        QVERIFY(OrderPicks::applyResult(&order, UploadType::Photos, order4[i], QStringLiteral("b.jpg"), 0));
        QCOMPARE(order.selectedFiles.at(4).statusOrigin, i == 3 ? 0 : 1);
    }
    QCOMPARE(order.selectedFiles.at(4).status2, 0);
    QCOMPARE(order.selectedFiles.at(4).status3, 0);
    QCOMPARE(order.selectedFiles.at(4).status4, 0);
    QCOMPARE(order.selectedFiles.at(0).statusOrigin, 1);

    // One failed copy marks the whole photo failed, whatever comes after.
    QVERIFY(OrderPicks::applyResult(&order, UploadType::Photos, 2, QStringLiteral("a.jpg"), 2));
    QCOMPARE(order.selectedFiles.at(0).statusOrigin, 2);
    QCOMPARE(order.selectedFiles.at(0).status3, 2);
    QCOMPARE(order.selectedFiles.at(2).importFlag, 2);
    for (int index : {0, 1, 3})
        QVERIFY(OrderPicks::applyResult(&order, UploadType::Photos, index, QStringLiteral("a.jpg"), 0));
    QCOMPARE(order.selectedFiles.at(0).statusOrigin, 2);
    // The retry of that copy makes the photo whole again.
    QVERIFY(OrderPicks::applyResult(&order, UploadType::Photos, 2, QStringLiteral("a.jpg"), 0));
    QCOMPARE(order.selectedFiles.at(0).statusOrigin, 0);
}

void TestOrderReplies::resultMismatchDropped_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("index past end") << 8 << "b.jpg";
    QTest::newRow("negative") << -1 << "a.jpg";
    QTest::newRow("other file") << 5 << "a.jpg";
}

void TestOrderReplies::resultMismatchDropped()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    OrderInfo order = pickedOrder({"/in/a.jpg", "/in/b.jpg"}, UploadType::Photos, QStringLiteral("/tmp/x"));
    const QList<PhotoInfo> before = order.selectedFiles;
    QVERIFY(!OrderPicks::applyResult(&order, UploadType::Photos, index, name, 0));
    for (int i = 0; i < before.size(); ++i) {
        QCOMPARE(order.selectedFiles.at(i).importFlag, before.at(i).importFlag);
        QCOMPARE(order.selectedFiles.at(i).statusOrigin, before.at(i).statusOrigin);
    }
}

void TestOrderReplies::videoResults()
{
    OrderInfo order = pickedOrder({"/in/a.mp4", "/in/b.mp4", "/in/c.mp4"}, UploadType::TrialVideo, "/tmp/x");
    QCOMPARE(OrderPicks::pickedCount(order, UploadType::TrialVideo), 3);
    QVERIFY(OrderPicks::applyResult(&order, UploadType::TrialVideo, 1, QStringLiteral("b.mp4"), 0));
    QVERIFY(OrderPicks::applyResult(&order, UploadType::TrialVideo, 2, QStringLiteral("c.mp4"), 2));
    const PhotoInfo &b = order.selectedFiles.at(1);
    QCOMPARE(b.importFlag, 0);
    QCOMPARE(b.statusOrigin, 0);
    QCOMPARE(b.status2, 0);
    QCOMPARE(order.selectedFiles.at(2).statusOrigin, 2);
    QCOMPARE(order.selectedFiles.at(0).statusOrigin, 1);
    QString names;
    QCOMPARE(OrderPicks::countUploaded(order, UploadType::TrialVideo, &names), 1);
    QCOMPARE(names, QStringLiteral("b.mp4"));
    const OrderPicks::Tally t = OrderPicks::tally(order, UploadType::TrialVideo);
    QCOMPARE(t.total, 3);
    QCOMPARE(t.succeeded, 1);
    QCOMPARE(t.failed, 1);
}

void TestOrderReplies::countAndTally()
{
    QStringList files;
    for (int i = 0; i < 10; ++i)
        files << QStringLiteral("/in/P%1.jpg").arg(i);
    OrderInfo order = pickedOrder(files, UploadType::Photos, "/tmp/x");
    QCOMPARE(order.selectedFiles.size(), 40);
    for (int p = 0; p < 10; ++p) {
        for (int k = 0; k < 4; ++k) {
            // Photo 3's "190" copy fails; photo 9 is never reached.
            if (p == 9)
                continue;
            const int state = (p == 3 && k == 2) ? 2 : 0;
            QVERIFY(OrderPicks::applyResult(&order, UploadType::Photos, p * 4 + k, files.at(p).mid(4), state));
        }
    }
    QString names;
    // Each imported photo counts once, not once per copy.
    QCOMPARE(OrderPicks::countUploaded(order, UploadType::Photos, &names), 8);
    QCOMPARE(names.split(QStringLiteral("|:|")).size(), 8);
    QVERIFY(names.startsWith(QStringLiteral("P0.jpg|:|P1.jpg|:|P2.jpg|:|P4.jpg")));
    const OrderPicks::Tally t = OrderPicks::tally(order, UploadType::Photos);
    QCOMPARE(t.total, 10);
    QCOMPARE(t.failed, 1);
    // The photo never reached is no success.
    QCOMPARE(t.succeeded, 8);
    QVERIFY(OrderPicks::hasFailedEntry(order));
}

QTEST_MAIN(TestOrderReplies)
#include "tst_orderreplies.moc"
