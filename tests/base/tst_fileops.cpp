#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "base/fileops.h"
#include "tests/support/tinyvolume.h"

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class TestFileOps : public QObject
{
    Q_OBJECT

private slots:
    void writeReplacesWhole();
    void writeOwnerOnly();
    void failedWriteKeepsOldFile();
    void writtenAsMadeReplacesOnlyWhenMade();
    void copyReplacesAndKeepsNoTemp();
    void copyOntoItselfKeepsSource();
    void copyIntoMissingFolderFails();
    void cancelledCopyLeavesOldTarget();
    void fullVolumeSaysSo_data();
    void fullVolumeSaysSo();
    void refusedCheckLeavesOldTarget();
    void volumeFillsOnTheLastBytes();
    void failedRenameIsNoCopy();
};

void TestFileOps::writeReplacesWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.txt"));
    QVERIFY(writeFile(path, QByteArray(1000, 'a')));
    QVERIFY(FileOps::writeAtomically(path, "short"));
    QCOMPARE(readAll(path), QByteArray("short"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

void TestFileOps::writeOwnerOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("secret"));
    QVERIFY(FileOps::writeAtomically(path, "x", true));
    const QFileDevice::Permissions p = QFile::permissions(path);
    QVERIFY(p & QFileDevice::ReadOwner);
    QVERIFY(!(p & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther)));
}

void TestFileOps::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    // A folder at the target name cannot be replaced by a file.
    const QString path = dir.filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkpath(path));
    QString error;
    QVERIFY(!FileOps::writeAtomically(path, "data", false, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
    // A file where the parent folder should be.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QVERIFY(writeFile(blocker, "keep"));
    QVERIFY(!FileOps::writeAtomically(blocker + QStringLiteral("/child"), "data"));
    QCOMPARE(readAll(blocker), QByteArray("keep"));
}

// Data written as it is made replaces the target only once it is all
// there: a fill that fails, with its own message or the file's, leaves the
// old file and no temporary one.
void TestFileOps::writtenAsMadeReplacesOnlyWhenMade()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.jpg"));
    QVERIFY(writeFile(path, "old"));
    QString error;
    QVERIFY(!FileOps::writeAtomicallyWith(
        path,
        [](QIODevice *device, QString *fillError) {
            device->write("half of it");
            *fillError = QStringLiteral("编码失败");
            return false;
        },
        &error));
    QCOMPARE(error, QStringLiteral("编码失败"));
    QCOMPARE(readAll(path), QByteArray("old"));
    QVERIFY(!FileOps::writeAtomicallyWith(path, [](QIODevice *device, QString *) {
        device->write("half of it");
        return false;
    }));
    QCOMPARE(readAll(path), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copy.jpg"});

    const QByteArray made(3 * 1024 * 1024 + 5, 'm');
    QVERIFY(FileOps::writeAtomicallyWith(path, [&](QIODevice *device, QString *) {
        for (int at = 0; at < made.size(); at += 1024 * 1024)
            device->write(made.mid(at, 1024 * 1024));
        return true;
    }));
    QCOMPARE(readAll(path), made);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copy.jpg"});
}

void TestFileOps::copyReplacesAndKeepsNoTemp()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("src.jpg"));
    const QString dst = dir.filePath(QStringLiteral("out/dst.jpg"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
    const QByteArray big(9 * 1024 * 1024 + 17, 'z');
    QVERIFY(writeFile(src, big));
    QVERIFY(writeFile(dst, "old"));
    QVERIFY(FileOps::copyAtomically(src, dst));
    QCOMPARE(readAll(dst), big);
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files), QStringList{"dst.jpg"});
}

void TestFileOps::copyOntoItselfKeepsSource()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("all/a.jpg"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("all"))));
    QVERIFY(writeFile(src, "photo"));
    QVERIFY(FileOps::copyAtomically(dir.path() + QStringLiteral("/all/../all/a.jpg"), src));
    QCOMPARE(readAll(src), QByteArray("photo"));
}

void TestFileOps::copyIntoMissingFolderFails()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(writeFile(src, "photo"));
    QString error;
    QVERIFY(!FileOps::copyAtomically(src, dir.filePath(QStringLiteral("none/a.jpg")), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!FileOps::isDiskFull(error));
    QVERIFY(!FileOps::copyAtomically(dir.filePath(QStringLiteral("missing.jpg")), dir.filePath(QStringLiteral("b.jpg"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.jpg"))));
}

void TestFileOps::cancelledCopyLeavesOldTarget()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("a.jpg"));
    const QString dst = dir.filePath(QStringLiteral("b.jpg"));
    QVERIFY(writeFile(src, QByteArray(5 * 1024 * 1024, 'n')));
    QVERIFY(writeFile(dst, "old"));
    std::atomic_bool cancel{true};
    QVERIFY(!FileOps::copyAtomically(src, dst, nullptr, &cancel));
    QCOMPARE(readAll(dst), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

// Each kind of write onto a volume without room for it: the error says the
// disk is full, the old file stays whole and no temporary file is left.
void TestFileOps::fullVolumeSaysSo_data()
{
    QTest::addColumn<QString>("kind");
    // Bytes left free on the volume; 0 leaves it as made. A write smaller
    // than a file's buffer onto a few free kilobytes "succeeds" write by
    // write: only a checked flush finds the disk full.
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("bytes");
    QTest::newRow("copy") << "copy" << 0 << 1024 * 1024;
    QTest::newRow("data") << "data" << 0 << 1024 * 1024;
    QTest::newRow("image") << "image" << 0 << 1024 * 1024;
    QTest::newRow("small data, a few KB left") << "data" << 6 * 1024 << 12 * 1024;
    QTest::newRow("small image, a few KB left") << "image" << 6 * 1024 << 64 * 1024;
    QTest::newRow("small copy, a few KB left") << "copy" << 6 * 1024 << 12 * 1024;
}

void TestFileOps::fullVolumeSaysSo()
{
    QFETCH(QString, kind);
    QFETCH(int, left);
    QFETCH(int, bytes);
    TinyVolume volume(256 * 1024);
    if (!volume.isValid())
        QSKIP(TinyVolume::unavailableReason());
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("big.bin"));
    QByteArray noise(bytes, Qt::Uninitialized);
    quint32 seed = 7;
    for (char &c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    QVERIFY(writeFile(src, noise));
    const QString target = volume.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(writeFile(target, "old"));
    if (left > 0)
        QVERIFY(volume.fill(left));

    QString error;
    bool ok = true;
    if (kind == QLatin1String("copy")) {
        ok = FileOps::copyAtomically(src, target, &error);
    } else if (kind == QLatin1String("data")) {
        ok = FileOps::writeAtomically(target, noise, false, &error);
    } else {
        const int side = left > 0 ? 128 : 600;
        QImage image(side, side, QImage::Format_RGB32);
        memcpy(image.bits(), noise.constData(), size_t(qMin<qsizetype>(image.sizeInBytes(), noise.size())));
        // JPEG: Qt's PNG writer leaks a row when libpng gives up.
        ok = FileOps::writeImageAtomically(target, image, "jpg", 95, &error);
    }
    QVERIFY(!ok);
    QCOMPARE(error, QStringLiteral("磁盘空间不足"));
    QVERIFY(FileOps::isDiskFull(error));
    QCOMPARE(readAll(target), QByteArray("old"));
    QStringList expected{QStringLiteral("photo.jpg")};
    if (left > 0)
        expected.prepend(QStringLiteral("filler"));
    QCOMPARE(QDir(volume.path()).entryList(QDir::Files | QDir::Hidden), expected);
}

void TestFileOps::refusedCheckLeavesOldTarget()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("a.jpg"));
    const QString dst = dir.filePath(QStringLiteral("b.jpg"));
    const QByteArray data(5 * 1024 * 1024 + 3, 'c');
    QVERIFY(writeFile(src, data));
    QVERIFY(writeFile(dst, "old"));
    qint64 seen = -1;
    const auto refuse = [&seen](qint64 written) {
        seen = written;
        return false;
    };
    QCOMPARE(FileOps::copyChecked(src, dst, refuse), FileOps::CopyOutcome::CheckRefused);
    QCOMPARE(seen, qint64(data.size()));
    QCOMPARE(readAll(dst), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.jpg", "b.jpg"}));
    QCOMPARE(FileOps::copyChecked(src, dst, [](qint64) { return true; }), FileOps::CopyOutcome::Copied);
    QCOMPARE(readAll(dst), data);
}

// A copy small enough to sit in the file's write buffer, onto a volume with
// less room than that: every write "succeeds", and only the flush finds the
// disk full. The copy fails as such before its check sees a size, and the
// old target stays.
void TestFileOps::volumeFillsOnTheLastBytes()
{
    TinyVolume volume(256 * 1024);
    if (!volume.isValid())
        QSKIP(TinyVolume::unavailableReason());
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("small.bin"));
    QVERIFY(writeFile(src, QByteArray(12 * 1024, 's')));
    const QString target = volume.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(writeFile(target, "old"));
    // Fill the volume up to its last few kilobytes.
    QFile filler(volume.filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QVERIFY(filler.resize(qMax<qint64>(0, filler.size() - 8 * 1024)));

    bool checked = false;
    QString error;
    const FileOps::CopyOutcome outcome = FileOps::copyChecked(
        src, target,
        [&checked](qint64) {
            checked = true;
            return true;
        },
        &error);
    QCOMPARE(outcome, FileOps::CopyOutcome::WriteFailed);
    QVERIFY(!checked);
    QCOMPARE(error, FileOps::diskFullText());
    QCOMPARE(readAll(target), QByteArray("old"));
    QCOMPARE(QDir(volume.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("filler"), QStringLiteral("photo.jpg")}));
}

// The complete copy cannot take the target's place (a folder with files was
// put there meanwhile): the copy fails with the file's error and leaves no
// temporary file, never "copied".
void TestFileOps::failedRenameIsNoCopy()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("a.jpg"));
    const QString dst = dir.filePath(QStringLiteral("b.jpg"));
    QVERIFY(writeFile(src, "new"));
    QString error;
    const auto blockTarget = [&dst](qint64) {
        return QDir().mkpath(dst) && writeFile(dst + QStringLiteral("/keep"), "keep");
    };
    QCOMPARE(FileOps::copyChecked(src, dst, blockTarget, &error), FileOps::CopyOutcome::ReplaceFailed);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(dst + QStringLiteral("/keep")), QByteArray("keep"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.jpg")});
}

TINYVOLUME_TEST_MAIN(TestFileOps)
#include "tst_fileops.moc"
