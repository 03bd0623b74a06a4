// The design-split and download window end to end in its four modes: opened
// from its chooser card, against the fake order service over real sockets
// and real share folders; search, tick, target folder, start, final box.
// The output tree, the reports sent and the production sheet are checked.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "tests/designsplit/fjwindowdriver.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/splitorders.h"

namespace {

const QString kDetail = QStringLiteral("&m=order&a=orderphotodetail");
const QString kDownloadSuccess = QStringLiteral("&m=order&a=download_success");
const QString kRule = QStringLiteral(
    R"([{"name":"订单号","key":"orderpayforkey","separator":"_"},{"name":"产品名称","key":"name"}])");

QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestFJHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modeEndToEnd_data();
    void modeEndToEnd();

private:
    void addOrder(const QString &orderPhotoId, const QString &number);

    FakeOrderService m_fake;
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_shares;
    QString m_target;
};

void TestFJHome::initTestCase()
{
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    g_barcodeUrl = g_indexUrl + g_groupParam + QStringLiteral("&m=order&a=getbarcodegen");
    BaseReq::setTransferTimeout(15000);
}

void TestFJHome::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_shares = m_dir->path() + QStringLiteral("/共享");
    m_target = m_dir->path() + QStringLiteral("/输出");
    QVERIFY(QDir().mkpath(m_target));
    m_fake.loadModel(FakeModel::testData());
    m_fake.clearFaults();
    m_fake.clearRequests();
    // Shop 11 keeps its orders to this test: the product folders follow its
    // saved rule.
    QJsonArray orders;
    for (const QJsonValue &value : m_fake.modelStore().list(QStringLiteral("orders"))) {
        if (value.toObject().value(QStringLiteral("shopid")).toString() != QLatin1String("11"))
            orders.append(value);
    }
    m_fake.modelStore().setList(QStringLiteral("orders"), orders);
    const int shop = m_fake.modelStore().indexOf(QStringLiteral("shops"), QStringLiteral("id"), QStringLiteral("11"));
    QJsonObject shopObject = m_fake.modelStore().list(QStringLiteral("shops")).at(shop).toObject();
    shopObject.insert(QStringLiteral("goodsfoldernamerule"), kRule);
    m_fake.modelStore().replaceAt(QStringLiteral("shops"), shop, shopObject);
    FJDriver::recordBoxes();
    QVERIFY(FJDriver::login(QStringLiteral("tester"), QStringLiteral("secret")));
}

void TestFJHome::cleanup()
{
    ModalBox::setHook(nullptr);
    FJRightPanel::setDirectoryPicker(nullptr);
}

void TestFJHome::addOrder(const QString &orderPhotoId, const QString &number)
{
    const QString share = m_shares + QLatin1Char('/') + number;
    QVERIFY(SplitOrders::writeShare(share));
    m_fake.modelStore().append(QStringLiteral("orders"),
                               SplitOrders::order(QStringLiteral("11"), orderPhotoId, number, share));
}

void TestFJHome::modeEndToEnd_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<bool>("sheet");

    const QString products = QStringLiteral("厂A 张伟-李娜 05-01取 快递/");
    QTest::newRow("design split")
        << QStringLiteral("设计分件")
        << QStringList{products + QStringLiteral("A1001_摆台/p2.jpg"),
                       products + QStringLiteral("A1001_相册/p1.jpg"),
                       QStringLiteral("其他/入底/r1.jpg"),
                       QStringLiteral("其他/原始档/p1.CR2"),
                       QStringLiteral("其他/原始档/p2.CR2"),
                       QStringLiteral("其他/快递信息.txt"),
                       QStringLiteral("其他/成品/p1.jpg"),
                       QStringLiteral("其他/成品/p2.jpg"),
                       QStringLiteral("其他/明细制作单.pdf"),
                       QStringLiteral("其他/条形码.jpg"),
                       QStringLiteral("其他/标记/p1.jpg"),
                       QStringLiteral("其他/汰片/t1.jpg"),
                       QStringLiteral("其他/缩略图/p1.jpg"),
                       QStringLiteral("其他/缩略图/p2.jpg"),
                       QStringLiteral("其他/缩略图/r1.jpg"),
                       QStringLiteral("其他/裁剪/p1.jpg")}
        << QStringList() << true;
    QTest::newRow("raw files")
        << QStringLiteral("下载原始档")
        << QStringList{QStringLiteral("原始档/p1.CR2"), QStringLiteral("原始档/p2.CR2")}
        << QStringList{QStringLiteral("501-y1"), QStringLiteral("501-y2")} << false;
    QTest::newRow("selection results")
        << QStringLiteral("下载选片结果")
        << QStringList{QStringLiteral("其他/入底/r1.jpg"),
                       QStringLiteral("其他/成品/p1.jpg"),
                       QStringLiteral("其他/成品/p2.jpg"),
                       QStringLiteral("其他/成品原始档/p1.CR2"),
                       QStringLiteral("其他/成品原始档/p2.CR2"),
                       QStringLiteral("其他/明细制作单.pdf"),
                       QStringLiteral("其他/条形码.jpg"),
                       QStringLiteral("其他/标记/p1.jpg"),
                       QStringLiteral("其他/缩略图/p1.jpg"),
                       QStringLiteral("其他/缩略图/p2.jpg"),
                       QStringLiteral("其他/缩略图/r1.jpg"),
                       QStringLiteral("其他/裁剪/p1.jpg")}
        << QStringList{QStringLiteral("501-y1"), QStringLiteral("501-y2")} << true;
    QTest::newRow("photo delivery")
        << QStringLiteral("下载照片交付")
        << QStringList{QStringLiteral("原片/p1.jpg"),
                       QStringLiteral("原始档/p1.CR2"),
                       QStringLiteral("原始档/p2.CR2"),
                       QStringLiteral("简修/p1.jpg"),
                       QStringLiteral("简修/p2.jpg"),
                       QStringLiteral("精修/p1.jpg"),
                       QStringLiteral("精修/p2.jpg")}
        << QStringList() << false;
}

void TestFJHome::modeEndToEnd()
{
    QFETCH(QString, card);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, reported);
    QFETCH(bool, sheet);

    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    ChooseTools chooser;
    QPointer<FJHome> window = FJDriver::openFromChooser(chooser, card);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), card);
    QVERIFY(FJDriver::search(window, 1));
    if (window->mode == DownloadRawFiles) {
        QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
        QCOMPARE(window->rightPanel->currentRow, 0);
        QCOMPARE(window->rightPanel->currentOrder.undownloadedImages.size(), 2);
        QTest::mouseClick(window->rightPanel->undownloadedSelectAllButton, Qt::LeftButton);
    } else {
        QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    }
    if (window->mode == DownloadPhotoDelivery) {
        // The order asks for its raw files and simple retouches; the user adds
        // the originals.
        QVERIFY(window->rightPanel->rawBox->isChecked());
        QVERIFY(window->rightPanel->simpleRetouchBox->isChecked());
        window->rightPanel->originalBox->setChecked(true);
    }
    FJDriver::chooseFolder(window, m_target);
    QVERIFY(FJDriver::runBatch(window));

    QCOMPARE(FJDriver::lastBox(QStringLiteral("分件完成")).text, QStringLiteral("1个订单分件完成!"));
    const QString root = m_target + QLatin1Char('/') + SplitOrders::orderFolder(QStringLiteral("A1001"));
    expected.sort();
    QCOMPARE(filesUnder(root), expected);
    QStringList sent = FJDriver::fieldOf(m_fake, kDownloadSuccess, QStringLiteral("id"));
    sent.sort();
    QCOMPARE(sent, reported);
    QCOMPARE(m_fake.requestsFor(kDetail).size(), 1);
    QVERIFY(window->rightPanel->startButton->isEnabled());

    if (sheet) {
        const QString text = pdfText(root + QStringLiteral("/其他/明细制作单.pdf"));
        QVERIFY2(text.contains(QStringLiteral("A1001")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("一号店")));
        QVERIFY(text.contains(QStringLiteral("指定制作")));
        // The barcode came as PNG and is stored as the JPEG its name says.
        QImageReader barcode(root + QStringLiteral("/其他/条形码.jpg"));
        QCOMPARE(barcode.format(), QByteArray("jpeg"));
    }
    if (window->mode == DesignSplit) {
        QFile courier(root + QStringLiteral("/其他/快递信息.txt"));
        QVERIFY(courier.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(courier.readAll()), QStringLiteral("顺丰 SF1234567890"));
    }
    if (window->mode == DownloadRawFiles) {
        // The service moved both raw files to the downloaded list, and the
        // refreshed list shows it.
        QTRY_COMPARE_WITH_TIMEOUT(window->leftPanel->orders.size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(window->leftPanel->orders.first().downloadedImages.size(), 2, 10000);
        QCOMPARE(window->leftPanel->orders.first().undownloadedImages.size(), 0);
    }
    if (window->mode == DownloadPhotoDelivery) {
        QImageReader original(root + QStringLiteral("/原片/p1.jpg"));
        original.setAutoTransform(true);
        const QImage upright = original.read();
        QCOMPARE(upright.size(), QSize(160, 120));
        QCOMPARE(JpegFixture::quadrantLayout(upright), (QList<int>{0, 1, 2, 3}));
    }
    window->close();
    QTRY_VERIFY(!window);
}

QTEST_MAIN(TestFJHome)
#include "tst_fjhome.moc"
