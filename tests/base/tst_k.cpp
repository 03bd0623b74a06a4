#include <QDataStream>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "base/orderinfo.h"

class TestK : public QObject
{
    Q_OBJECT

private slots:
    void scaleWith_data();
    void scaleWith();
    void scaleFactorFor_data();
    void scaleFactorFor();
    void scaleTextUsesGlobalFactor();

    void fixSharePath_data();
    void fixSharePath();
    void shareHost_data();
    void shareHost();
    void sanitizeName_data();
    void sanitizeName();

    void buildImportPath_data();
    void buildImportPath();
    void buildImportPathFromOrder();

    void loginDataBytes();
    void loginDataRoundTrip();
    void loginDataUnreadable();
    void parseJson();
    void accountValuesOfSecondLogin();
};

void TestK::scaleWith_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("expected");
    QTest::newRow("1.0 enlarges by 1.2") << 1.0f << 10 << 12;
    QTest::newRow("1.0 of 14") << 1.0f << 14 << 16;
    QTest::newRow("1.0 of 25") << 1.0f << 25 << 30;
    QTest::newRow("1.0 of 381") << 1.0f << 381 << 457;
    QTest::newRow("1.0 of 551") << 1.0f << 551 << 661;
    QTest::newRow("1.0 of 100") << 1.0f << 100 << 120;
    QTest::newRow("negative truncates toward zero") << 1.0f << -3 << -3;
    QTest::newRow("1.25 enlarges by itself only") << 1.25f << 100 << 125;
    QTest::newRow("1.25 of 14") << 1.25f << 14 << 17;
    QTest::newRow("1.5 of 14") << 1.5f << 14 << 21;
    QTest::newRow("1.5 of 381") << 1.5f << 381 << 571;
    QTest::newRow("single precision at 1.05") << 1.05f << 100 << 104;
}

void TestK::scaleWith()
{
    QFETCH(float, factor);
    QFETCH(int, px);
    QFETCH(int, expected);
    QCOMPARE(K::scaleWith(factor, px), expected);
}

void TestK::scaleFactorFor_data()
{
    QTest::addColumn<double>("logical");
    QTest::addColumn<double>("physical");
    QTest::addColumn<int>("scaledTen");
    QTest::newRow("96/92 stays 1.0") << 96.0 << 92.0 << 12;
    QTest::newRow("dense screen 96/157") << 96.0 << 157.0 << 16;
    QTest::newRow("150 % system scaling") << 144.0 << 92.0 << 15;
    QTest::newRow("zero-size screen falls back to logical DPI") << 144.0 << std::numeric_limits<double>::infinity()
                                                                << 15;
    QTest::newRow("nothing measured") << 0.0 << 0.0 << 12;
    QTest::newRow("low DPI never below 1.0") << 72.0 << 60.0 << 12;
}

void TestK::scaleFactorFor()
{
    QFETCH(double, logical);
    QFETCH(double, physical);
    QFETCH(int, scaledTen);
    const float factor = K::scaleFactorFor(logical, physical);
    QVERIFY(std::isfinite(factor));
    QVERIFY(factor >= 1.0f);
    QCOMPARE(K::scaleWith(factor, 10), scaledTen);
}

void TestK::scaleTextUsesGlobalFactor()
{
    const float saved = g_uiScale;
    g_uiScale = 1.0f;
    QCOMPARE(K::instance()->scaleText(14), QStringLiteral("16"));
    g_uiScale = 1.5f;
    QCOMPARE(K::instance()->scale(14), 21);
    QCOMPARE(K::instance()->scaleText(14), QStringLiteral("21"));
    g_uiScale = saved;
}

void TestK::fixSharePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mac volume") << "/Volumes/photos/2024/A" << "\\\\NAS01\\photos\\2024\\A";
    QTest::newRow("lower-case volume") << "/volumes/a/b" << "\\\\NAS01\\a\\b";
    QTest::newRow("later volume gets the prefix too") << "/Volumes/a/Volumes/b" << "\\\\NAS01\\a\\\\NAS01\\b";
    QTest::newRow("windows path unchanged") << "D:\\x" << "D:\\x";
    QTest::newRow("unix path unchanged") << "/home/x" << "/home/x";
}

void TestK::fixSharePath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(K::instance()->fixSharePath(QStringLiteral("NAS01"), path), expected);
}

void TestK::shareHost_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unc") << "\\\\NAS01\\photos\\x" << "" << "NAS01";
    QTest::newRow("forward slashes") << "//NAS01/photos" << "" << "NAS01";
    QTest::newRow("drive path gives third part") << "D:\\photos\\x" << "" << "x";
    QTest::newRow("short path") << "D:\\x" << "" << "";
    QTest::newRow("fallback when empty") << "" << "\\\\NAS02\\p" << "NAS02";
}

void TestK::shareHost()
{
    QFETCH(QString, path);
    QFETCH(QString, fallback);
    QFETCH(QString, expected);
    QCOMPARE(K::instance()->shareHost(path, fallback), expected);
}

void TestK::sanitizeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("separators and colon") << "A/B:D" << "ABD";
    QTest::newRow("all ten") << "a\\b/c:d*e?f\"g<h>i|j k" << "abcdefghijk";
    QTest::newRow("spaces only") << "   " << "";
    QTest::newRow("chinese and dots stay") << "张 三.二" << "张三.二";
    // Service values that would put a line break, a tab or a reversed
    // display order into a folder name, or hide it.
    QTest::newRow("newline and tab") << "张\n三\t四\r" << "张三四";
    QTest::newRow("other control characters") << QString::fromUtf8("a\x01" "b\x1f\x7f\xc2\x85" "c") << "abc";
    QTest::newRow("right-to-left override") << "Zhang\u202Egpj.exe" << "Zhanggpj.exe";
    QTest::newRow("isolates and zero width") << "\u2066A\u2069\u200BB\uFEFF" << "AB";
    QTest::newRow("line separator") << "A\u2028B\u2029" << "AB";
    QTest::newRow("leading dots") << "..hidden" << "hidden";
    QTest::newRow("leading dot after a removed space") << " .x" << "x";
    QTest::newRow("emoji kept") << "A\U0001F600" << "A\U0001F600";
}

void TestK::sanitizeName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(K::instance()->sanitizeName(name), expected);
}

void TestK::buildImportPath_data()
{
    QTest::addColumn<QStringList>("keysAndValues");
    QTest::addColumn<QString>("expected");
    const QStringList base{"importPublicPath", "/photos", "shotdate_year", "2024", "shotdate_month", "05",
                           "shotdate_day", "09", "orderNumber", "A1001", "photoNum", "3"};
    QTest::newRow("names cleaned and prefixed")
        << (base + QStringList{"mname", "Zhang San", "wname", ""}) << "/photos/2024\\05\\09\\A1001-3_ZhangSan";
    QTest::newRow("both names") << (base + QStringList{"mname", "张三", "wname", "李四"})
                                << "/photos/2024\\05\\09\\A1001-3_张三_李四";
    QTest::newRow("spaces-only name gets no underscore") << (base + QStringList{"mname", "   "})
                                                         << "/photos/2024\\05\\09\\A1001-3";
    QTest::newRow("import path wins unchanged")
        << (base + QStringList{"importPath", "\\\\NAS01\\orders\\A1001"}) << "\\\\NAS01\\orders\\A1001";
    QTest::newRow("placeholder text in a name stays")
        << QStringList{"importPublicPath", "/photos", "shotdate_year", "2024", "shotdate_month", "05",
                       "shotdate_day", "09", "orderNumber", "A%2", "photoNum", "%1", "mname", "%3"}
        << "/photos/2024\\05\\09\\A%2-%1_%3";
    QTest::newRow("root is cleaned") << QStringList{"importPublicPath", "/photos//x/", "shotdate_year", "2024",
                                                    "shotdate_month", "01", "shotdate_day", "01",
                                                    "orderNumber", "B", "photoNum", "1"}
                                     << "/photos/x/2024\\01\\01\\B-1";
    // Values from the service that would climb out of the root are refused.
    QTest::newRow("dot-dot year") << QStringList{"importPublicPath", "/photos", "shotdate_year", "..",
                                                 "shotdate_month", "01", "shotdate_day", "01",
                                                 "orderNumber", "B", "photoNum", "1"}
                                  << "";
    QTest::newRow("separator in order number")
        << QStringList{"importPublicPath", "/photos", "shotdate_year", "2024", "shotdate_month", "01",
                       "shotdate_day", "01", "orderNumber", "..\\..\\etc", "photoNum", "1"}
        << "";
    QTest::newRow("separator in service count")
        << QStringList{"importPublicPath", "/photos", "shotdate_year", "2024", "shotdate_month", "01",
                       "shotdate_day", "01", "orderNumber", "B", "photoNum", "1/../../x"}
        << "";
    QTest::newRow("dot-dot in import path") << QStringList{"importPath", "/orders/../../etc"} << "";
    QTest::newRow("invisible characters and leading dots cleaned from every value")
        << QStringList{"importPublicPath", "/photos", "shotdate_year", ".2024\n", "shotdate_month", "0\t5",
                       "shotdate_day", "\u202E09", "orderNumber", "..A1001\r\n", "photoNum", "3\x1b",
                       "mname", ".Zhang\nSan", "wname", "\u202Eli"}
        << "/photos/2024\\05\\09\\A1001-3_ZhangSan_li";
    QTest::newRow("date part only dots") << QStringList{"importPublicPath", "/photos", "shotdate_year", "2024",
                                                        "shotdate_month", ".", "shotdate_day", "01",
                                                        "orderNumber", "B", "photoNum", "1"}
                                         << "";
    QTest::newRow("date part only a newline")
        << QStringList{"importPublicPath", "/photos", "shotdate_year", "2024", "shotdate_month", "01",
                       "shotdate_day", "\n", "orderNumber", "B", "photoNum", "1"}
        << "";
    QTest::newRow("newline in import path") << QStringList{"importPath", "/orders/A1\n/x"} << "";
    QTest::newRow("override in root") << QStringList{"importPublicPath", "/pho\u202Etos", "shotdate_year", "2024",
                                                     "shotdate_month", "01", "shotdate_day", "01",
                                                     "orderNumber", "B", "photoNum", "1"}
                                      << "";
    QTest::newRow("relative root") << QStringList{"importPublicPath", "photos", "shotdate_year", "2024",
                                                  "shotdate_month", "01", "shotdate_day", "01",
                                                  "orderNumber", "B", "photoNum", "1"}
                                   << "";
    QTest::newRow("no root") << QStringList{"shotdate_year", "2024", "shotdate_month", "01", "shotdate_day",
                                            "01", "orderNumber", "B", "photoNum", "1"}
                             << "";
}

void TestK::buildImportPath()
{
    QFETCH(QStringList, keysAndValues);
    QFETCH(QString, expected);
    QMap<QString, QString> params;
    for (int i = 0; i + 1 < keysAndValues.size(); i += 2)
        params.insert(keysAndValues.at(i), keysAndValues.at(i + 1));
    QCOMPARE(K::instance()->buildImportPath(params), expected);
}

void TestK::buildImportPathFromOrder()
{
    OrderInfo order;
    order.publicImportPath = QStringLiteral("/studio/public");
    order.shotdate_year = QStringLiteral("2025");
    order.shotdate_month = QStringLiteral("12");
    order.shotdate_day = QStringLiteral("01");
    order.orderpayforkey = QStringLiteral("DD2025");
    order.servicetimes = QStringLiteral("2");
    order.mname = QStringLiteral("王 五");
    order.wname = QStringLiteral("赵六");
    QCOMPARE(K::instance()->buildImportPath(order), QStringLiteral("/studio/public/2025\\12\\01\\DD2025-2_王五_赵六"));
    order.importPath = QStringLiteral("/own/folder");
    QCOMPARE(K::instance()->buildImportPath(order), QStringLiteral("/own/folder"));
}

void TestK::loginDataBytes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString saved = g_dataDir;
    g_dataDir = dir.path() + QStringLiteral("/sub/");
    K::instance()->saveLoginData(QJsonObject());
    QFile file(g_dataDir + QStringLiteral("loginData"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // A QDataStream string: byte count, then UTF-16 big-endian of "{\n}\n".
    QCOMPARE(file.readAll(), QByteArray::fromHex("00000008007B000A007D000A"));
    QCOMPARE(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    g_dataDir = saved;
}

void TestK::loginDataRoundTrip()
{
    QTemporaryDir dir;
    const QString saved = g_dataDir;
    g_dataDir = dir.path() + QStringLiteral("/");
    QJsonObject object{{"UID", "u1"}, {"EID", "e1"}, {"shop_data", QJsonArray{QJsonObject{{"id", "7"}, {"name", "旗舰店"}}}}};
    K::instance()->saveLoginData(object);
    QCOMPARE(K::instance()->loadLoginData(), object);
    // Saving again replaces the file as a whole.
    object.insert(QStringLiteral("UID"), QStringLiteral("u2"));
    K::instance()->saveLoginData(object);
    QCOMPARE(K::instance()->loadLoginData().value(QStringLiteral("UID")).toString(), QStringLiteral("u2"));
    g_dataDir = saved;
}

void TestK::loginDataUnreadable()
{
    QTemporaryDir dir;
    const QString saved = g_dataDir;
    g_dataDir = dir.path() + QStringLiteral("/");
    QVERIFY(K::instance()->loadLoginData().isEmpty()); // missing
    {
        QFile empty(g_dataDir + QStringLiteral("loginData"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    QVERIFY(K::instance()->loadLoginData().isEmpty()); // zero length
    {
        QFile corrupt(g_dataDir + QStringLiteral("loginData"));
        QVERIFY(corrupt.open(QIODevice::WriteOnly));
        corrupt.write("\x00\x00\x00\x04\x00{", 6);
    }
    QVERIFY(K::instance()->loadLoginData().isEmpty()); // truncated
    g_dataDir = saved;
}

void TestK::parseJson()
{
    QCOMPARE(K::instance()->parseJsonArray(QStringLiteral("[1,2]")).size(), 2);
    QVERIFY(K::instance()->parseJsonArray(QStringLiteral("{\"a\":1}")).isEmpty());
    QVERIFY(K::instance()->parseJsonArray(QStringLiteral("[1,")).isEmpty());
    QVERIFY(K::instance()->parseJsonArray(QString()).isEmpty());
    QCOMPARE(K::instance()->parseJsonObject(QStringLiteral("{\"a\":1}")).value(QStringLiteral("a")).toInt(), 1);
    QVERIFY(K::instance()->parseJsonObject(QStringLiteral("[1]")).isEmpty());
}

// A second login in one process replaces every account value, also when the
// new account has no branch: its shop list is empty (the current shop id keeps
// its value; every window offers only the shops of the list).
void TestK::accountValuesOfSecondLogin()
{
    const QJsonObject first{
        {QStringLiteral("UID"), QStringLiteral("1")},
        {QStringLiteral("EID"), QStringLiteral("2")},
        {QStringLiteral("SUPERID"), QStringLiteral("3")},
        {QStringLiteral("shop_data"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("11")}, {QStringLiteral("name"), QStringLiteral("一号店")}}}},
    };
    setAccountValues(first);
    QCOMPARE(g_currentShopId, QStringLiteral("11"));
    QCOMPARE(g_shopList.size(), 1);

    setAccountValues(QJsonObject{{QStringLiteral("UID"), QStringLiteral("9")}, {QStringLiteral("shop_data"), QJsonArray()}});
    QCOMPARE(g_userId, QStringLiteral("9"));
    QVERIFY(g_shopList.isEmpty());
    QCOMPARE(g_currentShopId, QStringLiteral("11"));
    QVERIFY(g_enterpriseId.isEmpty());
}

QTEST_GUILESS_MAIN(TestK)
#include "tst_k.moc"
