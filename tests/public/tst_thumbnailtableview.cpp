#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "public/thumbnailphoto.h"
#include "public/thumbnailtableview.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/public/widgetrender.h"
#include "tests/support/jpegfixture.h"

namespace {

QByteArray pngBytes(const QColor &colour, int w = 160, int h = 120)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QLabel *photoLabelOf(QWidget *card)
{
    return card ? qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>()) : nullptr;
}

QPushButton *buttonOf(QWidget *card)
{
    return card ? qobject_cast<QPushButton *>(card->property("selectButton").value<QObject *>()) : nullptr;
}

// The colour in the middle of the picture a card shows, or an invalid colour.
QColor shownColour(QWidget *card)
{
    QLabel *label = photoLabelOf(card);
    if (!label)
        return QColor();
    const QPixmap pixmap = label->pixmap(Qt::ReturnByValue);
    if (pixmap.isNull())
        return QColor();
    const QImage image = pixmap.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// Warnings about objects used from the wrong thread, caught for the whole run.
QStringList g_threadWarnings;
QtMessageHandler g_previousHandler = nullptr;

void recordThreadWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && (message.contains(QLatin1String("thread")) || message.contains(QLatin1String("Cannot create children"))))
        g_threadWarnings.append(message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

class TestThumbnailTableView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void buildsCardsInBatchesAndLoadsVisibleOnes();
    void fiveThousandRecordsSelection();
    void secondListMidLoadNeverShowsOldPicture();
    void answerOfOlderGenerationIsDropped();
    void replacingBuiltCardsShowsOnlyTheNewList();
    void iconPathLoadsWithoutNetwork_data();
    void iconPathLoadsWithoutNetwork();
    void hungServerEndsInFailure();
    void undecodableBodyFails();
    void hostilePictureFailsAndOthersLoad_data();
    void hostilePictureFailsAndOthersLoad();
    void selectAllFromSelectionChangedHandlerReturns();
    void setPhotosRunsNoPendingEvents();
    void cardClickLandsOnButtonAtSmallScale();
    void notSelectableCardStaysOut();
    void preselectedRecordsCountAndShow();
    void recyclingKeepsAtMostFiftyCards();
    void photoAtOutOfRangeGivesDefault();
    void emptyListMakesNothing();
    void destroyWithRequestsInFlight();
    void renderStates();

private:
    QList<ThumbnailPhoto> networkPhotos(int count, const QString &prefix, const QString &url);

    FakeOrderService *fake = nullptr;
    QString redUrl;
    QString greenUrl;
    QString blueUrl;
    QString junkUrl;
};

void TestThumbnailTableView::initTestCase()
{
    // The grid writes one debug line per record; thousands of them only slow
    // the run down.
    QLoggingCategory::setFilterRules(QStringLiteral("velquora.public.debug=false"));
    g_previousHandler = qInstallMessageHandler(recordThreadWarnings);

    fake = new FakeOrderService(this);
    QVERIFY(fake->start(FakeOrderService::Mode::Http));
    redUrl = fake->addFile(QStringLiteral("red.png"), pngBytes(Qt::red), QStringLiteral("image/png"));
    greenUrl = fake->addFile(QStringLiteral("green.png"), pngBytes(Qt::green), QStringLiteral("image/png"));
    blueUrl = fake->addFile(QStringLiteral("blue.png"), pngBytes(Qt::blue), QStringLiteral("image/png"));
    junkUrl = fake->addFile(QStringLiteral("junk.jpg"), QByteArray("this is not a picture"), QStringLiteral("image/jpeg"));
}

void TestThumbnailTableView::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void TestThumbnailTableView::init()
{
    g_uiScale = 1.0f;
    fake->setGetDelay(0);
    fake->clearRequests();
    g_threadWarnings.clear();
}

void TestThumbnailTableView::cleanup()
{
    BaseReq::setTransferTimeout(60000);
    BaseReq::setRequestDeadline(120000);
    fake->clearFaults();
    QVERIFY2(g_threadWarnings.isEmpty(), qPrintable(g_threadWarnings.join(QLatin1Char('\n'))));
}

QList<ThumbnailPhoto> TestThumbnailTableView::networkPhotos(int count, const QString &prefix, const QString &url)
{
    QList<ThumbnailPhoto> list;
    for (int i = 0; i < count; ++i) {
        ThumbnailPhoto photo;
        photo.id = QString::number(i + 1);
        photo.name = QStringLiteral("%1%2.jpg").arg(prefix).arg(i + 1, 4, 10, QLatin1Char('0'));
        photo.imageUrl = url;
        list.append(photo);
    }
    return list;
}

void TestThumbnailTableView::buildsCardsInBatchesAndLoadsVisibleOnes()
{
    ThumbnailTableView grid;
    grid.resize(800, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QSignalSpy requests(&grid, &ThumbnailTableView::loadPhotoRequest);
    grid.setPhotos(networkPhotos(20, QStringLiteral("IMG_"), redUrl));
    QCOMPARE(grid.photoCount(), 20);
    // Nothing is built inside the call: cards come with the batch timer.
    QVERIFY(!grid.cardAt(0));
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(19), 20000);

    for (int i = 0; i < 20; ++i) {
        QWidget *card = grid.cardAt(i);
        QVERIFY(card);
        QCOMPARE(card->property("photoIndex").toInt(), i);
        QCOMPARE(qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>())->text(),
                 QStringLiteral("IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')));
    }
    // Rows follow the column count the width allows.
    const int columns = grid.columnCount();
    QVERIFY(columns > 1);
    QCOMPARE(grid.cardAt(columns)->y(), grid.cardAt(0)->y() + grid.cardAt(0)->height() + K::instance()->scale(5));
    QCOMPARE(grid.cardAt(1)->y(), grid.cardAt(0)->y());

    // The cards on screen get their picture, each asked for once.
    QTRY_VERIFY_WITH_TIMEOUT(shownColour(grid.cardAt(0)) == QColor(Qt::red), 20000);
    QTest::qWait(400);
    QSet<int> asked;
    for (const QList<QVariant> &args : qAsConst(requests)) {
        const int index = args.at(3).toInt();
        QVERIFY2(!asked.contains(index), qPrintable(QStringLiteral("asked twice for %1").arg(index)));
        asked.insert(index);
    }
    const int viewportHeight = grid.findChild<QScrollArea *>()->viewport()->height();
    for (int i = 0; i < 20; ++i) {
        const bool onScreen = grid.cardAt(i)->y() < viewportHeight;
        QCOMPARE(asked.contains(i), onScreen);
    }
    const QList<FakeOrderService::Request> gets = fake->requests();
    QVERIFY(!gets.isEmpty());
    QCOMPARE(gets.first().header("User-Agent"), QByteArray("Mozilla/5.0"));
}

void TestThumbnailTableView::fiveThousandRecordsSelection()
{
    ThumbnailTableView grid;
    grid.resize(900, 600);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QSignalSpy changed(&grid, &ThumbnailTableView::selectionChanged);
    QSignalSpy counts(&grid, &ThumbnailTableView::selectedCountChanged);
    QList<ThumbnailPhoto> list = networkPhotos(5000, QStringLiteral("DSC_"), greenUrl);
    list[4999].selectable = false;
    grid.setPhotos(list);
    QCOMPARE(grid.photoCount(), 5000);

    // The first batches arrive and their pictures come from the image server.
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(7), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(shownColour(grid.cardAt(0)) == QColor(Qt::green), 20000);
    QVERIFY(fake->requests().size() < 100);

    // Select-all reaches records whose cards are not made yet, and reports
    // only the count.
    grid.selectAll();
    QCOMPARE(changed.count(), 0);
    QCOMPARE(counts.last().at(0).toInt(), 4999);
    QCOMPARE(grid.selectedIndexes().size(), 4999);
    QVERIFY(!grid.selectedIndexes().contains(4999));
    QCOMPARE(buttonOf(grid.cardAt(0))->text(), QStringLiteral("✓"));

    // A click on a card takes it out of the selection.
    QWidget *card = grid.cardAt(3);
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(card->width() / 2, card->height() - 8));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.last().at(0).toInt(), 3);
    QCOMPARE(changed.last().at(1).toBool(), false);
    QCOMPARE(counts.last().at(0).toInt(), 4998);
    QVERIFY(!buttonOf(card)->isChecked());

    grid.deselectAll();
    QCOMPARE(counts.last().at(0).toInt(), 0);
    QVERIFY(grid.selectedIndexes().isEmpty());

    // A click on the check button itself.
    QPushButton *button = buttonOf(grid.cardAt(5));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(grid.selectedIndexes(), QList<int>{5});
    QCOMPARE(counts.last().at(0).toInt(), 1);

    // Cards made after select-all by later batches show their state.
    grid.selectAll();
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(60), 20000);
    QVERIFY(buttonOf(grid.cardAt(60))->isChecked());
    QCOMPARE(grid.photoAt(4321).name, QStringLiteral("DSC_4322.jpg"));
}

void TestThumbnailTableView::secondListMidLoadNeverShowsOldPicture()
{
    ThumbnailTableView grid;
    grid.resize(800, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // The same camera names in two orders; the first order's server is slow.
    fake->setGetDelay(400);
    grid.setPhotos(networkPhotos(40, QStringLiteral("IMG_"), redUrl));
    QTRY_VERIFY_WITH_TIMEOUT(!fake->requests().isEmpty(), 20000);

    fake->setGetDelay(0);
    grid.setPhotos(networkPhotos(40, QStringLiteral("IMG_"), blueUrl));

    // Watched until the slow answers of the first list have long arrived
    // and the second list's pictures show, however loaded the machine is.
    QElapsedTimer watch;
    watch.start();
    bool sawBlue = false;
    while ((watch.elapsed() < 1500 || !sawBlue) && watch.elapsed() < 20000) {
        for (int i = 0; i < 40; ++i) {
            const QColor c = shownColour(grid.cardAt(i));
            QVERIFY2(c != QColor(Qt::red), qPrintable(QStringLiteral("card %1 shows the old list's picture").arg(i)));
            sawBlue = sawBlue || c == QColor(Qt::blue);
        }
        QTest::qWait(10);
    }
    QVERIFY(sawBlue);
}

// Every card a user can see shows the list's own name for its slot and no
// picture of the list it replaced.
static QString wrongCard(ThumbnailTableView &grid, const QList<ThumbnailPhoto> &list, const QColor &replaced)
{
    for (QWidget *card : grid.findChildren<QWidget *>(QStringLiteral("thumbnailCard"))) {
        if (card->visibleRegion().isEmpty())
            continue;
        const int index = card->property("photoIndex").toInt();
        auto *name = qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>());
        if (index < 0 || index >= list.size() || grid.cardAt(index) != card || !name || name->text() != list.at(index).name)
            return QStringLiteral("a card on screen is not slot %1's: %2").arg(index).arg(name ? name->text() : QString());
        if (shownColour(card) == replaced)
            return QStringLiteral("card %1 shows the replaced list's picture").arg(index);
    }
    return QString();
}

void TestThumbnailTableView::replacingBuiltCardsShowsOnlyTheNewList()
{
    ThumbnailTableView grid;
    grid.resize(800, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // Far more built cards than the pool keeps, so that a replacement reuses
    // some and takes the others down; the same camera names in every list.
    const int count = 300;
    const QList<ThumbnailPhoto> red = networkPhotos(count, QStringLiteral("IMG_"), redUrl);
    const QList<ThumbnailPhoto> blue = networkPhotos(count, QStringLiteral("IMG_"), blueUrl);
    grid.setPhotos(red);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(count - 1), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(shownColour(grid.cardAt(0)) == QColor(Qt::red), 20000);

    // Twice, back and forth: the second replacement starts from a grid that
    // already went through one.
    const QList<QPair<QList<ThumbnailPhoto>, QColor>> rounds{{blue, Qt::red}, {red, Qt::blue}};
    for (const auto &round : rounds) {
        const QList<ThumbnailPhoto> &list = round.first;
        const QColor replaced = round.second;
        const QColor wanted = replaced == QColor(Qt::red) ? QColor(Qt::blue) : QColor(Qt::red);
        QList<QPointer<QWidget>> old;
        for (int i = 0; i < count; ++i)
            old << grid.cardAt(i);
        // A press on an old card waits in the queue as the list changes.
        QWidget *pressed = grid.cardAt(2);
        const QPoint at(pressed->width() / 2, pressed->height() - 6);
        QCoreApplication::postEvent(pressed, new QMouseEvent(QEvent::MouseButtonPress, at, pressed->mapToGlobal(at),
                                                             Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));

        grid.setPhotos(list);
        QVERIFY2(wrongCard(grid, list, replaced).isEmpty(), qPrintable(wrongCard(grid, list, replaced)));
        QCOMPARE(grid.poolSize(), 50);

        QElapsedTimer watch;
        watch.start();
        bool shown = false;
        while ((watch.elapsed() < 1500 || !shown) && watch.elapsed() < 20000) {
            const QString wrong = wrongCard(grid, list, replaced);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            shown = shownColour(grid.cardAt(0)) == wanted;
            QTest::qWait(10);
        }
        QVERIFY(shown);
        QVERIFY(grid.selectedIndexes().isEmpty());

        // The cards the pool could not take are all gone in the end; the
        // grid holds the new list's cards and what is left in the pool.
        QTRY_COMPARE_WITH_TIMEOUT(grid.retiredCardCount(), 0, 20000);
        int kept = 0;
        for (const QPointer<QWidget> &card : old)
            kept += card.isNull() ? 0 : 1;
        QCOMPARE(kept, 50);
        QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(count - 1), 20000);
        QCOMPARE(grid.findChildren<QWidget *>(QStringLiteral("thumbnailCard")).size(), count + grid.poolSize());
    }
}

void TestThumbnailTableView::answerOfOlderGenerationIsDropped()
{
    ThumbnailTableView grid;
    grid.resize(800, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QSignalSpy requests(&grid, &ThumbnailTableView::loadPhotoRequest);
    fake->setGetDelay(300);
    grid.setPhotos(networkPhotos(8, QStringLiteral("IMG_"), redUrl));
    QTRY_VERIFY_WITH_TIMEOUT(!requests.isEmpty(), 20000);
    const int oldGeneration = requests.first().at(4).toInt();

    requests.clear();
    grid.setPhotos(networkPhotos(8, QStringLiteral("IMG_"), blueUrl));
    QTRY_VERIFY_WITH_TIMEOUT(!requests.isEmpty(), 20000);
    QVERIFY(requests.first().at(4).toInt() != oldGeneration);

    // An answer that was already on its way when the list changed: same
    // index, same name, older list.
    QImage red(90, 90, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(QMetaObject::invokeMethod(&grid, "onPhotoLoaded", Q_ARG(QImage, red), Q_ARG(QString, QStringLiteral("IMG_0001.jpg")),
                                      Q_ARG(int, 0), Q_ARG(int, oldGeneration)));
    QCOMPARE(shownColour(grid.cardAt(0)), QColor());
    QTRY_VERIFY_WITH_TIMEOUT(shownColour(grid.cardAt(0)) == QColor(Qt::blue), 20000);

    // And the same answer under the current generation is taken.
    const int current = requests.first().at(4).toInt();
    QVERIFY(QMetaObject::invokeMethod(&grid, "onPhotoLoaded", Q_ARG(QImage, red), Q_ARG(QString, QStringLiteral("IMG_0001.jpg")),
                                      Q_ARG(int, 0), Q_ARG(int, current)));
    QCOMPARE(shownColour(grid.cardAt(0)), QColor(Qt::red));
}

void TestThumbnailTableView::iconPathLoadsWithoutNetwork_data()
{
    QTest::addColumn<QString>("icon");
    QTest::addColumn<bool>("loads");

    QTest::newRow("raw-file resource") << QStringLiteral(":/public/image/public/icon/raw.png") << true;
    QTest::newRow("local file") << QStringLiteral("@file") << true;
    QTest::newRow("missing file") << QStringLiteral("@missing") << false;
    QTest::newRow("folder") << QStringLiteral("@folder") << false;
    QTest::newRow("not a picture") << QStringLiteral("@text") << false;
}

void TestThumbnailTableView::iconPathLoadsWithoutNetwork()
{
    QFETCH(QString, icon);
    QFETCH(bool, loads);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (icon == QLatin1String("@file")) {
        icon = dir.filePath(QStringLiteral("icon.png"));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QVERIFY(image.save(icon));
    } else if (icon == QLatin1String("@missing")) {
        icon = dir.filePath(QStringLiteral("gone.png"));
    } else if (icon == QLatin1String("@folder")) {
        icon = dir.filePath(QStringLiteral("folder.png"));
        QVERIFY(QDir().mkdir(icon));
    } else if (icon == QLatin1String("@text")) {
        icon = dir.filePath(QStringLiteral("text.png"));
        QFile file(icon);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("plain text");
    }

    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    ThumbnailPhoto photo;
    photo.name = QStringLiteral("RAW_0001.CR2");
    // Must not be fetched when an icon is given. An address of its own: a
    // request of an earlier test can still reach the server now.
    photo.imageUrl = fake->addFile(QStringLiteral("raw.png"), pngBytes(Qt::red), QStringLiteral("image/png"));
    photo.iconPath = icon;
    grid.setPhotos({photo});

    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(0), 20000);
    QLabel *label = photoLabelOf(grid.cardAt(0));
    if (loads) {
        QTRY_VERIFY_WITH_TIMEOUT(!label->pixmap(Qt::ReturnByValue).isNull(), 20000);
        QVERIFY(label->text().isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("加载失败"), 20000);
        QVERIFY(label->pixmap(Qt::ReturnByValue).isNull());
    }
    const QString path = QUrl(photo.imageUrl).path(QUrl::FullyDecoded);
    for (const FakeOrderService::Request &request : fake->requests())
        QVERIFY2(request.path != path, qPrintable(request.path));
}

void TestThumbnailTableView::hungServerEndsInFailure()
{
    BaseReq::setTransferTimeout(300);
    const QString slowUrl = fake->addFile(QStringLiteral("slow.png"), pngBytes(Qt::red), QStringLiteral("image/png"));
    fake->setFileDelay(slowUrl, 20000);

    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setPhotos(networkPhotos(2, QStringLiteral("IMG_"), slowUrl));

    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(1), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(photoLabelOf(grid.cardAt(0))->text(), QStringLiteral("加载失败"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(photoLabelOf(grid.cardAt(1))->text(), QStringLiteral("加载失败"), 20000);
}

void TestThumbnailTableView::undecodableBodyFails()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QList<ThumbnailPhoto> list = networkPhotos(3, QStringLiteral("IMG_"), junkUrl);
    list[1].imageUrl.clear();
    list[2].imageUrl = fake->baseUrl() + QStringLiteral("/no/such/file.jpg");
    grid.setPhotos(list);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(2), 20000);
    for (int i = 0; i < 3; ++i)
        QTRY_COMPARE_WITH_TIMEOUT(photoLabelOf(grid.cardAt(i))->text(), QStringLiteral("加载失败"), 20000);
    // The failure look: pink background behind the text.
    QVERIFY(photoLabelOf(grid.cardAt(0))->property("loadFailed").toBool());
}

void TestThumbnailTableView::hostilePictureFailsAndOthersLoad_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("header claims 60000 x 60000") << "huge";
    QTest::newRow("picture trickles in without end") << "trickle";
}

void TestThumbnailTableView::hostilePictureFailsAndOthersLoad()
{
    QFETCH(QString, kind);
    QString url;
    if (kind == QLatin1String("huge")) {
        url = fake->addFile(QStringLiteral("huge.jpg"), JpegFixture::hugeClaim(), QStringLiteral("image/jpeg"));
    } else {
        // One byte every 200 ms never trips the idle time-out; only the
        // overall deadline ends it.
        BaseReq::setRequestDeadline(1500);
        fake->setFault(QStringLiteral("&m=file&a=trickle"), FakeOrderService::Fault::Trickle, QString(), 200);
        url = fake->indexUrl() + QStringLiteral("g=QuorplexDPc&m=file&a=trickle");
    }

    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QList<ThumbnailPhoto> list = networkPhotos(2, QStringLiteral("IMG_"), url);
    list[1].imageUrl = greenUrl;
    grid.setPhotos(list);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(1), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(shownColour(grid.cardAt(1)), QColor(Qt::green), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(photoLabelOf(grid.cardAt(0))->text(), QStringLiteral("加载失败"), 20000);
}

void TestThumbnailTableView::selectAllFromSelectionChangedHandlerReturns()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setPhotos(networkPhotos(12, QStringLiteral("IMG_"), greenUrl));
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(11), 20000);

    int calls = 0;
    connect(&grid, &ThumbnailTableView::selectionChanged, &grid,
            [&](int, bool selected) {
                ++calls;
                if (selected) {
                    grid.selectAll();
                    (void)grid.selectedIndexes();
                }
            },
            Qt::DirectConnection);
    QSignalSpy counts(&grid, &ThumbnailTableView::selectedCountChanged);

    QWidget *card = grid.cardAt(2);
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(card->width() / 2, card->height() / 2));
    QCOMPARE(calls, 1);
    QCOMPARE(grid.selectedIndexes().size(), 12);
    // The count reported after the click is the one the handler left behind.
    QCOMPARE(counts.last().at(0).toInt(), 12);
}

void TestThumbnailTableView::setPhotosRunsNoPendingEvents()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setPhotos(networkPhotos(6, QStringLiteral("OLD_"), greenUrl));
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(5), 20000);

    // Grid calls made from handlers that the grid's own signals reach directly
    // must not find it locked.
    int requestsSeen = 0;
    connect(&grid, &ThumbnailTableView::loadPhotoRequest, &grid,
            [&](QString, QString, QString, int, int) {
                ++requestsSeen;
                (void)grid.photoCount();
            },
            Qt::DirectConnection);

    // A click on an old card and another pending job are waiting in the queue
    // when the list changes.
    QWidget *oldCard = grid.cardAt(3);
    const QPoint at(oldCard->width() / 2, oldCard->height() - 6);
    QCoreApplication::postEvent(oldCard, new QMouseEvent(QEvent::MouseButtonPress, at, oldCard->mapToGlobal(at),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(oldCard, new QMouseEvent(QEvent::MouseButtonRelease, at, oldCard->mapToGlobal(at),
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    int countSeenByJob = -1;
    QMetaObject::invokeMethod(&grid, [&] { countSeenByJob = grid.photoCount(); }, Qt::QueuedConnection);

    grid.setPhotos(networkPhotos(6, QStringLiteral("NEW_"), greenUrl));
    QCOMPARE(countSeenByJob, -1); // nothing ran inside the call
    QCoreApplication::processEvents();
    QCOMPARE(countSeenByJob, 6);
    // The late click named a card of the old list: no new record is chosen.
    QVERIFY(grid.selectedIndexes().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(requestsSeen > 0, 20000);
}

void TestThumbnailTableView::cardClickLandsOnButtonAtSmallScale()
{
    // A factor that makes the check button 9 px wide: a click at a fixed
    // (10, 10) would miss it.
    g_uiScale = 0.7f;
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setPhotos(networkPhotos(3, QStringLiteral("IMG_"), greenUrl));
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(2), 20000);
    QVERIFY(buttonOf(grid.cardAt(1))->width() <= 10);

    QWidget *card = grid.cardAt(1);
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(card->width() / 2, card->height() - 4));
    QCOMPARE(grid.selectedIndexes(), QList<int>{1});
}

void TestThumbnailTableView::notSelectableCardStaysOut()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QList<ThumbnailPhoto> list = networkPhotos(3, QStringLiteral("IMG_"), greenUrl);
    list[1].selectable = false;
    list[1].selected = true; // says selected, but cannot be
    grid.setPhotos(list);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(2), 20000);

    QVERIFY(buttonOf(grid.cardAt(1))->isHidden());
    QSignalSpy changed(&grid, &ThumbnailTableView::selectionChanged);
    QWidget *card = grid.cardAt(1);
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(card->width() / 2, card->height() / 2));
    QCOMPARE(changed.count(), 0);
    grid.selectAll();
    QCOMPARE(grid.selectedIndexes(), (QList<int>{0, 2}));
    QCOMPARE(grid.selectedCount(), 2);
}

void TestThumbnailTableView::preselectedRecordsCountAndShow()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QList<ThumbnailPhoto> list = networkPhotos(4, QStringLiteral("IMG_"), greenUrl);
    list[0].selected = true;
    list[3].selected = true;
    grid.setPhotos(list);
    QCOMPARE(grid.selectedIndexes(), (QList<int>{0, 3}));
    QCOMPARE(grid.selectedCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(3), 20000);
    QVERIFY(buttonOf(grid.cardAt(0))->isChecked());
    QCOMPARE(buttonOf(grid.cardAt(3))->text(), QStringLiteral("✓"));

    // Taking one preselected photo out counts down from the real number.
    QSignalSpy counts(&grid, &ThumbnailTableView::selectedCountChanged);
    QTest::mouseClick(buttonOf(grid.cardAt(0)), Qt::LeftButton);
    QCOMPARE(counts.last().at(0).toInt(), 1);
}

void TestThumbnailTableView::recyclingKeepsAtMostFiftyCards()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setPhotos(networkPhotos(64, QStringLiteral("A_"), greenUrl));
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(63), 20000);
    QPointer<QWidget> lowest = grid.cardAt(0);
    QPointer<QWidget> highest = grid.cardAt(63);

    grid.setPhotos(networkPhotos(5, QStringLiteral("B_"), greenUrl));
    // Cards go back from the last slot to the first: the 50 highest are kept.
    QCOMPARE(grid.poolSize(), 50);
    QTRY_VERIFY_WITH_TIMEOUT(lowest.isNull(), 20000);
    QVERIFY(!highest.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(4), 20000);
    QCOMPARE(grid.cardAt(0), highest.data());
    QCOMPARE(grid.poolSize(), 45);
    QCOMPARE(qobject_cast<QLabel *>(grid.cardAt(0)->property("nameLabel").value<QObject *>())->text(),
             QStringLiteral("B_0001.jpg"));
}

void TestThumbnailTableView::photoAtOutOfRangeGivesDefault()
{
    ThumbnailTableView grid;
    QList<ThumbnailPhoto> list = networkPhotos(2, QStringLiteral("IMG_"), greenUrl);
    list[1].companionFiles = QStringList{QStringLiteral("/a/90/x.jpg")};
    grid.setPhotos(list);
    QCOMPARE(grid.photoAt(1).companionFiles, list[1].companionFiles);
    for (int index : {-1, 2, 1000}) {
        const ThumbnailPhoto p = grid.photoAt(index);
        QVERIFY(p.name.isEmpty());
        QVERIFY(p.selectable);
        QVERIFY(!p.iconPath.isNull());
        QVERIFY(p.iconPath.isEmpty());
        QVERIFY(p.companionFiles.isEmpty());
    }
}

void TestThumbnailTableView::emptyListMakesNothing()
{
    ThumbnailTableView grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setPhotos(networkPhotos(3, QStringLiteral("IMG_"), greenUrl));
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(2), 20000);
    grid.setPhotos({});
    QCOMPARE(grid.photoCount(), 0);
    QVERIFY(grid.selectedIndexes().isEmpty());
    QTest::qWait(200);
    QCOMPARE(grid.poolSize(), 3);
}

void TestThumbnailTableView::destroyWithRequestsInFlight()
{
    fake->setGetDelay(2000);
    {
        ThumbnailTableView grid;
        grid.resize(600, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setPhotos(networkPhotos(10, QStringLiteral("IMG_"), greenUrl));
        QTRY_VERIFY_WITH_TIMEOUT(fake->requests().size() >= 2, 20000);
    }
    // The destructor stopped the loader with its replies still open.
    QTest::qWait(50);
}

void TestThumbnailTableView::renderStates()
{
    ThumbnailTableView grid;
    grid.resize(700, 330);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QList<ThumbnailPhoto> list = networkPhotos(10, QStringLiteral("IMG_"), blueUrl);
    list[1].imageUrl = junkUrl;
    list[2].iconPath = QStringLiteral(":/public/image/public/icon/raw.png");
    list[2].name = QStringLiteral("IMG_0003.CR2");
    list[3].selectable = false;
    list[0].selected = true;
    grid.setPhotos(list);
    QTRY_VERIFY_WITH_TIMEOUT(grid.cardAt(9), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(shownColour(grid.cardAt(0)) == QColor(Qt::blue), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(photoLabelOf(grid.cardAt(1))->text(), QStringLiteral("加载失败"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!photoLabelOf(grid.cardAt(2))->pixmap(Qt::ReturnByValue).isNull(), 20000);

    const QImage image = renderWidget(&grid, QStringLiteral("thumbnailgrid"));
    // The selected card's check button is filled blue.
    QPushButton *button = buttonOf(grid.cardAt(0));
    const QPoint buttonCentre = button->mapTo(&grid, button->rect().center());
    QVERIFY(closeTo(image.pixel(buttonCentre + QPoint(-3, -3)), QColor(QStringLiteral("#007aff")), 30));
    // The failed card is pink around its text.
    QLabel *failed = photoLabelOf(grid.cardAt(1));
    const QPoint failedCorner = failed->mapTo(&grid, QPoint(failed->width() - 8, failed->height() - 8));
    QVERIFY(closeTo(image.pixel(failedCorner), QColor(QStringLiteral("#ffe6e6"))));
}

QTEST_MAIN(TestThumbnailTableView)
#include "tst_thumbnailtableview.moc"
