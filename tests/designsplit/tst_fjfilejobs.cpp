#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "base/fileops.h"
#include "designsplit/jobs/fjdatathread.h"
#include "tests/support/jobreceiver.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"
#include "imaging/tfimageprocessing.h"

namespace {

QByteArray readAll(const QString &path)
{
    return TreeFixture::read(path);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    return TreeFixture::write(path, data);
}

QStringList filesBelow(const QString &root)
{
    return TreeFixture::below(root);
}

// A file job writing inside the order folder orderRoot, as its builders
// make it.
FJDataThread *fileJob(const QString &mode, const QString &category, const QString &source, const QString &name,
                      const QString &dest, const QString &orderRoot, QObject *owner)
{
    auto *job = new FJDataThread(mode, category, source, name, dest, owner);
    job->orderRoot = orderRoot;
    return job;
}

const QString kDelivery = QStringLiteral("下载照片交付-拷贝原片");
const QString kRawDelivery = QStringLiteral("下载照片交付-拷贝原始档");

// A camera's photo: a real scene stored sideways (orientation 6), the
// camera's make, model and capture date, and its sRGB colour profile.
JpegFixture::Options cameraOptions()
{
    JpegFixture::Options options;
    options.orientation = 6;
    options.sampling = 422;
    options.quality = 92;
    options.cameraMake = QStringLiteral("Canon");
    options.cameraModel = QStringLiteral("EOS R6");
    options.dateTaken = QStringLiteral("2024:05:01 10:20:30");
    options.iccProfile = QColorSpace(QColorSpace::SRgb).iccProfile();
    return options;
}

} // namespace

class TestFJFileJobs : public QObject
{
    Q_OBJECT

private slots:
    void copyIntoFolder_data();
    void copyIntoFolder();
    void unknownModeSendsNoReport_data();
    void unknownModeSendsNoReport();
    void ownerWithoutSlotStillEnds();
    void secondRawDelivery_data();
    void secondRawDelivery();
    void exifCopyTurnsUpright_data();
    void exifCopyTurnsUpright();
    void exifCopyOfUprightIsByteCopy();
    void cameraJpegDeliveredUpright_data();
    void cameraJpegDeliveredUpright();
    void cutShortJpegFails_data();
    void cutShortJpegFails();
    void exifCopyThatCannotBeWrittenFails();
    void fullDisk_data();
    void fullDisk();
    void exifCopyMissingSource();
    void dataUrlImage_data();
    void dataUrlImage();
    void category_data();
    void category();
    void categoryRewritesEscapedSource();
    void categorySecondRun_data();
    void categorySecondRun();

private:
    // Builds the photo tree of the photo-transfer layout under root.
    void makeTree(const QString &root);
};

void TestFJFileJobs::makeTree(const QString &root)
{
    const QStringList files = {
        QStringLiteral("x/all/a.jpg"),       QStringLiteral("x/90/a.jpg"),     QStringLiteral("x/原始档/a.CR2"),
        QStringLiteral("x/all/b.c.jpg"),     QStringLiteral("x/原始档/b.nef"), QStringLiteral("x/原始档/b.c.raw"),
        QStringLiteral("y/all/n.jpg"),       QStringLiteral("y/90/n.jpg"),     QStringLiteral("all/z/all/t.jpg"),
        QStringLiteral("all/z/90/t.jpg"),
    };
    for (const QString &f : files)
        QVERIFY(writeFile(root + QLatin1Char('/') + f, f.toUtf8()));
}

void TestFJFileJobs::copyIntoFolder_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("message");

    QTest::newRow("raw download into new folder") << QStringLiteral("下载原始档") << QString() << QStringLiteral("a.jpg")
                                                  << true << QStringLiteral("p42") << QString();
    QTest::newRow("retouched download") << QStringLiteral("下载精修片") << QString() << QStringLiteral("a.jpg") << true
                                        << QStringLiteral("p42") << QString();
    QTest::newRow("target exists") << QStringLiteral("下载精修片") << QStringLiteral("target") << QStringLiteral("a.jpg")
                                   << false << QString() << QStringLiteral("a.jpg 拷贝失败：已存在且内容不同，未覆盖");
    // Downloaded before (a second run, or one cut short): done, and
    // reported as downloaded.
    QTest::newRow("same file there") << QStringLiteral("下载原始档") << QStringLiteral("same") << QStringLiteral("a.jpg")
                                     << true << QStringLiteral("p42") << QString();
    QTest::newRow("folder cannot be made") << QStringLiteral("下载原始档") << QStringLiteral("blocked")
                                           << QStringLiteral("a.jpg") << false << QString()
                                           << QStringLiteral("<dest> 路径创建失败/连接不上服务端");
    QTest::newRow("name climbs out") << QStringLiteral("下载原始档") << QString() << QStringLiteral("../a.jpg") << false
                                     << QString() << QStringLiteral("../a.jpg 文件名非法");
    QTest::newRow("name with separator") << QStringLiteral("下载原始档") << QString() << QStringLiteral("sub\\a.jpg")
                                         << false << QString() << QStringLiteral("sub\\a.jpg 文件名非法");
}

void TestFJFileJobs::copyIntoFolder()
{
    QFETCH(QString, mode);
    QFETCH(QString, setup);
    QFETCH(QString, fileName);
    QFETCH(bool, ok);
    QFETCH(QString, detail);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("share/a.jpg"));
    QVERIFY(writeFile(source, "photo"));
    const QString dest = dir.filePath(QStringLiteral("out/原始档"));
    if (setup == QLatin1String("target"))
        QVERIFY(writeFile(dest + QStringLiteral("/a.jpg"), "older"));
    if (setup == QLatin1String("same"))
        QVERIFY(writeFile(dest + QStringLiteral("/a.jpg"), "photo"));
    if (setup == QLatin1String("blocked"))
        QVERIFY(writeFile(dir.filePath(QStringLiteral("out")), "a file where the folder goes"));

    JobReceiver receiver;
    auto *job = fileJob(mode, QStringLiteral("jpg"), source, fileName, dest, dir.filePath(QStringLiteral("out/")), &receiver);
    job->photoId = QStringLiteral("p42");
    const JobReport report = receiver.runOne(job);
    QCOMPARE(report.ok, ok);
    QCOMPARE(report.mode, mode);
    QCOMPARE(report.source, source);
    QCOMPARE(report.detail, detail);
    QCOMPARE(report.message, QString(message).replace(QStringLiteral("<dest>"), dest));

    if (ok)
        QCOMPARE(readAll(dest + QStringLiteral("/a.jpg")), QByteArray("photo"));
    if (setup == QLatin1String("target"))
        QCOMPARE(readAll(dest + QStringLiteral("/a.jpg")), QByteArray("older"));
    // Nothing lands outside the destination folder.
    QCOMPARE(filesBelow(dir.path()).filter(QStringLiteral("a.jpg")).size(), ok || setup == QLatin1String("target") ? 2 : 1);
}

void TestFJFileJobs::unknownModeSendsNoReport_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("category");
    QTest::newRow("trailing blank") << QStringLiteral("下载精修片 ") << QString();
    QTest::newRow("other text") << QStringLiteral("copy") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("category outside the six") << QStringLiteral("拷贝照片") << QStringLiteral("精修");
}

void TestFJFileJobs::unknownModeSendsNoReport()
{
    QFETCH(QString, mode);
    QFETCH(QString, category);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("x/all/a.jpg"));
    QVERIFY(writeFile(source, "photo"));
    JobReceiver receiver;
    const QList<JobReport> reports = receiver.run(
        {new FJDataThread(mode, category, source, QStringLiteral("a.jpg"), dir.filePath(QStringLiteral("out/")), &receiver)});
    QVERIFY(reports.isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
}

void TestFJFileJobs::ownerWithoutSlotStillEnds()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(writeFile(source, "photo"));
    QObject plain;
    JobReceiver receiver;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("No such method")));
    receiver.run({fileJob(QStringLiteral("下载原始档"), QString(), source, QStringLiteral("a.jpg"),
                          dir.filePath(QStringLiteral("out")), dir.path(), &plain)});
    QCOMPARE(readAll(dir.filePath(QStringLiteral("out/a.jpg"))), QByteArray("photo"));
}

void TestFJFileJobs::secondRawDelivery_data()
{
    QTest::addColumn<QByteArray>("there");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::newRow("the same bytes: done") << QByteArray("raw") << true << QString();
    QTest::newRow("another file: kept and said")
        << QByteArray("worked on by the studio") << false << QStringLiteral("a.CR2 拷贝失败：已存在且内容不同，未覆盖");
}

void TestFJFileJobs::secondRawDelivery()
{
    // The same delivery run twice into the same folder: the raw file of the
    // first run is found there, or one the studio put in its place.
    QFETCH(QByteArray, there);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("share/原始档/a.CR2"));
    QVERIFY(writeFile(source, "raw"));
    const QString order = dir.filePath(QStringLiteral("out/"));
    const QString target = order + QStringLiteral("原始档/a.CR2");
    QVERIFY(QDir().mkpath(QFileInfo(target).path()));
    const auto job = [&](JobReceiver *receiver) {
        return fileJob(kRawDelivery, QStringLiteral("原始档"), source, QStringLiteral("a.CR2"), target, order, receiver);
    };

    JobReceiver receiver;
    JobReport r = receiver.runOne(job(&receiver));
    QVERIFY(r.ok);
    QCOMPARE(r.source, source);
    QCOMPARE(readAll(target), QByteArray("raw"));

    QVERIFY(writeFile(target, there));
    r = receiver.runOne(job(&receiver));
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.message, message);
    QCOMPARE(readAll(target), there);
    QCOMPARE(filesBelow(order), QStringList{QStringLiteral("原始档/a.CR2")});
}

void TestFJFileJobs::exifCopyTurnsUpright_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("xmpFirst");
    QTest::addColumn<bool>("asLong");
    QTest::addColumn<QString>("name");
    QTest::newRow("6") << 6 << false << false << QStringLiteral("a.jpg");
    QTest::newRow("8, upper-case suffix") << 8 << false << false << QStringLiteral("a.JPG");
    QTest::newRow("3, .jpeg") << 3 << false << false << QStringLiteral("a.jpeg");
    // Orientations Qt's own reader does not see.
    QTest::newRow("6 behind an XMP block") << 6 << true << false << QStringLiteral("a.jpg");
    QTest::newRow("6 stored as LONG") << 6 << false << true << QStringLiteral("a.jpg");
}

void TestFJFileJobs::exifCopyTurnsUpright()
{
    QFETCH(int, orientation);
    QFETCH(bool, xmpFirst);
    QFETCH(bool, asLong);
    QFETCH(QString, name);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("share/") + name);
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("share"))));
    JpegFixture::Options options;
    options.xmpFirst = xmpFirst;
    options.orientationAsLong = asLong;
    QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, orientation, options));
    const QString target = dir.filePath(QStringLiteral("out/原片/") + name);
    QVERIFY(writeFile(target, "an older delivery copy"));

    JobReceiver receiver;
    const JobReport r = receiver.runOne(
        fileJob(kDelivery, QStringLiteral("原片"), source, name, target, dir.filePath(QStringLiteral("out/")), &receiver));
    QCOMPARE(r.message, QString());
    QVERIFY(r.ok);

    // Upright as stored: no orientation is left to turn it again, and read
    // without any transformation it shows the upright quadrants.
    QCOMPARE(TfImage::readExifOrientation(target), 1);
    QImageReader reader(target);
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(60, 40));
    QCOMPARE(JpegFixture::quadrantLayout(image), QList<int>({0, 1, 2, 3}));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out/原片"))).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

void TestFJFileJobs::exifCopyOfUprightIsByteCopy()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, 1));
    const QString target = dir.filePath(QStringLiteral("out/a.jpg"));
    QVERIFY(writeFile(target, "older"));
    JobReceiver receiver;
    const JobReport r = receiver.runOne(
        fileJob(kDelivery, QString(), source, QStringLiteral("a.jpg"), target, dir.filePath(QStringLiteral("out/")), &receiver));
    QVERIFY(r.ok);
    QCOMPARE(readAll(target), readAll(source));
}

void TestFJFileJobs::cameraJpegDeliveredUpright_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("quality");
    // A camera's own size is whole blocks: turned without decoding. A
    // cropped one is not: decoded, turned and encoded again at about its
    // own quality.
    QTest::newRow("turned without loss") << QSize(640, 480) << 92;
    QTest::newRow("re-encoded") << QSize(642, 478) << 92;
    QTest::newRow("re-encoded, lower quality") << QSize(642, 478) << 75;
}

void TestFJFileJobs::cameraJpegDeliveredUpright()
{
    QFETCH(QSize, size);
    QFETCH(int, quality);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("share/IMG_0001.jpg"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("share"))));
    JpegFixture::Options options = cameraOptions();
    options.quality = quality;
    const QImage upright = JpegFixture::scene(size.width(), size.height());
    QVERIFY(JpegFixture::write(source, JpegFixture::storedFor(upright, 6), options));
    const QString order = dir.filePath(QStringLiteral("out/"));
    const QString target = order + QStringLiteral("原片/IMG_0001.jpg");
    QVERIFY(QDir().mkpath(QFileInfo(target).path()));

    JobReceiver receiver;
    const JobReport r = receiver.runOne(
        fileJob(kDelivery, QStringLiteral("原片"), source, QStringLiteral("IMG_0001.jpg"), target, order, &receiver));
    QCOMPARE(r.message, QString());
    QVERIFY(r.ok);

    const QByteArray copy = readAll(target);
    const JpegFixture::ExifTags exif = JpegFixture::readExif(copy);
    QVERIFY(exif.found);
    QCOMPARE(exif.orientation, 1);
    QCOMPARE(exif.cameraMake, options.cameraMake);
    QCOMPARE(exif.cameraModel, options.cameraModel);
    QCOMPARE(exif.dateTaken, options.dateTaken);
    QVERIFY2(copy.contains(options.iccProfile), "the colour profile is lost");
    // Stored upright, and near the camera's own quality: no larger than the
    // camera's file by more than a tenth.
    QImageReader reader(target);
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    QCOMPARE(image.size(), size);
    QCOMPARE(JpegFixture::cellDifference(upright, image, 16, 12), QString());
    const qint64 sourceSize = QFileInfo(source).size();
    QVERIFY2(copy.size() <= sourceSize * 11 / 10, qPrintable(QStringLiteral("%1 bytes from %2").arg(copy.size()).arg(sourceSize)));
    QCOMPARE(filesBelow(order), QStringList{QStringLiteral("原片/IMG_0001.jpg")});
}

void TestFJFileJobs::cutShortJpegFails_data()
{
    QTest::addColumn<bool>("older");
    QTest::newRow("first delivery") << false;
    QTest::newRow("over an older delivery copy") << true;
}

void TestFJFileJobs::cutShortJpegFails()
{
    // A photo whose copy onto the share broke off at 60 %: decoded, it
    // would show a grey band; it is not delivered at all.
    QFETCH(bool, older);
    QTemporaryDir dir;
    const QByteArray whole = JpegFixture::encode(JpegFixture::storedFor(JpegFixture::scene(320, 240), 6), cameraOptions());
    const QString source = dir.filePath(QStringLiteral("share/IMG_0001.jpg"));
    QVERIFY(writeFile(source, whole.left(whole.size() * 6 / 10)));
    const QString order = dir.filePath(QStringLiteral("out/"));
    const QString target = order + QStringLiteral("原片/IMG_0001.jpg");
    QVERIFY(QDir().mkpath(QFileInfo(target).path()));
    if (older)
        QVERIFY(writeFile(target, "an older delivery copy"));

    JobReceiver receiver;
    const JobReport r = receiver.runOne(
        fileJob(kDelivery, QStringLiteral("原片"), source, QStringLiteral("IMG_0001.jpg"), target, order, &receiver));
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QStringLiteral("IMG_0001.jpg 拷贝失败：") + TfImage::truncatedText());
    QCOMPARE(filesBelow(order), older ? QStringList{QStringLiteral("原片/IMG_0001.jpg")} : QStringList());
    if (older)
        QCOMPARE(readAll(target), QByteArray("an older delivery copy"));
}

void TestFJFileJobs::exifCopyThatCannotBeWrittenFails()
{
    // A turned JPEG under a suffix no image writer knows: it cannot be
    // written upright, so it is not delivered (an unturned copy would show
    // sideways), the older copy stays and nothing is left beside it.
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("a.vqx"));
    QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, 6));
    const QString target = dir.filePath(QStringLiteral("out/a.vqx"));
    QVERIFY(writeFile(target, "older"));
    JobReceiver receiver;
    const JobReport r = receiver.runOne(
        fileJob(kDelivery, QString(), source, QStringLiteral("a.vqx"), target, dir.filePath(QStringLiteral("out/")), &receiver));
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QStringLiteral("a.vqx 拷贝失败：不支持的图片格式"));
    QCOMPARE(readAll(target), QByteArray("older"));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden), QStringList{"a.vqx"});
}

void TestFJFileJobs::fullDisk_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("orientation"); // 0: a raw file
    QTest::newRow("delivery copy turned upright") << kDelivery << 6;
    QTest::newRow("delivery copy of an upright photo") << kDelivery << 1;
    QTest::newRow("raw delivery") << kRawDelivery << 0;
    QTest::newRow("raw download") << QStringLiteral("下载原始档") << 0;
}

void TestFJFileJobs::fullDisk()
{
    // The order folder on a volume without room for the copy: the job says
    // the disk is full, never delivers an unturned copy instead, and an
    // older delivery copy stays whole.
    QFETCH(QString, mode);
    QFETCH(int, orientation);
    TinyVolume volume(256 * 1024);
    if (!volume.isValid())
        QSKIP(TinyVolume::unavailableReason());
    QTemporaryDir dir;
    const QString name = orientation ? QStringLiteral("IMG_0001.jpg") : QStringLiteral("IMG_0001.CR2");
    const QString source = dir.filePath(QStringLiteral("share/") + name);
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("share"))));
    JpegFixture::Options options = cameraOptions();
    options.orientation = qMax(orientation, 1);
    options.quality = 98;
    // Noise does not compress: twice the volume and more.
    QVERIFY(JpegFixture::write(source, JpegFixture::noise(720, 540), options));
    QVERIFY(QFileInfo(source).size() > 512 * 1024);

    const QString order = volume.path() + QLatin1Char('/');
    const bool replaces = mode == kDelivery;
    const QString folder = order + (orientation ? QStringLiteral("原片") : QStringLiteral("原始档"));
    QVERIFY(QDir().mkpath(folder));
    const QString target = folder + QLatin1Char('/') + name;
    if (replaces)
        QVERIFY(writeFile(target, "an older delivery copy"));
    JobReceiver receiver;
    const JobReport r = receiver.runOne(
        fileJob(mode, QString(), source, name, mode == QStringLiteral("下载原始档") ? folder : target, order, &receiver));
    QVERIFY(!r.ok);
    QCOMPARE(r.message, name + QStringLiteral(" 拷贝失败：") + FileOps::diskFullText());
    QCOMPARE(filesBelow(order), replaces ? QStringList{QFileInfo(folder).fileName() + QLatin1Char('/') + name} : QStringList());
    if (replaces)
        QCOMPARE(readAll(target), QByteArray("an older delivery copy"));
}

void TestFJFileJobs::exifCopyMissingSource()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out/a.jpg"));
    QVERIFY(writeFile(target, "older"));
    JobReceiver receiver;
    const QString source = dir.filePath(QStringLiteral("missing.jpg"));
    const JobReport r = receiver.runOne(
        fileJob(kDelivery, QString(), source, QStringLiteral("a.jpg"), target, dir.filePath(QStringLiteral("out/")), &receiver));
    QVERIFY(!r.ok);
    QCOMPARE(r.source, source);
    QCOMPARE(r.message, QStringLiteral("a.jpg 源文件不存在"));
    QCOMPARE(readAll(target), QByteArray("older"));
}

void TestFJFileJobs::dataUrlImage_data()
{
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    const QString base64 = QString::fromLatin1(png.toBase64());

    QTest::addColumn<QString>("dataUrl");
    QTest::addColumn<QString>("imgName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::newRow("data URL") << QStringLiteral("data:image/png;base64,") + base64 << QStringLiteral("m.png") << true
                              << QString();
    QTest::newRow("bare Base64 saved as JPEG") << base64 << QStringLiteral("m.jpg") << true << QString();
    QTest::newRow("empty") << QString() << QStringLiteral("m.png") << false << QStringLiteral("文件不存在");
    QTest::newRow("decodes to nothing") << QStringLiteral("data:image/png;base64,") << QStringLiteral("m.png") << false
                                        << QStringLiteral("文件不存在");
    QTest::newRow("no picture") << QStringLiteral("data:image/png;base64,") + QString::fromLatin1(QByteArray("hello").toBase64())
                                << QStringLiteral("m.png") << false << QStringLiteral("无法从数据创建图像");
    QTest::newRow("name climbs out") << base64 << QStringLiteral("../m.png") << false
                                     << QStringLiteral("../m.png 文件名非法");
}

void TestFJFileJobs::dataUrlImage()
{
    QFETCH(QString, dataUrl);
    QFETCH(QString, imgName);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString dest = dir.filePath(QStringLiteral("out/"));
    QVERIFY(QDir().mkpath(dest));
    JobReceiver receiver;
    auto *job = new FJDataThread(QStringLiteral("存储照片"), QJsonObject{{QStringLiteral("img_name"), imgName}}, dataUrl,
                                 dest, &receiver);
    job->orderRoot = dest;
    const JobReport r = receiver.runOne(job);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.source, QString());
    QCOMPARE(r.message, message);
    QCOMPARE(filesBelow(dir.path()), ok ? QStringList{QStringLiteral("out/") + imgName} : QStringList());
    if (ok)
        QCOMPARE(QImage(dest + imgName).size(), QSize(8, 6));
}

void TestFJFileJobs::category_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("outFiles");

    const QString sep = QStringLiteral("；");
    const auto missing = [&](const QString &name, const QStringList &suffixes) {
        QStringList w;
        for (const QString &s : suffixes)
            w << name + QStringLiteral("没有") + s;
        return w.join(sep);
    };

    QTest::newRow("成品: thumbnail, raw companion, photo")
        << QStringLiteral("成品") << QStringLiteral("x/all/a.jpg") << QStringLiteral("a.jpg") << true
        << missing(QStringLiteral("a.jpg"), {".RAW", ".NEF", ".ARW", ".CR3", ".RAF"})
        << QStringList{"原始档/a.CR2", "成品/a.jpg", "缩略图/a.jpg"};
    QTest::newRow("精修成品: no thumbnail step")
        << QStringLiteral("精修成品") << QStringLiteral("x/all/a.jpg") << QStringLiteral("a.jpg") << true
        << missing(QStringLiteral("a.jpg"), {".RAW", ".NEF", ".ARW", ".CR3", ".RAF"})
        << QStringList{"原始档/a.CR2", "成品/a.jpg"};
    QTest::newRow("成品: raw named up to the last dot")
        << QStringLiteral("成品") << QStringLiteral("x/all/b.c.jpg") << QStringLiteral("b.c.jpg") << true
        << QStringLiteral("b.c.jpg缩略图不存在") + sep + missing(QStringLiteral("b.c.jpg"), {".CR2", ".NEF", ".ARW", ".CR3", ".RAF"})
        << QStringList{"原始档/b.c.raw", "成品/b.c.jpg"};
    QTest::newRow("精修成品: raw named up to the first dot")
        << QStringLiteral("精修成品") << QStringLiteral("x/all/b.c.jpg") << QStringLiteral("b.c.jpg") << true
        << missing(QStringLiteral("b.c.jpg"), {".CR2", ".RAW", ".ARW", ".CR3", ".RAF"})
        << QStringList{"原始档/b.nef", "成品/b.c.jpg"};
    QTest::newRow("只要成品") << QStringLiteral("只要成品") << QStringLiteral("x/all/a.jpg") << QStringLiteral("a.jpg")
                           << true << QString() << QStringList{"成品/a.jpg", "缩略图/a.jpg"};
    QTest::newRow("成品 without raw folder beside")
        << QStringLiteral("成品") << QStringLiteral("y/all/n.jpg") << QStringLiteral("n.jpg") << true << QString()
        << QStringList{"成品/n.jpg", "缩略图/n.jpg"};
    QTest::newRow("成品缩略图") << QStringLiteral("成品缩略图") << QStringLiteral("x/90/a.jpg") << QStringLiteral("a.jpg")
                             << true << QString() << QStringList{"缩略图/a.jpg"};
    QTest::newRow("成品缩略图, thumbnail missing")
        << QStringLiteral("成品缩略图") << QStringLiteral("x/all/b.c.jpg") << QStringLiteral("b.c.jpg") << false
        << QStringLiteral("b.c.jpg缩略图不存在") << QStringList();
    QTest::newRow("汰片") << QStringLiteral("汰片") << QStringLiteral("x/all/a.jpg") << QStringLiteral("a.jpg") << true
                        << QString() << QStringList{"汰片/a.jpg"};
    QTest::newRow("入底") << QStringLiteral("入底") << QStringLiteral("x/all/a.jpg") << QStringLiteral("a.jpg") << true
                        << QString() << QStringList{"入底/a.jpg", "缩略图/a.jpg"};
    QTest::newRow("photo missing drops the warnings")
        << QStringLiteral("成品") << QStringLiteral("x/all/m.jpg") << QStringLiteral("m.jpg") << false
        << QStringLiteral("m.jpg照片不存在") << QStringList();
    QTest::newRow("only the photo's own folder all is swapped")
        << QStringLiteral("只要成品") << QStringLiteral("all/z/all/t.jpg") << QStringLiteral("t.jpg") << true << QString()
        << QStringList{"成品/t.jpg", "缩略图/t.jpg"};
    QTest::newRow("name climbs out") << QStringLiteral("成品") << QStringLiteral("x/all/a.jpg")
                                     << QStringLiteral("../../a.jpg") << false << QStringLiteral("../../a.jpg 文件名非法")
                                     << QStringList();
}

void TestFJFileJobs::category()
{
    QFETCH(QString, category);
    QFETCH(QString, source);
    QFETCH(QString, fileName);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QStringList, outFiles);

    QTemporaryDir dir;
    const QString shareRoot = dir.filePath(QStringLiteral("share"));
    makeTree(shareRoot);
    const QStringList shareBefore = filesBelow(shareRoot);
    const QString out = dir.filePath(QStringLiteral("order/其他/"));

    JobReceiver receiver;
    const JobReport r = receiver.runOne(fileJob(QStringLiteral("拷贝照片"), category, shareRoot + QLatin1Char('/') + source,
                                                fileName, out, dir.filePath(QStringLiteral("order/")), &receiver));
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.mode, QStringLiteral("拷贝照片"));
    QCOMPARE(r.detail, QString());
    QCOMPARE(r.message, message);
    outFiles.sort();
    QCOMPARE(filesBelow(out), outFiles);
    // Each copy holds its own source's bytes.
    for (const QString &f : outFiles) {
        const QByteArray content = readAll(out + f);
        QVERIFY2(content.endsWith(QFileInfo(f).fileName().toUtf8()), qPrintable(f));
    }
    if (!outFiles.contains(QStringLiteral("原始档/a.CR2")) && !outFiles.filter(QStringLiteral("原始档/")).size())
        QVERIFY(!QFileInfo::exists(out + QStringLiteral("原始档")) || category == QStringLiteral("精修成品"));
    QCOMPARE(filesBelow(shareRoot), shareBefore);
}

void TestFJFileJobs::categoryRewritesEscapedSource()
{
    QTemporaryDir dir;
    makeTree(dir.filePath(QStringLiteral("share")));
    const QString escaped = dir.filePath(QStringLiteral("share/x/all/a.jpg")).replace(QLatin1Char('/'), QLatin1String("\\/"));
    const QString out = dir.filePath(QStringLiteral("order/其他/"));
    JobReceiver receiver;
    const JobReport r = receiver.runOne(fileJob(QStringLiteral("拷贝照片"), QStringLiteral("成品"), escaped,
                                                QStringLiteral("a.jpg"), out, dir.filePath(QStringLiteral("order/")),
                                                &receiver));
    QVERIFY(r.ok);
    QCOMPARE(r.source, dir.filePath(QStringLiteral("share/x/all/a.jpg")));
    QCOMPARE(filesBelow(out), QStringList({"原始档/a.CR2", "成品/a.jpg", "缩略图/a.jpg"}));
}

void TestFJFileJobs::categorySecondRun_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    // The first run's copies are the second run's work already done.
    QTest::newRow("same bytes") << false << true << QString();
    // The photo was replaced on the share since: the copy in the order
    // folder stays, and the line says why.
    QTest::newRow("source changed") << true << false << QStringLiteral("a.jpg照片复制失败：已存在且内容不同，未覆盖");
}

void TestFJFileJobs::categorySecondRun()
{
    QFETCH(bool, changed);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    // The same order split twice into the same folder.
    QTemporaryDir dir;
    const QString share = dir.filePath(QStringLiteral("share"));
    makeTree(share);
    const QString out = dir.filePath(QStringLiteral("order/其他/"));
    JobReceiver receiver;
    const auto job = [&] {
        return fileJob(QStringLiteral("拷贝照片"), QStringLiteral("成品"), share + QStringLiteral("/x/all/a.jpg"),
                       QStringLiteral("a.jpg"), out, dir.filePath(QStringLiteral("order/")), &receiver);
    };
    const JobReport first = receiver.runOne(job());
    QVERIFY(first.ok);
    const QStringList made = filesBelow(out);
    if (changed)
        QVERIFY(writeFile(share + QStringLiteral("/x/all/a.jpg"), "changed"));
    const JobReport second = receiver.runOne(job());
    QCOMPARE(second.ok, ok);
    QCOMPARE(second.message, ok ? first.message : message);
    QCOMPARE(readAll(out + QStringLiteral("成品/a.jpg")), QByteArray("x/all/a.jpg"));
    QCOMPARE(filesBelow(out), made);
}

TINYVOLUME_TEST_MAIN(TestFJFileJobs)
#include "tst_fjfilejobs.moc"
