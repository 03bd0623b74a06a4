#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/jpegfixture.h"
#include "transferphotos/tfdecodecache.h"
#include "transferphotos/tfimportworker.h"

namespace {

struct Report
{
    bool success = false;
    QString message;
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

ImportTask makeTask(const QString &source, const QString &orderFolder, const QString &tag, const QString &ratio)
{
    ImportTask task;
    task.photo.img_name = QFileInfo(source).fileName();
    task.photo.url = source;
    task.photo.sizeTag = tag;
    task.photo.ratio = ratio;
    task.sizeFolder = orderFolder + QLatin1Char('/') + tag;
    task.taskId = 7;
    task.photoIndex = 3;
    task.totalCount = 4;
    return task;
}


} // namespace

// Re-emits the worker's reports on the test's thread: QSignalSpy records in
// the emitting thread, which would race with the test reading it.
class WorkerRelay : public QObject
{
    Q_OBJECT

public:
    explicit WorkerRelay(tfimportworker *worker)
    {
        connect(worker, &tfimportworker::photoImported, this, &WorkerRelay::photoImported, Qt::QueuedConnection);
        connect(worker, &tfimportworker::workerFinished, this, &WorkerRelay::workerFinished, Qt::QueuedConnection);
    }

signals:
    void photoImported(int taskId, QString name, int photoIndex, bool success, QString message);
    void workerFinished(int index);
};

class TestImportWorker : public QObject
{
    Q_OBJECT

private:
    tfimportworker *worker = nullptr;
    WorkerRelay *relay = nullptr;

    Report run(const ImportTask &task)
    {
        QSignalSpy spy(relay, &WorkerRelay::photoImported);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(worker->isIdle(), 10000); }();
        worker->assignTask(task);
        Report report;
        [&] { QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 30000); }();
        if (spy.count() != 1)
            return report;
        const QList<QVariant> args = spy.takeFirst();
        [&] {
            QCOMPARE(args.at(0).toInt(), task.taskId);
            QCOMPARE(args.at(1).toString(), task.photo.img_name);
            QCOMPARE(args.at(2).toInt(), task.photoIndex);
        }();
        report.success = args.at(3).toBool();
        report.message = args.at(4).toString();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(worker->isIdle(), 10000); }();
        return report;
    }

private slots:
    void init()
    {
        TfDecodeCache::instance().clear();
        worker = new tfimportworker(0, nullptr);
        relay = new WorkerRelay(worker);
        worker->start();
    }
    void cleanup()
    {
        delete worker;
        worker = nullptr;
        delete relay;
        relay = nullptr;
    }

    // Every orientation gives upright copies in all four folders, also with
    // an XMP block before the EXIF one and with a LONG value.
    void orientationEndToEnd_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("xmpFirst");
        QTest::addColumn<bool>("asLong");
        for (int o = 1; o <= 8; ++o)
            QTest::addRow("code %d", o) << o << false << false;
        QTest::newRow("code 6 after XMP") << 6 << true << false;
        QTest::newRow("code 8 as LONG") << 8 << false << true;
        QTest::newRow("code 5 after XMP as LONG") << 5 << true << true;
    }
    void orientationEndToEnd()
    {
        QFETCH(int, orientation);
        QFETCH(bool, xmpFirst);
        QFETCH(bool, asLong);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("picked/IMG_1.jpg"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("picked")));
        JpegFixture::Options o;
        o.xmpFirst = xmpFirst;
        o.orientationAsLong = asLong;
        QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, orientation, o));
        const QString order = dir.filePath(QStringLiteral("order"));

        const struct
        {
            QString tag;
            QString ratio;
            QSize size;
        } copies[] = {
            {QStringLiteral("all"), QString(), QSize(60, 40)},
            {QStringLiteral("90"), QStringLiteral("90"), QSize(90, 60)},
            {QStringLiteral("190"), QStringLiteral("190"), QSize(190, 126)},
            {QStringLiteral("1920"), QStringLiteral("1920"), QSize(1920, 1280)},
        };
        for (const auto &copy : copies) {
            const Report r = run(makeTask(source, order, copy.tag, copy.ratio));
            QVERIFY2(r.success, qPrintable(r.message));
            const QString out = order + QLatin1Char('/') + copy.tag + QStringLiteral("/IMG_1.jpg");
            QImageReader reader(out);
            reader.setAutoTransform(false); // what any viewer shows, EXIF or not
            const QImage image = reader.read();
            QVERIFY2(qAbs(image.width() - copy.size.width()) <= 1, qPrintable(copy.tag));
            QVERIFY2(qAbs(image.height() - copy.size.height()) <= 1, qPrintable(copy.tag));
            QCOMPARE(JpegFixture::quadrantLayout(image), QList<int>({0, 1, 2, 3}));
        }
        if (orientation == 1)
            QCOMPARE(fileBytes(order + QStringLiteral("/all/IMG_1.jpg")), fileBytes(source));
    }

    void alreadyDoneEntryIsReportedWithoutCopy()
    {
        QTemporaryDir dir;
        ImportTask task = makeTask(dir.filePath(QStringLiteral("missing.jpg")), dir.filePath(QStringLiteral("o")),
                                   QStringLiteral("all"), QString());
        task.photo.importFlag = static_cast<int>(PhotoStatus::Uploaded);
        const Report r = run(task);
        QVERIFY(r.success);
        QVERIFY(r.message.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("o"))));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing source") << "all" << "" << "nothere.jpg" << QStringLiteral("原图拷贝失败");
        QTest::newRow("ratio not a number") << "90" << "abc" << "p.jpg" << QStringLiteral("图片压缩失败 (目标尺寸: 0)");
        QTest::newRow("ratio too large") << "1920" << "20001" << "p.jpg"
                                         << QStringLiteral("图片压缩失败 (目标尺寸: 20001)");
        QTest::newRow("negative ratio") << "90" << "-5" << "p.jpg" << QStringLiteral("图片压缩失败 (目标尺寸: -5)");
        QTest::newRow("name climbing out") << "all" << "" << ".." << QStringLiteral("原图拷贝失败");
        QTest::newRow("tag climbing out") << "../x" << "90" << "p.jpg" << QStringLiteral("图片压缩失败 (目标尺寸: 90)");
        QTest::newRow("missing video") << QStringLiteral("试拍视频") << "" << "v.mp4" << QStringLiteral("试拍视频拷贝失败");
    }
    void failures()
    {
        QFETCH(QString, tag);
        QFETCH(QString, ratio);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(JpegFixture::writeUprightQuadrants(dir.filePath(QStringLiteral("p.jpg")), 60, 40, 6));
        ImportTask task = makeTask(dir.filePath(name), dir.filePath(QStringLiteral("order")), tag, ratio);
        task.photo.img_name = name;
        const Report r = run(task);
        QVERIFY(!r.success);
        QCOMPARE(r.message, message);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x"))));
    }

    void targetFolderCannotBeMade()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, 1));
        // A file where the order folder should be.
        QFile blocker(dir.filePath(QStringLiteral("order")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Report r = run(makeTask(source, dir.filePath(QStringLiteral("order")), QStringLiteral("90"), "90"));
        QVERIFY(!r.success);
        QCOMPARE(r.message, QStringLiteral("无法创建目标目录: ") + dir.filePath(QStringLiteral("order/90")));
    }

    void videoCopyReplacesAndFails()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("clip.mp4"));
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100000, 'v'));
        f.close();
        const QString order = dir.filePath(QStringLiteral("order"));
        const QString tag = QStringLiteral("精修视频");
        QVERIFY(QDir().mkpath(order + QLatin1Char('/') + tag));
        const QString target = order + QLatin1Char('/') + tag + QStringLiteral("/clip.mp4");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        Report r = run(makeTask(source, order, tag, QString()));
        QVERIFY(r.success);
        QCOMPARE(fileBytes(target), fileBytes(source));

        // An old target that cannot be replaced is a failure, not a success.
        QVERIFY(QFile::remove(target));
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        r = run(makeTask(source, order, tag, QString()));
        QVERIFY(!r.success);
        QCOMPARE(r.message, QStringLiteral("精修视频拷贝失败"));
        QVERIFY(QFileInfo(target).isDir());

        // Picked from the order's own video folder: left as it is.
        QVERIFY(QDir(target).removeRecursively());
        QVERIFY(QFile::copy(source, target));
        r = run(makeTask(target, order, tag, QString()));
        QVERIFY(r.success);
        QCOMPARE(fileBytes(target), fileBytes(source));
    }

    void targetNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full size keeps name") << "abc" << "all" << "abc";
        QTest::newRow("reduced gets trailing dot") << "abc" << "90" << "abc.";
        QTest::newRow("several dots kept") << "a.b.jpg" << "190" << "a.b.jpg";
        QTest::newRow("video") << "v.MP4" << QStringLiteral("试拍视频") << "v.MP4";
    }
    void targetNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, tag);
        QFETCH(QString, expected);
        ImportTask task = makeTask(QStringLiteral("/src/") + name, QStringLiteral("/o"), tag, QString());
        QCOMPARE(worker->buildTargetPath(task), QStringLiteral("/o/") + tag + QLatin1Char('/') + expected);
    }

    void stopWhileWaiting()
    {
        QSignalSpy finished(relay, &WorkerRelay::workerFinished);
        worker->stop();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.first().at(0).toInt(), 0);
        QVERIFY(worker->wait(5000));
    }
};

QTEST_MAIN(TestImportWorker)
#include "tst_importworker.moc"
