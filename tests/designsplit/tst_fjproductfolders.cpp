#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "designsplit/jobs/fjdatathread.h"
#include "tests/support/jobreceiver.h"
#include "tests/support/treefixture.h"

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    return TreeFixture::write(path, data);
}

QByteArray readAll(const QString &path)
{
    return TreeFixture::read(path);
}

QStringList entriesBelow(const QString &root, QDir::Filters filters)
{
    return TreeFixture::below(root, filters);
}

QJsonObject baseOrder()
{
    return QJsonObject{{"orderpayforkey", "NO1"}, {"servicetimes", "2"},   {"mname", "张"},
                       {"wname", "李"},         {"pickuptime", "05-01"}, {"isurgenttime", "05-03"}};
}

QJsonObject baseGood()
{
    return QJsonObject{{"id", "12"},        {"goodname", "相册"},   {"goodtypename", "相册类"},
                       {"goodamount", "2"}, {"goodtypeid", "33"},   {"factoryname", "厂A"},
                       {"isurgent", ""},    {"isems", "快递"},      {"imgs", QJsonArray{QJsonObject{{"img_name", "a.jpg"}}}}};
}

QJsonArray rule(const QList<QPair<QString, QString>> &fields)
{
    QJsonArray array;
    for (int i = 0; i < fields.size(); ++i) {
        QJsonObject o{{"key", fields[i].first}, {"name", fields[i].first}};
        if (i + 1 < fields.size())
            o.insert("separator", fields[i].second);
        array.append(o);
    }
    return array;
}

} // namespace

class TestFJProductFolders : public QObject
{
    Q_OBJECT

private slots:
    void folderNames_data();
    void folderNames();
    void ruleNames_data();
    void ruleNames();
    void numbersTakenNames();
    void rerunFinishesSameFolders();
    void equalNamesAtOnceGetOwnFolders();
    void setWithoutSubProductsMakesOrderFolderOnly();
    void pictureFailures();
    void hostileValuesStayInside();

private:
    // Runs one product job into a fresh order folder below root; returns the
    // report.
    JobReport runJob(const QString &root, const QJsonObject &order, const QJsonObject &good, const QJsonArray &namingRule,
                     std::shared_ptr<FJFolderClaims> claims = nullptr);
    JobReceiver m_receiver;
};

JobReport TestFJProductFolders::runJob(const QString &root, const QJsonObject &order, const QJsonObject &good,
                                       const QJsonArray &namingRule, std::shared_ptr<FJFolderClaims> claims)
{
    auto *job = new FJDataThread(QStringLiteral("创建产品"), order, good, root, &m_receiver);
    job->namingRule = namingRule;
    job->folderClaims = std::move(claims);
    return m_receiver.runOne(job);
}

void TestFJProductFolders::folderNames_data()
{
    QTest::addColumn<QJsonObject>("order");
    QTest::addColumn<QJsonObject>("good");
    QTest::addColumn<QStringList>("folders");

    const QJsonObject order = baseOrder();
    QJsonObject good = baseGood();
    QTest::newRow("normal, fixed pattern")
        << order << good << QStringList{"厂A 张-李 05-01取 快递", "厂A 张-李 05-01取 快递/12#相册 相册类 2 NO1 张-李 05-01取 快递"};
    good["isurgent"] = "0";
    QTest::newRow("isurgent 0 is normal")
        << order << good << QStringList{"厂A 张-李 05-01取 快递", "厂A 张-李 05-01取 快递/12#相册 相册类 2 NO1 张-李 05-01取 快递"};
    good["isurgent"] = "1";
    QTest::newRow("urgent: urgent date and mark")
        << order << good << QStringList{"厂A 张-李 05-03急 快递", "厂A 张-李 05-03急 快递/12#相册 相册类 2 NO1 张-李 05-03急 快递"};

    QJsonObject set = baseGood();
    set["goodtypeid"] = "40";
    set["son_good"] = QJsonArray{
        QJsonObject{{"id", "7"}, {"goodname", "内页"}, {"goodtype", "P"}, {"goodamount", "1"},
                    {"picpath", QJsonArray{QJsonObject{{"img_name", "a.jpg"}}}}},
        QJsonObject{{"id", "8"}, {"goodname", "封面"}, {"goodtype", "C"}, {"goodamount", "1"}},
    };
    QTest::newRow("sub-products, fixed pattern")
        << order << set
        << QStringList{"厂A 张-李 05-01取 快递", "厂A 张-李 05-01取 快递/7#相册-内页 P 1 NO1 张-李 05-01取 快递",
                       "厂A 张-李 05-01取 快递/8#相册-封面 C 1 NO1 张-李 05-01取 快递"};

    // An empty express value leaves a trailing blank that Windows would drop
    // by itself; the folder is made without it.
    QJsonObject noEms = baseGood();
    noEms["isems"] = "";
    QTest::newRow("no express method")
        << order << noEms << QStringList{"厂A 张-李 05-01取", "厂A 张-李 05-01取/12#相册 相册类 2 NO1 张-李 05-01取"};
}

void TestFJProductFolders::folderNames()
{
    QFETCH(QJsonObject, order);
    QFETCH(QJsonObject, good);
    QFETCH(QStringList, folders);
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));
    const JobReport r = runJob(root, order, good, QJsonArray());
    QVERIFY(r.ok);
    QCOMPARE(r.mode, QStringLiteral("创建产品"));
    QCOMPARE(r.source, QString());
    QStringList dirs = entriesBelow(root, QDir::Dirs);
    dirs.removeAll(QStringLiteral("其他"));
    dirs.removeAll(QStringLiteral("其他/成品"));
    QCOMPARE(dirs, folders);
    // The pictures of the product (or the sub-product) lie in its folder.
    const QStringList files = entriesBelow(root, QDir::Files).filter(QRegularExpression(QStringLiteral("^厂A")));
    QCOMPARE(files.size(), 1);
    QCOMPARE(readAll(root + files.first()), QByteArray("pic"));
}

void TestFJProductFolders::ruleNames_data()
{
    QTest::addColumn<QJsonArray>("namingRule");
    QTest::addColumn<QJsonObject>("good");
    QTest::addColumn<QString>("name");

    const QJsonObject good = baseGood();
    QTest::newRow("name _ goodnum") << rule({{"name", "_"}, {"goodnum", ""}}) << good << QStringLiteral("相册_2");
    QTest::newRow("customer name is wname blank mname") << rule({{"customername", ""}}) << good << QStringLiteral("李 张");
    QTest::newRow("every key") << rule({{"id", "-"},
                                        {"name", "#"},
                                        {"customername", "《"},
                                        {"orderpayforkey", "》"},
                                        {"servicetimes", ","},
                                        {"goodnum", "="},
                                        {"isems", "."},
                                        {"pickuptime", " "},
                                        {"goodtype", ""}})
                               << good << QStringLiteral("12-相册#李 张《NO1》2,2=快递.05-01取 相册类");
    QTest::newRow("unknown key and its separator left out")
        << rule({{"name", "_"}, {"colour", "-"}, {"id", ""}}) << good << QStringLiteral("相册_12");
    QJsonObject numeric = good;
    numeric["goodamount"] = 2;
    QTest::newRow("number reads as empty") << rule({{"name", "_"}, {"goodnum", ""}}) << numeric << QStringLiteral("相册_");
    QJsonObject urgent = good;
    urgent["isurgent"] = "加急";
    QTest::newRow("urgent pickup") << rule({{"pickuptime", ""}}) << urgent << QStringLiteral("05-03急");
    QJsonObject percent = good;
    percent["goodname"] = "%1%2";
    QTest::newRow("percent markers kept") << rule({{"name", "_"}, {"id", ""}}) << percent << QStringLiteral("%1%2_12");
}

void TestFJProductFolders::ruleNames()
{
    QFETCH(QJsonArray, namingRule);
    QFETCH(QJsonObject, good);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));

    FJDataThread probe(QStringLiteral("创建产品"), baseOrder(), good, root, nullptr);
    probe.namingRule = namingRule;
    QCOMPARE(probe.buildProductName(good), name);

    const JobReport r = runJob(root, baseOrder(), good, namingRule);
    QVERIFY(r.ok);
    QStringList products = entriesBelow(root, QDir::Files);
    products.removeAll(QStringLiteral("其他/成品/a.jpg"));
    QCOMPARE(products.size(), 1);
    QCOMPARE(products.first().section(QLatin1Char('/'), 1), name + QStringLiteral("/a.jpg"));
}

void TestFJProductFolders::numbersTakenNames()
{
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));
    const QJsonArray namingRule = rule({{"name", "_"}, {"goodnum", ""}});
    const QString production = root + QStringLiteral("厂A 张-李 05-01取 快递/");
    QVERIFY(QDir().mkpath(production + QStringLiteral("相册_2")));
    QVERIFY(QDir().mkpath(production + QStringLiteral("相册_2 (1)")));
    QVERIFY(QDir().mkpath(production + QStringLiteral("相册_2 (2)")));
    QVERIFY(runJob(root, baseOrder(), baseGood(), namingRule).ok);
    QVERIFY(QFileInfo(production + QStringLiteral("相册_2 (3)/a.jpg")).isFile());
    // The next run of the same order takes the next number.
    QVERIFY(runJob(root, baseOrder(), baseGood(), namingRule).ok);
    QVERIFY(QFileInfo(production + QStringLiteral("相册_2 (4)/a.jpg")).isFile());
    QCOMPARE(QDir(production + QStringLiteral("相册_2")).entryList(QDir::Files), QStringList());
}

void TestFJProductFolders::rerunFinishesSameFolders()
{
    // Two products that name the same folder, split twice (the first run
    // cut short after its folders were made): the second run fills the
    // folders of the first and makes no numbered copies.
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));
    const QJsonArray namingRule = rule({{"name", "_"}, {"goodnum", ""}});
    const QString production = root + QStringLiteral("厂A 张-李 05-01取 快递/");
    const QStringList expected{QStringLiteral("相册_2"), QStringLiteral("相册_2 (1)")};
    for (int run = 0; run < 2; ++run) {
        auto claims = std::make_shared<FJFolderClaims>();
        QVERIFY(runJob(root, baseOrder(), baseGood(), namingRule, claims).ok);
        QVERIFY(runJob(root, baseOrder(), baseGood(), namingRule, claims).ok);
        QStringList made = QDir(production).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        made.sort();
        QCOMPARE(made, expected);
        for (const QString &folder : expected)
            QCOMPARE(QDir(production + folder).entryList(QDir::Files), QStringList{"a.jpg"});
    }
}

void TestFJProductFolders::equalNamesAtOnceGetOwnFolders()
{
    // Jobs on one pool that compute the same folder name at the same moment:
    // each claims a folder of its own and copies its picture into it.
    for (int round = 0; round < 5; ++round) {
        QTemporaryDir dir;
        const QString root = dir.path() + QLatin1Char('/');
        QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));
        QList<QRunnable *> jobs;
        const int count = 8;
        for (int i = 0; i < count; ++i)
            jobs << new FJDataThread(QStringLiteral("创建产品"), baseOrder(), baseGood(), root, &m_receiver);
        const QList<JobReport> reports = m_receiver.run(jobs, count);
        QCOMPARE(reports.size(), count);
        for (const JobReport &r : reports)
            QVERIFY(r.ok);
        const QString production = root + QStringLiteral("厂A 张-李 05-01取 快递/");
        QStringList expected{QStringLiteral("12#相册 相册类 2 NO1 张-李 05-01取 快递")};
        for (int n = 1; n < count; ++n)
            expected << expected.first() + QStringLiteral(" (%1)").arg(n);
        expected.sort();
        QStringList made = QDir(production).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        made.sort();
        QCOMPARE(made, expected);
        for (const QString &folder : made)
            QCOMPARE(QDir(production + folder).entryList(QDir::Files), QStringList{"a.jpg"});
    }
}

void TestFJProductFolders::setWithoutSubProductsMakesOrderFolderOnly()
{
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QJsonObject set = baseGood();
    set["goodtypeid"] = "40";
    set.remove("imgs");
    QVERIFY(runJob(root, baseOrder(), set, QJsonArray()).ok);
    QCOMPARE(entriesBelow(root, QDir::Dirs | QDir::Files), QStringList{"厂A 张-李 05-01取 快递"});
}

void TestFJProductFolders::pictureFailures()
{
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/b.jpg"), "pic b"));
    QJsonObject good = baseGood();
    // A missing picture fails the report and says which file is missing; a
    // picture listed twice meets its own first copy, which is no failure;
    // every other picture is still copied.
    good["imgs"] = QJsonArray{QJsonObject{{"img_name", "a.jpg"}}, QJsonObject{{"img_name", "gone.jpg"}},
                              QJsonObject{{"img_name", "a.jpg"}}, QJsonObject{{"img_name", "b.jpg"}}};
    const JobReport r = runJob(root, baseOrder(), good, QJsonArray());
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QStringLiteral("相册 产品图片 gone.jpg 拷贝失败：源文件不存在：")
                            + QDir::toNativeSeparators(root + QStringLiteral("其他/成品/gone.jpg")));
    const QString folder = root + QStringLiteral("厂A 张-李 05-01取 快递/12#相册 相册类 2 NO1 张-李 05-01取 快递/");
    QStringList files = QDir(folder).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, QStringList({"a.jpg", "b.jpg"}));
    QCOMPARE(readAll(folder + QStringLiteral("a.jpg")), QByteArray("pic"));
}

void TestFJProductFolders::hostileValuesStayInside()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("orders/o1/"));
    QVERIFY(writeFile(root + QStringLiteral("其他/成品/a.jpg"), "pic"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("orders/evil.jpg")), "outside"));
    QJsonObject order = baseOrder();
    order["mname"] = "../../..";
    order["wname"] = "%1\\server\\share";
    QJsonObject good = baseGood();
    good["factoryname"] = "..";
    good["goodname"] = "a/../../b";
    good["isems"] = "C:";
    good["imgs"] = QJsonArray{QJsonObject{{"img_name", "a.jpg"}}, QJsonObject{{"img_name", "../evil.jpg"}}};

    const QStringList outsideBefore = entriesBelow(dir.path(), QDir::Files | QDir::Dirs | QDir::Hidden).filter(QRegularExpression("^(?!orders/o1)"));
    for (const QJsonArray &namingRule : {QJsonArray(), rule({{"customername", "/"}, {"name", "\\"}, {"id", ""}})}) {
        const JobReport r = runJob(root, order, good, namingRule);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("../evil.jpg 文件名非法"));
    }
    // Everything made lies in one production folder inside the order folder.
    const QStringList outsideAfter = entriesBelow(dir.path(), QDir::Files | QDir::Dirs | QDir::Hidden).filter(QRegularExpression("^(?!orders/o1)"));
    QCOMPARE(outsideAfter, outsideBefore);
    QStringList top = QDir(root).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    top.removeAll(QStringLiteral("其他"));
    QCOMPARE(top, QStringList{QStringLiteral(".. ......-%1servershare 05-01取 C")});
    QStringList products = QDir(root + top.first()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    products.sort();
    QCOMPARE(products, QStringList({QStringLiteral("%1servershare ......a....b12"),
                                    QStringLiteral("12#a....b 相册类 2 NO1 ......-%1servershare 05-01取 C")}));
    for (const QString &p : products)
        QCOMPARE(QDir(root + top.first() + QLatin1Char('/') + p).entryList(QDir::Files), QStringList{"a.jpg"});
}

QTEST_GUILESS_MAIN(TestFJProductFolders)
#include "tst_fjproductfolders.moc"
