#include <sys/stat.h>

#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "batchdelete/jobs/batchdeleterun.h"
#include "tests/batchdelete/plantedentries.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/batchdeletefixture.h"
#include "tests/support/hostiletree.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

namespace {

const QString kBefore = QStringLiteral("&m=order&a=delete_pic_before");
const QString kAfter = QStringLiteral("&m=order&a=delete_pic_after");

// The values of shop "11" of the fake's test data.
const BatchDeleteRequests::Branch kBranch{QStringLiteral("11"), QStringLiteral("7001"), QStringLiteral("9001")};

// An order of the fake whose folder (below root) holds count small files
// named by pattern ("%1": 00, 01, …), and nothing else of the fake's.
struct FilledOrder
{
    QString folder;
    QStringList names;
    QJsonObject order;
};

FilledOrder fillOrder(FakeOrderService &fake, const QString &root, const QString &id, const QString &number,
                      const QString &pattern, int count)
{
    FilledOrder filled;
    filled.folder = root + QLatin1Char('/') + number + QStringLiteral("-1");
    for (int i = 0; i < count; ++i)
        filled.names << pattern.arg(i, 2, 10, QLatin1Char('0'));
    if (!BatchDeleteFixture::writeFiles(filled.folder, filled.names))
        return {};
    filled.order = BatchDeleteFixture::order(id, number, filled.folder, root);
    BatchDeleteFixture::setOrders(fake, {filled.order});
    return filled;
}

QList<BatchDeleteOrderInfo> records(const QList<QJsonObject> &orders)
{
    QList<BatchDeleteOrderInfo> list;
    for (int i = 0; i < orders.size(); ++i)
        list << BatchDeleteOrderInfo::fromJson(orders.at(i), i);
    return list;
}

} // namespace

// The batch-delete run driven directly, without the window: real folder
// trees, the in-process order service, real delete threads.
class TestBatchDeleteRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void hostileTrees_data();
    void hostileTrees();
    void leftBehind_data();
    void leftBehind();
    void sharedFolders_data();
    void sharedFolders();
    void holdWaitsAndReleaseGoesOn();
    void closeDownLeavesNoteAndNextRunGoesOn();

private:
    // Runs the orders to their end; false when the run did not start or end.
    bool runToEnd(BatchDeleteRun &run, const QList<BatchDeleteOrderInfo> &orders,
                  const QList<BatchDeleteOrderInfo> &searched = {});
    // The picpath of every confirmation the service was sent for the order.
    QStringList confirmationsFor(const QString &orderPhotoId) const;
    void flippingFolder(const HostileTree &tree, const QString &order, const QString &common);

    FakeOrderService m_fake;
    QTemporaryDir m_dataDir;
};

void TestBatchDeleteRun::initTestCase()
{
    QVERIFY(m_dataDir.isValid());
    QVERIFY(BatchDeleteFixture::startService(m_fake, m_dataDir.path()));
}

void TestBatchDeleteRun::init()
{
    BatchDeleteFixture::resetService(m_fake);
}

bool TestBatchDeleteRun::runToEnd(BatchDeleteRun &run, const QList<BatchDeleteOrderInfo> &orders,
                                  const QList<BatchDeleteOrderInfo> &searched)
{
    QSignalSpy finished(&run, &BatchDeleteRun::finished);
    QSignalSpy stopped(&run, &BatchDeleteRun::stopped);
    if (!run.start(kBranch, orders, searched))
        return false;
    // A run whose orders are all refused ends inside start().
    return QTest::qWaitFor([&]() { return !finished.isEmpty() || !stopped.isEmpty(); }, 30000) && stopped.isEmpty()
        && !run.isRunning();
}

QStringList TestBatchDeleteRun::confirmationsFor(const QString &orderPhotoId) const
{
    QStringList paths;
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kAfter)) {
        if (request.field(QStringLiteral("order_photo_id")) == orderPhotoId)
            paths << request.field(QStringLiteral("picpath"));
    }
    paths.sort();
    return paths;
}

void TestBatchDeleteRun::hostileTrees_data()
{
    HostileTree::addCases();
}

// An order folder photos/A1-1 with a plain file and one hostile entry,
// order/sub/victim.jpg unless the case says otherwise. A link or special
// file that the scan would not list is put in place of a listed file or
// folder once the service has the list, as a share can change under the
// run. Run twice with the same run: the second pass finds what the first
// left, and must not call the folder emptied while it is still there.
void TestBatchDeleteRun::hostileTrees()
{
    QFETCH(int, hostile);
    const auto kind = HostileTree::Case(hostile);
#ifndef Q_OS_UNIX
    if (kind == HostileTree::BackslashName)
        QSKIP("a backslash is a separator here");
#endif
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const HostileTree tree(dir.path());
    std::unique_ptr<TinyVolume> volume;
    QString common = dir.filePath(QStringLiteral("photos"));
    if (kind == HostileTree::FullVolume) {
        volume = std::make_unique<TinyVolume>(256 * 1024);
        if (!volume->isValid())
            QSKIP(TinyVolume::unavailableReason());
        common = volume->filePath(QStringLiteral("photos"));
    }
    const QString order = common + QStringLiteral("/A1-1");
    const QString plain = order + QStringLiteral("/plain.jpg");
    QString hostilePath = order + QStringLiteral("/sub/victim.jpg");
    QString unlisted;
    // What the second pass still finds and says it left.
    QString leftLine;
    std::function<void()> afterScan;
    QVERIFY(TreeFixture::write(plain, "plain"));

    switch (kind) {
    case HostileTree::LinkAsTarget:
        QVERIFY(tree.linkToVictim(hostilePath));
        break;
    case HostileTree::DanglingLink:
        QVERIFY(TreeFixture::write(hostilePath, "listed"));
        afterScan = [&]() {
            QVERIFY(QFile::remove(hostilePath));
            QVERIFY(tree.linkToVictim(hostilePath, true));
        };
        leftLine = QStringLiteral("订单 A1-1：1 个文件未删除（链接）");
        break;
    case HostileTree::LinkedSubFolder:
        QVERIFY(TreeFixture::write(hostilePath, "listed"));
        afterScan = [&]() {
            QVERIFY(QDir(order + QStringLiteral("/sub")).removeRecursively());
            QVERIFY(tree.linkToOutside(order + QStringLiteral("/sub")));
        };
        leftLine = QStringLiteral("订单 A1-1：1 个文件未删除（链接）");
        break;
    case HostileTree::OrderFolderIsLink:
        QVERIFY(QDir(order).removeRecursively());
        QVERIFY(tree.linkToOutside(order));
        hostilePath = order + QStringLiteral("/victim.jpg");
        break;
    case HostileTree::BackslashName:
        // One name on Linux; its separators would name the unlisted file,
        // which lies deeper than the scan goes.
        hostilePath = order + QStringLiteral("/deep\\deeper\\victim.jpg");
        QVERIFY(TreeFixture::write(hostilePath, "listed"));
        unlisted = order + QStringLiteral("/deep/deeper/victim.jpg");
        QVERIFY(TreeFixture::write(unlisted, "unlisted"));
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget: {
        // Whether this system lets the test make one is known before the run.
        QString why;
        const QString trial = dir.filePath(QStringLiteral("trial"));
        if (!HostileTree::plantSpecial(kind, trial, &why))
            QSKIP(qPrintable(why));
        QVERIFY(QFile::remove(trial));
        QVERIFY(TreeFixture::write(hostilePath, "listed"));
        afterScan = [&]() {
            QVERIFY(QFile::remove(hostilePath));
            QVERIFY(HostileTree::plantSpecial(kind, hostilePath));
        };
        leftLine = QStringLiteral("订单 A1-1：1 个文件未删除（管道、设备或套接字）");
        break;
    }
    case HostileTree::FlippingFolder:
        flippingFolder(tree, order, common);
        return;
    case HostileTree::FullVolume:
        // Deleting needs no room: nothing is written on the way.
        QVERIFY(TreeFixture::write(hostilePath, QByteArray(64 * 1024, 'v')));
        QVERIFY(volume->fill(0));
        break;
    }

    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", order, common)});
    const QList<BatchDeleteOrderInfo> orders = records({BatchDeleteFixture::order("70001", "A1", order, common)});
    bool swapped = false;
    // Goes with this test, also when a check ends it early.
    QObject swapContext;
    connect(&m_fake, &FakeOrderService::requestReceived, &swapContext, [&](const FakeOrderService::Request &request) {
        if (request.action() == kBefore && afterScan && !swapped) {
            swapped = true;
            afterScan();
        }
    });
    // A run that opened the pipe would block there until this lets it go.
    const FifoReleaser releaser(kind == HostileTree::FifoAsTarget ? QStringList{hostilePath} : QStringList());

    BatchDeleteRun run;
    for (int pass = 1; pass <= 2; ++pass) {
        m_fake.clearRequests();
        QVERIFY2(runToEnd(run, orders), qPrintable(QStringLiteral("pass %1").arg(pass)));

        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        // No file is confirmed that is still there, the link or the file it
        // stands for.
        const QStringList confirmed = confirmationsFor(QStringLiteral("70001"));
        for (const QString &path : confirmed)
            QVERIFY2(!QFileInfo::exists(path) && !QFileInfo(path).isSymLink(), qPrintable(path));
        QVERIFY(!releaser.released());
        if (HostileTree::isSpecialTarget(kind))
            QVERIFY(HostileTree::isSpecialAt(hostilePath));

        const bool deletable = kind == HostileTree::BackslashName || kind == HostileTree::FullVolume;
        QCOMPARE(confirmed.contains(hostilePath), deletable && pass == 1);
        if (deletable) {
            QVERIFY(!QFileInfo::exists(hostilePath));
            if (!unlisted.isEmpty())
                QCOMPARE(TreeFixture::read(unlisted), QByteArray("unlisted"));
            QVERIFY(run.isClean());
            // The second time the folder holds nothing the scan reaches.
            QCOMPARE(run.summaryText(), pass == 1 ? QStringLiteral("全部删除完成！")
                                                  : QStringLiteral("删除结束：已删除 0 个文件\n\n"
                                                                   "以下订单目录中没有文件，无需删除：\n订单 A1-1"));
            continue;
        }
        if (kind == HostileTree::OrderFolderIsLink)
            QVERIFY(m_fake.requestsFor(kBefore).isEmpty());
        else if (pass == 1)
            QCOMPARE(confirmed, QStringList{plain});
        // Whatever the case left in the folder keeps the run from being clean,
        // the first time and every time after.
        QVERIFY(!run.isClean());
        const QString summary = run.summaryText();
        QVERIFY2(summary.contains(QStringLiteral("A1-1")), qPrintable(summary));
        QVERIFY2(!summary.contains(QStringLiteral("全部删除完成")), qPrintable(summary));
        QVERIFY2(!summary.contains(QStringLiteral("没有文件")), qPrintable(summary));
        if (kind != HostileTree::OrderFolderIsLink && pass == 1) {
            const QList<BatchDeleteFileInfo> failed = run.order(QStringLiteral("70001")).failedFiles;
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed.first().filePath, hostilePath);
            const QString cause =
                HostileTree::isSpecialTarget(kind) ? QStringLiteral("不是普通文件") : QStringLiteral("链接");
            QVERIFY2(failed.first().errorMessage.contains(cause), qPrintable(failed.first().errorMessage));
        }
        if (pass == 2 && !leftLine.isEmpty()) {
            // Seen by the scan now, so never announced to the service.
            QVERIFY(m_fake.requestsFor(kBefore).isEmpty());
            QCOMPARE(run.orders().first().leftEntries.size(), 1);
            QVERIFY2(summary.contains(leftLine), qPrintable(summary));
        }
    }
}

// A folder of the order's flips between itself and a link to the outside
// folder while the run scans and deletes, twice. Whatever name the scan met
// the files under, the run deletes in the real folder or leaves the file,
// never follows the link, and confirms only what is gone from the real
// folder.
void TestBatchDeleteRun::flippingFolder(const HostileTree &tree, const QString &order, const QString &common)
{
    const QString sub = order + QStringLiteral("/sub");
    for (int i = 0; i < 40; ++i)
        QVERIFY(TreeFixture::write(sub + QStringLiteral("/IMG_%1.jpg").arg(i), "photo"));
    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", order, common)});
    const QList<BatchDeleteOrderInfo> orders = records({BatchDeleteFixture::order("70001", "A1", order, common)});

    BatchDeleteRun run;
    for (int pass = 1; pass <= 2; ++pass) {
        m_fake.clearRequests();
        {
            FolderFlipper flipper(sub, tree.outside());
            QVERIFY2(runToEnd(run, orders), qPrintable(QStringLiteral("pass %1").arg(pass)));
            QTRY_VERIFY_WITH_TIMEOUT(flipper.flips() > 0, 10000);
        }
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        QVERIFY(QFileInfo(sub).isDir() && !QFileInfo(sub).isSymLink());
        for (QString path : confirmationsFor(QStringLiteral("70001"))) {
            path.replace(sub + QStringLiteral(".parked/"), sub + QLatin1Char('/'));
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        }
    }
}

// What the run leaves in an order's folder, planted beside two plain files
// (one in a subfolder): it stays, the plain files go, and the end says how
// many were left and why, for the order. Run twice: the second run finds
// the same things left.
void TestBatchDeleteRun::leftBehind_data()
{
    QTest::addColumn<QStringList>("planted");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("failed");
    QTest::addColumn<QString>("line");

    const QString special = QStringLiteral("订单 A1-1：1 个文件未删除（管道、设备或套接字）");
    QTest::newRow("pipe") << QStringList{"pipe:sub/管道"} << 1 << "" << special;
    QTest::newRow("socket") << QStringList{"socket:sub/socket"} << 1 << "" << special;
    QTest::newRow("device") << QStringList{"device:null"} << 1 << "" << special;
    QTest::newRow("undecodable name") << QStringList{"file:sub/坏名~.jpg"} << 1 << ""
                                      << QStringLiteral("订单 A1-1：1 个文件未删除（无法识别的文件名）");
    QTest::newRow("pipe, socket and an undecodable name")
        << QStringList{"pipe:p", "socket:sub/s", "file:x~"} << 3 << ""
        << QStringLiteral("订单 A1-1：3 个文件未删除（2 个管道、设备或套接字，1 个无法识别的文件名）");
    QTest::newRow("read-only folder") << QStringList{"readonly:只读"} << 0 << QStringLiteral("没有删除权限")
                                      << QStringLiteral("订单 A1-1：1 个文件未删除");
    QTest::newRow("file the account may not delete, beside a pipe")
        << QStringList{"refused:sub/不许删.jpg", "pipe:sub/p"} << 1 << QStringLiteral("没有删除权限")
        << QStringLiteral("订单 A1-1：2 个文件未删除（1 个删除失败，1 个管道、设备或套接字）");
    QTest::newRow("unreadable subfolder") << QStringList{"unreadable:不可读"} << 1 << ""
                                          << QStringLiteral("订单 A1-1：1 个文件未删除（无法读取的文件夹）");
}

void TestBatchDeleteRun::leftBehind()
{
    QFETCH(QStringList, planted);
    QFETCH(int, left);
    QFETCH(QString, failed);
    QFETCH(QString, line);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString common = dir.filePath(QStringLiteral("photos"));
    const QString order = common + QStringLiteral("/A1-1");
    const QStringList plain{order + QStringLiteral("/plain.jpg"), order + QStringLiteral("/sub/keep.jpg")};
    for (const QString &path : plain)
        QVERIFY(TreeFixture::write(path, "photo"));
    auto probe = std::make_shared<ScriptedProbe>();
    PlantedEntries entries(order, dir.filePath(QStringLiteral("outside")));
    QList<QByteArray> stays;
    for (const QString &plant : planted) {
        // The account may not delete it, told by the probe: a test runs as
        // an administrator.
        if (plant.startsWith(QLatin1String("refused:"))) {
            const QString path = order + QLatin1Char('/') + plant.section(QLatin1Char(':'), 1);
            QVERIFY(TreeFixture::write(path, "photo"));
            probe->readOnly.insert(path);
            stays << QFile::encodeName(path);
            continue;
        }
        QString skip;
        if (!entries.plant(plant, &skip)) {
            if (!skip.isEmpty())
                QSKIP(qPrintable(skip));
            QFAIL(qPrintable(plant));
        }
    }
    stays << entries.stays();
    const FifoReleaser releaser(entries.pipes());

    BatchDeleteFixture::setOrders(m_fake, {BatchDeleteFixture::order("70001", "A1", order, common)});
    const QList<BatchDeleteOrderInfo> orders = records({BatchDeleteFixture::order("70001", "A1", order, common)});
    BatchDeleteRun run;
    run.setFileProbe(probe);
    for (int pass = 1; pass <= 2; ++pass) {
        m_fake.clearRequests();
        QVERIFY2(runToEnd(run, orders), qPrintable(QStringLiteral("pass %1").arg(pass)));

        QVERIFY(!releaser.released());
        for (const QByteArray &raw : qAsConst(stays)) {
            struct stat st;
            QVERIFY2(::lstat(raw.constData(), &st) == 0, raw.constData());
        }
        for (const QString &path : plain)
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(confirmationsFor(QStringLiteral("70001")), pass == 1 ? plain : QStringList());

        QVERIFY(!run.isClean());
        QCOMPARE(run.orders().first().leftEntries.size(), left);
        const QString summary = run.summaryText();
        QVERIFY2(summary.contains(line), qPrintable(summary));
        const int notDeleted = left + (failed.isEmpty() ? 0 : 1);
        QVERIFY2(summary.contains(QStringLiteral("共 %1 个文件未删除").arg(notDeleted)), qPrintable(summary));
        QVERIFY2(!summary.contains(QStringLiteral("全部删除完成")), qPrintable(summary));
        QVERIFY2(!summary.contains(QStringLiteral("没有文件")), qPrintable(summary));
        const QList<BatchDeleteFileInfo> failedFiles = run.order(QStringLiteral("70001")).failedFiles;
        if (failed.isEmpty()) {
            QVERIFY(failedFiles.isEmpty());
        } else {
            QCOMPARE(failedFiles.size(), 1);
            QCOMPARE(failedFiles.first().status, int(BatchDeleteFileStatus::NoPermission));
            QCOMPARE(failedFiles.first().errorMessage, failed);
        }
    }
}

void TestBatchDeleteRun::sharedFolders_data()
{
    // Orders by number: P's folder shop/ holds A's folder shop/A1-1; S has
    // the very folder of A; B lies apart. No common root is sent, so only
    // the search tells what P's folder is.
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("searchedOnly");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<QStringList>("emptied");

    QTest::newRow("parent ticked, the other order only in the search")
        << QStringList{"P"} << QStringList{"A", "B"} << QStringList{"P"} << QStringList{};
    QTest::newRow("parent ticked before the other order") << QStringList{"P", "A", "B"} << QStringList{}
                                                          << QStringList{"P"} << QStringList{"A", "B"};
    QTest::newRow("the other order ticked before the parent") << QStringList{"A", "P"} << QStringList{"B"}
                                                              << QStringList{"P"} << QStringList{"A"};
    QTest::newRow("two orders of one folder") << QStringList{"A", "S", "B"} << QStringList{}
                                              << QStringList{"A", "S"} << QStringList{"B"};
    QTest::newRow("the same order listed twice is one order")
        << QStringList{"A"} << QStringList{"A"} << QStringList{} << QStringList{"A"};
}

void TestBatchDeleteRun::sharedFolders()
{
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, searchedOnly);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, emptied);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString shop = dir.filePath(QStringLiteral("shop"));
    const QMap<QString, QString> folders{{"P", shop},
                                         {"A", shop + QStringLiteral("/A1-1")},
                                         {"S", shop + QStringLiteral("/A1-1")},
                                         {"B", dir.filePath(QStringLiteral("other/B1-1"))}};
    const QMap<QString, QString> ids{{"P", "70000"}, {"A", "70001"}, {"S", "70003"}, {"B", "70002"}};
    // What lies in each order's folder at the depth the scan reaches.
    const QMap<QString, QStringList> files{{"P", {"P.jpg", "原片/P1.jpg"}},
                                           {"A", {"合同.pdf", "原片/IMG_0001.jpg"}},
                                           {"S", {"合同.pdf", "原片/IMG_0001.jpg"}},
                                           {"B", {"b.jpg"}}};
    QVERIFY(BatchDeleteFixture::writeFiles(folders["P"], files["P"]));
    QVERIFY(BatchDeleteFixture::writeFiles(folders["A"], files["A"]));
    QVERIFY(BatchDeleteFixture::writeFiles(folders["B"], files["B"]));

    const auto json = [&](const QString &key) {
        return BatchDeleteFixture::order(ids[key], key + QStringLiteral("1"), folders[key], QString());
    };
    QList<QJsonObject> all;
    for (const QString &key : QStringList{"P", "A", "S", "B"})
        all << json(key);
    BatchDeleteFixture::setOrders(m_fake, all);
    QList<QJsonObject> tickedOrders;
    for (const QString &key : ticked)
        tickedOrders << json(key);
    QList<QJsonObject> searched;
    for (const QString &key : searchedOnly)
        searched << json(key);

    BatchDeleteRun run;
    QVERIFY(runToEnd(run, records(tickedOrders), records(searched)));

    const QString summary = run.summaryText();
    for (const QString &key : refused) {
        QVERIFY2(summary.contains(key + QStringLiteral("1-1 未删除")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("不是一个订单的文件")), qPrintable(summary));
        for (const FakeOrderService::Request &request : m_fake.requestsFor(kBefore))
            QVERIFY(request.field(QStringLiteral("order_photo_id")) != ids[key]);
        QVERIFY(confirmationsFor(ids[key]).isEmpty());
    }
    QCOMPARE(run.isClean(), refused.isEmpty());
    // P's own files and A's stay unless their own order emptied them; B is
    // emptied only when ticked.
    const QStringList kept = BatchDeleteFixture::filesBelow(dir.path());
    for (const QString &key : QStringList{"P", "A", "B"}) {
        const QString relative = QDir(dir.path()).relativeFilePath(folders[key]);
        for (const QString &file : files[key]) {
            const QString path = relative + QLatin1Char('/') + file;
            QVERIFY2(kept.contains(path) != emptied.contains(key), qPrintable(path));
        }
    }
    // Each order confirmed exactly its own files.
    for (const QString &key : emptied) {
        QStringList own;
        for (const QString &file : files[key])
            own << folders[key] + QLatin1Char('/') + file;
        own.sort();
        QCOMPARE(confirmationsFor(ids[key]), own);
    }
}

// While held the run starts no file: what was being deleted settles, the
// rest waits, the run does not end. Released, it goes on to its end.
void TestBatchDeleteRun::holdWaitsAndReleaseGoesOn()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const FilledOrder filled = fillOrder(m_fake, dir.path(), QStringLiteral("70001"), QStringLiteral("A1"),
                                         QStringLiteral("f%1.jpg"), 20);
    QVERIFY(!filled.names.isEmpty());
    const QString &folder = filled.folder;
    const QStringList &names = filled.names;
    const QJsonObject &order = filled.order;
    m_fake.setFault(kAfter, FakeOrderService::Fault::Delay, QString(), 100);

    BatchDeleteRun run;
    QSignalSpy finished(&run, &BatchDeleteRun::finished);
    QVERIFY(run.start(kBranch, records({order})));
    QTRY_VERIFY_WITH_TIMEOUT(m_fake.requestsFor(kAfter).size() >= 2, 10000);
    run.hold();
    const int leftAtHold = BatchDeleteFixture::filesBelow(folder).size();
    // The two lanes' files settle, deleted and confirmed; then nothing moves.
    const auto state = [&]() {
        return qMakePair(BatchDeleteFixture::filesBelow(folder).size(), m_fake.requestsFor(kAfter).size());
    };
    QPair<int, int> held = state();
    for (int quiet = 0, round = 0; quiet < 3 && round < 30; ++round) {
        QTest::qWait(300);
        const QPair<int, int> now = state();
        quiet = now == held ? quiet + 1 : 0;
        held = now;
    }
    const int leftHeld = held.first;
    QVERIFY2(leftHeld >= leftAtHold - 2 && leftHeld > 0, qPrintable(QString::number(leftHeld)));
    QCOMPARE(held.second, names.size() - leftHeld);
    QVERIFY(finished.isEmpty());
    QVERIFY(run.isRunning());

    run.release();
    QVERIFY(finished.wait(20000));
    QVERIFY(BatchDeleteFixture::filesBelow(folder).isEmpty());
    QCOMPARE(confirmationsFor(QStringLiteral("70001")).size(), names.size());
    QCOMPARE(run.summaryText(), QStringLiteral("全部删除完成！"));
}

// A stop for closing, held or not: deletions under way finish and are
// confirmed (an open question about a refused confirmation is given up),
// nothing further is deleted, the order's folder gets its note and the run
// says it has closed down, never that it finished. The next run of the
// order deletes the rest, never the note, says it went on, and the note
// goes.
void TestBatchDeleteRun::closeDownLeavesNoteAndNextRunGoesOn()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const FilledOrder filled = fillOrder(m_fake, dir.path(), QStringLiteral("70002"), QStringLiteral("B1"),
                                         QStringLiteral("原片/f%1.jpg"), 20);
    QVERIFY(!filled.names.isEmpty());
    const QString &folder = filled.folder;
    const QStringList &names = filled.names;
    const QJsonObject &order = filled.order;
    // The first file's confirmation is refused and its question stays open.
    m_fake.modelStore().setList(QStringLiteral("deleteAfterRefusals"),
                                QJsonArray{QJsonObject{{"picname", "f00.jpg"}, {"times", 99}}});
    m_fake.setFault(kAfter, FakeOrderService::Fault::Delay, QString(), 100);

    BatchDeleteRun run;
    int asked = 0;
    run.setQuestionHandler([&asked](const QString &, std::function<void(bool)>) { ++asked; });
    QSignalSpy finished(&run, &BatchDeleteRun::finished);
    QSignalSpy stopped(&run, &BatchDeleteRun::stopped);
    QSignalSpy closedDown(&run, &BatchDeleteRun::closedDown);
    QVERIFY(run.start(kBranch, records({order})));
    QTRY_VERIFY_WITH_TIMEOUT(asked == 1 && m_fake.requestsFor(kAfter).size() >= 3, 10000);
    run.hold();
    QCOMPARE(run.currentOrder().label(), QStringLiteral("B1-1"));
    run.stopForClose();
    QVERIFY(run.isStopping());
    QVERIFY(closedDown.wait(10000));
    QVERIFY(!run.isRunning());
    QTest::qWait(300);
    QVERIFY(finished.isEmpty());
    QVERIFY(stopped.isEmpty());
    QCOMPARE(closedDown.size(), 1);

    const QString note = folder + QStringLiteral("/删除未完成.txt");
    QVERIFY(QFileInfo(note).isFile());
    const QStringList left = BatchDeleteFixture::filesBelow(folder);
    QVERIFY(left.size() > 2);
    // Every file gone was confirmed, but the one whose question was open.
    QStringList gone;
    for (const QString &name : names) {
        if (!left.contains(name))
            gone << folder + QLatin1Char('/') + name;
    }
    QVERIFY(gone.contains(folder + QStringLiteral("/原片/f00.jpg")));
    gone.removeOne(folder + QStringLiteral("/原片/f00.jpg"));
    const QStringList confirmed = confirmationsFor(QStringLiteral("70002"));
    for (const QString &path : gone)
        QVERIFY2(confirmed.contains(path), qPrintable(path));

    // The next run: the rest, not the note.
    m_fake.clearFaults();
    m_fake.clearRequests();
    BatchDeleteRun next;
    QVERIFY(runToEnd(next, records({order})));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(note), 10000);
    QVERIFY(BatchDeleteFixture::filesBelow(folder).isEmpty());
    const int rest = left.size() - 1;
    QCOMPARE(confirmationsFor(QStringLiteral("70002")).size(), rest);
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kBefore))
        QVERIFY(!request.field(QStringLiteral("pics")).contains(QStringLiteral("删除未完成")));
    const QString summary = next.summaryText();
    QVERIFY2(summary.endsWith(QStringLiteral("以下订单上次删除被中断，本次继续删除：\n订单 B1-1：本次删除了剩余的 %1 个文件")
                                  .arg(rest)),
             qPrintable(summary));
    QVERIFY(next.isClean());
}

TINYVOLUME_TEST_MAIN(TestBatchDeleteRun)
#include "tst_batchdeleterun.moc"
