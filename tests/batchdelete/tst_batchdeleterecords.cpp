#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include "base/globals.h"
#include "base/k.h"
#include "base/orderservice.h"
#include "batchdelete/batchdelete_actiondelegate.h"
#include "batchdelete/batchdeletefilemodel.h"
#include "batchdelete/jobs/batchdeleterecords.h"
#include "batchdelete/jobs/batchdeleterequests.h"
#include "tests/fakeservice/fakeorderservice.h"

namespace {

QString field(const QByteArray &body, const QString &name)
{
    QString value;
    for (const auto &pair : FakeOrderService::decodeForm(body)) {
        if (pair.first == name)
            value = pair.second;
    }
    return value;
}

QStringList names(const QByteArray &body)
{
    QStringList out;
    for (const auto &pair : FakeOrderService::decodeForm(body))
        out << pair.first;
    return out;
}

BatchDeleteFileInfo fileAt(const QString &path)
{
    BatchDeleteFileInfo file;
    file.filePath = path;
    file.fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    file.dirName = QStringLiteral("原片");
    return file;
}

} // namespace

// The batch-delete records, request bodies, folder checks, file table
// model and row action delegate.
class TestBatchDeleteRecords : public QObject
{
    Q_OBJECT

private slots:
    void orderFromReply_data();
    void orderFromReply();
    void bodiesNameTheSamePaths_data();
    void bodiesNameTheSamePaths();
    void searchBodies();
    void folderRefusal_data();
    void folderRefusal();
    void searchFolderRefusal_data();
    void searchFolderRefusal();
    void fileModel();
    void statusTexts_data();
    void statusTexts();
    void formatSize_data();
    void formatSize();
    void actionDelegate();
};

void TestBatchDeleteRecords::orderFromReply_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("commonRoot");

    QTest::newRow("both names") << QJsonObject{{"mname", "A"}, {"wname", "B"}, {"id", "5"}} << "A/B" << "5" << "";
    QTest::newRow("second name only") << QJsonObject{{"wname", "B"}} << "B" << "" << "";
    QTest::newRow("first name only") << QJsonObject{{"mname", "A"}, {"wname", ""}} << "A" << "" << "";
    QTest::newRow("no names") << QJsonObject{} << "" << "" << "";
    QTest::newRow("numeric id reads empty") << QJsonObject{{"id", 42}} << "" << "" << "";
    QTest::newRow("common root from picpathnew")
        << QJsonObject{{"picpathnew", QJsonObject{{"netpath", "\\\\nas\\photos"}}}} << "" << "" << "\\\\nas\\photos";
}

void TestBatchDeleteRecords::orderFromReply()
{
    QFETCH(QJsonObject, object);
    QFETCH(QString, customer);
    QFETCH(QString, id);
    QFETCH(QString, commonRoot);

    object.insert(QStringLiteral("order_photo_id"), QStringLiteral("70001"));
    object.insert(QStringLiteral("orderpayforkey"), QStringLiteral("A1"));
    object.insert(QStringLiteral("servicetimes"), QStringLiteral("2"));
    object.insert(QStringLiteral("netpath"), QStringLiteral("D:\\订单\\A1"));
    const BatchDeleteOrderInfo order = BatchDeleteOrderInfo::fromJson(object, 4);
    QCOMPARE(order.customerName, customer);
    QCOMPARE(order.id, id);
    QCOMPARE(order.publicNetpath, commonRoot);
    QCOMPARE(order.row, 4);
    QCOMPARE(order.label(), QStringLiteral("A1-2"));
    QCOMPARE(order.netpath, QStringLiteral("D:\\订单\\A1"));
    QVERIFY(!order.checked);
    QVERIFY(order.allFiles.isEmpty());
}

void TestBatchDeleteRecords::bodiesNameTheSamePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/srv/订单/A1/原片/IMG_0001.jpg";
    QTest::newRow("& + % = # in the name") << "/srv/订单/A1/原片/a&b+c%d=e#f.jpg";
    QTest::newRow("blanks, share path") << "//nas/照片 库/A1 张伟/原片/海边 001.jpg";
    QTest::newRow("percent that looks encoded") << "/srv/A1/%2F%41.jpg";
}

void TestBatchDeleteRecords::bodiesNameTheSamePaths()
{
    QFETCH(QString, path);
    const BatchDeleteRequests::Branch branch{QStringLiteral("11"), QStringLiteral("7&1"), QStringLiteral("9+1")};
    const BatchDeleteFileInfo file = fileAt(path);
    const QList<BatchDeleteFileInfo> files{fileAt(QStringLiteral("/srv/first.jpg")), file};

    // Announcement: the list as compact JSON, every value through the form
    // encoder.
    const QByteArray before = BatchDeleteRequests::deleteBeforeBody(branch, QStringLiteral("70001"), files);
    QCOMPARE(names(before), (QStringList{"shopid", "eid", "superid", "personid", "order_photo_id", "pics"}));
    QCOMPARE(field(before, QStringLiteral("eid")), QStringLiteral("7&1"));
    QCOMPARE(field(before, QStringLiteral("personid")), QStringLiteral("7&1"));
    QCOMPARE(field(before, QStringLiteral("superid")), QStringLiteral("9+1"));
    const QString pics = field(before, QStringLiteral("pics"));
    QVERIFY(!pics.contains(QLatin1Char('\n')));
    QVERIFY(pics.startsWith(QStringLiteral("[{\"picname\":\"first.jpg\",\"picpath\":\"/srv/first.jpg\",\"picshortpath\":")));
    const QJsonArray announced = QJsonDocument::fromJson(pics.toUtf8()).array();
    QCOMPARE(announced.size(), 2);
    QCOMPARE(announced.at(1).toObject().value(QStringLiteral("picpath")).toString(), path);

    // Confirmation: path and name percent-encoded, slashes and blanks too.
    const QByteArray after = BatchDeleteRequests::deleteAfterBody(branch, QStringLiteral("70001"), file);
    QCOMPARE(names(after), (QStringList{"shopid", "eid", "superid", "personid", "order_photo_id", "picpath", "picname"}));
    QCOMPARE(field(after, QStringLiteral("picpath")), path);
    QCOMPARE(field(after, QStringLiteral("picname")), file.fileName);
    const QByteArray rawPath = after.mid(after.indexOf("&picpath=") + 9);
    QVERIFY(!rawPath.left(rawPath.indexOf('&')).contains('/'));
    QVERIFY(!rawPath.contains(' '));
}

void TestBatchDeleteRecords::searchBodies()
{
    const BatchDeleteRequests::Branch branch{QStringLiteral("11"), QStringLiteral("7001"), QStringLiteral("9001")};
    const QByteArray byKeyword =
        BatchDeleteRequests::orderListBody(0, QStringLiteral("A&1+"), QDate(2024, 3, 5), QString(), branch);
    QCOMPARE(names(byKeyword),
             (QStringList{"keyword", "searchtype", "role7id", "ratio", "shopid", "eid", "superid", "personid"}));
    QCOMPARE(field(byKeyword, QStringLiteral("keyword")), QStringLiteral("A&1+"));
    QCOMPARE(field(byKeyword, QStringLiteral("searchtype")), QStringLiteral("1"));
    QVERIFY(byKeyword.contains("&role7id=&ratio=90&"));
    QCOMPARE(field(byKeyword, QStringLiteral("personid")), QStringLiteral("7001"));

    const QByteArray byDate =
        BatchDeleteRequests::orderListBody(1, QStringLiteral("kept"), QDate(2024, 3, 5), QString(), branch);
    QCOMPARE(field(byDate, QStringLiteral("keyword")), QStringLiteral("2024-03-05"));
    QCOMPARE(field(byDate, QStringLiteral("searchtype")), QStringLiteral("6"));

    QCOMPARE(OrderService::switchShopBody(QString()), QByteArray("shopid="));
}

void TestBatchDeleteRecords::folderRefusal_data()
{
    QTest::addColumn<QString>("netpath");
    QTest::addColumn<QString>("commonRoot");
    QTest::addColumn<QString>("reason");

    QTest::newRow("order folder") << "@/photos/A1-1" << "@/photos" << "";
    QTest::newRow("folder holding dots in names") << "@/photos/A1..2" << "@/photos" << "";
    QTest::newRow("no common root known") << "@/photos/A1-1" << "" << "";
    QTest::newRow("empty") << "" << "@/photos" << "订单目录为空";
    QTest::newRow("blank") << "  " << "" << "订单目录为空";
    QTest::newRow("relative") << "photos/A1-1" << "" << "不是绝对路径";
    QTest::newRow("file-system root") << "/" << "" << "根目录";
    QTest::newRow("root spelled with dots") << "/tmp/.." << "" << "非法的目录名";
    QTest::newRow("climbing out of the order folder") << "@/photos/A1/../.." << "@/photos" << "非法的目录名";
    QTest::newRow("drive root") << "C:\\" << "" << "根目录";
    QTest::newRow("bare drive") << "D:" << "" << "根目录";
    QTest::newRow("share root") << "\\\\nas\\photos" << "" << "共享的根目录";
    QTest::newRow("share root, slashes and a trailing one") << "//nas/photos/" << "" << "共享的根目录";
    QTest::newRow("server alone") << "\\\\nas" << "" << "共享的根目录";
    QTest::newRow("the common root") << "@/photos" << "@/photos" << "公共目录";
    QTest::newRow("the common root, trailing slash") << "@/photos/" << "@/photos" << "公共目录";
    QTest::newRow("a folder holding the common root") << "@" << "@/photos" << "公共目录";
    QTest::newRow("a link to the common root") << "@/link" << "@/photos" << "公共目录";
    QTest::newRow("a link to the root") << "@/rootlink" << "" << "根目录";
    QTest::newRow("a link to an order folder") << "@/orderlink" << "@/photos" << "订单目录是链接";
    QTest::newRow("below a link") << "@/link/A1-1" << "" << "经过链接";
    QTest::newRow("the home folder") << QDir::homePath() << "" << "用户或程序的目录";
    QTest::newRow("a folder holding the program")
        << QFileInfo(QCoreApplication::applicationDirPath()).absolutePath() << "" << "用户或程序的目录";
    QTest::newRow("a folder inside the home folder") << QDir::homePath() + "/订单/A1-1" << "" << "";
}

void TestBatchDeleteRecords::folderRefusal()
{
    QFETCH(QString, netpath);
    QFETCH(QString, commonRoot);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("photos/A1-1"))));
    QFile::link(dir.filePath(QStringLiteral("photos")), dir.filePath(QStringLiteral("link")));
    QFile::link(QStringLiteral("/"), dir.filePath(QStringLiteral("rootlink")));
    QFile::link(dir.filePath(QStringLiteral("photos/A1-1")), dir.filePath(QStringLiteral("orderlink")));
    netpath.replace(QLatin1Char('@'), dir.path());
    commonRoot.replace(QLatin1Char('@'), dir.path());

    const QString refusal = orderFolderRefusal(netpath, commonRoot);
    if (reason.isEmpty())
        QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
    else
        QVERIFY2(refusal.contains(reason), qPrintable(refusal));
}

void TestBatchDeleteRecords::searchFolderRefusal_data()
{
    QTest::addColumn<QString>("netpath");
    QTest::addColumn<QStringList>("others");
    QTest::addColumn<QString>("reason");

    QTest::newRow("apart from the others") << "@/shop/A1-1" << QStringList{"@/shop/B1-1", "@/other"} << "";
    QTest::newRow("inside another order's folder") << "@/shop/A1-1/补拍" << QStringList{"@/shop/A1-1"} << "";
    QTest::newRow("another order without a folder") << "@/shop" << QStringList{""} << "";
    QTest::newRow("holds another order's folder") << "@/shop" << QStringList{"@/other", "@/shop/A1-1"}
                                                  << "包含订单 O2-1 的目录";
    QTest::newRow("holds one further down") << "@/shop" << QStringList{"@/shop/2024/A1-1"} << "包含订单 O1-1 的目录";
    QTest::newRow("the same folder as another order") << "@/shop/A1-1" << QStringList{"@/shop/A1-1"}
                                                      << "也是订单 O1-1 的目录";
    QTest::newRow("the same folder, written as the service writes it")
        << "@\\shop\\A1-1\\" << QStringList{"@/shop/A1-1"} << "也是订单 O1-1 的目录";
    QTest::newRow("holds another order's folder reached through a link")
        << "@/shop" << QStringList{"@/shoplink/A1-1"} << "包含订单 O1-1 的目录";
}

void TestBatchDeleteRecords::searchFolderRefusal()
{
    QFETCH(QString, netpath);
    QFETCH(QStringList, others);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("shop/A1-1"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("shop")), dir.filePath(QStringLiteral("shoplink"))));
    const auto local = [&dir](QString path) { return path.replace(QLatin1Char('@'), dir.path()); };

    BatchDeleteOrderInfo order;
    order.order_photo_id = QStringLiteral("70000");
    order.netpath = local(netpath);
    QList<BatchDeleteOrderInfo> searched{order};
    for (int i = 0; i < others.size(); ++i) {
        BatchDeleteOrderInfo other;
        other.order_photo_id = QStringLiteral("7000%1").arg(i + 1);
        other.orderpayforkey = QStringLiteral("O%1").arg(i + 1);
        other.servicetimes = QStringLiteral("1");
        other.netpath = local(others.at(i));
        searched << other;
    }
    const QString refusal = orderFolderRefusal(order, searched);
    if (reason.isEmpty())
        QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
    else
        QVERIFY2(refusal.contains(reason), qPrintable(refusal));
}

void TestBatchDeleteRecords::fileModel()
{
    BatchDeleteFileModel model;
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("状态"));
    QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());

    BatchDeleteFileInfo file = fileAt(QStringLiteral("/srv/A1/原片/a.jpg"));
    file.size = 1536;
    file.index = 0;
    model.setFiles({file, fileAt(QStringLiteral("/srv/A1/b.jpg"))});
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("a.jpg"));
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("原片"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("1.50 KB"));
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("未删除"));
    QCOMPARE(model.data(model.index(0, 4)).toString(), QStringLiteral("/srv/A1/原片/a.jpg"));
    QCOMPARE(model.data(model.index(1, 2), Qt::UserRole + 1).toInt(), 1);
    QVERIFY(!model.data(model.index(0, 2), Qt::ForegroundRole).isValid());
    QVERIFY(!model.data(model.index(0, 0), Qt::ToolTipRole).isValid());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateFile(0, BatchDeleteFileStatus::NoPermission, QStringLiteral("没有删除权限"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), model.index(0, 0));
    QCOMPARE(changed.first().at(1).toModelIndex(), model.index(0, 4));
    // Status 7 shows "未知"; its reason stays in the record.
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("未知"));
    QCOMPARE(model.file(0).errorMessage, QStringLiteral("没有删除权限"));
    QCOMPARE(model.data(model.index(0, 4), Qt::UserRole).toInt(), 7);
    model.updateFile(2, BatchDeleteFileStatus::Deleted, QString());
    model.updateFile(-1, BatchDeleteFileStatus::Deleted, QString());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.file(9).fileName, QString());
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestBatchDeleteRecords::statusTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("colour");

    QTest::newRow("0") << 0 << "未删除" << "#8e8e93";
    QTest::newRow("1") << 1 << "删除中" << "#007aff";
    QTest::newRow("2") << 2 << "已删除" << "#34c759";
    QTest::newRow("3") << 3 << "提交状态失败" << "#ff9500";
    QTest::newRow("4") << 4 << "删除失败 (文件不存在)" << "#ff3b30";
    QTest::newRow("5") << 5 << "删除失败 (文件被占用)" << "#ff3b30";
    QTest::newRow("6") << 6 << "未知" << "#333333";
    QTest::newRow("8") << 8 << "未知" << "#333333";
    QTest::newRow("99") << 99 << "未知" << "#333333";
}

void TestBatchDeleteRecords::statusTexts()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(QString, colour);
    BatchDeleteFileModel model;
    BatchDeleteFileInfo file;
    file.status = status;
    model.setFiles({file});
    QCOMPARE(model.data(model.index(0, 3)).toString(), text);
    QCOMPARE(model.data(model.index(0, 3), Qt::ForegroundRole).value<QBrush>().color(), QColor(colour));
}

void TestBatchDeleteRecords::formatSize_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << "0 B";
    QTest::newRow("1023") << qint64(1023) << "1023 B";
    QTest::newRow("1024") << qint64(1024) << "1.00 KB";
    QTest::newRow("1048575") << qint64(1048575) << "1024.00 KB";
    QTest::newRow("1048576") << qint64(1048576) << "1.00 MB";
    QTest::newRow("1073741824") << qint64(1073741824) << "1.00 GB";
    QTest::newRow("5 TB") << qint64(5) * 1024 * 1073741824LL << "5120.00 GB";
}

void TestBatchDeleteRecords::formatSize()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(BatchDeleteFileModel::formatSize(bytes), text);
}

void TestBatchDeleteRecords::actionDelegate()
{
    QStandardItemModel model(3, 1);
    model.setData(model.index(0, 0), 3, Qt::UserRole);
    model.setData(model.index(1, 0), 5, Qt::UserRole);
    model.setData(model.index(2, 0), 2, Qt::UserRole);
    BatchDelete_ActionDelegate delegate;
    QSignalSpy submit(&delegate, &BatchDelete_ActionDelegate::retrySubmitClicked);
    QSignalSpy again(&delegate, &BatchDelete_ActionDelegate::retryDeleteClicked);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    K *k = K::instance();
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, k->scale(100), k->scale(40));
    QCOMPARE(delegate.sizeHint(option, model.index(0, 0)), QSize(k->scale(100), k->scale(40)));
    const QRect place = delegate.buttonRect(option, 1);
    QCOMPARE(place, QRect(k->scale(8), (k->scale(40) - k->scale(26)) / 2, k->scale(70), k->scale(26)));
    if (g_uiScale == 1.0f)
        QCOMPARE(place, QRect(9, 8, 84, 31));

    const auto release = [&](int row, const QPoint &at) {
        QMouseEvent event(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        return delegate.editorEvent(&event, &model, option, model.index(row, 0));
    };
    const auto move = [&](int row, const QPoint &at) {
        QMouseEvent event(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        delegate.editorEvent(&event, &model, option, model.index(row, 0));
    };
    QVERIFY(release(0, place.center()));
    QCOMPARE(submit.count(), 1);
    QCOMPARE(submit.first().first().toInt(), 0);
    QVERIFY(release(1, place.center()));
    QCOMPARE(again.count(), 1);
    QVERIFY(!release(2, place.center()));
    QVERIFY(!release(0, QPoint(place.right() + 5, place.center().y())));
    QCOMPARE(submit.count(), 1);

    move(0, place.center());
    move(0, place.center() + QPoint(1, 0));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(delegate.hoveredButton(), 1);
    move(0, QPoint(place.right() + 5, 2));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(delegate.hoveredButton(), 0);
    move(1, place.center());
    QCOMPARE(changed.count(), 3);
    QCOMPARE(delegate.hoveredRow(), 1);
    QCOMPARE(delegate.hoveredButton(), 2);
}

QTEST_MAIN(TestBatchDeleteRecords)
#include "tst_batchdeleterecords.moc"
