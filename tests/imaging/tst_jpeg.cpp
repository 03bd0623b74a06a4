#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <QBuffer>
#include <QImageReader>
#include <QtTest>

#include <jpeglib.h>

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

// How a picture is coded for the packed turn's cases.
struct Coding
{
    int components = 3; // 1: grey
    int hSamp = 1;      // the first component's factors
    int vSamp = 1;
    int quality = 92;
    int restartRows = 0; // restart markers every so many MCU rows
    bool scanPerComponent = false;
    bool progressive = false;
};

// A JPEG made by the codec itself, for codings the fixture has no option
// for (restart markers, a scan per component).
QByteArray encodedWith(const QImage &picture, const Coding &coding)
{
    const QImage pixels = coding.components == 1 ? picture.convertToFormat(QImage::Format_Grayscale8)
                                                 : picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(pixels.width());
    cinfo.image_height = JDIMENSION(pixels.height());
    cinfo.input_components = coding.components;
    cinfo.in_color_space = coding.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, coding.quality, TRUE);
    cinfo.comp_info[0].h_samp_factor = coding.hSamp;
    cinfo.comp_info[0].v_samp_factor = coding.vSamp;
    cinfo.restart_in_rows = coding.restartRows;
    jpeg_scan_info scans[3];
    if (coding.scanPerComponent) {
        for (int c = 0; c < coding.components; ++c) {
            scans[c].comps_in_scan = 1;
            scans[c].component_index[0] = c;
            scans[c].Ss = 0;
            scans[c].Se = DCTSIZE2 - 1;
            scans[c].Ah = 0;
            scans[c].Al = 0;
        }
        cinfo.scan_info = scans;
        cinfo.num_scans = coding.components;
    }
    if (coding.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar *>(pixels.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    const QByteArray jpeg(reinterpret_cast<const char *>(buffer), int(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return jpeg;
}

// Blocks of one colour each, far apart: DC coefficients past a byte's range.
QImage colourBlocks(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int block = (x / 8 + y / 8 * 3) % 4;
            image.setPixel(x, y, block == 0 ? qRgb(0, 0, 0) : block == 1 ? qRgb(255, 255, 255)
                                                          : block == 2 ? qRgb(255, 0, 0)
                                                                       : qRgb(0, 64, 255));
        }
    }
    return image;
}

// Checks of two pixels: AC coefficients past a byte's range, in a small file.
QImage fineChecks(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, ((x / 2 + y / 2) & 1) ? qRgb(250, 250, 250) : qRgb(5, 5, 5));
    }
    return image;
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

    // A turn with the source's coefficients packed makes the same file as
    // one with them whole, byte for byte, for every orientation: every
    // sampling, values past a byte's range, blocks of nothing but zeros,
    // restart markers. A picture whose coding bounds nothing (progressive,
    // a scan per component) or whose file is as dense as its coefficients
    // (noise at quality 100) is held whole all the same; one packed holds
    // less than whole.
    void packedTurnIsTheWholeTurn_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<bool>("packs");
        const QImage scene = JpegFixture::scene(512, 384, 7);
        Coding c444;
        Coding c420;
        c420.hSamp = 2;
        c420.vSamp = 2;
        Coding c422 = c420;
        c422.vSamp = 1;
        c422.restartRows = 1;
        Coding grey;
        grey.components = 1;
        Coding exact = c444;
        exact.quality = 100;
        QTest::newRow("4:4:4 scene") << encodedWith(scene, c444) << true;
        QTest::newRow("4:2:0 scene") << encodedWith(scene, c420) << true;
        QTest::newRow("4:2:0, blocks past the edges")
            << encodedWith(JpegFixture::scene(520, 392, 7), c420) << true;
        QTest::newRow("4:2:2, restart markers every row") << encodedWith(scene, c422) << true;
        QTest::newRow("grey") << encodedWith(scene, grey) << true;
        QTest::newRow("one colour a block, quality 100") << encodedWith(colourBlocks(512, 384), exact) << true;
        QTest::newRow("fine checks, quality 100") << encodedWith(fineChecks(512, 384), exact) << true;
        QTest::newRow("flat") << encodedWith(QImage(512, 384, QImage::Format_RGB32), c420) << true;
        QTest::newRow("noise, quality 100") << encodedWith(JpegFixture::noise(256, 192, 3), exact) << false;
        Coding perComponent = c420;
        perComponent.scanPerComponent = true;
        QTest::newRow("a scan per component") << encodedWith(scene, perComponent) << false;
        Coding progressive = c420;
        progressive.progressive = true;
        QTest::newRow("progressive") << encodedWith(scene, progressive) << false;
    }
    void packedTurnIsTheWholeTurn()
    {
        QFETCH(QByteArray, source);
        QFETCH(bool, packs);
        const auto *data = reinterpret_cast<const uchar *>(source.constData());
        TfJpeg::Header header;
        QVERIFY(TfJpeg::readHeader(data, source.size(), &header));
        const qint64 packed = TfJpeg::turnBytes(header, source.size(), TfJpeg::TurnMemory::Packed);
        const qint64 whole = TfJpeg::turnBytes(header, source.size(), TfJpeg::TurnMemory::Whole);
        QCOMPARE(packed < whole, packs);
        for (int orientation = 2; orientation <= 8; ++orientation) {
            const TfJpeg::TurnResult expected = TfJpeg::isPerfectTurn(header, orientation)
                ? TfJpeg::TurnResult::Turned
                : TfJpeg::TurnResult::Imperfect;
            QByteArray byWhole;
            QByteArray byPacked;
            QString error;
            QCOMPARE(TfJpeg::turnLossless(data, source.size(), orientation, &byWhole, &error, nullptr,
                                          TfJpeg::TurnMemory::Whole),
                     expected);
            QCOMPARE(TfJpeg::turnLossless(data, source.size(), orientation, &byPacked, &error, nullptr,
                                          TfJpeg::TurnMemory::Packed),
                     expected);
            QVERIFY2(byPacked == byWhole, qPrintable(QStringLiteral("orientation %1").arg(orientation)));
        }
        // What a viewer shows, turned losslessly.
        QByteArray turned;
        QString error;
        QCOMPARE(TfJpeg::turnLossless(data, source.size(), 5, &turned, &error, nullptr, TfJpeg::TurnMemory::Packed),
                 TfJpeg::TurnResult::Turned);
        // Orientation 5 (a transposition): every size turns.
        const QImage expected = decoded(source).transformed(QTransform(0, 1, 1, 0, 0, 0));
        QVERIFY(JpegFixture::psnr(expected, decoded(turned)) >= 50.0);
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
