#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>


#include "tests/support/jpegfixture.h"
#include "tests/support/transferorders.h"
#include "tests/transferphotos/producegate.h"
#include "imaging/tfbufferpool.h"
#include "imaging/tfimageprocessing.h"
#include "transferphotos/jobs/tfimportthreadmanager.h"
#include "transferphotos/jobs/tfimportworker.h"
#include "imaging/tfphotojob.h"

using TransferOrders::photoEntries;

class TestImportThreadManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QStringList photos;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("picked")));
        for (int i = 0; i < 6; ++i) {
            const QString path = dir.filePath(QStringLiteral("picked/P%1.jpg").arg(i));
            QVERIFY(JpegFixture::writeUprightQuadrants(path, 60, 40, i % 2 ? 6 : 1));
            photos.append(path);
        }
    }
    void init() { TfPhotoJob::resetStats(); }

    void workerCountIsClamped_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("expected");
        QTest::newRow("zero") << 0 << 1;
        QTest::newRow("negative") << -3 << 1;
        QTest::newRow("seventeen") << 17 << 16;
        QTest::newRow("two") << 2 << 2;
    }
    void workerCountIsClamped()
    {
        QFETCH(int, requested);
        QFETCH(int, expected);
        tfimportthreadmanager manager;
        QCOMPARE(manager.currentWorkerCount(), 4);
        manager.setWorkerCount(requested);
        QCOMPARE(manager.currentWorkerCount(), expected);
    }

    // Nine entries over two workers: every index reported once, one
    // completion after the ninth report, then the end of all work.
    void nineEntriesOverTwoWorkers()
    {
        QTemporaryDir out;
        QList<PhotoInfo> entries = photoEntries(photos.at(0)) + photoEntries(photos.at(1));
        entries.append(photoEntries(photos.at(2)).first());
        QCOMPARE(entries.size(), 9);
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy progress(&manager, &tfimportthreadmanager::orderProgressUpdated);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("A1"), out.filePath(QStringLiteral("A1")), entries)});
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 30000);
        QCOMPARE(imported.count(), 9);
        QCOMPARE(completed.count(), 1);
        QSet<int> indexes;
        for (const QList<QVariant> &args : qAsConst(imported)) {
            QVERIFY2(args.at(3).toBool(), qPrintable(args.at(4).toString()));
            indexes.insert(args.at(2).toInt());
        }
        QCOMPARE(indexes.size(), 9);
        QCOMPARE(*std::max_element(indexes.begin(), indexes.end()), 8);
        QCOMPARE(progress.last().at(1).toInt(), 9);
        QCOMPARE(progress.last().at(2).toInt(), 9);
        QVERIFY(completed.first().at(1).toBool());
        QVERIFY(completed.first().at(2).toString().isEmpty());
        for (const char *folder : {"all", "90", "190", "1920", "原始档"})
            QVERIFY(QFileInfo(out.filePath(QStringLiteral("A1/") + QString::fromUtf8(folder))).isDir());
        QVERIFY(QDir(out.filePath(QStringLiteral("A1/原始档"))).isEmpty());
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("A1/1920/P1.jpg"))));
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("A1/all/P2.jpg"))));
        // Three photos, each read once; the two with reduced copies decoded
        // once for all of them, the upright one with only its full-size
        // copy not at all.
        QCOMPARE(TfPhotoJob::stats().reads, 3);
        QCOMPARE(TfPhotoJob::stats().fullDecodes + TfPhotoJob::stats().scaledDecodes, 2);
        // The signals of a batch carry the resolved order folder.
        QCOMPARE(completed.first().at(0).value<OrderInfo>().importPath, out.filePath(QStringLiteral("A1")));
    }

    // The same photos, all eight orientations in a size that allows a
    // lossless turn and one that does not, 4:2:0 and 4:4:4, imported twice
    // through one manager (into another order, or the same order again, as
    // after a stop and a new start): every copy of both runs shows what a
    // viewer shows of the source, has no orientation left to apply, the
    // turned full-size copies keep the camera's tags, and every file is
    // reported as a success.
    void sameSetImportedTwice_data()
    {
        QTest::addColumn<bool>("sameOrder");
        QTest::newRow("then another order") << false;
        QTest::newRow("then the same order again") << true;
    }
    void sameSetImportedTwice()
    {
        QFETCH(bool, sameOrder);
        QTemporaryDir out;
        QTemporaryDir picked;
        QList<PhotoInfo> entries;
        QMap<QString, QImage> viewer;
        const struct
        {
            const char *name;
            QSize size;
            int sampling;
        } kinds[] = {{"whole420", QSize(64, 48), 420},
                     {"cut420", QSize(61, 45), 420},
                     {"whole444", QSize(64, 48), 444},
                     {"cut444", QSize(61, 45), 444}};
        for (const auto &kind : kinds) {
            for (int o = 1; o <= 8; ++o) {
                const QString name = QStringLiteral("O%1_%2.jpg").arg(o).arg(QString::fromLatin1(kind.name));
                const QString path = picked.filePath(name);
                JpegFixture::Options options;
                options.orientation = o;
                options.sampling = kind.sampling;
                options.cameraModel = QStringLiteral("VQ-5D");
                options.dateTaken = QStringLiteral("2024:05:09 10:11:12");
                options.thumbnail = true;
                const QImage upright = JpegFixture::scene(kind.size.width(), kind.size.height(), quint32(o));
                QVERIFY(JpegFixture::write(path, JpegFixture::storedFor(upright, o), options));
                QImageReader reader(path);
                reader.setAutoTransform(true);
                viewer.insert(name, reader.read());
                entries += photoEntries(path);
            }
        }
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        const QStringList folders = {out.filePath(QStringLiteral("R1")),
                                     out.filePath(sameOrder ? QStringLiteral("R1") : QStringLiteral("R2"))};
        for (int run = 0; run < 2; ++run) {
            imported.clear();
            TfPhotoJob::resetStats();
            manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("R%1").arg(run), folders.at(run), entries)});
            QTRY_COMPARE_WITH_TIMEOUT(all.count(), run + 1, 60000);
            QCOMPARE(imported.count(), entries.size());
            // Every job done: no buffer is in use and nothing reserved after
            // the import.
            QTRY_COMPARE_WITH_TIMEOUT(TfBufferPool::instance().blocksInUseBytes(), qint64(0), 5000);
            QCOMPARE(TfBufferPool::instance().reservedBytes(), qint64(0));
            // Each photo read once in each run.
            QCOMPARE(TfPhotoJob::stats().reads, viewer.size());
            for (const QList<QVariant> &args : qAsConst(imported))
                QVERIFY2(args.at(3).toBool(), qPrintable(args.at(1).toString() + QLatin1Char(' ') + args.at(4).toString()));
            for (auto it = viewer.cbegin(); it != viewer.cend(); ++it) {
                for (const char *folder : {"all", "90", "190", "1920"}) {
                    const QString path = folders.at(run) + QLatin1Char('/') + QString::fromLatin1(folder)
                        + QLatin1Char('/') + it.key();
                    const QString what = QStringLiteral("run %1: %2").arg(run + 1).arg(path);
                    QFile file(path);
                    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(what));
                    const QByteArray bytes = file.readAll();
                    const JpegFixture::ExifTags exif = JpegFixture::readExif(bytes);
                    // None left to apply: dropped, or 1.
                    QVERIFY2(exif.orientation <= 1, qPrintable(what));
                    if (QLatin1String(folder) == QLatin1String("all")) {
                        // The full-size copy keeps the camera's block, upright.
                        QVERIFY2(exif.orientation == 1, qPrintable(what));
                        QVERIFY2(exif.cameraModel == QLatin1String("VQ-5D"), qPrintable(what));
                        QVERIFY2(exif.dateTaken == QLatin1String("2024:05:09 10:11:12"), qPrintable(what));
                    }
                    const QImage image = QImage::fromData(bytes);
                    const int target = QByteArray(folder) == "all" ? 0 : QByteArray(folder).toInt();
                    const QSize size = target ? it.value().size().scaled(target, target, Qt::KeepAspectRatio)
                                              : it.value().size();
                    QVERIFY2(qAbs(image.width() - size.width()) <= 1 && qAbs(image.height() - size.height()) <= 1,
                             qPrintable(what));
                    const QImage reference =
                        it.value().scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                    const double psnr = JpegFixture::psnr(reference, image);
                    QVERIFY2(psnr >= 28.0, qPrintable(what + QStringLiteral(": %1 dB").arg(psnr)));
                }
            }
        }
    }

    // Two hundred photos queued at once: the jobs never hold more than the
    // memory budget between them, however far the queue reaches, and
    // every photo is still imported.
    void memoryBoundWithManyPhotosQueued()
    {
        QTemporaryDir out;
        QTemporaryDir picked;
        QList<PhotoInfo> entries;
        for (int i = 0; i < 200; ++i) {
            const QString path = picked.filePath(QStringLiteral("M%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
            JpegFixture::Options options;
            options.orientation = i % 3 == 0 ? 6 : (i % 3 == 1 ? 1 : 8);
            QVERIFY(JpegFixture::write(path, JpegFixture::scene(i % 2 ? 320 : 317, 240, quint32(i)), options));
            const QList<PhotoInfo> four = photoEntries(path);
            entries << four.at(0) << four.at(2);
        }
        TfBufferPool &pool = TfBufferPool::instance();
        const qint64 defaultBudget = pool.budget();
        // About three photos' worth.
        const qint64 budget = 3 * 1024 * 1024;
        pool.trim();
        pool.setBudget(budget);
        pool.resetPeak();
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("MANY"), out.filePath(QStringLiteral("MANY")), entries)});
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 120000);
        const qint64 peakReserved = pool.peakReservedBytes();
        const qint64 peakBlocks = pool.peakBlockBytes();
        pool.setBudget(defaultBudget);
        QCOMPARE(imported.count(), entries.size());
        for (const QList<QVariant> &args : qAsConst(imported))
            QVERIFY2(args.at(3).toBool(), qPrintable(args.at(1).toString() + QLatin1Char(' ') + args.at(4).toString()));
        QVERIFY2(peakReserved > 0 && peakReserved <= budget, qPrintable(QString::number(peakReserved)));
        QVERIFY2(peakBlocks > 0 && peakBlocks <= budget, qPrintable(QString::number(peakBlocks)));
        QCOMPARE(QDir(out.filePath(QStringLiteral("MANY/190"))).entryList(QDir::Files).size(), 200);
        // The import's end gives the kept buffers back.
        QCOMPARE(pool.blockBytes(), qint64(0));
    }

    // With one worker, two queued orders advance file by file in turn.
    void twoOrdersInterleaveOnOneWorker()
    {
        QTemporaryDir out;
        QList<PhotoInfo> a = photoEntries(photos.at(0)).mid(0, 3);
        QList<PhotoInfo> b = photoEntries(photos.at(1)).mid(0, 3);
        tfimportthreadmanager manager;
        manager.setWorkerCount(1);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("A"), out.filePath(QStringLiteral("A")), a),
                               TransferOrders::importOrder(QStringLiteral("B"), out.filePath(QStringLiteral("B")), b)});
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 30000);
        QStringList sequence;
        for (const QList<QVariant> &args : qAsConst(imported))
            sequence << args.at(0).value<OrderInfo>().orderpayforkey + QString::number(args.at(2).toInt());
        QCOMPARE(sequence, QStringList({"A0", "B0", "A1", "B1", "A2", "B2"}));
        QCOMPARE(completed.count(), 2);
    }

    // Two runs of one order number (two services) each complete once, at
    // their own total.
    void twoRunsOfOneOrderCountApart()
    {
        QTemporaryDir out;
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy progress(&manager, &tfimportthreadmanager::orderProgressUpdated);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        OrderInfo first = TransferOrders::importOrder(QStringLiteral("S1"), out.filePath(QStringLiteral("S1-1")), photoEntries(photos.at(0)));
        OrderInfo second = TransferOrders::importOrder(QStringLiteral("S1"), out.filePath(QStringLiteral("S1-2")), photoEntries(photos.at(1)));
        second.servicetimes = QStringLiteral("2");
        manager.addOrderTask(first);
        manager.addOrderTask(second);
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 30000);
        QCOMPARE(completed.count(), 2);
        QStringList services;
        for (const QList<QVariant> &args : qAsConst(completed))
            services << args.at(0).value<OrderInfo>().servicetimes;
        services.sort();
        QCOMPARE(services, QStringList({"1", "2"}));
        for (const QList<QVariant> &args : qAsConst(progress)) {
            QVERIFY(args.at(1).toInt() <= args.at(2).toInt());
            QCOMPARE(args.at(2).toInt(), 4);
        }
    }

    // Stopping in the middle and adding a new order at once: the new order
    // is imported completely, by fresh workers.
    void stopAndRestartAtOnce()
    {
        QTemporaryDir out;
        QList<PhotoInfo> many;
        for (const QString &p : qAsConst(photos))
            many += photoEntries(p);
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("BIG"), out.filePath(QStringLiteral("BIG")), many)});
        QTRY_VERIFY_WITH_TIMEOUT(imported.count() >= 1, 30000);
        manager.stopAll();
        imported.clear();
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("NEXT"), out.filePath(QStringLiteral("NEXT")),
                                         photoEntries(photos.at(3)))});
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 30000);
        QCOMPARE(completed.first().at(0).value<OrderInfo>().orderpayforkey, QStringLiteral("NEXT"));
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 5000);
        int next = 0;
        for (const QList<QVariant> &args : qAsConst(imported)) {
            if (args.at(0).value<OrderInfo>().orderpayforkey == QLatin1String("NEXT"))
                ++next;
        }
        QCOMPARE(next, 4);
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("NEXT/190/P3.jpg"))));
    }

    // Stopped while the pool is busy with the photos ahead, then started
    // again on the same order, as the window restarts it: nothing of the
    // first run is reported after the stop, no half-written or temporary
    // file is left, and the second run completes every copy.
    void stopAndRestartWithThePoolBusy()
    {
        QTemporaryDir out;
        QTemporaryDir picked;
        QList<PhotoInfo> entries;
        for (int i = 0; i < 30; ++i) {
            const QString path = picked.filePath(QStringLiteral("S%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
            JpegFixture::Options options;
            options.orientation = QList<int>({1, 6, 3, 8}).at(i % 4);
            QVERIFY(JpegFixture::write(path, JpegFixture::scene(960, 720, quint32(i)), options));
            entries += photoEntries(path);
        }
        const QString folder = out.filePath(QStringLiteral("STOP"));
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        TfBufferPool &memory = TfBufferPool::instance();

        // The whole budget held elsewhere: the photos in hand wait for
        // memory, as a heavy order's do. They end on the stop, not when the
        // memory comes free, and none reports.
        {
            TfBufferPool::Reservation held;
            QVERIFY(memory.reserve(memory.budget(), &held, nullptr));
            manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("STOP"), folder, entries)});
            QTRY_VERIFY_WITH_TIMEOUT(memory.waitingReservations() > 0, 10000);
            manager.stopAll();
            QTRY_COMPARE_WITH_TIMEOUT(memory.waitingReservations(), 0, 10000);
        }
        QCOMPARE(memory.reservedBytes(), qint64(0));
        QVERIFY(!imported.wait(300));
        QVERIFY(imported.isEmpty());
        QVERIFY(completed.isEmpty());

        // Stopped again once a few photos are reported, wherever the photos
        // ahead of the workers are then.
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("STOP"), folder, entries)});
        QTRY_VERIFY_WITH_TIMEOUT(imported.count() >= 3, 60000);
        manager.stopAll();
        const int reported = imported.count();
        QVERIFY(reported < entries.size());
        // The jobs in hand end; none reports.
        QTRY_COMPARE_WITH_TIMEOUT(memory.reservedBytes(), qint64(0), 30000);
        QVERIFY(!imported.wait(300));
        QCOMPARE(imported.count(), reported);
        QVERIFY(completed.isEmpty());
        auto checkFolder = [&](int expectedFiles) {
            int files = 0;
            for (const char *sub : {"all", "90", "190", "1920"}) {
                const QDir dir(folder + QLatin1Char('/') + QString::fromLatin1(sub));
                for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
                    QVERIFY2(name.endsWith(QLatin1String(".jpg")), qPrintable(sub + QLatin1Char('/') + name));
                    QFile file(dir.filePath(name));
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    QVERIFY2(!TfImage::isTruncatedJpeg(&file), qPrintable(dir.filePath(name)));
                    ++files;
                }
            }
            if (expectedFiles >= 0)
                QCOMPARE(files, expectedFiles);
        };
        checkFolder(-1);

        // The window restarts the order with the reported entries marked done.
        for (const QList<QVariant> &args : qAsConst(imported)) {
            if (args.at(3).toBool())
                entries[args.at(2).toInt()].importFlag = static_cast<int>(PhotoStatus::Uploaded);
        }
        imported.clear();
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("STOP"), folder, entries)});
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 60000);
        QCOMPARE(imported.count(), entries.size());
        for (const QList<QVariant> &args : qAsConst(imported))
            QVERIFY2(args.at(3).toBool(), qPrintable(args.at(4).toString()));
        checkFolder(int(entries.size()));
        // A stored 960 x 720 picture turned a quarter (code 6).
        QImageReader reader(folder + QStringLiteral("/1920/S29.jpg"));
        QCOMPARE(reader.size(), QSize(1440, 1920));
    }

    // A worker stuck in a copy (here: held by the copy hook, as a slow share
    // would hold it, until the test lets it go) must not hold up the GUI
    // thread when the user stops and starts a new run at once.
    void stopDoesNotWaitForACopyInProgress()
    {
        QTemporaryDir out;
        const QString slowSource = out.filePath(QStringLiteral("slow.mp4"));
        {
            QFile file(slowSource);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(QByteArray(4096, 'v')), qint64(4096));
        }
        // A GUI thread that waits for the stuck worker would wait forever:
        // the copy goes on after a while so that the check below fails
        // instead of hanging.
        ProduceGate gate({slowSource}, std::chrono::seconds(5));

        PhotoInfo video;
        video.img_name = QStringLiteral("slow.mp4");
        video.url = slowSource;
        video.sizeTag = QStringLiteral("试拍视频");
        {
            tfimportthreadmanager manager;
            manager.setWorkerCount(2);
            QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
            manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("SLOW"), out.filePath(QStringLiteral("SLOW")), {video})});
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out.filePath(QStringLiteral("SLOW/试拍视频"))).isDir(), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(gate.waiting(), 1, 5000);

            QElapsedTimer timer;
            timer.start();
            manager.stopAll();
            manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("NEXT"), out.filePath(QStringLiteral("NEXT")),
                                             photoEntries(photos.at(3)))});
            const qint64 blocked = timer.elapsed();
            QVERIFY2(blocked < 2000, qPrintable(QStringLiteral("GUI thread blocked %1 ms").arg(blocked)));
            QVERIFY(!gate.isReleased());

            // The new run completes while the old copy is still stuck.
            QTRY_VERIFY_WITH_TIMEOUT(!completed.isEmpty(), 30000);
            QCOMPARE(completed.first().at(0).value<OrderInfo>().orderpayforkey, QStringLiteral("NEXT"));
            QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("NEXT/all/P3.jpg"))));
            gate.release();
        }
    }

    // A run stopped mid-way (a window closed): the copy in hand is written
    // whole and the manager says when; the next run of the order copies only
    // what is left and says so; then the order is finished and its note goes.
    void stoppedRunIsResumed()
    {
        qRegisterMetaType<TfUnfinished::Resume>();
        QTemporaryDir out;
        QList<PhotoInfo> videos;
        for (int i = 1; i <= 3; ++i) {
            PhotoInfo video;
            video.img_name = QStringLiteral("V%1.mp4").arg(i);
            video.url = out.filePath(video.img_name);
            video.sizeTag = QStringLiteral("试拍视频");
            QFile file(video.url);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(QByteArray(4096, char('0' + i))), qint64(4096));
            videos << video;
        }
        const QString folder = out.filePath(QStringLiteral("V"));
        const QString note = folder + QLatin1Char('/') + TfUnfinished::fileName();
        const auto copyOf = [folder](int i) { return folder + QStringLiteral("/试拍视频/V%1.mp4").arg(i); };
        ProduceGate gate({videos.at(1).url});
        tfimportthreadmanager manager;
        // One worker: V1, then V2 held, V3 waiting.
        manager.setWorkerCount(1);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy resumed(&manager, &tfimportthreadmanager::orderResumed);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("V"), folder, videos)});
        QTRY_COMPARE_WITH_TIMEOUT(gate.waiting(), 1, 10000);
        QCOMPARE(imported.count(), 1);
        QVERIFY(QFileInfo(note).isFile());
        QVERIFY(resumed.isEmpty());

        manager.stopAll();
        QVERIFY(manager.hasCopiesInHand());
        gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(!manager.hasCopiesInHand(), 10000);
        QCOMPARE(QFileInfo(copyOf(2)).size(), qint64(4096));
        QVERIFY(!QFileInfo::exists(copyOf(3)));
        QVERIFY(completed.isEmpty());
        QVERIFY(QFileInfo(note).isFile());
        // A copy written again would lose this.
        {
            QFile kept(copyOf(1));
            QVERIFY(kept.open(QIODevice::WriteOnly));
            kept.write("kept");
        }

        // The same picks again, as the next window makes them.
        imported.clear();
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("V"), folder, videos)});
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 10000);
        QCOMPARE(resumed.count(), 1);
        const auto resume = resumed.first().at(1).value<TfUnfinished::Resume>();
        QCOMPARE(resume.kept, (QList<int>{0, 1}));
        QCOMPARE(resume.redo, 1);
        QCOMPARE(resume.whole, 2);
        QCOMPARE(imported.count(), 3);
        for (const QList<QVariant> &result : qAsConst(imported))
            QVERIFY2(result.at(3).toBool(), qPrintable(result.at(4).toString()));
        QFile kept(copyOf(1));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept"));
        QCOMPARE(QFileInfo(copyOf(3)).size(), qint64(4096));
        QCOMPARE(gate.started(), (QStringList{videos.at(0).url, videos.at(1).url, videos.at(2).url}));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(note), 5000);
    }

    // Photos cut short between their copies (a full-size copy made, its
    // reduced ones not): the next run makes only the missing copies, each
    // photo read once, and leaves the made ones as they are.
    void cutPhotosKeepTheirCopies()
    {
        qRegisterMetaType<TfUnfinished::Resume>();
        QTemporaryDir out;
        const QString folder = out.filePath(QStringLiteral("P"));
        const QList<PhotoInfo> entries = photoEntries(photos.at(0)) + photoEntries(photos.at(1));
        QVERIFY(QDir().mkpath(folder));
        // The cut run: its note, then the copies it made.
        OrderInfo cut = TransferOrders::importOrder(QStringLiteral("P"), folder, entries);
        QVERIFY(!TfUnfinished::begin(&cut, QDir(folder).absolutePath()).resumed);
        const QStringList made{QStringLiteral("all/P0.jpg"), QStringLiteral("90/P0.jpg"), QStringLiteral("1920/P1.jpg")};
        for (const QString &copy : made) {
            QVERIFY(QDir().mkpath(QFileInfo(folder + QLatin1Char('/') + copy).path()));
            QFile file(folder + QLatin1Char('/') + copy);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("made before");
        }

        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy resumed(&manager, &tfimportthreadmanager::orderResumed);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("P"), folder, entries)});
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 30000);
        QCOMPARE(resumed.count(), 1);
        const auto resume = resumed.first().at(1).value<TfUnfinished::Resume>();
        QCOMPARE(resume.kept, (QList<int>{0, 1, 7}));
        QCOMPARE(resume.redo, 2);
        QCOMPARE(resume.whole, 0);
        for (const QString &size : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")}) {
            for (const QString &name : {QStringLiteral("P0.jpg"), QStringLiteral("P1.jpg")}) {
                const QString copy = size + QLatin1Char('/') + name;
                QFile file(folder + QLatin1Char('/') + copy);
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(copy));
                const QByteArray bytes = file.readAll();
                if (made.contains(copy))
                    QCOMPARE(bytes, QByteArray("made before"));
                else
                    QVERIFY2(!QImage::fromData(bytes).isNull(), qPrintable(copy));
            }
        }
        QCOMPARE(TfPhotoJob::stats().reads, 2);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(folder + QLatin1Char('/') + TfUnfinished::fileName()), 5000);
    }

    // Checking an order's folders and making them waits on the share (here:
    // held by the folder hook until the test lets it go), never on the
    // window's thread. A stop meanwhile drops the order before its folders
    // are made; an order let through is imported into the folders made then.
    void slowFolderMakingDoesNotHoldTheWindow()
    {
        QTemporaryDir out;
        struct Gate
        {
            QSemaphore open;
            std::atomic_int held{0};
        };
        const auto gate = std::make_shared<Gate>();
        tfimportthreadmanager::setFolderHook([gate](const QList<OrderInfo> &) {
            ++gate->held;
            // Let go after a while so that a check below fails, not hangs.
            gate->open.tryAcquire(1, 5000);
        });
        struct Cleanup
        {
            std::shared_ptr<Gate> gate;
            ~Cleanup()
            {
                gate->open.release(10);
                tfimportthreadmanager::setFolderHook(nullptr);
            }
        } cleanup{gate};

        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy errors(&manager, &tfimportthreadmanager::pathErrorOccurred);
        const QString dropped = out.filePath(QStringLiteral("DROPPED"));
        QElapsedTimer timer;
        timer.start();
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("DROPPED"), dropped, photoEntries(photos.at(0)))});
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QStringLiteral("GUI thread blocked %1 ms").arg(timer.elapsed())));
        QTRY_COMPARE_WITH_TIMEOUT(gate->held.load(), 1, 5000);
        QCOMPARE(manager.pendingCount(), 1);
        manager.stopAll();
        QCOMPARE(manager.pendingCount(), 0);
        gate->open.release();

        const QString next = out.filePath(QStringLiteral("NEXT"));
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("NEXT"), next, photoEntries(photos.at(1)))});
        // One batch at a time: the dropped one is done with.
        QTRY_COMPARE_WITH_TIMEOUT(gate->held.load(), 2, 5000);
        QVERIFY(!QFileInfo::exists(dropped));
        gate->open.release();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 30000);
        QCOMPARE(completed.first().at(0).value<OrderInfo>().orderpayforkey, QStringLiteral("NEXT"));
        for (const char *folder : {"all", "90", "190", "1920", "原始档"})
            QVERIFY(QFileInfo(next + QLatin1Char('/') + QString::fromUtf8(folder)).isDir());
        QVERIFY(QFileInfo::exists(next + QStringLiteral("/all/P1.jpg")));
        QVERIFY(errors.isEmpty());
        QVERIFY(!QFileInfo::exists(dropped));
    }

    // A file where the order's folder or one of its size folders should be:
    // each copy that needs that folder fails and names it, the others are
    // made, and the order still completes.
    void foldersThatCannotBeMade_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("order folder") << "A" << QStringList({"all", "90", "190", "1920"});
        QTest::newRow("size folder") << "A/90" << QStringList({"90"});
    }
    void foldersThatCannotBeMade()
    {
        QFETCH(QString, blocker);
        QFETCH(QStringList, failing);
        QTemporaryDir out;
        QVERIFY(QDir().mkpath(QFileInfo(out.filePath(blocker)).path()));
        QFile file(out.filePath(blocker));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy errors(&manager, &tfimportthreadmanager::pathErrorOccurred);
        const QList<PhotoInfo> entries = photoEntries(photos.at(0));
        manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("A"), out.filePath(QStringLiteral("A")), entries)});
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 30000);
        QVERIFY(errors.isEmpty());
        QCOMPARE(imported.count(), entries.size());
        for (const QList<QVariant> &args : qAsConst(imported)) {
            const QString tag = entries.at(args.at(2).toInt()).sizeTag;
            const QString message = args.at(4).toString();
            if (!failing.contains(tag)) {
                QVERIFY2(args.at(3).toBool(), qPrintable(tag + QLatin1Char(' ') + message));
                QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("A/%1/P0.jpg").arg(tag))));
                continue;
            }
            QVERIFY(!args.at(3).toBool());
            QVERIFY2(message.contains(QStringLiteral("无法创建目标目录: ") + out.filePath(QStringLiteral("A/") + tag)),
                     qPrintable(message));
        }
    }

    void emptyOrderCompletesAtOnce()
    {
        QTemporaryDir out;
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        manager.addOrderTask(TransferOrders::importOrder(QStringLiteral("E"), out.filePath(QStringLiteral("E")), {}));
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
        QVERIFY(completed.first().at(1).toBool());
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 5000);
    }

    void pathErrors_data()
    {
        QTest::addColumn<QString>("importPath");
        QTest::addColumn<QString>("publicPath");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("path");
        const QString unreachableImport = QStringLiteral("导入路径无法访问并且无法创建，请检查局域网是否能连接");
        const QString unreachablePublic = QStringLiteral("公共导入路径无法访问，请检查路径是否正确");
        QTest::newRow("both empty") << "" << "" << QStringLiteral("订单 Z9-1 的导入路径和公共导入路径都为空") << "";
        QTest::newRow("relative import path") << "orders/x" << "" << unreachableImport << "orders/x";
        QTest::newRow("import path climbing") << "@/a/../../b" << "" << unreachableImport << "@/a/../../b";
        QTest::newRow("relative public root") << "" << "photos" << unreachablePublic << "photos";
        QTest::newRow("public root missing") << "" << "@/no/such/root" << unreachablePublic << "@/no/such/root";
        QTest::newRow("import folder under a file") << "@/file/x/y" << "" << unreachableImport << "@/file/x/y";
    }
    void pathErrors()
    {
        QFETCH(QString, importPath);
        QFETCH(QString, publicPath);
        QFETCH(QString, message);
        QFETCH(QString, path);
        QTemporaryDir root;
        QFile blocker(root.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        importPath.replace(QLatin1Char('@'), root.path());
        publicPath.replace(QLatin1Char('@'), root.path());
        path.replace(QLatin1Char('@'), root.path());
        tfimportthreadmanager manager;
        QSignalSpy errors(&manager, &tfimportthreadmanager::pathErrorOccurred);
        OrderInfo order = TransferOrders::importOrder(QStringLiteral("Z9"), importPath, photoEntries(photos.at(0)));
        order.publicImportPath = publicPath;
        order.shotdate_year = QStringLiteral("2024");
        order.shotdate_month = QStringLiteral("05");
        order.shotdate_day = QStringLiteral("09");
        manager.addOrderTask(order);
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
        QCOMPARE(errors.first().at(0).toString(), message);
        QCOMPARE(errors.first().at(1).toString(), path);
        QCOMPARE(manager.pendingCount(), 0);
    }

    // A share path cannot be reached from this platform: refused with the
    // path error, and no folder made at the file-system root in its place.
    void sharePathIsRefused_data()
    {
        QTest::addColumn<QString>("importPath");
        QTest::addColumn<QString>("publicPath");
        QTest::addColumn<QString>("message");
        QTest::newRow("import path") << "\\\\vq-unc-probe\\orders\\A1" << ""
                                     << QStringLiteral("导入路径无法访问并且无法创建，请检查局域网是否能连接");
        QTest::newRow("public root") << "" << "//vq-unc-probe/photos"
                                     << QStringLiteral("公共导入路径无法访问，请检查路径是否正确");
    }
    void sharePathIsRefused()
    {
        QFETCH(QString, importPath);
        QFETCH(QString, publicPath);
        QFETCH(QString, message);
        tfimportthreadmanager manager;
        QSignalSpy errors(&manager, &tfimportthreadmanager::pathErrorOccurred);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        OrderInfo order = TransferOrders::importOrder(QStringLiteral("U1"), importPath, photoEntries(photos.at(0)));
        order.publicImportPath = publicPath;
        order.shotdate_year = QStringLiteral("2024");
        order.shotdate_month = QStringLiteral("05");
        order.shotdate_day = QStringLiteral("09");
        manager.addBatchTasks({order});
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
        QCOMPARE(errors.first().at(0).toString(), message);
        QCOMPARE(errors.first().at(1).toString(), importPath.isEmpty() ? publicPath : importPath);
        QCOMPARE(manager.pendingCount(), 0);
        QVERIFY(!completed.wait(300));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/vq-unc-probe")));
    }

    // An order whose import folder comes from the public root and the date.
    void publicRootLayout()
    {
        QTemporaryDir root;
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy all(&manager, &tfimportthreadmanager::allTasksCompleted);
        OrderInfo order = TransferOrders::importOrder(QStringLiteral("A1001"), QString(), photoEntries(photos.at(1)));
        order.publicImportPath = root.path();
        order.servicetimes = QStringLiteral("3");
        order.mname = QStringLiteral("Zhang San");
        order.shotdate_year = QStringLiteral("2024");
        order.shotdate_month = QStringLiteral("05");
        order.shotdate_day = QStringLiteral("09");
        manager.addBatchTasks({order});
        QTRY_COMPARE_WITH_TIMEOUT(all.count(), 1, 30000);
        QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("2024/05/09/A1001-3_ZhangSan/all/P1.jpg"))));
        QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("2024/05/09/A1001-3_ZhangSan/90/P1.jpg"))));
    }
};

QTEST_MAIN(TestImportThreadManager)
#include "tst_importthreadmanager.moc"
