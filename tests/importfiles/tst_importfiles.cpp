// The import window end to end, for originals and for retouched photos:
// real windows against the fake service and real folders. Search, pick,
// import four at a time, per-file status, retry, the batch report and the
// service's answer, stop with copies under way, and the results of copies
// that belong to a pick no longer shown.

#include <memory>

#include <QComboBox>
#include <QMouseEvent>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "base/basereq.h"
#include "base/fileops.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "base/pathutil.h"
#include "importfiles/importfiles.h"
#include "importfiles/importfiletablemodel.h"
#include "importfiles/originalview.h"
#include "public/elementbutton.h"
#include "public/thumbnailtableview.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/importfiles/importfixture.h"
#include "tests/support/hostiletree.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

using namespace ImportFixture;

namespace {

const QString kBatch = QStringLiteral("&m=order&a=savepicpath_batch");
const QString kFolder = QStringLiteral("&m=order&a=saveorderphotopath");
const QString kOrderList = QStringLiteral("&m=order&a=order_list");

struct Box
{
    QString title;
    QString text;
};

QList<Box> s_boxes;
// Answers for boxes with a Cancel or a No button, in order; OK when none
// is left (for a close question: not Yes).
QList<int> s_answers;
std::function<void()> s_onQuestion;
QList<QStringList> s_picks;

// Copy jobs held at one checkpoint until the test lets them go or the run
// cancels them.
std::atomic_int s_held{0};
std::atomic_bool s_release{false};

void holdAt(ImportFileCopyRunnable::Checkpoint where)
{
    s_held = 0;
    s_release = false;
    ImportFileCopyRunnable::setCheckpointHook(
        [where](ImportFileCopyRunnable::Checkpoint point, const ImportFile &, const std::atomic_bool &cancel) {
            if (point != where)
                return;
            ++s_held;
            for (int waited = 0; waited < 20000 && !cancel && !s_release; ++waited)
                QThread::msleep(1);
        });
}

QStringList boxTexts()
{
    QStringList texts;
    for (const Box &box : s_boxes)
        texts << box.text;
    return texts;
}

QString field(const FakeOrderService::Request &request, const char *name)
{
    return request.field(QLatin1String(name));
}

QStringList repeated(int count, const QString &text)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

QStringList statuses(ImportFiles *window)
{
    QStringList result;
    ImportFileTableModel *model = window->fileTableModel();
    for (int row = 0; row < model->rowCount(); ++row)
        result << model->data(model->index(row, 1)).toString();
    return result;
}

} // namespace

class TestImportFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void originalsImportReportAndRetry();
    void retouchedMismatchAndReimportNames();
    void stopWithCopiesUnderWay();
    void reimportOfTheLastOrderEndsWithItsBox();
    void closeMidRunAsksAndHolds();
    void closeCutsOrderShortAndNextRunRedoes();
    void reportAnswersAndResubmission();
    void resultsOfAnotherPickAreDropped();
    void retryCompletingAnotherOrderReportsIt();
    void samePickNamesAndBusyRetryRefused();
    void oneReportPerOrderAtATime();
    void hostileOrderListAndNoShop();
    void hostileOrderFolders_data();
    void hostileOrderFolders();
    void originalsDeletedOnlyInTheOrderFolder();
    void panesAndOrderNumbersAtScreenSizes();
    void originalsFollowEachImport();
    void orderColumnsFitTheScreen_data();
    void orderColumnsFitTheScreen();
    void longSearchArrivesInSlices();

private:
    ImportFiles *openWindow(int type);
    void search(ImportFiles *window, int rows);
    void pick(ImportFiles *window, int row, const QStringList &files);
    QPushButton *rowButton(ImportFiles *window, int row, const char *name);
    void clickRetry(ImportFiles *window, int fileRow);
    QString camera(const QString &name, int size);
    // count raw files "RAW_<i>.CR2" on the card, of firstSize + i bytes.
    QStringList cameraRaws(int count, int firstSize);
    QString orderFolder(ImportFiles *window, int row);

    FakeOrderService m_fake;
    QTemporaryDir m_dir;
    QString m_share;
    QString m_card;
};

void TestImportFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    g_enterpriseId = QStringLiteral("6601");
    BaseReq::setTransferTimeout(10000);
    ModalBox::setHook([](QDialog *dialog) {
        Box box{dialog->windowTitle(), QString()};
        auto *message = qobject_cast<QMessageBox *>(dialog);
        if (message)
            box.text = message->text();
        s_boxes << box;
        if (message && (message->standardButtons() & (QMessageBox::Cancel | QMessageBox::No))) {
            if (s_onQuestion)
                s_onQuestion();
            return s_answers.isEmpty() ? int(QMessageBox::Ok) : s_answers.takeFirst();
        }
        return int(QMessageBox::Ok);
    });
    ModalBox::setFilesHook([](QWidget *, const QString &, const QString &) {
        return s_picks.isEmpty() ? QStringList() : s_picks.takeFirst();
    });
}

void TestImportFiles::init()
{
    static int round = 0;
    const QString base = m_dir.filePath(QStringLiteral("round%1").arg(++round));
    m_share = base + QStringLiteral("/share");
    m_card = base + QStringLiteral("/card");
    QVERIFY(QDir().mkpath(m_share));
    QVERIFY(QDir().mkpath(m_card));
    s_boxes.clear();
    s_answers.clear();
    s_onQuestion = nullptr;
    s_picks.clear();
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()},
                  ShopInfo{QStringLiteral("12"), QStringLiteral("二号店"), QString()}};

    m_fake.loadModel(FakeModel::testData());
    FakeModel &model = m_fake.modelStore();
    QJsonArray orders = model.list(QStringLiteral("orders"));
    // A third order of the first shop, with nothing picked in most tests.
    QJsonObject third = orders.at(1).toObject();
    third.insert(QStringLiteral("id"), QStringLiteral("4"));
    third.insert(QStringLiteral("order_photo_id"), QStringLiteral("304"));
    third.insert(QStringLiteral("orderpayforkey"), QStringLiteral("A20240612003"));
    orders.append(third);
    for (int i = 0; i < orders.size(); ++i) {
        QJsonObject order = orders.at(i).toObject();
        order.insert(QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), m_share}});
        order.insert(QStringLiteral("number_yuanpian"), QStringLiteral("0"));
        order.insert(QStringLiteral("images"),
                     QJsonArray{QJsonObject{{QStringLiteral("img_name"), QStringLiteral("IMG_1.JPG")}},
                                QJsonObject{{QStringLiteral("img_name"), QStringLiteral("IMG_2.jpg")}}});
        orders.replace(i, order);
    }
    model.setList(QStringLiteral("orders"), orders);
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.clearRequests();
}

void TestImportFiles::cleanup()
{
    s_release = true;
    closeDialogs();
    ImportFileCopyRunnable::setCheckpointHook(nullptr);
}

ImportFiles *TestImportFiles::openWindow(int type)
{
    auto *window = new ImportFiles;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setImportType(type);
    window->resize(1400, 900);
    window->show();
    return window;
}

void TestImportFiles::search(ImportFiles *window, int rows)
{
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->orderList().size(), rows, 10000);
}

QPushButton *TestImportFiles::rowButton(ImportFiles *window, int row, const char *name)
{
    QWidget *strip = window->orderTable()->cellWidget(row, window->headers().indexOf(QStringLiteral("操作")));
    return strip ? strip->findChild<QPushButton *>(QLatin1String(name)) : nullptr;
}

void TestImportFiles::pick(ImportFiles *window, int row, const QStringList &files)
{
    s_picks << files;
    QPushButton *button = rowButton(window, row, "selectFilesButton");
    QVERIFY(button);
    button->click();
}

void TestImportFiles::clickRetry(ImportFiles *window, int fileRow)
{
    QTableView *view = window->fileTable();
    const QRect cell = view->visualRect(window->fileTableModel()->index(fileRow, 2));
    QVERIFY(cell.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

QString TestImportFiles::camera(const QString &name, int size)
{
    const QString path = m_card + QLatin1Char('/') + name;
    if (name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
        JpegFixture::writeUprightQuadrants(path, 60, 40, 6);
    else
        writeFile(path, QByteArray(size, 'r'));
    return path;
}

QStringList TestImportFiles::cameraRaws(int count, int firstSize)
{
    QStringList raws;
    for (int i = 0; i < count; ++i)
        raws << camera(QStringLiteral("RAW_%1.CR2").arg(i), firstSize + i);
    return raws;
}

QString TestImportFiles::orderFolder(ImportFiles *window, int row)
{
    return PathUtil::toFs(window->orderList().at(row).importPath);
}

void TestImportFiles::originalsImportReportAndRetry()
{
    const QStringList picked{camera("IMG_1.jpg", 0),      camera("IMG_1.CR2", 300000), camera("IMG_2.JPG", 0),
                             camera("IMG_2.CR2", 300001), camera("a+b&c%41.jpg", 0),   camera("BAD.jpg", 0)};
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    QCOMPARE(window->headers(), (QStringList{"订单号", "男姓名", "女姓名", "摄影师", "已导原片", "已导原始档", "化妆师",
                                             "本次已选", "照片状态", "操作", "导片路径"}));
    QCOMPARE(window->cellText(0, "订单号"), QStringLiteral("A20240507001-1"));
    QCOMPARE(window->cellText(0, "男姓名"), QStringLiteral("张伟"));
    QCOMPARE(window->cellText(0, "已导原片"), QStringLiteral("0"));
    QCOMPARE(window->cellText(0, "本次已选"), QStringLiteral("0"));
    pick(window, 0, picked);
    pick(window, 2, {camera("IMG_9.jpg", 0)});
    QCOMPARE(window->cellText(0, "本次已选"), QStringLiteral("6"));
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("已选择"));
    QCOMPARE(window->cellText(1, "照片状态"), QStringLiteral("未选择"));
    const QString folder = orderFolder(window, 0);
    QVERIFY(folder.startsWith(m_share + QStringLiteral("/2024/05/07/A20240507001-1_")));
    QCOMPARE(window->cellText(0, "导片路径"), window->orderList().at(0).importPath);
    QVERIFY(QFileInfo(folder + QStringLiteral("/原片")).isDir());
    QVERIFY(QFileInfo(folder + QStringLiteral("/原始档")).isDir());
    window->orderTable()->selectRow(0);
    QCOMPARE(statuses(window), repeated(6, QStringLiteral("等待导入")));
    QVERIFY(QFile::remove(m_card + QStringLiteral("/BAD.jpg")));

    // The branch combo speaks for the next search only: a search of the
    // other branch that finds nothing leaves the listed orders, and their
    // reports, to the branch they were listed under.
    window->findChild<QComboBox *>(QStringLiteral("branchCombo"))->setCurrentIndex(1);
    window->findChild<QLineEdit *>(QStringLiteral("keywordEdit"))->setText(QStringLiteral("没有这个订单"));
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("未检索到订单")), 10000);
    QCOMPARE(window->orderList().size(), 3);
    QCOMPARE(window->orderList().at(0).files.size(), 6);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QVERIFY(window->isImporting());
    QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->text(), QStringLiteral("停止导入"));
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    QVERIFY(!window->isImporting());
    QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->text(), QStringLiteral("开始全部导入"));

    QCOMPARE(entries(folder + QStringLiteral("/原片")), (QStringList{"IMG_1.jpg", "IMG_2.JPG", "a+b&c%41.jpg"}));
    QCOMPARE(entries(folder + QStringLiteral("/原始档")), (QStringList{"IMG_1.CR2", "IMG_2.CR2"}));
    QCOMPARE(readFile(folder + QStringLiteral("/原始档/IMG_2.CR2")), readFile(m_card + QStringLiteral("/IMG_2.CR2")));
    QCOMPARE(readFile(folder + QStringLiteral("/原片/a+b&c%41.jpg")), readFile(m_card + QStringLiteral("/a+b&c%41.jpg")));
    QStringList expected = repeated(5, QStringLiteral("导入成功"));
    expected << QStringLiteral("原文件不存在: ") + m_card + QStringLiteral("/BAD.jpg");
    QCOMPARE(statuses(window), expected);
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("成功:5, 失败:1"));
    QCOMPARE(window->cellText(2, "照片状态"), QStringLiteral("导入完成"));
    QCOMPARE(window->cellText(1, "照片状态"), QStringLiteral("未选择"));

    // One report per order with files, the empty one passed over.
    const QList<FakeOrderService::Request> batch = m_fake.requestsFor(kBatch);
    QCOMPARE(batch.size(), 2);
    const FakeOrderService::Request &first = batch.first();
    QStringList names;
    for (const auto &pair : first.fields)
        names << pair.first;
    QCOMPARE(names.mid(0, 11), (QStringList{"shopid", "imgnames", "rawimgnames", "type", "order_photo_id", "eid",
                                            "superid", "personid", "person_id", "orderid", "localpath"}));
    QCOMPARE(field(first, "shopid"), QStringLiteral("11"));
    QCOMPARE(field(first, "type"), QStringLiteral("1"));
    QCOMPARE(field(first, "order_photo_id"), QStringLiteral("301"));
    QCOMPARE(field(first, "orderid"), QStringLiteral("1"));
    QCOMPARE(field(first, "eid"), QStringLiteral("7001"));
    QCOMPARE(field(first, "person_id"), QStringLiteral("7001"));
    QCOMPARE(field(first, "personid"), QStringLiteral("7001"));
    QCOMPARE(field(first, "superid"), QStringLiteral("9001"));
    QCOMPARE(field(first, "localpath"), window->orderList().at(0).importPath);
    const QString jpegSize = QString::number(QFileInfo(m_card + QStringLiteral("/IMG_1.jpg")).size());
    QCOMPARE(listed(field(first, "imgnames")).keys(), (QStringList{"IMG_1.jpg", "IMG_2.JPG", "a+b&c%41.jpg"}));
    QCOMPARE(listed(field(first, "imgnames")).value(QStringLiteral("IMG_1.jpg")), jpegSize);
    QCOMPARE(listed(field(first, "rawimgnames")),
             (QMap<QString, QString>{{"IMG_1.CR2", "300000"}, {"IMG_2.CR2", "300001"}}));
    QCOMPARE(field(batch.at(1), "order_photo_id"), QStringLiteral("304"));
    QCOMPARE(window->cellText(0, "已导原片"), QStringLiteral("3"));
    QCOMPARE(window->cellText(0, "已导原始档"), QStringLiteral("2"));
    // The folder is reported once, with the first file.
    QList<FakeOrderService::Request> folders;
    for (const FakeOrderService::Request &request : m_fake.requestsFor(kFolder)) {
        if (field(request, "order_photo_id") == QLatin1String("301"))
            folders << request;
    }
    QCOMPARE(folders.size(), 1);
    QCOMPARE(field(folders.first(), "path"), window->orderList().at(0).importPath);
    QCOMPARE(field(folders.first(), "person_id"), QStringLiteral("6601"));
    QCOMPARE(field(folders.first(), "shopid"), QStringLiteral("11"));

    // The failed file is imported again from its row once its source is back;
    // the order is then complete again and reported again.
    camera(QStringLiteral("BAD.jpg"), 0);
    clickRetry(window, 5);
    QTRY_COMPARE_WITH_TIMEOUT(statuses(window).at(5), QStringLiteral("导入成功"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kBatch).size(), 3, 10000);
    QCOMPARE(field(m_fake.requestsFor(kBatch).last(), "order_photo_id"), QStringLiteral("301"));
    QTRY_COMPARE_WITH_TIMEOUT(window->cellText(0, "已导原片"), QStringLiteral("4"), 10000);
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("导入完成"));
    QVERIFY(!window->isImporting());

    // The originals view shows what the service now holds, each original
    // followed by its raw file.
    OriginalView *originals = window->originals();
    QVERIFY(originals);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(originals) && repliesHandled(window), 10000);
    originals->findChild<ElementButton *>(QStringLiteral("refreshButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(originals->grid()->photoCount(), 6, 10000);
    QStringList shown;
    for (int i = 0; i < 6; ++i)
        shown << originals->grid()->photoAt(i).name;
    QCOMPARE(shown.indexOf(QStringLiteral("IMG_1.CR2")), shown.indexOf(QStringLiteral("IMG_1.jpg")) + 1);
    QCOMPARE(shown.indexOf(QStringLiteral("IMG_2.CR2")), shown.indexOf(QStringLiteral("IMG_2.JPG")) + 1);
    QVERIFY(shown.contains(QStringLiteral("a+b&c%41.jpg")));

    // Everything copied: a start finds nothing to do and leaves the window idle.
    s_boxes.clear();
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("请先为订单选择要导入的文件")});
    QVERIFY(!window->isImporting());
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::retouchedMismatchAndReimportNames()
{
    QPointer<ImportFiles> window = openWindow(Retouched);
    search(window, 3);
    QCOMPARE(window->headers().size(), 10);
    QCOMPARE(window->headers().at(4), QStringLiteral("已导精修"));
    QVERIFY(!window->headers().contains(QStringLiteral("已导原始档")));
    QVERIFY(!window->originals());
    window->orderTable()->selectRow(0);

    // The customer's own selection is taken without a question.
    pick(window, 0, {camera("IMG_1.jpg", 0)});
    QCOMPARE(window->orderList().at(0).files.size(), 1);
    QVERIFY(openDialogs().isEmpty());
    QVERIFY(QFileInfo(orderFolder(window, 0) + QStringLiteral("/精修片")).isDir());

    // A name the customer did not select is asked about; Cancel leaves the
    // earlier pick, its cells and the file table as they were.
    const QStringList second{camera("IMG_2.jpg", 0), camera("other.JPG", 0)};
    pick(window, 0, second);
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 10000);
    const QString question = dialogText(openDialogs().first());
    QVERIFY(question.startsWith(QStringLiteral("要上传的精修照片与客人选中的照片名不一致，确认要继续上传吗？")));
    QVERIFY(question.endsWith(QStringLiteral("下列是不一致的照片：\nother.JPG")));
    answer(openDialogs().first(), false);
    QTRY_VERIFY_WITH_TIMEOUT(openDialogs().isEmpty(), 10000);
    QCOMPARE(window->orderList().at(0).files.size(), 1);
    QCOMPARE(window->orderList().at(0).files.first().baseName, QStringLiteral("IMG_1"));
    QCOMPARE(window->cellText(0, "本次已选"), QStringLiteral("1"));
    QCOMPARE(window->fileTableModel()->rowCount(), 1);

    pick(window, 0, second);
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 10000);
    answer(openDialogs().first(), true);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderList().value(0).files.size(), 2, 10000);
    QCOMPARE(window->cellText(0, "本次已选"), QStringLiteral("2"));
    QCOMPARE(window->fileTableModel()->rowCount(), 2);
    pick(window, 1, {camera("IMG_1.jpg", 0)});

    // The service wants two names again: shown escaped, and the run stops
    // before the next order.
    FakeModel &model = m_fake.modelStore();
    QJsonObject order = model.order(QStringLiteral("301"));
    order.insert(QStringLiteral("reimport"),
                 QJsonObject{{QStringLiteral("local_imgnames"), QJsonArray{QStringLiteral("<b>x</b>.jpg")}},
                             {QStringLiteral("server_imgnames"), QJsonArray{QStringLiteral("y&z.jpg")}}});
    model.replaceAt(QStringLiteral("orders"), model.orderIndex(QStringLiteral("301")), order);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 20000);
    QVERIFY(!window->isImporting());
    const QString shown = dialogText(openDialogs().first());
    QVERIFY2(shown.contains(QStringLiteral("以下精修照片需要重新导入:")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("<b>x</b>.jpg")));
    QVERIFY(shown.contains(QStringLiteral("y&z.jpg")));
    const QList<FakeOrderService::Request> batch = m_fake.requestsFor(kBatch);
    QCOMPARE(batch.size(), 1);
    QCOMPARE(field(batch.first(), "type"), QStringLiteral("5"));
    QVERIFY(!batch.first().hasField(QStringLiteral("rawimgnames")));
    // The pick taken replaced the earlier one.
    QCOMPARE(listed(field(batch.first(), "imgnames")).keys(), (QStringList{"IMG_2.jpg", "other.JPG"}));
    QCOMPARE(window->cellText(0, "已导精修"), QStringLiteral("2"));
    QCOMPARE(window->orderList().at(1).files.first().status, int(Waiting));
    QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->text(), QStringLiteral("开始全部导入"));
    // The run's end is said once the dialog has gone: another order still
    // waits, so it is a stop, not the end.
    const int boxesBefore = s_boxes.size();
    answer(openDialogs().first(), true);
    QTRY_COMPARE_WITH_TIMEOUT(s_boxes.size(), boxesBefore + 1, 10000);
    QCOMPARE(boxTexts().last(), QStringLiteral("导入已停止：订单 A20240507001-1 有文件需要重新导入。\n"
                                               "还有 1 个订单的文件没有导入，点击“开始全部导入”继续。"));

    // A new start goes on with what is left: the second order.
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 2);
    QCOMPARE(field(m_fake.requestsFor(kBatch).last(), "order_photo_id"), QStringLiteral("302"));
    QCOMPARE(entries(orderFolder(window, 1) + QStringLiteral("/精修片")), QStringList{"IMG_1.jpg"});
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::stopWithCopiesUnderWay()
{
    QStringList raws;
    for (int i = 0; i < 8; ++i)
        raws << camera(QStringLiteral("RAW_%1.CR2").arg(i), 3 * 1024 * 1024 + i);
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    pick(window, 0, raws);
    window->orderTable()->selectRow(0);
    const QString folder = orderFolder(window, 0) + QStringLiteral("/原始档");
    // Two of them were imported before: their copies must survive a stop.
    QVERIFY(writeFile(folder + QStringLiteral("/RAW_0.CR2"), "old0"));
    QVERIFY(writeFile(folder + QStringLiteral("/RAW_1.CR2"), "old1"));

    // Four copies are written in full and wait before their rename.
    holdAt(ImportFileCopyRunnable::CopyWritten);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 4, 20000);
    QCOMPARE(window->jobsInFlight(), 8);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QVERIFY(!window->isImporting());
    QTRY_COMPARE_WITH_TIMEOUT(window->jobsInFlight(), 0, 10000);
    QCOMPARE(s_held.load(), 4);
    QCOMPARE(entries(folder), (QStringList{"RAW_0.CR2", "RAW_1.CR2"}));
    QCOMPARE(readFile(folder + QStringLiteral("/RAW_0.CR2")), QByteArray("old0"));
    QCOMPARE(readFile(folder + QStringLiteral("/RAW_1.CR2")), QByteArray("old1"));
    QCOMPARE(statuses(window), repeated(8, QStringLiteral("等待导入")));
    QVERIFY(m_fake.requestsFor(kBatch).isEmpty());

    // The next start copies everything and replaces the old copies.
    ImportFileCopyRunnable::setCheckpointHook(nullptr);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    QCOMPARE(entries(folder).size(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(QFileInfo(folder + QStringLiteral("/RAW_%1.CR2").arg(i)).size(), qint64(3 * 1024 * 1024 + i));
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 1);

    // Closing the window with copies under way asks; 是 waits for them and
    // nothing is left half written.
    pick(window, 2, raws.mid(0, 3));
    const QString other = orderFolder(window, 2) + QStringLiteral("/原始档");
    holdAt(ImportFileCopyRunnable::CopyWritten);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 3, 20000);
    s_answers = {int(QMessageBox::Yes)};
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
    QVERIFY(boxTexts().last().startsWith(QStringLiteral("订单A20240612003-1的导入还在进行")));
    QVERIFY(entries(other).isEmpty());
}

// The demo's order DR20240601002, whose report asks once for two files to be
// imported again: after the dialog that names them, the run ends with its
// box as any run does.
void TestImportFiles::reimportOfTheLastOrderEndsWithItsBox()
{
    QFile demo(QFINDTESTDATA("../fakeservice/demo/importfiles.json"));
    QVERIFY(demo.open(QIODevice::ReadOnly));
    QJsonObject order;
    for (const QJsonValue &value : QJsonDocument::fromJson(demo.readAll()).object().value(QStringLiteral("orders")).toArray()) {
        if (value.toObject().value(QStringLiteral("orderpayforkey")).toString() == QStringLiteral("DR20240601002"))
            order = value.toObject();
    }
    QVERIFY(order.contains(QStringLiteral("reimport")));
    // In the test's branch and share.
    order.insert(QStringLiteral("shopid"), QStringLiteral("11"));
    order.insert(QStringLiteral("netpath"), QString());
    order.insert(QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), m_share}});
    FakeModel &model = m_fake.modelStore();
    QJsonArray orders = model.list(QStringLiteral("orders"));
    orders.append(order);
    model.setList(QStringLiteral("orders"), orders);

    QPointer<ImportFiles> window = openWindow(Originals);
    window->findChild<QLineEdit *>(QStringLiteral("keywordEdit"))->setText(QStringLiteral("DR20240601002"));
    search(window, 1);
    pick(window, 0, {camera("IMG_2001.JPG", 0), camera("IMG_2001.CR2", 2000), camera("IMG_2002.JPG", 0),
                     camera("IMG_2002.CR2", 2001)});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 20000);
    const QString shown = dialogText(openDialogs().first());
    QVERIFY2(shown.contains(QStringLiteral("DR20240601002-1")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("IMG_2002.JPG")));
    QVERIFY(shown.contains(QStringLiteral("IMG_2002.CR2")));
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("导入完成"));
    // No box over the dialog: the end follows it.
    QVERIFY(!boxTexts().contains(QStringLiteral("导入完成！")));
    answer(openDialogs().first(), true);
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts(), QStringList{QStringLiteral("导入完成！")}, 10000);
    QVERIFY(!window->isImporting());
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);

    // The files imported again: a plain end, the service asks no more.
    pick(window, 0, {camera("IMG_2002.JPG", 0), camera("IMG_2002.CR2", 2001)});
    s_boxes.clear();
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts(), QStringList{QStringLiteral("导入完成！")}, 20000);
    QVERIFY(openDialogs().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

// A close mid-run asks, and the run holds while it asks: copies under way
// finish and are recorded, none starts, the finished order is neither
// reported nor ended with its box. 否 goes on where it held.
void TestImportFiles::closeMidRunAsksAndHolds()
{
    const QStringList raws = cameraRaws(6, 200000);
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);

    // Six files, four copying (held before their rename), two queued.
    pick(window, 0, raws);
    window->orderTable()->selectRow(0);
    holdAt(ImportFileCopyRunnable::CopyWritten);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 4, 20000);
    bool asked = false;
    s_onQuestion = [&]() {
        asked = true;
        s_release = true;
        QTRY_COMPARE(statuses(window).count(QStringLiteral("导入成功")), 4);
        QTest::qWait(300);
        QCOMPARE(window->jobsInFlight(), 0);
        QCOMPARE(statuses(window).count(QStringLiteral("等待导入")), 2);
        QCOMPARE(s_held.load(), 4);
    };
    s_answers = {int(QMessageBox::No)};
    window->close();
    QVERIFY(asked);
    QVERIFY(window);
    QVERIFY(boxTexts().last().startsWith(QStringLiteral("订单A20240507001-1的导入还在进行（已完成 0/6 个文件）")));
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    QCOMPARE(statuses(window), repeated(6, QStringLiteral("导入成功")));
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 1);

    // Four files, all copying: they finish while the question is open, and
    // the order waits for the answer before it is reported.
    pick(window, 2, raws.mid(0, 4));
    window->orderTable()->selectRow(2);
    holdAt(ImportFileCopyRunnable::CopyWritten);
    s_boxes.clear();
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 4, 20000);
    s_onQuestion = [&]() {
        s_release = true;
        QTRY_COMPARE(window->cellText(2, "照片状态"), QStringLiteral("导入完成"));
        QTest::qWait(500);
        QCOMPARE(m_fake.requestsFor(kBatch).size(), 1);
        QCOMPARE(s_boxes.size(), 1);
        QVERIFY(window->isImporting());
    };
    s_answers = {int(QMessageBox::No)};
    window->close();
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts().last(), QStringLiteral("导入完成！"), 20000);
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 2);
    QCOMPARE(field(m_fake.requestsFor(kBatch).last(), "order_photo_id"), QStringLiteral("304"));
    QVERIFY(window);
    s_onQuestion = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

// 是 stops the run: running copies are cancelled and waited for, the order
// keeps its note. The next window's run of the order keeps what the cut
// run copied, copies the rest, says so, and the note goes.
void TestImportFiles::closeCutsOrderShortAndNextRunRedoes()
{
    const QStringList raws = cameraRaws(8, 300000);
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    pick(window, 0, raws);
    const QString folder = orderFolder(window, 0);
    const QString note = folder + QStringLiteral("/导入未完成.txt");
    // The first four are copied; the last four wait before their rename.
    s_held = 0;
    s_release = false;
    ImportFileCopyRunnable::setCheckpointHook(
        [](ImportFileCopyRunnable::Checkpoint point, const ImportFile &file, const std::atomic_bool &cancel) {
            if (point != ImportFileCopyRunnable::CopyWritten || file.fileIndex < 4)
                return;
            ++s_held;
            for (int waited = 0; waited < 20000 && !cancel && !s_release; ++waited)
                QThread::msleep(1);
        });
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 4, 20000);
    // The held copies' temporary files lie beside them, under other names.
    const QStringList copied = QDir(folder + QStringLiteral("/原始档")).entryList({QStringLiteral("*.CR2")}, QDir::Files);
    QCOMPARE(copied.size(), 4);
    QVERIFY(QFileInfo(note).isFile());
    QMap<QString, QDateTime> written;
    for (const QString &name : copied)
        written.insert(name, QFileInfo(folder + QStringLiteral("/原始档/") + name).lastModified());

    s_answers = {int(QMessageBox::Yes)};
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
    QCOMPARE(written.keys(), (QStringList{"RAW_0.CR2", "RAW_1.CR2", "RAW_2.CR2", "RAW_3.CR2"}));
    QCOMPARE(entries(folder + QStringLiteral("/原始档")), written.keys());
    QVERIFY(m_fake.requestsFor(kBatch).isEmpty());
    // The folder says the order is not finished.
    QVERIFY(QFileInfo(note).isFile());
    QVERIFY(QString::fromUtf8(readFile(note)).contains(QStringLiteral("导入还没有完成")));
    ImportFileCopyRunnable::setCheckpointHook(nullptr);

    // The next run, in a new window, the same files picked.
    s_boxes.clear();
    window = openWindow(Originals);
    search(window, 3);
    pick(window, 0, raws);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts().size(), 1, 20000);
    QCOMPARE(boxTexts().first(), QStringLiteral("导入完成！\n\n订单 A20240507001-1 上次导入被中断：本次补齐 4 个文件，"
                                                "上次已导入的 4 个文件保留"));
    QCOMPARE(entries(folder + QStringLiteral("/原始档")).size(), 8);
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        QCOMPARE(QFileInfo(folder + QStringLiteral("/原始档/") + it.key()).lastModified(), it.value());
    for (int i = 0; i < 8; ++i)
        QCOMPARE(QFileInfo(folder + QStringLiteral("/原始档/RAW_%1.CR2").arg(i)).size(), qint64(300000 + i));
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 1);
    QCOMPARE(listed(field(m_fake.requestsFor(kBatch).first(), "rawimgnames")).size(), 8);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(note), 10000);

    // A run of the same order again, with nothing cut short: a plain end.
    pick(window, 0, raws.mid(0, 2));
    s_boxes.clear();
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts(), QStringList{QStringLiteral("导入完成！")}, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window) && !QFileInfo::exists(note), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::reportAnswersAndResubmission()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    pick(window, 0, {camera("IMG_1.jpg", 0)});
    pick(window, 2, {camera("IMG_9.jpg", 0)});

    // No usable answer: asked, and OK sends the same order again.
    m_fake.setFault(kBatch, FakeOrderService::Fault::InvalidJson);
    s_onQuestion = [this]() { m_fake.clearFaults(); };
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    QVERIFY(boxTexts().contains(QStringLiteral("网络不好，是否重新提交？如果取消，会停止导入。")));
    QList<FakeOrderService::Request> batch = m_fake.requestsFor(kBatch);
    QCOMPARE(batch.size(), 3);
    QCOMPARE(field(batch.at(0), "order_photo_id"), QStringLiteral("301"));
    QCOMPARE(field(batch.at(1), "order_photo_id"), QStringLiteral("301"));
    QCOMPARE(field(batch.at(2), "order_photo_id"), QStringLiteral("304"));

    // Refused with a reason: Cancel stops the run before the next order.
    pick(window, 0, {camera("IMG_2.jpg", 0)});
    pick(window, 2, {camera("IMG_8.jpg", 0)});
    m_fake.setFault(kBatch, FakeOrderService::Fault::CodeZeroMsg, QStringLiteral("服务器忙"));
    s_onQuestion = nullptr;
    s_answers = {int(QMessageBox::Cancel)};
    s_boxes.clear();
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("服务器忙 是否重新提交?")), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isImporting() && repliesHandled(window), 10000);
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 4);
    QCOMPARE(window->orderList().at(2).files.first().status, int(Waiting));
    QVERIFY(!boxTexts().contains(QStringLiteral("导入完成！")));

    // An answer that comes after a stop is only recorded.
    m_fake.clearFaults();
    m_fake.setFault(kBatch, FakeOrderService::Fault::Delay, QString(), 1500);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kBatch).size(), 5, 20000);
    QCOMPARE(window->runRow(), 2);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    QCOMPARE(window->cellText(2, "已导原片"), QStringLiteral("2"));
    QVERIFY(!window->isImporting());
    QVERIFY(!boxTexts().contains(QStringLiteral("导入完成！")));
    QVERIFY(openDialogs().isEmpty());
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::resultsOfAnotherPickAreDropped()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    window->orderTable()->selectRow(0);
    pick(window, 0, {camera("IMG_1.jpg", 0), m_card + QStringLiteral("/LATE.jpg")});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    QCOMPARE(statuses(window).at(1).left(6), QStringLiteral("原文件不存在"));
    const int reports = m_fake.requestsFor(kBatch).size();

    // A retry under way when the same files are picked again: its result
    // is for the earlier pick, so the new one still waits for its copies.
    camera(QStringLiteral("LATE.jpg"), 0);
    holdAt(ImportFileCopyRunnable::TargetChecked);
    clickRetry(window, 1);
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 1, 10000);
    pick(window, 0, {m_card + QStringLiteral("/IMG_1.jpg"), m_card + QStringLiteral("/LATE.jpg")});
    s_release = true;
    QTRY_COMPARE_WITH_TIMEOUT(window->jobsInFlight(), 0, 10000);
    QCOMPARE(statuses(window), repeated(2, QStringLiteral("等待导入")));
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("已选择"));
    QCOMPARE(m_fake.requestsFor(kBatch).size(), reports);

    // The same when the order's files are cleared.
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isImporting() && repliesHandled(window), 20000);
    QVERIFY(QFile::remove(m_card + QStringLiteral("/LATE.jpg")));
    pick(window, 0, {m_card + QStringLiteral("/IMG_1.jpg"), m_card + QStringLiteral("/LATE.jpg")});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isImporting() && statuses(window).size() == 2
                                 && statuses(window).at(1).startsWith(QStringLiteral("原文件不存在")),
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    const int reportsBeforeClear = m_fake.requestsFor(kBatch).size();
    camera(QStringLiteral("LATE.jpg"), 0);
    holdAt(ImportFileCopyRunnable::TargetChecked);
    clickRetry(window, 1);
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 1, 10000);
    rowButton(window, 0, "clearFilesButton")->click();
    s_release = true;
    QTRY_COMPARE_WITH_TIMEOUT(window->jobsInFlight(), 0, 10000);
    QVERIFY(window->orderList().at(0).files.isEmpty());
    QCOMPARE(window->cellText(0, "本次已选"), QStringLiteral("0"));
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("未选择"));
    QCOMPARE(window->fileTableModel()->rowCount(), 0);
    QCOMPARE(m_fake.requestsFor(kBatch).size(), reportsBeforeClear);

    // A retry under way when a new search lists the orders again: the
    // search stops it first, and the new rows start clean.
    pick(window, 0, {camera("IMG_1.jpg", 0), m_card + QStringLiteral("/LATER.jpg")});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isImporting() && statuses(window).size() == 2
                                 && statuses(window).at(1).startsWith(QStringLiteral("原文件不存在")),
                             20000);
    camera(QStringLiteral("LATER.jpg"), 0);
    holdAt(ImportFileCopyRunnable::TargetChecked);
    clickRetry(window, 1);
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 1, 10000);
    m_fake.clearRequests();
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kOrderList).size(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window) && window->jobsInFlight() == 0, 10000);
    QCOMPARE(window->orderList().size(), 3);
    for (const ImportOrder &order : window->orderList())
        QVERIFY(order.files.isEmpty());
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("未选择"));
    QVERIFY(m_fake.requestsFor(kBatch).isEmpty());
    // The cancelled retry left no file under the name.
    QVERIFY(!QFileInfo::exists(orderFolder(window, 0) + QStringLiteral("/原片/LATER.jpg")));
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::retryCompletingAnotherOrderReportsIt()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    window->orderTable()->selectRow(0);
    pick(window, 0, {camera("IMG_1.jpg", 0), m_card + QStringLiteral("/GONE.jpg")});
    pick(window, 2, {camera("IMG_9.jpg", 0)});
    // The second order's copy waits until the test lets it go.
    s_held = 0;
    s_release = false;
    ImportFileCopyRunnable::setCheckpointHook(
        [](ImportFileCopyRunnable::Checkpoint point, const ImportFile &file, const std::atomic_bool &cancel) {
            if (point != ImportFileCopyRunnable::TargetChecked || file.orderPhotoId != QLatin1String("304"))
                return;
            ++s_held;
            for (int waited = 0; waited < 20000 && !cancel && !s_release; ++waited)
                QThread::msleep(1);
        });
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 1, 20000);
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 1);
    QCOMPARE(window->runRow(), 2);

    // The retry completes the first order while the run is at the third:
    // the first order is reported, and the run goes on where it was.
    camera(QStringLiteral("GONE.jpg"), 0);
    clickRetry(window, 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kBatch).size(), 2, 10000);
    QCOMPARE(field(m_fake.requestsFor(kBatch).at(1), "order_photo_id"), QStringLiteral("301"));
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    QVERIFY(window->isImporting());
    QCOMPARE(window->runRow(), 2);
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("导入完成"));

    s_release = true;
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    const QList<FakeOrderService::Request> batch = m_fake.requestsFor(kBatch);
    QCOMPARE(batch.size(), 3);
    QCOMPARE(field(batch.at(2), "order_photo_id"), QStringLiteral("304"));
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::samePickNamesAndBusyRetryRefused()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    window->orderTable()->selectRow(0);
    const QString twin = m_card + QStringLiteral("/second/IMG_1.JPG");
    QVERIFY(writeFile(twin, "twin"));
    pick(window, 0, {camera("IMG_1.jpg", 0), twin, camera("IMG_1.CR2", 10)});
    QCOMPARE(s_boxes.size(), 1);
    QVERIFY(s_boxes.first().text.endsWith(QStringLiteral("：\nIMG_1.JPG")));
    QVERIFY(window->orderList().at(0).files.isEmpty());
    QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("未选择"));

    // One job per file: a second retry while the first runs is refused.
    pick(window, 0, {m_card + QStringLiteral("/NONE.jpg")});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    camera(QStringLiteral("NONE.jpg"), 0);
    holdAt(ImportFileCopyRunnable::TargetChecked);
    clickRetry(window, 0);
    QTRY_COMPARE_WITH_TIMEOUT(s_held.load(), 1, 10000);
    window->onRetryImportClicked(0);
    QCOMPARE(window->jobsInFlight(), 1);
    // While a run is on, picking is refused.
    s_release = true;
    QTRY_COMPARE_WITH_TIMEOUT(statuses(window).value(0), QStringLiteral("导入成功"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::oneReportPerOrderAtATime()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    window->orderTable()->selectRow(0);
    pick(window, 0, {camera("IMG_1.jpg", 0), m_card + QStringLiteral("/LATE.jpg")});
    // The order's report is answered late; meanwhile its failed file is
    // imported again and completes the order a second time.
    m_fake.setFault(kBatch, FakeOrderService::Fault::Delay, QString(), 2000);
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kBatch).size(), 1, 20000);
    camera(QStringLiteral("LATE.jpg"), 0);
    clickRetry(window, 1);
    QTRY_COMPARE_WITH_TIMEOUT(statuses(window).value(1), QStringLiteral("导入成功"), 10000);
    QCOMPARE(m_fake.requestsFor(kBatch).size(), 1);
    m_fake.clearFaults();
    // Once the first answer is in, the order is listed and reported again,
    // now with both files; the run then ends.
    QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
    const QList<FakeOrderService::Request> batch = m_fake.requestsFor(kBatch);
    QCOMPARE(batch.size(), 2);
    QCOMPARE(listed(field(batch.at(0), "imgnames")).keys(), QStringList{"IMG_1.jpg"});
    QCOMPARE(listed(field(batch.at(1), "imgnames")).keys(), (QStringList{"IMG_1.jpg", "LATE.jpg"}));
    QCOMPARE(window->cellText(0, "已导原片"), QStringLiteral("2"));
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::hostileOrderListAndNoShop()
{
    // Keys missing or of the wrong type, and folders that climb out.
    m_fake.setHandler(kOrderList, [this](const FakeOrderService::Request &) {
        const QJsonObject climbing{{QStringLiteral("order_photo_id"), QStringLiteral("901")},
                                   {QStringLiteral("orderpayforkey"), QStringLiteral("X1")},
                                   {QStringLiteral("netpath"), m_share + QStringLiteral("/../../escape")},
                                   {QStringLiteral("images"), QStringLiteral("not a list")},
                                   {QStringLiteral("number_yuanpian"), 5}};
        const QJsonObject badNumber{{QStringLiteral("order_photo_id"), QStringLiteral("902")},
                                    {QStringLiteral("orderpayforkey"), QStringLiteral("..\\..\\X2")},
                                    {QStringLiteral("shotdate"), QStringLiteral("2024-1-2")},
                                    {QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), m_share}}}};
        const QJsonObject noPath{{QStringLiteral("order_photo_id"), QStringLiteral("903")},
                                 {QStringLiteral("storesname"), QStringLiteral("三号店")}};
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                           {QStringLiteral("openypml"), QStringLiteral("1")},
                           {QStringLiteral("data"), QJsonArray{climbing, badNumber, noPath, QStringLiteral("x")}}};
    });
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 4);
    // "openypml" as text is no permission to open folders.
    QVERIFY(!rowButton(window, 0, "openDirButton"));
    QCOMPARE(window->cellText(0, "已导原片"), QString());
    for (int row = 0; row < 2; ++row) {
        s_boxes.clear();
        pick(window, row, {camera("IMG_1.jpg", 0)});
        QCOMPARE(s_boxes.size(), 1);
        QVERIFY2(s_boxes.first().text.endsWith(QStringLiteral(" 的导片路径无效，请在后台检查本地云导片路径！")),
                 qPrintable(s_boxes.first().text));
        QVERIFY(window->orderList().at(row).files.isEmpty());
    }
    s_boxes.clear();
    pick(window, 2, {camera("IMG_1.jpg", 0)});
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("三号店 没有设置本地云导片路径, 请在后台设置本地云导片路径！")});
    QVERIFY(s_picks.size() == 1);
    s_picks.clear();
    QVERIFY(!QFileInfo::exists(m_share + QStringLiteral("/../../escape")));
    QCOMPARE(entries(m_share), QStringList());
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);

    // An account without a branch: the window says so when it opens, and
    // again at 搜索, which asks the service nothing.
    g_shopList.clear();
    m_fake.clearHandlers();
    m_fake.clearRequests();
    s_boxes.clear();
    window = openWindow(Retouched);
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts(), QStringList{OrderService::noShopText()}, 10000);
    QCOMPARE(s_boxes.first().title, QStringLiteral("温馨提示"));
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QCOMPARE(boxTexts(), (QStringList{OrderService::noShopText(), OrderService::noShopText()}));
    QTest::qWait(200);
    QVERIFY(m_fake.requests().isEmpty());
    QVERIFY(window->orderList().isEmpty());
    // Shown once per window, not at every show.
    window->hide();
    window->show();
    QTest::qWait(100);
    QCOMPARE(s_boxes.size(), 2);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::hostileOrderFolders_data()
{
    HostileTree::addCases();
}

// The first order's own folder with the case planted; its "IMG_1.jpg" is
// picked and imported, then picked and imported again. Nothing outside
// changes and nothing is shown as imported: a folder that leads elsewhere
// takes no pick, a target that does fails with the reason. While "原片"
// flips to a link, an import lands in the order's folder or fails, and the
// report names no file of the place the link leads to.
void TestImportFiles::hostileOrderFolders()
{
    QFETCH(int, hostile);
    const QString root = QFileInfo(m_share).path();
    const HostileTree tree(root);
    std::unique_ptr<TinyVolume> volume;
    QString order = root + QStringLiteral("/order");
    if (hostile == HostileTree::FullVolume) {
        volume = std::make_unique<TinyVolume>(256 * 1024);
        if (!volume->isValid())
            QSKIP(TinyVolume::unavailableReason());
        order = volume->filePath(QStringLiteral("order"));
    }
    FakeModel &model = m_fake.modelStore();
    QJsonObject first = model.list(QStringLiteral("orders")).at(0).toObject();
    first.insert(QStringLiteral("netpath"), order);
    model.replaceAt(QStringLiteral("orders"), 0, first);
    QVERIFY(QDir().mkpath(order + QStringLiteral("/原始档")));
    const QString target = order + QStringLiteral("/原片/IMG_1.jpg");
    QString source = camera(QStringLiteral("IMG_1.jpg"), 0);
    QString kept; // a file of the order the import must not touch
    QByteArray keptData;
    QString refusal; // the start of the reason each try is refused with
    QString reported = QStringLiteral("[]"); // what the service hears of "原片"
    bool picked = true;
    QString why;
    switch (HostileTree::Case(hostile)) {
    case HostileTree::LinkAsTarget:
        QVERIFY(tree.linkToVictim(target));
        refusal = QStringLiteral("目标文件是链接，拒绝写入: ");
        break;
    case HostileTree::DanglingLink:
        QVERIFY(tree.linkToVictim(target, true));
        refusal = QStringLiteral("目标文件是链接，拒绝写入: ");
        break;
    case HostileTree::LinkedSubFolder:
        QVERIFY(tree.linkToOutside(order + QStringLiteral("/原片")));
        picked = false;
        break;
    case HostileTree::OrderFolderIsLink:
        QVERIFY(QDir(order).removeRecursively());
        QVERIFY(tree.linkToOutside(order));
        picked = false;
        break;
    case HostileTree::BackslashName:
        QVERIFY(QFile::rename(source, m_card + QStringLiteral("/deep\\deeper\\IMG_1.jpg")));
        source = m_card + QStringLiteral("/deep\\deeper\\IMG_1.jpg");
        kept = order + QStringLiteral("/原片/deep/deeper/IMG_1.jpg");
        keptData = "kept";
        QVERIFY(TreeFixture::write(kept, keptData));
        refusal = QStringLiteral("文件名含有\"\\\"，无法导入: ") + source;
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget:
        if (!HostileTree::plantSpecial(HostileTree::Case(hostile), target, &why))
            QSKIP(qPrintable(why));
        refusal = QStringLiteral("目标已存在且不是普通文件，未覆盖: ") + target;
        break;
    case HostileTree::FlippingFolder:
        QVERIFY(QDir().mkpath(order + QStringLiteral("/原片")));
        break;
    case HostileTree::FullVolume:
        // A photo larger than the room left, an older copy at its target.
        QVERIFY(writeFile(source, QByteArray(64 * 1024, 'j')));
        kept = target;
        keptData = "an older copy";
        QVERIFY(TreeFixture::write(kept, keptData));
        QVERIFY(volume->fill(8 * 1024));
        refusal = QStringLiteral("拷贝失败: ") + target + QStringLiteral(" (") + FileOps::diskFullText()
            + QLatin1Char(')');
        reported = QStringLiteral("[{\"name\":\"IMG_1.jpg\",\"size\":\"%1\"}]").arg(keptData.size());
        break;
    }
    // A job that opened the pipe would block there until this lets it go.
    const FifoReleaser releaser(hostile == HostileTree::FifoAsTarget ? QStringList{target} : QStringList());

    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    window->orderTable()->selectRow(0);
    for (int round = 0; round < 2; ++round) {
        s_boxes.clear();
        pick(window, 0, {source});
        QString what;
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        if (!picked) {
            QCOMPARE(s_boxes.size(), 1);
            QVERIFY2(s_boxes.first().text.startsWith(QStringLiteral("订单 A20240507001 的导片目录无法使用：目标")),
                     qPrintable(s_boxes.first().text));
            QVERIFY(s_boxes.first().text.contains(QStringLiteral("拒绝写入")));
            QVERIFY(window->orderList().at(0).files.isEmpty());
            QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("未选择"));
            continue;
        }
        QVERIFY(s_boxes.isEmpty());
        if (hostile == HostileTree::FlippingFolder) {
            {
                FolderFlipper flipper(order + QStringLiteral("/原片"), tree.outside());
                window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
                QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
                QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kBatch).size(), round + 1, 10000);
            }
            QVERIFY2(tree.untouched(&what), qPrintable(what));
            QCOMPARE(statuses(window).size(), 1);
            const QString status = statuses(window).first();
            const QMap<QString, QString> listedJpegs = listed(field(m_fake.requestsFor(kBatch).last(), "imgnames"));
            if (status == QStringLiteral("导入成功"))
                QCOMPARE(TreeFixture::read(target), readFile(source));
            else
                QVERIFY2(status.contains(order + QStringLiteral("/原片")), qPrintable(status));
            QVERIFY2(listedJpegs.isEmpty() || listedJpegs.keys() == QStringList{QStringLiteral("IMG_1.jpg")},
                     qPrintable(field(m_fake.requestsFor(kBatch).last(), "imgnames")));
            QVERIFY(!QFileInfo::exists(order + QStringLiteral("/原片.parked")));
            continue;
        }
        window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(boxTexts().contains(QStringLiteral("导入完成！")), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(kBatch).size(), round + 1, 10000);
        QCOMPARE(statuses(window).size(), 1);
        QVERIFY2(statuses(window).first().startsWith(refusal), qPrintable(statuses(window).first()));
        QCOMPARE(window->cellText(0, "照片状态"), QStringLiteral("成功:0, 失败:1"));
        // The service hears of nothing new in "原片".
        QCOMPARE(field(m_fake.requestsFor(kBatch).last(), "imgnames"), reported);
        QVERIFY2(tree.untouched(&what), qPrintable(what));
        QVERIFY(m_fake.requestsFor(kFolder).isEmpty());
    }
    if (!kept.isEmpty())
        QCOMPARE(TreeFixture::read(kept), keptData);
    QVERIFY(!releaser.released());
    if (HostileTree::isSpecialTarget(HostileTree::Case(hostile)))
        QVERIFY(HostileTree::isSpecialAt(target));
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(window), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

// The originals view of the window deletes a stored original in the
// folder a pick of the order settles, and nothing reached through a link
// there.
void TestImportFiles::originalsDeletedOnlyInTheOrderFolder()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    ImportOrder settled = window->orderList().at(0);
    const QString folder = PathUtil::toFs(ImportRecords::settleOrderFolder(&settled));
    QVERIFY(folder.startsWith(m_share));
    const HostileTree tree(QFileInfo(m_share).path());
    QVERIFY(writeFile(folder + QStringLiteral("/原片/IMG_1.jpg"), "x"));
    QVERIFY(tree.linkToOutside(folder + QStringLiteral("/原始档")));
    FakeModel &model = m_fake.modelStore();
    const int index = model.orderIndex(QStringLiteral("301"));
    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    const auto stored = [](const QString &id, const QString &name, const QString &path) {
        return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("img_name"), name},
                           {QStringLiteral("localpath"), path}, {QStringLiteral("isdownload"), QStringLiteral("0")}};
    };
    order.insert(QStringLiteral("images_yuanpian"),
                 QJsonArray{stored("1", "IMG_1.jpg", folder + QStringLiteral("\\原片\\IMG_1.jpg"))});
    order.insert(QStringLiteral("images_yuanshidang"),
                 QJsonArray{stored("2", "victim.cr2", folder + QStringLiteral("\\原始档\\victim.jpg"))});
    model.replaceAt(QStringLiteral("orders"), index, order);

    window->orderTable()->selectRow(0);
    OriginalView *originals = window->originals();
    QTRY_COMPARE_WITH_TIMEOUT(originals->grid()->photoCount(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(originals), 10000);
    originals->findChild<ElementButton *>(QStringLiteral("selectAllButton"))->click();
    originals->findChild<ElementButton *>(QStringLiteral("deleteButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(openDialogs().size(), 1, 10000);
    const QString text = dialogText(openDialogs().first());
    QVERIFY2(text.contains(QStringLiteral("victim.cr2 路径经过链接目录，未删除: ")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("IMG_1.jpg")));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/原片/IMG_1.jpg")));
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
    QTRY_VERIFY_WITH_TIMEOUT(originals->isIdle() && repliesHandled(originals), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

// The chooser shows the window at its built size and maximises it after:
// the two panes are sized at the final size, until the user drags the
// handle, and long order numbers show whole.
void TestImportFiles::panesAndOrderNumbersAtScreenSizes()
{
    FakeModel &model = m_fake.modelStore();
    QJsonObject order = model.list(QStringLiteral("orders")).at(0).toObject();
    order.insert(QStringLiteral("orderpayforkey"), QStringLiteral("DD20240315001"));
    order.insert(QStringLiteral("servicetimes"), QStringLiteral("12"));
    model.replaceAt(QStringLiteral("orders"), 0, order);

    auto *window = new ImportFiles;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setImportType(Originals);
    QPointer<ImportFiles> guard(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *splitter = window->findChild<QSplitter *>(QStringLiteral("splitter"));
    QVERIFY(splitter);
    // Halves where the order table fits in half the window; on a laptop
    // screen its pane takes what the table needs, never less than half.
    for (const QSize &screen : {QSize(1366, 768), QSize(1920, 1080)}) {
        window->resize(screen);
        QTRY_COMPARE_WITH_TIMEOUT(window->size(), screen, 5000);
        const QList<int> sizes = splitter->sizes();
        QVERIFY2(sizes.at(0) + 1 >= sizes.at(1), qPrintable(QStringLiteral("%1 / %2").arg(sizes.at(0)).arg(sizes.at(1))));
        QTRY_COMPARE_WITH_TIMEOUT(window->orderTable()->horizontalScrollBar()->maximum(), 0, 5000);
    }

    search(window, 3);
    QTableWidget *table = window->orderTable();
    const int column = window->headers().indexOf(QStringLiteral("订单号"));
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString text = table->item(row, column)->text();
        // The text and the item padding of 8 px on both sides.
        const int needed = table->fontMetrics().horizontalAdvance(text) + 2 * 8;
        QVERIFY2(table->columnWidth(column) >= needed,
                 qPrintable(QStringLiteral("%1: %2 < %3").arg(text).arg(table->columnWidth(column)).arg(needed)));
    }

    // A handle the user moved stays where it was put.
    QSplitterHandle *handle = splitter->handle(1);
    const int before = splitter->sizes().at(0);
    const QPoint grip = handle->rect().center();
    const QPoint to = grip - QPoint(200, 0);
    QMouseEvent press(QEvent::MouseButtonPress, grip, handle->mapToGlobal(grip), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QApplication::sendEvent(handle, &move);
    QApplication::sendEvent(handle, &release);
    const int dragged = splitter->sizes().at(0);
    QVERIFY(dragged < before);
    window->resize(1600, 900);
    QTRY_COMPARE_WITH_TIMEOUT(window->size(), QSize(1600, 900), 5000);
    // A smaller window shrinks the user's pane; it is not sized anew.
    QVERIFY(splitter->sizes().at(0) <= dragged);
    // Shown again (minimised and restored, hidden and shown), the panes keep
    // the user's sizes: the halves are the first show's only.
    const QList<int> kept = splitter->sizes();
    window->hide();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(splitter->sizes(), kept);

    // The combos keep their texts whole however narrow the pane is made.
    splitter->setSizes({0, 4000});
    for (const char *name : {"branchCombo", "searchTypeCombo"}) {
        auto *combo = window->findChild<QComboBox *>(QLatin1String(name));
        QTRY_VERIFY_WITH_TIMEOUT(combo->width() >= combo->sizeHint().width(), 2000);
    }
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!guard, 10000);
}

namespace {

int countOf(const QString &text)
{
    return boxTexts().count(text);
}

// The stored originals the grid shows, by name.
QStringList gridNames(OriginalView *view)
{
    QStringList names;
    for (int i = 0; i < view->grid()->photoCount(); ++i)
        names << view->grid()->photoAt(i).name;
    names.sort();
    return names;
}

} // namespace

// The originals view under the file list shows what the shown order holds
// once an import of it is reported, without 刷新, and again after a second
// import in the same window.
void TestImportFiles::originalsFollowEachImport()
{
    QPointer<ImportFiles> window = openWindow(Originals);
    search(window, 3);
    window->orderTable()->selectRow(0);
    OriginalView *originals = window->originals();
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(originals), 10000);
    QCOMPARE(originals->grid()->photoCount(), 0);

    pick(window, 0, {camera("IMG_1.jpg", 0), camera("IMG_1.CR2", 3000)});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(countOf(QStringLiteral("导入完成！")), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(gridNames(originals), (QStringList{"IMG_1.CR2", "IMG_1.jpg"}), 10000);

    pick(window, 0, {camera("IMG_2.JPG", 0)});
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(countOf(QStringLiteral("导入完成！")), 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(gridNames(originals), (QStringList{"IMG_1.CR2", "IMG_1.jpg", "IMG_2.JPG"}), 10000);
    for (int i = 0; i < originals->grid()->photoCount(); ++i) {
        const ThumbnailPhoto photo = originals->grid()->photoAt(i);
        if (photo.iconPath.isEmpty())
            QVERIFY2(QFileInfo::exists(QUrl(photo.imageUrl).toLocalFile()), qPrintable(photo.imageUrl));
    }
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(originals) && repliesHandled(window), 10000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

void TestImportFiles::orderColumnsFitTheScreen_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QSize>("screen");
    QTest::newRow("originals 1366x768") << int(Originals) << QSize(1366, 768);
    QTest::newRow("originals 1600x1000") << int(Originals) << QSize(1600, 1000);
    QTest::newRow("retouched 1366x768") << int(Retouched) << QSize(1366, 768);
    QTest::newRow("originals 1920x1080") << int(Originals) << QSize(1920, 1080);
}

// At a laptop's screen and up the row's buttons are in view without a
// horizontal scroll: the texts give way, ending in an ellipsis, and the
// selected row keeps its status colour.
void TestImportFiles::orderColumnsFitTheScreen()
{
    QFETCH(int, type);
    QFETCH(QSize, screen);
    FakeModel &model = m_fake.modelStore();
    QJsonObject order = model.list(QStringLiteral("orders")).at(0).toObject();
    order.insert(QStringLiteral("orderpayforkey"), QStringLiteral("DD20240315001"));
    order.insert(QStringLiteral("mname"), QStringLiteral("欧阳小明"));
    order.insert(QStringLiteral("netpath"), m_share + QStringLiteral("/2024年03月/15日/DD20240315001-1"));
    model.replaceAt(QStringLiteral("orders"), 0, order);

    auto *window = new ImportFiles;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setImportType(type);
    QPointer<ImportFiles> guard(window);
    window->resize(screen);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    search(window, 3);
    pick(window, 0, {camera("IMG_1.jpg", 0)});
    QTableWidget *table = window->orderTable();
    table->selectRow(0);
    QCoreApplication::processEvents();

    const int action = window->headers().indexOf(QStringLiteral("操作"));
    const int viewport = table->viewport()->width();
    QVERIFY2(table->columnViewportPosition(action) + table->columnWidth(action) <= viewport,
             qPrintable(QStringLiteral("%1 + %2 > %3")
                            .arg(table->columnViewportPosition(action))
                            .arg(table->columnWidth(action))
                            .arg(viewport)));
    QString widths;
    for (int column = 0; column < table->columnCount(); ++column)
        widths += QString::number(table->columnWidth(column)) + QLatin1Char(' ');
    QVERIFY2(table->horizontalScrollBar()->maximum() == 0,
             qPrintable(widths + QStringLiteral("in %1").arg(viewport)));
    // The strip's buttons all fit their column.
    QWidget *strip = table->cellWidget(0, action);
    QVERIFY(strip);
    int previousRight = -1;
    for (QPushButton *button : strip->findChildren<QPushButton *>()) {
        QVERIFY2(button->geometry().right() < table->columnWidth(action), qPrintable(button->text()));
        // Side by side with their spacing, none squeezed against the next.
        QVERIFY2(button->geometry().left() > previousRight + 1,
                 qPrintable(button->text() + QLatin1Char(' ') + widths));
        previousRight = button->geometry().right();
    }
    // Every column keeps at least a character and its ellipsis.
    for (int column = 0; column < table->columnCount(); ++column)
        QVERIFY2(table->columnWidth(column) >= table->fontMetrics().horizontalAdvance(QStringLiteral("中")),
                 qPrintable(window->headers().at(column)));
    // The order number shows whole: the room the buttons leave empty gives
    // way before it.
    const int number = window->headers().indexOf(QStringLiteral("订单号"));
    QVERIFY2(table->columnWidth(number)
                 >= table->fontMetrics().horizontalAdvance(window->cellText(0, QStringLiteral("订单号"))),
             qPrintable(widths));
    // The path keeps room for its end, the order's own folder, after the
    // ellipsis it is cut with at its start.
    const int path = window->headers().indexOf(QStringLiteral("导片路径"));
    const QString orderFolderName = QFileInfo(window->cellText(0, QStringLiteral("导片路径"))).fileName();
    QVERIFY(orderFolderName.startsWith(QStringLiteral("DD20240315001")));
    QCOMPARE(table->textElideMode(), Qt::ElideLeft);
    QVERIFY2(table->columnWidth(path)
                 >= table->fontMetrics().horizontalAdvance(QStringLiteral("\u2026") + orderFolderName) + 2 * 5,
             qPrintable(widths + orderFolderName));

    // The picked files' table beside it: the name whole and the retry
    // button's column on screen, without a sideways scroll.
    QTableView *files = window->fileTable();
    QTRY_COMPARE_WITH_TIMEOUT(files->model()->rowCount(), 1, 5000);
    QCoreApplication::processEvents();
    const int fileViewport = files->viewport()->width();
    QVERIFY2(files->columnViewportPosition(2) + files->columnWidth(2) <= fileViewport,
             qPrintable(QStringLiteral("%1 + %2 > %3")
                            .arg(files->columnViewportPosition(2))
                            .arg(files->columnWidth(2))
                            .arg(fileViewport)));
    QVERIFY(files->columnWidth(0) >= files->fontMetrics().horizontalAdvance(QStringLiteral("IMG_1.jpg")));
    QVERIFY(files->columnWidth(1) >= files->horizontalHeader()->sectionSizeHint(1));

    // The selected row's "已选择" is drawn in its own blue, not the text colour.
    QCOMPARE(window->cellText(0, QStringLiteral("照片状态")), QStringLiteral("已选择"));
    const int status = window->headers().indexOf(QStringLiteral("照片状态"));
    const QRect cell = table->visualRect(table->model()->index(0, status));
    const QImage picture = table->viewport()->grab(cell).toImage();
    bool blue = false;
    for (int y = 0; y < picture.height() && !blue; ++y) {
        for (int x = 0; x < picture.width() && !blue; ++x) {
            const QColor c = picture.pixelColor(x, y);
            blue = c.blue() > 200 && c.red() < 120 && c.green() < 170;
        }
    }
    QVERIFY(blue);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!guard, 10000);
}

// A search of thousands of orders fills the table across turns of the event
// loop: the window answers meanwhile, a row already there can be selected
// and given files, the button strips exist only for the rows in view, and
// a new search drops the rows of the old one not yet added.
void TestImportFiles::longSearchArrivesInSlices()
{
    const int count = 4000;
    FakeModel &model = m_fake.modelStore();
    const QJsonObject first = model.list(QStringLiteral("orders")).at(0).toObject();
    model.setList(QStringLiteral("orders"), FakeModel::manyOrders(first, count, QStringLiteral("LS"), 500000));

    QPointer<ImportFiles> window = openWindow(Originals);
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->orderList().isEmpty(), 20000);
    QVERIFY2(window->orderList().size() < count, "the whole list was added in one turn");
    QCOMPARE(window->orderTable()->rowCount(), window->orderList().size());
    window->orderTable()->selectRow(0);
    QCOMPARE(window->shownRow(), 0);
    pick(window, 0, {camera("IMG_1.jpg", 0)});
    QCOMPARE(window->orderList().at(0).files.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(window->orderList().size(), count, 60000);
    QCOMPARE(window->orderTable()->rowCount(), count);
    QCOMPARE(window->orderList().at(0).files.size(), 1);
    QCOMPARE(window->cellText(count - 1, QStringLiteral("订单号")), QStringLiteral("LS%1-1").arg(500000 + count - 1));
    const int action = window->headers().indexOf(QStringLiteral("操作"));
    int strips = 0;
    for (int row = 0; row < count; ++row)
        strips += window->orderTable()->cellWidget(row, action) ? 1 : 0;
    QVERIFY2(strips > 0 && strips < 60, qPrintable(QString::number(strips)));
    // Scrolled to the end, the rows there get their buttons.
    window->orderTable()->scrollToBottom();
    QTRY_VERIFY_WITH_TIMEOUT(window->orderTable()->cellWidget(count - 1, action), 5000);
    QVERIFY(rowButton(window, count - 1, "selectFilesButton"));
    QVERIFY(!window->orderTable()->cellWidget(0, action));

    // A search while the rows still arrive: only the new search's rows stay.
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(window->orderList().size() < count && !window->orderList().isEmpty(), 20000);
    window->findChild<QLineEdit *>(QStringLiteral("keywordEdit"))->setText(QStringLiteral("LS500007"));
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->orderList().size(), 1, 20000);
    QTest::qWait(200);
    QCOMPARE(window->orderList().size(), 1);
    QCOMPARE(window->orderTable()->rowCount(), 1);
    QCOMPARE(window->orderList().at(0).orderpayforkey, QStringLiteral("LS500007"));
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
}

TINYVOLUME_TEST_MAIN(TestImportFiles)
#include "tst_importfiles.moc"
