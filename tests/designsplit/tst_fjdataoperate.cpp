#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include "designsplit/jobs/fjdataoperate.h"
#include "tests/support/jobreceiver.h"

namespace {

QJsonObject product(const QString &name, const QJsonArray &subs = QJsonArray(), const QJsonArray &imgs = QJsonArray())
{
    QJsonObject p{{"goodname", name}, {"imgs", imgs}};
    if (!subs.isEmpty())
        p.insert("son_good", subs);
    return p;
}

QStringList names(const QList<QJsonObject> &pros)
{
    QStringList out;
    for (const QJsonObject &p : pros) {
        out << p.value("goodname").toString();
        for (const QJsonValue &s : p.value("son_good").toArray())
            out << QStringLiteral("  ") + s.toObject().value("goodname").toString();
    }
    return out;
}

} // namespace

class TestFJDataOperate : public QObject
{
    Q_OBJECT

private slots:
    void normaliseGoods_data();
    void normaliseGoods();
    void ordersKeepTheirOwnNames();
    void cropImages();
    void dispatchersStartOneJobPerPhoto();
    void olderSheetIsWritten();
};

void TestFJDataOperate::normaliseGoods_data()
{
    QTest::addColumn<QJsonObject>("order");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("three equal") << QJsonObject{{"goods", QJsonArray{product("相册"), product("相册"), product("相册")}}}
                                 << QStringList{"相册", "相册(1)", "相册(2)"};
    QTest::newRow("across goods and urgent goods")
        << QJsonObject{{"goods", QJsonArray{product("相册")}}, {"urgentgoods", QJsonArray{product("相册")}}}
        << QStringList{"相册", "相册(1)"};
    QTest::newRow("sub-product named like its product")
        << QJsonObject{{"goods", QJsonArray{product("套装", QJsonArray{QJsonObject{{"goodname", "套装"}},
                                                                      QJsonObject{{"goodname", "摆台"}}})}}}
        << QStringList{"套装", "  套装(1)", "  摆台"};
    QTest::newRow("taken number skipped") << QJsonObject{{"goods", QJsonArray{product("A"), product("A(1)"), product("A")}}}
                                          << QStringList{"A", "A(1)", "A(2)"};
    QTest::newRow("percent in a name") << QJsonObject{{"goods", QJsonArray{product("%1"), product("%1")}}}
                                       << QStringList{"%1", "%1(1)"};
}

void TestFJDataOperate::normaliseGoods()
{
    QFETCH(QJsonObject, order);
    QFETCH(QStringList, expected);
    FJDataOperate operate;
    operate.normaliseGoods(order);
    QCOMPARE(names(operate.pros), expected);
}

void TestFJDataOperate::ordersKeepTheirOwnNames()
{
    FJDataOperate operate;
    const QJsonObject visit{{"goods", QJsonArray{product("相册")}}};
    operate.normaliseOrders(QJsonArray{visit, visit});
    QCOMPARE(names(operate.pros), QStringList({"相册", "相册"}));
}

void TestFJDataOperate::cropImages()
{
    FJDataOperate operate;
    operate.collectCropImages(QJsonArray{QJsonObject{{"img_name", "m1.jpg"}, {"cropping_imgurl", "http://x/m1"}},
                                         QJsonObject{{"img_name", "m2.jpg"}},
                                         QJsonObject{{"img_name", "m3.jpg"}, {"cropping_imgurl", "http://x/m1"}}});
    QCOMPARE(operate.downImgUrls, QStringList({"http://x/m1", "", "http://x/m1"}));
    QCOMPARE(operate.downImgInfos.value("").value("image_type").toString(), QStringLiteral("标记"));
    QCOMPARE(operate.downImgInfos.value("http://x/m1").value("img_name").toString(), QStringLiteral("m3.jpg"));

    const QJsonArray imgs{QJsonObject{{"img_name", "c.jpg"}, {"cropping_imgurl", "http://x/c"}},
                          QJsonObject{{"img_name", "c2.jpg"}, {"cropping_imgurl", "http://x/c"}},
                          QJsonObject{{"img_name", "plain.jpg"}}};
    const QJsonArray picpath{QJsonObject{{"img_name", "s.jpg"}, {"cropping_imgurl", "http://x/s"}}};
    operate.normaliseGoods(QJsonObject{{"goods", QJsonArray{product("相册", QJsonArray{QJsonObject{{"goodname", "内页"}, {"picpath", picpath}}}, imgs)}}});
    QCOMPARE(operate.downImgUrls, QStringList({"http://x/m1", "", "http://x/m1", "http://x/c", "http://x/s"}));
    QCOMPARE(operate.downImgInfos.value("http://x/c").value("image_type").toString(), QStringLiteral("裁剪"));
    QCOMPARE(operate.downImgInfos.value("http://x/c").value("img_name").toString(), QStringLiteral("c.jpg"));
    // The product keeps its pictures as they were.
    QCOMPARE(operate.pros.first().value("imgs").toArray(), imgs);
}

void TestFJDataOperate::dispatchersStartOneJobPerPhoto()
{
    QTemporaryDir dir;
    const QString share = dir.filePath(QStringLiteral("share"));
    for (const char *f : {"all/a.jpg", "all/b.jpg", "90/a.jpg", "90/b.jpg", "jx/a.jpg"}) {
        QDir().mkpath(QFileInfo(share + "/" + f).path());
        QFile file(share + "/" + f);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(f);
    }
    FJDataOperate operate;
    operate.setAllDir(share);
    QCOMPARE(operate.allDir, share + QStringLiteral("/all/"));
    operate.orderRoot = dir.path() + QLatin1Char('/');

    JobReceiver receiver;
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    const QString out = dir.filePath(QStringLiteral("order/其他/"));
    const QJsonArray photos{QJsonObject{{"img_name", "a.jpg"}}, QJsonObject{{"img_name", "b.jpg"}}, QJsonObject{}};
    operate.copyFinishedOnly(photos, out, &pool, &receiver);
    operate.copyRetouchedPhotos(QJsonArray{QJsonObject{{"img_name", "a.jpg"}, {"localpath", share + "/jx/a.jpg"}}},
                                dir.filePath(QStringLiteral("jx/")), &pool, &receiver);
    operate.copyFinishedThumbnails(QJsonArray{QJsonObject{{"img_name", "b.jpg"}, {"localpath90", share + "/90/b.jpg"}}},
                                   dir.filePath(QStringLiteral("th/")), &pool, &receiver);
    QVERIFY(pool.waitForDone(30000));
    QCoreApplication::sendPostedEvents(&receiver, QEvent::MetaCall);

    QCOMPARE(receiver.reports.size(), 5);
    QStringList sources;
    int failures = 0;
    for (const JobReport &r : receiver.reports) {
        QCOMPARE(r.mode, QStringLiteral("拷贝照片"));
        sources << r.source;
        failures += r.ok ? 0 : 1;
    }
    sources.sort();
    QCOMPARE(sources, QStringList({share + "/90/b.jpg", share + "/all/", share + "/all/a.jpg", share + "/all/b.jpg",
                                   share + "/jx/a.jpg"}));
    // The element without a name gets a job that fails on its own.
    QCOMPARE(failures, 1);
    QVERIFY(QFileInfo::exists(out + QStringLiteral("成品/b.jpg")));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("jx/成品/a.jpg"))));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("th/缩略图/b.jpg"))));
}

void TestFJDataOperate::olderSheetIsWritten()
{
    QImage red(10, 10, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");

    FJDataOperate operate;
    operate.order = QJsonObject{{"shopname", "演示店"}, {"orderpayforkey", "NO9"}, {"qualitytime", "06-01"}};
    operate.visits = QJsonArray{QJsonObject{{"goods", QJsonArray{QJsonObject{{"goodname", "相册"}, {"isurgent", "0"}, {"goodtypeid", "33"}, {"goodpagenumber", "20"}, {"imgs", QJsonArray{QJsonObject{{"img_name", "a.jpg"}, {"url2", "u:a"}}}}}}}}};
    operate.serviceCount = "1";
    operate.selectedPhotos.insert("a", QJsonObject{{"img_name", "a.jpg"}, {"url", "u:a"}});
    operate.pictureSources.insert("u:a", QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("sheet"));
    QVERIFY(operate.buildProductionSheet(folder));
    QProcess text;
    text.start("pdftotext", {"-layout", folder + QStringLiteral("/明细制作单.pdf"), "-"});
    QVERIFY(text.waitForFinished(30000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("演示店")), qPrintable(out));
    QVERIFY(out.contains(QStringLiteral("质检日期")));
    QVERIFY(out.contains(QStringLiteral("产品总数:1件, 选中总张数共20张")));
    QVERIFY(out.contains(QStringLiteral("已选张数 （1张）")));
}

QTEST_MAIN(TestFJDataOperate)
#include "tst_fjdataoperate.moc"
