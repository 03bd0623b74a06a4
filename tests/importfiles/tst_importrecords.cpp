// The import records: an order filled from the order list, the folder an
// order's files go to, and the checks a pick goes through.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "base/pathutil.h"
#include "base/safename.h"
#include "importfiles/jobs/importrecords.h"

namespace {

QJsonObject orderJson(const QString &shotdate, const QString &netpath, const QString &publicNetpath)
{
    return QJsonObject{
        {QStringLiteral("id"), QStringLiteral("5")},
        {QStringLiteral("order_photo_id"), QStringLiteral("305")},
        {QStringLiteral("orderpayforkey"), QStringLiteral("A100")},
        {QStringLiteral("servicetimes"), QStringLiteral("2")},
        {QStringLiteral("mname"), QStringLiteral("张 伟")},
        {QStringLiteral("wname"), QStringLiteral("李娜")},
        {QStringLiteral("shotdate"), shotdate},
        {QStringLiteral("storesname"), QStringLiteral("一号店")},
        {QStringLiteral("number_yuanpian"), QStringLiteral("12")},
        {QStringLiteral("netpath"), netpath},
        {QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), publicNetpath}}},
        {QStringLiteral("images"),
         QJsonArray{QJsonObject{{QStringLiteral("img_name"), QStringLiteral("IMG_1.JPG")}},
                    QJsonObject{{QStringLiteral("img_name"), QStringLiteral("a.b.JPG")}},
                    QJsonObject{{QStringLiteral("img_name"), QStringLiteral("noext")}}}},
    };
}

} // namespace

class TestImportRecords : public QObject
{
    Q_OBJECT

private slots:
    void fillsOrder();
    void shotDate_data();
    void shotDate();
    void orderFolder_data();
    void orderFolder();
    void orderFolderName_data();
    void orderFolderName();
    void subFolder_data();
    void subFolder();
    void pickedFile();
    void sameTargets_data();
    void sameTargets();
    void unselectedRetouched();
};

void TestImportRecords::fillsOrder()
{
    const ImportOrder order = ImportRecords::orderFromJson(orderJson(QStringLiteral("2024-3-7"), QString(),
                                                                     QStringLiteral("\\\\nas\\photos")),
                                                           4);
    QCOMPARE(order.row, 4);
    QCOMPARE(order.id, QStringLiteral("5"));
    QCOMPARE(order.order_photo_id, QStringLiteral("305"));
    QCOMPARE(order.number_yuanpian, QStringLiteral("12"));
    QCOMPARE(order.number_jingxiu, QString());
    QCOMPARE(order.storesname, QStringLiteral("一号店"));
    QCOMPARE(order.selectedNames, (QStringList{"IMG_1.jpg", "a.jpg", "noext."}));
    // No own folder: the share server comes from the common root.
    QCOMPARE(order.importPath, QString());
    QCOMPARE(order.publicNetpath, QStringLiteral("\\\\nas\\photos"));
    QCOMPARE(order.resolvedImportPath, QStringLiteral("nas"));
    QVERIFY(order.files.isEmpty());
}

void TestImportRecords::shotDate_data()
{
    QTest::addColumn<QString>("shotdate");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("short parts") << "2024-3-7" << QStringList{"2024", "03", "07"};
    QTest::newRow("full") << "2024-12-25" << QStringList{"2024", "12", "25"};
    QTest::newRow("two parts") << "2024-03" << QStringList{"1970", "01", "01"};
    QTest::newRow("empty") << "" << QStringList{"1970", "01", "01"};
    // The parts become folders: nothing but digits.
    QTest::newRow("climbing part") << "2024-..-07" << QStringList{"1970", "01", "01"};
}

void TestImportRecords::shotDate()
{
    QFETCH(QString, shotdate);
    QFETCH(QStringList, parts);
    const ImportOrder order = ImportRecords::orderFromJson(orderJson(shotdate, QString(), QString()), 0);
    QCOMPARE((QStringList{order.shotdate_year, order.shotdate_month, order.shotdate_day}), parts);
}

void TestImportRecords::orderFolder_data()
{
    QTest::addColumn<QString>("netpath");
    QTest::addColumn<QString>("publicRoot");
    QTest::addColumn<QString>("folder");
    QTest::newRow("own folder kept whatever the date") << "/srv/own/A100" << "/srv/share" << "/srv/own/A100";
    QTest::newRow("built under the common root")
        << "" << "/srv/share" << "/srv/share/2024\\03\\07\\A100-2_张伟_李娜";
    QTest::newRow("relative own folder refused") << "own/A100" << "/srv/share" << "";
    QTest::newRow("climbing own folder refused") << "/srv/own/../../etc" << "/srv/share" << "";
    QTest::newRow("relative common root refused") << "" << "share" << "";
}

void TestImportRecords::orderFolder()
{
    QFETCH(QString, netpath);
    QFETCH(QString, publicRoot);
    QFETCH(QString, folder);
    ImportOrder order = ImportRecords::orderFromJson(orderJson(QStringLiteral("2024-3-7"), netpath, publicRoot), 0);
    QCOMPARE(ImportRecords::settleOrderFolder(&order), folder);
    if (netpath.isEmpty() && !folder.isEmpty()) {
        // Built once, kept for every later pick and run.
        QCOMPARE(order.importPath, folder);
        order.publicImportPath = QStringLiteral("/elsewhere");
        QCOMPARE(ImportRecords::settleOrderFolder(&order), folder);
    }
}

// The order number and service count become a folder name that Windows
// can make: what no name may hold is dropped, a device name gets a "_".
void TestImportRecords::orderFolderName_data()
{
    QTest::addColumn<QString>("orderNumber");
    QTest::addColumn<QString>("photoNum");
    QTest::addColumn<QString>("name");
    QTest::newRow("characters no name may hold") << "A:1*2?3<4>5|6\"7" << "2" << "A1234567-2_张伟_李娜";
    // Windows takes a name for a device only when the device is all of it,
    // or all before its first dot.
    QTest::newRow("device name inside the folder name") << "aux" << "CON" << "aux-CON_张伟_李娜";
    QTest::newRow("device name before a dot") << "con.5" << "1" << "con_.5-1_张伟_李娜";
}

void TestImportRecords::orderFolderName()
{
    QFETCH(QString, orderNumber);
    QFETCH(QString, photoNum);
    QFETCH(QString, name);
    QJsonObject json = orderJson(QStringLiteral("2024-3-7"), QString(), QStringLiteral("/srv/share"));
    json.insert(QStringLiteral("orderpayforkey"), orderNumber);
    json.insert(QStringLiteral("servicetimes"), photoNum);
    ImportOrder order = ImportRecords::orderFromJson(json, 0);
    QCOMPARE(ImportRecords::settleOrderFolder(&order), QStringLiteral("/srv/share/2024\\03\\07\\") + name);
    QVERIFY(SafeName::isClean(name));
}

void TestImportRecords::subFolder_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("folder");
    QTest::newRow("jpg") << int(Originals) << "jpg" << "原片";
    QTest::newRow("JPEG") << int(Originals) << "JPEG" << "原片";
    QTest::newRow("Jpg goes with the raws") << int(Originals) << "Jpg" << "原始档";
    QTest::newRow("CR2") << int(Originals) << "CR2" << "原始档";
    QTest::newRow("png") << int(Originals) << "png" << "原始档";
    QTest::newRow("retouched jpg") << int(Retouched) << "jpg" << "精修片";
    QTest::newRow("retouched png") << int(Retouched) << "png" << "精修片";
}

void TestImportRecords::subFolder()
{
    QFETCH(int, type);
    QFETCH(QString, suffix);
    QFETCH(QString, folder);
    QCOMPARE(ImportRecords::subFolderFor(type, suffix), folder);
}

void TestImportRecords::pickedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.b.CR2"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1234, 'r'));
    file.close();
    ImportOrder order;
    order.row = 2;
    order.order_photo_id = QStringLiteral("302");
    order.pickGeneration = 9;
    order.importPath = QStringLiteral("/srv/share/A100");
    const ImportFile picked = ImportRecords::fileFromPath(path, order, 1, Originals);
    QCOMPARE(picked.baseName, QStringLiteral("a.b"));
    QCOMPARE(picked.suffix, QStringLiteral("CR2"));
    QCOMPARE(picked.size, qint64(1234));
    QCOMPARE(picked.status, int(Waiting));
    QCOMPARE(picked.orderRow, 2);
    QCOMPARE(picked.fileIndex, 1);
    QCOMPARE(picked.targetDir, QStringLiteral("/srv/share/A100/原始档"));
    QCOMPARE(picked.targetPath(), QStringLiteral("/srv/share/A100/原始档/a.b.CR2"));
    QCOMPARE(picked.orderPhotoId, QStringLiteral("302"));
    QCOMPARE(picked.pickGeneration, 9);
}

// "%e" is "e" with its accent as one letter (NFC), "%E" the same letter
// written as "e" and a combining accent (NFD, as a Mac writes names).
void TestImportRecords::sameTargets_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("clashes");
    QTest::newRow("names equal but for case")
        << int(Originals)
        << QStringList{"/card1/IMG_1.jpg", "/card2/IMG_1.JPG", "/card1/IMG_1.Jpg", "/card2/IMG_2.CR2",
                       "/card3/img_2.cr2", "/card1/IMG_3.jpg"}
        // IMG_1.Jpg goes to the raw folder, so it meets no other file there.
        << QStringList{"IMG_1.JPG", "img_2.cr2"};
    QTest::newRow("composed and decomposed") << int(Originals) << QStringList{"/a/caf%e.jpg", "/b/caf%E.jpg"}
                                             << QStringList{"caf%E.jpg"};
    QTest::newRow("decomposed capital, composed small") << int(Retouched)
                                                        << QStringList{"/a/CAF%E.JPG", "/b/caf%e.jpg"}
                                                        << QStringList{"caf%e.jpg"};
    QTest::newRow("Hangul syllable and its letters") << int(Originals) << QStringList{"/a/%h.CR2", "/b/%H.cr2"}
                                                     << QStringList{"%H.cr2"};
    // Different names that only look alike stay apart: no accent, and a
    // ligature, which NFC does not take apart.
    QTest::newRow("look-alikes") << int(Originals) << QStringList{"/a/cafe.jpg", "/b/caf%e.jpg", "/c/%fi.jpg", "/d/fi.jpg"}
                                 << QStringList();
}

void TestImportRecords::sameTargets()
{
    QFETCH(int, type);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, clashes);
    const auto spelled = [](QString text) {
        return text.replace(QLatin1String("%e"), QString(QChar(0x00E9)))
            .replace(QLatin1String("%E"), QStringLiteral("e") + QChar(0x0301))
            .replace(QLatin1String("%h"), QString(QChar(0xD55C)))
            .replace(QLatin1String("%H"), QString(QChar(0x1112)) + QChar(0x1161) + QChar(0x11AB))
            .replace(QLatin1String("%fi"), QString(QChar(0xFB01)));
    };
    ImportOrder order;
    order.importPath = QStringLiteral("/srv/A100");
    QList<ImportFile> files;
    for (const QString &path : qAsConst(paths))
        files.append(ImportRecords::fileFromPath(spelled(path), order, files.size(), type));
    QStringList expected;
    for (const QString &name : qAsConst(clashes))
        expected << spelled(name);
    QCOMPARE(ImportRecords::sameTargetNames(files), expected);
}

void TestImportRecords::unselectedRetouched()
{
    ImportOrder order = ImportRecords::orderFromJson(orderJson(QString(), QString(), QString()), 0);
    order.importPath = QStringLiteral("/srv/A100");
    QList<ImportFile> files;
    for (const QString &path : QStringList{"/edit/IMG_1.JPG", "/edit/img_1.jpg", "/edit/a.jpg", "/edit/b.jpg"})
        files.append(ImportRecords::fileFromPath(path, order, files.size(), Retouched));
    // Base names compare with case, suffixes without.
    QCOMPARE(ImportRecords::unselectedNames(files, order.selectedNames), (QStringList{"img_1.jpg", "b.jpg"}));
}

QTEST_GUILESS_MAIN(TestImportRecords)
#include "tst_importrecords.moc"
