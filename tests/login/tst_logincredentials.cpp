#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>

#include "base/logincredentials.h"
#include "login/customcheckboxnew.h"
#include "login/loginnew.h"
#include "tests/login/loginfixture.h"

// The remembered-login file: how the window reads it at start and the exact
// text it writes.
class TestLoginCredentials : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void readingRules_data();
    void readingRules();
    void missingFileLeavesFormEmpty();
    void fileContent_data();
    void fileContent();
    void passwordRoundTrip_data();
    void passwordRoundTrip();
    void decodeSkipsForeignCharacters();
};

void TestLoginCredentials::initTestCase()
{
    useOwnConfigFolder();
    QVERIFY(credentialsPath().contains(QStringLiteral(".qttest")));
}

void TestLoginCredentials::init()
{
    removeCredentials();
}

void TestLoginCredentials::cleanupTestCase()
{
    removeConfigFolder();
}

void TestLoginCredentials::readingRules_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remembered");

    const QByteArray secret = QStringLiteral("pa&ss=+ 密码").toUtf8().toBase64();
    QTest::newRow("remembered") << ("username=alice\npassword=" + secret + "\nremember=1\n") << "alice"
                                << QStringLiteral("pa&ss=+ 密码") << true;
    QTest::newRow("remember=0 ignores the password line")
        << QByteArray("username=alice\npassword=cHc=\nremember=0\n") << "alice" << "" << false;
    QTest::newRow("no remember line ignores the password line")
        << QByteArray("username=alice\npassword=cHc=\n") << "alice" << "" << false;
    QTest::newRow("leading blanks match no key")
        << QByteArray(" username=alice\n password=cHc=\n remember=1\n") << "" << "" << false;
    QTest::newRow("keys are case-sensitive") << QByteArray("Username=alice\nREMEMBER=1\n") << "" << "" << false;
    QTest::newRow("enterprise_id line is accepted and unused")
        << QByteArray("enterprise_id=username=x\nusername=alice\nenterprise_id=77\nremember=0\n") << "alice" << ""
        << false;
    QTest::newRow("last occurrence wins")
        << QByteArray("username=a\nusername=b\npassword=MQ==\npassword=Mg==\nremember=1\nremember=0\nremember=1\n")
        << "b" << "2" << true;
    QTest::newRow("a later remember=0 wins")
        << QByteArray("username=a\npassword=MQ==\nremember=1\nremember=0\n") << "a" << "" << false;
    QTest::newRow("bad Base64 characters are skipped")
        << QByteArray("username=u\npassword=cG!Fz c3d*vcmQ=\nremember=1\n") << "u" << "password" << true;
    QTest::newRow("trailing blank stays in the value")
        << QByteArray("username=alice  \nremember=0\n") << "alice  " << "" << false;
    QTest::newRow("remember must be exactly 1")
        << QByteArray("username=a\npassword=cHc=\nremember=1 \n") << "a" << "" << false;
    QTest::newRow("empty password value") << QByteArray("username=a\npassword=\nremember=1\n") << "a" << "" << true;
    QTest::newRow("password ends at a zero byte")
        << ("username=a\npassword=" + QByteArray("ab\0cd", 5).toBase64() + "\nremember=1\n") << "a" << "ab" << true;
    QTest::newRow("CR LF line ends") << QByteArray("username=alice\r\npassword=cHc=\r\nremember=1\r\n") << "alice"
                                     << "pw" << true;
    QTest::newRow("no final line end") << QByteArray("username=alice\npassword=cHc=\nremember=1") << "alice" << "pw"
                                       << true;
    QTest::newRow("other lines ignored")
        << QByteArray("# note\nusername=alice\n\nfoo=bar\npassword=cHc=\nremember=1\n") << "alice" << "pw" << true;
}

void TestLoginCredentials::readingRules()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(bool, remembered);

    QVERIFY(writeCredentials(content));
    LoginNew window;
    LoginForm form(&window);
    QVERIFY(form.complete());
    QCOMPARE(form.account->text(), account);
    QCOMPARE(form.password->text(), password);
    QCOMPARE(form.remember->isChecked(), remembered);
}

void TestLoginCredentials::missingFileLeavesFormEmpty()
{
    LoginNew window;
    LoginForm form(&window);
    QVERIFY(form.complete());
    QVERIFY(form.account->text().isEmpty());
    QVERIFY(form.password->text().isEmpty());
    QVERIFY(!form.remember->isChecked());
    QCOMPARE(form.password->echoMode(), QLineEdit::Password);
    QVERIFY(!QFile::exists(credentialsPath()));
}

void TestLoginCredentials::fileContent_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("ticked") << " tester " << " p&=+ " << true
                            << ("username= tester \npassword=" + QByteArray(" p&=+ ").toBase64() + "\nremember=1\n");
    QTest::newRow("unticked drops the password") << "tester" << "secret" << false
                                                 << QByteArray("username=tester\nremember=0\n");
    QTest::newRow("empty password ticked") << "tester" << "" << true
                                           << QByteArray("username=tester\npassword=\nremember=1\n");
}

void TestLoginCredentials::fileContent()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(bool, remember);
    QFETCH(QByteArray, expected);

    QCOMPARE(LoginCredentials::fileContent(account, password, remember), expected);
}

void TestLoginCredentials::passwordRoundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("encoded");

    QTest::newRow("ascii") << "secret" << "c2VjcmV0";
    QTest::newRow("padding") << "pw" << "cHc=";
    QTest::newRow("form characters") << "a&b=c+d%e#f" << QString::fromLatin1(QByteArray("a&b=c+d%e#f").toBase64());
    QTest::newRow("chinese") << QStringLiteral("密码") << QString::fromLatin1(QStringLiteral("密码").toUtf8().toBase64());
    QTest::newRow("empty") << "" << "";
}

void TestLoginCredentials::passwordRoundTrip()
{
    QFETCH(QString, password);
    QFETCH(QString, encoded);

    QCOMPARE(LoginCredentials::encodePassword(password), encoded);
    QCOMPARE(LoginCredentials::decodePassword(encoded), password);
}

void TestLoginCredentials::decodeSkipsForeignCharacters()
{
    QCOMPARE(LoginCredentials::decodePassword(QStringLiteral("c2Vj\ncmV0")), QStringLiteral("secret"));
    QCOMPARE(LoginCredentials::decodePassword(QStringLiteral("c2V密jcmV0")), QStringLiteral("secret"));
    QCOMPARE(LoginCredentials::decodePassword(QStringLiteral("!!!")), QString());
}

QTEST_MAIN(TestLoginCredentials)
#include "tst_logincredentials.moc"
