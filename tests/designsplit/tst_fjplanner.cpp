// The order-detail planner without a window: the fake service's detail of a
// real share tree becomes jobs on a pool, downloads and counts, by mode and
// by the shop's and the user's choices; orders that cannot be worked on are
// refused with the line the final box lists.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "base/globals.h"
#include "designsplit/jobs/fjdataoperate.h"
#include "designsplit/jobs/fjorderplanner.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/hostiletree.h"
#include "tests/support/jobreceiver.h"
#include "tests/support/splitorders.h"

namespace {

using Changes = QMap<QString, QString>;

// The fake's reply to "orderphotodetail" for an order changed by `changes`
// ("key" on the order, "shop.key" on its shop, "-key" removes a list).
QJsonDocument detailReply(const QString &share, const Changes &changes)
{
    FakeModel model;
    QJsonObject order = SplitOrders::order(QStringLiteral("11"), QStringLiteral("501"), QStringLiteral("A1001"), share);
    const int shopIndex = model.indexOf(QStringLiteral("shops"), QStringLiteral("id"), QStringLiteral("11"));
    QJsonObject shop = model.list(QStringLiteral("shops")).at(shopIndex).toObject();
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
        if (it.key().startsWith(QLatin1String("shop.")))
            shop.insert(it.key().mid(5), it.value());
        else if (it.key().startsWith(QLatin1Char('-')))
            order.insert(it.key().mid(1), QJsonArray());
        else
            order.insert(it.key(), it.value());
    }
    model.replaceAt(QStringLiteral("shops"), shopIndex, shop);
    model.append(QStringLiteral("orders"), order);
    FakeOrderService::Request request;
    request.fields = {{QStringLiteral("order_photo_id"), QStringLiteral("501")},
                      {QStringLiteral("shopid"), QStringLiteral("11")}};
    request.serviceUrl = QStringLiteral("http://127.0.0.1:9");
    const auto action = FakeOrderService::builtinActions().value(QStringLiteral("&m=order&a=orderphotodetail"));
    return QJsonDocument(action(model, request));
}

QStringList typesOf(const FJDataOperate &data)
{
    QStringList types;
    for (const QString &url : data.downImgUrls)
        types << data.downImgInfos.value(url).value(QStringLiteral("image_type")).toString();
    types.sort();
    return types;
}

} // namespace

class TestFJPlanner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plan_data();
    void plan();
    void rawFilesPicked();
    void deliveryWithoutRawFolder();
    void orderFolderThatIsALink();
    void refused_data();
    void refused();
    void orderFolderName_data();
    void orderFolderName();
    void barcodeUrl();

private:
    FJPlanInput input(int mode, const QString &root) const;
};

void TestFJPlanner::initTestCase()
{
    g_barcodeUrl = QStringLiteral("http://127.0.0.1:9/index.php?g=QuorplexDPc&m=order&a=getbarcodegen");
}

FJPlanInput TestFJPlanner::input(int mode, const QString &root) const
{
    FJPlanInput in;
    in.mode = mode;
    in.splitDirectory = root;
    in.shopId = QStringLiteral("11");
    in.superId = QStringLiteral("9001");
    in.order.orderpayforkey = QStringLiteral("A1001");
    in.order.selectphotoname = QStringLiteral("吴选片");
    return in;
}

void TestFJPlanner::plan_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<QString>("options"); // issjfenjianms, or the delivery boxes "R O S J F"
    QTest::addColumn<int>("copies");
    QTest::addColumn<QStringList>("downloads");
    QTest::addColumn<int>("products");
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("files"); // made by the copy jobs, relative to the order folder

    const QStringList all4{QStringLiteral("快递信息"), QStringLiteral("条形码"), QStringLiteral("标记"), QStringLiteral("裁剪")};
    QTest::newRow("design split")
        << 0 << Changes() << "1" << 4 << all4 << 2 << 4 + 4 + 2 + 1
        << QStringList{"其他/成品/p1.jpg", "其他/原始档/p1.CR2", "其他/汰片/t1.jpg", "其他/入底/r1.jpg"};
    QTest::newRow("design split from retouched")
        << 0 << Changes() << "2" << 2 + 2 + 1 + 1 << all4 << 2 << 6 + 4 + 2 + 1
        << QStringList{"其他/缩略图/p2.jpg", "其他/成品/p2.jpg"};
    QTest::newRow("retouched names unmatched")
        << 0 << Changes{{"-images_jingxiu", ""}} << "2" << 2 + 0 + 1 + 1 << all4 << 2 << 4 + 4 + 2 + 1
        << QStringList{"其他/缩略图/p1.jpg"};
    QTest::newRow("shop keeps no rejects")
        << 0 << Changes{{"shop.xztp", "0"}} << "1" << 3 << all4 << 2 << 3 + 4 + 2 + 1 << QStringList{"其他/入底/r1.jpg"};
    QTest::newRow("no courier text")
        << 0 << Changes{{"courier_text", ""}} << "1" << 4
        << QStringList{QStringLiteral("条形码"), QStringLiteral("标记"), QStringLiteral("裁剪")} << 2 << 4 + 3 + 2 + 1
        << QStringList();
    QTest::newRow("selection results with raws")
        << 2 << Changes() << "" << 2 + 1 + 2
        << QStringList{QStringLiteral("条形码"), QStringLiteral("标记"), QStringLiteral("裁剪")} << 2 << 5 + 1 + 3
        << QStringList{"其他/成品/p2.jpg", "其他/成品原始档/p1.CR2", "其他/入底/r1.jpg"};
    QTest::newRow("selection results without raws")
        << 2 << Changes{{"shop.isbdyxzysd", "0"}} << "" << 3
        << QStringList{QStringLiteral("条形码"), QStringLiteral("标记"), QStringLiteral("裁剪")} << 2 << 3 + 1 + 3
        << QStringList();
    QTest::newRow("delivery simple with rejects")
        << 3 << Changes() << "   J " << 0
        << QStringList{QStringLiteral("汰片"), QStringLiteral("简修"), QStringLiteral("简修")} << 0 << 3 << QStringList();
    QTest::newRow("delivery raws originals fine")
        << 3 << Changes() << "RO  F" << 3 << QStringList{QStringLiteral("精修"), QStringLiteral("精修")} << 0 << 5
        << QStringList{"原始档/p1.CR2", "原始档/p2.CR2", "原片/p1.jpg"};
    QTest::newRow("delivery nothing ticked") << 3 << Changes() << "     " << 0 << QStringList() << 0 << 0 << QStringList();
}

void TestFJPlanner::plan()
{
    QFETCH(int, mode);
    QFETCH(Changes, changes);
    QFETCH(QString, options);
    QFETCH(int, copies);
    QFETCH(QStringList, downloads);
    QFETCH(int, products);
    QFETCH(int, total);
    QFETCH(QStringList, files);

    QTemporaryDir dir;
    const QString share = dir.path() + QStringLiteral("/共享/A1001");
    QVERIFY(SplitOrders::writeShare(share));
    const QString target = dir.path() + QStringLiteral("/输出");
    FJPlanInput in = input(mode, target);
    if (mode == 3) {
        in.raw = options.at(0) == QLatin1Char('R');
        in.original = options.at(1) == QLatin1Char('O');
        in.simpleRetouch = options.at(2) == QLatin1Char('S');
        in.simpleRetouchRejects = options.at(3) == QLatin1Char('J');
        in.fineRetouch = options.at(4) == QLatin1Char('F');
    } else {
        in.issjfenjianms = options;
    }

    FJDataOperate data;
    // Left from an earlier order: a new plan starts from an empty queue.
    data.downImgUrls << QStringLiteral("http://127.0.0.1:9/old.jpg");
    JobReceiver receiver;
    QThreadPool pool;
    const FJPlan plan = FJOrderPlanner::plan(true, detailReply(share, changes), in, data, &pool, &receiver);
    if (total == 0) {
        // Nothing to do: the order is skipped and gets no empty folder.
        QCOMPARE(int(plan.outcome), int(FJPlan::Outcome::Skipped));
        QVERIFY(!QDir(target + QLatin1Char('/') + SplitOrders::orderFolder(QStringLiteral("A1001"))).exists());
        return;
    }
    QCOMPARE(int(plan.outcome), int(FJPlan::Outcome::Planned));
    QCOMPARE(plan.orderRoot, target + QLatin1Char('/') + SplitOrders::orderFolder(QStringLiteral("A1001")) + QLatin1Char('/'));
    QVERIFY(QDir(plan.orderRoot).exists());
    QCOMPARE(plan.copyPicTotal, copies);
    QCOMPARE(typesOf(data), downloads);
    QCOMPARE(plan.downImgTotal, downloads.size());
    QCOMPARE(data.pros.size(), products);
    QCOMPARE(plan.total, total);
    QCOMPARE(plan.startProductsNow, false);
    QCOMPARE(plan.warning, QString());
    QCOMPARE(data.order.value(QStringLiteral("selectphotoname")).toString(), QStringLiteral("吴选片"));
    QVERIFY(pool.maxThreadCount() >= 3);

    pool.waitForDone();
    QTRY_COMPARE(receiver.reports.size(), copies);
    for (const JobReport &report : qAsConst(receiver.reports))
        QVERIFY2(report.ok, qPrintable(report.source + QLatin1Char(' ') + report.message));
    for (const QString &file : files)
        QVERIFY2(QFile::exists(plan.orderRoot + file), qPrintable(file));
}

void TestFJPlanner::rawFilesPicked()
{
    QTemporaryDir dir;
    const QString share = dir.path() + QStringLiteral("/共享/A1001");
    QVERIFY(SplitOrders::writeShare(share));
    FJPlanInput in = input(1, dir.path());
    ThumbnailPhoto again;
    again.id = QStringLiteral("y1");
    again.name = QStringLiteral("p1.CR2");
    again.filePath = share + QStringLiteral("/原始档/p1.CR2");
    again.selected = true;
    ThumbnailPhoto fresh = again;
    fresh.id = QStringLiteral("y2");
    fresh.name = QStringLiteral("p2.CR2");
    fresh.filePath = share + QStringLiteral("/原始档/p2.CR2");
    ThumbnailPhoto skipped = fresh;
    skipped.selected = false;
    in.order.downloadedImages = {again};
    in.order.undownloadedImages = {skipped, fresh};

    FJDataOperate data;
    JobReceiver receiver;
    QThreadPool pool;
    pool.setMaxThreadCount(1);
    const FJPlan plan = FJOrderPlanner::plan(true, detailReply(share, {}), in, data, &pool, &receiver);
    QCOMPARE(int(plan.outcome), int(FJPlan::Outcome::Planned));
    QCOMPARE(plan.total, 2);
    QCOMPARE(plan.downImgTotal, 0);
    pool.waitForDone();
    QTRY_COMPARE(receiver.reports.size(), 2);
    QStringList details;
    for (const JobReport &report : qAsConst(receiver.reports))
        details << report.detail;
    details.sort();
    QCOMPARE(details, (QStringList{QStringLiteral("y1"), QStringLiteral("y2")}));
    QVERIFY(QFile::exists(plan.orderRoot + QStringLiteral("原始档/p2.CR2")));
}

void TestFJPlanner::refused_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<bool>("sent");
    // The order's share folder; "{tree}" is a real share with its folders.
    QTest::addColumn<QString>("netpath");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");

    const int error = int(FJPlan::Outcome::ServiceError);
    const int skipped = int(FJPlan::Outcome::Skipped);
    QTest::newRow("network failure") << 0 << QJsonDocument() << false << "" << error << "A1001订单详情获取失败";
    QTest::newRow("service error in message")
        << 0 << QJsonDocument(QJsonObject{{"code", "0"}, {"message", "订单已删除"}}) << true << "" << error << "A1001订单已删除";
    QTest::newRow("service error in msg")
        << 2 << QJsonDocument(QJsonObject{{"code", "0"}, {"msg", "无权限"}}) << true << "" << error << "A1001无权限";
    QTest::newRow("numeric code") << 0 << QJsonDocument(QJsonObject{{"code", 1}, {"msg", "?"}}) << true << "" << error
                                  << "A1001?";
    for (int mode = 0; mode < 4; ++mode) {
        QTest::newRow(qPrintable(QStringLiteral("no share folder, mode %1").arg(mode)))
            << mode << detailReply(QString(), {}) << true << "  " << skipped << "A1001-1 没有共享目录;";
    }
    QTest::newRow("share without raw folder") << 1 << detailReply(QString(), {}) << true << "/nonexistent/共享/A1001"
                                              << skipped << "A1001-1 连接不上共享目录;";
    QTest::newRow("no raw file picked") << 1 << detailReply(QString(), {}) << true << "{tree}" << skipped
                                        << "A1001-1 没有选择原始档;";
}

void TestFJPlanner::refused()
{
    QFETCH(int, mode);
    QFETCH(QJsonDocument, reply);
    QFETCH(bool, sent);
    QFETCH(QString, netpath);
    QFETCH(int, outcome);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString share = dir.path() + QStringLiteral("/共享/A1001");
    QVERIFY(SplitOrders::writeShare(share));
    QJsonObject object = reply.object();
    if (object.contains(QStringLiteral("order"))) {
        QJsonObject order = object.value(QStringLiteral("order")).toObject();
        order.insert(QStringLiteral("netpath"), QString(netpath).replace(QStringLiteral("{tree}"), share));
        object.insert(QStringLiteral("order"), order);
    }

    FJDataOperate data;
    JobReceiver receiver;
    QThreadPool pool;
    const FJPlan plan = FJOrderPlanner::plan(sent, QJsonDocument(object), input(mode, dir.path() + QStringLiteral("/输出")),
                                             data, &pool, &receiver);
    QCOMPARE(int(plan.outcome), outcome);
    QCOMPARE(plan.message, message);
    QCOMPARE(pool.activeThreadCount(), 0);
    pool.waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(receiver.reports.size(), 0);
    // Nothing is read from the drive's root or written beside the target.
    QVERIFY(!QDir(dir.path() + QStringLiteral("/输出/其他")).exists());
}

void TestFJPlanner::orderFolderName_data()
{
    QTest::addColumn<QJsonObject>("order");
    QTest::addColumn<QString>("name");
    const auto order = [](const QString &number, const QString &man, const QString &woman, const QString &pickup) {
        return QJsonObject{{"orderpayforkey", number}, {"servicetimes", "2"}, {"mname", man}, {"wname", woman},
                           {"pickuptypename", pickup}};
    };
    QTest::newRow("plain") << order("A1", "张伟", "李娜", "门店自取") << "A1-服务2 张伟-李娜 门店自取";
    QTest::newRow("markers stay literal") << order("A%2", "%5", "%1", "%3") << "A%2-服务2 %5-%1 %3";
    QTest::newRow("separators removed") << order("A/1", "张\\伟", "李:娜", "..") << "A1-服务2 张伟-李娜";
    QTest::newRow("blanks and punctuation kept") << order("A 1", "《张》", "李,娜", "自取#1") << "A 1-服务2 《张》-李,娜 自取#1";
    QTest::newRow("numbers read as empty")
        << QJsonObject{{"orderpayforkey", 7}, {"servicetimes", "1"}} << "-服务1 -";
}

void TestFJPlanner::orderFolderName()
{
    QFETCH(QJsonObject, order);
    QFETCH(QString, name);
    QCOMPARE(FJOrderPlanner::orderFolderName(order), name);
}

void TestFJPlanner::barcodeUrl()
{
    const QString url = FJOrderPlanner::barcodeUrl(QStringLiteral("5&01"), QStringLiteral("11"), QStringLiteral("9 001"));
    QCOMPARE(url, g_barcodeUrl + QStringLiteral("&order_photo_id=5%2601&shopid=11&superid=9 001&token=") + g_token);
}

void TestFJPlanner::deliveryWithoutRawFolder()
{
    QTemporaryDir dir;
    const QString share = dir.path() + QStringLiteral("/共享/A1001");
    QVERIFY(SplitOrders::writeShare(share));
    QVERIFY(QDir(share + QStringLiteral("/原始档")).removeRecursively());
    FJPlanInput in = input(3, dir.path() + QStringLiteral("/输出"));
    in.raw = true;
    FJDataOperate data;
    JobReceiver receiver;
    QThreadPool pool;
    const FJPlan plan = FJOrderPlanner::plan(true, detailReply(share, {}), in, data, &pool, &receiver);
    // The rest of the order goes on; the missing raw files are said.
    QCOMPARE(int(plan.outcome), int(FJPlan::Outcome::Planned));
    QCOMPARE(plan.warning, QStringLiteral("A1001-1 连接不上共享目录;"));
    QCOMPARE(plan.copyPicTotal, 0);
    QCOMPARE(plan.downImgTotal, 2);
}

void TestFJPlanner::orderFolderThatIsALink()
{
    // An order folder that a link stands for elsewhere (another order's,
    // another share): the order is skipped with the refusal, nothing is
    // started and nothing lands where the link points.
    QTemporaryDir dir;
    const HostileTree tree(dir.path());
    const QString share = dir.path() + QStringLiteral("/共享/A1001");
    QVERIFY(SplitOrders::writeShare(share));
    const QString target = dir.path() + QStringLiteral("/输出");
    QVERIFY(tree.linkToOutside(target + QLatin1Char('/') + SplitOrders::orderFolder(QStringLiteral("A1001"))));
    for (int mode = 0; mode < 4; ++mode) {
        FJPlanInput in = input(mode, target);
        in.raw = true;
        in.original = true;
        FJDataOperate data;
        JobReceiver receiver;
        QThreadPool pool;
        const FJPlan plan = FJOrderPlanner::plan(true, detailReply(share, {}), in, data, &pool, &receiver);
        QCOMPARE(int(plan.outcome), int(FJPlan::Outcome::Skipped));
        QVERIFY2(plan.message.startsWith(QStringLiteral("A1001-1 订单目录创建失败：目标目录是链接，拒绝写入")),
                 qPrintable(plan.message));
        pool.waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(receiver.reports.size(), 0);
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
    }
}

QTEST_MAIN(TestFJPlanner)
#include "tst_fjplanner.moc"
