// Removing a stored photo's files: the texts of every refusal, the order in
// which the main file and its reduced copies are handled, paths from the
// service that must not be deleted, and hostile trees under the order's
// folder, one of them flipping to a link while the job runs.

#include <unistd.h>

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "base/pathutil.h"
#include "importfiles/jobs/deletefilerunnable.h"
#include "tests/support/hostiletree.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

namespace {

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

DeleteFileResult runJob(const ThumbnailPhoto &photo, const QString &orderFolder)
{
    DeleteFileRunnable job(photo, orderFolder);
    QSignalSpy finished(&job, &DeleteFileRunnable::deleteFinished);
    job.run();
    if (finished.size() != 1)
        return DeleteFileResult();
    return finished.first().first().value<DeleteFileResult>();
}

} // namespace

class TestDeleteFileRunnable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusedMainFile_data();
    void refusedMainFile();
    void removesMainAndCopies();
    void copyFailuresAreListed();
    void hostileTrees_data();
    void hostileTrees();
    void refusedByTheFileSystem();

private:
    QTemporaryDir m_dir;
};

void TestDeleteFileRunnable::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<DeleteFileResult>("DeleteFileResult");
}

// "%dir" is the test's folder; the companion "%dir/90/a.jpg" exists in
// every row and must survive a refused main file.
void TestDeleteFileRunnable::refusedMainFile_data()
{
    QTest::addColumn<QString>("localPath");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty path") << "" << "a.jpg 文件路径为空";
    QTest::newRow("missing") << "%dir/gone.jpg" << "a.jpg 文件不存在";
    QTest::newRow("relative") << "photos/a.jpg" << "a.jpg 不是完整的文件路径，未删除";
    QTest::newRow("climbing") << "%dir/90/../a.jpg" << "a.jpg 的路径含有\".\"或\"..\"，未删除";
    QTest::newRow("folder") << "%dir/90" << "a.jpg 不是普通文件，未删除";
    QTest::newRow("link") << "%dir/link.jpg" << "a.jpg 不是普通文件，未删除";
    QTest::newRow("file system root") << "/a.jpg" << "a.jpg 位于磁盘或共享的根目录，未删除";
    QTest::newRow("share root") << "\\\\\\\\nas\\\\photos\\\\a.jpg" << "a.jpg 位于磁盘或共享的根目录，未删除";
    QTest::newRow("volume root") << "/Volumes/photos/a.jpg" << "a.jpg 位于磁盘或共享的根目录，未删除";
}

void TestDeleteFileRunnable::refusedMainFile()
{
    QFETCH(QString, localPath);
    QFETCH(QString, message);
    const QString dir = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/90")));
    QVERIFY(touch(dir + QStringLiteral("/a.jpg")));
    QVERIFY(touch(dir + QStringLiteral("/90/a.jpg")));
    QVERIFY(QFile::link(dir + QStringLiteral("/a.jpg"), dir + QStringLiteral("/link.jpg")));

    ThumbnailPhoto photo;
    photo.id = QStringLiteral("7");
    photo.name = QStringLiteral("a.jpg");
    photo.localPath = QString(localPath).replace(QLatin1String("%dir"), dir);
    photo.companionFiles = QStringList{dir + QStringLiteral("/90/a.jpg")};
    const DeleteFileResult result = runJob(photo, dir);
    QVERIFY(!result.success);
    QCOMPARE(result.message, message);
    QCOMPARE(result.photo.id, QStringLiteral("7"));
    for (const char *kept : {"/a.jpg", "/90/a.jpg", "/link.jpg"})
        QVERIFY2(QFileInfo::exists(dir + QLatin1String(kept)), kept);
}

void TestDeleteFileRunnable::removesMainAndCopies()
{
    const QString dir = m_dir.filePath(QStringLiteral("clean"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/90")));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/1920")));
    for (const char *name : {"/a.jpg", "/90/a.jpg", "/1920/a.jpg"})
        QVERIFY(touch(dir + QLatin1String(name)));
    ThumbnailPhoto photo;
    photo.name = QStringLiteral("a.jpg");
    // Stored as Windows writes it.
    photo.localPath = QString(dir + QStringLiteral("/a.jpg")).replace(QLatin1Char('/'), QLatin1Char('\\'));
    photo.companionFiles = QStringList{QString(), dir + QStringLiteral("/90/a.jpg"), dir + QStringLiteral("/1920/a.jpg")};
    const DeleteFileResult result = runJob(photo, dir);
    QVERIFY(result.success);
    QCOMPARE(result.message, QString());
    QVERIFY(QDir(dir).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(dir + QStringLiteral("/90")).isEmpty());
    QVERIFY(QDir(dir + QStringLiteral("/1920")).isEmpty());
}

void TestDeleteFileRunnable::copyFailuresAreListed()
{
    const QString dir = m_dir.filePath(QStringLiteral("copies"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/90")));
    QVERIFY(touch(dir + QStringLiteral("/a.jpg")));
    ThumbnailPhoto photo;
    photo.name = QStringLiteral("a.jpg");
    photo.localPath = dir + QStringLiteral("/a.jpg");
    photo.companionFiles = QStringList{dir + QStringLiteral("/90/a.jpg"), QStringLiteral("b.jpg"),
                                       QStringLiteral("a/b/c.jpg")};
    const DeleteFileResult result = runJob(photo, dir);
    // The main file went, so the photo counts as deleted; each copy that
    // could not go has its line, named by its folder and file name.
    QVERIFY(result.success);
    QCOMPARE(result.message, QStringLiteral("\\90\\a.jpg 文件不存在\n"
                                            "b.jpg 的路径错误\n"
                                            "b.jpg 不是完整的文件路径，未删除\n"
                                            "\\b\\c.jpg 不是完整的文件路径，未删除"));
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/a.jpg")));
}

void TestDeleteFileRunnable::hostileTrees_data()
{
    HostileTree::addCases();
}

// The stored photo "原片\<name>" of the order folder, with the case planted
// where the service says it lies; asked for as the photo itself, then as
// the reduced copy of a plain photo of the order. While the folder flips,
// the order's own files of the names the outside folder has are deleted
// again and again for a while. On a full volume a delete works as ever.
void TestDeleteFileRunnable::hostileTrees()
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
    QVERIFY(QDir().mkpath(order + QStringLiteral("/原片")));
    QString name = QStringLiteral("victim.jpg");
    QString kept; // a file of the order that the path does not name
    QString why;
    switch (HostileTree::Case(hostile)) {
    case HostileTree::LinkAsTarget:
        QVERIFY(tree.linkToVictim(order + QStringLiteral("/原片/victim.jpg")));
        break;
    case HostileTree::DanglingLink:
        QVERIFY(tree.linkToVictim(order + QStringLiteral("/原片/victim.jpg"), true));
        break;
    case HostileTree::LinkedSubFolder:
        QVERIFY(QDir(order).rmdir(QStringLiteral("原片")));
        QVERIFY(tree.linkToOutside(order + QStringLiteral("/原片")));
        break;
    case HostileTree::OrderFolderIsLink:
        QVERIFY(QDir(order).removeRecursively());
        QVERIFY(tree.linkToOutside(order));
        // What the outside folder holds under that name.
        name = QStringLiteral("IMG_0001.jpg");
        break;
    case HostileTree::BackslashName:
        // The service's separators name deep/deeper/victim.jpg, which is not
        // there; the one file whose name holds them is no photo of it.
        kept = order + QStringLiteral("/原片/deep\\deeper\\victim.jpg");
        QVERIFY(TreeFixture::write(kept, "one name"));
        name = QStringLiteral("deep\\deeper\\victim.jpg");
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget:
        if (!HostileTree::plantSpecial(HostileTree::Case(hostile), order + QStringLiteral("/原片/victim.jpg"), &why))
            QSKIP(qPrintable(why));
        break;
    case HostileTree::FlippingFolder:
    case HostileTree::FullVolume:
        break;
    }
    const QString stored = order + QStringLiteral("\\原片\\") + name;
    const QString plain = order + QStringLiteral("/plain.jpg");
    ThumbnailPhoto photo;
    photo.name = QStringLiteral("a.jpg");
    QString what;

    if (hostile == HostileTree::FlippingFolder) {
        // The names the outside folder has, as the order's own files: read
        // through the link, each would name an outside file.
        const QStringList own{QStringLiteral("victim.jpg"), QStringLiteral("合同.pdf"),
                              QStringLiteral("原片/IMG_0001.jpg"), QStringLiteral("all/IMG_0001.jpg")};
        photo.localPath = order + QStringLiteral("\\原片\\victim.jpg");
        for (int i = 1; i < own.size(); ++i)
            photo.companionFiles << order + QStringLiteral("/原片/") + own.at(i);
        int flips = 0;
        int deleted = 0;
        QElapsedTimer clock;
        clock.start();
        for (int run = 0; run < 200 && clock.elapsed() < 1500; ++run) {
            for (const QString &file : own)
                QVERIFY(TreeFixture::write(order + QStringLiteral("/原片/") + file, "own"));
            DeleteFileResult result;
            {
                FolderFlipper flipper(order + QStringLiteral("/原片"), tree.outside());
                result = runJob(photo, order);
                flips += flipper.flips();
            }
            deleted += result.success ? 1 : 0;
            QVERIFY2(tree.untouched(&what), qPrintable(what + QStringLiteral(" after: ") + result.message));
            // Every file is gone or has its line; a photo refused as a
            // whole keeps its companions and says so in its one line.
            const bool refusedWhole = !result.success && !result.message.contains(QLatin1Char('\n'))
                                      && result.message.startsWith(photo.name + QLatin1Char(' '));
            for (int i = 1; i < own.size() && !refusedWhole; ++i) {
                if (QFileInfo::exists(order + QStringLiteral("/原片/") + own.at(i)))
                    QVERIFY2(result.message.contains(QFileInfo(own.at(i)).fileName()), qPrintable(result.message));
            }
        }
        QVERIFY(flips > 0);
        QVERIFY(deleted > 0);
        QVERIFY(!QFileInfo::exists(order + QStringLiteral("/原片.parked")));
        return;
    }

    if (hostile == HostileTree::FullVolume) {
        QVERIFY(TreeFixture::write(order + QStringLiteral("/原片/victim.jpg"), "an older copy"));
        QVERIFY(TreeFixture::write(plain, "plain"));
        QVERIFY(volume->fill(0));
        photo.localPath = plain;
        photo.companionFiles = QStringList{stored};
        const DeleteFileResult result = runJob(photo, order);
        QVERIFY(result.success);
        QCOMPARE(result.message, QString());
        QCOMPARE(TreeFixture::below(order, QDir::Files | QDir::Hidden | QDir::System), QStringList());
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        return;
    }

    // A job that opened the pipe would block there until this lets it go.
    const FifoReleaser releaser(hostile == HostileTree::FifoAsTarget
                                    ? QStringList{order + QStringLiteral("/原片/victim.jpg")}
                                    : QStringList());
    photo.localPath = stored;
    const DeleteFileResult alone = runJob(photo, order);
    QVERIFY(!alone.success);
    QVERIFY2(alone.message.startsWith(QStringLiteral("a.jpg ")) && alone.message.size() > 6, qPrintable(alone.message));
    QVERIFY2(tree.untouched(&what), qPrintable(what));

    // As a reduced copy: its own line, whatever became of the photo.
    const bool orderUsable = hostile != HostileTree::OrderFolderIsLink;
    if (orderUsable)
        QVERIFY(TreeFixture::write(plain, "plain"));
    photo.localPath = orderUsable ? plain : root + QStringLiteral("/outside/合同.pdf");
    photo.companionFiles = QStringList{stored};
    const DeleteFileResult withCopy = runJob(photo, order);
    QCOMPARE(withCopy.success, orderUsable);
    const QStringList lines = withCopy.message.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), orderUsable ? 1 : 2);
    const QString storedName = QFileInfo(PathUtil::toFs(stored)).fileName();
    QVERIFY2(lines.last().startsWith(QLatin1Char('\\')) && lines.last().contains(storedName), qPrintable(withCopy.message));
    QVERIFY2(tree.untouched(&what), qPrintable(what));
    if (orderUsable)
        QVERIFY(!QFileInfo::exists(plain));
    if (!kept.isEmpty())
        QCOMPARE(TreeFixture::read(kept), QByteArray("one name"));
    QVERIFY(!releaser.released());
    if (HostileTree::isSpecialTarget(HostileTree::Case(hostile))) {
        QCOMPARE(alone.message, QStringLiteral("a.jpg 不是普通文件，未删除"));
        QVERIFY(HostileTree::isSpecialAt(order + QStringLiteral("/原片/victim.jpg")));
    }
}

// A delete the file system refuses says so in the user's words.
void TestDeleteFileRunnable::refusedByTheFileSystem()
{
    if (::geteuid() == 0)
        QSKIP("the superuser deletes in any folder");
    const QString order = m_dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(order + QStringLiteral("/原片")));
    QVERIFY(touch(order + QStringLiteral("/原片/a.jpg")));
    QVERIFY(touch(order + QStringLiteral("/90.jpg")));
    const QFileDevice::Permissions open = QFile::permissions(order + QStringLiteral("/原片"));
    QVERIFY(QFile::setPermissions(order + QStringLiteral("/原片"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    ThumbnailPhoto photo;
    photo.name = QStringLiteral("a.jpg");
    photo.localPath = order + QStringLiteral("/原片/a.jpg");
    photo.companionFiles = QStringList{order + QStringLiteral("/原片/a.jpg")};
    const DeleteFileResult result = runJob(photo, order);
    QVERIFY(QFile::setPermissions(order + QStringLiteral("/原片"), open));
    QVERIFY(!result.success);
    QCOMPARE(result.message, QStringLiteral("a.jpg删除失败:没有删除权限\n\\原片\\a.jpg 删除失败 没有删除权限"));
    QVERIFY(QFileInfo::exists(order + QStringLiteral("/原片/a.jpg")));
}

TINYVOLUME_TEST_MAIN(TestDeleteFileRunnable)
#include "tst_deletefilerunnable.moc"
