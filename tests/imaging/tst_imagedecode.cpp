// Decoding pictures from outside for display: sizes checked from the header
// before any pixel is allocated, thumbnails decoded at their reduced size.

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include "imaging/imagedecode.h"
#include "tests/support/jpegfixture.h"

namespace {

QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(50);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// A BMP whose header claims width x height.
QByteArray bmpClaiming(int width, int height)
{
    QByteArray bmp = encoded(QImage(4, 4, QImage::Format_RGB32), "BMP");
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::ReadWrite);
    QDataStream stream(&buffer);
    stream.setByteOrder(QDataStream::LittleEndian);
    buffer.seek(18);
    stream << qint32(width) << qint32(height);
    return bmp;
}

} // namespace

class TestImageDecode : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void hostileHeaderIsRefusedAtOnce();
    void cameraPhotosShowUpright_data();
    void cameraPhotosShowUpright();
    void files_data();
    void files();
};

void TestImageDecode::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("size");     // expected size; invalid when refused
    QTest::addColumn<QString>("error");  // part of the reason when refused

    const QImage photo = JpegFixture::quadrants(600, 400);
    const QByteArray jpeg = JpegFixture::encode(photo, JpegFixture::Options());
    const QByteArray tiny = encoded(JpegFixture::quadrants(16, 16), "JPEG");
    const QByteArray tinyProgressive = encoded(JpegFixture::quadrants(16, 16), "JPEG", true);
    const QSize box(90, 90);

    QTest::newRow("jpeg scaled into the box") << jpeg << box << QSize(90, 60) << QString();
    QTest::newRow("small picture enlarged") << encoded(JpegFixture::quadrants(40, 30), "JPEG") << box
                                            << QSize(40, 30).scaled(box, Qt::KeepAspectRatio) << QString();
    QTest::newRow("own size without a box") << jpeg << QSize() << QSize(600, 400) << QString();
    QTest::newRow("png scaled") << encoded(JpegFixture::quadrants(300, 200), "PNG") << box << QSize(90, 60) << QString();
    QTest::newRow("very wide picture keeps a pixel") << encoded(QImage(2000, 4, QImage::Format_RGB32), "PNG") << box
                                                     << QSize(90, 1) << QString();
    QTest::newRow("header claims 60000 x 60000") << JpegFixture::hugeClaim() << box << QSize()
                                                 << QStringLiteral("60000 x 60000");
    QTest::newRow("baseline 8000 x 8000 decodes reduced") << JpegFixture::claimingSize(tiny, 8000, 8000) << box << QSize(90, 90)
                                                          << QString();
    QTest::newRow("progressive 8000 x 8000 holds it whole") << JpegFixture::claimingSize(tinyProgressive, 8000, 8000) << box
                                                            << QSize() << QStringLiteral("8000 x 8000");
    QTest::newRow("baseline 8000 x 8000 at its own size") << JpegFixture::claimingSize(tiny, 8000, 8000) << QSize() << QSize()
                                                          << QStringLiteral("8000 x 8000");
    QTest::newRow("bmp cannot decode reduced") << bmpClaiming(8000, 8000) << box << QSize()
                                               << QStringLiteral("8000 x 8000");
    QTest::newRow("not a picture") << QByteArray("<html>502 Bad Gateway</html>") << box << QSize()
                                   << QStringLiteral("无法识别");
    QTest::newRow("empty") << QByteArray() << box << QSize() << QStringLiteral("无法识别");
}

void TestImageDecode::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QSize, box);
    QFETCH(QSize, size);
    QFETCH(QString, error);
    QVERIFY(!data.isEmpty() || error == QStringLiteral("无法识别"));

    QString reason;
    const QImage image = ImageDecode::decode(data, box, &reason);
    if (!size.isValid()) {
        QVERIFY(image.isNull());
        QVERIFY2(reason.contains(error), qPrintable(reason));
        return;
    }
    QVERIFY2(!image.isNull(), qPrintable(reason));
    QCOMPARE(image.size(), size);
    if (size == QSize(90, 60)) {
        // The picture itself, not a blank of the right size.
        QCOMPARE(JpegFixture::quadrantLayout(image), QList<int>({0, 1, 2, 3}));
    }
}

void TestImageDecode::hostileHeaderIsRefusedAtOnce()
{
    const QByteArray data = JpegFixture::hugeClaim();
    QVERIFY(data.size() < 1024);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100; ++i)
        QVERIFY(ImageDecode::decode(data, QSize(90, 90)).isNull());
    // Only the header is read: a hundred refusals take no time at all.
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void TestImageDecode::cameraPhotosShowUpright_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("box");
    for (int orientation = 1; orientation <= 8; ++orientation) {
        QTest::addRow("orientation %d, thumbnail", orientation) << orientation << QSize(90, 90);
        QTest::addRow("orientation %d, wide box", orientation) << orientation << QSize(120, 60);
    }
    QTest::newRow("orientation 6, own size") << 6 << QSize();
}

// A camera stores a portrait photo as a landscape picture with an EXIF
// orientation; its thumbnail lay on its side. It is shown upright, and the
// box holds the upright picture.
void TestImageDecode::cameraPhotosShowUpright()
{
    QFETCH(int, orientation);
    QFETCH(QSize, box);
    const QSize upright(400, 600);
    JpegFixture::Options options;
    options.orientation = orientation;
    const QByteArray data = JpegFixture::encode(JpegFixture::storedFor(JpegFixture::quadrants(upright.width(), upright.height()),
                                                                       orientation),
                                                options);
    QVERIFY(!data.isEmpty());
    QString reason;
    const QImage image = ImageDecode::decode(data, box, &reason);
    QVERIFY2(!image.isNull(), qPrintable(reason));
    const QSize expected = box.isEmpty() ? upright : upright.scaled(box, Qt::KeepAspectRatio);
    QVERIFY2(qAbs(image.width() - expected.width()) <= 1 && qAbs(image.height() - expected.height()) <= 1,
             qPrintable(QStringLiteral("%1 x %2").arg(image.width()).arg(image.height())));
    QCOMPARE(JpegFixture::quadrantLayout(image), QList<int>({0, 1, 2, 3}));
}

void TestImageDecode::files_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");

    QTest::newRow("picture") << "picture" << QString();
    QTest::newRow("resource") << "resource" << QString();
    QTest::newRow("file over 100 MB") << "huge" << QStringLiteral("过大");
    QTest::newRow("missing file") << "missing" << QStringLiteral("无法打开");
}

void TestImageDecode::files()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);

    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/照片 1.jpg");
    if (kind == QLatin1String("picture")) {
        QVERIFY(JpegFixture::write(path, JpegFixture::quadrants(120, 80), JpegFixture::Options()));
    } else if (kind == QLatin1String("resource")) {
        path = QStringLiteral(":/public/image/public/icon/raw.png");
    } else if (kind == QLatin1String("huge")) {
        // Sparse: the size alone refuses it, nothing is read.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(ImageDecode::kMaxFileBytes + 1));
    }
    QString reason;
    const QImage image = ImageDecode::decodeFile(path, QSize(), &reason);
    if (error.isEmpty()) {
        QVERIFY2(!image.isNull(), qPrintable(reason));
    } else {
        QVERIFY(image.isNull());
        QVERIFY2(reason.contains(error), qPrintable(reason));
    }
}

QTEST_MAIN(TestImageDecode)
#include "tst_imagedecode.moc"
