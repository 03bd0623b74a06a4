#include <memory>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/orderservice.h"
#include "tests/fakeservice/fakeorderservice.h"

using OrderService::Action;
using OrderService::TextField;

Q_DECLARE_METATYPE(OrderService::TextField)

namespace {

const OrderService::Branch kBranch{QStringLiteral("11"), QStringLiteral("7&1"), QStringLiteral("9001")};

struct SendResult
{
    int calls = 0;
    bool ok = false;
    QJsonDocument reply;
};

} // namespace

class TestOrderService : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void bodies_data();
    void bodies();
    void everyActionIsOneTheServiceKnows();
    void sendAndCheck_data();
    void sendAndCheck();
    void ownerGoneCallsNothing();
};

void TestOrderService::check_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<TextField>("field");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("codeIsText");
    QTest::addColumn<QString>("message");

    QTest::newRow("text 1") << QByteArray(R"({"code":"1"})") << TextField::Message << true << true << QString();
    QTest::newRow("text 1, message kept") << QByteArray(R"({"code":"1","message":"登录成功"})") << TextField::Message
                                          << true << true << QStringLiteral("登录成功");
    QTest::newRow("number 1 is no success") << QByteArray(R"({"code":1,"message":"登录成功"})") << TextField::Message
                                            << false << false << QStringLiteral("登录成功");
    QTest::newRow("text 1 with a blank") << QByteArray(R"({"code":" 1"})") << TextField::Message << false << true
                                         << QString();
    QTest::newRow("boolean code") << QByteArray(R"({"code":true})") << TextField::Message << false << false
                                  << QString();
    QTest::newRow("code missing") << QByteArray(R"({"message":"x"})") << TextField::Message << false << false
                                  << QStringLiteral("x");
    QTest::newRow("refused, message") << QByteArray(R"({"code":"0","message":"门店已停用"})") << TextField::Message
                                      << false << true << QStringLiteral("门店已停用");
    QTest::newRow("refused, msg only, message asked") << QByteArray(R"({"code":"0","msg":"门店不存在"})")
                                                      << TextField::Message << false << true << QString();
    QTest::newRow("refused, msg") << QByteArray(R"({"code":"0","message":"a","msg":"门店不存在"})") << TextField::Msg
                                  << false << true << QStringLiteral("门店不存在");
    QTest::newRow("either, message first") << QByteArray(R"({"code":"0","message":"a","msg":"b"})")
                                           << TextField::MessageOrMsg << false << true << QStringLiteral("a");
    QTest::newRow("either, empty message") << QByteArray(R"({"code":"0","message":"","msg":"b"})")
                                           << TextField::MessageOrMsg << false << true << QStringLiteral("b");
    QTest::newRow("message a number") << QByteArray(R"({"code":"0","message":5})") << TextField::Message << false
                                      << true << QString();
    QTest::newRow("message an object") << QByteArray(R"({"code":"0","message":{"t":"x"},"msg":"b"})")
                                       << TextField::MessageOrMsg << false << true << QStringLiteral("b");
    QTest::newRow("array reply") << QByteArray(R"([{"code":"1","message":"x"}])") << TextField::Message << false
                                 << false << QString();
    QTest::newRow("not json") << QByteArray("<html>") << TextField::Message << false << false << QString();
}

void TestOrderService::check()
{
    QFETCH(QByteArray, json);
    QFETCH(TextField, field);
    QFETCH(bool, ok);
    QFETCH(bool, codeIsText);
    QFETCH(QString, message);

    const QJsonDocument doc = QJsonDocument::fromJson(json);
    const OrderService::Answer answer = OrderService::check(doc, field);
    QCOMPARE(answer.ok, ok);
    QCOMPARE(answer.codeIsText, codeIsText);
    QCOMPARE(answer.message, message);
    // The object a handler already holds reads the same.
    const OrderService::Answer fromObject = OrderService::check(doc.object(), field);
    QCOMPARE(fromObject.ok, ok);
    QCOMPARE(fromObject.message, message);
    QCOMPARE(answer.messageOr(QStringLiteral("提交数据失败!")),
             message.isEmpty() ? QStringLiteral("提交数据失败!") : message);
}

void TestOrderService::bodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("login, secret with form characters")
        << OrderService::loginBody(QStringLiteral("张三"), QStringLiteral("p&w=+%"))
        << QString("username=张三&password=p%26w%3D%2B%25").toUtf8();

    OrderService::OrderQuery byShotDate;
    byShotDate.keyword = QStringLiteral("2024-03-05");
    byShotDate.searchBy = OrderService::SearchBy::ShotDate;
    byShotDate.role7id = QString();
    QTest::newRow("order list, retoucher filter empty")
        << OrderService::orderListBody(byShotDate, kBranch)
        << QByteArray("keyword=2024-03-05&searchtype=4&role7id=&ratio=90&shopid=11&eid=7%261&superid=9001&personid=7%261");

    OrderService::OrderQuery bare;
    bare.keyword = QStringLiteral("A#1");
    bare.searchBy = std::nullopt;
    bare.ratio = false;
    QTest::newRow("order list, no search type, no ratio")
        << OrderService::orderListBody(bare, kBranch)
        << QByteArray("keyword=A%231&shopid=11&eid=7%261&superid=9001&personid=7%261");

    OrderService::SavedFile video;
    video.orderPhotoId = QStringLiteral("301");
    video.personId = QStringLiteral("6601");
    video.size = 1234567890123;
    video.ratio = QStringLiteral("all");
    video.path = QStringLiteral("//nas/订单/试拍视频/a&b.mp4");
    video.type = QStringLiteral("2");
    video.photoNames = QStringLiteral("a&b.mp4");
    QTest::newRow("saved video")
        << OrderService::savedFileBody(video, kBranch)
        << QString("order_photo_id=301&person_id=6601&size=1234567890123&ratio=all&path=//nas/订单/试拍视频/a%26b.mp4"
                   "&type=2&photonames=a%26b.mp4&shopid=11&eid=7%261&superid=9001&personid=7%261")
               .toUtf8();

    OrderService::SavedFile imported = video;
    imported.ratio = std::nullopt;
    imported.photoNames = std::nullopt;
    imported.type = QStringLiteral("5");
    QTest::newRow("saved file, no ratio, no names")
        << OrderService::savedFileBody(imported, kBranch)
        << QString("order_photo_id=301&person_id=6601&size=1234567890123&path=//nas/订单/试拍视频/a%26b.mp4&type=5"
                   "&shopid=11&eid=7%261&superid=9001&personid=7%261")
               .toUtf8();

    QTest::newRow("retouched batch")
        << OrderService::savedBatchBody(QStringLiteral("301"), QStringLiteral("3"), QStringLiteral("[]"), std::nullopt,
                                        QStringLiteral("//nas/A1"), kBranch)
        << QByteArray("shopid=11&imgnames=[]&type=5&order_photo_id=301&eid=7%261&superid=9001&personid=7%261"
                      "&person_id=7%261&orderid=3&localpath=//nas/A1");
    QTest::newRow("originals batch")
        << OrderService::savedBatchBody(QStringLiteral("301"), QStringLiteral("3"), QStringLiteral("[]"),
                                        QStringLiteral("[{\"name\":\"a.cr2\"}]"), QStringLiteral("//nas/A1"), kBranch)
        << QByteArray("shopid=11&imgnames=[]&rawimgnames=[{\"name\":\"a.cr2\"}]&type=1&order_photo_id=301&eid=7%261"
                      "&superid=9001&personid=7%261&person_id=7%261&orderid=3&localpath=//nas/A1");

    QTest::newRow("delete confirmed, path as a URL component")
        << OrderService::deleteConfirmBody(kBranch, QStringLiteral("301"), QStringLiteral("/srv/A 1/a&b.jpg"),
                                           QStringLiteral("a&b.jpg"))
        << QByteArray("shopid=11&eid=7%261&superid=9001&personid=7%261&order_photo_id=301"
                      "&picpath=%2Fsrv%2FA%201%2Fa%26b.jpg&picname=a%26b.jpg");
}

void TestOrderService::bodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(body, expected);
}

void TestOrderService::everyActionIsOneTheServiceKnows()
{
    const QHash<QString, FakeOrderService::Action> posted = FakeOrderService::builtinActions();
    const QRegularExpression shape(QStringLiteral("^&m=[a-z]+&a=[a-z0-9_]+$"));
    QSet<QString> seen;
    for (int i = int(Action::Login); i <= int(Action::Barcode); ++i) {
        const Action action = static_cast<Action>(i);
        const QString text = OrderService::action(action);
        QVERIFY2(shape.match(text).hasMatch(), qPrintable(text));
        QVERIFY2(!seen.contains(text), qPrintable(text));
        seen.insert(text);
        // The bar code is an address the pages load, not a post.
        if (action == Action::Barcode)
            QVERIFY2(FakeOrderService::builtinDownloads().contains(text), qPrintable(text));
        else
            QVERIFY2(posted.contains(text), qPrintable(text));
    }
    QCOMPARE(g_barcodeUrl, g_indexUrl + g_groupParam + QStringLiteral("&m=order&a=getbarcodegen"));
    QCOMPARE(g_loginUrl, g_indexUrl + g_groupParam + QStringLiteral("&m=public&a=dologin"));
}

void TestOrderService::sendAndCheck_data()
{
    QTest::addColumn<QString>("shopId");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("eid");
    QTest::newRow("known shop") << "12" << true << QStringLiteral("切换成功") << "7002";
    QTest::newRow("unknown shop, text in msg") << "99" << false << QStringLiteral("门店不存在") << QString();
}

void TestOrderService::sendAndCheck()
{
    QFETCH(QString, shopId);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QString, eid);

    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    QObject owner;
    auto result = std::make_shared<SendResult>();
    OrderService::send(&owner, Action::SwitchShop, OrderService::switchShopBody(shopId),
                       [result](bool delivered, const QJsonDocument &reply) {
                           ++result->calls;
                           result->ok = delivered;
                           result->reply = reply;
                       });
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QVERIFY(result->ok);
    const auto sent = fake.requestsFor(OrderService::action(Action::SwitchShop));
    QCOMPARE(sent.size(), 1);
    QVERIFY(sent.first().body.startsWith("shopid=" + shopId.toUtf8() + "&token="));

    const OrderService::Answer answer = OrderService::check(result->reply, TextField::Msg);
    QCOMPARE(answer.ok, ok);
    QCOMPARE(answer.message, message);
    if (ok) {
        const OrderService::Branch branch = OrderService::switchedBranch(shopId, result->reply.object());
        QCOMPARE(branch.shopId, shopId);
        QCOMPARE(branch.eid, eid);
        QCOMPARE(branch.superId, QStringLiteral("9001"));
    }
    // The request object goes once its answer is handed over.
    QTRY_VERIFY_WITH_TIMEOUT(owner.findChildren<BaseReq *>().isEmpty(), 5000);
}

void TestOrderService::ownerGoneCallsNothing()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.setFault(OrderService::action(Action::SwitchShop), FakeOrderService::Fault::Delay, QString(), 300);
    auto owner = std::make_unique<QObject>();
    auto result = std::make_shared<SendResult>();
    OrderService::send(owner.get(), Action::SwitchShop, OrderService::switchShopBody(QStringLiteral("12")),
                       [result](bool, const QJsonDocument &) { ++result->calls; });
    QTRY_COMPARE_WITH_TIMEOUT(fake.requests().size(), 1, 10000);
    owner.reset();
    // The same delayed action, sent later on another owner: once it is
    // answered, the first one's answer is due too, and reached nobody.
    QObject other;
    auto later = std::make_shared<SendResult>();
    OrderService::send(&other, Action::SwitchShop, OrderService::switchShopBody(QStringLiteral("12")),
                       [later](bool ok, const QJsonDocument &) {
                           ++later->calls;
                           later->ok = ok;
                       });
    QTRY_COMPARE_WITH_TIMEOUT(later->calls, 1, 10000);
    QVERIFY(later->ok);
    QCOMPARE(fake.requests().size(), 2);
    QCOMPARE(result->calls, 0);
}

QTEST_MAIN(TestOrderService)
#include "tst_orderservice.moc"
