#include <cstring>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/jpegfixture.h"
#include "imaging/tfimageprocessing.h"
#include "transferphotos/jobs/tfimportworker.h"
#include "imaging/tfphotojob.h"

namespace {

QImage readRaw(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.read();
}

QImage readUpright(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Pads a JPEG after its end marker; readers ignore what follows.
bool writePadded(const QString &path, const QByteArray &jpeg, qint64 totalSize)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(jpeg) != jpeg.size())
        return false;
    return f.resize(totalSize);
}

QStringList leftovers(const QString &folder, const QStringList &expected)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &e : expected)
        names.removeAll(e);
    return names;
}

} // namespace

class TestImageProcessing : public QObject
{
    Q_OBJECT

private slots:
    // A decode shrunk by whole blocks: every pixel the mean of its block,
    // channels in their places, the blocks on the right and bottom edges
    // as far as the picture goes, from three- and four-byte pixels.
    void shrinkByBlocks_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("factor");
        QTest::addColumn<bool>("threeBytes");
        for (bool three : {true, false}) {
            const char *kind = three ? "RGB888" : "RGB32";
            QTest::addRow("%s, 2, even", kind) << QSize(64, 48) << 2 << three;
            QTest::addRow("%s, 2, odd", kind) << QSize(63, 47) << 2 << three;
            QTest::addRow("%s, 4, odd", kind) << QSize(61, 37) << 4 << three;
            QTest::addRow("%s, 8, thin", kind) << QSize(9, 3) << 8 << three;
            QTest::addRow("%s, 1", kind) << QSize(5, 4) << 1 << three;
        }
    }
    void shrinkByBlocks()
    {
        QFETCH(QSize, size);
        QFETCH(int, factor);
        QFETCH(bool, threeBytes);
        QImage source = JpegFixture::noise(size.width(), size.height(), 3);
        if (threeBytes)
            source = source.convertToFormat(QImage::Format_RGB888);
        const QSize shrunkSize((size.width() + factor - 1) / factor, (size.height() + factor - 1) / factor);
        QImage shrunk(shrunkSize, QImage::Format_RGB32);
        TfImage::shrinkInto(source, factor, &shrunk);
        for (int y = 0; y < shrunkSize.height(); ++y) {
            for (int x = 0; x < shrunkSize.width(); ++x) {
                int sum[3] = {0, 0, 0};
                int count = 0;
                for (int sy = y * factor; sy < qMin(size.height(), (y + 1) * factor); ++sy) {
                    for (int sx = x * factor; sx < qMin(size.width(), (x + 1) * factor); ++sx) {
                        const QRgb p = source.pixel(sx, sy);
                        sum[0] += qRed(p);
                        sum[1] += qGreen(p);
                        sum[2] += qBlue(p);
                        ++count;
                    }
                }
                const QRgb got = shrunk.pixel(x, y);
                const int expected[3] = {sum[0] / count, sum[1] / count, sum[2] / count};
                const int channels[3] = {qRed(got), qGreen(got), qBlue(got)};
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(qAbs(channels[c] - expected[c]) <= 1,
                             qPrintable(QStringLiteral("(%1, %2) channel %3").arg(x).arg(y).arg(c)));
            }
        }
        // A three-byte decode shrunk into its own memory, as the engine does
        // to drop the full-size pixels: the same picture.
        if (threeBytes && factor >= 2) {
            QImage own = source.copy();
            QImage inPlace(own.bits(), shrunkSize.width(), shrunkSize.height(), shrunkSize.width() * 4,
                           QImage::Format_RGB32);
            TfImage::shrinkInto(own, factor, &inPlace);
            for (int y = 0; y < shrunkSize.height(); ++y)
                QVERIFY2(std::memcmp(inPlace.constScanLine(y), shrunk.constScanLine(y), size_t(shrunkSize.width()) * 4) == 0,
                         qPrintable(QStringLiteral("line %1").arg(y)));
        }
    }

    void init() { TfPhotoJob::resetStats(); }

    void intermediateSize_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("target");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("16000x9000 to 1920") << QSize(16000, 9000) << 1920 << QSize(3072, 1728);
        QTest::newRow("30000x20000 to 90") << QSize(30000, 20000) << 90 << QSize(270, 180);
        QTest::newRow("12000x12000 to 1920") << QSize(12000, 12000) << 1920 << QSize(4096, 4096);
        QTest::newRow("7500x7000 kept whole") << QSize(7500, 7000) << 1920 << QSize(7500, 7000);
        QTest::newRow("portrait 9000x16000 to 1920") << QSize(9000, 16000) << 1920 << QSize(1728, 3072);
        QTest::newRow("21000x100 to 1920 capped at 2048") << QSize(21000, 100) << 1920 << QSize(2048, 9);
        QTest::newRow("small source") << QSize(300, 200) << 90 << QSize(300, 200);
    }
    void intermediateSize()
    {
        QFETCH(QSize, source);
        QFETCH(int, target);
        QFETCH(QSize, expected);
        QCOMPARE(tfimportworker::calcIntermediateSize(source, target), expected);
    }

    void reducedSize_data()
    {
        QTest::addColumn<QSize>("decoded");
        QTest::addColumn<int>("target");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("landscape 6000x4000 to 1920") << QSize(6000, 4000) << 1920 << QSize(1920, 1280);
        QTest::newRow("portrait 4000x6000 to 1920") << QSize(4000, 6000) << 1920 << QSize(1280, 1920);
        QTest::newRow("enlarged 800x600 to 1920") << QSize(800, 600) << 1920 << QSize(1920, 1440);
        QTest::newRow("square to 90") << QSize(500, 500) << 90 << QSize(90, 90);
    }
    void reducedSize()
    {
        QFETCH(QSize, decoded);
        QFETCH(int, target);
        QFETCH(QSize, expected);
        QCOMPARE(TfImage::reducedSize(decoded, target), expected);
    }

    void decodePlan_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<bool>("reducedWhole");
        QTest::addColumn<bool>("rotateWhole");
        const qint64 mib = 1024 * 1024;
        QTest::newRow("exactly 50 MP") << QSize(10000, 5000) << 10 * mib << true << true;
        QTest::newRow("one pixel row over 50 MP") << QSize(10000, 5001) << 10 * mib << false << false;
        QTest::newRow("10001 px side") << QSize(10001, 100) << mib << false << true;
        QTest::newRow("exactly 30 MiB") << QSize(6000, 4000) << 30 * mib << true << true;
        QTest::newRow("one byte over 30 MiB") << QSize(6000, 4000) << 30 * mib + 1 << true << false;
    }
    void decodePlan()
    {
        QFETCH(QSize, size);
        QFETCH(qint64, fileSize);
        QFETCH(bool, reducedWhole);
        QFETCH(bool, rotateWhole);
        QCOMPARE(TfImage::decodesWhole(size), reducedWhole);
        QCOMPARE(TfImage::rotateDecodesWhole(size, fileSize), rotateWhole);
    }

    void rotateBox_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("half turn keeps box") << QSize(10000, 8000) << 3 << QSize(10000, 8000);
        QTest::newRow("quarter turn swaps box") << QSize(10000, 8000) << 6 << QSize(8000, 10000);
        QTest::newRow("transpose swaps box") << QSize(10000, 8000) << 5 << QSize(8000, 10000);
        QTest::newRow("over 100 MP capped at 8192") << QSize(16000, 8000) << 8 << QSize(4096, 8192);
    }
    void rotateBox()
    {
        QFETCH(QSize, size);
        QFETCH(int, orientation);
        QFETCH(QSize, expected);
        QCOMPARE(TfImage::rotateBox(size, orientation), expected);
    }

    void orientationRead_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<bool>("asLong");
        QTest::addColumn<bool>("xmpFirst");
        for (int o = 1; o <= 8; ++o) {
            QTest::addRow("code %d MM short", o) << o << true << false << false;
            QTest::addRow("code %d II short", o) << o << false << false << false;
            QTest::addRow("code %d LONG", o) << o << true << true << false;
            QTest::addRow("code %d after XMP", o) << o << false << false << true;
        }
    }
    void orientationRead()
    {
        QFETCH(int, orientation);
        QFETCH(bool, bigEndian);
        QFETCH(bool, asLong);
        QFETCH(bool, xmpFirst);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        JpegFixture::Options o;
        o.bigEndian = bigEndian;
        o.orientationAsLong = asLong;
        o.xmpFirst = xmpFirst;
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 60, 40, orientation, o));
        QCOMPARE(tfimportworker::readExifOrientation(path), orientation);
    }

    void orientationOfBrokenFiles()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("none.jpg"));
        QCOMPARE(tfimportworker::readExifOrientation(missing), 1);
        // An EXIF block cut short must not be read past its end.
        JpegFixture::Options o;
        o.orientation = 6;
        QByteArray jpeg = JpegFixture::encode(JpegFixture::quadrants(60, 40), o);
        const int exifAt = jpeg.indexOf("Exif");
        QByteArray cut = jpeg;
        cut[exifAt + 6 + 4 + 3] = char(0x7f); // IFD offset far beyond the block
        const QString path = dir.filePath(QStringLiteral("cut.jpg"));
        QVERIFY(writeBytes(path, cut));
        QCOMPARE(tfimportworker::readExifOrientation(path), 1);
        const QString png = dir.filePath(QStringLiteral("p.png"));
        QVERIFY(JpegFixture::quadrants(60, 40).save(png));
        QCOMPARE(tfimportworker::readExifOrientation(png), 1);
    }

    // Decoded pictures are turned by our own code instead of Qt's automatic
    // transformation: this holds only if the pixels are the same, byte for
    // byte, also when turned into a reused buffer.
    void uprightMatchesReader_data()
    {
        QTest::addColumn<int>("orientation");
        for (int o = 1; o <= 8; ++o)
            QTest::addRow("code %d", o) << o;
    }
    void uprightMatchesReader()
    {
        QFETCH(int, orientation);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        const QImage noise = JpegFixture::noise(61, 37);
        JpegFixture::Options o;
        o.orientation = orientation;
        QVERIFY(JpegFixture::write(path, noise, o));
        const QImage reference = readUpright(path);
        const QImage raw = readRaw(path);
        const QImage ours = tfimportworker::rotateImageByExif(raw, orientation);
        QCOMPARE(ours.format(), reference.format());
        QCOMPARE(ours, reference);
        QVector<uchar> memory(reference.width() * reference.height() * 4);
        QImage into(memory.data(), reference.width(), reference.height(), reference.width() * 4, QImage::Format_RGB32);
        QVERIFY(TfImage::orientInto(raw, orientation, &into));
        QCOMPARE(into, reference);
    }

    void rotateImageTurnsUpright_data()
    {
        QTest::addColumn<int>("orientation");
        for (int o = 1; o <= 8; ++o)
            QTest::addRow("code %d", o) << o;
    }
    void rotateImageTurnsUpright()
    {
        QFETCH(int, orientation);
        const QImage upright = JpegFixture::quadrants(60, 40);
        const QImage turned = tfimportworker::rotateImageByExif(JpegFixture::storedFor(upright, orientation), orientation);
        QCOMPARE(turned.size(), upright.size());
        QCOMPARE(JpegFixture::quadrantLayout(turned), QList<int>({0, 1, 2, 3}));
        QVERIFY(tfimportworker::rotateImageByExif(QImage(), orientation).isNull());
    }

    void processImageSizes_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("target");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("within 9 px kept") << QSize(1925, 1283) << 1920 << QSize(1925, 1283);
        QTest::newRow("enlarged") << QSize(800, 600) << 1920 << QSize(1920, 1440);
        QTest::newRow("portrait") << QSize(400, 600) << 190 << QSize(126, 190);
    }
    void processImageSizes()
    {
        QFETCH(QSize, source);
        QFETCH(int, target);
        QFETCH(QSize, expected);
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::write(src, JpegFixture::quadrants(source.width(), source.height()), JpegFixture::Options()));
        const QString dst = dir.filePath(QStringLiteral("out.jpg"));
        QVERIFY(tfimportworker::processImage(src, dst, target));
        QCOMPARE(QImageReader(dst).size(), expected);
    }

    void processImageRefusesBadTargets()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(src, 60, 40, 1));
        QVERIFY(!tfimportworker::processImage(src, dir.filePath(QStringLiteral("a.jpg")), 0));
        QVERIFY(!tfimportworker::processImage(src, dir.filePath(QStringLiteral("b.jpg")), 20001));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.jpg"))));
        const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
        QVERIFY(writeBytes(broken, QByteArray("not a picture")));
        QVERIFY(!tfimportworker::processImage(broken, dir.filePath(QStringLiteral("c.jpg")), 90));
    }

    // A stored picture over 30 MiB takes the reduced-decode path; a quarter
    // turn must still give the source's own (turned) pixel dimensions.
    void largeRotateCopyKeepsDimensions()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("big.jpg"));
        JpegFixture::Options o;
        o.orientation = 6;
        o.quality = 80;
        const QImage upright = JpegFixture::quadrants(100, 5000);
        const QByteArray jpeg = JpegFixture::encode(JpegFixture::storedFor(upright, 6), o);
        QVERIFY(writePadded(src, jpeg, 31 * 1024 * 1024));
        const QString dst = dir.filePath(QStringLiteral("out.jpg"));
        QVERIFY(tfimportworker::rotateCopy(src, dst));
        const QImage out(dst);
        QVERIFY(qAbs(out.width() - 100) <= 3);
        QCOMPARE(out.height(), 5000);
        QCOMPARE(JpegFixture::quadrantLayout(out), QList<int>({0, 1, 2, 3}));
    }

    // A file too large to decode is never decoded. It is turned losslessly
    // where its size and the memory budget allow; otherwise it is copied
    // as it is with its orientation tag, so that a viewer still shows it
    // upright. A file cut short still fails and leaves nothing.
    void rotateCopyFileSizeLimit_data()
    {
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<QSize>("upright");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("outcome");
        const qint64 limit = 104857600;
        QTest::newRow("exactly 100 MiB is turned") << limit << QSize(60, 40) << false << "turned";
        QTest::newRow("one byte more, turned losslessly") << limit + 1 << QSize(64, 48) << false << "turned";
        QTest::newRow("one byte more, no lossless turn: tagged copy") << limit + 1 << QSize(60, 40) << false
                                                                      << "tagged";
        QTest::newRow("one byte more, cut short") << limit + 1 << QSize(60, 40) << true << "fails";
    }
    void rotateCopyFileSizeLimit()
    {
        QFETCH(qint64, fileSize);
        QFETCH(QSize, upright);
        QFETCH(bool, cut);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("huge.jpg"));
        JpegFixture::Options o;
        o.orientation = 6;
        QByteArray jpeg = JpegFixture::encode(JpegFixture::storedFor(JpegFixture::quadrants(upright.width(),
                                                                                            upright.height()), 6), o);
        if (cut)
            jpeg.chop(jpeg.size() / 3);
        QVERIFY(writePadded(src, jpeg, fileSize));
        const QString dst = dir.filePath(QStringLiteral("out.jpg"));
        QString reason;
        QCOMPARE(TfImage::rotateCopy(src, dst, &reason), outcome != QLatin1String("fails"));
        if (outcome == QLatin1String("fails")) {
            QCOMPARE(reason, TfImage::truncatedText());
            QVERIFY(!QFileInfo::exists(dst));
            return;
        }
        QVERIFY(reason.isEmpty());
        QCOMPARE(JpegFixture::quadrantLayout(readUpright(dst)), QList<int>({0, 1, 2, 3}));
        if (outcome == QLatin1String("turned")) {
            QCOMPARE(readRaw(dst).size(), upright);
            QVERIFY(QFileInfo(dst).size() < fileSize);
        } else {
            QCOMPARE(readRaw(dst).size(), upright.transposed());
            QCOMPARE(QFileInfo(dst).size(), fileSize);
            QCOMPARE(TfImage::readExifOrientation(dst), 6);
        }
    }

    // A picture that needs turning but cannot be turned (the decoder refuses
    // it, or the writer cannot encode its format) fails; the old target
    // stays whole and no temporary file is left.
    void unturnablePictureFails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("undecodable");
        QTest::newRow("format the writer cannot encode") << "photo.xyz" << false;
        QTest::newRow("coding the decoder refuses") << "photo.jpg" << true;
    }
    void unturnablePictureFails()
    {
        QFETCH(QString, name);
        QFETCH(bool, undecodable);
        QTemporaryDir dir;
        const QString src = dir.filePath(name);
        JpegFixture::Options o;
        o.orientation = 6;
        QByteArray jpeg = JpegFixture::encode(JpegFixture::storedFor(JpegFixture::quadrants(60, 40), 6), o);
        if (undecodable) {
            // Baseline frame marked as lossless, which the decoder does not do.
            const int sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
            QVERIFY(sof > 0);
            jpeg[sof + 1] = char(0xc3);
        }
        QVERIFY(writeBytes(src, jpeg));
        QCOMPARE(tfimportworker::readExifOrientation(src), 6);
        QDir(dir.path()).mkdir(QStringLiteral("all"));
        const QString dst = dir.filePath(QStringLiteral("all/") + name);
        QVERIFY(writeBytes(dst, QByteArray("old copy")));
        QString reason;
        QVERIFY(!TfImage::rotateCopy(src, dst, &reason));
        // The cause: the picture that cannot be read, or the format that
        // cannot be written.
        QCOMPARE(reason, undecodable ? TfImage::notTurnedText() : QStringLiteral("不支持的图片格式"));
        QCOMPARE(fileBytes(dst), QByteArray("old copy"));
        QCOMPARE(leftovers(dir.filePath(QStringLiteral("all")), {name}), QStringList());
    }

    // A target that cannot be replaced (a folder of that name) fails and
    // leaves what was there.
    void unreplaceableTargetFails()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(src, 60, 40, 6));
        const QString dst = dir.filePath(QStringLiteral("taken.jpg"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken.jpg/inner")));
        QVERIFY(!tfimportworker::rotateCopy(src, dst));
        QVERIFY(!tfimportworker::processImage(src, dst, 90));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.jpg/inner"))).isDir());
        QCOMPARE(leftovers(dir.path(), {QStringLiteral("p.jpg")}), QStringList());
    }

    // The source reached through another spelling of the same folder (a
    // link) is the target itself: it is never replaced.
    void sameFileIsNeverReplaced()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("order/all")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("order")), dir.filePath(QStringLiteral("link"))));
        const QString real = dir.filePath(QStringLiteral("order/all/p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(real, 60, 40, 6));
        const QByteArray before = fileBytes(real);
        const QString viaLink = dir.filePath(QStringLiteral("link/all/p.jpg"));
        QVERIFY(tfimportworker::rotateCopy(viaLink, real));
        QCOMPARE(fileBytes(real), before);
        QVERIFY(!tfimportworker::processImage(viaLink, real, 90));
        QCOMPARE(fileBytes(real), before);
    }

    void rotateInPlace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 60, 40, 8));
        QVERIFY(tfimportworker::rotateInPlace(path));
        const QImage raw = readRaw(path);
        QCOMPARE(raw.size(), QSize(60, 40));
        QCOMPARE(JpegFixture::quadrantLayout(raw), QList<int>({0, 1, 2, 3}));
        QCOMPARE(tfimportworker::readExifOrientation(path), 1);
        QCOMPARE(leftovers(dir.path(), {QStringLiteral("p.jpg")}), QStringList());
    }

    // A JPEG cut short (no end-of-image marker after its image data) is told
    // from a whole one, whatever follows the marker or precedes the scan.
    void truncatedJpeg_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("truncated");
        JpegFixture::Options o;
        o.orientation = 6;
        const QByteArray jpeg = JpegFixture::encode(JpegFixture::noise(200, 150), o);
        const QByteArray cut = jpeg.left(jpeg.size() * 6 / 10);
        // An APP1 block whose bytes hold an end marker, as an embedded
        // thumbnail does.
        QByteArray app1("\xff\xe1\x00\x0a" "Exif\x00\x00\xff\xd9", 12);
        QByteArray withThumbnail = jpeg;
        withThumbnail.insert(2, app1);
        QTest::newRow("whole") << jpeg << false;
        QTest::newRow("cut in the image data") << cut << true;
        QTest::newRow("cut in the headers") << jpeg.left(40) << true;
        QTest::newRow("cut, then zero padding") << cut + QByteArray(4096, '\0') << true;
        QTest::newRow("data after the end marker") << jpeg + QByteArray("....ftypmp42") + QByteArray(5000, 'v') << false;
        QTest::newRow("end marker only in a header block")
            << withThumbnail.left(withThumbnail.size() * 6 / 10) << true;
        QTest::newRow("whole, with that header block") << withThumbnail << false;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        JpegFixture::noise(20, 20).save(&buffer, "PNG");
        QTest::newRow("not a JPEG") << png.left(png.size() / 2) << false;
    }
    void truncatedJpeg()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, truncated);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(writeBytes(path, bytes));
        QCOMPARE(TfImage::isTruncatedJpeg(path), truncated);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.seek(7));
        QCOMPARE(TfImage::isTruncatedJpeg(&file), truncated);
        QCOMPARE(file.pos(), qint64(7));
    }

    // A photo read while incomplete is read again later: the failed read is
    // not kept for the same name, size and time.
    void failedDecodeIsNotKept()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("p.jpg"));
        const QByteArray jpeg = JpegFixture::encode(JpegFixture::noise(200, 150), JpegFixture::Options());
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(-60);
        auto place = [&](const QByteArray &bytes) {
            QFile f(src);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()
                && f.setFileTime(stamp, QFileDevice::FileModificationTime);
        };
        // The same size as the whole file: the second half not written yet.
        QVERIFY(place(jpeg.left(jpeg.size() / 2) + QByteArray(jpeg.size() - jpeg.size() / 2, '\0')));
        QString reason;
        QVERIFY(!TfImage::processImage(src, dir.filePath(QStringLiteral("a.jpg")), 90, &reason));
        QCOMPARE(reason, TfImage::truncatedText());
        QVERIFY(place(jpeg));
        QVERIFY(TfImage::processImage(src, dir.filePath(QStringLiteral("b.jpg")), 1920, &reason));
        QCOMPARE(QImageReader(dir.filePath(QStringLiteral("b.jpg"))).size(), QSize(1920, 1440));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("b.jpg"))).right(2), QByteArray("\xff\xd9", 2));
    }
};

QTEST_MAIN(TestImageProcessing)
#include "tst_imageprocessing.moc"
