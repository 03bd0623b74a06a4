#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "base/keepawake.h"
#include "base/macwindowmanager.h"
#include "base/sharedfolderopener.h"

namespace {

QStringList s_opened;
bool s_openResult = true;

bool recordOpen(const QString &path)
{
    s_opened << path;
    return s_openResult;
}

} // namespace

class TestWindowHelpers : public QObject
{
    Q_OBJECT

private slots:
    void normalizePath_data();
    void normalizePath();
    void openLocalFolderReportsErrors();
    void hostReachableWithoutHost();
    void minimizeWindow();
    void windowRestoredAfterDelay();
    void keepAwakeFollowsLastWindow();
};

void TestWindowHelpers::normalizePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unc") << "\\\\NAS01\\photos" << "smb://NAS01/photos";
    QTest::newRow("file scheme any case") << "FILE://NAS01/a" << "NAS01/a";
    QTest::newRow("drive") << "D:\\x" << "D:/x";
    QTest::newRow("only file:// removed") << "file:///D:/x" << "/D:/x";
}

void TestWindowHelpers::normalizePath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(SharedFolderOpener::normalizePath(path), expected);
}

void TestWindowHelpers::openLocalFolderReportsErrors()
{
    QTemporaryDir dir;
    SharedFolderOpener::setOpenUrlHook(&recordOpen);
    SharedFolderOpener opener;
    s_opened.clear();

    s_openResult = true;
    QCOMPARE(opener.openLocalFolder(dir.path()), QString());
    QCOMPARE(s_opened, QStringList{dir.path()});

    const QString missing = dir.filePath(QStringLiteral("nope"));
    QVERIFY(opener.openLocalFolder(missing).contains(QStringLiteral("文件夹不存在")));
    QVERIFY(opener.openLocalFolder(QString()).contains(QStringLiteral("为空")));

    s_openResult = false;
    QVERIFY(opener.openLocalFolder(dir.path()).contains(QStringLiteral("无法打开文件夹")));
    QCOMPARE(s_opened.size(), 2);
    SharedFolderOpener::setOpenUrlHook(nullptr);
}

void TestWindowHelpers::hostReachableWithoutHost()
{
    QVERIFY(SharedFolderOpener::isHostReachable(QStringLiteral("D:\\x"), 100));
}

void TestWindowHelpers::minimizeWindow()
{
    QVERIFY(!MacWindowManager::minimizeWindow(nullptr));
    QWidget w;
    w.setWindowState(Qt::WindowMaximized);
    QVERIFY(MacWindowManager::minimizeWindow(&w));
    QCOMPARE(w.windowState(), Qt::WindowMinimized);
}

void TestWindowHelpers::windowRestoredAfterDelay()
{
    QSignalSpy spy(MacWindowManager::instance(), &MacWindowManager::windowRestored);
    auto *w = new QWidget;
    MacWindowManager::instance()->postWindowRestored(w);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.first().first().value<QWidget *>(), w);
    QVERIFY(w->testAttribute(Qt::WA_TranslucentBackground));

    // A window destroyed within the delay is not announced.
    spy.clear();
    MacWindowManager::instance()->postWindowRestored(w);
    QCoreApplication::processEvents();
    delete w;
    QVERIFY(!spy.wait(300));
}

void TestWindowHelpers::keepAwakeFollowsLastWindow()
{
    KeepAwake::holdUntilLastWindowClosed(qApp);
    QCOMPARE(KeepAwake::currentState(),
             quint32(KeepAwake::Continuous | KeepAwake::DisplayRequired | KeepAwake::SystemRequired));
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(KeepAwake::currentState() & KeepAwake::DisplayRequired, quint32(KeepAwake::DisplayRequired));
    // Qt announces the last closed window only while the event loop runs,
    // as it does in the program.
    QTimer::singleShot(0, &window, &QWidget::close);
    QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QCOMPARE(KeepAwake::currentState(), quint32(KeepAwake::Continuous));
}

QTEST_MAIN(TestWindowHelpers)
#include "tst_windowhelpers.moc"
