#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include "base/pathutil.h"

class TestPathUtil : public QObject
{
    Q_OBJECT

private slots:
    void toFsTurnsBackslashes();
    void hasDotComponent_data();
    void hasDotComponent();
    void isPlainName_data();
    void isPlainName();
    void sameFileByIdentity();
    void isInside();
    void uncIsNotALocalPath_data();
    void uncIsNotALocalPath();
    void linkWithMissingTarget_data();
    void linkWithMissingTarget();
    void isRootFolder_data();
    void isRootFolder();
};

void TestPathUtil::toFsTurnsBackslashes()
{
    QCOMPARE(PathUtil::toFs(QStringLiteral("/photos/2024\\05\\09\\A-1")), QStringLiteral("/photos/2024/05/09/A-1"));
    QVERIFY(PathUtil::isAbsolute(QStringLiteral("\\photos\\x")));
    QVERIFY(!PathUtil::isAbsolute(QStringLiteral("photos\\x")));
    QVERIFY(!PathUtil::isAbsolute(QString()));
}

// A share path names no local folder here: taken as absolute it would make
// folders at the file-system root.
void TestPathUtil::uncIsNotALocalPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("backslashes") << "\\\\NAS01\\photos\\2024";
    QTest::newRow("slashes") << "//NAS01/photos";
    QTest::newRow("mixed") << "\\\\NAS01/photos";
}

void TestPathUtil::uncIsNotALocalPath()
{
    QFETCH(QString, path);
    QVERIFY(PathUtil::isUnc(path));
    QVERIFY(!PathUtil::isAbsolute(path));
    QVERIFY(!PathUtil::isUnc(QStringLiteral("/photos/x")));
}

void TestPathUtil::hasDotComponent_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain") << "/a/b.c/d" << false;
    QTest::newRow("dots inside names") << "/a/..b/c.." << false;
    QTest::newRow("dot-dot slash") << "/a/../b" << true;
    QTest::newRow("dot-dot backslash") << "D:\\a\\..\\b" << true;
    QTest::newRow("single dot") << "a/./b" << true;
    QTest::newRow("trailing dot-dot") << "a\\.." << true;
}

void TestPathUtil::hasDotComponent()
{
    QFETCH(QString, path);
    QFETCH(bool, expected);
    QCOMPARE(PathUtil::hasDotComponent(path), expected);
}

void TestPathUtil::isPlainName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow("digits") << "2024" << true;
    QTest::newRow("chinese") << "张三" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot-dot") << ".." << false;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("backslash") << "a\\b" << false;
}

void TestPathUtil::isPlainName()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(PathUtil::isPlainName(name), expected);
}

void TestPathUtil::sameFileByIdentity()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("all/a.jpg"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("all"))));
    QFile f(a);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    // Different spellings of one file.
    QVERIFY(PathUtil::sameFile(a, dir.path() + QStringLiteral("/all/../all/a.jpg")));
    QVERIFY(PathUtil::sameFile(a, dir.path() + QStringLiteral("\\all\\a.jpg")));
    QVERIFY(QFile::link(a, dir.filePath(QStringLiteral("link.jpg"))));
    QVERIFY(PathUtil::sameFile(a, dir.filePath(QStringLiteral("link.jpg"))));
    QCOMPARE(::link(QFile::encodeName(a).constData(), QFile::encodeName(dir.filePath(QStringLiteral("hard.jpg"))).constData()), 0);
    QVERIFY(PathUtil::sameFile(a, dir.filePath(QStringLiteral("hard.jpg"))));
    // A copy with equal bytes is another file; a missing file is no file.
    QVERIFY(QFile::copy(a, dir.filePath(QStringLiteral("copy.jpg"))));
    QVERIFY(!PathUtil::sameFile(a, dir.filePath(QStringLiteral("copy.jpg"))));
    QVERIFY(!PathUtil::sameFile(a, dir.filePath(QStringLiteral("missing.jpg"))));
}

void TestPathUtil::isInside()
{
    QTemporaryDir dir;
    const QString order = dir.filePath(QStringLiteral("orders/A1"));
    QVERIFY(QDir().mkpath(order + QStringLiteral("/all")));
    QVERIFY(PathUtil::isInside(order + QStringLiteral("/all/x.jpg"), order));
    QVERIFY(PathUtil::isInside(order, order));
    QVERIFY(PathUtil::isInside(order + QStringLiteral("\\all\\x.jpg"), order));
    QVERIFY(!PathUtil::isInside(order + QStringLiteral("/../A2/x.jpg"), order));
    QVERIFY(!PathUtil::isInside(dir.filePath(QStringLiteral("orders/A10/x.jpg")), order));
    QVERIFY(!PathUtil::isInside(QStringLiteral("/etc/passwd"), order));
    // A link inside the folder that points outside is outside.
    QVERIFY(QFile::link(dir.path(), order + QStringLiteral("/escape")));
    QVERIFY(!PathUtil::isInside(order + QStringLiteral("/escape/other.jpg"), order));
    QVERIFY(!PathUtil::isInside(QString(), order));
}

// A link whose target does not exist yet leads where a write through it
// would create the file; it is inside only when that place is.
void TestPathUtil::linkWithMissingTarget_data()
{
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<bool>("inside");
    QTest::newRow("file link out") << "all/p.jpg" << "@/outside/new.jpg" << "all/p.jpg" << false;
    QTest::newRow("folder link out") << "1920" << "@/outside/made" << "1920/p.jpg" << false;
    QTest::newRow("relative link out") << "90" << "../../elsewhere" << "90/p.jpg" << false;
    QTest::newRow("chain of links out") << "190" << "@/orders/A1/hop" << "190/p.jpg" << false;
    QTest::newRow("link within the folder") << "all/q.jpg" << "@/orders/A1/all/r.jpg" << "all/q.jpg" << true;
}

void TestPathUtil::linkWithMissingTarget()
{
    QFETCH(QString, linkName);
    QFETCH(QString, target);
    QFETCH(QString, probe);
    QFETCH(bool, inside);
    QTemporaryDir dir;
    const QString order = dir.filePath(QStringLiteral("orders/A1"));
    QVERIFY(QDir().mkpath(order + QStringLiteral("/all")));
    target.replace(QLatin1Char('@'), dir.path());
    // The second hop of a chain, itself dangling and pointing out.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside/far")), order + QStringLiteral("/hop")));
    QCOMPARE(::symlink(QFile::encodeName(target).constData(),
                       QFile::encodeName(order + QLatin1Char('/') + linkName).constData()),
             0);
    QVERIFY(PathUtil::isLink(order + QLatin1Char('/') + linkName));
    QCOMPARE(PathUtil::isInside(order + QLatin1Char('/') + probe, order), inside);
    QVERIFY(!PathUtil::isLink(order + QStringLiteral("/all")));
}

void TestPathUtil::isRootFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("root");
    QTest::newRow("unix root") << "/" << true;
    QTest::newRow("drive") << "C:\\" << true;
    QTest::newRow("drive without separator") << "D:" << true;
    QTest::newRow("drive slash") << "E:/" << true;
    QTest::newRow("folder on drive") << "C:\\photos" << false;
    QTest::newRow("share") << "\\\\nas\\photos" << true;
    QTest::newRow("share slashes") << "//nas/photos/" << true;
    QTest::newRow("server") << "\\\\nas" << true;
    QTest::newRow("folder on share") << "\\\\nas\\photos\\2024" << false;
    QTest::newRow("volume") << "/Volumes/photos" << true;
    QTest::newRow("folder on volume") << "/Volumes/photos/2024" << false;
    QTest::newRow("home folder") << "/home/studio" << false;
    QTest::newRow("empty") << "" << true;
}

void TestPathUtil::isRootFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, root);
    QCOMPARE(PathUtil::isRootFolder(folder), root);
}

QTEST_GUILESS_MAIN(TestPathUtil)
#include "tst_pathutil.moc"
