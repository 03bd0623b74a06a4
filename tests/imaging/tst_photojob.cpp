#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <turbojpeg.h>

#include "tests/support/jpegfixture.h"
#include "tests/support/treefixture.h"
#include "imaging/tfbufferpool.h"
#include "imaging/tfimageprocessing.h"
#include "imaging/tfjpeg.h"
#include "imaging/tfphotojob.h"
#include "imaging/tfphotoplan.h"

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QImage readStored(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.read();
}

// What a viewer shows: the picture turned by its EXIF orientation.
QImage readAsViewer(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

// The JPEG in memory as 32-bit pixels, turned by its orientation as a
// viewer does or as stored.
QImage readBytes(const QByteArray &jpeg, bool asViewer)
{
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(asViewer);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

JpegFixture::Options cameraOptions(int orientation, int sampling)
{
    JpegFixture::Options o;
    o.orientation = orientation;
    o.sampling = sampling;
    o.quality = 92;
    o.cameraMake = QStringLiteral("Velquora Optics");
    o.cameraModel = QStringLiteral("VQ-5D Mark II");
    o.dateTaken = QStringLiteral("2024:05:09 10:11:12");
    o.pixelSize = true;
    o.thumbnail = true;
    o.xmpOrientation = true;
    return o;
}

// The job of one photo with its full-size copy and three reduced copies,
// each in its size folder of the order's folder, as the import manager
// lays them out.
std::shared_ptr<TfPhotoJob> fourCopies(const QString &source, const QString &orderFolder,
                                       const QList<int> &sizes = {1920, 190, 90})
{
    const QString name = QFileInfo(source).fileName();
    QList<TfPhotoJob::Output> outputs;
    TfPhotoJob::Output all;
    all.size = 0;
    all.target = orderFolder + QStringLiteral("/all/") + name;
    all.folder = orderFolder;
    outputs.append(all);
    for (int size : sizes) {
        TfPhotoJob::Output reduced = all;
        reduced.size = size;
        reduced.target = orderFolder + QLatin1Char('/') + QString::number(size) + QLatin1Char('/') + name;
        outputs.append(reduced);
    }
    for (const TfPhotoJob::Output &output : qAsConst(outputs))
        QDir().mkpath(QFileInfo(output.target).absolutePath());
    return std::make_shared<TfPhotoJob>(source, outputs);
}

} // namespace

class TestPhotoJob : public QObject
{
    Q_OBJECT

private slots:
    void init() { TfPhotoJob::resetStats(); }

    // Every orientation, a size that allows a lossless turn and one that
    // does not, 4:2:0 and 4:4:4: each copy shows what a viewer shows of the
    // source, the turned full-size copy keeps the camera's metadata and
    // says orientation 1 everywhere, so no viewer turns it again.
    void copiesShowWhatAViewerShows_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("sampling");
        QTest::addColumn<bool>("lossless");
        QTest::addColumn<bool>("progressive");
        for (int sampling : {420, 444}) {
            for (int o = 1; o <= 8; ++o) {
                // Whole blocks of either sampling: every turn is lossless.
                QTest::addRow("%d, code %d, 320x240", sampling, o) << o << QSize(320, 240) << sampling << true << false;
                // Cut blocks on both edges: only the transposition (code 5),
                // which keeps the cut blocks at the far edges, is lossless.
                QTest::addRow("%d, code %d, 319x239", sampling, o)
                    << o << QSize(319, 239) << sampling << (o == 5) << false;
            }
        }
        // As an editor or a phone may save them: decoded and encoded again
        // like the others, with the camera's metadata.
        for (int o = 1; o <= 8; ++o)
            QTest::addRow("progressive 420, code %d, 319x239", o) << o << QSize(319, 239) << 420 << (o == 5) << true;
    }
    void copiesShowWhatAViewerShows()
    {
        QFETCH(int, orientation);
        QFETCH(QSize, size);
        QFETCH(int, sampling);
        QFETCH(bool, lossless);
        QFETCH(bool, progressive);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("DSC_0001.jpg"));
        const QImage upright = JpegFixture::scene(size.width(), size.height(), 7);
        JpegFixture::Options options = cameraOptions(orientation, sampling);
        options.progressive = progressive;
        QVERIFY(JpegFixture::write(source, JpegFixture::storedFor(upright, orientation), options));
        const QImage viewer = readAsViewer(source);
        QCOMPARE(viewer.size(), size);

        const QString order = dir.filePath(QStringLiteral("order"));
        auto job = fourCopies(source, order);
        job->run();
        for (int i = 0; i < job->outputCount(); ++i) {
            QString message;
            QVERIFY(job->result(i, &message));
            QVERIFY2(message.isEmpty(), qPrintable(message));
        }

        const QString all = order + QStringLiteral("/all/DSC_0001.jpg");
        const QByteArray copy = fileBytes(all);
        const QImage stored = readStored(all);
        QCOMPARE(stored.size(), size);
        const double fullPsnr = JpegFixture::psnr(viewer, stored);
        const JpegFixture::ExifTags exif = JpegFixture::readExif(copy);
        QVERIFY(exif.found);
        QCOMPARE(exif.cameraMake, QStringLiteral("Velquora Optics"));
        QCOMPARE(exif.cameraModel, QStringLiteral("VQ-5D Mark II"));
        QCOMPARE(exif.dateTaken, QStringLiteral("2024:05:09 10:11:12"));
        const TfPhotoJob::Stats stats = TfPhotoJob::stats();
        QCOMPARE(stats.reads, 1);
        if (orientation == 1) {
            QCOMPARE(copy, fileBytes(source));
        } else {
            QCOMPARE(exif.orientation, 1);
            QCOMPARE(JpegFixture::xmpOrientation(copy), 1);
            QCOMPARE(QSize(exif.pixelWidth, exif.pixelHeight), size);
            QCOMPARE(readAsViewer(all), stored);
            QCOMPARE(stats.losslessTurns, lossless ? 1 : 0);
            QCOMPARE(stats.reencodedTurns, lossless ? 0 : 1);
            // Moved coded pixels decode to the source's within rounding;
            // a re-encode at quality 95 loses a little more.
            QVERIFY2(fullPsnr >= (lossless ? 50.0 : 38.0), qPrintable(QString::number(fullPsnr)));
            // The embedded thumbnail, when kept, is turned too.
            if (!exif.thumbnail.isEmpty()) {
                const QImage thumb = QImage::fromData(exif.thumbnail);
                QVERIFY(!thumb.isNull());
                const double thumbPsnr = JpegFixture::psnr(
                    viewer.scaled(thumb.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), thumb);
                QVERIFY2(thumbPsnr >= 24.0, qPrintable(QString::number(thumbPsnr)));
            }
        }
        // The reduced copies are upright pixels, sized from the upright view.
        for (int target : {1920, 190, 90}) {
            const QString path = order + QStringLiteral("/%1/DSC_0001.jpg").arg(target);
            const QImage reduced = readStored(path);
            const QSize expected = size.scaled(target, target, Qt::KeepAspectRatio);
            QVERIFY2(qAbs(reduced.width() - expected.width()) <= 1 && qAbs(reduced.height() - expected.height()) <= 1,
                     qPrintable(QStringLiteral("%1: %2x%3").arg(target).arg(reduced.width()).arg(reduced.height())));
            const double p = JpegFixture::psnr(
                viewer.scaled(reduced.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), reduced);
            QVERIFY2(p >= 28.0, qPrintable(QStringLiteral("%1: %2 dB").arg(target).arg(p)));
        }
    }

    // Codings a camera or an editor also writes, turned without decoding:
    // the copy shows what a viewer shows of the source, within rounding.
    void losslessTurnOfOtherCodings_data()
    {
        QTest::addColumn<int>("sampling");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("orientation");
        for (int o : {3, 6, 7, 8}) {
            QTest::addRow("progressive 4:2:0, code %d", o) << 420 << true << o;
            QTest::addRow("4:2:2, code %d", o) << 422 << false << o;
            QTest::addRow("grey, code %d", o) << 400 << false << o;
            QTest::addRow("progressive 4:4:4, code %d", o) << 444 << true << o;
        }
    }
    void losslessTurnOfOtherCodings()
    {
        QFETCH(int, sampling);
        QFETCH(bool, progressive);
        QFETCH(int, orientation);
        JpegFixture::Options o = cameraOptions(orientation, sampling);
        o.progressive = progressive;
        QImage upright = JpegFixture::scene(256, 192, 3);
        if (sampling == 400)
            upright = upright.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
        const QByteArray source = JpegFixture::encode(JpegFixture::storedFor(upright, orientation), o);
        QVERIFY(!source.isEmpty());
        QByteArray turned;
        QString error;
        QCOMPARE(TfJpeg::turnLossless(reinterpret_cast<const uchar *>(source.constData()), source.size(), orientation,
                                      &turned, &error),
                 TfJpeg::TurnResult::Turned);
        const QImage expected = readBytes(source, true);
        const QImage copy = readBytes(turned, false);
        QCOMPARE(copy.size(), upright.size());
        const double p = JpegFixture::psnr(expected, copy);
        QVERIFY2(p >= 50.0, qPrintable(QString::number(p)));
        const JpegFixture::ExifTags exif = JpegFixture::readExif(turned);
        QCOMPARE(exif.orientation, 1);
        QCOMPARE(exif.cameraModel, o.cameraModel);
    }

    // One read per photo and one decode, at the smallest DCT-scaled size
    // that still covers the largest reduced copy; a full decode only when
    // the full-size copy needs one or a copy is larger than any scaled one.
    void oneReadAndTheSmallestDecode_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<int>("scaled");
        QTest::addColumn<int>("full");
        QTest::newRow("1920 from half of 4000x3000") << QSize(4000, 3000) << 1 << QList<int>{1920, 190, 90} << 1 << 0;
        QTest::newRow("1920 from half, turned losslessly") << QSize(4000, 3008) << 6 << QList<int>{1920, 190, 90} << 1
                                                           << 0;
        QTest::newRow("190 from a quarter of 1600x1200") << QSize(1600, 1200) << 1 << QList<int>{190, 90} << 1 << 0;
        QTest::newRow("1920 enlarged from 800x600") << QSize(800, 600) << 1 << QList<int>{1920, 90} << 0 << 1;
        QTest::newRow("re-encoded turn shares its decode") << QSize(1000, 750) << 6 << QList<int>{190, 90} << 0 << 1;
    }
    void oneReadAndTheSmallestDecode()
    {
        QFETCH(QSize, size);
        QFETCH(int, orientation);
        QFETCH(QList<int>, sizes);
        QFETCH(int, scaled);
        QFETCH(int, full);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("p.jpg"));
        JpegFixture::Options o;
        o.orientation = orientation;
        QVERIFY(JpegFixture::write(source, JpegFixture::scene(size.width(), size.height()), o));
        auto job = fourCopies(source, dir.filePath(QStringLiteral("order")), sizes);
        job->run();
        for (int i = 0; i < job->outputCount(); ++i) {
            QString message;
            QVERIFY(job->result(i, &message));
            QVERIFY2(message.isEmpty(), qPrintable(message));
        }
        const TfPhotoJob::Stats stats = TfPhotoJob::stats();
        QCOMPARE(stats.reads, 1);
        QCOMPARE(stats.scaledDecodes, scaled);
        QCOMPARE(stats.fullDecodes, full);
    }

    // A job cancelled before it ran writes nothing and reports no copy.
    void cancelledJobWritesNothing()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(source, 64, 48, 6));
        auto job = fourCopies(source, dir.filePath(QStringLiteral("order")));
        job->cancel();
        QString message;
        QVERIFY(!job->result(0, &message));
        job->run();
        QCOMPARE(TreeFixture::below(dir.filePath(QStringLiteral("order"))), QStringList());
        QCOMPARE(TfPhotoJob::stats().reads, 0);
    }

    // The metadata of an upright copy: what would turn it again or no longer
    // fits it is mended or dropped, the rest kept byte for byte.
    void uprightMetadata()
    {
        const QImage stored = JpegFixture::scene(64, 48);
        JpegFixture::Options o = cameraOptions(6, 420);
        const QByteArray source = JpegFixture::encode(stored, o);
        QList<TfJpeg::Segment> segments;
        QVERIFY(TfJpeg::metadataOf(source, &segments));
        const auto segment = [](uchar marker, const QByteArray &payload) {
            TfJpeg::Segment s;
            s.marker = marker;
            s.payload = payload;
            return s;
        };
        const QByteArray icc = QByteArray("ICC_PROFILE\0\1\1", 14) + QByteArray(300, 'p');
        segments << segment(0xe2, icc) << segment(0xe2, QByteArray("MPF\0MM\0\x2a", 8))
                 << segment(0xe0, QByteArray("JFXX\0\x10", 6)) << segment(0xee, QByteArray("Adobe\0\x64", 7))
                 << segment(0xfe, QByteArray("a comment"));
        const QByteArray encoded = JpegFixture::encode(stored.transformed(QTransform().rotate(90)), JpegFixture::Options());
        for (bool keepAdobe : {false, true}) {
            const QByteArray out = TfJpeg::withUprightMetadata(encoded, segments, QSize(48, 64), 6, keepAdobe);
            QList<TfJpeg::Segment> kept;
            QVERIFY(TfJpeg::metadataOf(out, &kept));
            QStringList markers;
            for (const TfJpeg::Segment &s : qAsConst(kept))
                markers << QString::number(s.marker, 16) + QLatin1Char(':') + QString::fromLatin1(s.payload.left(4));
            QVERIFY2(markers.contains(QStringLiteral("e2:ICC_")), qPrintable(markers.join(',')));
            QVERIFY(markers.contains(QStringLiteral("fe:a co")));
            QVERIFY(!markers.contains(QStringLiteral("e2:MPF") + QChar(0)));
            QVERIFY(!markers.contains(QStringLiteral("e0:JFXX")));
            QCOMPARE(markers.contains(QStringLiteral("ee:Adob")), keepAdobe);
            const JpegFixture::ExifTags exif = JpegFixture::readExif(out);
            QCOMPARE(exif.orientation, 1);
            QCOMPARE(exif.cameraModel, o.cameraModel);
            QCOMPARE(JpegFixture::xmpOrientation(out), 1);
            QBuffer buffer;
            buffer.setData(out);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            QCOMPARE(reader.read().size(), QSize(48, 64));
        }
    }

    // A picture whose encoding is larger than the room first given to the
    // encoder (pure noise at quality 95, 4:4:4: about three bytes a pixel)
    // is still encoded whole and turned, and nothing is left behind.
    void reencodeLargerThanItsFirstBuffer()
    {
        const QImage noise = JpegFixture::noise(300, 200);
        QByteArray encoded;
        QString error;
        QVERIFY2(TfJpeg::encodeUpright(noise, 6, 95, 0 /* 4:4:4 */, &encoded, &error), qPrintable(error));
        QVERIFY(encoded.size() > noise.width() * noise.height() + 65536);
        const QImage copy = readBytes(encoded, false);
        QCOMPARE(copy.size(), QSize(200, 300));
        const QImage expected = TfImage::rotateImageByExif(noise, 6);
        const double p = JpegFixture::psnr(expected, copy);
        QVERIFY2(p >= 25.0, qPrintable(QString::number(p)));
    }

    // A photo of much fine detail passes 30 MB (pure noise at quality 100,
    // 4:4:4, ten megapixels) and its turn cannot be lossless (the edge
    // that moves is no whole block): it is turned at its own size. Decoded smaller and scaled
    // back, its copy lost its detail and a line of pixels.
    void largeFileTurnedAtItsOwnSize()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QImage upright = JpegFixture::noise(2401, 4401, 7);
        JpegFixture::Options options = cameraOptions(6, 444);
        options.quality = 100;
        const QString source = dir.filePath(QStringLiteral("large.jpg"));
        QVERIFY(JpegFixture::write(source, JpegFixture::storedFor(upright, 6), options));
        QVERIFY2(QFileInfo(source).size() > 30 * 1024 * 1024, qPrintable(QString::number(QFileInfo(source).size())));
        const QImage shown = readAsViewer(source).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(2401, 4401));

        const std::shared_ptr<TfPhotoJob> job = fourCopies(source, dir.filePath(QStringLiteral("order")));
        job->run();
        for (int i = 0; i < job->outputCount(); ++i) {
            QString message;
            QVERIFY2(job->result(i, &message), qPrintable(message));
            QVERIFY2(message.isEmpty(), qPrintable(message));
        }
        const QString full = dir.filePath(QStringLiteral("order/all/large.jpg"));
        const QImage copy = readStored(full).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(copy.size(), QSize(2401, 4401));
        const double p = JpegFixture::psnr(shown, copy);
        QVERIFY2(p >= 25.0, qPrintable(QString::number(p)));
        QCOMPARE(JpegFixture::readExif(fileBytes(full)).orientation, 1);
    }

    // Idle blocks kept for the next photo never pass the budget beside
    // what the jobs hold, whether the jobs hold blocks of ours or the
    // codec's own memory.
    void idleBlocksStayWithinTheBudget()
    {
        TfBufferPool &pool = TfBufferPool::instance();
        const qint64 mib = 1024 * 1024;
        const qint64 before = pool.budget();
        pool.trim();
        pool.setBudget(100 * mib);
        {
            TfBufferPool::Reservation first;
            QVERIFY(pool.reserve(40 * mib, &first, {}));
            TfBufferPool::Block block = pool.take(30 * mib);
            QVERIFY(!block.isNull());
        }
        // One job's block is idle now; the next job holds codec memory only.
        QVERIFY(pool.blockBytes() > 0);
        {
            TfBufferPool::Reservation second;
            QVERIFY(pool.reserve(80 * mib, &second, {}));
            QVERIFY2(pool.blockBytes() + pool.reservedBytes() <= pool.budget(),
                     qPrintable(QString::number(pool.blockBytes() / mib)));
        }
        pool.setBudget(before);
        pool.trim();
    }

    // A job is admitted while its own bytes fit beside what the others
    // hold and waits for them otherwise, then goes once they are given
    // back; a job larger than the whole budget goes alone.
    void reserveCountsTheAskingJob_data()
    {
        const qint64 mib = 1024 * 1024;
        QTest::addColumn<qint64>("held");
        QTest::addColumn<qint64>("asked");
        QTest::addColumn<bool>("waits");
        QTest::newRow("fills the budget exactly") << 60 * mib << 40 * mib << false;
        QTest::newRow("a byte over the budget") << 60 * mib << 40 * mib + 1 << true;
        QTest::newRow("fits alone, not beside the other") << 60 * mib << 50 * mib << true;
        QTest::newRow("nothing held, larger than the budget") << qint64(0) << 150 * mib << false;
        QTest::newRow("behind a job larger than the budget") << 150 * mib << qint64(1) << true;
    }
    void reserveCountsTheAskingJob()
    {
        QFETCH(qint64, held);
        QFETCH(qint64, asked);
        QFETCH(bool, waits);
        TfBufferPool &pool = TfBufferPool::instance();
        const qint64 before = pool.budget();
        pool.setBudget(100 * 1024 * 1024);
        const auto restoreBudget = qScopeGuard([&]() { pool.setBudget(before); });
        QCOMPARE(pool.reservedBytes(), qint64(0));

        TfBufferPool::Reservation first;
        QVERIFY(pool.reserve(held, &first, {}));
        enum { Pending, Admitted, Refused };
        std::atomic<int> outcome{Pending};
        std::atomic<bool> giveUp{false};
        TfBufferPool::Reservation second;
        std::thread asking([&]() {
            const bool admitted = pool.reserve(asked, &second, [&]() { return giveUp.load(); });
            outcome.store(admitted ? Admitted : Refused);
        });
        const auto stopAsking = qScopeGuard([&]() {
            giveUp.store(true);
            asking.join();
        });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.load() != Pending || pool.waitingReservations() > 0, 10000);
        if (!waits) {
            QTRY_COMPARE_WITH_TIMEOUT(outcome.load(), int(Admitted), 10000);
            QCOMPARE(pool.reservedBytes(), held + asked);
            return;
        }
        QCOMPARE(outcome.load(), int(Pending));
        QCOMPARE(pool.reservedBytes(), held);
        first = TfBufferPool::Reservation();
        QTRY_COMPARE_WITH_TIMEOUT(outcome.load(), int(Admitted), 10000);
        QCOMPARE(pool.reservedBytes(), asked);
    }

    // A caller of reserve() has no other work to go to (a worker waiting
    // for its own photo): while it waits, nothing is admitted past it
    // without waiting, however small; once it is in, room is taken again.
    void aWaitingCallerGoesFirst()
    {
        TfBufferPool &pool = TfBufferPool::instance();
        const qint64 mib = 1024 * 1024;
        const qint64 before = pool.budget();
        pool.setBudget(100 * mib);
        const auto restoreBudget = qScopeGuard([&]() { pool.setBudget(before); });
        TfBufferPool::Reservation held;
        QVERIFY(pool.reserve(60 * mib, &held, {}));
        std::atomic<bool> admitted{false};
        TfBufferPool::Reservation waiting;
        std::thread caller([&]() { admitted.store(pool.reserve(50 * mib, &waiting, {})); });
        const auto join = qScopeGuard([&]() { caller.join(); });
        QTRY_COMPARE_WITH_TIMEOUT(pool.waitingReservations(), 1, 10000);
        TfBufferPool::Reservation small;
        QVERIFY(!pool.tryReserve(mib, &small));
        QCOMPARE(small.bytes(), qint64(0));
        held = TfBufferPool::Reservation();
        QTRY_VERIFY_WITH_TIMEOUT(admitted.load(), 10000);
        QVERIFY(pool.tryReserve(mib, &small));
        QCOMPARE(pool.reservedBytes(), 51 * mib);
        // What a job gives back before it ends is free for the next at once.
        waiting.shrinkTo(10 * mib);
        QCOMPARE(pool.reservedBytes(), 11 * mib);
    }

    // Jobs wait for their memory without a thread. With room for one large
    // job, a small one queued behind a large one that waits is made while
    // the first large one runs; smalls go past the waiting one until it
    // has been passed kPassesBeforeFirst times, then none does until it is
    // in. The jobs never hold more than the budget.
    void waitingJobsHoldNoThread_data()
    {
        QTest::addColumn<int>("threads");
        // In the order submitted: L a large job, S a small one.
        QTest::addColumn<QString>("queue");
        // Smalls made while the first large one runs.
        QTest::addColumn<int>("passing");
        QTest::newRow("a small passes a waiting large") << 2 << QStringLiteral("LLS") << 1;
        QTest::newRow("three threads, two larges waiting") << 3 << QStringLiteral("LLLSS") << 2;
        QTest::newRow("smalls pass until the large has waited its turn")
            << 2 << QStringLiteral("LL") + QString(12, QLatin1Char('S')) << TfPhotoPool::kPassesBeforeFirst;
    }
    void waitingJobsHoldNoThread()
    {
        QFETCH(int, threads);
        QFETCH(QString, queue);
        QFETCH(int, passing);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
        TfBufferPool &memory = TfBufferPool::instance();
        const qint64 mib = 1024 * 1024;
        const qint64 before = memory.budget();
        memory.setBudget(100 * mib);
        const auto restoreBudget = qScopeGuard([&]() { memory.setBudget(before); });
        // The rest of the process holds a tenth: a large job (a picture the
        // job cannot look into reserves half the budget) fits once, not
        // twice; smalls fit beside one.
        TfBufferPool::Reservation others;
        QVERIFY(memory.reserve(10 * mib, &others, {}));
        memory.resetPeak();
        const QString large = dir.filePath(QStringLiteral("large.png"));
        QVERIFY(JpegFixture::scene(64, 48).save(large));
        const QString small = dir.filePath(QStringLiteral("small.jpg"));
        QVERIFY(JpegFixture::write(small, JpegFixture::scene(64, 48), JpegFixture::Options()));

        // The large ones are made their own way, each held until the gate
        // opens; each tells how many smalls were made when it started.
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        std::vector<int> smallsAtLargeStart;
        std::vector<std::shared_ptr<TfPhotoJob>> larges;
        std::vector<std::shared_ptr<TfPhotoJob>> smalls;
        const auto smallsMade = [&]() {
            return int(std::count_if(smalls.begin(), smalls.end(),
                                     [](const std::shared_ptr<TfPhotoJob> &job) { return job->isFinished(); }));
        };
        std::vector<std::shared_ptr<TfPhotoJob>> jobs;
        for (int i = 0; i < queue.size(); ++i) {
            TfPhotoJob::Output output;
            output.target = dir.filePath(QStringLiteral("out/%1.jpg").arg(i));
            TfPhotoJob::Hooks hooks;
            hooks.produce = [&](int, const QString &, QString *) {
                std::unique_lock<std::mutex> lock(mutex);
                smallsAtLargeStart.push_back(smallsMade());
                changed.wait(lock, [&]() { return open; });
                return true;
            };
            const bool isLarge = queue.at(i) == QLatin1Char('L');
            jobs.push_back(std::make_shared<TfPhotoJob>(isLarge ? large : small, QList<TfPhotoJob::Output>{output},
                                                        isLarge ? hooks : TfPhotoJob::Hooks()));
            (isLarge ? larges : smalls).push_back(jobs.back());
        }
        TfPhotoPool pool(threads);
        const auto openGate = qScopeGuard([&]() {
            {
                std::lock_guard<std::mutex> lock(mutex);
                open = true;
            }
            changed.notify_all();
        });
        for (const auto &job : jobs)
            pool.submit(job);

        // Every thread but the one the first large holds has run out of
        // what it may start: the smalls it made are all it will make.
        QTRY_VERIFY_WITH_TIMEOUT(smallsMade() == passing && pool.idleThreads() == threads - 1, 20000);
        {
            std::lock_guard<std::mutex> lock(mutex);
            QCOMPARE(int(smallsAtLargeStart.size()), 1);
        }
        // Every job that waits for memory is the pool's, holding no thread.
        QVERIFY(pool.waitingJobs() >= 1);
        QCOMPARE(memory.waitingReservations(), pool.waitingJobs());

        {
            std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        changed.notify_all();
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(jobs.begin(), jobs.end(),
                                             [](const std::shared_ptr<TfPhotoJob> &job) { return job->isFinished(); }),
                                 20000);
        // The second large one came before any small behind it.
        std::lock_guard<std::mutex> lock(mutex);
        QCOMPARE(int(smallsAtLargeStart.size()), int(larges.size()));
        QCOMPARE(smallsAtLargeStart.at(1), passing);
        for (const auto &job : jobs) {
            QString message;
            QVERIFY(job->result(0, &message));
            QVERIFY2(message.isEmpty(), qPrintable(message));
        }
        QVERIFY2(memory.peakReservedBytes() <= memory.budget(),
                 qPrintable(QString::number(memory.peakReservedBytes() / mib)));
    }

    // What a job makes of a photo itself and what it leaves to the worker's
    // own copy, for the photos too large or too odd to make in a test:
    // a file beyond the decode limit is never decoded here, only turned
    // losslessly when the budget holds the file and the turn; a picture
    // the codec does not decode, or too large to decode whole, has its
    // full-size copy made by the worker. The file is read whole only when
    // the job makes a copy of it.
    void planLeavesTheWorkerWhatItCannotMake_data()
    {
        const qint64 mib = 1024 * 1024;
        const qint64 overTheLimit = TfImage::kNeverDecodeBytes + 1;
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("colorspace");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<int>("full");
        QTest::addColumn<QList<int>>("theirOwn");
        QTest::newRow("upright, over the decode limit")
            << QSize(4000, 3000) << int(TJCS_YCbCr) << 1 << overTheLimit << 800 * mib << int(TfPhotoPlan::Full::OnItsOwn)
            << QList<int>{0, 1, 2, 3};
        QTest::newRow("turned losslessly, over the decode limit")
            << QSize(4000, 3008) << int(TJCS_YCbCr) << 6 << overTheLimit << 800 * mib << int(TfPhotoPlan::Full::Lossless)
            << QList<int>{1, 2, 3};
        QTest::newRow("over the decode limit, budget short of file and turn")
            << QSize(4000, 3008) << int(TJCS_YCbCr) << 6 << overTheLimit << 128 * mib << int(TfPhotoPlan::Full::OnItsOwn)
            << QList<int>{0, 1, 2, 3};
        QTest::newRow("cut blocks, decoded whole") << QSize(4001, 3001) << int(TJCS_YCbCr) << 6 << 8 * mib << 800 * mib
                                                   << int(TfPhotoPlan::Full::Reencode) << QList<int>{};
        QTest::newRow("cut blocks, CMYK") << QSize(4001, 3001) << int(TJCS_CMYK) << 6 << 8 * mib << 800 * mib
                                          << int(TfPhotoPlan::Full::OnItsOwn) << QList<int>{0, 1, 2, 3};
        QTest::newRow("cut blocks, too large to decode whole")
            << QSize(9001, 6001) << int(TJCS_YCbCr) << 6 << 30 * mib << 800 * mib << int(TfPhotoPlan::Full::OnItsOwn)
            << QList<int>{0};
    }
    void planLeavesTheWorkerWhatItCannotMake()
    {
        QFETCH(QSize, size);
        QFETCH(int, colorspace);
        QFETCH(int, orientation);
        QFETCH(qint64, fileSize);
        QFETCH(qint64, budget);
        QFETCH(int, full);
        QFETCH(QList<int>, theirOwn);
        TfJpeg::Header header;
        header.width = size.width();
        header.height = size.height();
        header.colorspace = colorspace;
        header.subsampling = colorspace == TJCS_CMYK ? TJSAMP_444 : TJSAMP_420;
        header.quality = 92;
        QList<TfPhotoPlan::Copy> copies;
        for (int longSide : {0, 1920, 190, 90}) {
            TfPhotoPlan::Copy copy;
            copy.output = copies.size();
            copy.size = longSide;
            copies.append(copy);
        }
        const TfPhotoPlan plan(header, orientation, copies, fileSize, budget, budget / 8);
        QCOMPARE(int(plan.full), full);
        QCOMPARE(plan.theirOwn, theirOwn);
        QCOMPARE(plan.makesNothing(), theirOwn.size() == copies.size());
    }

    // A lossless turn packs the source's coefficients only when whole they
    // would not leave a photo in flight for every core (4:4:4 of fine
    // detail at 24 megapixels), and only when its coding bounds what its
    // file holds; packed, the job reserves less than whole.
    void planPacksTheTurnsThatHoldTheCoresBack_data()
    {
        const qint64 mib = 1024 * 1024;
        QTest::addColumn<int>("subsampling");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<bool>("packs");
        QTest::newRow("4:4:4 of fine detail") << int(TJSAMP_444) << false << 15 * mib << true;
        QTest::newRow("4:2:0 from a camera") << int(TJSAMP_420) << false << 12 * mib << false;
        QTest::newRow("4:4:4, progressive") << int(TJSAMP_444) << true << 15 * mib << false;
        QTest::newRow("4:4:4 as dense as noise") << int(TJSAMP_444) << false << 60 * mib << false;
    }
    void planPacksTheTurnsThatHoldTheCoresBack()
    {
        QFETCH(int, subsampling);
        QFETCH(bool, progressive);
        QFETCH(qint64, fileSize);
        QFETCH(bool, packs);
        const qint64 mib = 1024 * 1024;
        TfJpeg::Header header;
        header.width = 6000;
        header.height = 4000;
        header.subsampling = subsampling;
        header.colorspace = TJCS_YCbCr;
        header.components = 3;
        header.progressive = progressive;
        // The standard tables' shortest AC code; none bounds a progressive file.
        header.shortestAcCode = progressive ? 0 : 2;
        header.quality = 92;
        QList<TfPhotoPlan::Copy> copies;
        for (int longSide : {0, 1920, 190, 90}) {
            TfPhotoPlan::Copy copy;
            copy.output = copies.size();
            copy.size = longSide;
            copies.append(copy);
        }
        const TfPhotoPlan plan(header, 6, copies, fileSize, 800 * mib, 100 * mib);
        QCOMPARE(int(plan.full), int(TfPhotoPlan::Full::Lossless));
        QCOMPARE(plan.turnMemory == TfJpeg::TurnMemory::Packed, packs);
        const qint64 whole = TfJpeg::coefficientBytes(header);
        QCOMPARE(plan.turnBytes - plan.madeBytes - mib < whole, packs);
        QVERIFY(plan.bytes >= plan.turnBytes);
    }

    // The photos' memory fits the machine: a share a core, two photos at
    // least, never more than a quarter of its memory, and the whole
    // process under 1 GB however many cores it has.
    void budgetFitsTheMachine_data()
    {
        QTest::addColumn<int>("cores");
        QTest::addColumn<qint64>("memoryMiB");
        QTest::addColumn<qint64>("budgetMiB");
        QTest::newRow("2 cores, 8 GB") << 2 << qint64(8192) << qint64(220);
        QTest::newRow("4 cores, 16 GB") << 4 << qint64(16384) << qint64(440);
        QTest::newRow("8 cores, 24 GB") << 8 << qint64(24576) << qint64(800);
        QTest::newRow("64 cores, 256 GB") << 64 << qint64(262144) << qint64(800);
        QTest::newRow("8 cores, 2 GB") << 8 << qint64(2048) << qint64(512);
        QTest::newRow("1 core, 512 MB") << 1 << qint64(512) << qint64(128);
        QTest::newRow("memory not known") << 4 << qint64(0) << qint64(440);
    }
    void budgetFitsTheMachine()
    {
        QFETCH(int, cores);
        QFETCH(qint64, memoryMiB);
        QFETCH(qint64, budgetMiB);
        QCOMPARE(TfBufferPool::budgetFor(cores, memoryMiB * 1024 * 1024) / (1024 * 1024), budgetMiB);
    }

    // An EXIF block cut anywhere, or with offsets pointing anywhere, is
    // never read or written outside itself.
    void brokenExifIsHarmless()
    {
        const QByteArray source = JpegFixture::encode(JpegFixture::scene(64, 48), cameraOptions(8, 420));
        QList<TfJpeg::Segment> segments;
        QVERIFY(TfJpeg::metadataOf(source, &segments));
        QByteArray exif;
        for (const TfJpeg::Segment &s : qAsConst(segments)) {
            if (s.payload.startsWith(QByteArray("Exif\0\0", 6)))
                exif = s.payload;
        }
        QVERIFY(!exif.isEmpty());
        for (int cut = 0; cut <= exif.size(); ++cut) {
            const QByteArray out = TfJpeg::uprightExif(exif.left(cut), QSize(48, 64), 8);
            QCOMPARE(out.size(), cut);
        }
        for (int at = 6; at < qMin(exif.size(), 200); ++at) {
            QByteArray scrambled = exif;
            scrambled[at] = char(0xff);
            QCOMPARE(TfJpeg::uprightExif(scrambled, QSize(48, 64), 8).size(), scrambled.size());
        }
    }
};

QTEST_MAIN(TestPhotoJob)
#include "tst_photojob.moc"
