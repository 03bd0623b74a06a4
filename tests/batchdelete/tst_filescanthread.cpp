#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "batchdelete/jobs/filescanthread.h"
#include "tests/batchdelete/plantedentries.h"

namespace {

bool writeFile(const QString &path, int bytes = 3)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'x')) == bytes;
}

// Scans folder on a scanner of its own and waits for its one result.
FileScanResult scan(const QString &folder, int maxDepth = 2, const QString &tag = QStringLiteral("t"))
{
    FileScanThread scanner;
    QSignalSpy finished(&scanner, &FileScanThread::scanFinished);
    scanner.startScan(tag, folder, maxDepth);
    if (!finished.wait(10000))
        return FileScanResult();
    return finished.first().first().value<FileScanResult>();
}

QStringList relativePaths(const FileScanResult &result, const QString &root)
{
    QStringList out;
    for (const BatchDeleteFileInfo &file : result.files)
        out << QDir(root).relativeFilePath(file.filePath);
    return out;
}

} // namespace

// The folder scanner on real folder trees.
class TestFileScanThread : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void records();
    void leftEntries_data();
    void leftEntries();
    void errors_data();
    void errors();
    void unreadableFolder();
    void progressCadence();
    void cancelDropsResult();
    void controllerGoesAtOnce();
};

void TestFileScanThread::listing_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("maxDepth");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("name order, subfolder in place") << QStringList{"c.jpg", "b.jpg", "A/x.jpg"} << 2
                                                    << QStringList{"A/x.jpg", "b.jpg", "c.jpg"};
    QTest::newRow("case ignored in the order") << QStringList{"b.jpg", "a.jpg", "C.jpg", "D/e.jpg"} << 2
                                               << QStringList{"a.jpg", "b.jpg", "C.jpg", "D/e.jpg"};
    QTest::newRow("depth 2 stops below the subfolders")
        << QStringList{"top.jpg", "sub/one.jpg", "sub/deeper/two.jpg", "sub/deeper/deepest/three.jpg"} << 2
        << QStringList{"sub/one.jpg", "top.jpg"};
    QTest::newRow("depth 0 lists the whole tree")
        << QStringList{"top.jpg", "sub/one.jpg", "sub/deeper/two.jpg", "sub/deeper/deepest/three.jpg"} << 0
        << QStringList{"sub/deeper/deepest/three.jpg", "sub/deeper/two.jpg", "sub/one.jpg", "top.jpg"};
    QTest::newRow("depth 1 lists the folder only") << QStringList{"top.jpg", "sub/one.jpg"} << 1
                                                   << QStringList{"top.jpg"};
    QTest::newRow("hidden files and folders are left out")
        << QStringList{".hidden.jpg", ".cache/x.jpg", "shown.jpg", "sub/.also.jpg"} << 2 << QStringList{"shown.jpg"};
    QTest::newRow("empty folders give nothing") << QStringList{} << 2 << QStringList{};
}

void TestFileScanThread::listing()
{
    QFETCH(QStringList, files);
    QFETCH(int, maxDepth);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("订单 A1"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/empty/sub")));
    for (const QString &file : files)
        QVERIFY(writeFile(root + QLatin1Char('/') + file));

    const FileScanResult result = scan(root, maxDepth);
    QCOMPARE(result.errorCode, 0);
    QCOMPARE(relativePaths(result, root), expected);
    QCOMPARE(result.spareInt, expected.size());
}

void TestFileScanThread::records()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    QVERIFY(dir.isValid() && outside.isValid());
    const QString root = dir.filePath(QStringLiteral("A1-1 张伟"));
    QVERIFY(writeFile(root + QStringLiteral("/top.jpg"), 1500));
    QVERIFY(writeFile(root + QStringLiteral("/原片/x y&z.jpg"), 7));
    QVERIFY(writeFile(outside.filePath(QStringLiteral("elsewhere/keep.jpg"))));
    QVERIFY(writeFile(outside.filePath(QStringLiteral("target.jpg"))));
    // A linked folder is not entered; a linked file is listed as the link.
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("elsewhere")), root + QStringLiteral("/linked")));
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("target.jpg")), root + QStringLiteral("/link.jpg")));
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("gone.jpg")), root + QStringLiteral("/dangling.jpg")));

    const FileScanResult result = scan(root, 2, QStringLiteral("70001"));
    QCOMPARE(result.tag, QStringLiteral("70001"));
    QCOMPARE(result.path, root);
    QCOMPARE(relativePaths(result, root), (QStringList{"link.jpg", "top.jpg", "原片/x y&z.jpg"}));
    const BatchDeleteFileInfo &link = result.files.at(0);
    QCOMPARE(link.filePath, root + QStringLiteral("/link.jpg"));
    const BatchDeleteFileInfo &top = result.files.at(1);
    QCOMPARE(top.fileName, QStringLiteral("top.jpg"));
    QCOMPARE(top.dirName, QStringLiteral("A1-1 张伟"));
    QCOMPARE(top.size, qint64(1500));
    QCOMPARE(top.status, 0);
    QVERIFY(top.errorMessage.isEmpty());
    const BatchDeleteFileInfo &inner = result.files.at(2);
    QCOMPARE(inner.fileName, QStringLiteral("x y&z.jpg"));
    QCOMPARE(inner.dirName, QStringLiteral("原片"));
    QCOMPARE(inner.filePath, root + QStringLiteral("/原片/x y&z.jpg"));
    for (int i = 0; i < result.files.size(); ++i)
        QCOMPARE(result.files.at(i).index, i);

    // A file in a root folder has no folder name.
    QCOMPARE(FileScanWorker::parentDirName(QStringLiteral("/a.jpg")), QString());
    QCOMPARE(FileScanWorker::parentDirName(QStringLiteral("/x/a.jpg")), QStringLiteral("x"));
}

// Entries the run will not delete, planted beside a.jpg: never listed for
// deletion, each counted once with its cause; nothing is opened on the way
// (a pipe opened for reading would hang the scan). Plants are "kind:path";
// a path's "~" stands for a byte that is no UTF-8, shown as U+FFFD.
void TestFileScanThread::leftEntries_data()
{
    QTest::addColumn<QStringList>("planted");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("left");

    QTest::newRow("pipe") << QStringList{"pipe:p"} << QStringList{"a.jpg"} << QStringList{"p 0"};
    QTest::newRow("socket in a subfolder") << QStringList{"socket:原片/s"} << QStringList{"a.jpg"}
                                           << QStringList{"原片/s 0"};
    QTest::newRow("device") << QStringList{"device:null"} << QStringList{"a.jpg"} << QStringList{"null 0"};
    QTest::newRow("undecodable file name") << QStringList{"file:b~.jpg"} << QStringList{"a.jpg"}
                                           << QStringList{"b\uFFFD.jpg 1"};
    // The name the bad one decodes to is a real file of its own: listed
    // once, the bad one never in its place.
    QTest::newRow("undecodable name beside the name it decodes to")
        << QStringList{"file:b~.jpg", "file:b\uFFFD.jpg"} << QStringList{"a.jpg", "b\uFFFD.jpg"}
        << QStringList{"b\uFFFD.jpg 1"};
    QTest::newRow("undecodable folder name, not entered") << QStringList{"file:d~/in.jpg"} << QStringList{"a.jpg"}
                                                          << QStringList{"d\uFFFD 1"};
    QTest::newRow("dangling link") << QStringList{"dangling:gone.jpg"} << QStringList{"a.jpg"}
                                   << QStringList{"gone.jpg 2"};
    QTest::newRow("linked folder") << QStringList{"linkdir:linked"} << QStringList{"a.jpg"}
                                   << QStringList{"linked 2"};
    QTest::newRow("link to a pipe") << QStringList{"linkpipe:lp"} << QStringList{"a.jpg"} << QStringList{"lp 2"};
    QTest::newRow("hidden pipe, left out as hidden files are") << QStringList{"pipe:.p"} << QStringList{"a.jpg"}
                                                               << QStringList{};
    QTest::newRow("pipe below the depth scanned") << QStringList{"pipe:sub/deeper/p"} << QStringList{"a.jpg"}
                                                  << QStringList{};
    QTest::newRow("name order, across folders")
        << QStringList{"pipe:z", "file:C.jpg", "socket:B/s", "file:B/x.jpg", "pipe:b"}
        << QStringList{"a.jpg", "B/x.jpg", "C.jpg"} << QStringList{"B/s 0", "b 0", "z 0"};
    QTest::newRow("unreadable subfolder") << QStringList{"unreadable:locked"} << QStringList{"a.jpg"}
                                          << QStringList{"locked 3"};
}

void TestFileScanThread::leftEntries()
{
    QFETCH(QStringList, planted);
    QFETCH(QStringList, files);
    QFETCH(QStringList, left);

    QTemporaryDir dir;
    QTemporaryDir outside;
    QVERIFY(dir.isValid() && outside.isValid());
    const QString root = dir.filePath(QStringLiteral("A1-1"));
    QVERIFY(writeFile(root + QStringLiteral("/a.jpg")));
    PlantedEntries entries(root, outside.path());
    for (const QString &plant : planted) {
        QString skip;
        if (!entries.plant(plant, &skip)) {
            if (!skip.isEmpty())
                QSKIP(qPrintable(skip));
            QFAIL(qPrintable(plant));
        }
    }
    const FifoReleaser releaser(entries.pipes());

    const FileScanResult result = scan(root);
    QVERIFY(!releaser.released());
    QCOMPARE(result.errorCode, 0);
    QCOMPARE(relativePaths(result, root), files);
    QCOMPARE(result.spareInt, files.size());
    QStringList leftSeen;
    for (const BatchDeleteLeftEntry &entry : result.leftEntries)
        leftSeen << QStringLiteral("%1 %2").arg(QDir(root).relativeFilePath(entry.path)).arg(entry.cause);
    QCOMPARE(leftSeen, left);
}

void TestFileScanThread::errors_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty path") << "" << 1 << "扫描路径为空";
    const QString missing = QDir::tempPath() + QStringLiteral("/vq-missing-folder-") + QString::number(getpid());
    QTest::newRow("missing local folder") << missing << 2 << QStringLiteral("目录不存在: ") + missing;
    QTest::newRow("unreachable share, backslashes")
        << "\\\\vq-no-host\\share\\A1" << 3 << "共享目录连接失败: \\\\vq-no-host\\share\\A1\n请检查网络连接或共享目录权限";
    QTest::newRow("unreachable share, slashes")
        << "//vq-no-host/share/A1" << 3 << "共享目录连接失败: //vq-no-host/share/A1\n请检查网络连接或共享目录权限";
}

void TestFileScanThread::errors()
{
    QFETCH(QString, path);
    QFETCH(int, code);
    QFETCH(QString, message);

    const FileScanResult result = scan(path);
    QCOMPARE(result.errorCode, code);
    QCOMPARE(result.errorMessage, message);
    QVERIFY(result.files.isEmpty());
    QCOMPARE(result.spareInt, 0);
    QCOMPARE(result.path, path);
}

void TestFileScanThread::unreadableFolder()
{
    if (geteuid() == 0)
        QSKIP("an administrator reads every folder");
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("locked"));
    QVERIFY(writeFile(root + QStringLiteral("/a.jpg")));
    QVERIFY(QFile::setPermissions(root, QFileDevice::WriteOwner));
    const FileScanResult result = scan(root);
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(result.errorCode, 4);
    QCOMPARE(result.errorMessage, QStringLiteral("没有权限访问目录: ") + root);
}

void TestFileScanThread::progressCadence()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("many"));
    for (int i = 0; i < 250; ++i)
        QVERIFY(writeFile(root + QStringLiteral("/f%1.jpg").arg(i, 3, 10, QLatin1Char('0'))));
    QVERIFY(writeFile(root + QStringLiteral("/zz/one.jpg")));
    QVERIFY(writeFile(root + QStringLiteral("/zz/deeper/not-listed.jpg")));

    FileScanThread scanner;
    QSignalSpy progress(&scanner, &FileScanThread::scanProgress);
    QSignalSpy finished(&scanner, &FileScanThread::scanFinished);
    scanner.startScan(QStringLiteral("t"), root, 2);
    QVERIFY(finished.wait(10000));
    QList<QPair<int, QString>> seen;
    for (const QList<QVariant> &signal : qAsConst(progress))
        seen.append({signal.at(0).toInt(), QDir(root).relativeFilePath(signal.at(1).toString())});
    // One on entering each folder, one per hundred files; the folder below
    // the depth limit gives none.
    const QList<QPair<int, QString>> expected{{0, QStringLiteral(".")},
                                               {100, QStringLiteral(".")},
                                               {200, QStringLiteral(".")},
                                               {250, QStringLiteral("zz")}};
    QCOMPARE(seen, expected);
    QCOMPARE(finished.first().first().value<FileScanResult>().files.size(), 251);
}

void TestFileScanThread::cancelDropsResult()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("big"));
    for (int i = 0; i < 40; ++i)
        QVERIFY(writeFile(root + QStringLiteral("/sub%1/f.jpg").arg(i)));

    FileScanThread scanner;
    QSignalSpy finished(&scanner, &FileScanThread::scanFinished);
    scanner.startScan(QStringLiteral("t"), root, 2);
    QVERIFY(scanner.isRunning());
    QVERIFY(scanner.cancel(100));
    QVERIFY(scanner.isCancelled());
    // The scan ends on its thread; its result goes nowhere.
    QTRY_VERIFY_WITH_TIMEOUT(!scanner.isRunning(), 10000);
    QCOMPARE(finished.count(), 0);
}

void TestFileScanThread::controllerGoesAtOnce()
{
    // Destroyed right after a start: the scan stops, the thread is joined.
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("f"));
    QVERIFY(writeFile(root + QStringLiteral("/a.jpg")));
    QPointer<FileScanThread> scanner = new FileScanThread;
    scanner->startScan(QStringLiteral("t"), root, 2);
    delete scanner.data();
    QVERIFY(scanner.isNull());
}

QTEST_MAIN(TestFileScanThread)
#include "tst_filescanthread.moc"
