#include <QApplication>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "base/basereq.h"
#include "base/formfield.h"
#include "base/globals.h"
#include "base/k.h"
#include "login/customcheckboxnew.h"
#include "login/loginnew.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/login/loginfixture.h"

namespace {

const QString kLogin = QStringLiteral("&m=public&a=dologin");

// An account whose name and password hold every character that would break
// a form body.
const QString kAccount = QStringLiteral("studio+a&b=c");
const QString kPassword = QStringLiteral("p&a+s=s%#1 密");

QStringList s_messages;

void collectMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_messages.append(message);
}

// Types text key by key, also characters that QTest::keyClicks cannot send.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QByteArray loginDataFileBytes()
{
    QFile file(g_dataDir + QStringLiteral("loginData"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

// The login window against the in-process order service: what it sends, what
// it stores, what it shows.
class TestLoginNew : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void successfulLogin_data();
    void successfulLogin();
    void shopListEdges_data();
    void shopListEdges();
    void refusal_data();
    void refusal();
    void networkFailure_data();
    void networkFailure();
    void secondClickWhileBusy();
    void emptyFields_data();
    void emptyFields();
    void enterLogsIn_data();
    void enterLogsIn();
    void enterOnEmptyFieldWarns();
    void rememberedFileWrittenBeforeRequest();
    void credentialsWriteFailureKeepsLogin();
    void passwordNeverLogged();
    void windowDestroyedBeforeChooserStep();
    void renderWindow();
    void centredWithItsRealSize_data();
    void centredWithItsRealSize();
    void placeholdersLookEmpty();
    void minimiseAndDrag();
    // Last: a quit leaves the test's event loops ending at once.
    void closeQuitsApplication();

private:
    LoginNew *newWindow();
    void fillAndClick(LoginNew *window, const QString &account, const QString &password, bool remember);

    // Installed for the whole run, so a box that comes late never blocks.
    BoxRecorder boxes;
    FakeOrderService m_fake;
    QTemporaryDir m_dataDir;
    QString m_defaultIndexUrl;
    QJsonObject m_lastReply;
    QList<LoginNew *> m_windows;
};

void TestLoginNew::initTestCase()
{
    useOwnConfigFolder();
    QVERIFY(credentialsPath().contains(QStringLiteral(".qttest")));
    QVERIFY(m_dataDir.isValid());
    g_dataDir = m_dataDir.path() + QStringLiteral("/");
    QVERIFY(m_fake.start(FakeOrderService::Mode::Http));
    m_defaultIndexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(2000);
}

void TestLoginNew::init()
{
    g_indexUrl = m_defaultIndexUrl;
    boxes.boxes.clear();
    removeCredentials();
    QFile::remove(g_dataDir + QStringLiteral("loginData"));
    m_fake.clearRequests();
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.loadModel(FakeModel::testData());
    m_fake.modelStore().append(QStringLiteral("accounts"),
                               QJsonObject{
                                   {QStringLiteral("username"), kAccount},
                                   {QStringLiteral("password"), kPassword},
                                   {QStringLiteral("UID"), QStringLiteral("777")},
                                   {QStringLiteral("SUPERID"), QStringLiteral("9001")},
                                   {QStringLiteral("EID"), QStringLiteral("3001")},
                                   {QStringLiteral("shops"), QJsonArray{QStringLiteral("11"), QStringLiteral("12")}},
                               });
    // The built-in login, with the reply kept for comparison.
    m_lastReply = QJsonObject();
    const auto builtin = FakeOrderService::builtinActions().value(kLogin);
    QVERIFY(builtin);
    m_fake.setHandler(kLogin, [this, builtin](const FakeOrderService::Request &request) {
        m_lastReply = builtin(m_fake.modelStore(), request);
        return m_lastReply;
    });
    g_superId.clear();
    g_enterpriseId.clear();
    g_userId.clear();
    g_currentShopId.clear();
    g_shopList.clear();
}

void TestLoginNew::cleanup()
{
    qDeleteAll(m_windows);
    m_windows.clear();
}

void TestLoginNew::cleanupTestCase()
{
    removeConfigFolder();
}

LoginNew *TestLoginNew::newWindow()
{
    auto *window = new LoginNew;
    m_windows.append(window);
    window->show();
    return window;
}

void TestLoginNew::fillAndClick(LoginNew *window, const QString &account, const QString &password, bool remember)
{
    LoginForm form(window);
    QVERIFY(form.complete());
    form.account->clear();
    form.password->clear();
    typeText(form.account, account);
    typeText(form.password, password);
    form.remember->setChecked(remember);
    QTest::mouseClick(form.button, Qt::LeftButton);
}

void TestLoginNew::successfulLogin_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remember ticked") << true;
    QTest::newRow("remember unticked") << false;
}

void TestLoginNew::successfulLogin()
{
    QFETCH(bool, remember);
    // A remembered password from an earlier login, which an unticked box drops.
    QVERIFY(writeCredentials("username=old\npassword=b2xk\nremember=1\n"));

    LoginNew *window = newWindow();
    window->show();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    const QString typedAccount = QStringLiteral(" ") + kAccount + QStringLiteral(" ");
    const QString typedPassword = QStringLiteral("  ") + kPassword + QStringLiteral(" ");
    fillAndClick(window, typedAccount, typedPassword, remember);

    LoginForm form(window);
    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("✓ 登录成功"), 5000);
    QVERIFY(form.button->styleSheet().contains(QStringLiteral("#27ae60")));
    // The chooser step waits a second after the reply.
    QCOMPARE(finished.count(), 0);

    // What the service received: the trimmed values intact, fields in order.
    const auto requests = m_fake.requestsFor(kLogin);
    QCOMPARE(requests.size(), 1);
    const FakeOrderService::Request &request = requests.first();
    QVERIFY(request.fields.size() >= 2);
    QCOMPARE(request.fields.at(0).first, QStringLiteral("username"));
    QCOMPARE(request.fields.at(0).second, kAccount);
    QCOMPARE(request.fields.at(1).first, QStringLiteral("password"));
    QCOMPARE(request.fields.at(1).second, kPassword);
    QVERIFY(request.body.startsWith("username=studio%2Ba%26b%3Dc&password=p%26a%2Bs%3Ds%25%231 "));
    QCOMPARE(request.field(QStringLiteral("device")), QStringLiteral("windows"));

    QVERIFY(!m_lastReply.isEmpty());
    QJsonObject expected = m_lastReply;
    expected.remove(QStringLiteral("code"));

    // The login data: one Qt 4.4 stream string holding the indented JSON.
    QCOMPARE(K::instance()->loadLoginData(), expected);
    QByteArray bytes = loginDataFileBytes();
    QDataStream stream(&bytes, QIODevice::ReadOnly);
    stream.setVersion(QDataStream::Qt_4_4);
    QString text;
    stream >> text;
    QCOMPARE(stream.status(), QDataStream::Ok);
    QVERIFY(stream.atEnd());
    QCOMPARE(text, QString::fromUtf8(QJsonDocument(expected).toJson(QJsonDocument::Indented)));
    QVERIFY(!expected.contains(QStringLiteral("code")));

    // The account values.
    QCOMPARE(g_userId, QStringLiteral("777"));
    QCOMPARE(g_superId, QStringLiteral("9001"));
    QCOMPARE(g_enterpriseId, QStringLiteral("3001"));
    QCOMPARE(g_shopList.size(), 2);
    QCOMPARE(g_shopList.at(0).id, QStringLiteral("11"));
    QCOMPARE(g_shopList.at(0).name, QStringLiteral("一号店"));
    QCOMPARE(g_shopList.at(1).id, QStringLiteral("12"));
    QCOMPARE(g_shopList.at(1).name, QStringLiteral("二号店"));
    const QJsonArray shopData = expected.value(QStringLiteral("shop_data")).toArray();
    QCOMPARE(g_shopList.at(1).goodsfoldernamerule, shopData.at(1).toObject().value(QStringLiteral("goodsfoldernamerule")).toString());
    QCOMPARE(g_currentShopId, QStringLiteral("11"));

    // The remembered-login file, with the values as typed.
    QByteArray lines = "username=" + typedAccount.toUtf8() + "\n";
    if (remember)
        lines += "password=" + typedPassword.toUtf8().toBase64() + "\n";
    lines += remember ? "remember=1\n" : "remember=0\n";
    QCOMPARE(readCredentials(), lines);
    const QFileDevice::Permissions permissions = QFile::permissions(credentialsPath());
    QVERIFY(permissions & QFileDevice::ReadOwner);
    QVERIFY(!(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup
                             | QFileDevice::WriteOther)));
    const QFileDevice::Permissions dataPermissions = QFile::permissions(g_dataDir + QStringLiteral("loginData"));
    QVERIFY(!(dataPermissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));

    QVERIFY(finished.wait(3000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toJsonObject(), expected);
    QVERIFY(boxes.boxes.isEmpty());
    // The window stays until the chooser takes over.
    QVERIFY(window->isVisible());

    // Still busy after success: another click sends nothing.
    QTest::mouseClick(form.button, Qt::LeftButton);
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
    QVERIFY(!finished.wait(1500));

    // A new window reads what the login left.
    LoginNew *again = newWindow();
    LoginForm reread(again);
    QCOMPARE(reread.account->text(), typedAccount);
    QCOMPARE(reread.password->text(), remember ? typedPassword : QString());
    QCOMPARE(reread.remember->isChecked(), remember);
}

void TestLoginNew::shopListEdges_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<QStringList>("shopIds");
    QTest::addColumn<QString>("currentShop");

    const QJsonObject base{
        {QStringLiteral("code"), QStringLiteral("1")},
        {QStringLiteral("UID"), QStringLiteral("5")},
        {QStringLiteral("SUPERID"), QStringLiteral("6")},
        {QStringLiteral("EID"), QStringLiteral("7")},
    };
    QJsonObject empty = base;
    empty.insert(QStringLiteral("shop_data"), QJsonArray());
    QTest::newRow("empty shop_data keeps the current shop") << empty << QStringList() << "99";
    QTest::newRow("missing shop_data keeps the current shop") << base << QStringList() << "99";
    QJsonObject one = base;
    one.insert(QStringLiteral("shop_data"),
               QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("42")}, {QStringLiteral("name"), QStringLiteral("店")}}});
    QTest::newRow("one shop") << one << QStringList{QStringLiteral("42")} << "42";
}

void TestLoginNew::shopListEdges()
{
    QFETCH(QJsonObject, reply);
    QFETCH(QStringList, shopIds);
    QFETCH(QString, currentShop);

    g_currentShopId = QStringLiteral("99");
    g_shopList.append(ShopInfo{QStringLiteral("1"), QStringLiteral("旧店"), QString()});
    m_fake.setHandler(kLogin, [reply](const FakeOrderService::Request &) { return reply; });

    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, QStringLiteral("a"), QStringLiteral("b"), false);
    QVERIFY(finished.wait(5000));

    QStringList ids;
    for (const ShopInfo &shop : qAsConst(g_shopList))
        ids << shop.id;
    QCOMPARE(ids, shopIds);
    QCOMPARE(g_currentShopId, currentShop);
    QCOMPARE(g_userId, QStringLiteral("5"));
    QVERIFY(boxes.boxes.isEmpty());
}

void TestLoginNew::refusal_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<QString>("shown");

    QTest::newRow("code 0 with message") << QJsonObject{{QStringLiteral("code"), QStringLiteral("0")},
                                                        {QStringLiteral("message"), QStringLiteral("账号已停用")}}
                                         << QStringLiteral("账号已停用");
    // A reply whose code is not text is refused, and its message (the
    // service's own "登录成功") must not be what the refusal box says.
    const QString unreadable = QStringLiteral("登录失败：服务器返回的登录结果无法识别，请联系管理员");
    QTest::newRow("numeric code 1 is a refusal")
        << QJsonObject{{QStringLiteral("code"), 1},
                       {QStringLiteral("message"), QStringLiteral("登录成功")},
                       {QStringLiteral("UID"), QStringLiteral("888")},
                       {QStringLiteral("shop_data"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("1")}}}}}
        << unreadable;
    QTest::newRow("no code at all") << QJsonObject{{QStringLiteral("msg"), QStringLiteral("登录成功")}} << unreadable;
    QTest::newRow("msg instead of message") << QJsonObject{{QStringLiteral("code"), QStringLiteral("0")},
                                                           {QStringLiteral("msg"), QStringLiteral("门店已关闭")}}
                                            << QStringLiteral("门店已关闭");
    QTest::newRow("no message at all") << QJsonObject{{QStringLiteral("code"), QStringLiteral("2")}}
                                       << QStringLiteral("登录失败，请稍后重试");
}

void TestLoginNew::refusal()
{
    QFETCH(QJsonObject, reply);
    QFETCH(QString, shown);

    g_userId = QStringLiteral("1");
    g_currentShopId = QStringLiteral("99");
    m_fake.setHandler(kLogin, [reply](const FakeOrderService::Request &) { return reply; });

    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("wrong"), false);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 5000);

    const BoxRecorder::Box box = boxes.boxes.first();
    QCOMPARE(box.title, QStringLiteral("温馨提示"));
    QCOMPARE(box.text, shown);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY(box.styleSheet.contains(QStringLiteral("background-color: #2980ff")));

    LoginForm form(window);
    QCOMPARE(form.button->text(), QStringLiteral("登录"));
    QCOMPARE(form.account->text(), QStringLiteral("tester"));
    QCOMPARE(form.password->text(), QStringLiteral("wrong"));
    QCOMPARE(g_userId, QStringLiteral("1"));
    QCOMPARE(g_currentShopId, QStringLiteral("99"));
    QVERIFY(g_shopList.isEmpty());
    QVERIFY(!QFile::exists(g_dataDir + QStringLiteral("loginData")));
    QVERIFY(!QFile::exists(credentialsPath()));
    QCOMPARE(finished.count(), 0);

    // The button is given back: the next click is a new request.
    m_fake.clearHandlers();
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kLogin).size(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 2, 5000);
}

void TestLoginNew::networkFailure_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("refused");

    QTest::newRow("connection refused") << int(FakeOrderService::Fault::None) << true;
    QTest::newRow("http 500") << int(FakeOrderService::Fault::Http500) << false;
    QTest::newRow("not json") << int(FakeOrderService::Fault::InvalidJson) << false;
    QTest::newRow("json array") << int(FakeOrderService::Fault::TopLevelArray) << false;
    QTest::newRow("connection closed") << int(FakeOrderService::Fault::CloseConnection) << false;
    QTest::newRow("time-out") << int(FakeOrderService::Fault::NoAnswer) << false;
}

void TestLoginNew::networkFailure()
{
    QFETCH(int, fault);
    QFETCH(bool, refused);

    if (refused) {
        // A port that was free a moment ago: nothing listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        g_indexUrl = QStringLiteral("http://127.0.0.1:%1/index.php?").arg(probe.serverPort());
        probe.close();
    } else {
        m_fake.clearHandlers();
        m_fake.setFault(kLogin, FakeOrderService::Fault(fault));
    }

    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("secret"), true);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 8000);
    QCOMPARE(boxes.boxes.first().title, QStringLiteral("温馨提示"));
    QCOMPARE(boxes.boxes.first().text, QStringLiteral("网络连接失败，请稍后重试"));
    QCOMPARE(boxes.boxes.first().icon, QMessageBox::Warning);
    QVERIFY(g_userId.isEmpty());
    QVERIFY(!QFile::exists(g_dataDir + QStringLiteral("loginData")));
    QCOMPARE(finished.count(), 0);

    // The button is given back.
    g_indexUrl = m_defaultIndexUrl;
    m_fake.clearFaults();
    m_fake.clearRequests();
    QTest::mouseClick(LoginForm(window).button, Qt::LeftButton);
    QVERIFY(finished.wait(5000));
    QCOMPARE(g_userId, QStringLiteral("501"));
}

void TestLoginNew::secondClickWhileBusy()
{
    m_fake.clearHandlers();
    m_fake.setFault(kLogin, FakeOrderService::Fault::Delay, QString(), 800);

    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    QSignalSpy received(&m_fake, &FakeOrderService::requestReceived);
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("secret"), false);
    QVERIFY(received.wait(3000));
    LoginForm form(window);
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTest::mouseClick(form.button, Qt::LeftButton);

    QVERIFY(finished.wait(5000));
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
    QVERIFY(boxes.boxes.isEmpty());
}

void TestLoginNew::emptyFields_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("shown");

    QTest::newRow("both empty") << "" << "" << "请输入账号";
    QTest::newRow("empty account") << "" << "secret" << "请输入账号";
    QTest::newRow("blank account") << "   " << "secret" << "请输入账号";
    QTest::newRow("empty password") << "tester" << "" << "请输入密码";
    QTest::newRow("blank password") << "tester" << "   " << "请输入密码";
}

void TestLoginNew::emptyFields()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, shown);

    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, account, password, true);
    QCOMPARE(boxes.texts(), QStringList{shown});
    QCOMPARE(boxes.boxes.first().title, QStringLiteral("温馨提示"));
    // Nothing written, not even with the remember box ticked.
    QVERIFY(!QFile::exists(credentialsPath()));

    // Not busy: a filled form logs in, and it is the only request sent.
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("secret"), false);
    QVERIFY(finished.wait(5000));
    const auto requests = m_fake.requestsFor(kLogin);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().field(QStringLiteral("password")), QStringLiteral("secret"));
}

void TestLoginNew::enterLogsIn_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("return in account") << "account" << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("return in password") << "password" << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad enter in password") << "password" << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("keypad enter on remember box") << "remember" << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("return on login button") << "button" << int(Qt::Key_Return) << int(Qt::NoModifier);
}

void TestLoginNew::enterLogsIn()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    m_fake.setFault(kLogin, FakeOrderService::Fault::Delay, QString(), 600);

    LoginNew *window = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->activateWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    LoginForm form(window);
    QVERIFY(form.complete());
    typeText(form.account, QStringLiteral("tester"));
    typeText(form.password, QStringLiteral("secret"));
    QWidget *target = focus == QStringLiteral("account")    ? static_cast<QWidget *>(form.account)
                      : focus == QStringLiteral("password") ? static_cast<QWidget *>(form.password)
                      : focus == QStringLiteral("remember") ? static_cast<QWidget *>(form.remember)
                                                            : static_cast<QWidget *>(form.button);
    target->setFocus();
    const bool rememberBefore = form.remember->isChecked();

    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // A second Enter while the request is on its way sends nothing more.
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(finished.wait(5000));
    const auto requests = m_fake.requestsFor(kLogin);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().field(QStringLiteral("username")), QStringLiteral("tester"));
    QCOMPARE(requests.first().field(QStringLiteral("password")), QStringLiteral("secret"));
    QCOMPARE(form.button->text(), QStringLiteral("✓ 登录成功"));
    // Enter is not Space: the box keeps its state.
    QCOMPARE(form.remember->isChecked(), rememberBefore);
    QVERIFY(boxes.boxes.isEmpty());
}

void TestLoginNew::enterOnEmptyFieldWarns()
{
    LoginNew *window = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    LoginForm form(window);
    typeText(form.account, QStringLiteral("tester"));
    QTest::keyClick(form.account, Qt::Key_Return);
    // The same warning as a click on 登录, and no request.
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请输入密码")});
    QVERIFY(m_fake.requestsFor(kLogin).isEmpty());

    // Not busy afterwards: the next Enter with both fields filled logs in.
    QSignalSpy finished(window, &LoginNew::loginFinished);
    typeText(form.password, QStringLiteral("secret"));
    QTest::keyClick(form.password, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(finished.wait(5000));
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
}

void TestLoginNew::rememberedFileWrittenBeforeRequest()
{
    // With the box ticked the file holds the account before the service
    // answers, so it stays even when the login is refused.
    // A file left readable by others (an older version) is replaced by one
    // only its owner can read.
    QVERIFY(writeCredentials("username=old\nremember=0\n"));
    QVERIFY(QFile::setPermissions(credentialsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                         | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    m_fake.clearHandlers();
    LoginNew *window = newWindow();
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("wrong"), true);
    QCOMPARE(readCredentials(), QByteArray("username=tester\npassword=d3Jvbmc=\nremember=1\n"));
    const QFileDevice::Permissions permissions = QFile::permissions(credentialsPath());
    QVERIFY(permissions & QFileDevice::ReadOwner);
    QVERIFY(!(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
    // Written through a temporary file that is renamed, none left behind.
    QCOMPARE(QDir(QFileInfo(credentialsPath()).absolutePath()).entryList(QDir::Files),
             QStringList{QStringLiteral("login_config.txt")});
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{QStringLiteral("账号或密码错误")}, 5000);
    QCOMPARE(readCredentials(), QByteArray("username=tester\npassword=d3Jvbmc=\nremember=1\n"));
}

void TestLoginNew::credentialsWriteFailureKeepsLogin()
{
    // A folder where the file should be: the save fails, the folder is left
    // alone and the login goes on.
    QVERIFY(QDir().mkpath(credentialsPath() + QStringLiteral("/keep")));
    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("secret"), true);
    QVERIFY(finished.wait(5000));
    QCOMPARE(g_userId, QStringLiteral("501"));
    QVERIFY(QFileInfo(credentialsPath() + QStringLiteral("/keep")).isDir());
    QVERIFY(boxes.boxes.isEmpty());
}

void TestLoginNew::passwordNeverLogged()
{
    QLoggingCategory::setFilterRules(QStringLiteral("velquora.*.debug=true"));
    s_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessages);

    LoginNew *window = newWindow();
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, kAccount, kPassword, true);
    const bool done = finished.wait(5000);
    // A refused login and a network failure log too.
    m_fake.setHandler(kLogin, [](const FakeOrderService::Request &) {
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QStringLiteral("message"), QStringLiteral("拒绝")}};
    });
    LoginNew *second = newWindow();
    fillAndClick(second, kAccount, kPassword, true);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 5000);

    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(done);
    QVERIFY(!s_messages.isEmpty());
    const QString encoded = QString::fromLatin1(kPassword.toUtf8().toBase64());
    const QString formEncoded = QString::fromUtf8(FormField::encodeValue(kPassword));
    for (const QString &message : qAsConst(s_messages)) {
        QVERIFY2(!message.contains(kPassword), qPrintable(message));
        QVERIFY2(!message.contains(encoded), qPrintable(message));
        QVERIFY2(!message.contains(formEncoded), qPrintable(message));
    }
}

void TestLoginNew::windowDestroyedBeforeChooserStep()
{
    // The deferred chooser step belongs to the window: a window gone within
    // the second never runs it.
    auto *window = new LoginNew;
    QSignalSpy finished(window, &LoginNew::loginFinished);
    fillAndClick(window, QStringLiteral("tester"), QStringLiteral("secret"), false);
    LoginForm form(window);
    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("✓ 登录成功"), 5000);
    delete window;
    QVERIFY(!finished.wait(1300));
}

void TestLoginNew::renderWindow()
{
    QVERIFY(writeCredentials("username=tester\npassword=c2VjcmV0\nremember=1\n"));
    LoginNew *window = newWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_COMPARE_WITH_TIMEOUT(window->windowOpacity(), 1.0, 2000);

    K *k = K::instance();
    // The form's own minimum height wins over the card's nominal height.
    QCOMPARE(window->width(), k->scale(551));
    QVERIFY(window->height() >= k->scale(381));
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QString out = QCoreApplication::applicationDirPath() + QStringLiteral("/login-window.png");
    QVERIFY(image.save(out));
    QCOMPARE(image.size(), window->size());

    // Outside the card and its shadow: fully transparent.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);

    // Inside the card, in the margin left of the form: the vertical gradient
    // from #2d374b at the top to #232d41 at the bottom.
    const int x = k->scale(6) + k->scale(20);
    const QColor top = image.pixelColor(x, k->scale(6) + k->scale(14));
    const QColor bottom = image.pixelColor(x, image.height() - k->scale(6) - k->scale(14));
    auto near = [](const QColor &c, int r, int g, int b) {
        return qAbs(c.red() - r) <= 4 && qAbs(c.green() - g) <= 4 && qAbs(c.blue() - b) <= 4 && c.alpha() == 255;
    };
    QVERIFY2(near(top, 0x2d, 0x37, 0x4b), qPrintable(top.name(QColor::HexArgb)));
    QVERIFY2(near(bottom, 0x23, 0x2d, 0x41), qPrintable(bottom.name(QColor::HexArgb)));

    // The ticked remember box: its square is filled with #2980ff.
    LoginForm form(window);
    QVERIFY(form.remember->isChecked());
    const QPoint boxPoint = form.remember->mapTo(window, QPoint(k->scale(2), k->scale(3) + k->scale(2)));
    const QColor tick = image.pixelColor(boxPoint);
    QVERIFY2(near(tick, 0x29, 0x80, 0xff), qPrintable(tick.name(QColor::HexArgb)));

    // The login button's gradient starts at #2980ff.
    const QPoint buttonPoint = form.button->mapTo(window, QPoint(form.button->width() / 2, 2));
    const QColor button = image.pixelColor(buttonPoint);
    QVERIFY2(qAbs(button.blue() - 0xff) <= 8 && button.red() < 0x40, qPrintable(button.name(QColor::HexArgb)));

    // The empty form as a first start shows it, for a reviewer to look at.
    removeCredentials();
    LoginNew *empty = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(empty));
    QVERIFY(empty->grab().save(QCoreApplication::applicationDirPath() + QStringLiteral("/login-window-empty.png")));

    auto *version = window->findChild<QLabel *>(QStringLiteral("versionLabel"));
    QVERIFY(version);
    QCOMPARE(version->text(), QStringLiteral("版本号:") + g_version);
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(window->testAttribute(Qt::WA_TranslucentBackground));
}

void TestLoginNew::closeQuitsApplication()
{
    LoginNew *window = newWindow();
    auto *close = window->findChild<QPushButton *>(QStringLiteral("closeButton"));
    QVERIFY(close);
    QCOMPARE(close->text(), QStringLiteral("×"));
    QEventLoop loop;
    QTimer::singleShot(0, close, [close]() { close->click(); });
    QTimer::singleShot(3000, &loop, [&loop]() { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
}

void TestLoginNew::centredWithItsRealSize_data()
{
    QTest::addColumn<float>("uiScale");
    QTest::newRow("card fits the screen") << 0.8f;
    QTest::newRow("card taller than the screen") << 1.0f;
}

// The card is centred with the size it is shown with (its form needs more
// than the nominal height); a screen lower than the card keeps its top on
// the screen, with the close button.
void TestLoginNew::centredWithItsRealSize()
{
    QFETCH(float, uiScale);
    const float saved = g_uiScale;
    g_uiScale = uiScale;
    auto *window = new LoginNew;
    m_windows.append(window);
    const QRect before = window->geometry();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    g_uiScale = saved;

    QCOMPARE(window->size(), before.size());
    QVERIFY(window->height() > K::scaleWith(uiScale, 381));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QCOMPARE(window->x(), qMax(0, (screen.width() - window->width()) / 2));
    QCOMPARE(window->y(), qMax(0, (screen.height() - window->height()) / 2));
    if (window->height() <= screen.height())
        QVERIFY(qAbs(window->geometry().center().y() - screen.height() / 2) <= 1);
}

// An empty field shows its placeholder dimmer than typed text, also while it
// has the focus (the focused look restyles the field).
void TestLoginNew::placeholdersLookEmpty()
{
    LoginNew *window = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    LoginForm form(window);
    QVERIFY(form.complete());
    // The brightest pixel of the field's text area.
    auto brightest = [](QLineEdit *field) {
        const QImage image = field->grab().toImage();
        int most = 0;
        for (int y = field->height() / 4; y < field->height() * 3 / 4; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb rgb = image.pixel(x, y);
                most = qMax(most, qMin(qRed(rgb), qMin(qGreen(rgb), qBlue(rgb))));
            }
        }
        return most;
    };
    QVERIFY2(brightest(form.account) < 215, qPrintable(QString::number(brightest(form.account))));
    form.account->setFocus();
    QTRY_VERIFY(form.account->hasFocus());
    QVERIFY2(brightest(form.account) < 215, qPrintable(QString::number(brightest(form.account))));
    form.account->setText(QStringLiteral("demo"));
    QVERIFY2(brightest(form.account) > 240, qPrintable(QString::number(brightest(form.account))));
    QVERIFY(brightest(form.password) < 215);
}

void TestLoginNew::minimiseAndDrag()
{
    LoginNew *window = newWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    const QPoint start = window->pos();
    const QPoint local(5, 5);
    const QPoint global = window->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
    QMouseEvent move(QEvent::MouseMove, local + QPoint(30, 20), global + QPoint(30, 20), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    QCOMPARE(window->pos(), start + QPoint(30, 20));
    // Without the button held a move does nothing.
    QMouseEvent hover(QEvent::MouseMove, local + QPoint(60, 60), global + QPoint(60, 60), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &hover);
    QCOMPARE(window->pos(), start + QPoint(30, 20));

    auto *minimise = window->findChild<QPushButton *>(QStringLiteral("minimizeButton"));
    QVERIFY(minimise);
    QCOMPARE(minimise->text(), QStringLiteral("−"));
    minimise->click();
    QTRY_VERIFY_WITH_TIMEOUT(window->windowState() & Qt::WindowMinimized, 2000);
}

QTEST_MAIN(TestLoginNew)
#include "tst_loginnew.moc"
