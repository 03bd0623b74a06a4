#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "base/confined.h"
#include "tests/support/hostiletree.h"
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
    }
    return p;
}

} // namespace

class TestConfined : public QObject
{
    Q_OBJECT

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

QTEST_MAIN(TestConfined)
#include "tst_confined.moc"
