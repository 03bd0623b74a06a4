// Removing a stored photo's files: the texts of every refusal, the order in
// which the main file and its reduced copies are handled, and paths from the
// service that must not be deleted.

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "importfiles/jobs/deletefilerunnable.h"

namespace {

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

DeleteFileResult runJob(const ThumbnailPhoto &photo)
{
    DeleteFileRunnable job(photo);
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
    const DeleteFileResult result = runJob(photo);
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
    const DeleteFileResult result = runJob(photo);
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
    const DeleteFileResult result = runJob(photo);
    // The main file went, so the photo counts as deleted; each copy that
    // could not go has its line, named by its folder and file name.
    QVERIFY(result.success);
    QCOMPARE(result.message, QStringLiteral("\\90\\a.jpg 文件不存在\n"
                                            "b.jpg 的路径错误\n"
                                            "b.jpg 不是完整的文件路径，未删除\n"
                                            "\\b\\c.jpg 不是完整的文件路径，未删除"));
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/a.jpg")));
}

QTEST_GUILESS_MAIN(TestDeleteFileRunnable)
#include "tst_deletefilerunnable.moc"
