#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "base/k.h"
#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/jobs/fjproductionsheet.h"
#include "tests/support/jobreceiver.h"

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return QStringLiteral("<%1 did not finish>").arg(program);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A small picture of its own colour, so every fixture picture is distinct.
void writePicture(const QString &path, int index)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 37) % 360, 200, 100 + (index * 13) % 150));
    QVERIFY(image.save(path));
}

QJsonArray pictures(const QStringList &names)
{
    QJsonArray array;
    for (const QString &n : names)
        array.append(QJsonObject{{"img_name", n}});
    return array;
}

QStringList numbered(const QString &prefix, int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << prefix + QString::number(i) + QStringLiteral(".jpg");
    return out;
}

// An item row of a product table with every cell of the goods' columns set;
// values carry markup characters so that a value left unescaped shows.
QJsonObject item(const QString &name, const QString &urgentFlag, const QString &type, const QJsonArray &imgs)
{
    return QJsonObject{{"goodname", name},
                       {"goodtypename", name + "类<型>"},
                       {"goodtype", name + "页&"},
                       {"isurgent", urgentFlag},
                       {"goodtypeid", type},
                       {"goodpnumber", "20"},
                       {"p_num", "2"},
                       {"goodpagenumber", "12"},
                       {"goodamount", "1"},
                       {"descr", name + "要求<b>"},
                       {"goodremark", name + "说明&"},
                       {"auth_remark", name + "备注\""},
                       {"imgs", imgs},
                       {"picpath", imgs}};
}

// The order of a sheet with every section: escaped values in every field,
// unset and set times, several visits with urgent and normal tables, sets of
// sub-products, picture grids of full and short rows, and products without
// pictures.
FJProductionSheet::Data richSheet()
{
    FJProductionSheet::Data data;
    QJsonObject &o = data.order;
    const QStringList keys{
        "shopname", "address", "buynumber", "activenumber", "morephotonumber", "qualitytime", "orderpayforkey",
        "servicetimes", "count", "mname", "mphone", "wname", "wphone", "s2_name", "mssid", "servershopid",
        "booktime", "photodate", "selectphotodate", "checktruing", "comparedate", "booksuccess", "wxname",
        "tuiguangname", "selectphoto", "yqnumber", "goodpnumber", "vipphotonumber", "yx_number", "role1",
        "role17", "role2", "mmail", "role3", "role16", "role4", "wmail", "role9name", "role6name", "twosales",
        "dept", "pay_type", "tiaose", "tiaoxiu", "sheji", "getphotodate_html", "recipients", "sj_tel",
        "selectphotoname"};
    for (const QString &key : keys)
        o.insert(key, key + QStringLiteral("<&\"值"));
    o.insert("order_price", 1999);
    o.insert("provinceid", QJsonObject{{"areaname", "广东<省>"}});
    o.insert("cityid", QJsonObject{{"areaname", "广州市"}});
    o.insert("countyid", QJsonObject{{"areaname", "天河区"}});
    o.insert("samplestarttime", "10");
    o.insert("samplestartmin", "3<0");
    o.insert("kanjinxiuarea", QJsonObject{{"timeTxt", ":00"}});
    o.insert("kanbanarea", QJsonObject{{"timeTxt", "14:30&"}});
    o.insert("getphotoarea", QJsonObject{{"timeTxt", "上午<"}});
    o.insert("pickuptime", "06-01&");
    o.insert("isurgenttime", "05-20<");
    o.insert("urgentdatearea", QJsonObject{{"timeTxt", "09:00"}});
    o.insert("orderdescr", "第一行<\n第二行&");
    o.insert("consumption_statement", "<b>消费</b>说明");
    o.insert("shopdisclaimer", "<i>免责</i>声明");

    const QString remark = QString::fromUtf8(
        QJsonDocument(QJsonArray{QJsonObject{{"text", "瘦<脸"}}, QJsonObject{{"text", "去痘&"}}})
            .toJson(QJsonDocument::Compact));
    data.markedPhotos = QJsonArray{QJsonObject{{"img_name", "m1.jpg"}, {"remark", remark}},
                                   QJsonObject{{"img_name", "m2&.jpg"}, {"remark", "no json"}},
                                   QJsonObject{{"img_name", "m3.jpg"}, {"remark", remark}}};
    data.selectedPhotos = pictures(numbered("s", 1, 13));
    data.basePhotos = pictures(numbered("b", 1, 6));
    data.serviceCount = QStringLiteral("3<");

    QJsonArray cropped = pictures(numbered("u", 1, 6));
    cropped.append(QJsonObject{{"img_name", "c1.jpg"}, {"cropping_imgurl", "http://x/c1"}});
    const QJsonArray urgentSet{item("急子一", "", "33", pictures(numbered("us", 1, 2))),
                               item("急子二", "", "", QJsonArray()),
                               item("急子三", "", "", pictures(numbered("ut", 1, 7)))};
    const QJsonArray normalSet{item("子一", "", "33", pictures({"n1.jpg"})), item("子二", "", "", QJsonArray()),
                               item("子三", "", "", pictures(numbered("nt", 1, 6)))};
    QJsonObject urgentSetProduct = item("加急套装", "加急", "40", QJsonArray());
    urgentSetProduct.insert("son_good", urgentSet);
    QJsonObject normalSetProduct = item("套装", "", "40", pictures({"ns.jpg"}));
    normalSetProduct.insert("son_good", normalSet);
    const QJsonObject visit1{
        {"order_sample_infoservicetimes", "1"},
        {"role12name", "赵<六>"},
        {"urgentgoods", QJsonArray{item("加急相册", "1", "33", cropped), urgentSetProduct,
                                   item("不在加急表", "0", "33", pictures(numbered("x", 1, 2)))}},
        {"goods", QJsonArray{item("普通相册", "0", "33", pictures(numbered("g", 1, 6))),
                             item("不在普通表", "1", "33", pictures(numbered("y", 1, 3))), normalSetProduct,
                             item("摆台", "0", "", QJsonArray())}},
    };
    const QJsonObject visit2{{"order_sample_infoservicetimes", "0"},
                             {"goods", QJsonArray{item("未选摆台", "0", "", pictures({"z.jpg"}))}}};
    const QJsonObject visit3{{"order_sample_infoservicetimes", "2"},
                             {"role12name", "钱七"},
                             {"urgentgoods", QJsonArray{item("加急摆台", "1", "", QJsonArray())}}};
    data.visits = QJsonArray{visit1, visit2, visit3};
    return data;
}

// Where a picture's "src" comes from shows in the sheet: its kind and name,
// with characters that must be escaped inside the attribute.
QString fakeSource(FJProductionSheet::Picture kind, const QJsonObject &record)
{
    return QStringLiteral("data:%1,\"&%2").arg(QString::number(int(kind)), record.value(QLatin1String("img_name")).toString());
}

// The sheet's print time, the one part that changes from run to run.
QString withoutPrintTime(QString html)
{
    static const QRegularExpression stamp(
        QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d(?=</p></div></body></HTML>$)"));
    return html.replace(stamp, QStringLiteral("<print time>"));
}

} // namespace

class TestFJProductionSheet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sheet_data();
    void sheet();
    void sheetHtml_data();
    void sheetHtml();
    void secondRunReplacesSheet();
    void failureIsReported_data();
    void failureIsReported();
    void imageToDataUrl();

private:
    // The order folder with every picture the full reply names.
    void makeOrderFolder(const QString &root);
    QJsonObject fullReply(const QString &hostilePicture) const;
    JobReport runSheet(const QString &root, const QJsonObject &reply);
    JobReceiver m_receiver;
};

void TestFJProductionSheet::initTestCase()
{
    // As at start-up: the application font from the program's resources.
    K::instance()->loadFont();
}

void TestFJProductionSheet::makeOrderFolder(const QString &root)
{
    int index = 0;
    writePicture(root + QStringLiteral("其他/条形码.jpg"), index++);
    for (const QString &n : numbered("m", 1, 3))
        writePicture(root + QStringLiteral("其他/标记/") + n, index++);
    writePicture(root + QStringLiteral("其他/裁剪/c1.jpg"), index++);
    for (const QString &n : numbered("p", 1, 13) + numbered("b", 1, 2))
        writePicture(root + QStringLiteral("其他/缩略图/") + n, index++);
}

QJsonObject TestFJProductionSheet::fullReply(const QString &hostilePicture) const
{
    const QJsonObject order{
        {"shopname", "演示影楼"},
        {"orderpayforkey", "NO100"},
        {"servicetimes", "1"},
        {"count", "3"},
        {"mname", "<b>张</b>"},
        {"wname", QStringLiteral("李<img src=\"%1\">").arg(hostilePicture)},
        {"selectphotodate", "05-02"},
        {"samplestarttime", "10"},
        {"samplestartmin", ""},
        {"checktruing", "05-10"},
        {"kanjinxiuarea", QJsonObject{{"timeTxt", ":00"}}},
        {"comparedate", "05-11"},
        {"kanbanarea", QJsonObject{{"timeTxt", "14:30"}}},
        {"getphotodate_html", "06-05"},
        {"getphotoarea", QJsonObject{{"timeTxt", ":00"}}},
        {"pickuptime", "06-01"},
        {"isurgenttime", "05-20"},
        {"urgentdatearea", QJsonObject{{"timeTxt", "09:00"}}},
        {"order_price", 1999},
        {"orderdescr", "第一行\n第二行 %1"},
        {"consumption_statement", "<b>消费</b>说明"},
        {"shopdisclaimer", QStringLiteral("免责声明<img src=\"%1\"><img src=\"file://%1\">").arg(hostilePicture)},
        {"selectphotoname", "王五"},
        {"provinceid", QJsonObject{{"areaname", "广东省"}}},
        {"address", "某路1号"},
    };
    const QString remark = QString::fromUtf8(QJsonDocument(QJsonArray{QJsonObject{{"text", "瘦脸"}}, QJsonObject{{"text", "去痘"}}}).toJson(QJsonDocument::Compact));
    QJsonArray marked{QJsonObject{{"img_name", "m1.jpg"}, {"remark", remark}},
                      QJsonObject{{"img_name", "m2.jpg"}, {"remark", "no json"}},
                      QJsonObject{{"img_name", "m3.jpg"}, {"remark", remark}}};

    QJsonArray cropped = pictures({"p1.jpg"});
    cropped.append(QJsonObject{{"img_name", "c1.jpg"}, {"cropping_imgurl", "http://x/c1"}});
    QJsonArray subs;
    for (int i = 8; i <= 10; ++i)
        subs.append(QJsonObject{{"goodname", QStringLiteral("子%1").arg(i)}, {"goodtype", "页"}, {"picpath", pictures({QStringLiteral("p%1.jpg").arg(i)})}});
    const QJsonObject visit1{
        {"order_sample_infoservicetimes", "1"},
        {"role12name", "赵六"},
        {"urgentgoods", QJsonArray{QJsonObject{{"goodname", "加急相册"}, {"isurgent", "1"}, {"imgs", cropped}},
                                   QJsonObject{{"goodname", "不在加急表"}, {"isurgent", "0"}, {"imgs", pictures({"p2.jpg"})}}}},
        {"goods", QJsonArray{QJsonObject{{"goodname", "普通相册"}, {"isurgent", "0"}, {"goodtypeid", "33"}, {"goodpnumber", "30"},
                                         {"p_num", "2"}, {"goodpagenumber", "15"}, {"imgs", pictures(numbered("p", 1, 7))}},
                             QJsonObject{{"goodname", "不在普通表"}, {"isurgent", "1"}, {"imgs", pictures(numbered("p", 1, 4))}},
                             QJsonObject{{"goodname", "套装"}, {"isurgent", ""}, {"goodtypeid", "40"}, {"son_good", subs}}}},
    };
    const QJsonObject visit2{{"order_sample_infoservicetimes", "0"},
                             {"goods", QJsonArray{QJsonObject{{"goodname", "摆台"}, {"isurgent", "0"}}}}};
    return QJsonObject{{"order", order},
                       {"orderpicdescr", marked},
                       {"servicetime", QJsonArray{visit1, visit2}},
                       {"count_order_sample_infoservicetimes", "3"},
                       {"images", pictures(numbered("p", 1, 13))},
                       {"images_rudi", pictures(numbered("b", 1, 2) + QStringList{"../../escape.jpg"})}};
}

JobReport TestFJProductionSheet::runSheet(const QString &root, const QJsonObject &reply)
{
    auto *job = new FJDataThread(QStringLiteral("生成Html"), &m_receiver);
    job->orderRoot = root;
    job->orderDetail = reply;
    return m_receiver.runOne(job);
}

void TestFJProductionSheet::sheet_data()
{
    QTest::addColumn<bool>("urgent");
    QTest::newRow("urgent, every section") << true;
    QTest::newRow("normal, no requirements") << false;
}

void TestFJProductionSheet::sheet()
{
    QFETCH(bool, urgent);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("订单/"));
    makeOrderFolder(root);
    // A local picture that a value names: it must not get into the PDF.
    const QString hostile = dir.filePath(QStringLiteral("secret.png"));
    writePicture(hostile, 99);
    writePicture(dir.filePath(QStringLiteral("escape.jpg")), 98);

    QJsonObject reply = fullReply(hostile);
    int expectedPictures = 20;
    if (!urgent) {
        QJsonObject order = reply["order"].toObject();
        order.remove("orderdescr");
        order["consumption_statement"] = "";
        reply["order"] = order;
        reply.remove("orderpicdescr");
        QJsonArray visits = reply["servicetime"].toArray();
        QJsonObject first = visits[0].toObject();
        first.remove("urgentgoods");
        visits[0] = first;
        reply["servicetime"] = visits;
        expectedPictures -= 4; // three marked photos and the cropped picture
    }

    const JobReport r = runSheet(root, reply);
    QVERIFY(r.ok);
    QCOMPARE(r.mode, QStringLiteral("生成Html"));
    QCOMPARE(r.message, QString());
    const QString pdf = root + QStringLiteral("其他/明细制作单.pdf");

    QVERIFY(run("pdfinfo", {pdf}).contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)"))));

    // Chinese comes out as text in an embedded font with a Unicode map.
    const QStringList fonts = run("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    const QString family = QApplication::font().family().remove(' ');
    bool appFont = false;
    for (const QString &line : fonts) {
        QVERIFY2(line.contains(QRegularExpression(QStringLiteral("\\s+yes\\s+(yes|no)\\s+yes\\s+\\d+"))), qPrintable(line));
        appFont = appFont || line.contains(family);
    }
    QVERIFY2(appFont, qPrintable(family + " not in\n" + fonts.join('\n')));

    QString text = run("pdftotext", {"-raw", pdf, "-"});
    text.replace(QChar(0x00a0), QLatin1Char(' '));
    // Narrow cells wrap their words over several lines.
    text.remove(QLatin1Char('\n'));
    const auto has = [&](const QString &s) { return text.contains(s); };
    QVERIFY2(has(QStringLiteral("演示影楼")), qPrintable(text));
    QVERIFY(has(QStringLiteral("NO100(服务次:1/3)")));
    // Values are text, never markup.
    QVERIFY(has(QStringLiteral("<b>张</b>")));
    QVERIFY(has(QStringLiteral("李<img")));
    // ":00" means no time: nothing after the viewing date, but the shipping
    // date prints it, and the pickup text leaves it out.
    QVERIFY(has(QStringLiteral("看精修日期: 05-10")));
    QVERIFY(!has(QStringLiteral("05-10 :00")));
    QVERIFY(has(QStringLiteral("看版日期: 05-1114:30")));
    QVERIFY(has(QStringLiteral("发货日期: 06-05 :00")));
    QVERIFY(!has(QStringLiteral("05-02 10")));
    QVERIFY(has(QStringLiteral("06-01取件")));
    QVERIFY(has(QStringLiteral("选片次:1/3")));
    QVERIFY(has(QStringLiteral("未操作产品")));
    QVERIFY(has(QStringLiteral("已选张数 （13张）")));
    QVERIFY(has(QStringLiteral("入底张数 （3张）")));
    QVERIFY(has(QStringLiteral("免责声明")));
    QVERIFY(has(QStringLiteral("选片人：王五")));
    QVERIFY(has(QStringLiteral("普通相册")));
    QVERIFY(!has(QStringLiteral("不在普通表")));
    QVERIFY(!has(QStringLiteral("不在加急表")));
    // The normal table of the first visit: one product and a set of three.
    QVERIFY(has(QStringLiteral("产品总数:4件, 选中总张数共10张")));
    QVERIFY(has(QStringLiteral("产品总数:1件, 选中总张数共0张")));

    QCOMPARE(has(QStringLiteral("总体要求")), urgent);
    QCOMPARE(has(QStringLiteral("第二行 %1")), urgent);
    QCOMPARE(has(QStringLiteral("消费要求")), urgent);
    QCOMPARE(has(QStringLiteral("消费说明")), urgent);
    QCOMPARE(has(QStringLiteral("调修要求")), urgent);
    QCOMPARE(has(QStringLiteral("1. 瘦脸")), urgent);
    QCOMPARE(has(QStringLiteral("加急件：选片次:1/3")), urgent);
    QCOMPARE(has(QStringLiteral("05-20(09:00)取件")), urgent);
    // The urgent table counts the pictures of its hidden product too.
    QCOMPARE(has(QStringLiteral("产品总数:1件, 选中总张数共3张")), urgent);

    // Each distinct picture is embedded once; the file a value named and the
    // picture whose name climbs out of the order folder are not.
    const QStringList images = run("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
    QSet<QString> objects;
    for (const QString &line : images)
        objects.insert(line.simplified().section(' ', 10, 11));
    QCOMPARE(objects.size(), expectedPictures);
}

void TestFJProductionSheet::sheetHtml_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("rich");
    QTest::addColumn<bool>("older");
    QTest::newRow("every section") << QStringLiteral("every-section.html") << true << false;
    QTest::newRow("every section, older layout") << QStringLiteral("every-section-older.html") << true << true;
    QTest::newRow("empty order") << QStringLiteral("empty.html") << false << false;
    QTest::newRow("empty order, older layout") << QStringLiteral("empty-older.html") << false << true;
}

// The sheet's markup is laid out by Qt's rich-text engine, which is picky
// about the exact markup: the sheets it gives are kept as they were printed
// and checked, byte for byte. A change meant to alter the sheet replaces the
// kept file with the one the failure names, after a look at the printed PDF.
void TestFJProductionSheet::sheetHtml()
{
    QFETCH(QString, fixture);
    QFETCH(bool, rich);
    QFETCH(bool, older);
    const QString actual
        = withoutPrintTime(FJProductionSheet(rich ? richSheet() : FJProductionSheet::Data(), fakeSource, older).html());
    QVERIFY2(actual.endsWith(QStringLiteral("<print time></p></div></body></HTML>")), qPrintable(actual.right(80)));

    const QString path = QFINDTESTDATA(QStringLiteral("sheets/") + fixture);
    QFile file(path);
    QString expected;
    if (file.open(QIODevice::ReadOnly))
        expected = QString::fromUtf8(file.readAll());
    if (actual == expected)
        return;
    // The sheet as made now, to compare with the kept one.
    QFile made(QDir::temp().filePath(fixture));
    if (made.open(QIODevice::WriteOnly))
        made.write(actual.toUtf8());
    int at = 0;
    while (at < actual.size() && at < expected.size() && actual.at(at) == expected.at(at))
        ++at;
    QFAIL(qPrintable(QStringLiteral("%1 differs from %2 at %3:\n  made: %4\n  kept: %5")
                         .arg(made.fileName(), path.isEmpty() ? fixture : path, QString::number(at),
                              actual.mid(qMax(0, at - 40), 120), expected.mid(qMax(0, at - 40), 120))));
}

void TestFJProductionSheet::secondRunReplacesSheet()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("订单/"));
    makeOrderFolder(root);
    const QString pdf = root + QStringLiteral("其他/明细制作单.pdf");
    QFile old(pdf);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older sheet");
    old.close();
    QJsonObject reply = fullReply(QStringLiteral("/nowhere.png"));
    QVERIFY(runSheet(root, reply).ok);
    QVERIFY(run("pdftotext", {pdf, "-"}).contains(QStringLiteral("王五")));
    QJsonObject order = reply["order"].toObject();
    order["selectphotoname"] = "钱七";
    reply["order"] = order;
    QVERIFY(runSheet(root, reply).ok);
    QVERIFY(run("pdftotext", {pdf, "-"}).contains(QStringLiteral("钱七")));
    QCOMPARE(QDir(root + QStringLiteral("其他")).entryList(QDir::Files | QDir::Hidden), QStringList({"明细制作单.pdf", "条形码.jpg"}));
}

void TestFJProductionSheet::failureIsReported_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<QString>("message");
    // The message names the place and the cause.
    QTest::newRow("folder cannot be made") << QStringLiteral("其他")
                                           << QStringLiteral("明细制作单.pdf 生成失败：无法创建目标目录: <root>其他/ (");
    QTest::newRow("sheet name taken by a folder")
        << QStringLiteral("其他/明细制作单.pdf/x")
        << QStringLiteral("明细制作单.pdf 生成失败：目标已存在且不是普通文件，未覆盖: <root>其他/明细制作单.pdf");
}

void TestFJProductionSheet::failureIsReported()
{
    QFETCH(QString, blocker);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("订单/"));
    QDir().mkpath(QFileInfo(root + blocker).path());
    QFile file(root + blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const JobReport r = runSheet(root, fullReply(QStringLiteral("/nowhere.png")));
    QVERIFY(!r.ok);
    QCOMPARE(r.mode, QStringLiteral("生成Html"));
    QVERIFY2(r.message.startsWith(message.replace(QStringLiteral("<root>"), root)), qPrintable(r.message));
}

void TestFJProductionSheet::imageToDataUrl()
{
    QTemporaryDir dir;
    QImage wide(400, 200, QImage::Format_RGB32);
    wide.fill(Qt::black);
    QVERIFY(wide.save(dir.filePath("w.jpg")));
    QVERIFY(wide.save(dir.filePath("w.png")));

    QString url = FJDataThread::imageToDataUrl(dir.filePath("w.jpg"), 100, 100);
    QVERIFY(url.startsWith("data:image/jpeg;base64,"));
    QImage canvas = QImage::fromData(QByteArray::fromBase64(url.section(',', 1).toLatin1()));
    QCOMPARE(canvas.size(), QSize(100, 100));
    QVERIFY(qGray(canvas.pixel(50, 10)) > 240);  // white band above
    QVERIFY(qGray(canvas.pixel(50, 50)) < 15);   // the picture, 100 x 50 at y = 25
    QVERIFY(qGray(canvas.pixel(50, 90)) > 240);

    url = FJDataThread::imageToDataUrl(dir.filePath("w.png"), 0, 0);
    QVERIFY(url.startsWith("data:image/png;base64,"));
    QFile png(dir.filePath("w.png"));
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(QByteArray::fromBase64(url.section(',', 1).toLatin1()), png.readAll());

    QCOMPARE(FJDataThread::imageToDataUrl(dir.filePath("missing.jpg"), 100, 100), QString());
}

QTEST_MAIN(TestFJProductionSheet)
#include "tst_fjproductionsheet.moc"
