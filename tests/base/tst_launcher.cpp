#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"

namespace {

const QString kRecorder = QStringLiteral("vq_arg_recorder");
const QString kProbe = QStringLiteral("vq_secondroad_probe");

struct Box
{
    QString title;
    QString text;
    QString details;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList toStrings(const QJsonArray &array)
{
    QStringList out;
    for (const QJsonValue &value : array)
        out << value.toString();
    return out;
}

} // namespace

// The program launcher against real executables, and the second start road
// run in a real process with its own command line and home folder.
class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void launchesWithArguments_data();
    void launchesWithArguments();
    void missingProgram_data();
    void missingProgram();
    void notExecutable();
    void executableThatCannotRun();

    void secondRoad_data();
    void secondRoad();
    void secondRoadWithoutSavedData();

private:
    QJsonObject runProbe(const QStringList &arguments, const QJsonObject &saved, bool writeSaved = true);
    // A file in the program's folder, removed at cleanup.
    QString scratchFile(const QString &name, const QByteArray &content, QFileDevice::Permissions permissions);

    QList<Box> m_boxes;
    QTemporaryDir m_dir;
    QString m_defaultBaseUrl;
    QStringList m_scratch;
};

void TestLauncher::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_defaultBaseUrl = g_baseUrl;
    QVERIFY(QFile::exists(QCoreApplication::applicationDirPath() + QLatin1Char('/') + kRecorder));
    QVERIFY(QFile::exists(QCoreApplication::applicationDirPath() + QLatin1Char('/') + kProbe));
    ModalBox::setHook([this](QDialog *dialog) {
        Box box;
        box.title = dialog->windowTitle();
        if (auto *message = qobject_cast<QMessageBox *>(dialog)) {
            box.text = message->text();
            box.details = message->detailedText();
            box.icon = message->icon();
        }
        m_boxes.append(box);
        return int(QMessageBox::Ok);
    });
}

void TestLauncher::init()
{
    m_boxes.clear();
    g_baseUrl = QStringLiteral("https://studio.example:8443");
}

void TestLauncher::cleanup()
{
    for (const QString &path : qAsConst(m_scratch))
        QFile::remove(path);
    m_scratch.clear();
    g_baseUrl = m_defaultBaseUrl;
}

QString TestLauncher::scratchFile(const QString &name, const QByteArray &content, QFileDevice::Permissions permissions)
{
    const QString unique = name + QLatin1Char('-') + QString::number(QCoreApplication::applicationPid());
    const QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + unique;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    file.close();
    file.setPermissions(permissions);
    m_scratch << path;
    return unique;
}

void TestLauncher::launchesWithArguments_data()
{
    QTest::addColumn<QJsonObject>("login");
    QTest::addColumn<bool>("withParent");

    const QJsonObject login{{QStringLiteral("UID"), QStringLiteral("501")},
                            {QStringLiteral("message"), QStringLiteral("登录成功 a&b \"c\"")},
                            {QStringLiteral("shop_data"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("11")}}}}};
    QTest::newRow("login data and parent") << login << true;
    QTest::newRow("login data, no parent") << login << false;
    QTest::newRow("empty login data, parent") << QJsonObject() << true;
    QTest::newRow("nothing but the address") << QJsonObject() << false;
}

void TestLauncher::launchesWithArguments()
{
    QFETCH(QJsonObject, login);
    QFETCH(bool, withParent);

    const QString out = m_dir.filePath(QStringLiteral("args-%1.json").arg(QTest::currentDataTag()).replace(' ', '_'));
    qputenv("VQ_ARGS_OUT", QFile::encodeName(out));
    QWidget parent;
    if (withParent)
        parent.show();

    QSignalSpy ended(K::instance(), &K::externalProgramEnded);
    QVERIFY(K::launchExternalProgram(kRecorder, login, withParent ? &parent : nullptr));
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.first().first().toString(), kRecorder);

    const QJsonObject record = readJson(out);
    QStringList expected;
    if (!login.isEmpty())
        expected << QStringLiteral("--login-data") << QString::fromUtf8(QJsonDocument(login).toJson(QJsonDocument::Compact));
    expected << QStringLiteral("--url-host") << QStringLiteral("https://studio.example:8443");
    if (withParent)
        expected << QStringLiteral("--parent-window") << QString::number(parent.winId());
    QCOMPARE(toStrings(record.value(QStringLiteral("arguments")).toArray()), expected);
    QCOMPARE(QDir(record.value(QStringLiteral("workingFolder")).toString()).canonicalPath(),
             QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    QVERIFY(m_boxes.isEmpty());
}

void TestLauncher::missingProgram_data()
{
    QTest::addColumn<bool>("withParent");
    QTest::newRow("with parent: a box") << true;
    QTest::newRow("without parent: the log only") << false;
}

void TestLauncher::missingProgram()
{
    QFETCH(bool, withParent);
    QWidget parent;
    const QString name = QStringLiteral("no-such-program-%1").arg(QCoreApplication::applicationPid());
    QVERIFY(!K::launchExternalProgram(name, QJsonObject(), withParent ? &parent : nullptr));
    if (!withParent) {
        QVERIFY(m_boxes.isEmpty());
        return;
    }
    QCOMPARE(m_boxes.size(), 1);
    const QString full = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name);
    QCOMPARE(m_boxes.first().title, QStringLiteral("错误"));
    QCOMPARE(m_boxes.first().text,
             QStringLiteral("找不到程序：\n%1\n\n请确保 %2 存在于程序目录中。").arg(full, name));
    QCOMPARE(m_boxes.first().icon, QMessageBox::Warning);
}

void TestLauncher::notExecutable()
{
    const QString name = scratchFile(QStringLiteral("vq-plain-file"), "#!/bin/sh\nexit 0\n",
                                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!name.isEmpty());
    QWidget parent;
    QSignalSpy ended(K::instance(), &K::externalProgramEnded);
    QVERIFY(!K::launchExternalProgram(name, QJsonObject(), &parent));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.first().title, QStringLiteral("权限错误"));
    QCOMPARE(m_boxes.first().text, QStringLiteral("程序文件不可执行：\n%1\n\n请检查文件权限。")
                                       .arg(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name)));
    QCOMPARE(ended.count(), 0);

    QVERIFY(!K::launchExternalProgram(name, QJsonObject(), nullptr));
    QCOMPARE(m_boxes.size(), 1);
}

void TestLauncher::executableThatCannotRun()
{
    // Marked executable, but no program the system can start.
    const QString name = scratchFile(QStringLiteral("vq-broken-program"), QByteArray(64, '\x7f'),
                                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QWidget parent;
    QSignalSpy ended(K::instance(), &K::externalProgramEnded);
    QVERIFY(!K::launchExternalProgram(name, QJsonObject(), &parent));
    QVERIFY(ended.count() == 1 || ended.wait(5000));

    // One box that says what happened: it failed to start, not a time-out.
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.first().title, QStringLiteral("启动错误"));
    QCOMPARE(m_boxes.first().text, QStringLiteral("启动 %1 失败：程序启动失败").arg(name));
    QCOMPARE(m_boxes.first().icon, QMessageBox::Critical);
    QVERIFY(m_boxes.first().details.contains(QStringLiteral("程序路径：")));
    QVERIFY(m_boxes.first().details.contains(QStringLiteral("可能的原因")));
}

QJsonObject TestLauncher::runProbe(const QStringList &arguments, const QJsonObject &saved, bool writeSaved)
{
    QTemporaryDir home;
    if (!home.isValid())
        return QJsonObject();
    if (writeSaved) {
        // The saved login data as a login writes it, in the probe's home.
        const QString ownDataDir = g_dataDir;
        g_dataDir = home.path() + QStringLiteral("/velquora_tools/");
        K::instance()->saveLoginData(saved);
        g_dataDir = ownDataDir;
    }

    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(environment);
    probe.start(QCoreApplication::applicationDirPath() + QLatin1Char('/') + kProbe, arguments);
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0) {
        qWarning() << probe.readAllStandardError();
        return QJsonObject();
    }
    return QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
}

void TestLauncher::secondRoad_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("baseUrl");

    const QString unchanged = m_defaultBaseUrl;
    QTest::newRow("address after --url-host") << QStringList{"1", "--url-host", "https://a.example"} << "https://a.example";
    QTest::newRow("mode 2") << QStringList{"2", "--url-host", "https://a.example"} << "https://a.example";
    QTest::newRow("no arguments") << QStringList{"1"} << unchanged;
    QTest::newRow("--url-host last, nothing after") << QStringList{"1", "--url-host"} << unchanged;
    QTest::newRow("last one with a value wins")
        << QStringList{"1", "--url-host", "https://a.example", "x", "--url-host", "https://b.example"} << "https://b.example";
    QTest::newRow("a trailing --url-host keeps the earlier value")
        << QStringList{"1", "--url-host", "https://a.example", "--url-host"} << "https://a.example";
    QTest::newRow("option is case-sensitive") << QStringList{"1", "--URL-HOST", "https://a.example"} << unchanged;
    QTest::newRow("--login-data is not read")
        << QStringList{"1", "--login-data", "{\"UID\":\"9\"}", "--url-host", "https://a.example"} << "https://a.example";
}

void TestLauncher::secondRoad()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, baseUrl);

    const QJsonObject saved{
        {QStringLiteral("UID"), QStringLiteral("501")},
        {QStringLiteral("SUPERID"), QStringLiteral("9001")},
        {QStringLiteral("EID"), QStringLiteral("7001")},
        {QStringLiteral("shop_data"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("11")},
                                {QStringLiteral("name"), QStringLiteral("一号店")},
                                {QStringLiteral("goodsfoldernamerule"), QStringLiteral("[{\"key\":\"id\"}]")}},
                    QJsonObject{{QStringLiteral("id"), QStringLiteral("12")}, {QStringLiteral("name"), QStringLiteral("二号店")}}}},
    };
    const QJsonObject state = runProbe(arguments, saved);
    QVERIFY(!state.isEmpty());
    QCOMPARE(state.value(QStringLiteral("baseUrl")).toString(), baseUrl);
    // Requests keep the address they were built with.
    QVERIFY(state.value(QStringLiteral("indexUrlKept")).toBool());
    QCOMPARE(state.value(QStringLiteral("userId")).toString(), QStringLiteral("501"));
    QCOMPARE(state.value(QStringLiteral("superId")).toString(), QStringLiteral("9001"));
    QCOMPARE(state.value(QStringLiteral("enterpriseId")).toString(), QStringLiteral("7001"));
    QCOMPARE(state.value(QStringLiteral("currentShopId")).toString(), QStringLiteral("11"));
    const QJsonArray shops = state.value(QStringLiteral("shops")).toArray();
    QCOMPARE(shops.size(), 2);
    QCOMPARE(shops.at(1).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("二号店"));
    // This road restores the shops without their naming rules.
    QCOMPARE(shops.at(0).toObject().value(QStringLiteral("goodsfoldernamerule")).toString(), QString());
    if (arguments.first() == QLatin1String("2"))
        QCOMPARE(state.value(QStringLiteral("windows")).toInt(), 0);
}

void TestLauncher::secondRoadWithoutSavedData()
{
    // Saved data without shops: an empty list, the current shop kept.
    const QJsonObject noShops{{QStringLiteral("UID"), QStringLiteral("7")}};
    QJsonObject state = runProbe({QStringLiteral("2")}, noShops);
    QCOMPARE(state.value(QStringLiteral("userId")).toString(), QStringLiteral("7"));
    QVERIFY(state.value(QStringLiteral("shops")).toArray().isEmpty());
    QCOMPARE(state.value(QStringLiteral("currentShopId")).toString(), QStringLiteral("before"));
    QCOMPARE(state.value(QStringLiteral("windows")).toInt(), 0);

    // No saved file at all: empty account values, nothing opened.
    state = runProbe({QStringLiteral("2")}, QJsonObject(), false);
    QVERIFY(!state.isEmpty());
    QCOMPARE(state.value(QStringLiteral("userId")).toString(), QString());
    QCOMPARE(state.value(QStringLiteral("currentShopId")).toString(), QStringLiteral("before"));
    QCOMPARE(state.value(QStringLiteral("windows")).toInt(), 0);
}

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
