#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "tests/support/hostiletree.h"
#include "tests/support/tinyvolume.h"
#include "transferphotos/jobs/tfdellocalphotoimg.h"

namespace {

bool touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

} // namespace

class TestDelLocalPhotoImg : public QObject
{
    Q_OBJECT

private:
    void flippingFolder(const HostileTree &tree, const QString &order);

private slots:
    // The full-size copy goes with its three reduced copies, given with "/"
    // or with "\"; missing siblings are skipped.
    void removesCopyAndSizeSiblings_data()
    {
        QTest::addColumn<bool>("backslashes");
        QTest::newRow("slashes") << false;
        QTest::newRow("backslashes") << true;
    }
    void removesCopyAndSizeSiblings()
    {
        QFETCH(bool, backslashes);
        QTemporaryDir dir;
        const QString order = dir.filePath(QStringLiteral("2024/05/09/A1-1"));
        for (const char *f : {"all/1.jpg", "90/1.jpg", "190/1.jpg", "all/2.jpg", "1920/2.jpg", "90/3.jpg"})
            QVERIFY(touch(order + QLatin1Char('/') + QString::fromUtf8(f)));
        QString one = order + QStringLiteral("/all/1.jpg");
        if (backslashes)
            one.replace(QLatin1Char('/'), QLatin1Char('\\'));
        TFDelLocalPhotoImg remover;
        remover.delPhotos({one, order + QStringLiteral("/all/2.jpg"), one});
        for (const char *f : {"all/1.jpg", "90/1.jpg", "190/1.jpg", "all/2.jpg", "1920/2.jpg"})
            QVERIFY2(!QFileInfo::exists(order + QLatin1Char('/') + QString::fromUtf8(f)), f);
        QVERIFY(QFileInfo::exists(order + QStringLiteral("/90/3.jpg")));
    }

    void videoIsRemovedAlone()
    {
        QTemporaryDir dir;
        const QString order = dir.filePath(QStringLiteral("A2"));
        QVERIFY(touch(order + QStringLiteral("/试拍视频/v.mp4")));
        QVERIFY(touch(order + QStringLiteral("/90/v.mp4")));
        TFDelLocalPhotoImg remover;
        remover.delPhotos({order + QStringLiteral("/试拍视频/v.mp4")});
        QVERIFY(!QFileInfo::exists(order + QStringLiteral("/试拍视频/v.mp4")));
        QVERIFY(QFileInfo::exists(order + QStringLiteral("/90/v.mp4")));
    }

    // Links in the order's folder never take a delete outside it.
    void hostileTrees_data() { HostileTree::addCases(); }
    void hostileTrees()
    {
        QFETCH(int, hostile);
        const auto kind = HostileTree::Case(hostile);
        QTemporaryDir dir;
        const HostileTree tree(dir.path());
        std::unique_ptr<TinyVolume> volume;
        QString order = dir.filePath(QStringLiteral("order"));
        QString given = order + QStringLiteral("/all/victim.jpg");
        switch (kind) {
        case HostileTree::LinkAsTarget:
            QVERIFY(tree.linkToVictim(given));
            QVERIFY(tree.linkToVictim(order + QStringLiteral("/90/victim.jpg")));
            break;
        case HostileTree::DanglingLink:
            QVERIFY(tree.linkToVictim(given, true));
            break;
        case HostileTree::LinkedSubFolder:
            // The full-size copy is the order's own; its reduced copy's
            // folder leads outside.
            QVERIFY(touch(given));
            QVERIFY(tree.linkToOutside(order + QStringLiteral("/90")));
            break;
        case HostileTree::OrderFolderIsLink:
            QVERIFY(tree.linkToOutside(order));
            given = order + QStringLiteral("/all/IMG_0001.jpg");
            break;
        case HostileTree::BackslashName:
            QSKIP("the paths come from the service, where a backslash is a separator");
        case HostileTree::FifoAsTarget:
        case HostileTree::SocketAsTarget:
        case HostileTree::DeviceAsTarget: {
            // A special file where a reduced copy would be: never opened,
            // never deleted, handed back; the copies around it go.
            QVERIFY(touch(given));
            QString why;
            if (!HostileTree::plantSpecial(kind, order + QStringLiteral("/90/victim.jpg"), &why))
                QSKIP(qPrintable(why));
            QVERIFY(touch(order + QStringLiteral("/190/victim.jpg")));
            break;
        }
        case HostileTree::FlippingFolder:
            return flippingFolder(tree, order);
        case HostileTree::FullVolume:
            // Deleting needs no room: it works on a full volume.
            volume = std::make_unique<TinyVolume>(256 * 1024);
            if (!volume->isValid())
                QSKIP(TinyVolume::unavailableReason());
            order = volume->filePath(QStringLiteral("order"));
            given = order + QStringLiteral("/all/victim.jpg");
            QVERIFY(touch(given));
            QVERIFY(touch(order + QStringLiteral("/90/victim.jpg")));
            QVERIFY(volume->fill(0));
            break;
        }
        TFDelLocalPhotoImg remover;
        FifoReleaser releaser({order + QStringLiteral("/90/victim.jpg")});
        const QStringList left = remover.delPhotos({given});
        QVERIFY(!releaser.released());
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        if (kind == HostileTree::LinkedSubFolder)
            QVERIFY(!QFileInfo::exists(given));
        if (HostileTree::isSpecialTarget(kind)) {
            QVERIFY(HostileTree::isSpecialAt(order + QStringLiteral("/90/victim.jpg")));
            QVERIFY(!QFileInfo::exists(given));
            QVERIFY(!QFileInfo::exists(order + QStringLiteral("/190/victim.jpg")));
        }
        if (kind == HostileTree::FullVolume) {
            QCOMPARE(left, QStringList());
            QVERIFY(!QFileInfo::exists(given));
            QVERIFY(!QFileInfo::exists(order + QStringLiteral("/90/victim.jpg")));
        }
    }

    // Anything that is not a copy this tool wrote stays.
    void refusesOtherPaths_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("kept");
        QTest::newRow("not in an all folder") << "@/photos/1.jpg" << "@/photos/1.jpg";
        QTest::newRow("all in other case") << "@/o/ALL/1.jpg" << "@/o/ALL/1.jpg";
        QTest::newRow("relative path") << "o/all/1.jpg" << "@/o/all/1.jpg";
        QTest::newRow("climbing out") << "@/o/all/../../photos/1.jpg" << "@/photos/1.jpg";
        QTest::newRow("folder named like a photo") << "@/o/all/dir.jpg/x" << "@/o/all/dir.jpg/x";
        QTest::newRow("folder in all") << "@/o/all/sub.jpg" << "@/o/all/sub.jpg/keep";
    }
    void refusesOtherPaths()
    {
        QFETCH(QString, given);
        QFETCH(QString, kept);
        QTemporaryDir dir;
        QVERIFY(touch(dir.filePath(QStringLiteral("photos/1.jpg"))));
        QVERIFY(touch(dir.filePath(QStringLiteral("o/ALL/1.jpg"))));
        QVERIFY(touch(dir.filePath(QStringLiteral("o/all/dir.jpg/x"))));
        QVERIFY(touch(dir.filePath(QStringLiteral("o/all/sub.jpg/keep"))));
        QVERIFY(touch(dir.filePath(QStringLiteral("o/all/1.jpg"))));
        given.replace(QLatin1Char('@'), dir.path());
        kept.replace(QLatin1Char('@'), dir.path());
        TFDelLocalPhotoImg remover;
        // A relative path would be taken from the working folder: it is the
        // one holding the files, so a relative path accepted would show.
        const QString workingFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        remover.delPhotos({given});
        QDir::setCurrent(workingFolder);
        QVERIFY(QFileInfo::exists(kept));
    }

    // A link in the order folder never takes a deletion out of it: the copy
    // in "all" goes, what the link reaches stays, and the path is returned.
    void linksNeverRedirectDeletes_data()
    {
        QTest::addColumn<QString>("linkAt");
        QTest::addColumn<QString>("linkTo");
        QTest::addColumn<QString>("refused");
        QTest::newRow("size folder links out") << "o/90" << "outside" << "o/90/x.jpg";
        QTest::newRow("reduced copy links out") << "o/1920/x.jpg" << "outside/x.jpg" << "o/1920/x.jpg";
        QTest::newRow("full-size copy links out") << "o/all/x.jpg" << "outside/x.jpg" << "o/all/x.jpg";
        QTest::newRow("reduced copy links to another copy") << "o/190/x.jpg" << "o/all/y.jpg" << "o/190/x.jpg";
    }
    void linksNeverRedirectDeletes()
    {
        QFETCH(QString, linkAt);
        QFETCH(QString, linkTo);
        QFETCH(QString, refused);
        QTemporaryDir dir;
        QVERIFY(touch(dir.filePath(QStringLiteral("outside/x.jpg"))));
        QVERIFY(touch(dir.filePath(QStringLiteral("o/all/y.jpg"))));
        for (const char *f : {"o/all/x.jpg", "o/90/x.jpg", "o/190/x.jpg", "o/1920/x.jpg"}) {
            const QString path = dir.filePath(QString::fromUtf8(f));
            if (!path.startsWith(dir.filePath(linkAt)))
                QVERIFY(touch(path));
        }
        QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(linkAt)).path()));
        QVERIFY(QFile::link(dir.filePath(linkTo), dir.filePath(linkAt)));
        TFDelLocalPhotoImg remover;
        const QStringList left = remover.delPhotos({dir.filePath(QStringLiteral("o/all/x.jpg"))});
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("outside/x.jpg"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("o/all/y.jpg"))));
        QCOMPARE(left, QStringList({dir.filePath(refused)}));
        for (const char *f : {"o/all/x.jpg", "o/90/x.jpg", "o/190/x.jpg", "o/1920/x.jpg"}) {
            const QString path = dir.filePath(QString::fromUtf8(f));
            if (path != dir.filePath(refused))
                QVERIFY2(!QFileInfo::exists(path), f);
        }
    }

    void emptyListDoesNothing()
    {
        TFDelLocalPhotoImg remover;
        remover.delPhotos({});
        QVERIFY(!remover.isRunning());
    }
};

// A size folder flips between itself and a link to the outside folder,
// which holds a victim.jpg of its own, while the photo and its reduced copy
// are deleted again and again: whatever each run says, the outside file
// stays.
void TestDelLocalPhotoImg::flippingFolder(const HostileTree &tree, const QString &order)
{
    const QString given = order + QStringLiteral("/all/victim.jpg");
    QVERIFY(touch(order + QStringLiteral("/90/victim.jpg")));
    int runs = 0;
    {
        FolderFlipper flipper(order + QStringLiteral("/90"), tree.outside());
        QElapsedTimer timer;
        timer.start();
        while ((timer.elapsed() < 1500 || flipper.flips() < 50) && timer.elapsed() < 10000) {
            // The reduced copy is deleted once; later runs still try, and
            // each would meet the outside file through the link.
            touch(given);
            TFDelLocalPhotoImg remover;
            remover.delPhotos({given});
            ++runs;
        }
        QVERIFY(flipper.flips() > 0);
    }
    qInfo("%d runs", runs);
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
}

TINYVOLUME_TEST_MAIN(TestDelLocalPhotoImg)
#include "tst_dellocalphotoimg.moc"
