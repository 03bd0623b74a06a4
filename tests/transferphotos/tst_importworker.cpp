#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "tests/support/hostiletree.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"
#include "imaging/tfimageprocessing.h"
#include "transferphotos/jobs/tfimportworker.h"
#include "imaging/tfphotojob.h"

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

    void flippingFolders(const HostileTree &tree, const QString &order, const QString &source);

private slots:
    void init()
    {
        TfPhotoJob::resetStats();
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
        QTest::newRow("missing source") << "all" << "" << "nothere.jpg" << QStringLiteral("原图拷贝失败：源文件不存在");
        QTest::newRow("ratio not a number") << "90" << "abc" << "p.jpg" << QStringLiteral("图片压缩失败 (目标尺寸: 0)");
        QTest::newRow("ratio too large") << "1920" << "20001" << "p.jpg"
                                         << QStringLiteral("图片压缩失败 (目标尺寸: 20001)");
        QTest::newRow("negative ratio") << "90" << "-5" << "p.jpg" << QStringLiteral("图片压缩失败 (目标尺寸: -5)");
        QTest::newRow("name climbing out") << "all" << "" << ".." << QStringLiteral("原图拷贝失败");
        QTest::newRow("tag climbing out") << "../x" << "90" << "p.jpg" << QStringLiteral("图片压缩失败 (目标尺寸: 90)");
        QTest::newRow("missing video") << QStringLiteral("试拍视频") << "" << "v.mp4"
                                       << QStringLiteral("试拍视频拷贝失败：源文件不存在");
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
        QVERIFY2(r.message.contains(QStringLiteral("无法创建目标目录: ") + dir.filePath(QStringLiteral("order/90"))),
                 qPrintable(r.message));
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
        QCOMPARE(r.message, QStringLiteral("精修视频拷贝失败：目标已存在且不是普通文件，未覆盖: ") + target);
        QVERIFY(QFileInfo(target).isDir());

        // Picked from the order's own video folder: refused, left as it is.
        QVERIFY(QDir(target).removeRecursively());
        QVERIFY(QFile::copy(source, target));
        r = run(makeTask(target, order, tag, QString()));
        QVERIFY(!r.success);
        QCOMPARE(r.message, QStringLiteral("精修视频拷贝失败：源文件位于本订单的导片目录中: ") + target);
        QCOMPARE(fileBytes(target), fileBytes(source));
    }

    // A photo cut short, or one whose picture needs turning but that the
    // decoder refuses, fails in all four copies and writes none of them.
    void brokenPhotosFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("reducedFail");
        JpegFixture::Options turned;
        turned.orientation = 6;
        QImage noise(300, 200, QImage::Format_RGB32);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, 0xff000000u | quint32((x * 7919) ^ (y * 104729) ^ (x * y)));
        const QByteArray jpegTurned = JpegFixture::encode(noise, turned);
        const QByteArray jpegPlain = JpegFixture::encode(noise, JpegFixture::Options());
        QTest::newRow("cut short, turned") << jpegTurned.left(jpegTurned.size() * 2 / 3)
                                           << QStringLiteral("图片文件不完整") << true;
        QTest::newRow("cut short, upright") << jpegPlain.left(jpegPlain.size() * 2 / 3)
                                            << QStringLiteral("图片文件不完整") << true;
        QByteArray lossless = jpegTurned;
        lossless[lossless.indexOf(QByteArray("\xff\xc0", 2)) + 1] = char(0xc3);
        QTest::newRow("turned, decoder refuses") << lossless << QStringLiteral("无法按方向旋转图片") << false;
    }
    void brokenPhotosFail()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(bool, reducedFail);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("broken.jpg"));
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
        f.close();
        const QString order = dir.filePath(QStringLiteral("order"));
        Report r = run(makeTask(source, order, QStringLiteral("all"), QString()));
        QVERIFY(!r.success);
        QCOMPARE(r.message, QStringLiteral("原图拷贝失败：") + reason);
        QVERIFY(!QFileInfo::exists(order + QStringLiteral("/all/broken.jpg")));
        for (const QString &size : {QStringLiteral("90"), QStringLiteral("1920")}) {
            r = run(makeTask(source, order, size, size));
            QVERIFY(!r.success);
            if (reducedFail)
                QCOMPARE(r.message, QStringLiteral("图片压缩失败 (目标尺寸: %1)：%2").arg(size, reason));
            QVERIFY(!QFileInfo::exists(order + QLatin1Char('/') + size + QStringLiteral("/broken.jpg")));
        }
    }

    // Every copy onto a full disk says so, and nothing half-written stays.
    void fullDiskSaysSo_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QSize>("size");
        const QSize even(640, 480);
        QTest::newRow("full size, upright") << "all" << 1 << QStringLiteral("原图拷贝失败：磁盘空间不足") << even;
        QTest::newRow("full size, turned losslessly") << "all" << 6 << QStringLiteral("原图拷贝失败：磁盘空间不足") << even;
        QTest::newRow("full size, turned by re-encoding")
            << "all" << 6 << QStringLiteral("原图拷贝失败：磁盘空间不足") << QSize(641, 481);
        QTest::newRow("reduced") << "1920" << 6 << QStringLiteral("图片压缩失败 (目标尺寸: 1920)：磁盘空间不足") << even;
        QTest::newRow("video") << QStringLiteral("试拍视频") << 1 << QStringLiteral("试拍视频拷贝失败：磁盘空间不足")
                               << even;
    }
    void fullDiskSaysSo()
    {
        QFETCH(QString, tag);
        QFETCH(int, orientation);
        QFETCH(QString, message);
        QFETCH(QSize, size);
        TinyVolume volume(128 * 1024);
        if (!volume.isValid())
            QSKIP(TinyVolume::unavailableReason());
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("IMG_9.jpg"));
        QImage noise(size, QImage::Format_RGB32);
        quint32 seed = 99;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x) {
                seed = seed * 1103515245u + 12345u;
                noise.setPixel(x, y, 0xff000000u | (seed >> 8));
            }
        JpegFixture::Options o;
        o.orientation = orientation;
        QVERIFY(JpegFixture::write(source, noise, o));
        QVERIFY(QFileInfo(source).size() > 128 * 1024);
        const QString order = volume.filePath(QStringLiteral("order"));
        const Report r = run(makeTask(source, order, tag, tag == QLatin1String("1920") ? tag : QString()));
        QVERIFY(!r.success);
        QCOMPARE(r.message, message);
        QCOMPARE(QDir(order + QLatin1Char('/') + tag).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A link inside the order folder never takes a copy out of it: the
    // copy fails, naming the path, and nothing outside changes.
    void linksNeverRedirectWrites_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("linkAt");
        QTest::addColumn<QString>("linkTo");
        QTest::addColumn<QString>("reason");
        const QString file = QStringLiteral("目标文件是链接，拒绝写入: ");
        const QString away = QStringLiteral("目标目录是链接，拒绝写入: ");
        QTest::newRow("full-size copy is a link to a file") << "all" << "all/p.jpg" << "outside/keep.jpg" << file;
        QTest::newRow("full-size copy is a link to nothing") << "all" << "all/p.jpg" << "outside/new.jpg" << file;
        QTest::newRow("size folder is a link to a folder") << "1920" << "1920" << "outside" << away;
        QTest::newRow("size folder is a link to nothing") << "90" << "90" << "outside/made" << away;
        QTest::newRow("reduced copy is a link inside the order") << "190" << "190/p.jpg" << "order/all/p.jpg" << file;
    }
    void linksNeverRedirectWrites()
    {
        QFETCH(QString, tag);
        QFETCH(QString, linkAt);
        QFETCH(QString, linkTo);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("picked/p.jpg"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("picked")));
        QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, 6));
        const QString order = dir.filePath(QStringLiteral("order"));
        for (const char *sub : {"all", "90", "190", "1920"}) {
            if (!linkAt.startsWith(QString::fromUtf8(sub)) || linkAt.contains(QLatin1Char('/')))
                QVERIFY(QDir(order).mkpath(QString::fromUtf8(sub)));
        }
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("outside")));
        QFile keep(dir.filePath(QStringLiteral("outside/keep.jpg")));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("keep");
        keep.close();
        QFile inOrder(order + QStringLiteral("/all/p.jpg"));
        if (!linkAt.startsWith(QLatin1String("all"))) {
            QVERIFY(inOrder.open(QIODevice::WriteOnly));
            inOrder.write("full");
            inOrder.close();
        }
        QVERIFY(QFile::link(dir.filePath(linkTo), order + QLatin1Char('/') + linkAt));

        const Report r = run(makeTask(source, order, tag, tag == QLatin1String("all") ? QString() : tag));
        QVERIFY(!r.success);
        // The link met is named: the file, or the folder on its way.
        const QString named = order + QLatin1Char('/') + tag + (linkAt.contains(QLatin1Char('/')) ? QStringLiteral("/p.jpg") : QString());
        QVERIFY2(r.message.endsWith(reason + named), qPrintable(r.message));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("outside"))).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("keep.jpg")}));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("outside/keep.jpg"))), QByteArray("keep"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("outside/new.jpg"))));
        if (!linkAt.startsWith(QLatin1String("all")))
            QCOMPARE(fileBytes(order + QStringLiteral("/all/p.jpg")), QByteArray("full"));
    }

    // The hostile trees every job that writes meets: for each copy of a
    // turned photo, nothing outside the order's folder changes and no copy
    // is reported made.
    void hostileTrees_data() { HostileTree::addCases(); }
    void hostileTrees()
    {
        QFETCH(int, hostile);
        const auto kind = HostileTree::Case(hostile);
        QTemporaryDir dir;
        const HostileTree tree(dir.path());
        std::unique_ptr<TinyVolume> volume;
        QString order = dir.filePath(QStringLiteral("order"));
        if (kind == HostileTree::FullVolume) {
            volume = std::make_unique<TinyVolume>(512 * 1024);
            if (!volume->isValid())
                QSKIP(TinyVolume::unavailableReason());
            order = volume->filePath(QStringLiteral("order"));
        }
        QString source = dir.filePath(QStringLiteral("picked/p.jpg"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("picked")));
        for (const char *sub : {"all", "90"})
            QVERIFY(QDir(order).mkpath(QString::fromUtf8(sub)));
        const QStringList targets{order + QStringLiteral("/all/p.jpg"), order + QStringLiteral("/90/p.jpg")};
        switch (kind) {
        case HostileTree::LinkAsTarget:
            QVERIFY(tree.linkToVictim(targets.at(0)));
            QVERIFY(tree.linkToVictim(targets.at(1)));
            break;
        case HostileTree::DanglingLink:
            QVERIFY(tree.linkToVictim(targets.at(0), true));
            QVERIFY(tree.linkToVictim(targets.at(1), true));
            break;
        case HostileTree::LinkedSubFolder:
            QVERIFY(QDir(order + QStringLiteral("/all")).removeRecursively());
            QVERIFY(QDir(order + QStringLiteral("/90")).removeRecursively());
            QVERIFY(tree.linkToOutside(order + QStringLiteral("/all")));
            QVERIFY(tree.linkToOutside(order + QStringLiteral("/90")));
            break;
        case HostileTree::OrderFolderIsLink:
            QVERIFY(QDir(order).removeRecursively());
            QVERIFY(tree.linkToOutside(order));
            break;
        case HostileTree::BackslashName:
            source = dir.filePath(QStringLiteral("picked/deep\\deeper\\p.jpg"));
            break;
        case HostileTree::FifoAsTarget:
        case HostileTree::SocketAsTarget:
        case HostileTree::DeviceAsTarget:
            for (const QString &target : targets) {
                QString why;
                if (!HostileTree::plantSpecial(kind, target, &why))
                    QSKIP(qPrintable(why));
            }
            break;
        case HostileTree::FlippingFolder:
            QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, 6));
            return flippingFolders(tree, order, source);
        case HostileTree::FullVolume:
            for (const QString &target : targets)
                QVERIFY(TreeFixture::write(target, "older copy"));
            break;
        }
        if (kind == HostileTree::FullVolume) {
            // Noise: no copy of it fits in the few kilobytes left.
            QImage noise(600, 400, QImage::Format_RGB32);
            quint32 seed = 5;
            for (int y = 0; y < noise.height(); ++y)
                for (int x = 0; x < noise.width(); ++x) {
                    seed = seed * 1103515245u + 12345u;
                    noise.setPixel(x, y, 0xff000000u | (seed >> 8));
                }
            JpegFixture::Options o;
            o.orientation = 6;
            QVERIFY(JpegFixture::write(source, noise, o));
            QVERIFY(volume->fill(1024));
        } else {
            QVERIFY(JpegFixture::writeUprightQuadrants(source, 60, 40, 6));
        }
        FifoReleaser releaser(HostileTree::isSpecialTarget(kind) ? targets : QStringList());
        for (const QString &tag : {QStringLiteral("all"), QStringLiteral("90")}) {
            ImportTask task = makeTask(source, order, tag, tag == QLatin1String("all") ? QString() : tag);
            const Report r = run(task);
            QVERIFY2(!r.success, qPrintable(tag));
            QVERIFY(!r.message.isEmpty());
            if (kind == HostileTree::FullVolume)
                QVERIFY2(r.message.endsWith(QStringLiteral("：磁盘空间不足")), qPrintable(r.message));
            if (HostileTree::isSpecialTarget(kind))
                QVERIFY2(r.message.contains(QStringLiteral("不是普通文件")), qPrintable(r.message));
        }
        QVERIFY(!releaser.released());
        if (HostileTree::isSpecialTarget(kind)) {
            for (const QString &target : targets)
                QVERIFY(HostileTree::isSpecialAt(target));
        }
        if (kind == HostileTree::FullVolume) {
            for (const QString &target : targets)
                QCOMPARE(TreeFixture::read(target), QByteArray("older copy"));
            QCOMPARE(TreeFixture::below(order), (QStringList{QStringLiteral("90/p.jpg"), QStringLiteral("all/p.jpg")}));
        }
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
    }

    // Sources that are no regular file: each copy fails at once, saying so,
    // and writes nothing; none blocks on a pipe.
    void specialSources_data() { HostileTree::addSourceCases(); }
    void specialSources()
    {
        QFETCH(int, source);
        QTemporaryDir dir;
        const QString order = dir.filePath(QStringLiteral("order"));
        const QString picked = dir.filePath(QStringLiteral("picked/p.jpg"));
        QString why;
        if (!HostileTree::plantSource(HostileTree::Source(source), picked, &why))
            QSKIP(qPrintable(why));
        FifoReleaser releaser({picked});
        for (const QString &tag : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("试拍视频")}) {
            const Report r = run(makeTask(picked, order, tag, tag == QLatin1String("90") ? tag : QString()));
            QVERIFY2(!r.success, qPrintable(tag));
            QVERIFY2(r.message.contains(QStringLiteral("不是普通文件")), qPrintable(r.message));
        }
        QVERIFY(!releaser.released());
        QCOMPARE(TreeFixture::below(order), QStringList());
    }

    // Files picked from the order's own folder are its copies: importing
    // one would put it in place of the full-size copy. Refused, naming it.
    void sourceInsideOrderIsRefused_data()
    {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("tag");
        QTest::newRow("reduced copy as full size") << "order/90/p.jpg" << "all";
        QTest::newRow("full-size copy itself") << "order/all/p.jpg" << "all";
        QTest::newRow("full-size copy as reduced") << "order/all/p.jpg" << "190";
        QTest::newRow("through a link to the order") << "link/90/p.jpg" << "all";
        QTest::newRow("the order's originals folder") << QStringLiteral("order/原始档/p.jpg") << "1920";
    }
    void sourceInsideOrderIsRefused()
    {
        QFETCH(QString, picked);
        QFETCH(QString, tag);
        QTemporaryDir dir;
        const QString order = dir.filePath(QStringLiteral("order"));
        QVERIFY(JpegFixture::writeUprightQuadrants(dir.filePath(QStringLiteral("p.jpg")), 60, 40, 6));
        for (const char *sub : {"all", "90", "190", "1920", "原始档"}) {
            QVERIFY(QDir(order).mkpath(QString::fromUtf8(sub)));
            QVERIFY(TfImage::rotateCopy(dir.filePath(QStringLiteral("p.jpg")),
                                        order + QLatin1Char('/') + QString::fromUtf8(sub) + QStringLiteral("/p.jpg")));
        }
        QVERIFY(QFile::link(order, dir.filePath(QStringLiteral("link"))));
        QMap<QString, QByteArray> before;
        for (const char *sub : {"all", "90", "190", "1920"})
            before.insert(QString::fromUtf8(sub), fileBytes(order + QLatin1Char('/') + QString::fromUtf8(sub) + QStringLiteral("/p.jpg")));

        const QString source = dir.filePath(picked);
        const Report r = run(makeTask(source, order, tag, tag == QLatin1String("all") ? QString() : tag));
        QVERIFY(!r.success);
        QVERIFY2(r.message.endsWith(QStringLiteral("：源文件位于本订单的导片目录中: ") + source), qPrintable(r.message));
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(fileBytes(order + QLatin1Char('/') + it.key() + QStringLiteral("/p.jpg")), it.value());
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

void TestImportWorker::flippingFolders(const HostileTree &tree, const QString &order, const QString &source)
{
    // The size folders flip to a link to the outside folder while the
    // copies are made again and again: whatever each run says, nothing
    // lands outside.
    int runs = 0;
    {
        FolderFlipper all(order + QStringLiteral("/all"), tree.outside());
        FolderFlipper reduced(order + QStringLiteral("/90"), tree.outside());
        QElapsedTimer timer;
        timer.start();
        while ((timer.elapsed() < 1500 || all.flips() + reduced.flips() < 40) && timer.elapsed() < 15000) {
            for (const QString &tag : {QStringLiteral("all"), QStringLiteral("90")})
                run(makeTask(source, order, tag, tag == QLatin1String("all") ? QString() : tag));
            ++runs;
        }
        QVERIFY(all.flips() > 0 && reduced.flips() > 0);
    }
    qInfo("%d runs", runs);
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
}

TINYVOLUME_TEST_MAIN(TestImportWorker)
#include "tst_importworker.moc"
