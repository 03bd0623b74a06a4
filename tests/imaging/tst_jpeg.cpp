#include <thread>
#include <vector>

#include <QBuffer>
#include <QImageReader>
#include <QtTest>

#include "tests/support/jpegfixture.h"
#include "imaging/tfjpeg.h"

namespace {

QImage decoded(const QByteArray &jpeg)
{
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// The picture through the codec's own decode, as the engine reads it.
QImage decodedByCodec(const QByteArray &jpeg, QString *error)
{
    TfJpeg::Header header;
    const auto *data = reinterpret_cast<const uchar *>(jpeg.constData());
    if (!TfJpeg::readHeader(data, jpeg.size(), &header)) {
        *error = QStringLiteral("header");
        return QImage();
    }
    QImage image(header.width, header.height, QImage::Format_RGB32);
    if (!TfJpeg::decode(data, jpeg.size(), 1, image.bits(), int(image.bytesPerLine()), error))
        return QImage();
    return image;
}

// A sequence of encodes on one thread, each checked against the same
// picture encoded by a codec of its own; an empty string when all match.
QString encodeSequence(const QList<QSize> &sizes, int sampling, quint32 seed)
{
    for (int i = 0; i < sizes.size(); ++i) {
        const QImage noise = JpegFixture::noise(sizes.at(i).width(), sizes.at(i).height(), seed + quint32(i));
        QByteArray encoded;
        QString error;
        if (!TfJpeg::encode(noise, 90, sampling, &encoded, &error))
            return QStringLiteral("encode %1: %2").arg(i).arg(error);
        const QImage copy = decoded(encoded);
        if (copy.size() != noise.size())
            return QStringLiteral("encode %1: size %2x%3").arg(i).arg(copy.width()).arg(copy.height());
        // Noise at quality 90 keeps its luma well; a damaged scan does not.
        const QImage grey = noise.convertToFormat(QImage::Format_Grayscale8);
        const double p = JpegFixture::psnr(grey, copy.convertToFormat(QImage::Format_Grayscale8));
        if (p < 24.0)
            return QStringLiteral("encode %1: PSNR %2").arg(i).arg(p);
    }
    return QString();
}

} // namespace

class TestJpeg : public QObject
{
    Q_OBJECT

private slots:
    // Encodes that outgrow the first room given, then fit it, then outgrow
    // it again, one after another on the same threads: each copy is whole
    // and right. (A codec handle reused across encodes once freed a buffer
    // it had grown a second time, and took a new buffer at the old address
    // for the old, larger one, writing past its end.)
    void encodesOneAfterAnother_data()
    {
        QTest::addColumn<int>("sampling");
        QTest::addColumn<int>("threads");
        QTest::newRow("4:2:0, one thread") << int(TfJpeg::kSampling420) << 1;
        QTest::newRow("4:4:4, one thread") << 0 << 1;
        QTest::newRow("4:2:0, eight threads") << int(TfJpeg::kSampling420) << 8;
    }

    void encodesOneAfterAnother()
    {
        QFETCH(int, sampling);
        QFETCH(int, threads);
        const QList<QSize> sizes = {QSize(601, 433), QSize(97, 61), QSize(1023, 769), QSize(601, 433),
                                    QSize(33, 17), QSize(777, 555), QSize(777, 555), QSize(160, 90)};
        std::vector<QString> failures(static_cast<size_t>(threads));
        std::vector<std::thread> running;
        for (int t = 0; t < threads; ++t) {
            running.emplace_back([&, t]() {
                for (int round = 0; round < 3 && failures[size_t(t)].isEmpty(); ++round)
                    failures[size_t(t)] = encodeSequence(sizes, sampling, quint32(t * 100 + round * 10));
            });
        }
        for (std::thread &thread : running)
            thread.join();
        for (const QString &failure : failures)
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    // A copy written to its file as the codec makes it is the copy made in
    // memory, byte for byte, turned or re-encoded, larger than the chunk it
    // is written by or not; a device that refuses a write fails it and says
    // so apart from a failed encoding.
    void writtenAsMadeIsTheSameCopy_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("orientation");
        QTest::newRow("lossless quarter turn, several chunks") << QSize(1024, 768) << 6;
        QTest::newRow("lossless half turn, one chunk") << QSize(64, 48) << 3;
        QTest::newRow("re-encoded, odd size") << QSize(1023, 767) << 8;
    }
    void writtenAsMadeIsTheSameCopy()
    {
        QFETCH(QSize, size);
        QFETCH(int, orientation);
        JpegFixture::Options options;
        options.sampling = 444;
        options.quality = 97;
        options.orientation = orientation;
        const QImage picture = JpegFixture::noise(size.width(), size.height(), 5);
        const QByteArray source = JpegFixture::encode(picture, options);
        const auto *data = reinterpret_cast<const uchar *>(source.constData());
        const bool lossless = size.width() % 8 == 0 && size.height() % 8 == 0;

        QByteArray inMemory;
        QBuffer device;
        device.open(QIODevice::WriteOnly);
        QString error;
        bool refused = true;
        if (lossless) {
            QCOMPARE(TfJpeg::turnLossless(data, source.size(), orientation, &inMemory, &error), TfJpeg::TurnResult::Turned);
            QCOMPARE(TfJpeg::turnLosslessTo(data, source.size(), orientation, &device, &error, nullptr, &refused),
                     TfJpeg::TurnResult::Turned);
        } else {
            QVERIFY2(TfJpeg::encodeUpright(picture, orientation, 95, 0, &inMemory, &error), qPrintable(error));
            QVERIFY2(TfJpeg::encodeUprightTo(picture, orientation, 95, 0, &device, &error, nullptr, &refused),
                     qPrintable(error));
        }
        QVERIFY(!refused);
        QVERIFY(inMemory.size() > 2000);
        QVERIFY(device.data() == inMemory);

        // A device that takes nothing.
        QBuffer closed;
        refused = false;
        if (lossless)
            QCOMPARE(TfJpeg::turnLosslessTo(data, source.size(), orientation, &closed, &error, nullptr, &refused),
                     TfJpeg::TurnResult::Failed);
        else
            QVERIFY(!TfJpeg::encodeUprightTo(picture, orientation, 95, 0, &closed, &error, nullptr, &refused));
        QVERIFY(refused);
    }

    // The quality a picture was encoded at, read back from its tables, so
    // that a copy encoded again keeps about that quality.
    void qualityFromTheTables_data()
    {
        QTest::addColumn<int>("quality");
        for (int q : {30, 50, 75, 85, 92, 95, 100})
            QTest::newRow(qPrintable(QString::number(q))) << q;
    }
    void qualityFromTheTables()
    {
        QFETCH(int, quality);
        QByteArray encoded;
        QString error;
        QVERIFY(TfJpeg::encode(JpegFixture::scene(64, 48), quality, TfJpeg::kSampling420, &encoded, &error));
        TfJpeg::Header header;
        QVERIFY(TfJpeg::readHeader(reinterpret_cast<const uchar *>(encoded.constData()), encoded.size(), &header));
        QVERIFY2(qAbs(header.quality - quality) <= 1, qPrintable(QString::number(header.quality)));
    }

    // A header the codec refuses leaves nothing behind on its thread: the
    // next picture's header and pixels read as if it came first.
    void brokenHeaderSparesTheNextPicture_data()
    {
        QTest::addColumn<QByteArray>("broken");
        const QByteArray soi("\xff\xd8", 2);
        QTest::newRow("frame of height 0")
            << soi + QByteArray("\xff\xc0\x00\x0b\x08\x00\x00\x00\x40\x01\x01\x11\x00", 13);
        QTest::newRow("unknown marker") << soi + QByteArray("\xff\x48\x00\x04\x00\x00", 6);
        QTest::newRow("seven components in a frame of one")
            << soi + QByteArray("\xff\xc0\x00\x0b\x08\x00\x40\x00\x40\x07\x01\x11\x00", 13);
        QTest::newRow("cut inside a segment") << soi + QByteArray("\xff\xe1\x40\x00Exif\0\0", 10);
        QTest::newRow("huge claim") << JpegFixture::hugeClaim();
    }

    void brokenHeaderSparesTheNextPicture()
    {
        QFETCH(QByteArray, broken);
        JpegFixture::Options options;
        options.sampling = 444;
        const QImage picture = JpegFixture::scene(64, 48);
        const QByteArray good = JpegFixture::encode(picture, options);
        QString error;
        TfJpeg::Header header;
        const auto *brokenData = reinterpret_cast<const uchar *>(broken.constData());
        if (TfJpeg::readHeader(brokenData, broken.size(), &header) && qint64(header.width) * header.height < 1 << 24) {
            QImage scratch(header.width, header.height, QImage::Format_RGB32);
            QVERIFY(!TfJpeg::decode(brokenData, broken.size(), 1, scratch.bits(), int(scratch.bytesPerLine()), &error));
        }
        const QImage after = decodedByCodec(good, &error);
        QVERIFY2(!after.isNull(), qPrintable(error));
        QVERIFY(JpegFixture::psnr(decoded(good), after) > 40.0);
    }

    // A picture with a damaged but readable stretch decodes, as a viewer
    // shows it; one that fails after such a stretch fails, and is never
    // handed on as pixels the decoder did not write.
    void fatalErrorAfterAWarningFails()
    {
        JpegFixture::Options options;
        options.sampling = 444;
        options.progressive = true;
        const QByteArray good = JpegFixture::encode(JpegFixture::scene(64, 48), options);
        const int firstScan = good.indexOf(QByteArray("\xff\xda", 2));
        const int secondScan = good.indexOf(QByteArray("\xff\xda", 2), firstScan + 2);
        QVERIFY(firstScan > 0 && secondScan > firstScan);
        // Two stray bytes before the second scan: a warning.
        QByteArray warned = good;
        warned.insert(secondScan, QByteArray("\x00\x00", 2));
        QString error;
        const QImage readable = decodedByCodec(warned, &error);
        QVERIFY2(!readable.isNull(), qPrintable(error));
        QVERIFY(JpegFixture::psnr(decoded(good), readable) > 40.0);

        // Then a scan whose spectral range cannot be: a fatal error.
        QByteArray fatal = warned;
        const int components = uchar(fatal.at(secondScan + 2 + 4));
        fatal[secondScan + 2 + 5 + 2 * components] = char(70);
        QVERIFY(decodedByCodec(fatal, &error).isNull());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestJpeg)
#include "tst_jpeg.moc"
