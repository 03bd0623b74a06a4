// The originals view against the fake service: the order in which originals
// and raw files are shown, answers that arrive after a newer request, and
// the two-phase delete with real files, including paths from the service
// that must not be deleted.

#include <QJsonArray>
#include <QLabel>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "importfiles/jobs/originalsreply.h"
#include "importfiles/originalview.h"
#include "public/elementbutton.h"
#include "public/fullscreenloading.h"
#include "public/thumbnailtableview.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/importfiles/importfixture.h"
#include "tests/support/hostiletree.h"

using namespace ImportFixture;

namespace {

const QString kPhotos = QStringLiteral("&m=order&a=getorder_pics");
const QString kDelete = QStringLiteral("&m=order&a=delete_pics");

QJsonObject image(const QString &id, const QString &name, const QString &localPath,
                  const QString &isdownload = QStringLiteral("0"))
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("img_name"), name},
                       {QStringLiteral("localpath"), localPath},
                       {QStringLiteral("isdownload"), isdownload}};
}

QStringList names(const QList<ThumbnailPhoto> &photos)
{
    QStringList result;
    for (const ThumbnailPhoto &photo : photos)
        result << photo.name;
    return result;
}

QStringList gridNames(ThumbnailTableView *grid)
{
    QStringList result;
    for (int i = 0; i < grid->photoCount(); ++i)
        result << grid->photoAt(i).name;
    return result;
}

QMap<QString, QString> orderMap(const QString &orderPhotoId, const QString &delyp, const QString &folder = QString())
{
    return {{QStringLiteral("order_photo_id"), orderPhotoId},
            {QStringLiteral("importPath"), folder},
            {QStringLiteral("shopid"), QStringLiteral("11")},
            {QStringLiteral("orderpayforkey"), QStringLiteral("A%1")},
            {QStringLiteral("servicetimes"), QStringLiteral("1")},
            {QStringLiteral("wname"), QStringLiteral("李娜")},
            {QStringLiteral("mname"), QStringLiteral("张伟")},
            {QStringLiteral("role1name"), QStringLiteral("郑摄影")},
            {QStringLiteral("delyp"), delyp}};
}

} // namespace

class TestOriginalView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mergeOrder_data();
    void mergeOrder();
    void buttonsFollowDeletePermission();
    void narrowHeaderKeepsButtonTexts();
    void staleAnswersAreNotShown();
    void deletesOnServiceThenDisk();
    void refusedAndFailedDeletesAreListed();
    void deletesOnlyInTheOrderFolder();
    void failedSubmissionReturnsToIdle();

private:
    void setStored(const QString &orderPhotoId, const QJsonArray &originals, const QJsonArray &raws);
    OriginalView *openView(const QString &orderPhotoId, int expectedPhotos, const QString &folder);

    FakeOrderService m_fake;
    QTemporaryDir m_dir;
    QList<QDialog *> m_boxes;
};

void TestOriginalView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(10000);
}

void TestOriginalView::init()
{
    m_fake.loadModel(FakeModel::testData());
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.clearRequests();
    m_boxes.clear();
    ModalBox::setHook([this](QDialog *box) {
        m_boxes << box;
        return 0;
    });
}

void TestOriginalView::cleanup()
{
    ModalBox::setHook(nullptr);
    closeDialogs();
}

void TestOriginalView::setStored(const QString &orderPhotoId, const QJsonArray &originals, const QJsonArray &raws)
{
    FakeModel &model = m_fake.modelStore();
    const int index = model.orderIndex(orderPhotoId);
    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    order.insert(QStringLiteral("images_yuanpian"), originals);
    order.insert(QStringLiteral("images_yuanshidang"), raws);
    model.replaceAt(QStringLiteral("orders"), index, order);
}

OriginalView *TestOriginalView::openView(const QString &orderPhotoId, int expectedPhotos, const QString &folder)
{
    auto *view = new OriginalView;
    view->initUi();
    view->resize(900, 600);
    view->show();
    view->setOrder(orderMap(orderPhotoId, QStringLiteral("1"), folder));
    // The caller compares the count: a shortfall shows there.
    (void)QTest::qWaitFor([view, expectedPhotos] { return repliesHandled(view) && view->grid()->photoCount() == expectedPhotos; },
                    10000);
    return view;
}

void TestOriginalView::mergeOrder_data()
{
    QTest::addColumn<QJsonArray>("originals");
    QTest::addColumn<QJsonArray>("raws");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<bool>>("selectable");
    QTest::newRow("originals followed by their raws")
        << QJsonArray{image("1", "a.jpg", ""), image("2", "b.jpg", "")}
        << QJsonArray{image("10", "a.cr2", ""), image("11", "c.nef", "")}
        << QStringList{"a.jpg", "a.cr2", "b.jpg", "c.nef"} << QList<bool>{true, true, true, true};
    QTest::newRow("unmatched raws by id as text")
        << QJsonArray{image("1", "x.jpg", "")} << QJsonArray{image("10", "p.cr2", ""), image("9", "q.cr2", "")}
        << QStringList{"x.jpg", "p.cr2", "q.cr2"} << QList<bool>{true, true, true};
    QTest::newRow("downloaded raw locks its original")
        << QJsonArray{image("1", "a.jpg", ""), image("2", "b.jpg", "")}
        << QJsonArray{image("10", "a.cr2", "", "1")}
        << QStringList{"a.jpg", "a.cr2", "b.jpg"} << QList<bool>{false, false, true};
    QTest::newRow("raw after each original of its base name")
        << QJsonArray{image("1", "a.jpg", ""), image("2", "a.jpeg", "")} << QJsonArray{image("10", "a.cr2", "")}
        << QStringList{"a.jpg", "a.cr2", "a.jpeg", "a.cr2"} << QList<bool>{true, true, true, true};
}

void TestOriginalView::mergeOrder()
{
    QFETCH(QJsonArray, originals);
    QFETCH(QJsonArray, raws);
    QFETCH(QStringList, shown);
    QFETCH(QList<bool>, selectable);
    const QList<ThumbnailPhoto> photos = OriginalsReply::photos(
        QJsonObject{{QStringLiteral("images_yuanpian"), originals}, {QStringLiteral("images_yuanshidang"), raws}});
    QCOMPARE(names(photos), shown);
    QList<bool> actual;
    for (const ThumbnailPhoto &photo : photos) {
        actual << photo.selectable;
        // Raw files show the raw icon, originals their picture.
        QCOMPARE(photo.iconPath.isEmpty(), !photo.name.endsWith(QLatin1String("cr2"))
                                               && !photo.name.endsWith(QLatin1String("nef")));
    }
    QCOMPARE(actual, selectable);
}

void TestOriginalView::buttonsFollowDeletePermission()
{
    OriginalView view;
    view.initUi();
    view.show();
    for (const QString &delyp : {QStringLiteral("0"), QStringLiteral("1"), QString()}) {
        view.setOrder(orderMap(QStringLiteral("301"), delyp));
        QVERIFY(view.findChild<ElementButton *>(QStringLiteral("refreshButton"))->isVisible());
        for (const char *name : {"selectAllButton", "deselectAllButton", "deleteButton"})
            QCOMPARE(view.findChild<ElementButton *>(QLatin1String(name))->isVisible(), delyp == QLatin1String("1"));
    }
    // One arg() call: the "%1" of the order number stays as it is.
    QCOMPARE(view.title(), QStringLiteral("已导入 A%1-1 李娜 张伟 郑摄影"));
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(&view), 10000);
}

// In a laptop-wide import window the heading and the four buttons do not
// all fit: the heading gives way, elided, and every button keeps its text.
void TestOriginalView::narrowHeaderKeepsButtonTexts()
{
    OriginalView view;
    view.initUi();
    view.resize(K::instance()->scale(420), 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QMap<QString, QString> order = orderMap(QStringLiteral("301"), QStringLiteral("1"));
    order.insert(QStringLiteral("orderpayforkey"), QStringLiteral("DD20240315001"));
    view.setOrder(order);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(&view), 10000);
    QTest::qWait(0);
    for (const char *name : {"refreshButton", "selectAllButton", "deselectAllButton", "deleteButton"}) {
        auto *button = view.findChild<ElementButton *>(QLatin1String(name));
        QVERIFY2(button->width() >= button->sizeHint().width(),
                 qPrintable(QStringLiteral("%1: %2 < %3").arg(button->text()).arg(button->width()).arg(button->sizeHint().width())));
    }
    auto *label = view.findChild<QLabel *>(QStringLiteral("titleLabel"));
    const QString whole = QStringLiteral("已导入 DD20240315001-1 李娜 张伟 郑摄影");
    QCOMPARE(view.title(), whole);
    QCOMPARE(label->toolTip(), whole);
    QVERIFY2(label->text() != whole && label->text().endsWith(QChar(0x2026)), qPrintable(label->text()));
    QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) < label->contentsRect().width(),
             qPrintable(QStringLiteral("%1 > %2").arg(label->fontMetrics().horizontalAdvance(label->text())).arg(label->contentsRect().width())));
}

void TestOriginalView::staleAnswersAreNotShown()
{
    setStored(QStringLiteral("301"), QJsonArray{image("1", "old.jpg", "")}, QJsonArray());
    setStored(QStringLiteral("302"), QJsonArray{image("2", "new1.jpg", ""), image("3", "new2.jpg", "")}, QJsonArray());
    OriginalView view;
    view.initUi();
    view.show();

    // The first order's answer is held back until after the second's.
    m_fake.setFault(kPhotos, FakeOrderService::Fault::Delay, QString(), 1500);
    view.setOrder(orderMap(QStringLiteral("301"), QStringLiteral("1")));
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kPhotos).size(), 1, 10000);
    m_fake.clearFaults();
    view.setOrder(orderMap(QStringLiteral("302"), QStringLiteral("1")));
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(&view), 10000);
    QCOMPARE(gridNames(view.grid()), (QStringList{"new1.jpg", "new2.jpg"}));
    const QList<FakeOrderService::Request> sent = m_fake.requestsFor(kPhotos);
    QCOMPARE(sent.size(), 2);
    QVERIFY(sent.at(1).field(QStringLiteral("timestamp")).toLongLong()
            > sent.at(0).field(QStringLiteral("timestamp")).toLongLong());

    // A timestamp sent back as a number is no answer to this view.
    m_fake.setHandler(kPhotos, [](const FakeOrderService::Request &request) {
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                           {QStringLiteral("timestamp"), request.field(QStringLiteral("timestamp")).toDouble()},
                           {QStringLiteral("images_yuanpian"), QJsonArray{image("9", "numeric.jpg", "")}}};
    });
    view.reqPhotoData();
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(&view), 10000);
    QCOMPARE(gridNames(view.grid()), (QStringList{"new1.jpg", "new2.jpg"}));
    QVERIFY(m_boxes.isEmpty());
}

void TestOriginalView::deletesOnServiceThenDisk()
{
    const QString dir = m_dir.filePath(QStringLiteral("delete"));
    for (const char *name : {"原片/a.jpg", "原片/a.jpeg", "原始档/a.cr2", "原片/b.jpg", "90/a.jpg", "1920/a.jpg"})
        QVERIFY(writeFile(dir + QLatin1Char('/') + QString::fromUtf8(name), "x"));
    QJsonObject a = image("1", "a.jpg", dir + QStringLiteral("\\原片\\a.jpg"));
    a.insert(QStringLiteral("localpath_90"), dir + QStringLiteral("/90/a.jpg"));
    a.insert(QStringLiteral("localpath_1920"), dir + QStringLiteral("/1920/a.jpg"));
    setStored(QStringLiteral("301"),
              QJsonArray{a, image("2", "a.jpeg", dir + QStringLiteral("/原片/a.jpeg")),
                         image("3", "b.jpg", dir + QStringLiteral("/原片/b.jpg"))},
              QJsonArray{image("10", "a.cr2", dir + QStringLiteral("/原始档/a.cr2"))});
    OriginalView *view = openView(QStringLiteral("301"), 5, dir);
    QScopedPointer<OriginalView> owner(view);
    QCOMPARE(view->grid()->photoCount(), 5);

    // Nothing selected: nothing is sent.
    view->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QVERIFY(m_fake.requestsFor(kDelete).isEmpty());

    view->findChild<ElementButton *>(QStringLiteral("selectAllButton"))->click();
    QCOMPARE(view->grid()->selectedIndexes().size(), 5);
    view->findChild<ElementButton *>(QStringLiteral("deselectAllButton"))->click();
    QVERIFY(view->grid()->selectedIndexes().isEmpty());
    view->findChild<ElementButton *>(QStringLiteral("selectAllButton"))->click();
    view->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QVERIFY(!view->isIdle());
    QTRY_VERIFY_WITH_TIMEOUT(view->isIdle(), 10000);
    // The raw shown after both originals is one photo: asked for and
    // deleted once.
    QCOMPARE(m_fake.requestsFor(kDelete).size(), 1);
    QCOMPARE(m_fake.requestsFor(kDelete).first().field(QStringLiteral("ids")), QStringLiteral("1,10,2,3"));
    QVERIFY(entries(dir + QStringLiteral("/原片")).isEmpty());
    QVERIFY(entries(dir + QStringLiteral("/原始档")).isEmpty());
    QVERIFY(entries(dir + QStringLiteral("/90")).isEmpty());
    QVERIFY(entries(dir + QStringLiteral("/1920")).isEmpty());
    // All went: no list of failures; the grid is loaded again, now empty.
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kPhotos).size(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(view), 10000);
    QCOMPARE(view->grid()->photoCount(), 0);
    QVERIFY(openDialogs().isEmpty());
}

void TestOriginalView::refusedAndFailedDeletesAreListed()
{
    const QString dir = m_dir.filePath(QStringLiteral("refused"));
    QVERIFY(writeFile(dir + QStringLiteral("/keep/secret.jpg"), "keep"));
    QVERIFY(writeFile(dir + QStringLiteral("/原片/ok.jpg"), "x"));
    setStored(QStringLiteral("302"),
              QJsonArray{image("1", "ok.jpg", dir + QStringLiteral("/原片/ok.jpg")),
                         image("2", "climb.jpg", dir + QStringLiteral("/原片/../keep/secret.jpg")),
                         image("3", "gone.jpg", dir + QStringLiteral("/原片/gone.jpg")),
                         image("4", "nopath.jpg", QString())},
              QJsonArray{image("10", "rel.cr2", QStringLiteral("keep/secret.jpg"))});
    OriginalView *view = openView(QStringLiteral("302"), 5, dir);
    QScopedPointer<OriginalView> owner(view);
    QCOMPARE(view->grid()->photoCount(), 5);
    view->findChild<ElementButton *>(QStringLiteral("selectAllButton"))->click();
    view->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 10000);

    // The photo without a local path is not sent; every other is, and each
    // refusal or failure has its line in the list the user is shown.
    QCOMPARE(m_fake.requestsFor(kDelete).first().field(QStringLiteral("ids")), QStringLiteral("1,2,3,10"));
    const QString text = dialogText(openDialogs().first());
    QVERIFY2(text.startsWith(QStringLiteral("本地文件删除失败，请检查手动删除以下照片！")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("climb.jpg 的路径含有\".\"或\"..\"，未删除")));
    QVERIFY(text.contains(QStringLiteral("gone.jpg 文件不存在")));
    QVERIFY(text.contains(QStringLiteral("rel.cr2 不是完整的文件路径，未删除")));
    QCOMPARE(readFile(dir + QStringLiteral("/keep/secret.jpg")), QByteArray("keep"));
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/原片/ok.jpg")));
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(view), 10000);
}

// Paths the service gives that leave the order's folder, by a linked
// folder or by naming another folder, are not deleted, and the user is
// told which.
void TestOriginalView::deletesOnlyInTheOrderFolder()
{
    const QString dir = m_dir.filePath(QStringLiteral("confined"));
    const HostileTree tree(dir);
    const QString order = dir + QStringLiteral("/order");
    QVERIFY(writeFile(order + QStringLiteral("/原片/own.jpg"), "x"));
    QVERIFY(tree.linkToOutside(order + QStringLiteral("/原始档")));
    setStored(QStringLiteral("301"),
              QJsonArray{image("1", "own.jpg", order + QStringLiteral("\\原片\\own.jpg")),
                         image("2", "other.jpg", dir + QStringLiteral("\\outside\\原片\\IMG_0001.jpg"))},
              QJsonArray{image("10", "victim.cr2", order + QStringLiteral("\\原始档\\victim.jpg"))});
    OriginalView *view = openView(QStringLiteral("301"), 3, order);
    QScopedPointer<OriginalView> owner(view);
    QCOMPARE(view->grid()->photoCount(), 3);
    view->findChild<ElementButton *>(QStringLiteral("selectAllButton"))->click();
    view->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 10000);
    const QString text = dialogText(openDialogs().first());
    QVERIFY2(text.contains(QStringLiteral("other.jpg 文件不在订单目录中，未删除")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("victim.cr2 路径经过链接目录，未删除: ")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("own.jpg")));
    QVERIFY(!QFileInfo::exists(order + QStringLiteral("/原片/own.jpg")));
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
    QTRY_VERIFY_WITH_TIMEOUT(view->isIdle() && repliesHandled(view), 10000);
}

void TestOriginalView::failedSubmissionReturnsToIdle()
{
    const QString dir = m_dir.filePath(QStringLiteral("submission"));
    QVERIFY(writeFile(dir + QStringLiteral("/a.jpg"), "x"));
    setStored(QStringLiteral("301"), QJsonArray{image("1", "a.jpg", dir + QStringLiteral("/a.jpg"))}, QJsonArray());
    OriginalView *view = openView(QStringLiteral("301"), 1, dir);
    QScopedPointer<OriginalView> owner(view);
    QCOMPARE(view->grid()->photoCount(), 1);
    m_fake.setFault(kDelete, FakeOrderService::Fault::CodeZeroMessage, QStringLiteral("无权删除"));
    view->findChild<ElementButton *>(QStringLiteral("selectAllButton"))->click();
    view->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(view->isIdle(), 10000);
    // The service refused: the file stays and the buttons work again.
    QCOMPARE(readFile(dir + QStringLiteral("/a.jpg")), QByteArray("x"));
    m_fake.clearFaults();
    view->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kDelete).size(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(dir + QStringLiteral("/a.jpg")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(view->isIdle() && repliesHandled(view), 10000);
}

QTEST_MAIN(TestOriginalView)
#include "tst_originalview.moc"
