// What an import run tells the service: the listing of an order's folders
// (only what really lies in them, whatever the tree holds), the two report
// bodies as the service decodes them, and the names the service wants
// imported again.

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "base/k.h"
#include "importfiles/jobs/importreport.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/importfiles/importfixture.h"
#include "tests/support/hostiletree.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

using ImportFixture::listed;

namespace {

bool writeFile(const QString &path, int size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

QStringList fieldNames(const QByteArray &body)
{
    QStringList names;
    for (const auto &field : FakeOrderService::decodeForm(body))
        names << field.first;
    return names;
}

QString field(const QByteArray &body, const QString &name)
{
    for (const auto &field : FakeOrderService::decodeForm(body)) {
        if (field.first == name)
            return field.second;
    }
    return QStringLiteral("<none>");
}

ImportOrder hostileOrder(const QString &importPath)
{
    ImportOrder order;
    order.id = QStringLiteral("5&x=1");
    order.order_photo_id = QStringLiteral("305");
    order.orderpayforkey = QStringLiteral("A<b>&1");
    order.servicetimes = QStringLiteral("2");
    order.importPath = importPath;
    return order;
}

} // namespace

class TestImportReport : public QObject
{
    Q_OBJECT

private slots:
    void listsOriginalFolders();
    void listsRetouchedFolder();
    void hostileTrees_data();
    void hostileTrees();
    void batchBody_data();
    void batchBody();
    void orderPathBody();
    void reimportNames();
    void reimportMessage();
};

void TestImportReport::listsOriginalFolders()
{
    QTemporaryDir dir;
    const QString order = dir.filePath(QStringLiteral("A100-1"));
    QVERIFY(QDir().mkpath(order + QStringLiteral("/原片")));
    QVERIFY(QDir().mkpath(order + QStringLiteral("/原始档/sub.cr2")));
    for (const char *name : {"a.jpg", "B.JPEG", "c.Jpg", "d.png", ".hidden.jpg", "a.jpg.Ab12Cd"})
        QVERIFY(writeFile(order + QStringLiteral("/原片/") + QString::fromUtf8(name), 10));
    for (const char *name : {"a.CR2", "b.nef", "c.tif", "d.arw.XyZ123"})
        QVERIFY(writeFile(order + QStringLiteral("/原始档/") + QString::fromUtf8(name), 2048));

    const ImportReport::FolderListing listing = ImportReport::listOrderFolder(order, Originals);
    // Any case of the suffix; hidden files, other kinds, folders and the
    // copy jobs' temporary files are not listed.
    const QMap<QString, QString> jpegs{{"a.jpg", "10"}, {"B.JPEG", "10"}, {"c.Jpg", "10"}};
    QCOMPARE(listed(listing.imgnames), jpegs);
    QCOMPARE(listing.jpegCount, 3);
    QCOMPARE(listed(listing.rawimgnames), (QMap<QString, QString>{{"a.CR2", "2048"}, {"b.nef", "2048"}}));
    QCOMPARE(listing.rawCount, 2);
    // Compact JSON, the size as a string.
    QVERIFY(!listing.imgnames.contains(QLatin1Char(' ')) && !listing.imgnames.contains(QLatin1Char('\n')));
    QVERIFY(listing.rawimgnames.contains(QStringLiteral("\"size\":\"2048\"")));

    // A folder with nothing in it, or none at all, is an empty list.
    const ImportReport::FolderListing none = ImportReport::listOrderFolder(dir.filePath(QStringLiteral("none")), Originals);
    QCOMPARE(none.imgnames, QStringLiteral("[]"));
    QCOMPARE(none.rawimgnames, QStringLiteral("[]"));
    QCOMPARE(none.jpegCount + none.rawCount, 0);
}

void TestImportReport::listsRetouchedFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("精修片"))));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("原片"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("精修片/r1.jpg")), 5));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("原片/o1.jpg")), 5));
    // Written the way the service hands out Windows folders.
    const ImportReport::FolderListing listing
        = ImportReport::listOrderFolder(dir.path() + QStringLiteral("\\"), Retouched);
    QCOMPARE(listed(listing.imgnames), (QMap<QString, QString>{{"r1.jpg", "5"}}));
    QCOMPARE(listing.jpegCount, 1);
    QCOMPARE(listing.rawCount, 0);
}

void TestImportReport::hostileTrees_data()
{
    HostileTree::addCases();
}

// The order's own "own.jpg" and "own.cr2" beside the case planted in its
// "原片": only the order's own files are listed, with their own sizes. While
// "原片" flips to a link, a listing may miss the folder but never lists what
// the link leads to.
void TestImportReport::hostileTrees()
{
    QFETCH(int, hostile);
    QTemporaryDir dir;
    const HostileTree tree(dir.path());
    std::unique_ptr<TinyVolume> volume;
    QString order = dir.filePath(QStringLiteral("order"));
    if (hostile == HostileTree::FullVolume) {
        volume = std::make_unique<TinyVolume>(256 * 1024);
        if (!volume->isValid())
            QSKIP(TinyVolume::unavailableReason());
        order = volume->filePath(QStringLiteral("order"));
    }
    QVERIFY(TreeFixture::write(order + QStringLiteral("/原片/own.jpg"), "own"));
    QVERIFY(TreeFixture::write(order + QStringLiteral("/原始档/own.cr2"), "own raw"));
    QMap<QString, QString> jpegs{{"own.jpg", "3"}};
    QMap<QString, QString> raws{{"own.cr2", "7"}};
    const QString special = order + QStringLiteral("/原片/victim.jpg");
    QString why;
    switch (HostileTree::Case(hostile)) {
    case HostileTree::LinkAsTarget:
        QVERIFY(tree.linkToVictim(order + QStringLiteral("/原片/victim.jpg")));
        QVERIFY(tree.linkToVictim(order + QStringLiteral("/原始档/victim.cr2")));
        break;
    case HostileTree::DanglingLink:
        QVERIFY(tree.linkToVictim(order + QStringLiteral("/原片/victim.jpg"), true));
        break;
    case HostileTree::LinkedSubFolder:
        QVERIFY(QDir(order + QStringLiteral("/原片")).removeRecursively());
        QVERIFY(tree.linkToOutside(order + QStringLiteral("/原片")));
        jpegs.clear();
        break;
    case HostileTree::OrderFolderIsLink:
        QVERIFY(QDir(order).removeRecursively());
        QVERIFY(tree.linkToOutside(order));
        jpegs.clear();
        raws.clear();
        break;
    case HostileTree::BackslashName:
        // The service would read it as deep/deeper/victim.jpg.
        QVERIFY(TreeFixture::write(order + QStringLiteral("/原片/deep\\deeper\\victim.jpg"), "one name"));
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget:
        if (!HostileTree::plantSpecial(HostileTree::Case(hostile), special, &why))
            QSKIP(qPrintable(why));
        break;
    case HostileTree::FlippingFolder:
        break;
    case HostileTree::FullVolume:
        QVERIFY(volume->fill(0));
        break;
    }

    if (hostile == HostileTree::FlippingFolder) {
        int flips = 0;
        {
            FolderFlipper flipper(order + QStringLiteral("/原片"), tree.outside());
            QElapsedTimer clock;
            clock.start();
            for (int run = 0; run < 300 && clock.elapsed() < 1500; ++run) {
                const ImportReport::FolderListing listing = ImportReport::listOrderFolder(order, Originals);
                const QMap<QString, QString> listedJpegs = listed(listing.imgnames);
                QVERIFY2(listedJpegs.isEmpty() || listedJpegs == jpegs, qPrintable(listing.imgnames));
                QCOMPARE(listing.jpegCount, listedJpegs.size());
                QCOMPARE(listed(listing.rawimgnames), raws);
            }
            flips = flipper.flips();
        }
        QVERIFY(flips > 0);
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        return;
    }

    // A listing that opened the pipe would block there until this lets it go.
    const FifoReleaser releaser(hostile == HostileTree::FifoAsTarget ? QStringList{special} : QStringList());
    for (int round = 0; round < 2; ++round) {
        const ImportReport::FolderListing listing = ImportReport::listOrderFolder(order, Originals);
        QCOMPARE(listed(listing.imgnames), jpegs);
        QCOMPARE(listing.jpegCount, jpegs.size());
        QCOMPARE(listed(listing.rawimgnames), raws);
        QCOMPARE(listing.rawCount, raws.size());
    }
    QVERIFY(!releaser.released());
    if (HostileTree::isSpecialTarget(HostileTree::Case(hostile)))
        QVERIFY(HostileTree::isSpecialAt(special));
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
}

void TestImportReport::batchBody_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("originals") << int(Originals)
                               << QStringList{"shopid", "imgnames", "rawimgnames", "type", "order_photo_id", "eid",
                                              "superid", "personid", "person_id", "orderid", "localpath"};
    QTest::newRow("retouched") << int(Retouched)
                               << QStringList{"shopid", "imgnames", "type", "order_photo_id", "eid", "superid",
                                              "personid", "person_id", "orderid", "localpath"};
}

void TestImportReport::batchBody()
{
    QFETCH(int, type);
    QFETCH(QStringList, names);
    ImportOrder order = hostileOrder(QStringLiteral("\\\\nas\\photos\\A100\\/"));
    order.resolvedImportPath = QStringLiteral("nas");
    ImportReport::FolderListing listing;
    listing.imgnames = QStringLiteral("[{\"name\":\"a+b&c%41.jpg\",\"size\":\"3\"}]");
    listing.rawimgnames = QStringLiteral("[{\"name\":\"x=1#.cr2\",\"size\":\"4\"}]");
    const ImportReport::Branch branch{QStringLiteral("11"), QStringLiteral("7001"), QStringLiteral("9001")};

    const QByteArray body = ImportReport::batchBody(order, listing, type, branch);
    QCOMPARE(fieldNames(body), names);
    QCOMPARE(field(body, "type"), type == Retouched ? QStringLiteral("5") : QStringLiteral("1"));
    // Every value arrives as it was meant, whatever characters it holds.
    QCOMPARE(field(body, "imgnames"), listing.imgnames);
    if (type == Originals)
        QCOMPARE(field(body, "rawimgnames"), listing.rawimgnames);
    QCOMPARE(field(body, "orderid"), QStringLiteral("5&x=1"));
    QCOMPARE(field(body, "shopid"), QStringLiteral("11"));
    QCOMPARE(field(body, "eid"), QStringLiteral("7001"));
    QCOMPARE(field(body, "personid"), QStringLiteral("7001"));
    QCOMPARE(field(body, "person_id"), QStringLiteral("7001"));
    QCOMPARE(field(body, "superid"), QStringLiteral("9001"));
    // The folder without its trailing separators.
    QCOMPARE(field(body, "localpath"), QStringLiteral("\\\\nas\\photos\\A100"));
}

void TestImportReport::orderPathBody()
{
    ImportOrder order = hostileOrder(QStringLiteral("/Volumes/photos/A 100&1/"));
    order.resolvedImportPath = QStringLiteral("nas");
    const ImportReport::Branch branch{QStringLiteral("12"), QStringLiteral("7002"), QStringLiteral("9001")};
    const QByteArray body = ImportReport::orderPathBody(order, QStringLiteral("6601"), branch);
    QCOMPARE(fieldNames(body), (QStringList{"order_photo_id", "person_id", "path", "shopid", "eid", "superid",
                                            "personid"}));
    QCOMPARE(field(body, "person_id"), QStringLiteral("6601"));
    QCOMPARE(field(body, "personid"), QStringLiteral("7002"));
    // A mounted share is sent as the share path, trailing separator kept.
    QCOMPARE(field(body, "path"), QStringLiteral("\\\\nas\\photos\\A 100&1\\"));
}

void TestImportReport::reimportNames()
{
    const QJsonObject reply{
        {QStringLiteral("local_imgnames"), QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("a.jpg")}}}},
        {QStringLiteral("server_rawimgnames"),
         QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("b.cr2")}}}},
        {QStringLiteral("server_imgnames"), QStringLiteral("not a list")},
    };
    const ImportReport::Reimport originals = ImportReport::reimportNames(reply, Originals);
    QCOMPARE(originals.localImages, QStringList{"a.jpg"});
    QVERIFY(originals.serverImages.isEmpty());
    QVERIFY(originals.localRaws.isEmpty());
    QCOMPARE(originals.serverRaws, QStringList{"b.cr2"});
    // Retouched answers have no raw lists.
    const ImportReport::Reimport retouched = ImportReport::reimportNames(
        QJsonObject{{QStringLiteral("server_rawimgnames"), reply.value(QStringLiteral("server_rawimgnames"))}}, Retouched);
    QVERIFY(retouched.isEmpty());
    QVERIFY(ImportReport::reimportNames(QJsonObject(), Originals).isEmpty());
}

void TestImportReport::reimportMessage()
{
    const ImportOrder order = hostileOrder(QString());
    ImportReport::Reimport names;
    names.serverRaws = QStringList{QStringLiteral("<img src=x onerror=1>.cr2")};
    // Sizes of the dialog's own text, the order a step above it.
    const QString text = QStringLiteral("font-size: ") + K::instance()->scaleText(11) + QStringLiteral("px;");
    const QString heading = QStringLiteral("font-size: ") + K::instance()->scaleText(12) + QStringLiteral("px;");
    const QString header = QStringLiteral("<span style=\"") + heading
        + QStringLiteral(" font-weight: 600; color: #000; \"> 订单: A&lt;b&gt;&amp;1-2</span>");
    const QString item = QStringLiteral("<br/><span style=\"") + text + QStringLiteral(" color: #FF0000;\">");
    const QString title = QStringLiteral("<br/> <span style=\"") + text + QStringLiteral(" font-weight: 550 \">");
    // Only the raw section: no name of the originals' lists.
    QCOMPARE(ImportReport::reimportMessage(order, names, Originals),
             header
                 + title + QStringLiteral("以下原始档需要重新导入:</span>")
                 + item + QStringLiteral("&lt;img src=x onerror=1&gt;.cr2</span>"));

    names = ImportReport::Reimport();
    names.localImages = QStringList{QStringLiteral("l.jpg")};
    names.serverImages = QStringList{QStringLiteral("s.jpg")};
    QCOMPARE(ImportReport::reimportMessage(order, names, Retouched),
             header
                 + title + QStringLiteral("以下精修照片需要重新导入:</span>")
                 + item + QStringLiteral("l.jpg</span>") + item + QStringLiteral("s.jpg</span>"));
}

TINYVOLUME_TEST_MAIN(TestImportReport)
#include "tst_importreport.moc"
