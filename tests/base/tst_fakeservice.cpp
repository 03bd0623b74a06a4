#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/fakeservice/fakeorderservice.h"

namespace {

// Complete HTTP replies found at the start of the bytes read so far.
QList<QByteArray> splitReplies(const QByteArray &bytes)
{
    QList<QByteArray> replies;
    int pos = 0;
    while (true) {
        const int headEnd = bytes.indexOf("\r\n\r\n", pos);
        if (headEnd < 0)
            break;
        const QByteArray head = bytes.mid(pos, headEnd - pos);
        const int at = head.toLower().indexOf("content-length:");
        if (at < 0)
            break;
        const int lineEnd = head.indexOf("\r\n", at);
        const int length = head.mid(at + 15, lineEnd < 0 ? -1 : lineEnd - at - 15).trimmed().toInt();
        if (bytes.size() < headEnd + 4 + length)
            break;
        replies.append(bytes.mid(pos, headEnd + 4 + length - pos));
        pos = headEnd + 4 + length;
    }
    return replies;
}

QByteArray bodyOf(const QByteArray &reply)
{
    return reply.mid(reply.indexOf("\r\n\r\n") + 4);
}

QByteArray postText(const QByteArray &query, const QByteArray &body, const QByteArray &extraHeaders = QByteArray())
{
    return "POST /index.php?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

// A plain TCP client that collects what the server sends.
struct RawClient
{
    QTcpSocket socket;
    QByteArray received;

    bool connectTo(const FakeOrderService &fake)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this]() { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, fake.port());
        return socket.waitForConnected(5000);
    }
};

// Posts a form body with Qt's own client and returns the reply's JSON object.
QJsonObject postJson(QNetworkAccessManager &manager, const QString &url, const QByteArray &body)
{
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply *reply = manager.post(request, body);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(5000);
    const QJsonObject object = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return object;
}

} // namespace

class TestFakeService : public QObject
{
    Q_OBJECT

private slots:
    void decodeForm_data();
    void decodeForm();
    void loginOverQtNetwork_data();
    void loginOverQtNetwork();
    void switchShopAndUnknownAction();
    void keepAliveWithRequestInPieces();
    void connectionCloseIsHonoured();
    void delayedReplyKeepsOrderOnConnection();
    void expectContinueAndOversizedHead();
    void expectedToken();
    void tlsTrustedAndUntrusted();
    void servesAddedFiles();
    void demoRepliesAreReal();
};

void TestFakeService::decodeForm_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected"); // name, value, name, value...

    QTest::newRow("leading and doubled &") << QByteArray("&a=1&&b=2") << QStringList{"a", "1", "b", "2"};
    QTest::newRow("raw plus stays plus") << QByteArray("p=a+b") << QStringList{"p", "a+b"};
    QTest::newRow("encoded plus") << QByteArray("p=a%2Bb") << QStringList{"p", "a+b"};
    QTest::newRow("raw utf-8") << QByteArray("n=旗舰店") << QStringList{"n", "旗舰店"};
    QTest::newRow("escaped utf-8") << QByteArray("n=%E6%97%97") << QStringList{"n", "旗"};
    QTest::newRow("bad escape kept") << QByteArray("n=100%&m=%zz%4") << QStringList{"n", "100%", "m", "%zz%4"};
    QTest::newRow("no value") << QByteArray("flag&x=") << QStringList{"flag", "", "x", ""};
    QTest::newRow("equals inside value") << QByteArray("k=a=b") << QStringList{"k", "a=b"};
}

void TestFakeService::decodeForm()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    QStringList actual;
    for (const auto &pair : FakeOrderService::decodeForm(body))
        actual << pair.first << pair.second;
    QCOMPARE(actual, expected);
}

void TestFakeService::loginOverQtNetwork_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("right password") << QByteArray("username=tester&password=secret") << "1" << "登录成功";
    QTest::newRow("wrong password") << QByteArray("username=tester&password=secret2") << "0" << "账号或密码错误";
    QTest::newRow("unknown account") << QByteArray("username=nobody&password=secret") << "0" << "账号或密码错误";
}

void TestFakeService::loginOverQtNetwork()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, code);
    QFETCH(QString, message);

    FakeOrderService fake;
    QVERIFY(fake.start());
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(fake.indexUrl() + "g=QuorplexDPc&m=public&a=dologin"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply *reply = manager.post(request, body + "&token=T&version=1.4.2");
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(),
             QStringLiteral("application/json; charset=utf-8"));
    const QJsonObject object = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    QCOMPARE(object.value("code"), QJsonValue(code));
    QCOMPARE(object.value("message").toString(), message);
    if (code == "1") {
        QCOMPARE(object.value("UID"), QJsonValue("501"));
        QCOMPARE(object.value("SUPERID"), QJsonValue("9001"));
        QCOMPARE(object.value("EID"), QJsonValue("7001"));
        const QJsonArray shops = object.value("shop_data").toArray();
        QCOMPARE(shops.size(), 2);
        QCOMPARE(shops.at(0).toObject().value("id"), QJsonValue("11"));
        QCOMPARE(shops.at(0).toObject().value("goodsfoldernamerule"), QJsonValue(""));
        const QJsonDocument rule =
            QJsonDocument::fromJson(shops.at(1).toObject().value("goodsfoldernamerule").toString().toUtf8());
        QVERIFY(rule.isArray());
    }
    const auto recorded = fake.requestsFor("&m=public&a=dologin");
    QCOMPARE(recorded.size(), 1);
    QCOMPARE(recorded.at(0).g, QStringLiteral("QuorplexDPc"));
    QCOMPARE(recorded.at(0).field("token"), QStringLiteral("T"));
    QCOMPARE(recorded.at(0).body, body + "&token=T&version=1.4.2");
}

void TestFakeService::switchShopAndUnknownAction()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    QNetworkAccessManager manager;
    auto post = [&](const QString &query, const QByteArray &body) { return postJson(manager, fake.indexUrl() + query, body); };
    QJsonObject reply = post("g=QuorplexDPc&m=public&a=switch_shop", "shopid=12");
    QCOMPARE(reply.value("code"), QJsonValue("1"));
    QCOMPARE(reply.value("EID"), QJsonValue("7002"));
    QCOMPARE(reply.value("SUPERID"), QJsonValue("9001"));
    reply = post("g=QuorplexDPc&m=public&a=switch_shop", "shopid=99");
    QCOMPARE(reply.value("code"), QJsonValue("0"));
    QCOMPARE(reply.value("msg"), QJsonValue("门店不存在"));
    reply = post("g=QuorplexDPc&m=public&a=nothing", "x=1");
    QCOMPARE(reply.value("message"), QJsonValue("未知的接口"));
    // The actions live in the service's own group only.
    reply = post("g=Other&m=public&a=dologin", "username=tester&password=secret");
    QCOMPARE(reply.value("code"), QJsonValue("0"));
}

void TestFakeService::keepAliveWithRequestInPieces()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    RawClient client;
    QVERIFY(client.connectTo(fake));
    QTcpSocket &socket = client.socket;
    QByteArray &received = client.received;

    // Two requests back to back in one write, then a third that arrives
    // byte-range by byte-range with the event loop running in between.
    socket.write(postText("g=QuorplexDPc&m=public&a=switch_shop", "shopid=11")
                 + postText("g=QuorplexDPc&m=public&a=switch_shop", "shopid=12"));
    const QByteArray third = postText("g=QuorplexDPc&m=public&a=dologin", "username=tester&password=secret");
    QTRY_COMPARE_WITH_TIMEOUT(splitReplies(received).size(), 2, 5000);
    for (int i = 0; i < third.size(); i += 7) {
        socket.write(third.mid(i, 7));
        socket.flush();
        QTest::qWait(1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(splitReplies(received).size(), 3, 5000);
    const QList<QByteArray> replies = splitReplies(received);
    QVERIFY(replies.at(0).startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(replies.at(0).contains("Content-Type: application/json; charset=utf-8\r\n"));
    QCOMPARE(QJsonDocument::fromJson(bodyOf(replies.at(0))).object().value("EID"), QJsonValue("7001"));
    QCOMPARE(QJsonDocument::fromJson(bodyOf(replies.at(1))).object().value("EID"), QJsonValue("7002"));
    QCOMPARE(QJsonDocument::fromJson(bodyOf(replies.at(2))).object().value("UID"), QJsonValue("501"));
    QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(fake.requests().size(), 3);
    QCOMPARE(fake.requests().at(2).field("password"), QStringLiteral("secret"));
}

void TestFakeService::connectionCloseIsHonoured()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    RawClient client;
    QVERIFY(client.connectTo(fake));
    QTcpSocket &socket = client.socket;
    QByteArray &received = client.received;
    socket.write(postText("g=QuorplexDPc&m=public&a=switch_shop", "shopid=11", "Connection: close\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(splitReplies(received).size(), 1);
    QVERIFY(received.contains("Connection: close\r\n"));
}

void TestFakeService::delayedReplyKeepsOrderOnConnection()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    fake.setFault("&m=public&a=dologin", FakeOrderService::Fault::Delay, QString(), 300);
    RawClient client;
    QVERIFY(client.connectTo(fake));
    QTcpSocket &socket = client.socket;
    QByteArray &received = client.received;
    socket.write(postText("g=QuorplexDPc&m=public&a=dologin", "username=tester&password=secret")
                 + postText("g=QuorplexDPc&m=public&a=switch_shop", "shopid=12"));
    QTRY_COMPARE_WITH_TIMEOUT(splitReplies(received).size(), 2, 5000);
    const QList<QByteArray> replies = splitReplies(received);
    QCOMPARE(QJsonDocument::fromJson(bodyOf(replies.at(0))).object().value("UID"), QJsonValue("501"));
    QCOMPARE(QJsonDocument::fromJson(bodyOf(replies.at(1))).object().value("EID"), QJsonValue("7002"));
}

void TestFakeService::expectContinueAndOversizedHead()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    RawClient client;
    QVERIFY(client.connectTo(fake));
    QTcpSocket &socket = client.socket;
    QByteArray &received = client.received;
    const QByteArray body = "shopid=11";
    const QByteArray whole = postText("g=QuorplexDPc&m=public&a=switch_shop", body, "Expect: 100-continue\r\n");
    socket.write(whole.left(whole.size() - body.size()));
    QTRY_VERIFY_WITH_TIMEOUT(received.startsWith("HTTP/1.1 100 Continue\r\n\r\n"), 5000);
    received.clear();
    socket.write(body);
    QTRY_COMPARE_WITH_TIMEOUT(splitReplies(received).size(), 1, 5000);
    QCOMPARE(QJsonDocument::fromJson(bodyOf(received)).object().value("EID"), QJsonValue("7001"));

    // A head that never ends is refused instead of buffered for ever.
    received.clear();
    socket.write("POST /index.php HTTP/1.1\r\nX-Filler: " + QByteArray(70 * 1024, 'x'));
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 5000);
    QVERIFY(received.startsWith("HTTP/1.1 431 "));
}

void TestFakeService::expectedToken()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    fake.setExpectedToken("good");
    QNetworkAccessManager manager;
    auto login = [&](const QByteArray &token) {
        return postJson(manager, fake.indexUrl() + "g=QuorplexDPc&m=public&a=dologin",
                        "username=tester&password=secret&token=" + token);
    };
    QCOMPARE(login("good").value("code"), QJsonValue("1"));
    QCOMPARE(login("bad").value("code"), QJsonValue("0"));
}

void TestFakeService::tlsTrustedAndUntrusted()
{
    FakeOrderService::trustTestCa();
    for (auto mode : {FakeOrderService::Mode::Tls, FakeOrderService::Mode::TlsUntrusted}) {
        FakeOrderService fake;
        QVERIFY(fake.start(mode));
        QVERIFY(fake.baseUrl().startsWith("https://127.0.0.1:"));
        QNetworkAccessManager manager;
        QNetworkRequest request(QUrl(fake.indexUrl() + "g=QuorplexDPc&m=public&a=switch_shop"));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        QSslConfiguration cfg = QSslConfiguration::defaultConfiguration();
        cfg.setPeerVerifyMode(QSslSocket::VerifyPeer);
        request.setSslConfiguration(cfg);
        QNetworkReply *reply = manager.post(request, "shopid=11");
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        if (mode == FakeOrderService::Mode::Tls) {
            QCOMPARE(reply->error(), QNetworkReply::NoError);
            QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value("code"), QJsonValue("1"));
        } else {
            QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
            QVERIFY(fake.requests().isEmpty());
        }
        reply->deleteLater();
    }
}

void TestFakeService::servesAddedFiles()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    const QByteArray data("\x89PNG\r\n\x1a\nrest", 12);
    const QString url = fake.addFile(QStringLiteral("样片 1.png"), data, QStringLiteral("image/png"));
    QVERIFY(url.startsWith(fake.baseUrl() + "/files/"));
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(url)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), QStringLiteral("image/png"));
    QCOMPARE(reply->readAll(), data);
    reply->deleteLater();

    QNetworkReply *missing = manager.get(QNetworkRequest(QUrl(fake.baseUrl() + "/files/99/none.png")));
    QSignalSpy missingFinished(missing, &QNetworkReply::finished);
    QVERIFY(missingFinished.wait(5000));
    QCOMPARE(missing->error(), QNetworkReply::ContentNotFoundError);
    missing->deleteLater();
}

// The demo's replies hold what a real service hands out: no "{netpath}"
// or other placeholder of the data files in any reply that reads an order,
// and a picture behind every stored original the import window shows.
void TestFakeService::demoRepliesAreReal()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const auto restore = qScopeGuard([&]() { qputenv("HOME", oldHome); });
    FakeOrderService fake;
    const QString data = QFINDTESTDATA("../fakeservice/demo-data.json");
    QVERIFY(!data.isEmpty());
    QVERIFY(fake.loadModelFile(data));
    const QDir extra(QFileInfo(data).dir().filePath(QStringLiteral("demo")));
    const QStringList extraFiles = extra.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    QVERIFY(extraFiles.contains(QStringLiteral("importfiles.json")));
    for (const QString &name : extraFiles)
        QVERIFY2(fake.mergeModelFile(extra.filePath(name)), qPrintable(name));
    QVERIFY(fake.start());
    QNetworkAccessManager manager;
    const QRegularExpression placeholder(QStringLiteral("\\{[A-Za-z_][A-Za-z0-9_]*\\}"));
    int checked = 0;
    const auto post = [&](const QString &action, const QString &body) {
        const QJsonObject reply = postJson(manager, fake.indexUrl() + QStringLiteral("g=QuorplexDPc") + action, body.toUtf8());
        const QString text = QString::fromUtf8(QJsonDocument(reply).toJson(QJsonDocument::Compact));
        const QRegularExpressionMatch match = placeholder.match(text);
        if (match.hasMatch())
            qWarning().noquote() << action << body << text.mid(qMax(0, match.capturedStart() - 80), 160);
        ++checked;
        return match.hasMatch() ? QJsonObject() : reply;
    };
    QStringList orderIds;
    for (const QJsonValue &shop : fake.modelStore().list(QStringLiteral("shops"))) {
        const QString shopId = shop.toObject().value(QStringLiteral("id")).toString();
        QVERIFY(!post(QStringLiteral("&m=public&a=switch_shop"), QStringLiteral("shopid=") + shopId).isEmpty());
        for (const char *action : {"&m=order&a=order_list", "&m=order&a=order_list_type_1"}) {
            const QJsonObject reply =
                post(QLatin1String(action), QStringLiteral("keyword=&searchtype=1&shopid=") + shopId);
            QVERIFY2(reply.value(QStringLiteral("code")) == QJsonValue(QStringLiteral("1")), action);
        }
    }
    for (const QJsonValue &order : fake.modelStore().list(QStringLiteral("orders")))
        orderIds << order.toObject().value(QStringLiteral("order_photo_id")).toString();
    QSet<QString> urls;
    for (const QString &id : qAsConst(orderIds)) {
        for (const char *action : {"&m=order&a=getorderphotoimg", "&m=order&a=orderphotodetail"})
            QVERIFY2(!post(QLatin1String(action), QStringLiteral("order_photo_id=") + id).isEmpty(), action);
        const QJsonObject pics = post(QStringLiteral("&m=order&a=getorder_pics"),
                                      QStringLiteral("order_photo_id=%1&timestamp=7").arg(id));
        QCOMPARE(pics.value(QStringLiteral("code")), QJsonValue(QStringLiteral("1")));
        for (const QJsonValue &item : pics.value(QStringLiteral("images_yuanpian")).toArray()) {
            const QString url = item.toObject().value(QStringLiteral("url")).toString();
            QVERIFY2(!url.isEmpty(), qPrintable(id));
            urls.insert(url);
        }
    }
    // The design-split orders hold stored originals: their pictures are served.
    QVERIFY(!urls.isEmpty());
    for (const QString &url : qAsConst(urls)) {
        QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(url)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QVERIFY2(!QImage::fromData(reply->readAll()).isNull(), qPrintable(url));
        reply->deleteLater();
    }
    QVERIFY(checked > orderIds.size() * 3);
}

QTEST_MAIN(TestFakeService)
#include "tst_fakeservice.moc"
