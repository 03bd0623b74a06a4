// Saving a downloaded picture or text into an order folder: bytes already in
// the format the name asks for are written as received (a camera JPEG keeps
// its EXIF block), another format is converted, anything else is refused
// without touching the folder.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "designsplit/jobs/fjdownloadsave.h"
#include "tests/support/jpegfixture.h"

namespace {

QByteArray encoded(const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    JpegFixture::quadrants(64, 48).save(&buffer, format);
    return bytes;
}

QByteArray cameraJpeg()
{
    JpegFixture::Options options;
    options.orientation = 6;
    return JpegFixture::encode(JpegFixture::storedFor(JpegFixture::quadrants(64, 48), 6), options);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class Receiver : public QObject
{
    Q_OBJECT

public:
    QList<QVariantList> reports;

public slots:
    void onDownloadSaved(int sequence, bool ok, QString path, QString message)
    {
        reports.append({sequence, ok, path, message});
    }
};

class TestFJDownloadSave : public QObject
{
    Q_OBJECT

private slots:
    void save_data();
    void save();
    void replacesOldPictureWhole();
    void reportsToOwner();
};

void TestFJDownloadSave::save_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("asText");
    QTest::addColumn<bool>("ok");
    // "same": the file holds the bytes received; otherwise the format the
    // file must be in; empty when no file may exist.
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("message");

    QTest::newRow("camera jpeg kept byte for byte") << cameraJpeg() << "p1.jpg" << false << true << QByteArray("same") << "";
    QTest::newRow("jpeg under .JPEG") << cameraJpeg() << "p1.JPEG" << false << true << QByteArray("same") << "";
    QTest::newRow("png as png") << encoded("PNG") << "mark.png" << false << true << QByteArray("same") << "";
    QTest::newRow("png named jpg is converted") << encoded("PNG") << "条形码.jpg" << false << true << QByteArray("jpeg") << "";
    QTest::newRow("jpeg named png is converted") << cameraJpeg() << "crop.png" << false << true << QByteArray("png") << "";
    QTest::newRow("no suffix keeps the bytes") << encoded("PNG") << "barcode" << false << true << QByteArray("same") << "";
    QTest::newRow("html error page") << QByteArray("<html><body>502 Bad Gateway</body></html>") << "p2.jpg" << false
                                     << false << QByteArray() << "p2.jpg 不是有效的图片";
    QTest::newRow("truncated png named jpg") << encoded("PNG").left(40) << "p3.jpg" << false << false << QByteArray()
                                             << "p3.jpg 不是有效的图片";
    QTest::newRow("name leaving the folder") << cameraJpeg() << "../p1.jpg" << false << false << QByteArray()
                                             << "../p1.jpg 文件名非法";
    QTest::newRow("name with a separator") << cameraJpeg() << "a\\b.jpg" << false << false << QByteArray()
                                           << "a\\b.jpg 文件名非法";
    QTest::newRow("courier text") << QString("顺丰 SF1\n地址：城南路").toUtf8() << "快递信息.txt" << true << true
                                  << QByteArray("same") << "";
}

void TestFJDownloadSave::save()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, name);
    QFETCH(bool, asText);
    QFETCH(bool, ok);
    QFETCH(QByteArray, stored);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString order = dir.path() + QStringLiteral("/订单/");
    const QString folder = order + QStringLiteral("其他/标记/");
    QString path;
    QString error;
    QCOMPARE(FJDownloadSave::save(data, order, folder, name, asText, &path, &error), ok);
    QCOMPARE(error, message);
    QCOMPARE(path, folder + name);
    if (stored.isEmpty()) {
        // Nothing written, here or a level up.
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(order + QStringLiteral("其他/p1.jpg")));
        return;
    }
    if (stored == "same") {
        QCOMPARE(readAll(path), data);
        return;
    }
    QImageReader reader(path);
    QCOMPARE(reader.format(), stored);
    reader.setAutoTransform(true);
    // Converted upright: what a viewer showed of the downloaded picture.
    QCOMPARE(JpegFixture::quadrantLayout(reader.read()), (QList<int>{0, 1, 2, 3}));
}

void TestFJDownloadSave::replacesOldPictureWhole()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QString path;
    QVERIFY(FJDownloadSave::save(encoded("PNG"), folder, folder, QStringLiteral("条形码.jpg"), false, &path, nullptr));
    const QByteArray first = readAll(path);
    // A later download that is no picture leaves the earlier one in place.
    QVERIFY(!FJDownloadSave::save(QByteArray("oops"), folder, folder, QStringLiteral("条形码.jpg"), false, &path, nullptr));
    QCOMPARE(readAll(path), first);
    QVERIFY(FJDownloadSave::save(cameraJpeg(), folder, folder, QStringLiteral("条形码.jpg"), false, &path, nullptr));
    QCOMPARE(readAll(path), cameraJpeg());
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("条形码.jpg")});
}

void TestFJDownloadSave::reportsToOwner()
{
    QTemporaryDir dir;
    Receiver receiver;
    QThreadPool pool;
    const QString order = dir.path() + QLatin1Char('/');
    pool.start(new FJDownloadSave(cameraJpeg(), order, order, QStringLiteral("a.jpg"), false, 7, &receiver));
    pool.start(new FJDownloadSave(QByteArray("x"), order, order, QStringLiteral("b.jpg"), false, 8, &receiver));
    pool.waitForDone();
    QTRY_COMPARE(receiver.reports.size(), 2);
    std::sort(receiver.reports.begin(), receiver.reports.end(),
              [](const QVariantList &a, const QVariantList &b) { return a.at(0).toInt() < b.at(0).toInt(); });
    QCOMPARE(receiver.reports.at(0), (QVariantList{7, true, dir.path() + QStringLiteral("/a.jpg"), QString()}));
    QCOMPARE(receiver.reports.at(1),
             (QVariantList{8, false, dir.path() + QStringLiteral("/b.jpg"), QStringLiteral("b.jpg 不是有效的图片")}));
}

QTEST_MAIN(TestFJDownloadSave)
#include "tst_fjdownloadsave.moc"
