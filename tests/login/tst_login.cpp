#include <cmath>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "login/login.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/login/loginfixture.h"
#include "tests/public/widgetrender.h"
#include "tests/support/widgetprobe.h"
#include "transferphotos/tfhome.h"

namespace {

const QString kLogin = QStringLiteral("&m=public&a=dologin");

// The older window's parts, found the way a user sees them.
struct OldForm
{
    explicit OldForm(Login *window)
    {
        const auto edits = window->findChildren<QLineEdit *>(QStringLiteral("inputField"));
        for (QLineEdit *edit : edits) {
            if (edit->placeholderText() == QStringLiteral("账号"))
                account = edit;
            else if (edit->placeholderText() == QStringLiteral("密码"))
                password = edit;
        }
        button = window->findChild<QPushButton *>(QStringLiteral("loginButton"));
        remember = window->findChild<CustomCheckBox *>(QStringLiteral("rememberPasswordBox"));
    }
    bool complete() const { return account && password && button && remember; }

    QLineEdit *account = nullptr;
    QLineEdit *password = nullptr;
    QPushButton *button = nullptr;
    CustomCheckBox *remember = nullptr;
};

QByteArray local(const QString &text)
{
    return QTextCodec::codecForLocale()->fromUnicode(text);
}

} // namespace

// The older login window: its remembered-login file, its login road and its
// look.
class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void passwordObfuscation_data();
    void passwordObfuscation();
    void readingRules_data();
    void readingRules();
    void fileNeverTouchesProgramFolder();
    void successOpensPhotoTransfer_data();
    void successOpensPhotoTransfer();
    void refusalRestoresButton();
    void networkFailureRestoresButton_data();
    void networkFailureRestoresButton();
    void incompleteFormTurnsRed();
    void enterLogsIn_data();
    void enterLogsIn();
    void uncheckingForgetsAccount();
    void windowGoneBeforeTimers();
    void renderWindow();
    void placeholdersLookEmpty();
    void centredWithItsRealSize();

private:
    Login *newWindow();
    QString filePath() const { return m_configDir.path() + QStringLiteral("/login_config.txt"); }
    bool writeFile(const QByteArray &content);
    QByteArray readFile() const;
    void closeTransferWindows();

    BoxRecorder m_boxes;
    FakeOrderService m_fake;
    QTemporaryDir m_configDir;
    QTemporaryDir m_dataDir;
    QList<QPointer<Login>> m_windows;
};

void TestLogin::initTestCase()
{
    useOwnConfigFolder();
    QVERIFY(m_configDir.isValid());
    QVERIFY(m_dataDir.isValid());
    Login::setConfigFolder(m_configDir.path());
    QCOMPARE(Login::configFilePath(), filePath());
    g_dataDir = m_dataDir.path() + QStringLiteral("/");
    QVERIFY(m_fake.start(FakeOrderService::Mode::Http));
    g_indexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(2000);
}

void TestLogin::init()
{
    m_boxes.boxes.clear();
    QFile::remove(filePath());
    m_fake.clearRequests();
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.loadModel(FakeModel::testData());
    g_userId.clear();
    g_superId.clear();
    g_enterpriseId.clear();
    g_currentShopId.clear();
    g_shopList.clear();
}

void TestLogin::cleanup()
{
    for (const QPointer<Login> &window : qAsConst(m_windows))
        delete window.data();
    m_windows.clear();
    closeTransferWindows();
}

void TestLogin::closeTransferWindows()
{
    for (tfhome *window : WidgetProbe::topLevels<tfhome>())
        delete window;
}

Login *TestLogin::newWindow()
{
    auto *window = new Login;
    m_windows.append(window);
    window->show();
    return window;
}

bool TestLogin::writeFile(const QByteArray &content)
{
    QFile file(filePath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray TestLogin::readFile() const
{
    QFile file(filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestLogin::passwordObfuscation_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("empty") << "";
    QTest::newRow("one byte") << "a";
    QTest::newRow("longer than the key") << "0123456789abcdefghijklmnopqrstuvwxyz";
    QTest::newRow("form characters and blanks") << " p&a+s=s%#1 ";
    QTest::newRow("chinese") << QStringLiteral("密码口令");
}

void TestLogin::passwordObfuscation()
{
    QFETCH(QString, password);
    const QString stored = Login::encryptPassword(password);
    const int bytes = password.toUtf8().size();
    QCOMPARE(stored.size(), 4 * int(std::ceil(bytes / 3.0)));
    QCOMPARE(Login::decryptPassword(stored), password);
    if (!password.isEmpty()) {
        // Not readable as plain Base64 of the password.
        QVERIFY(stored != QString::fromLatin1(password.toUtf8().toBase64()));
    }
}

void TestLogin::readingRules_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remembered");

    const QByteArray secret = Login::encryptPassword(QStringLiteral(" p&w 密 ")).toLatin1();
    QTest::newRow("as written") << local(QStringLiteral("username=张三\npassword=") + QString::fromLatin1(secret)
                                         + QStringLiteral("\nremember=1\n"))
                                << QStringLiteral("张三") << QStringLiteral(" p&w 密 ") << true;
    QTest::newRow("remember 0 still fills the password")
        << ("username=a\npassword=" + secret + "\nremember=0\n") << "a" << QStringLiteral(" p&w 密 ") << false;
    QTest::newRow("last occurrence wins")
        << ("username=a\nusername=b\npassword=" + Login::encryptPassword("1").toLatin1() + "\npassword="
            + Login::encryptPassword("2").toLatin1() + "\nremember=1\nremember=0\n")
        << "b" << "2" << false;
    QTest::newRow("empty password value") << QByteArray("username=a\npassword=\nremember=1\n") << "a" << "" << true;
    QTest::newRow("keys are case-sensitive") << QByteArray("USERNAME=a\nPassword=x\nRemember=1\n") << "" << ""
                                             << false;
    QTest::newRow("remember must be exactly 1") << QByteArray("username=a\nremember=1 \n") << "a" << "" << false;
    QTest::newRow("CR LF line ends") << ("username=a\r\npassword=" + secret + "\r\nremember=1\r\n") << "a"
                                     << QStringLiteral(" p&w 密 ") << true;
    // Characters outside the Base64 alphabet are skipped: the window still
    // opens and shows what the rest decodes to.
    QByteArray broken = secret;
    broken.insert(2, "!*");
    QTest::newRow("lenient Base64") << ("username=a\npassword=" + broken + "\nremember=1\n") << "a"
                                    << QStringLiteral(" p&w 密 ") << true;
    QTest::newRow("trailing blank stays") << QByteArray("username=a \n") << "a " << "" << false;
}

void TestLogin::readingRules()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(bool, remembered);

    QVERIFY(writeFile(content));
    OldForm form(newWindow());
    QVERIFY(form.complete());
    QCOMPARE(form.account->text(), account);
    QCOMPARE(form.password->text(), password);
    QCOMPARE(form.remember->isChecked(), remembered);
    // Reading changes nothing.
    QCOMPARE(readFile(), content);
}

void TestLogin::fileNeverTouchesProgramFolder()
{
    // The program's folder is where the real file would go; tests keep out.
    QVERIFY(Login::configFilePath().startsWith(m_configDir.path()));
    QVERIFY(!Login::configFilePath().startsWith(QCoreApplication::applicationDirPath()));
}

void TestLogin::successOpensPhotoTransfer_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remembered") << true;
    QTest::newRow("not remembered") << false;
}

void TestLogin::successOpensPhotoTransfer()
{
    QFETCH(bool, remember);
    Login *window = newWindow();
    OldForm form(window);
    form.account->setText(QStringLiteral("tester"));
    form.password->setText(QStringLiteral("secret"));
    form.remember->setChecked(remember);
    QTest::mouseClick(form.button, Qt::LeftButton);
    QCOMPARE(form.button->text(), QStringLiteral("登录中..."));
    QVERIFY(!form.button->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("✓ 登录成功"), 5000);
    QCOMPARE(g_userId, QStringLiteral("501"));
    QCOMPARE(g_superId, QStringLiteral("9001"));
    QCOMPARE(g_enterpriseId, QStringLiteral("7001"));
    QCOMPARE(g_shopList.size(), 2);
    QCOMPARE(g_shopList.at(1).name, QStringLiteral("二号店"));
    QVERIFY(!g_shopList.at(1).goodsfoldernamerule.isEmpty());
    QCOMPARE(g_currentShopId, QStringLiteral("11"));

    const auto request = m_fake.requestsFor(kLogin).value(0);
    QCOMPARE(request.field(QStringLiteral("username")), QStringLiteral("tester"));
    QCOMPARE(request.field(QStringLiteral("password")), QStringLiteral("secret"));

    // One second later the photo-transfer window opens with the login data
    // (less "code") and this window fades out and closes.
    QTRY_COMPARE_WITH_TIMEOUT(WidgetProbe::topLevels<tfhome>().size(), 1, 4000);
    tfhome *transfer = WidgetProbe::topLevels<tfhome>().first();
    QVERIFY(transfer->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(transfer->loginData.value(QStringLiteral("UID")).toString(), QStringLiteral("501"));
    QVERIFY(!transfer->loginData.contains(QStringLiteral("code")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 3000);

    // The older window writes no login data and opens no chooser.
    QVERIFY(!QFile::exists(g_dataDir + QStringLiteral("loginData")));
    if (remember) {
        QCOMPARE(readFile(), local(QStringLiteral("username=tester\npassword=") + Login::encryptPassword("secret")
                                   + QStringLiteral("\nremember=1\n")));
        const QFileDevice::Permissions permissions = QFile::permissions(filePath());
        QVERIFY(!(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
        // Written through a temporary file that is renamed, none left behind.
        QCOMPARE(QDir(m_configDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("login_config.txt")});
        // The next window reads back what this one wrote.
        OldForm next(newWindow());
        QCOMPARE(next.account->text(), QStringLiteral("tester"));
        QCOMPARE(next.password->text(), QStringLiteral("secret"));
        QVERIFY(next.remember->isChecked());
    } else {
        QVERIFY(!QFile::exists(filePath()));
    }
    QVERIFY(m_boxes.boxes.isEmpty());
}

void TestLogin::refusalRestoresButton()
{
    Login *window = newWindow();
    OldForm form(window);
    form.account->setText(QStringLiteral("tester"));
    form.password->setText(QStringLiteral("wrong"));
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes.texts(), QStringList{QStringLiteral("账号或密码错误")}, 5000);
    QCOMPARE(m_boxes.boxes.first().title, QStringLiteral("温馨提示"));
    QCOMPARE(form.button->text(), QStringLiteral("登录"));
    QVERIFY(form.button->isEnabled());
    QVERIFY(!form.button->styleSheet().contains(QStringLiteral("#95a5a6")));
    QVERIFY(g_userId.isEmpty());
    QVERIFY(WidgetProbe::topLevels<tfhome>().isEmpty());
}

void TestLogin::networkFailureRestoresButton_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("http 500") << int(FakeOrderService::Fault::Http500);
    QTest::newRow("not json") << int(FakeOrderService::Fault::InvalidJson);
    QTest::newRow("connection closed") << int(FakeOrderService::Fault::CloseConnection);
}

void TestLogin::networkFailureRestoresButton()
{
    QFETCH(int, fault);
    m_fake.setFault(kLogin, FakeOrderService::Fault(fault));
    Login *window = newWindow();
    OldForm form(window);
    form.account->setText(QStringLiteral("tester"));
    form.password->setText(QStringLiteral("secret"));
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes.texts(), QStringList{QStringLiteral("网络连接失败，请稍后重试")}, 5000);
    QCOMPARE(form.button->text(), QStringLiteral("登录"));
    QVERIFY(form.button->isEnabled());

    // The button works again.
    m_fake.clearFaults();
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("✓ 登录成功"), 5000);
    QCOMPARE(g_userId, QStringLiteral("501"));
}

void TestLogin::incompleteFormTurnsRed()
{
    Login *window = newWindow();
    OldForm form(window);
    form.account->setText(QStringLiteral("tester"));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form.button, Qt::LeftButton);
    QCOMPARE(form.button->text(), QStringLiteral("请填写完整信息"));
    QVERIFY(form.button->styleSheet().contains(QStringLiteral("#e74c3c")));
    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("登录"), 5000);
    QVERIFY2(clock.elapsed() >= 1900, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!form.button->styleSheet().contains(QStringLiteral("#e74c3c")));
    QVERIFY(form.button->styleSheet().contains(QStringLiteral("QPushButton:disabled")));
    QVERIFY(m_fake.requests().isEmpty());

    // Blanks count as text: they are sent as typed.
    form.account->setText(QStringLiteral(" tester "));
    form.password->setText(QStringLiteral(" "));
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kLogin).size(), 1, 5000);
    QCOMPARE(m_fake.requestsFor(kLogin).first().field(QStringLiteral("username")), QStringLiteral(" tester "));
    QCOMPARE(m_fake.requestsFor(kLogin).first().field(QStringLiteral("password")), QStringLiteral(" "));
}

void TestLogin::enterLogsIn_data()
{
    QTest::addColumn<bool>("inAccount");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("return in account") << true << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad enter in password") << false << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
}

void TestLogin::enterLogsIn()
{
    QFETCH(bool, inAccount);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    m_fake.setFault(kLogin, FakeOrderService::Fault::Delay, QString(), 600);
    Login *window = newWindow();
    OldForm form(window);
    QVERIFY(form.complete());
    QLineEdit *field = inAccount ? form.account : form.password;

    // An incomplete form answers Enter as it answers a click.
    form.account->setText(QStringLiteral("tester"));
    QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(form.button->text(), QStringLiteral("请填写完整信息"));
    QVERIFY(m_fake.requests().isEmpty());

    form.password->setText(QStringLiteral("secret"));
    QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(form.button->text(), QStringLiteral("登录中..."));
    // Busy: a second Enter sends nothing.
    QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("✓ 登录成功"), 5000);
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
    QCOMPARE(m_fake.requestsFor(kLogin).first().field(QStringLiteral("password")), QStringLiteral("secret"));
    QCOMPARE(g_userId, QStringLiteral("501"));
}

void TestLogin::uncheckingForgetsAccount()
{
    QVERIFY(writeFile("username=a\npassword=" + Login::encryptPassword("pw").toLatin1() + "\nremember=1\n"));
    Login *window = newWindow();
    OldForm form(window);
    QVERIFY(form.remember->isChecked());
    QVERIFY(QFile::exists(filePath()));
    form.remember->click();
    QVERIFY(!form.remember->isChecked());
    QVERIFY(!QFile::exists(filePath()));
}

void TestLogin::windowGoneBeforeTimers()
{
    // The red state's and the success's timers belong to the window: a
    // window deleted within their delay runs neither.
    Login *red = newWindow();
    QTest::mouseClick(OldForm(red).button, Qt::LeftButton);
    delete red;

    Login *window = newWindow();
    OldForm form(window);
    form.account->setText(QStringLiteral("tester"));
    form.password->setText(QStringLiteral("secret"));
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(form.button->text(), QStringLiteral("✓ 登录成功"), 5000);
    delete window;

    // A second window logged in after it opens its photo-transfer window;
    // the first one's never comes.
    Login *second = newWindow();
    OldForm again(second);
    again.account->setText(QStringLiteral("tester"));
    again.password->setText(QStringLiteral("secret"));
    QTest::mouseClick(again.button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(WidgetProbe::topLevels<tfhome>().size(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!second->isVisible(), 3000);
    QCOMPARE(WidgetProbe::topLevels<tfhome>().size(), 1);
}

// An empty field shows its placeholder in grey, typed text near black; the
// focused look restyles the field and keeps it so.
void TestLogin::placeholdersLookEmpty()
{
    Login *window = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    OldForm form(window);
    QVERIFY(form.complete());
    // The darkest pixel of the field's text area.
    const auto darkest = [](QLineEdit *field) {
        const QImage image = field->grab().toImage();
        int least = 255;
        for (int y = field->height() / 4; y < field->height() * 3 / 4; ++y) {
            for (int x = field->width() / 8; x < field->width() * 7 / 8; ++x) {
                const QRgb rgb = image.pixel(x, y);
                least = qMin(least, qMax(qRed(rgb), qMax(qGreen(rgb), qBlue(rgb))));
            }
        }
        return least;
    };
    QVERIFY2(darkest(form.account) > 100, qPrintable(QString::number(darkest(form.account))));
    QVERIFY2(darkest(form.password) > 100, qPrintable(QString::number(darkest(form.password))));
    form.account->setFocus();
    QTRY_VERIFY(form.account->hasFocus());
    QVERIFY2(darkest(form.account) > 100, qPrintable(QString::number(darkest(form.account))));
    form.account->setText(QStringLiteral("tester"));
    QVERIFY2(darkest(form.account) < 80, qPrintable(QString::number(darkest(form.account))));
}

// The card is centred with the size it is shown with: its form needs more
// than the nominal height.
void TestLogin::centredWithItsRealSize()
{
    auto *window = new Login;
    m_windows.append(window);
    const QRect before = window->geometry();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->geometry(), before);
    QVERIFY(window->height() > int(300 * g_uiScale));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QVERIFY(window->height() <= screen.height());
    QVERIFY(qAbs(window->geometry().center().y() - screen.height() / 2) <= 1);
    QVERIFY(qAbs(window->geometry().center().x() - screen.width() / 2) <= 1);
}

void TestLogin::renderWindow()
{
    QVERIFY(writeFile("username=tester\npassword=" + Login::encryptPassword("secret").toLatin1() + "\nremember=1\n"));
    Login *window = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The form's own minimum height wins over the card's nominal height.
    QCOMPARE(window->width(), int(250 * g_uiScale));
    QVERIFY(window->height() >= int(300 * g_uiScale));
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!window->testAttribute(Qt::WA_DeleteOnClose));
    const QImage image = renderWidget(window, QStringLiteral("login_older"));

    // The light card, transparent around it.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    const QRgb card = image.pixel(12, image.height() / 2);
    QVERIFY2(closeTo(card, QColor(250, 250, 252), 10), qPrintable(QColor(card).name()));
    // The login button: #007AFF.
    OldForm form(window);
    const QRgb button = image.pixel(form.button->mapTo(window, QPoint(8, form.button->height() / 2)));
    QVERIFY2(closeTo(button, QColor(0x00, 0x7a, 0xff), 16), qPrintable(QColor(button).name()));
    // The ticked box: a blue indicator with a white tick over it; unticked,
    // no blue at all.
    const auto indicatorColours = [](CustomCheckBox *box) {
        const QImage shot = box->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        bool blue = false;
        bool white = false;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < qMin(shot.width(), 24); ++x) {
                const QRgb p = shot.pixel(x, y);
                blue = blue || closeTo(p, QColor(0x00, 0x7a, 0xff), 20);
                white = white || (blue && closeTo(p, QColor(Qt::white), 10));
            }
        }
        return QPair<bool, bool>(blue, white);
    };
    QVERIFY(form.remember->isChecked());
    QCOMPARE(indicatorColours(form.remember), qMakePair(true, true));
    form.remember->setChecked(false);
    QCOMPARE(indicatorColours(form.remember).first, false);
    renderWidget(window, QStringLiteral("login_older_unticked"));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
