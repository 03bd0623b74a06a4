// The copy job of the import window: every failure text in the order the
// job checks, a cancel at each point where the job looks at its flag, an
// existing target that survives every failed or cancelled copy, and hostile
// trees under the order's folder.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "importfiles/jobs/importfilecopyrunnable.h"
#include "tests/support/hostiletree.h"
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
// holding "old" wherever a target is expected.
void TestImportFileCopyRunnable::failures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("source missing") << "missing" << "原文件不存在: %source";
    QTest::newRow("source is a folder") << "folder" << "路径不是文件: %source";
    QTest::newRow("source empty") << "empty" << "文件大小为0KB，无法导入";
    QTest::newRow("target is a folder") << "target folder" << "无法覆盖已存在的文件: %target";
    QTest::newRow("target folder missing") << "no target dir" << "文件拷贝失败(可能是磁盘已满或权限受限)";
    QTest::newRow("source grew after its size was read") << "grows" << "文件大小不一致，拷贝可能不完整";
    QTest::newRow("source emptied after its size was read") << "emptied" << "文件拷贝后大小为0KB";
}

void TestImportFileCopyRunnable::failures()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    const QString root = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    const QString sourceDir = root + QStringLiteral("/card");
    QString targetDir = root + QStringLiteral("/order/原片");
    QVERIFY(QDir().mkpath(sourceDir));
    QVERIFY(QDir().mkpath(targetDir));
    const QString source = sourceDir + QStringLiteral("/old.jpg");
    const QString target = targetDir + QStringLiteral("/old.jpg");
    QVERIFY(writeFile(target, "old"));

    if (fault == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(source));
    else if (fault == QLatin1String("empty"))
        QVERIFY(writeFile(source, QByteArray()));
    else if (fault != QLatin1String("missing"))
        QVERIFY(writeFile(source, QByteArray(64 * 1024, 'n')));
    if (fault == QLatin1String("target folder")) {
        QVERIFY(QFile::remove(target));
        QVERIFY(QDir().mkpath(target));
    }
    if (fault == QLatin1String("no target dir"))
        targetDir = root + QStringLiteral("/order/原始档");
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
    QCOMPARE(outcome.file.message,
             QString(message).replace(QLatin1String("%source"), source).replace(QLatin1String("%target"), target));
    // The record comes back as it went, but for its outcome.
    QCOMPARE(outcome.file.fileIndex, 3);
    QCOMPARE(outcome.file.orderPhotoId, QStringLiteral("301"));
    QCOMPARE(outcome.file.pickGeneration, 7);
    // Whatever failed, the old target is untouched and nothing else is left.
    if (fault == QLatin1String("target folder"))
        QVERIFY(QFileInfo(target).isDir());
    else
        QCOMPARE(readFile(target), QByteArray("old"));
    QCOMPARE(entries(root + QStringLiteral("/order/原片")), QStringList{QStringLiteral("old.jpg")});
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/order/原始档")));
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
void TestImportFileCopyRunnable::hostileTrees()
{
    QFETCH(int, hostile);
    const QString root = m_dir.filePath(QStringLiteral("hostile-%1").arg(hostile));
    const HostileTree tree(root);
    const QString order = root + QStringLiteral("/order");
    const QString originals = order + QStringLiteral("/原片");
    QVERIFY(QDir().mkpath(originals));
    QString source = root + QStringLiteral("/card/victim.jpg");
    QString kept; // a file of the order that the copy must not touch
    switch (HostileTree::Case(hostile)) {
    case HostileTree::LinkAsTarget:
        QVERIFY(tree.linkToVictim(originals + QStringLiteral("/victim.jpg")));
        break;
    case HostileTree::DanglingLink:
        QVERIFY(tree.linkToVictim(originals + QStringLiteral("/victim.jpg"), true));
        break;
    case HostileTree::LinkedSubFolder:
        QVERIFY(QDir(order).rmdir(QStringLiteral("原片")));
        QVERIFY(tree.linkToOutside(originals));
        break;
    case HostileTree::OrderFolderIsLink:
        QVERIFY(QDir(order).removeRecursively());
        QVERIFY(tree.linkToOutside(order));
        break;
    case HostileTree::BackslashName:
        // One name on the card; its separators would name a file of the order.
        source = root + QStringLiteral("/card/deep\\deeper\\victim.jpg");
        kept = originals + QStringLiteral("/deep/deeper/victim.jpg");
        QVERIFY(TreeFixture::write(kept, "kept"));
        break;
    }
    QVERIFY(TreeFixture::write(source, "new photo"));
    const QDir::Filters everything = QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System;
    const QStringList before = TreeFixture::below(order, everything);

    const ImportFile file = fileFor(source, originals);
    for (int round = 0; round < 2; ++round) {
        ImportFileCopyRunnable job(file, nullptr);
        const Outcome outcome = runJob(job);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.file.status, int(Failed));
        if (hostile == HostileTree::BackslashName)
            QCOMPARE(outcome.file.message, QStringLiteral("文件名含有\"\\\"，无法导入: ") + source);
        else
            QVERIFY2(outcome.file.message.contains(QStringLiteral("拒绝写入")), qPrintable(outcome.file.message));
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        // Nothing made or left in the order's folder, no temporary file.
        QCOMPARE(TreeFixture::below(order, everything), before);
    }
    if (!kept.isEmpty())
        QCOMPARE(TreeFixture::read(kept), QByteArray("kept"));
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

QTEST_GUILESS_MAIN(TestImportFileCopyRunnable)
#include "tst_importfilecopyrunnable.moc"
