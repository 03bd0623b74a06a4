#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/jpegfixture.h"
#include "transferphotos/jobs/tfthumbnailthread.h"

namespace {

QList<PhotoInfo> entriesFor(const QStringList &paths, int perFile)
{
    QList<PhotoInfo> entries;
    for (const QString &path : paths) {
        for (int i = 0; i < perFile; ++i) {
            PhotoInfo p;
            p.url = path;
            p.img_name = QFileInfo(path).fileName();
            p.ratio = i == 0 ? QString() : QString::number(i * 100);
            entries.append(p);
        }
    }
    return entries;
}

const QString kCache = QStringLiteral("DP_缩略图");


} // namespace

// Re-emits the thread's signals on the test's thread: QSignalSpy records in
// the emitting thread, which would race with the test reading it.
class ThumbnailRelay : public QObject
{
    Q_OBJECT

public:
    explicit ThumbnailRelay(tfthumbnailthread *thread)
    {
        connect(thread, &tfthumbnailthread::thumbnailGenerated, this, &ThumbnailRelay::thumbnailGenerated,
                Qt::QueuedConnection);
        connect(thread, &tfthumbnailthread::allTasksCompleted, this, &ThumbnailRelay::allTasksCompleted, Qt::QueuedConnection);
    }

signals:
    void thumbnailGenerated(QString fileName, QString filePath, QPixmap thumbnail, int index);
    void allTasksCompleted();
};

class TestThumbnailThread : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { g_uploadType = static_cast<int>(UploadType::Photos); }

    void readSize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("small kept") << QSize(1000, 800) << QSize(1000, 800);
        QTest::newRow("4097 halved") << QSize(4097, 100) << QSize(2048, 49);
        QTest::newRow("4098 by rule") << QSize(4098, 100) << QSize(2048, 49);
        QTest::newRow("20000 square") << QSize(20000, 20000) << QSize(800, 800);
        QTest::newRow("portrait 3000x9000") << QSize(3000, 9000) << QSize(533, 1600);
        QTest::newRow("6000x4000") << QSize(6000, 4000) << QSize(1600, 1066);
        QTest::newRow("4800x4200") << QSize(4800, 4200) << QSize(2048, 1792);
    }
    void readSize()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, expected);
        QCOMPARE(tfthumbnailthread::calcThumbnailReadSize(size), expected);
    }

    // Three picked photos (twelve entries): three thumbnails for entries 0,
    // 4 and 8, upright whatever the EXIF orientation, then the end signal.
    void photosAreDrawnUprightInOrder()
    {
        QTemporaryDir dir;
        QStringList paths;
        const int orientations[3] = {1, 6, 7};
        for (int i = 0; i < 3; ++i) {
            paths << dir.filePath(QStringLiteral("p%1.jpg").arg(i));
            QVERIFY(JpegFixture::writeUprightQuadrants(paths.last(), 60, 40, orientations[i]));
        }
        tfthumbnailthread thread;
        ThumbnailRelay relay(&thread);
        QSignalSpy made(&relay, &ThumbnailRelay::thumbnailGenerated);
        QSignalSpy done(&relay, &ThumbnailRelay::allTasksCompleted);
        thread.setPhotos(entriesFor(paths, 4));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
        QCOMPARE(made.count(), 3);
        for (int i = 0; i < 3; ++i) {
            const QList<QVariant> args = made.at(i);
            QCOMPARE(args.at(0).toString(), QStringLiteral("p%1.jpg").arg(i));
            QCOMPARE(args.at(1).toString(), paths.at(i));
            QCOMPARE(args.at(3).toInt(), i * 4);
            const QImage image = args.at(2).value<QPixmap>().toImage();
            QCOMPARE(image.size(), QSize(160, 106));
            QCOMPARE(JpegFixture::quadrantLayout(image), QList<int>({0, 1, 2, 3}));
            QVERIFY(QFileInfo::exists(dir.filePath(kCache + QStringLiteral("/p%1.jpg").arg(i))));
        }
    }

    // A cached thumbnail older than its photo is made again.
    void staleCacheIsRegenerated()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 60, 40, 1));
        QVERIFY(QDir(dir.path()).mkdir(kCache));
        const QString cached = dir.filePath(kCache + QStringLiteral("/p.jpg"));
        QImage stale(160, 120, QImage::Format_RGB32);
        stale.fill(Qt::black);
        QVERIFY(stale.save(cached));
        QFile cachedFile(cached);
        QVERIFY(cachedFile.open(QIODevice::ReadWrite));
        QVERIFY(cachedFile.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        cachedFile.close();

        tfthumbnailthread thread;
        const QImage fresh = thread.generateThumbnail(path).toImage();
        QCOMPARE(JpegFixture::quadrantLayout(fresh), QList<int>({0, 1, 2, 3}));
        // A cache newer than its photo is used as it is.
        QVERIFY(stale.save(cached));
        QCOMPARE(thread.generateThumbnail(path).toImage().pixelColor(80, 60), QColor(Qt::black));
    }

    // A link at the cache folder or the cache file never lets a thumbnail
    // overwrite another file: the thumbnail is shown, not written.
    void cacheNeverWritesThroughALink_data()
    {
        QTest::addColumn<QString>("linkAt");
        QTest::addColumn<QString>("linkTo");
        QTest::newRow("cache folder links out") << kCache << "elsewhere";
        QTest::newRow("cache file links out") << kCache + QStringLiteral("/p.jpg") << "elsewhere/p.jpg";
        QTest::newRow("cache file links to nothing") << kCache + QStringLiteral("/p.jpg") << "elsewhere/new.jpg";
    }
    void cacheNeverWritesThroughALink()
    {
        QFETCH(QString, linkAt);
        QFETCH(QString, linkTo);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("photos/") + kCache));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("elsewhere")));
        const QString path = dir.filePath(QStringLiteral("photos/p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(path, 60, 40, 6));
        const QString other = dir.filePath(QStringLiteral("elsewhere/p.jpg"));
        QFile f(other);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a thumbnail");
        f.close();
        // Older than the photo, so it would be made again.
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        f.close();
        const QString link = dir.filePath(QStringLiteral("photos/") + linkAt);
        QDir(link).removeRecursively();
        QVERIFY(QFile::link(dir.filePath(linkTo), link));

        tfthumbnailthread thread;
        const QImage image = thread.generateThumbnail(path).toImage();
        QCOMPARE(JpegFixture::quadrantLayout(image), QList<int>({0, 1, 2, 3}));
        QFile check(other);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("not a thumbnail"));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("elsewhere"))).entryList(QDir::Files), QStringList({QStringLiteral("p.jpg")}));
    }

    void unreadableFileGivesPlaceholder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.jpg"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
        f.close();
        tfthumbnailthread thread;
        const QImage image = thread.generateThumbnail(path).toImage();
        QCOMPARE(image.size(), QSize(160, 120));
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 tfthumbnailthread::placeholder().convertToFormat(QImage::Format_ARGB32_Premultiplied));
        QVERIFY(!QFileInfo::exists(dir.filePath(kCache + QStringLiteral("/broken.jpg"))));
    }

    void videosShowTheIcon()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clip.mp4"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("video");
        f.close();
        g_uploadType = static_cast<int>(UploadType::TrialVideo);
        tfthumbnailthread thread;
        ThumbnailRelay relay(&thread);
        QSignalSpy made(&relay, &ThumbnailRelay::thumbnailGenerated);
        QSignalSpy done(&relay, &ThumbnailRelay::allTasksCompleted);
        thread.setPhotos(entriesFor({path, path}, 1));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
        QCOMPARE(made.count(), 2);
        const QPixmap icon(QStringLiteral(":/transferphotos/image/transferphotos/home/video.png"));
        QVERIFY(!icon.isNull());
        QCOMPARE(made.at(1).at(2).value<QPixmap>().toImage(), icon.toImage());
        QVERIFY(!QFileInfo::exists(dir.filePath(kCache)));
    }

    void emptyListAndStop()
    {
        tfthumbnailthread thread;
        ThumbnailRelay relay(&thread);
        QSignalSpy made(&relay, &ThumbnailRelay::thumbnailGenerated);
        QSignalSpy done(&relay, &ThumbnailRelay::allTasksCompleted);
        QList<PhotoInfo> entries = entriesFor({QStringLiteral("/nowhere/a.jpg")}, 4);
        entries.removeFirst(); // no "all" entry left
        thread.setPhotos(entries);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isRunning(), 5000);
        QTest::qWait(100);
        QCOMPARE(made.count(), 0);
        QCOMPARE(done.count(), 0);
        thread.stop();
        thread.quit();
        QVERIFY(thread.wait(5000));
    }
};

QTEST_MAIN(TestThumbnailThread)
#include "tst_thumbnailthread.moc"
