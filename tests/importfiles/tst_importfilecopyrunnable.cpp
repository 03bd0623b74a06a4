// The copy job of the import window: every failure text in the order the
// job checks, a cancel at each point where the job looks at its flag, an
// existing target that survives every failed or cancelled copy, hostile
// trees under the order's folder, and sources that are no regular file.

#include <unistd.h>

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "base/fileops.h"
#include "importfiles/jobs/importfilecopyrunnable.h"
#include "tests/support/hostiletree.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything in the folder, hidden files included: a temporary file left
// behind shows here.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

ImportFile fileFor(const QString &source, const QString &targetDir)
{
    const QFileInfo info(source);
    ImportFile file;
    file.sourcePath = source;
    file.baseName = info.completeBaseName();
    file.suffix = info.suffix();
    file.targetDir = targetDir;
    file.orderFolder = QFileInfo(targetDir).path();
    file.fileIndex = 3;
    file.orderRow = 1;
    file.orderPhotoId = QStringLiteral("301");
    file.pickGeneration = 7;
    return file;
}

struct Outcome
{
    bool finished = false;
    bool cancelled = false;
    ImportFile file;
};

Outcome runJob(ImportFileCopyRunnable &job)
{
    QSignalSpy finished(&job, &ImportFileCopyRunnable::copyFinished);
    QSignalSpy cancelled(&job, &ImportFileCopyRunnable::copyCancelled);
    job.run();
    Outcome outcome;
    outcome.finished = finished.size() == 1;
    outcome.cancelled = cancelled.size() == 1;
    if (finished.size() + cancelled.size() == 1)
        outcome.file = (finished.isEmpty() ? cancelled : finished).first().first().value<ImportFile>();
    return outcome;
}

} // namespace

class TestImportFileCopyRunnable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void failures_data();
    void failures();
    void unreadableSource();
    void cancelAtEachPoint_data();
    void cancelAtEachPoint();
    void copiesAndReplaces();
    void droppedJobNeverRuns();
    void hostileTrees_data();
    void hostileTrees();
    void sourceNotRegular_data();
    void sourceNotRegular();
    void folderFailures_data();
    void folderFailures();
    void sourceWithoutSuffix();

private:
    QTemporaryDir m_dir;
};

void TestImportFileCopyRunnable::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<ImportFile>("ImportFile");
}

void TestImportFileCopyRunnable::cleanup()
{
    ImportFileCopyRunnable::setCheckpointHook(nullptr);
}

// Each row sets up one fault; the target folder starts with "old.jpg"
// holding "old" wherever a target is expected. In the texts "%source" is
// the picked file, "%target" the copy's target and "%dir" its folder.
void TestImportFileCopyRunnable::failures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("source missing") << "missing" << "原文件不存在: %source";
    QTest::newRow("source is a folder") << "folder" << "路径不是文件: %source";
    QTest::newRow("source empty") << "empty" << "文件大小为0KB，无法导入: %source";
    QTest::newRow("target is a folder") << "target folder" << "目标已存在且不是普通文件，未覆盖: %target";
    QTest::newRow("target folder missing") << "no target dir" << "拷贝失败: %target (目录不存在: %dir)";
    // Not "missing": the system's own cause.
    QTest::newRow("target folder's name too long") << "long dir" << "拷贝失败: %target (路径或文件名过长: %dir)";
    QTest::newRow("source grew after its size was read") << "grows" << "拷贝失败: %source (拷贝时原文件的大小已改变)";
    QTest::newRow("source emptied after its size was read") << "emptied" << "拷贝失败: %source (拷贝时原文件已被清空)";
}

void TestImportFileCopyRunnable::failures()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    const QString root = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    const QString sourceDir = root + QStringLiteral("/card");
    const QString originals = root + QStringLiteral("/order/原片");
    QString targetDir = originals;
    QVERIFY(QDir().mkpath(sourceDir));
    QVERIFY(QDir().mkpath(targetDir));
    const QString source = sourceDir + QStringLiteral("/old.jpg");
    const QString old = originals + QStringLiteral("/old.jpg");
    QVERIFY(writeFile(old, "old"));

    if (fault == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(source));
    else if (fault == QLatin1String("empty"))
        QVERIFY(writeFile(source, QByteArray()));
    else if (fault != QLatin1String("missing"))
        QVERIFY(writeFile(source, QByteArray(64 * 1024, 'n')));
    if (fault == QLatin1String("target folder")) {
        QVERIFY(QFile::remove(old));
        QVERIFY(QDir().mkpath(old));
    }
    if (fault == QLatin1String("no target dir"))
        targetDir = root + QStringLiteral("/order/原始档");
    if (fault == QLatin1String("long dir"))
        targetDir = root + QStringLiteral("/order/") + QString(100, QChar(0x957F)); // 300 bytes
    ImportFileCopyRunnable::setCheckpointHook([&](ImportFileCopyRunnable::Checkpoint point, const ImportFile &, const std::atomic_bool &) {
        if (point != ImportFileCopyRunnable::SourceChecked)
            return;
        QFile file(source);
        if (fault == QLatin1String("grows") && file.open(QIODevice::Append))
            file.write("more");
        if (fault == QLatin1String("emptied"))
            file.resize(0);
    });

    ImportFileCopyRunnable job(fileFor(source, targetDir), nullptr);
    const Outcome outcome = runJob(job);
    QVERIFY(outcome.finished);
    QVERIFY(!outcome.cancelled);
    QCOMPARE(outcome.file.status, int(Failed));
    QCOMPARE(outcome.file.message, QString(message)
                                       .replace(QLatin1String("%source"), source)
                                       .replace(QLatin1String("%target"), targetDir + QStringLiteral("/old.jpg"))
                                       .replace(QLatin1String("%dir"), targetDir));
    // The record comes back as it went, but for its outcome.
    QCOMPARE(outcome.file.fileIndex, 3);
    QCOMPARE(outcome.file.orderPhotoId, QStringLiteral("301"));
    QCOMPARE(outcome.file.pickGeneration, 7);
    // Whatever failed, the old target is untouched and nothing else is left.
    if (fault == QLatin1String("target folder"))
        QVERIFY(QFileInfo(old).isDir());
    else
        QCOMPARE(readFile(old), QByteArray("old"));
    QCOMPARE(entries(root + QStringLiteral("/order")), QStringList{QStringLiteral("原片")});
    QCOMPARE(entries(originals), QStringList{QStringLiteral("old.jpg")});
}

void TestImportFileCopyRunnable::unreadableSource()
{
    if (::geteuid() == 0)
        QSKIP("the superuser reads every file");
    const QString root = m_dir.filePath(QStringLiteral("unreadable"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/out")));
    const QString source = root + QStringLiteral("/a.jpg");
    QVERIFY(writeFile(source, "photo"));
    QVERIFY(QFile::setPermissions(source, QFileDevice::WriteOwner));
    ImportFileCopyRunnable job(fileFor(source, root + QStringLiteral("/out")), nullptr);
    const Outcome outcome = runJob(job);
    QCOMPARE(outcome.file.message, QStringLiteral("原文件无法读取: ") + source);
    QVERIFY(entries(root + QStringLiteral("/out")).isEmpty());
}

void TestImportFileCopyRunnable::cancelAtEachPoint_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<bool>("copied");
    QTest::newRow("before start") << int(ImportFileCopyRunnable::BeforeStart) << false;
    QTest::newRow("source checked") << int(ImportFileCopyRunnable::SourceChecked) << false;
    QTest::newRow("target checked") << int(ImportFileCopyRunnable::TargetChecked) << false;
    QTest::newRow("copy written, not renamed") << int(ImportFileCopyRunnable::CopyWritten) << false;
    QTest::newRow("renamed") << int(ImportFileCopyRunnable::Renamed) << true;
}

void TestImportFileCopyRunnable::cancelAtEachPoint()
{
    QFETCH(int, point);
    QFETCH(bool, copied);
    const QString root = m_dir.filePath(QStringLiteral("cancel-%1").arg(point));
    const QString targetDir = root + QStringLiteral("/原始档");
    QVERIFY(QDir().mkpath(targetDir));
    const QString source = root + QStringLiteral("/IMG_1.CR2");
    const QByteArray data(6 * 1024 * 1024 + 11, 'r');
    QVERIFY(writeFile(source, data));
    QVERIFY(writeFile(targetDir + QStringLiteral("/IMG_1.CR2"), "old"));

    auto cancel = std::make_shared<std::atomic_bool>(false);
    ImportFileCopyRunnable::setCheckpointHook([&](ImportFileCopyRunnable::Checkpoint at, const ImportFile &, const std::atomic_bool &) {
        if (at == point)
            cancel->store(true);
    });
    ImportFileCopyRunnable job(fileFor(source, targetDir), cancel);
    const Outcome outcome = runJob(job);
    if (copied) {
        // The copy already replaced the target: it stands, and says so.
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.file.status, int(Succeeded));
        QCOMPARE(outcome.file.message, QStringLiteral("拷贝成功"));
        QCOMPARE(readFile(targetDir + QStringLiteral("/IMG_1.CR2")), data);
    } else {
        QVERIFY(outcome.cancelled);
        QVERIFY(!outcome.finished);
        QCOMPARE(outcome.file.message, QStringLiteral("任务已取消"));
        QCOMPARE(readFile(targetDir + QStringLiteral("/IMG_1.CR2")), QByteArray("old"));
    }
    QCOMPARE(entries(targetDir), QStringList{QStringLiteral("IMG_1.CR2")});
}

void TestImportFileCopyRunnable::copiesAndReplaces()
{
    const QString root = m_dir.filePath(QStringLiteral("copies"));
    const QString targetDir = root + QStringLiteral("/原片");
    QVERIFY(QDir().mkpath(targetDir));
    // Several dots: the whole name is kept.
    const QString source = root + QStringLiteral("/a.b.jpg");
    const QByteArray data(9 * 1024 * 1024 + 5, 'j');
    QVERIFY(writeFile(source, data));
    QVERIFY(writeFile(targetDir + QStringLiteral("/a.b.jpg"), "old"));
    const ImportFile file = fileFor(source, targetDir);
    QCOMPARE(file.baseName, QStringLiteral("a.b"));

    for (int round = 0; round < 2; ++round) {
        ImportFileCopyRunnable job(file, nullptr);
        const Outcome outcome = runJob(job);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.file.status, int(Succeeded));
        QCOMPARE(outcome.file.message, QStringLiteral("拷贝成功"));
        QCOMPARE(readFile(targetDir + QStringLiteral("/a.b.jpg")), data);
        QCOMPARE(entries(targetDir), QStringList{QStringLiteral("a.b.jpg")});
    }

    // A file picked from the order's own folder is its own target.
    ImportFileCopyRunnable self(fileFor(targetDir + QStringLiteral("/a.b.jpg"), targetDir), nullptr);
    QCOMPARE(runJob(self).file.status, int(Succeeded));
    QCOMPARE(readFile(targetDir + QStringLiteral("/a.b.jpg")), data);
}

void TestImportFileCopyRunnable::droppedJobNeverRuns()
{
    const QString root = m_dir.filePath(QStringLiteral("dropped"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/out")));
    QVERIFY(writeFile(root + QStringLiteral("/a.jpg"), "photo"));

    auto claim = std::make_shared<std::atomic_int>(ImportFileCopyRunnable::Queued);
    QVERIFY(ImportFileCopyRunnable::drop(claim));
    ImportFileCopyRunnable dropped(fileFor(root + QStringLiteral("/a.jpg"), root + QStringLiteral("/out")), nullptr, claim);
    const Outcome none = runJob(dropped);
    QVERIFY(!none.finished && !none.cancelled);
    QVERIFY(entries(root + QStringLiteral("/out")).isEmpty());

    // Once a job runs, a stop can no longer take it away.
    auto running = std::make_shared<std::atomic_int>(ImportFileCopyRunnable::Queued);
    bool droppedWhileRunning = true;
    ImportFileCopyRunnable::setCheckpointHook([&](ImportFileCopyRunnable::Checkpoint at, const ImportFile &, const std::atomic_bool &) {
        if (at == ImportFileCopyRunnable::BeforeStart)
            droppedWhileRunning = ImportFileCopyRunnable::drop(running);
    });
    ImportFileCopyRunnable job(fileFor(root + QStringLiteral("/a.jpg"), root + QStringLiteral("/out")), nullptr, running);
    QVERIFY(runJob(job).finished);
    QVERIFY(!droppedWhileRunning);
    QCOMPARE(readFile(root + QStringLiteral("/out/a.jpg")), QByteArray("photo"));
}

void TestImportFileCopyRunnable::hostileTrees_data()
{
    HostileTree::addCases();
}

// The picked "victim.jpg" copied into the order's "原片", with the case
// planted there; run twice, as a second import into the same folder does.
// While the folder flips, the copy runs again and again for a while.
void TestImportFileCopyRunnable::hostileTrees()
{
    QFETCH(int, hostile);
    const QString root = m_dir.filePath(QStringLiteral("hostile-%1").arg(hostile));
    const HostileTree tree(root);
    std::unique_ptr<TinyVolume> volume;
    QString order = root + QStringLiteral("/order");
    if (hostile == HostileTree::FullVolume) {
        volume = std::make_unique<TinyVolume>(256 * 1024);
        if (!volume->isValid())
            QSKIP(TinyVolume::unavailableReason());
        order = volume->filePath(QStringLiteral("order"));
    }
    const QString originals = order + QStringLiteral("/原片");
    const QString target = originals + QStringLiteral("/victim.jpg");
    QVERIFY(QDir().mkpath(originals));
    QString source = root + QStringLiteral("/card/victim.jpg");
    QByteArray photo("new photo");
    QString message; // what every try fails with
    QString kept; // a file of the order that the copy must not touch
    QByteArray keptData;
    QString why;
    switch (HostileTree::Case(hostile)) {
    case HostileTree::LinkAsTarget:
        QVERIFY(tree.linkToVictim(target));
        message = QStringLiteral("目标文件是链接，拒绝写入: ") + target;
        break;
    case HostileTree::DanglingLink:
        QVERIFY(tree.linkToVictim(target, true));
        message = QStringLiteral("目标文件是链接，拒绝写入: ") + target;
        break;
    case HostileTree::LinkedSubFolder:
        QVERIFY(QDir(order).rmdir(QStringLiteral("原片")));
        QVERIFY(tree.linkToOutside(originals));
        message = QStringLiteral("目标目录是链接，拒绝写入: ") + originals;
        break;
    case HostileTree::OrderFolderIsLink:
        QVERIFY(QDir(order).removeRecursively());
        QVERIFY(tree.linkToOutside(order));
        message = QStringLiteral("目标目录是链接，拒绝写入: ") + order;
        break;
    case HostileTree::BackslashName:
        // One name on the card; its separators would name a file of the order.
        source = root + QStringLiteral("/card/deep\\deeper\\victim.jpg");
        kept = originals + QStringLiteral("/deep/deeper/victim.jpg");
        keptData = "kept";
        QVERIFY(TreeFixture::write(kept, keptData));
        message = QStringLiteral("文件名含有\"\\\"，无法导入: ") + source;
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget:
        if (!HostileTree::plantSpecial(HostileTree::Case(hostile), target, &why))
            QSKIP(qPrintable(why));
        message = QStringLiteral("目标已存在且不是普通文件，未覆盖: ") + target;
        break;
    case HostileTree::FlippingFolder:
        break;
    case HostileTree::FullVolume:
        // More than the volume has left, an older copy at the target.
        photo = QByteArray(64 * 1024, 'p');
        kept = target;
        keptData = "an older copy";
        QVERIFY(TreeFixture::write(kept, keptData));
        QVERIFY(volume->fill(8 * 1024));
        message = QStringLiteral("拷贝失败: ") + target + QStringLiteral(" (") + FileOps::diskFullText()
            + QLatin1Char(')');
        break;
    }
    QVERIFY(TreeFixture::write(source, photo));
    const QDir::Filters everything = QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System;
    const ImportFile file = fileFor(source, originals);

    if (hostile == HostileTree::FlippingFolder) {
        // Each run copies into the order's real folder or fails, naming it;
        // none ever writes through the link.
        int copied = 0;
        {
            FolderFlipper flipper(originals, tree.outside());
            QElapsedTimer clock;
            clock.start();
            for (int run = 0; run < 300 && clock.elapsed() < 1500; ++run) {
                ImportFileCopyRunnable job(file, nullptr);
                const Outcome outcome = runJob(job);
                QVERIFY(outcome.finished);
                if (outcome.file.status == Succeeded)
                    ++copied;
                else
                    QVERIFY2(outcome.file.message.contains(originals), qPrintable(outcome.file.message));
            }
            QVERIFY(flipper.flips() > 0);
        }
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        // The real folder back in place, no temporary file anywhere.
        QStringList expected{QStringLiteral("原片")};
        if (copied)
            expected << QStringLiteral("原片/victim.jpg");
        QCOMPARE(TreeFixture::below(order, everything), expected);
        if (copied)
            QCOMPARE(TreeFixture::read(target), photo);
        return;
    }

    const QStringList before = TreeFixture::below(order, everything);
    // A job that opened the pipe would block there until this lets it go.
    const FifoReleaser releaser(hostile == HostileTree::FifoAsTarget ? QStringList{target} : QStringList());
    for (int round = 0; round < 2; ++round) {
        ImportFileCopyRunnable job(file, nullptr);
        const Outcome outcome = runJob(job);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.file.status, int(Failed));
        QCOMPARE(outcome.file.message, message);
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        // Nothing made or left in the order's folder, no temporary file.
        QCOMPARE(TreeFixture::below(order, everything), before);
    }
    QVERIFY(!releaser.released());
    if (HostileTree::isSpecialTarget(HostileTree::Case(hostile)))
        QVERIFY(HostileTree::isSpecialAt(target));
    if (!kept.isEmpty())
        QCOMPARE(TreeFixture::read(kept), keptData);
}

void TestImportFileCopyRunnable::sourceNotRegular_data()
{
    HostileTree::addSourceCases();
}

// A pipe, socket or device picked as a photo fails, named, without blocking
// and without a byte written: seen by the job's look, or put in the file's
// place after that look, when the copy itself opens it.
void TestImportFileCopyRunnable::sourceNotRegular()
{
    QFETCH(int, source);
    const auto kind = HostileTree::Source(source);
    const QString root = m_dir.filePath(QStringLiteral("source-%1").arg(source));
    const QString originals = root + QStringLiteral("/order/原片");
    QVERIFY(QDir().mkpath(originals));
    const QString older = originals + QStringLiteral("/IMG_1.jpg");
    QVERIFY(writeFile(older, "older"));
    const QString picked = root + QStringLiteral("/card/IMG_1.jpg");
    QString why;
    if (!HostileTree::plantSource(kind, picked, &why))
        QSKIP(qPrintable(why));
    const FifoReleaser releaser(kind == HostileTree::FifoSource ? QStringList{picked} : QStringList());
    const ImportFile file = fileFor(picked, originals);

    ImportFileCopyRunnable seen(file, nullptr);
    Outcome outcome = runJob(seen);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.file.status, int(Failed));
    QCOMPARE(outcome.file.message, QStringLiteral("原文件不是普通文件（管道、设备或套接字）: ") + picked);

    QVERIFY(QFile::remove(picked));
    QVERIFY(writeFile(picked, "a photo"));
    bool swapped = false;
    ImportFileCopyRunnable::setCheckpointHook([&](ImportFileCopyRunnable::Checkpoint point, const ImportFile &, const std::atomic_bool &) {
        if (point == ImportFileCopyRunnable::SourceChecked)
            swapped = QFile::remove(picked) && HostileTree::plantSource(kind, picked);
    });
    ImportFileCopyRunnable late(file, nullptr);
    outcome = runJob(late);
    QVERIFY(swapped);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.file.status, int(Failed));
    QCOMPARE(outcome.file.message, QStringLiteral("拷贝失败: ") + picked + QStringLiteral(" (源文件不是普通文件)"));

    QVERIFY(!releaser.released());
    QVERIFY(HostileTree::isSpecialAt(picked));
    QCOMPARE(readFile(older), QByteArray("older"));
    QCOMPARE(entries(originals), QStringList{QStringLiteral("IMG_1.jpg")});
}

// The folders a pick makes: a failure names the folder and the system's
// cause, never a guess.
void TestImportFileCopyRunnable::folderFailures_data()
{
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QString>("cause");
    QTest::newRow("name too long") << QString(100, QChar(0x957F)) << "路径或文件名过长: ";
    QTest::newRow("a file in the way") << "file" << "路径中的同名文件不是目录: ";
    QTest::newRow("a link in the way") << "link" << "目标目录是链接，拒绝写入: ";
}

void TestImportFileCopyRunnable::folderFailures()
{
    QFETCH(QString, sub);
    QFETCH(QString, cause);
    const QString root = m_dir.filePath(QStringLiteral("folders-") + QString::fromLatin1(QTest::currentDataTag()));
    const QString order = root + QStringLiteral("/order");
    QVERIFY(QDir().mkpath(order));
    QVERIFY(writeFile(order + QStringLiteral("/file"), "a file"));
    QVERIFY(HostileTree::link(root, order + QStringLiteral("/link")));
    const QString dir = order + QLatin1Char('/') + sub + QStringLiteral("/原片");
    QString error;
    QVERIFY(!ImportFileCopyRunnable::ensureDirectory(dir, order, &error));
    QVERIFY2(error.contains(cause + order + QLatin1Char('/') + sub), qPrintable(error));
    QVERIFY2(!error.contains(QStringLiteral("不存在")), qPrintable(error));
    QCOMPARE(entries(order), (QStringList{QStringLiteral("file"), QStringLiteral("link")}));
    QCOMPARE(entries(root), (QStringList{QStringLiteral("order")}));
}

// A picked file without a suffix keeps its name: no trailing dot.
void TestImportFileCopyRunnable::sourceWithoutSuffix()
{
    const QString root = m_dir.filePath(QStringLiteral("no-suffix"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/order/原始档")));
    QVERIFY(TreeFixture::write(root + QStringLiteral("/card/IMG_0001"), "raw"));
    ImportOrder order;
    order.importPath = root + QStringLiteral("/order");
    const ImportFile file = ImportRecords::fileFromPath(root + QStringLiteral("/card/IMG_0001"), order, 0, Originals);
    QCOMPARE(file.fileName(), QStringLiteral("IMG_0001"));
    for (int round = 0; round < 2; ++round) {
        ImportFileCopyRunnable job(file, nullptr);
        QCOMPARE(runJob(job).file.status, int(Succeeded));
        QCOMPARE(entries(root + QStringLiteral("/order/原始档")), QStringList{QStringLiteral("IMG_0001")});
    }
    QCOMPARE(readFile(root + QStringLiteral("/order/原始档/IMG_0001")), QByteArray("raw"));
}

TINYVOLUME_TEST_MAIN(TestImportFileCopyRunnable)
#include "tst_importfilecopyrunnable.moc"
