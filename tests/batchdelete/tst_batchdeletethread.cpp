#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>
#include <mutex>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "batchdelete/jobs/batchdeletethread.h"
#include "tests/support/batchdeletefixture.h"

using BatchDeleteFixture::writeFile;

namespace {

struct Outcome
{
    bool reported = false;
    int status = -1;
    QString message;
    BatchDeleteOrderInfo order;
};

// Deletes one file on a real delete thread and waits for its result.
Outcome runThread(const QString &orderFolder, const QString &path, std::shared_ptr<const FileDeleteProbe> probe,
                  bool stop = false)
{
    auto *thread = new BatchdeleteThread;
    thread->order.order_photo_id = QStringLiteral("70001");
    thread->order.netpath = orderFolder;
    thread->file.filePath = path;
    thread->file.fileName = QFileInfo(path).fileName();
    thread->file.index = 3;
    thread->file.status = BatchDeleteFileStatus::Deleting;
    thread->stopRequested = stop;
    if (probe)
        thread->probe = std::move(probe);
    // Recorded on the emitting thread and read once it has ended, under a
    // lock: QThread::wait orders the two inside Qt, where ThreadSanitizer
    // does not see it.
    std::mutex recorded;
    Outcome outcome;
    QObject::connect(
        thread, &BatchdeleteThread::deleteFileFinish, thread,
        [&](const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file) {
            std::lock_guard<std::mutex> lock(recorded);
            if (outcome.reported)
                return;
            outcome.reported = true;
            outcome.order = order;
            outcome.status = file.index == 3 ? file.status : -2;
            outcome.message = file.errorMessage;
        },
        Qt::DirectConnection);
    thread->start();
    thread->wait();
    std::lock_guard<std::mutex> lock(recorded);
    delete thread;
    return outcome;
}

} // namespace

// The per-file delete thread on real files, with the probes a test machine
// cannot produce put in.
class TestBatchdeleteThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void lockedFile();
    void neverOutsideTheOrderFolder();
    void stopSendsNothing();
};

void TestBatchdeleteThread::initTestCase()
{
    BatchDeleteRecords::registerMetaTypes();
}

void TestBatchdeleteThread::outcomes_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("fileLeft");

    QTest::newRow("deleted") << "plain" << 2 << "" << false;
    QTest::newRow("name with & + % and blanks") << "odd name" << 2 << "" << false;
    QTest::newRow("already gone, folder there: counts as deleted") << "gone" << 2 << "" << false;
    QTest::newRow("folder gone: unreachable, not deleted") << "folder gone" << 6 << "文件所在目录无法访问" << false;
    QTest::newRow("share gone") << "share" << 6 << "网络路径无法访问" << false;
    QTest::newRow("network drive gone") << "remote drive" << 6 << "网络路径无法访问" << false;
    QTest::newRow("local drive, folder missing") << "local drive" << 6 << "文件所在目录无法访问" << false;
    QTest::newRow("read-only") << "read-only" << 7 << "没有删除权限" << true;
    QTest::newRow("removal refused for no known reason") << "refused" << 8 << "删除失败，未知原因" << true;
}

void TestBatchdeleteThread::outcomes()
{
    QFETCH(QString, setup);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(bool, fileLeft);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString order = dir.filePath(QStringLiteral("A1-1"));
    QString path = order + QStringLiteral("/原片/IMG_0001.jpg");
    QVERIFY(writeFile(path));
    auto probe = std::make_shared<ScriptedProbe>();

    if (setup == QLatin1String("odd name")) {
        path = order + QStringLiteral("/原片/a&b+c% 1.jpg");
        QVERIFY(writeFile(path));
    } else if (setup == QLatin1String("gone")) {
        QVERIFY(QFile::remove(path));
    } else if (setup == QLatin1String("folder gone")) {
        QVERIFY(QDir(order + QStringLiteral("/原片")).removeRecursively());
    } else if (setup == QLatin1String("share")) {
        const Outcome share = runThread(QStringLiteral("//vq-host-gone/share/A1"),
                                        QStringLiteral("//vq-host-gone/share/A1/x.jpg"), probe);
        QCOMPARE(share.status, status);
        QCOMPARE(share.message, message);
        return;
    } else if (setup == QLatin1String("remote drive") || setup == QLatin1String("local drive")) {
        // A drive letter names no folder here; the probe says what kind of
        // drive it is.
        probe->remoteDrives = setup == QLatin1String("remote drive");
        const Outcome drive =
            runThread(QStringLiteral("Z:/订单/A1"), QStringLiteral("Z:/订单/A1/x.jpg"), probe);
        QCOMPARE(drive.status, status);
        QCOMPARE(drive.message, message);
        return;
    } else if (setup == QLatin1String("read-only")) {
        probe->readOnly.insert(path);
    } else if (setup == QLatin1String("refused")) {
        probe->refusedRemovals.insert(path);
    }

    const Outcome outcome = runThread(order, path, probe);
    QVERIFY(outcome.reported);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.order.order_photo_id, QStringLiteral("70001"));
    QCOMPARE(QFile::exists(path), fileLeft);
}

void TestBatchdeleteThread::lockedFile()
{
    QTemporaryDir dir;
    const QString order = dir.filePath(QStringLiteral("A1-1"));
    const QString path = order + QStringLiteral("/IMG_0001.jpg");
    QVERIFY(writeFile(path));

    // Another program holds the file with an exclusive lock.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const Outcome locked = runThread(order, path, nullptr);
    QCOMPARE(locked.status, 5);
    QCOMPARE(locked.message, QStringLiteral("文件被其他程序占用"));
    QVERIFY(QFile::exists(path));

    // Once it lets go, the file is deleted.
    ::flock(fd, LOCK_UN);
    ::close(fd);
    QCOMPARE(runThread(order, path, nullptr).status, 2);
    QVERIFY(!QFile::exists(path));
}

void TestBatchdeleteThread::neverOutsideTheOrderFolder()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString order = dir.filePath(QStringLiteral("A1-1"));
    QVERIFY(QDir().mkpath(order));
    const QString kept = outside.filePath(QStringLiteral("keep/IMG_0001.jpg"));
    QVERIFY(writeFile(kept));

    // A folder of the order swapped for a link to elsewhere after the scan:
    // the reason names the link.
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("keep")), order + QStringLiteral("/原片")));
    Outcome outcome = runThread(order, order + QStringLiteral("/原片/IMG_0001.jpg"), nullptr);
    QCOMPARE(outcome.status, 8);
    QCOMPARE(outcome.message, QStringLiteral("路径经过链接目录，未删除: ") + order + QStringLiteral("/原片"));
    QVERIFY(QFile::exists(kept));

    // A path that climbs out, and a file of another folder.
    outcome = runThread(order, order + QStringLiteral("/../../") + QDir(outside.path()).dirName()
                                   + QStringLiteral("/keep/IMG_0001.jpg"),
                        nullptr);
    QCOMPARE(outcome.status, 8);
    outcome = runThread(order, kept, nullptr);
    QCOMPARE(outcome.status, 8);
    // No order folder: nothing is deleted.
    outcome = runThread(QString(), kept, nullptr);
    QCOMPARE(outcome.status, 8);
    QVERIFY(QFile::exists(kept));

    // A linked file inside the folder: removing the link would not delete
    // the file it stands for, so neither goes and it is not reported deleted.
    QVERIFY(QFile::link(kept, order + QStringLiteral("/link.jpg")));
    outcome = runThread(order, order + QStringLiteral("/link.jpg"), nullptr);
    QCOMPARE(outcome.status, 8);
    QVERIFY2(outcome.message.startsWith(QStringLiteral("文件是链接，未删除")), qPrintable(outcome.message));
    QVERIFY(QFileInfo(order + QStringLiteral("/link.jpg")).isSymLink());
    QVERIFY(QFile::exists(kept));
}

void TestBatchdeleteThread::stopSendsNothing()
{
    QTemporaryDir dir;
    const QString order = dir.filePath(QStringLiteral("A1-1"));
    const QString path = order + QStringLiteral("/IMG_0001.jpg");
    QVERIFY(writeFile(path));
    const Outcome outcome = runThread(order, path, nullptr, true);
    QVERIFY(!outcome.reported);
}

QTEST_MAIN(TestBatchdeleteThread)
#include "tst_batchdeletethread.moc"
