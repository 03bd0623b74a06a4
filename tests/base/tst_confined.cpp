#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "base/confined.h"
#include "tests/support/hostiletree.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

namespace {

// The order folder of a hostile tree and the file a job would write or
// delete in it, with the case planted: target is order/sub/victim.jpg.
struct Planted
{
    QString order;
    QString target;
    QString untouchedInside; // a file of the order that must stay
};

Planted plant(const HostileTree &tree, const QString &root, HostileTree::Case hostile)
{
    Planted p;
    p.order = root + QStringLiteral("/order");
    p.target = p.order + QStringLiteral("/sub/victim.jpg");
    QDir().mkpath(p.order + QStringLiteral("/sub"));
    switch (hostile) {
    case HostileTree::LinkAsTarget:
        tree.linkToVictim(p.target);
        break;
    case HostileTree::DanglingLink:
        tree.linkToVictim(p.target, true);
        break;
    case HostileTree::LinkedSubFolder:
        QDir(p.order).rmdir(QStringLiteral("sub"));
        tree.linkToOutside(p.order + QStringLiteral("/sub"));
        break;
    case HostileTree::OrderFolderIsLink:
        QDir(p.order + QStringLiteral("/sub")).removeRecursively();
        QDir().rmdir(p.order);
        tree.linkToOutside(p.order);
        p.target = p.order + QStringLiteral("/victim.jpg");
        break;
    case HostileTree::BackslashName:
        // One name on Linux; the unlisted file its separators would name.
        p.target = p.order + QStringLiteral("/deep\\deeper\\victim.jpg");
        TreeFixture::write(p.target, "listed");
        p.untouchedInside = p.order + QStringLiteral("/deep/deeper/victim.jpg");
        TreeFixture::write(p.untouchedInside, "unlisted");
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget:
    case HostileTree::FlippingFolder:
    case HostileTree::FullVolume:
        // Planted by the tests of these rows themselves.
        TreeFixture::write(p.target, "the order's own");
        break;
    }
    return p;
}

QByteArray noise(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    quint32 seed = 11;
    for (char &c : data) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    return data;
}

QImage noiseImage(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    const QByteArray bytes = noise(int(image.sizeInBytes()));
    memcpy(image.bits(), bytes.constData(), size_t(bytes.size()));
    return image;
}

// Every write and delete of the helper, once, on target inside order.
struct Attempt
{
    bool wrote = false;
    bool wroteImage = false;
    FileOps::CopyOutcome copied = FileOps::CopyOutcome::Copied;
    bool madeFolder = false;
    Confined::Removal removal = Confined::Removal::Removed;
    QStringList errors;
};

Attempt attemptAll(const QString &target, const QString &order, const QString &source, const QByteArray &data,
                   const QImage &image)
{
    Attempt a;
    QString error;
    a.wrote = Confined::writeFile(target, order, data, &error);
    a.errors << error;
    error.clear();
    a.wroteImage = Confined::writeImage(target, order, image, "jpg", 95, &error);
    a.errors << error;
    error.clear();
    a.copied = Confined::copyFile(source, target, order, nullptr, &error);
    a.errors << error;
    error.clear();
    a.madeFolder = Confined::makePath(QFileInfo(target).absolutePath() + QStringLiteral("/made"), order, &error);
    a.errors << error;
    error.clear();
    a.removal = Confined::removeFile(target, order, &error);
    a.errors << error;
    return a;
}

} // namespace

class TestConfined : public QObject
{
    Q_OBJECT

private:
    void specialTarget(const HostileTree &tree, const Planted &p, HostileTree::Case kind);
    void flippingFolder(const HostileTree &tree, const Planted &p, const QString &root);
    void fullVolume();

private slots:
    // Every write and delete on a hostile tree: nothing outside the order
    // folder changes, and no write or delete through a link succeeds.
    void hostileTrees_data() { HostileTree::addCases(); }
    void hostileTrees()
    {
        QFETCH(int, hostile);
        const auto kind = HostileTree::Case(hostile);
#ifndef Q_OS_UNIX
        if (kind == HostileTree::BackslashName)
            QSKIP("a backslash is a separator here");
#endif
        QTemporaryDir dir;
        const HostileTree tree(dir.path());
        const Planted p = plant(tree, dir.path(), kind);
        if (HostileTree::isSpecialTarget(kind))
            return specialTarget(tree, p, kind);
        if (kind == HostileTree::FlippingFolder)
            return flippingFolder(tree, p, dir.path());
        if (kind == HostileTree::FullVolume)
            return fullVolume();
        const bool throughLink = kind != HostileTree::BackslashName;

        QString error;
        QCOMPARE(Confined::writeFile(p.target, p.order, "written", &error), !throughLink);
        QCOMPARE(error.isEmpty(), !throughLink);
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QCOMPARE(Confined::writeImage(p.target, p.order, image, "jpg", 90, &error), !throughLink);
        const QString source = dir.filePath(QStringLiteral("source.jpg"));
        TreeFixture::write(source, "copied");
        QCOMPARE(Confined::copyFile(source, p.target, p.order, nullptr, &error) == FileOps::CopyOutcome::Refused,
                 throughLink);
        const bool folderLinked = kind == HostileTree::LinkedSubFolder || kind == HostileTree::OrderFolderIsLink;
        QCOMPARE(Confined::makePath(QFileInfo(p.target).absolutePath() + QStringLiteral("/made"), p.order, &error),
                 !folderLinked);
        QVERIFY(!Confined::makePath(p.target + QStringLiteral("/made"), p.order, &error));
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));

        const Confined::Removal removal = Confined::removeFile(p.target, p.order, &error);
        QCOMPARE(removal == Confined::Removal::Removed, !throughLink);
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        if (!p.untouchedInside.isEmpty()) {
            QCOMPARE(TreeFixture::read(p.untouchedInside), QByteArray("unlisted"));
            QVERIFY(!QFileInfo::exists(p.target));
        }
    }

    // Sources that are no regular file: every copy fails at once, naming the
    // cause, and writes nothing; nothing blocks on a pipe.
    void specialSources_data() { HostileTree::addSourceCases(); }
    void specialSources()
    {
        QFETCH(int, source);
        QTemporaryDir dir;
        const QString order = dir.filePath(QStringLiteral("order"));
        const QString from = dir.filePath(QStringLiteral("camera/IMG_0001.jpg"));
        QString why;
        if (!HostileTree::plantSource(HostileTree::Source(source), from, &why))
            QSKIP(qPrintable(why));
        const QString target = order + QStringLiteral("/sub/IMG_0001.jpg");
        QVERIFY(TreeFixture::write(target, "older"));
        FifoReleaser releaser({from});
        QString error;
        QCOMPARE(Confined::copyFile(from, target, order, nullptr, &error), FileOps::CopyOutcome::SourceFailed);
        QVERIFY2(error.contains(QStringLiteral("不是普通文件")), qPrintable(error));
        QCOMPARE(FileOps::copyChecked(from, dir.filePath(QStringLiteral("plain.jpg")), nullptr, &error),
                 FileOps::CopyOutcome::SourceFailed);
        QFile file;
        QVERIFY(!FileOps::openSource(from, &file, &error));
        QVERIFY(!releaser.released());
        QCOMPARE(TreeFixture::read(target), QByteArray("older"));
        QCOMPARE(TreeFixture::below(order), QStringList{QStringLiteral("sub/IMG_0001.jpg")});
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("plain.jpg"))));
    }

    // A source that is a link is not followed.
    void linkedSource()
    {
        QTemporaryDir dir;
        const HostileTree tree(dir.path());
        const QString from = dir.filePath(QStringLiteral("camera/IMG_0001.jpg"));
        QVERIFY(tree.linkToVictim(from));
        const QString order = dir.filePath(QStringLiteral("order"));
        QDir().mkpath(order);
        QString error;
        QCOMPARE(Confined::copyFile(from, order + QStringLiteral("/a.jpg"), order, nullptr, &error),
                 FileOps::CopyOutcome::SourceFailed);
        QVERIFY2(error.contains(QStringLiteral("链接")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(order + QStringLiteral("/a.jpg")));
    }

    // Paths that leave the folder by their names are refused whatever the
    // tree holds; a plain target is written, copied and deleted.
    void namesAndPlainTargets_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("inside");
        QTest::newRow("plain") << "sub/a.jpg" << true;
        QTest::newRow("new folders on the way") << "new/deeper/a.jpg" << true;
        QTest::newRow("climbs out") << "../escaped.jpg" << false;
        QTest::newRow("climbs out and back by another name") << "../order2/a.jpg" << false;
        QTest::newRow("the folder itself is no file") << "." << true;
    }
    void namesAndPlainTargets()
    {
        QFETCH(QString, relative);
        QFETCH(bool, inside);
        QTemporaryDir dir;
        const QString order = dir.filePath(QStringLiteral("order"));
        QDir().mkpath(order + QStringLiteral("/sub"));
        const QString target = order + QLatin1Char('/') + relative;
        QCOMPARE(Confined::locate(target, order) == Confined::Where::Inside, inside);
        QCOMPARE(Confined::writeRefusal(target, order).isEmpty(), inside);
        if (!inside || relative == QLatin1String("."))
            return;
        QString error;
        QVERIFY2(Confined::makePath(QFileInfo(target).absolutePath(), order, &error), qPrintable(error));
        QVERIFY2(Confined::writeFile(target, order, "one", &error), qPrintable(error));
        QCOMPARE(TreeFixture::read(target), QByteArray("one"));
        QCOMPARE(Confined::removeFile(target, order, &error), Confined::Removal::Removed);
        QCOMPARE(Confined::removeFile(target, order, &error), Confined::Removal::Missing);
    }

    // A folder to delete in as one order's: not a root, not a link, not
    // reached through one.
    void orderFolders()
    {
        QTemporaryDir dir;
        const HostileTree tree(dir.path());
        const QString plain = dir.filePath(QStringLiteral("plain"));
        QDir().mkpath(plain);
        QVERIFY(Confined::orderFolderRefusal(plain).isEmpty());
        QVERIFY(!Confined::orderFolderRefusal(QStringLiteral("/")).isEmpty());
        QVERIFY(!Confined::orderFolderRefusal(QString()).isEmpty());
        const QString linked = dir.filePath(QStringLiteral("linked"));
        QVERIFY(tree.linkToOutside(linked));
        QVERIFY(!Confined::orderFolderRefusal(linked).isEmpty());
        // Below a link: it names one place and is another.
        QVERIFY(!Confined::orderFolderRefusal(linked + QStringLiteral("/all")).isEmpty());
    }
};

void TestConfined::specialTarget(const HostileTree &tree, const Planted &p, HostileTree::Case kind)
{
    QFile::remove(p.target);
    QString why;
    if (!HostileTree::plantSpecial(kind, p.target, &why))
        QSKIP(qPrintable(why));
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.jpg"));
    QVERIFY(TreeFixture::write(source, "copied"));
    FifoReleaser releaser({p.target});
    const Attempt a = attemptAll(p.target, p.order, source, "written", noiseImage(8));
    QVERIFY(!releaser.released());
    // Never opened, never replaced: a conflict, told.
    QVERIFY(!a.wrote);
    QVERIFY(!a.wroteImage);
    QCOMPARE(a.copied, FileOps::CopyOutcome::Refused);
    QVERIFY2(a.errors.at(0).contains(QStringLiteral("不是普通文件")), qPrintable(a.errors.at(0)));
    QVERIFY(a.madeFolder);
    QCOMPARE(a.removal, Confined::Removal::Refused);
    QVERIFY2(a.errors.at(4).contains(QStringLiteral("不是普通文件")), qPrintable(a.errors.at(4)));
    QVERIFY(HostileTree::isSpecialAt(p.target));
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
}

// The folder holding the target keeps flipping to a link to the outside
// folder (which holds a victim.jpg of its own) while every write and delete
// runs again and again: whatever each says, nothing outside changes.
void TestConfined::flippingFolder(const HostileTree &tree, const Planted &p, const QString &root)
{
    const QString source = root + QStringLiteral("/source.jpg");
    QVERIFY(TreeFixture::write(source, "copied"));
    const QImage image = noiseImage(8);
    int runs = 0;
    int done = 0;
    {
        FolderFlipper flipper(p.order + QStringLiteral("/sub"), tree.outside());
        QElapsedTimer timer;
        timer.start();
        while ((timer.elapsed() < 1500 || flipper.flips() < 50) && timer.elapsed() < 10000) {
            const Attempt a = attemptAll(p.target, p.order, source, "written", image);
            ++runs;
            if (a.removal == Confined::Removal::Removed)
                ++done;
        }
        QVERIFY2(flipper.flips() > 0, "the folder never flipped");
    }
    qInfo("%d runs, %d deletes done", runs, done);
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
    // Nothing parked outside the order either: the real folder is back.
    QVERIFY(QFileInfo(p.order + QStringLiteral("/sub")).isDir());
    QVERIFY(!QFileInfo(p.order + QStringLiteral("/sub")).isSymLink());
}

// Every write onto a volume with a few kilobytes left, an older file at the
// target: each fails saying the disk is full, the older file stays whole and
// no temporary file is left; a delete still works.
void TestConfined::fullVolume()
{
    TinyVolume volume(512 * 1024);
    if (!volume.isValid())
        QSKIP(TinyVolume::unavailableReason());
    const QString order = volume.filePath(QStringLiteral("order"));
    const QString target = order + QStringLiteral("/sub/明细制作单.pdf");
    QVERIFY(TreeFixture::write(target, "older sheet"));
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.jpg"));
    QVERIFY(TreeFixture::write(source, noise(64 * 1024)));
    QVERIFY(volume.fill(6 * 1024));

    QString error;
    QVERIFY(!Confined::writeFile(target, order, noise(32 * 1024), &error));
    QCOMPARE(error, FileOps::diskFullText());
    QVERIFY(!Confined::writeImage(target, order, noiseImage(300), "jpg", 100, &error));
    QCOMPARE(error, FileOps::diskFullText());
    QCOMPARE(Confined::copyFile(source, target, order, nullptr, &error), FileOps::CopyOutcome::WriteFailed);
    QCOMPARE(error, FileOps::diskFullText());
    QVERIFY(!Confined::writeWith(
        target, order, [](QIODevice *device, QString *) { return device->write(noise(20 * 1024)) == 20 * 1024; },
        &error));
    QCOMPARE(error, FileOps::diskFullText());
    QCOMPARE(TreeFixture::read(target), QByteArray("older sheet"));
    QCOMPARE(TreeFixture::below(order), QStringList{QStringLiteral("sub/明细制作单.pdf")});
    QCOMPARE(Confined::removeFile(target, order, &error), Confined::Removal::Removed);
}

TINYVOLUME_TEST_MAIN(TestConfined)
#include "tst_confined.moc"
