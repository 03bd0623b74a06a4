#include <memory>
#include <stdexcept>

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "tests/fakeservice/fakeorderservice.h"

namespace {

const QString Token = QStringLiteral("0123456789abcdef0123456789abcdef");

struct PostResult
{
    int calls = 0;
    bool ok = false;
    QJsonDocument doc;
};

struct ImageResult
{
    int calls = 0;
    bool ok = false;
    QByteArray data;
    QString mime;
};

std::shared_ptr<PostResult> post(BaseReq &req, const QString &action, const QByteArray &params)
{
    auto result = std::make_shared<PostResult>();
    req.post(action, params, [result](bool ok, const QJsonDocument &doc) {
        ++result->calls;
        result->ok = ok;
        result->doc = doc;
    });
    return result;
}

std::shared_ptr<ImageResult> download(BaseReq &req, const QString &url)
{
    auto result = std::make_shared<ImageResult>();
    req.downloadImage(url, [result](bool ok, const QByteArray &data, const QString &mime) {
        ++result->calls;
        result->ok = ok;
        result->data = data;
        result->mime = mime;
    });
    return result;
}

QByteArray encodeImage(const char *format)
{
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Qt writes no GIF; a 1x1 GIF89a made by hand.
const QByteArray TinyGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
                         "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
                         "D\x01\x00;",
                         43);

// Log lines of every category while a test runs.
QStringList s_log;
QtMessageHandler s_previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    s_log.append(QString::fromLatin1(context.category ? context.category : "") + QLatin1String(": ") + message);
    if (s_previousHandler)
        s_previousHandler(type, context, message);
}

} // namespace

class TestBaseReq : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void envelope_data();
    void envelope();
    void group_data();
    void group();
    void replyKinds_data();
    void replyKinds();
    void tlsVerification_data();
    void tlsVerification();
    void logRedaction();
    void transferTimeout_data();
    void transferTimeout();
    void deadlineAndSizeLimit_data();
    void deadlineAndSizeLimit();
    void repliesBoundToTheirRequests();
    void largeReplyArrivesWhole();
    void imageDownloadsBoundToTheirRequests();
    void destroyedWithReplyOpenCallsNothing();
    void sharedConnections_data();
    void sharedConnections();
    void sharedReplyOfDestroyedRequestIsAborted();
    void refusedExpectationIsDroppedAndSentAgain();
    void getAfterPostOnSameObject();
    void abortEndsWithFailure();
    void detectImageMime_data();
    void detectImageMime();
    void downloadImage_data();
    void downloadImage();
    void downloadImageAsDataUrl();
    void throwingImageCallbackIsCaught();

private:
    QString m_savedToken;
    QString m_savedIndexUrl;
    QString m_savedUserId;
};

void TestBaseReq::initTestCase()
{
    QCOMPARE(BaseReq::transferTimeout(), 60000);
    // Every request ends in bounded time and memory unless a test says otherwise.
    QCOMPARE(BaseReq::requestDeadline(), 120000);
    QCOMPARE(BaseReq::maxReplyBytes(), qint64(32 * 1024 * 1024));
    QCOMPARE(BaseReq::downloadDeadline(), 30 * 60 * 1000);
    FakeOrderService::trustTestCa();
    QLoggingCategory::setFilterRules(QStringLiteral("velquora.request.debug=true"));
    s_previousHandler = qInstallMessageHandler(captureMessage);
}

void TestBaseReq::init()
{
    m_savedToken = g_token;
    m_savedIndexUrl = g_indexUrl;
    m_savedUserId = g_userId;
    g_token = Token;
    g_userId.clear();
    s_log.clear();
}

void TestBaseReq::cleanup()
{
    g_token = m_savedToken;
    g_indexUrl = m_savedIndexUrl;
    g_userId = m_savedUserId;
    BaseReq::setTransferTimeout(60000);
    BaseReq::setRequestDeadline(120000);
    BaseReq::setMaxReplyBytes(32 * 1024 * 1024);
    BaseReq::setDownloadDeadline(30 * 60 * 1000);
}

void TestBaseReq::envelope_data()
{
    QTest::addColumn<QByteArray>("params");
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("fieldNames");

    const QByteArray tail = "&token=" + Token.toUtf8() + "&version=1.4.2&architecture=64&uid=";
    QTest::newRow("after login") << QByteArray("shopid=12") << "U77" << QByteArray("shopid=12" + tail + "U77&device=windows")
                                 << QStringList{"shopid", "token", "version", "architecture", "uid", "device"};
    QTest::newRow("before login: empty uid") << QByteArray("shopid=12") << "" << QByteArray("shopid=12" + tail + "&device=windows")
                                             << QStringList{"shopid", "token", "version", "architecture", "uid", "device"};
    QTest::newRow("raw & splits the field") << QByteArray("name=a&b") << "U1" << QByteArray("name=a&b" + tail + "U1&device=windows")
                                            << QStringList{"name", "b", "token", "version", "architecture", "uid", "device"};
    QTest::newRow("utf-8 kept") << QByteArray("keyword=张伟") << "U1" << QByteArray("keyword=张伟" + tail + "U1&device=windows")
                                << QStringList{"keyword", "token", "version", "architecture", "uid", "device"};
    QTest::newRow("no params") << QByteArray() << "U1" << QByteArray(tail + "U1&device=windows")
                               << QStringList{"token", "version", "architecture", "uid", "device"};
}

void TestBaseReq::envelope()
{
    QFETCH(QByteArray, params);
    QFETCH(QString, uid);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, fieldNames);

    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    g_userId = uid;
    BaseReq req;
    auto result = post(req, QStringLiteral("&m=public&a=switch_shop"), params);
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);

    QCOMPARE(fake.requests().size(), 1);
    const FakeOrderService::Request request = fake.requests().at(0);
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/index.php?g=QuorplexDPc&m=public&a=switch_shop"));
    QCOMPARE(request.body, body);
    QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(request.header("Content-Length"), QByteArray::number(body.size()));
    QVERIFY(request.header("Transfer-Encoding").isEmpty());
    QStringList names;
    for (const auto &field : request.fields)
        names << field.first;
    QCOMPARE(names, fieldNames);
    QCOMPARE(request.field("uid"), uid);
    QCOMPARE(request.field("token"), Token);
}

void TestBaseReq::group_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("update check") << "&m=Version&a=check_update" << QByteArray("/index.php?g=publicapi&m=Version&a=check_update");
    QTest::newRow("module lower case") << "&m=version&a=check_update" << QByteArray("/index.php?g=QuorplexDPc&m=version&a=check_update");
    QTest::newRow("action other case") << "&m=Version&a=Check_Update" << QByteArray("/index.php?g=QuorplexDPc&m=Version&a=Check_Update");
    QTest::newRow("login") << "&m=public&a=dologin" << QByteArray("/index.php?g=QuorplexDPc&m=public&a=dologin");
}

void TestBaseReq::group()
{
    QFETCH(QString, action);
    QFETCH(QByteArray, target);

    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    BaseReq req;
    auto result = post(req, action, "x=1");
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QCOMPARE(fake.requests().size(), 1);
    QCOMPARE(fake.requests().at(0).target, target);
}

void TestBaseReq::replyKinds_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("docKind"); // "null", "object", "array"
    QTest::addColumn<QJsonValue>("code");

    QTest::newRow("success") << "normal" << true << "object" << QJsonValue("1");
    QTest::newRow("refusal with message") << "codeZero" << true << "object" << QJsonValue("0");
    QTest::newRow("numeric code reaches the caller") << "numericCode" << true << "object" << QJsonValue(1);
    QTest::newRow("empty object") << "emptyObject" << true << "object" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("HTTP 500 with JSON body") << "http500" << false << "null" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("invalid JSON") << "invalidJson" << false << "null" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("top-level array") << "array" << false << "array" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("connection closed") << "close" << false << "null" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("late answer within the time-out") << "delay" << true << "object" << QJsonValue("1");
}

void TestBaseReq::replyKinds()
{
    QFETCH(QString, setup);
    QFETCH(bool, ok);
    QFETCH(QString, docKind);
    QFETCH(QJsonValue, code);

    const QString action = QStringLiteral("&m=public&a=switch_shop");
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    if (setup == "codeZero")
        fake.setFault(action, FakeOrderService::Fault::CodeZeroMessage, QStringLiteral("门店已停用"));
    else if (setup == "numericCode")
        fake.setFault(action, FakeOrderService::Fault::NumericCode);
    else if (setup == "emptyObject")
        fake.setHandler(action, [](const FakeOrderService::Request &) { return QJsonObject(); });
    else if (setup == "http500")
        fake.setFault(action, FakeOrderService::Fault::Http500);
    else if (setup == "invalidJson")
        fake.setFault(action, FakeOrderService::Fault::InvalidJson);
    else if (setup == "array")
        fake.setFault(action, FakeOrderService::Fault::TopLevelArray);
    else if (setup == "close")
        fake.setFault(action, FakeOrderService::Fault::CloseConnection);
    else if (setup == "delay")
        fake.setFault(action, FakeOrderService::Fault::Delay, QString(), 300);

    BaseReq req;
    auto result = post(req, action, "shopid=11");
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QCOMPARE(result->ok, ok);
    QVERIFY(!fake.requests().isEmpty());
    if (docKind == "null") {
        QVERIFY(result->doc.isNull());
    } else if (docKind == "array") {
        QVERIFY(result->doc.isArray());
        QCOMPARE(result->doc.array().at(0).toObject().value("EID"), QJsonValue("7001"));
    } else {
        QVERIFY(result->doc.isObject());
        QCOMPARE(result->doc.object().value("code"), code);
    }
    if (setup == "codeZero")
        QCOMPARE(result->doc.object().value("message"), QJsonValue("门店已停用"));
    if (setup == "emptyObject")
        QVERIFY(result->doc.object().isEmpty());
}

void TestBaseReq::tlsVerification_data()
{
    QTest::addColumn<FakeOrderService::Mode>("mode");
    QTest::addColumn<bool>("ok");

    QTest::newRow("certificate of the trusted CA") << FakeOrderService::Mode::Tls << true;
    QTest::newRow("self-signed certificate") << FakeOrderService::Mode::TlsUntrusted << false;
}

void TestBaseReq::tlsVerification()
{
    QFETCH(FakeOrderService::Mode, mode);
    QFETCH(bool, ok);

    FakeOrderService fake;
    QVERIFY(fake.start(mode));
    g_indexUrl = fake.indexUrl();
    QVERIFY(g_indexUrl.startsWith("https://127.0.0.1:"));
    const QString imageUrl = fake.addFile(QStringLiteral("a.png"), encodeImage("PNG"), QStringLiteral("image/png"));

    BaseReq req;
    auto result = post(req, QStringLiteral("&m=public&a=dologin"), "username=tester&password=secret");
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QCOMPARE(result->ok, ok);
    // An unverified server never gets to read the password.
    QCOMPARE(fake.requestsFor("&m=public&a=dologin").size(), ok ? 1 : 0);
    if (ok)
        QCOMPARE(result->doc.object().value("UID"), QJsonValue("501"));

    auto image = download(req, imageUrl);
    QTRY_COMPARE_WITH_TIMEOUT(image->calls, 1, 10000);
    QCOMPARE(image->ok, ok);
    QCOMPARE(image->mime, ok ? QStringLiteral("image/png") : QString());

    // The picture grids' own GETs verify the server the same way.
    QNetworkAccessManager manager;
    QNetworkReply *thumb = manager.get(BaseReq::thumbnailRequest(imageUrl));
    QSignalSpy finished(thumb, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(thumb->error() == QNetworkReply::NoError, ok);
    if (ok)
        QCOMPARE(fake.requests().last().header("User-Agent"), QByteArray("Mozilla/5.0"));
    delete thumb;
}

void TestBaseReq::logRedaction()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    g_userId = QStringLiteral("501");
    BaseReq req;
    auto result = post(req, QStringLiteral("&m=public&a=dologin"), "username=tester&password=s3cr%2Bet%26x");
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QVERIFY(result->ok);

    QStringList paras;
    for (const QString &line : qAsConst(s_log)) {
        QVERIFY2(!line.contains(Token), qPrintable(line));
        QVERIFY2(!line.contains("s3cr"), qPrintable(line));
        if (line.startsWith("velquora.request: paras:"))
            paras << line;
    }
    QCOMPARE(paras.size(), 1);
    QCOMPARE(paras.at(0), QStringLiteral("velquora.request: paras:  username=tester&password=***&token=***"
                                         "&version=1.4.2&architecture=64&uid=501&device=windows"));
    bool urlLogged = false;
    for (const QString &line : qAsConst(s_log))
        urlLogged = urlLogged || (line.contains("url:") && line.contains("a=dologin"));
    QVERIFY(urlLogged);
    // The service still got the real values.
    QCOMPARE(fake.requests().at(0).field("password"), QStringLiteral("s3cr+et&x"));
    QCOMPARE(fake.requests().at(0).field("token"), Token);
}

void TestBaseReq::transferTimeout_data()
{
    QTest::addColumn<bool>("image");
    QTest::addColumn<int>("serverDelay"); // -1: never answers
    QTest::addColumn<bool>("ok");

    QTest::newRow("post never answered") << false << -1 << false;
    QTest::newRow("image server stalls") << true << 20000 << false;
    QTest::newRow("post answered before the time-out") << false << 200 << true;
}

void TestBaseReq::transferTimeout()
{
    QFETCH(bool, image);
    QFETCH(int, serverDelay);
    QFETCH(bool, ok);

    const QString action = QStringLiteral("&m=public&a=switch_shop");
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    if (serverDelay < 0)
        fake.setFault(action, FakeOrderService::Fault::NoAnswer);
    else
        fake.setFault(action, FakeOrderService::Fault::Delay, QString(), serverDelay);
    fake.setGetDelay(qMax(serverDelay, 0));
    const QString imageUrl = fake.addFile(QStringLiteral("slow.jpg"), encodeImage("JPEG"), QStringLiteral("image/jpeg"));

    BaseReq::setTransferTimeout(1500);
    BaseReq req;
    QElapsedTimer timer;
    timer.start();
    bool resultOk = !ok;
    if (image) {
        auto result = download(req, imageUrl);
        QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 15000);
        resultOk = result->ok;
    } else {
        auto result = post(req, action, "shopid=11");
        QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 15000);
        resultOk = result->ok;
        if (!ok)
            QVERIFY(result->doc.isNull());
    }
    QCOMPARE(resultOk, ok);
    if (!ok)
        QVERIFY2(timer.elapsed() >= 1000, "the failure came before the time-out");
}

void TestBaseReq::deadlineAndSizeLimit_data()
{
    QTest::addColumn<QString>("call");            // "post", "get" or "image"
    QTest::addColumn<FakeOrderService::Fault>("fault");
    QTest::addColumn<qint64>("maxBytes");          // 0: the default limit
    QTest::addColumn<bool>("ok");

    const FakeOrderService::Fault trickle = FakeOrderService::Fault::Trickle;
    const FakeOrderService::Fault none = FakeOrderService::Fault::None;
    QTest::newRow("post, one byte every 500 ms") << "post" << trickle << qint64(0) << false;
    QTest::newRow("get, one byte every 500 ms") << "get" << trickle << qint64(0) << false;
    QTest::newRow("image, one byte every 500 ms") << "image" << trickle << qint64(0) << false;
    QTest::newRow("post, endless reply of undeclared length") << "post" << FakeOrderService::Fault::Oversized
                                                              << qint64(1024 * 1024) << false;
    QTest::newRow("post, declared length over the limit") << "post" << none << qint64(16) << false;
    QTest::newRow("post, reply within the limit") << "post" << none << qint64(64 * 1024) << true;
}

void TestBaseReq::deadlineAndSizeLimit()
{
    QFETCH(QString, call);
    QFETCH(FakeOrderService::Fault, fault);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, ok);

    const QString action = QStringLiteral("&m=public&a=switch_shop");
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.setFault(action, fault, QString(), 500);
    // The idle time-out alone would wait for ever: a byte comes every 500 ms.
    BaseReq::setTransferTimeout(1500);
    BaseReq::setRequestDeadline(2500);
    BaseReq::setDownloadDeadline(2500);
    if (maxBytes > 0)
        BaseReq::setMaxReplyBytes(maxBytes);

    BaseReq req;
    QElapsedTimer timer;
    timer.start();
    bool resultOk = !ok;
    if (call == QLatin1String("image")) {
        auto result = download(req, fake.indexUrl() + QStringLiteral("g=QuorplexDPc") + action);
        QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 20000);
        resultOk = result->ok;
        QVERIFY(ok || result->data.isEmpty());
    } else {
        auto result = post(req, action, "shopid=11");
        if (call == QLatin1String("get")) {
            QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 20000);
            req.sendGet(fake.indexUrl() + QStringLiteral("g=QuorplexDPc") + action);
            timer.restart();
            QTRY_COMPARE_WITH_TIMEOUT(result->calls, 2, 20000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 20000);
        }
        resultOk = result->ok;
        QVERIFY(ok || result->doc.isNull());
    }
    QCOMPARE(resultOk, ok);
    if (fault == FakeOrderService::Fault::Trickle)
        QVERIFY2(timer.elapsed() >= 2000, "the request ended before its deadline");
    // Stopped at the size limit, not at the deadline.
    if (fault == FakeOrderService::Fault::Oversized)
        QVERIFY2(timer.elapsed() < 2000, "the reply was not cut off at its size limit");
}

// A reply of megabytes (a search of thousands of orders) is parsed away
// from the GUI thread and still reaches its callback whole, once; a request
// object gone meanwhile gets none.
void TestBaseReq::largeReplyArrivesWhole()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.loadModel(FakeModel::testData());
    QJsonArray orders = fake.modelStore().list(QStringLiteral("orders"));
    QVERIFY(!orders.isEmpty());
    QJsonObject model = orders.at(0).toObject();
    const QString shop = model.value(QStringLiteral("shopid")).toString();
    QJsonArray many;
    for (int i = 0; i < 4000; ++i) {
        model.insert(QStringLiteral("orderpayforkey"), QStringLiteral("BIG%1").arg(i));
        many.append(model);
    }
    fake.modelStore().setList(QStringLiteral("orders"), many);
    const QByteArray params = "shopid=" + shop.toUtf8();

    BaseReq req;
    auto result = post(req, QStringLiteral("&m=order&a=order_list"), params);
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 20000);
    QVERIFY(result->ok);
    const QJsonArray data = result->doc.object().value(QStringLiteral("data")).toArray();
    QCOMPARE(data.size(), 4000);
    QCOMPARE(data.at(3999).toObject().value(QStringLiteral("orderpayforkey")).toString(), QStringLiteral("BIG3999"));
    QVERIFY(!QTest::qWaitFor([&]() { return result->calls > 1; }, 300));

    auto *gone = new BaseReq;
    auto late = post(*gone, QStringLiteral("&m=order&a=order_list"), params);
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests().size() >= 2, 20000);
    delete gone;
    QVERIFY(!QTest::qWaitFor([&]() { return late->calls > 0; }, 1500));
}

void TestBaseReq::repliesBoundToTheirRequests()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    // The first request is answered last.
    fake.setFault(QStringLiteral("&m=public&a=dologin"), FakeOrderService::Fault::Delay, QString(), 400);

    BaseReq req;
    auto login = post(req, QStringLiteral("&m=public&a=dologin"), "username=tester&password=secret");
    auto shop = post(req, QStringLiteral("&m=public&a=switch_shop"), "shopid=12");
    QTRY_COMPARE_WITH_TIMEOUT(shop->calls, 1, 10000);
    QCOMPARE(login->calls, 0);
    QTRY_COMPARE_WITH_TIMEOUT(login->calls, 1, 10000);
    QCOMPARE(shop->calls, 1);
    QCOMPARE(login->doc.object().value("UID"), QJsonValue("501"));
    QCOMPARE(shop->doc.object().value("EID"), QJsonValue("7002"));
}

void TestBaseReq::imageDownloadsBoundToTheirRequests()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    const QByteArray png = encodeImage("PNG");
    const QByteArray jpeg = encodeImage("JPEG");
    const QString slowUrl = fake.addFile(QStringLiteral("first.png"), png, QStringLiteral("image/png"));
    const QString fastUrl = fake.addFile(QStringLiteral("second.jpg"), jpeg, QStringLiteral("image/jpeg"));
    fake.setFileDelay(slowUrl, 400);

    BaseReq req;
    auto first = download(req, slowUrl);
    auto second = download(req, fastUrl);
    QString dataUrl;
    int dataUrlCalls = 0;
    req.downloadImageAsDataUrl(fastUrl, [&](bool ok, const QString &url) {
        ++dataUrlCalls;
        if (ok)
            dataUrl = url;
    });
    QTRY_COMPARE_WITH_TIMEOUT(second->calls, 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(first->calls, 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(dataUrlCalls, 1, 10000);
    QCOMPARE(first->data, png);
    QCOMPARE(first->mime, QStringLiteral("image/png"));
    QCOMPARE(second->data, jpeg);
    QCOMPARE(second->mime, QStringLiteral("image/jpeg"));
    QCOMPARE(second->calls, 1);
    QCOMPARE(dataUrl, QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64()));
    for (const QString &line : qAsConst(s_log))
        QVERIFY2(!line.contains("imageCallback"), qPrintable(line));
}

void TestBaseReq::destroyedWithReplyOpenCallsNothing()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.setFault(QStringLiteral("&m=public&a=switch_shop"), FakeOrderService::Fault::NoAnswer);
    fake.setGetDelay(20000);
    const QString imageUrl = fake.addFile(QStringLiteral("a.png"), encodeImage("PNG"), QStringLiteral("image/png"));

    auto *req = new BaseReq;
    auto result = post(*req, QStringLiteral("&m=public&a=switch_shop"), "shopid=11");
    auto image = download(*req, imageUrl);
    QTRY_COMPARE_WITH_TIMEOUT(fake.requests().size(), 2, 10000);
    delete req;
    // The server side goes away too; a full round trip on another object
    // afterwards lets every event of the dead one be delivered.
    fake.stop();
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.clearFaults();
    BaseReq other;
    auto later = post(other, QStringLiteral("&m=public&a=dologin"), "username=tester&password=secret");
    QTRY_COMPARE_WITH_TIMEOUT(later->calls, 1, 10000);
    QVERIFY(later->ok);
    QCOMPARE(result->calls, 0);
    QCOMPARE(image->calls, 0);
}

void TestBaseReq::sharedConnections_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("shared");
    QTest::newRow("http, own connections") << int(FakeOrderService::Mode::Http) << false;
    QTest::newRow("http, shared") << int(FakeOrderService::Mode::Http) << true;
    QTest::newRow("tls, own connections") << int(FakeOrderService::Mode::Tls) << false;
    QTest::newRow("tls, shared") << int(FakeOrderService::Mode::Tls) << true;
}

void TestBaseReq::sharedConnections()
{
    QFETCH(int, mode);
    QFETCH(bool, shared);
    FakeOrderService fake;
    QVERIFY(fake.start(FakeOrderService::Mode(mode)));
    g_indexUrl = fake.indexUrl();

    // One request object after another, each released after its reply, as
    // the program's windows use them.
    for (int i = 0; i < 4; ++i) {
        auto *req = new BaseReq;
        if (shared)
            req->useSharedConnections();
        auto result = post(*req, QStringLiteral("&m=public&a=dologin"), "username=tester&password=secret");
        QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
        QVERIFY(result->ok);
        QCOMPARE(result->doc.object().value(QStringLiteral("UID")).toString(), QStringLiteral("501"));
        req->deleteLater();
    }
    QSet<quint16> ports;
    for (const FakeOrderService::Request &request : fake.requests())
        ports.insert(request.peerPort);
    // Shared: every request over the one kept-alive connection.
    QCOMPARE(ports.size(), shared ? 1 : 4);
}

void TestBaseReq::sharedReplyOfDestroyedRequestIsAborted()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.setFault(QStringLiteral("&m=public&a=switch_shop"), FakeOrderService::Fault::Delay, QString(), 300);
    auto *req = new BaseReq;
    req->useSharedConnections();
    auto result = post(*req, QStringLiteral("&m=public&a=switch_shop"), "shopid=11");
    QTRY_COMPARE_WITH_TIMEOUT(fake.requests().size(), 1, 10000);
    delete req;

    // A request sent afterwards with the same delay is answered after the
    // first reply would have been; the first one reached no callback.
    BaseReq other;
    other.useSharedConnections();
    auto later = post(other, QStringLiteral("&m=public&a=switch_shop"), "shopid=11");
    QTRY_COMPARE_WITH_TIMEOUT(later->calls, 1, 10000);
    QVERIFY(later->ok);
    QCOMPARE(result->calls, 0);
}

void TestBaseReq::refusedExpectationIsDroppedAndSentAgain()
{
    // A server that does not take "Expect: 100-continue": 417, then the
    // same request again without it is answered.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QList<QByteArray> heads;
    QList<QByteArray> bodies;
    connect(&server, &QTcpServer::newConnection, &server, [&]() {
        QTcpSocket *socket = server.nextPendingConnection();
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [&, socket, buffer]() {
            *buffer += socket->readAll();
            const int end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer->left(end).toLower();
            if (head.contains("expect: 100-continue")) {
                heads << head;
                socket->write("HTTP/1.1 417 Expectation Failed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
                buffer->clear();
                return;
            }
            const int lengthAt = head.indexOf("content-length:");
            const int length = head.mid(lengthAt + 15, head.indexOf('\r', lengthAt) - lengthAt - 15).trimmed().toInt();
            if (buffer->size() < end + 4 + length)
                return;
            heads << head;
            bodies << buffer->mid(end + 4, length);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 12\r\n"
                          "Connection: close\r\n\r\n{\"code\":\"1\"}");
            socket->disconnectFromHost();
            buffer->clear();
        });
    });
    g_indexUrl = QStringLiteral("http://127.0.0.1:%1/index.php?").arg(server.serverPort());

    BaseReq first;
    first.useSharedConnections();
    auto result = post(first, QStringLiteral("&m=public&a=switch_shop"), "shopid=11");
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QVERIFY(result->ok);
    QCOMPARE(result->doc.object().value(QStringLiteral("code")).toString(), QStringLiteral("1"));
    QCOMPARE(heads.size(), 2);
    QVERIFY(heads.at(0).contains("expect: 100-continue"));
    QVERIFY(!heads.at(1).contains("expect"));
    QVERIFY(bodies.first().startsWith("shopid=11&token="));

    // The program does not ask again.
    BaseReq second;
    second.useSharedConnections();
    auto again = post(second, QStringLiteral("&m=public&a=switch_shop"), "shopid=12");
    QTRY_COMPARE_WITH_TIMEOUT(again->calls, 1, 10000);
    QVERIFY(again->ok);
    QCOMPARE(heads.size(), 3);
    QVERIFY(!heads.at(2).contains("expect"));
}

void TestBaseReq::getAfterPostOnSameObject()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    BaseReq::setTransferTimeout(5000);
    BaseReq req;
    auto result = post(req, QStringLiteral("&m=public&a=switch_shop"), "shopid=11");
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QVERIFY(result->ok);

    // The GET goes to the callback of the last post and must not carry that
    // post's body length.
    req.sendGet(fake.indexUrl() + QStringLiteral("g=QuorplexDPc&m=public&a=switch_shop"));
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 2, 10000);
    QVERIFY(result->ok);
    QCOMPARE(fake.requests().size(), 2);
    const FakeOrderService::Request get = fake.requests().at(1);
    QCOMPARE(get.method, QByteArray("GET"));
    QVERIFY(get.header("Content-Length").isEmpty() || get.header("Content-Length") == "0");
}

void TestBaseReq::abortEndsWithFailure()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    g_indexUrl = fake.indexUrl();
    fake.setFault(QStringLiteral("&m=public&a=switch_shop"), FakeOrderService::Fault::NoAnswer);
    BaseReq req;
    auto result = post(req, QStringLiteral("&m=public&a=switch_shop"), "shopid=11");
    QTRY_COMPARE_WITH_TIMEOUT(fake.requests().size(), 1, 10000);
    req.abortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QVERIFY(!result->ok);
    QVERIFY(result->doc.isNull());
}

void TestBaseReq::detectImageMime_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("mime");
    QTest::addColumn<bool>("decodable");

    QTest::newRow("png") << encodeImage("PNG") << "image/png" << true;
    QTest::newRow("jpeg") << encodeImage("JPEG") << "image/jpeg" << true;
    QTest::newRow("bmp") << encodeImage("BMP") << "image/bmp" << true;
    QTest::newRow("webp") << encodeImage("WEBP") << "image/webp" << true;
    QTest::newRow("gif") << TinyGif << "image/gif" << true;
    QTest::newRow("other format named by the reader") << encodeImage("PPM") << "image/ppm" << true;
    QTest::newRow("empty") << QByteArray() << "" << false;
    QTest::newRow("jpeg magic only") << QByteArray("\xFF\xD8\xFF\xE0 broken", 11) << "image/jpeg" << false;
    QTest::newRow("png magic only") << QByteArray("\x89PNG\r\n\x1A\n broken", 15) << "image/png" << false;
    QTest::newRow("gif87 magic only") << QByteArray("GIF87a broken") << "image/gif" << false;
    QTest::newRow("riff with webp") << QByteArray("RIFF\x10\x00\x00\x00WEBPbroken", 18) << "image/webp" << false;
    QTest::newRow("riff without webp") << QByteArray("RIFF\x10\x00\x00\x00" "AVI LIST", 16) << "image/jpeg" << false;
    QTest::newRow("bmp magic only") << QByteArray("BM broken") << "image/bmp" << false;
    QTest::newRow("text") << QByteArray("not an image at all") << "image/jpeg" << false;
}

void TestBaseReq::detectImageMime()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, mime);
    QFETCH(bool, decodable);

    QCOMPARE(BaseReq::detectImageMime(data), mime);
    if (decodable)
        QVERIFY(!QImage::fromData(data).isNull());
}

void TestBaseReq::downloadImage_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("served");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("mime");

    QTest::newRow("png") << encodeImage("PNG") << true << true << "image/png";
    QTest::newRow("gif") << TinyGif << true << true << "image/gif";
    QTest::newRow("empty body") << QByteArray() << true << false << "";
    QTest::newRow("not found") << QByteArray() << false << false << "";
}

void TestBaseReq::downloadImage()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, served);
    QFETCH(bool, ok);
    QFETCH(QString, mime);

    FakeOrderService fake;
    QVERIFY(fake.start());
    const QString url = served ? fake.addFile(QStringLiteral("照片 1.png"), data, QStringLiteral("image/png"))
                               : fake.baseUrl() + QStringLiteral("/files/404/none.png");
    BaseReq req;
    auto result = download(req, url);
    QTRY_COMPARE_WITH_TIMEOUT(result->calls, 1, 10000);
    QCOMPARE(result->ok, ok);
    QCOMPARE(result->data, ok ? data : QByteArray());
    QCOMPARE(result->mime, mime);
    QCOMPARE(req.requestUrl, url);

    // A plain GET: no form body, no token, no identification fields.
    QCOMPARE(fake.requests().size(), 1);
    const FakeOrderService::Request request = fake.requests().at(0);
    QCOMPARE(request.method, QByteArray("GET"));
    QVERIFY(request.body.isEmpty());
    QVERIFY(!request.target.contains("token"));
    QVERIFY(request.header("Content-Type").isEmpty());
}

void TestBaseReq::downloadImageAsDataUrl()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    const QByteArray webp = encodeImage("WEBP");
    const QString url = fake.addFile(QStringLiteral("a.webp"), webp, QStringLiteral("image/webp"));

    BaseReq req;
    int calls = 0;
    bool ok = false;
    QString dataUrl;
    auto callback = [&](bool success, const QString &text) {
        ++calls;
        ok = success;
        dataUrl = text;
    };
    req.downloadImageAsDataUrl(url, callback);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
    QVERIFY(ok);
    QCOMPARE(dataUrl, QStringLiteral("data:image/webp;base64,") + QString::fromLatin1(webp.toBase64()));
    QVERIFY(!dataUrl.contains('\n'));

    req.downloadImageAsDataUrl(fake.baseUrl() + QStringLiteral("/files/404/x.png"), callback);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 2, 10000);
    QVERIFY(!ok);
    QVERIFY(dataUrl.isEmpty());
}

void TestBaseReq::throwingImageCallbackIsCaught()
{
    FakeOrderService fake;
    QVERIFY(fake.start());
    const QString url = fake.addFile(QStringLiteral("a.png"), encodeImage("PNG"), QStringLiteral("image/png"));
    BaseReq req;
    bool called = false;
    req.downloadImage(url, [&](bool, const QByteArray &, const QString &) {
        called = true;
        throw std::runtime_error("boom");
    });
    QTRY_VERIFY_WITH_TIMEOUT(called, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(s_log.join('\n').contains(QStringLiteral("回调函数执行异常: boom")), 5000);
}

QTEST_MAIN(TestBaseReq)
#include "tst_basereq.moc"
