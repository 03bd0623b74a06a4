// The design-split and download window end to end in its four modes: opened
// from its chooser card, against the fake order service over real sockets
// and real share folders; search, tick, target folder, start, final box.
// The output tree, the reports sent and the production sheet are checked.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>


#include "app/startroads.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "base/pathutil.h"
#include "base/k.h"
#include "designsplit/jobs/fjdatathread.h"
#include "public/fullscreenloading.h"
#include "public/thumbnailtableview.h"
#include "public/toastwidget.h"
#include "tests/designsplit/fjwindowdriver.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/splitorders.h"

namespace {

const QString kDetail = QStringLiteral("&m=order&a=orderphotodetail");
const QString kDownloadSuccess = QStringLiteral("&m=order&a=download_success");
const QString kRule = QStringLiteral(
    R"([{"name":"订单号","key":"orderpayforkey","separator":"_"},{"name":"产品名称","key":"name"}])");

QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// Folders a rerun would have doubled as "name (1)".
QStringList numberedFolders(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1Char(')')))
            found << QDir(root).relativeFilePath(path);
    }
    return found;
}

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What one order of the test share becomes in each mode, and the raw files
// reported as downloaded.
struct ModeResult
{
    QStringList files;
    QStringList reported;
    bool sheet = false;
};

ModeResult modeResult(const QString &card)
{
    const QString products = QStringLiteral("厂A 张伟-李娜 05-01取 快递/");
    if (card == QStringLiteral("设计分件")) {
        return {QStringList{products + QStringLiteral("A1001_摆台/p2.jpg"),
                            products + QStringLiteral("A1001_相册/p1.jpg"),
                            QStringLiteral("其他/入底/r1.jpg"),
                            QStringLiteral("其他/原始档/p1.CR2"),
                            QStringLiteral("其他/原始档/p2.CR2"),
                            QStringLiteral("其他/快递信息.txt"),
                            QStringLiteral("其他/成品/p1.jpg"),
                            QStringLiteral("其他/成品/p2.jpg"),
                            QStringLiteral("其他/明细制作单.pdf"),
                            QStringLiteral("其他/条形码.jpg"),
                            QStringLiteral("其他/标记/p1.jpg"),
                            QStringLiteral("其他/汰片/t1.jpg"),
                            QStringLiteral("其他/缩略图/p1.jpg"),
                            QStringLiteral("其他/缩略图/p2.jpg"),
                            QStringLiteral("其他/缩略图/r1.jpg"),
                            QStringLiteral("其他/裁剪/p1.jpg")},
                QStringList(), true};
    }
    if (card == QStringLiteral("下载原始档")) {
        return {QStringList{QStringLiteral("原始档/p1.CR2"), QStringLiteral("原始档/p2.CR2")},
                QStringList{QStringLiteral("501-y1"), QStringLiteral("501-y2")}, false};
    }
    if (card == QStringLiteral("下载选片结果")) {
        return {QStringList{QStringLiteral("其他/入底/r1.jpg"),
                            QStringLiteral("其他/成品/p1.jpg"),
                            QStringLiteral("其他/成品/p2.jpg"),
                            QStringLiteral("其他/成品原始档/p1.CR2"),
                            QStringLiteral("其他/成品原始档/p2.CR2"),
                            QStringLiteral("其他/明细制作单.pdf"),
                            QStringLiteral("其他/条形码.jpg"),
                            QStringLiteral("其他/标记/p1.jpg"),
                            QStringLiteral("其他/缩略图/p1.jpg"),
                            QStringLiteral("其他/缩略图/p2.jpg"),
                            QStringLiteral("其他/缩略图/r1.jpg"),
                            QStringLiteral("其他/裁剪/p1.jpg")},
                QStringList{QStringLiteral("501-y1"), QStringLiteral("501-y2")}, true};
    }
    return {QStringList{QStringLiteral("原片/p1.jpg"),
                        QStringLiteral("原始档/p1.CR2"),
                        QStringLiteral("原始档/p2.CR2"),
                        QStringLiteral("简修/p1.jpg"),
                        QStringLiteral("简修/p2.jpg"),
                        QStringLiteral("精修/p1.jpg"),
                        QStringLiteral("精修/p2.jpg")},
            QStringList(), false};
}

// A share that answers only when the test says so: the jobs whose source
// it holds back wait in FJDataThread's run hook until release() (or 20 s,
// so that a failing test ends). Every job that starts is counted. std's
// lock, not Qt's: Qt's waits inside its library, where ThreadSanitizer
// does not see it order the jobs and the test.
class SlowShare
{
public:
    explicit SlowShare(std::function<bool(const QString &source)> holds)
        : m_state(std::make_shared<State>())
    {
        const std::shared_ptr<State> state = m_state;
        FJDataThread::setRunHook([state, holds](const QString &source) {
            std::unique_lock<std::mutex> lock(state->mutex);
            ++state->started;
            if (!holds(PathUtil::toFs(source)))
                return;
            ++state->waiting;
            state->wake.wait_for(lock, std::chrono::seconds(20), [&state]() { return state->released; });
            --state->waiting;
        });
    }
    ~SlowShare()
    {
        release();
        FJDataThread::setRunHook(nullptr);
    }

    void release()
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->released = true;
        m_state->wake.notify_all();
    }
    int started() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->started;
    }
    int waiting() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->waiting;
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable wake;
        bool released = false;
        int started = 0;
        int waiting = 0;
    };
    // Shared with the hook, which a job may still run while the test ends.
    std::shared_ptr<State> m_state;
};

const QList<QPair<const char *, QString>> kCards{{"design split", QStringLiteral("设计分件")},
                                                 {"raw files", QStringLiteral("下载原始档")},
                                                 {"selection results", QStringLiteral("下载选片结果")},
                                                 {"photo delivery", QStringLiteral("下载照片交付")}};

} // namespace

class TestFJHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modeEndToEnd_data();
    void modeEndToEnd();
    void noShop_data();
    void noShop();
    void closeWhileDownloading();
    void closeWaitsForRunningJob();
    void questionHoldsTheRun_data();
    void questionHoldsTheRun();
    void closedUnderItsFinalBox();
    void slowDownloadStaysWithItsOrder();
    void newListForgetsShownOrder();
    void rawDownloadMovesOnlyCopiedFiles();
    void secondRunInSameWindow();
    void secondRunIntoSameFolder_data();
    void secondRunIntoSameFolder();
    void deliveryWithNothingToDo_data();
    void deliveryWithNothingToDo();
    void rawOrderWithNothingPicked();
    void finalBoxListsEveryFailure();
    void longFailureListGoesToDetails();
    void secondStartRoad();
    void fitsLaptopScreen_data();
    void fitsLaptopScreen();

private:
    void addOrder(const QString &orderPhotoId, const QString &number);
    QString share(const QString &number) const { return m_shares + QLatin1Char('/') + number; }
    QString orderRoot(const QString &number) const
    {
        return m_target + QLatin1Char('/') + SplitOrders::orderFolder(number);
    }
    FJHome *openSearched(ChooseTools &chooser, const QString &card, int rows);

    FakeOrderService m_fake;
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_shares;
    QString m_target;
};

void TestFJHome::initTestCase()
{
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    g_barcodeUrl = g_indexUrl + g_groupParam + QStringLiteral("&m=order&a=getbarcodegen");
    BaseReq::setTransferTimeout(15000);
}

void TestFJHome::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_shares = m_dir->path() + QStringLiteral("/共享");
    m_target = m_dir->path() + QStringLiteral("/输出");
    QVERIFY(QDir().mkpath(m_target));
    m_fake.loadModel(FakeModel::testData());
    m_fake.clearFaults();
    m_fake.clearRequests();
    // Shop 11 keeps its orders to this test: the product folders follow its
    // saved rule.
    QJsonArray orders;
    for (const QJsonValue &value : m_fake.modelStore().list(QStringLiteral("orders"))) {
        if (value.toObject().value(QStringLiteral("shopid")).toString() != QLatin1String("11"))
            orders.append(value);
    }
    m_fake.modelStore().setList(QStringLiteral("orders"), orders);
    const int shop = m_fake.modelStore().indexOf(QStringLiteral("shops"), QStringLiteral("id"), QStringLiteral("11"));
    QJsonObject shopObject = m_fake.modelStore().list(QStringLiteral("shops")).at(shop).toObject();
    shopObject.insert(QStringLiteral("goodsfoldernamerule"), kRule);
    m_fake.modelStore().replaceAt(QStringLiteral("shops"), shop, shopObject);
    FJDriver::recordBoxes();
    QVERIFY(FJDriver::login(QStringLiteral("tester"), QStringLiteral("secret")));
}

void TestFJHome::cleanup()
{
    // A test that failed half-way leaves no window to finish its batch in
    // the next one.
    QList<QPointer<FJHome>> left;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *home = qobject_cast<FJHome *>(top))
            left.append(home);
    }
    for (const QPointer<FJHome> &home : left)
        delete home.data();
    ModalBox::setHook(nullptr);
    ModalBox::setFolderHook(nullptr);
}

void TestFJHome::addOrder(const QString &orderPhotoId, const QString &number)
{
    const QString share = m_shares + QLatin1Char('/') + number;
    QVERIFY(SplitOrders::writeShare(share));
    m_fake.modelStore().append(QStringLiteral("orders"),
                               SplitOrders::order(QStringLiteral("11"), orderPhotoId, number, share));
}

void TestFJHome::modeEndToEnd_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<bool>("sheet");
    for (const auto &card : kCards) {
        const ModeResult result = modeResult(card.second);
        QTest::newRow(card.first) << card.second << result.files << result.reported << result.sheet;
    }
}

void TestFJHome::modeEndToEnd()
{
    QFETCH(QString, card);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, reported);
    QFETCH(bool, sheet);

    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    ChooseTools chooser;
    QPointer<FJHome> window = FJDriver::openFromChooser(chooser, card);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), card);
    QVERIFY(FJDriver::search(window, 1));
    if (window->mode == DownloadRawFiles) {
        QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
        QCOMPARE(window->rightPanel->currentRow, 0);
        QCOMPARE(window->rightPanel->currentOrder.undownloadedImages.size(), 2);
        QTest::mouseClick(window->rightPanel->undownloadedSelectAllButton, Qt::LeftButton);
    } else {
        QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    }
    if (window->mode == DownloadPhotoDelivery) {
        // The order asks for its raw files and simple retouches; the user adds
        // the originals.
        QVERIFY(window->rightPanel->rawBox->isChecked());
        QVERIFY(window->rightPanel->simpleRetouchBox->isChecked());
        window->rightPanel->originalBox->setChecked(true);
    }
    FJDriver::chooseFolder(window, m_target);
    QVERIFY(FJDriver::runBatch(window));

    // The raw-file download says what it does.
    QCOMPARE(FJDriver::finalBox().text, window->mode == DownloadRawFiles ? QStringLiteral("1个订单下载完成!")
                                                                          : QStringLiteral("1个订单分件完成!"));
    const QString root = m_target + QLatin1Char('/') + SplitOrders::orderFolder(QStringLiteral("A1001"));
    expected.sort();
    QCOMPARE(filesUnder(root), expected);
    QStringList sent = FJDriver::fieldOf(m_fake, kDownloadSuccess, QStringLiteral("id"));
    sent.sort();
    QCOMPARE(sent, reported);
    QCOMPARE(m_fake.requestsFor(kDetail).size(), 1);
    QVERIFY(window->rightPanel->startButton->isEnabled());

    if (sheet) {
        const QString text = pdfText(root + QStringLiteral("/其他/明细制作单.pdf"));
        QVERIFY2(text.contains(QStringLiteral("A1001")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("一号店")));
        QVERIFY(text.contains(QStringLiteral("指定制作")));
        // The barcode came as PNG and is stored as the JPEG its name says.
        QImageReader barcode(root + QStringLiteral("/其他/条形码.jpg"));
        QCOMPARE(barcode.format(), QByteArray("jpeg"));
    }
    if (window->mode == DesignSplit) {
        QFile courier(root + QStringLiteral("/其他/快递信息.txt"));
        QVERIFY(courier.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(courier.readAll()), QStringLiteral("顺丰 SF1234567890"));
    }
    if (window->mode == DownloadRawFiles) {
        // The service moved both raw files to the downloaded list, and the
        // refreshed list shows it.
        QVERIFY(FJDriver::waitForSearch(window));
        QCOMPARE(window->leftPanel->orders.size(), 1);
        QCOMPARE(window->leftPanel->orders.first().downloadedImages.size(), 2);
        QCOMPARE(window->leftPanel->orders.first().undownloadedImages.size(), 0);
    }
    if (window->mode == DownloadPhotoDelivery) {
        QImageReader original(root + QStringLiteral("/原片/p1.jpg"));
        original.setAutoTransform(true);
        const QImage upright = original.read();
        QCOMPARE(upright.size(), QSize(160, 120));
        QCOMPARE(JpegFixture::quadrantLayout(upright), (QList<int>{0, 1, 2, 3}));
    }
    window->close();
    QTRY_VERIFY(!window);
}

FJHome *TestFJHome::openSearched(ChooseTools &chooser, const QString &card, int rows)
{
    FJHome *window = FJDriver::openFromChooser(chooser, card);
    if (!window || !FJDriver::search(window, rows))
        return nullptr;
    FJDriver::chooseFolder(window, m_target);
    return window;
}

void TestFJHome::noShop_data()
{
    QTest::addColumn<QString>("card");
    QTest::newRow("design split") << QStringLiteral("设计分件");
    QTest::newRow("raw files") << QStringLiteral("下载原始档");
    QTest::newRow("photo delivery") << QStringLiteral("下载照片交付");
}

void TestFJHome::noShop()
{
    QFETCH(QString, card);
    g_shopList.clear();
    m_fake.clearRequests();
    ChooseTools chooser;
    QPointer<FJHome> window = FJDriver::openFromChooser(chooser, card);
    QVERIFY(window);
    // Said once, in a box, in the words every tool uses.
    QTRY_COMPARE(FJDriver::boxes().size(), 1);
    QCOMPARE(FJDriver::boxes().first().text, OrderService::noShopText());
    QCOMPARE(window->findChildren<ToastWidget *>().size(), 0);
    QCOMPARE(window->rightPanel->shopCombo->placeholderText(), QStringLiteral("没有可用的分店"));
    FJRightPanel *panel = window->rightPanel;
    QVERIFY(!panel->searchButton->isEnabled());
    QVERIFY(!panel->startButton->isEnabled());
    if (panel->saveRuleButton)
        QVERIFY(!panel->saveRuleButton->isEnabled());
    // Reached anyway, nothing reads a shop that is not there.
    panel->onSearchOrderClicked();
    panel->setSplitDirectory(m_target);
    panel->onStartProcessClicked();
    panel->saveNamingRule();
    panel->setControlsEnabled(true);
    QVERIFY(!panel->searchButton->isEnabled());
    QVERIFY(!panel->startButton->isEnabled());
    QVERIFY(panel->namingRule().isEmpty());
    // Requests are made at once or not at all.
    QVERIFY(window->findChildren<BaseReq *>().size() == 2); // the window's own downloader and reporter
    QCOMPARE(m_fake.requests().size(), 0);
    QCOMPARE(FJDriver::boxes().size(), 1);
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::closeWhileDownloading()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    m_fake.setFault(QStringLiteral("&m=order&a=orderpicture"), FakeOrderService::Fault::Delay, QString(), 1500);
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("设计分件"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QTest::mouseClick(window->rightPanel->startButton, Qt::LeftButton);
    QTRY_VERIFY(!m_fake.requestsFor(QStringLiteral("&m=order&a=orderpicture")).isEmpty());
    // Asked first; "no" keeps the window and its batch.
    FJDriver::questionAnswer() = QMessageBox::No;
    window->close();
    QCOMPARE(FJDriver::boxCount(QStringLiteral("分件还在进行")), 1);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->isRunning());
    FJDriver::questionAnswer() = QMessageBox::Yes;
    QElapsedTimer clock;
    clock.start();
    window->close();
    QCOMPARE(FJDriver::boxCount(QStringLiteral("分件还在进行")), 2);
    QTRY_VERIFY(!window);
    // The pictures' replies come after the window has gone: nothing of them
    // reaches it, nothing is written.
    QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() > 2500, 5000);
    QVERIFY(!QFile::exists(orderRoot(QStringLiteral("A1001")) + QStringLiteral("/其他/标记/p1.jpg")));
    QCOMPARE(FJDriver::finalBoxCount(), 0);
    // The order folder says what was left undone.
    const QString note = orderRoot(QStringLiteral("A1001")) + QStringLiteral("/分件未完成.txt");
    QFile noteFile(note);
    QVERIFY(noteFile.open(QIODevice::ReadOnly));
    const QString left = QString::fromUtf8(noteFile.readLine()).trimmed();
    noteFile.close();
    QVERIFY2(left.contains(QStringLiteral("图片下载")) && left.endsWith(QStringLiteral("明细制作单")), qPrintable(left));

    // Opened again, the same order completes in the folder the first run
    // left: what it had copied is its own work, done; the product folders
    // it had made are filled, not doubled. The box says what was done over.
    m_fake.clearFaults();
    window = openSearched(chooser, QStringLiteral("设计分件"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QVERIFY(FJDriver::runBatch(window));
    QCOMPARE(FJDriver::finalBox().text, QStringLiteral("1个订单分件完成!\nA1001-1 上次分件中断，本次补做：") + left);
    QVERIFY(!QFile::exists(note));
    QStringList expected = modeResult(QStringLiteral("设计分件")).files;
    expected.sort();
    QCOMPARE(filesUnder(orderRoot(QStringLiteral("A1001"))), expected);
    QCOMPARE(numberedFolders(orderRoot(QStringLiteral("A1001"))), QStringList());
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::closeWaitsForRunningJob()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    // A photo on a share that answers only when the test says so.
    const QString slow = share(QStringLiteral("A1001")) + QStringLiteral("/all/p2.jpg");
    SlowShare gate([slow](const QString &source) { return source == slow; });
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("设计分件"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QTest::mouseClick(window->rightPanel->startButton, Qt::LeftButton);
    // All but the copy that waits on the share are done (pictures saved too).
    QTRY_VERIFY_WITH_TIMEOUT(window->copyPicTotal > 0 && window->copyPicFinishNum == window->copyPicTotal - 1
                                 && window->threadPool->activeThreadCount() == 1,
                             10000);

    window->close();
    QCOMPARE(FJDriver::boxCount(QStringLiteral("分件还在进行")), 1);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    FullScreenLoading *overlay = FullScreenLoading::instance(window);
    QVERIFY(overlay);
    bool saysStopping = false;
    for (QLabel *label : overlay->findChildren<QLabel *>())
        saysStopping = saysStopping || label->text() == QStringLiteral("正在停止…");
    QVERIFY(saysStopping);
    window->close(); // a second close changes nothing while the job runs
    QVERIFY(window);

    gate.release();
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
    // The running copy finished; nothing after it started.
    QVERIFY(QFile::exists(orderRoot(QStringLiteral("A1001")) + QStringLiteral("/其他/成品/p2.jpg")));
    QVERIFY(!QFile::exists(orderRoot(QStringLiteral("A1001")) + QStringLiteral("/其他/明细制作单.pdf")));
    QCOMPARE(FJDriver::finalBoxCount(), 0);
}

void TestFJHome::questionHoldsTheRun_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("no: the run goes on") << false;
    QTest::newRow("yes: the run stops") << true;
}

// While the close question is open the batch stands still: the copies that
// were running finish, but no job starts after them, no result moves the
// order on, no next order is asked for and no final box comes. "No" lets
// it go on to its end; "yes" stops it: the order cut short keeps a note of
// what is left, the order not begun is not touched.
void TestFJHome::questionHoldsTheRun()
{
    QFETCH(bool, stop);
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    addOrder(QStringLiteral("502"), QStringLiteral("A1002"));
    // The first order's photos lie on a share that answers only when the
    // test says so; every job that starts is counted.
    const QString slow = share(QStringLiteral("A1001")) + QStringLiteral("/all/");
    SlowShare slowShare([slow](const QString &source) { return source.startsWith(slow); });

    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("设计分件"), 2);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1002")));
    QTest::mouseClick(window->rightPanel->startButton, Qt::LeftButton);
    // The copies wait on the share, taking every thread of the pool where
    // they are as many; the pictures' saves are queued behind them.
    QTRY_VERIFY_WITH_TIMEOUT(window->copyPicTotal > 0
                                 && slowShare.waiting()
                                        == qMin(window->threadPool->maxThreadCount(), window->copyPicTotal),
                             10000);
    QTest::qWait(300);
    const QString root = orderRoot(QStringLiteral("A1001"));
    // What the downloads write, as far as they got before the question.
    const auto saved = [&root]() {
        QStringList files;
        for (const QString &file : filesUnder(root + QStringLiteral("/其他"))) {
            if (!file.contains(QLatin1Char('/')) || file.startsWith(QStringLiteral("标记/"))
                || file.startsWith(QStringLiteral("裁剪/")))
                files << file;
        }
        return files;
    };
    const QStringList savedBefore = saved();

    int startedBefore = -1;
    int startedDuring = -1;
    int copiesCounted = -1;
    QStringList savedDuring;
    int finalBoxes = -1;
    int details = -1;
    FJDriver::recordBoxes([&](const FJDriver::Box &box) {
        if (!box.text.contains(QStringLiteral("分件还在进行")))
            return;
        startedBefore = slowShare.started();
        // The running copies end under the question.
        slowShare.release();
        QTest::qWait(1500);
        startedDuring = slowShare.started() - startedBefore;
        copiesCounted = window->copyPicFinishNum;
        savedDuring = saved();
        finalBoxes = FJDriver::finalBoxCount();
        details = m_fake.requestsFor(kDetail).size();
    });
    FJDriver::questionAnswer() = stop ? QMessageBox::Yes : QMessageBox::No;
    window->close();
    QCOMPARE(FJDriver::boxCount(QStringLiteral("分件还在进行")), 1);
    const QString question = FJDriver::lastBox(QStringLiteral("分件还在进行")).text;
    QVERIFY2(question.contains(QStringLiteral("A1001-1（进行中）\nA1002-1（未开始）")), qPrintable(question));
    QCOMPARE(startedDuring, 0);
    QCOMPARE(copiesCounted, 0);
    QCOMPARE(savedDuring, savedBefore);
    QCOMPARE(finalBoxes, 0);
    QCOMPARE(details, 1);

    QStringList expected = modeResult(QStringLiteral("设计分件")).files;
    expected.sort();
    if (!stop) {
        QVERIFY(window && window->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(FJDriver::finalBoxCount(), 1, 20000);
        QCOMPARE(FJDriver::finalBox().text, QStringLiteral("2个订单分件完成!"));
        QCOMPARE(filesUnder(root), expected);
        // The product folders are named after their order.
        expected.replaceInStrings(QStringLiteral("A1001_"), QStringLiteral("A1002_"));
        QCOMPARE(filesUnder(orderRoot(QStringLiteral("A1002"))), expected);
        window->close();
        QTRY_VERIFY(!window);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
    QCOMPARE(FJDriver::finalBoxCount(), 0);
    QCOMPARE(m_fake.requestsFor(kDetail).size(), 1);
    QVERIFY(!QFileInfo::exists(orderRoot(QStringLiteral("A1002"))));
    // Neither the sheet nor any product was made; the note says what is left.
    QVERIFY(!QFile::exists(root + QStringLiteral("/其他/明细制作单.pdf")));
    QFile note(root + QStringLiteral("/分件未完成.txt"));
    QVERIFY(note.open(QIODevice::ReadOnly));
    const QString left = QString::fromUtf8(note.readLine()).trimmed();
    QVERIFY2(left.startsWith(QStringLiteral("文件拷贝 ")) && left.contains(QStringLiteral("产品文件夹 2 个"))
                 && left.endsWith(QStringLiteral("明细制作单")),
             qPrintable(left));
}

// The window can be closed from under its own box (the box's loop runs the
// close and the window's deletion): the box goes with the window, and
// nothing is left to delete it a second time.
void TestFJHome::closedUnderItsFinalBox()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载照片交付"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    FJRightPanel *panel = window->rightPanel;
    for (QCheckBox *box : {panel->rawBox, panel->simpleRetouchBox, panel->simpleRetouchRejectsBox, panel->fineRetouchBox})
        box->setChecked(false);
    panel->originalBox->setChecked(true);
    QString shown;
    ModalBox::setHook([&](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            shown = box->text();
        if (window)
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return int(QMessageBox::Ok);
    });
    QTest::mouseClick(panel->startButton, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(shown, QStringLiteral("1个订单分件完成!"), 10000);
    QTRY_VERIFY(!window);
}

void TestFJHome::slowDownloadStaysWithItsOrder()
{
    // Barcodes of different widths: the order id's bits are its bars.
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    addOrder(QStringLiteral("50200"), QStringLiteral("A1002"));
    m_fake.setFault(QStringLiteral("&m=order&a=getbarcodegen"), FakeOrderService::Fault::Delay, QString(), 1500);
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载选片结果"), 2);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1002")));
    QVERIFY(FJDriver::runBatch(window, 60000));
    QCOMPARE(FJDriver::finalBox().text, QStringLiteral("2个订单分件完成!"));
    QCOMPARE(m_fake.requestsFor(kDetail).size(), 2);
    const QList<QPair<QString, int>> widths{{QStringLiteral("A1001"), 40 + 3 * 24}, {QStringLiteral("A1002"), 40 + 5 * 24}};
    for (const auto &expected : widths) {
        const QString root = orderRoot(expected.first) + QStringLiteral("/其他/");
        QCOMPARE(QImageReader(root + QStringLiteral("条形码.jpg")).size().width(), expected.second);
        QVERIFY(QFileInfo(root + QStringLiteral("明细制作单.pdf")).size() > 0);
        QVERIFY(!QFile::exists(root + QStringLiteral("条形码/条形码.jpg")));
    }
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::newListForgetsShownOrder()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    addOrder(QStringLiteral("502"), QStringLiteral("A1002"));
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载原始档"), 2);
    QVERIFY(window);
    FJRightPanel *panel = window->rightPanel;
    QCOMPARE(panel->currentRow, -1);
    QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1002")));
    QCOMPARE(panel->currentRow, 1);
    QCOMPARE(panel->undownloadedGrid->photoCount(), 2);

    // A search that lists only A1001: row 1 is gone, and row 0 is another
    // order than the one shown.
    panel->keywordEdit->setText(QStringLiteral("A1001"));
    QVERIFY(FJDriver::search(window, 1));
    QCOMPARE(panel->currentRow, -1);
    QCOMPARE(panel->undownloadedGrid->photoCount(), 0);
    QCOMPARE(panel->downloadedGrid->photoCount(), 0);
    emit panel->undownloadedGrid->selectionChanged(0, true);
    panel->onUndownloadSelectAllClicked();
    for (const ThumbnailPhoto &photo : window->leftPanel->orders.first().undownloadedImages)
        QVERIFY(!photo.selected);

    // A stale row that is still in range but holds another order.
    panel->currentRow = 0;
    panel->currentOrder.order_photo_id = QStringLiteral("502");
    panel->currentOrder.undownloadedImages = window->leftPanel->orders.first().undownloadedImages;
    panel->onUndownloadSelectAllClicked();
    QCOMPARE(window->leftPanel->orders.first().order_photo_id, QStringLiteral("501"));
    for (const ThumbnailPhoto &photo : window->leftPanel->orders.first().undownloadedImages)
        QVERIFY(!photo.selected);
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::rawDownloadMovesOnlyCopiedFiles()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    QVERIFY(QFile::remove(share(QStringLiteral("A1001")) + QStringLiteral("/原始档/p2.CR2")));
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载原始档"), 1);
    QVERIFY(window);
    QStringList downloaded;
    QStringList waiting;
    FJDriver::recordBoxes([&](const FJDriver::Box &box) {
        if (!FJDriver::isFinalBox(box.text))
            return;
        // What the window made of the order, before the refreshed list
        // replaces it.
        for (const ThumbnailPhoto &photo : window->leftPanel->orders.first().downloadedImages)
            downloaded << photo.name + (photo.selected ? QStringLiteral("*") : QString());
        for (const ThumbnailPhoto &photo : window->leftPanel->orders.first().undownloadedImages)
            waiting << photo.name + (photo.selected ? QStringLiteral("*") : QString());
    });
    QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
    QTest::mouseClick(window->rightPanel->undownloadedSelectAllButton, Qt::LeftButton);
    QVERIFY(FJDriver::runBatch(window));
    QCOMPARE(downloaded, QStringList{QStringLiteral("p1.CR2")});
    QCOMPARE(waiting, QStringList{QStringLiteral("p2.CR2*")});
    QVERIFY(FJDriver::finalBox().text.contains(QStringLiteral("p2.CR2 拷贝失败")));
    QCOMPARE(FJDriver::fieldOf(m_fake, kDownloadSuccess, QStringLiteral("id")), QStringList{QStringLiteral("501-y1")});
    QVERIFY(FJDriver::waitForSearch(window));
    QCOMPARE(window->leftPanel->orders.size(), 1);
    QCOMPARE(window->leftPanel->orders.first().downloadedImages.size(), 1);
    QCOMPARE(window->leftPanel->orders.first().undownloadedImages.size(), 1);
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::secondRunInSameWindow()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载原始档"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
    QTest::mouseClick(window->rightPanel->undownloadedSelectAllButton, Qt::LeftButton);
    QVERIFY(FJDriver::runBatch(window));
    QVERIFY(FJDriver::waitForSearch(window));
    QCOMPARE(window->leftPanel->orders.size(), 1);
    QCOMPARE(window->leftPanel->orders.first().downloadedImages.size(), 2);
    const QString raw = orderRoot(QStringLiteral("A1001")) + QStringLiteral("/原始档/p1.CR2");
    QFile marked(raw);
    QVERIFY(marked.open(QIODevice::WriteOnly));
    marked.write("edited by the studio");
    marked.close();

    // Again, with the files now in the downloaded list: the copies meet the
    // files of the first run and leave them. The one the studio changed is
    // a failure that says why; the other is the same file, downloaded.
    FJDriver::boxes().clear();
    m_fake.clearRequests();
    QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
    QCOMPARE(window->rightPanel->downloadedGrid->photoCount(), 2);
    QTest::mouseClick(window->rightPanel->downloadedSelectAllButton, Qt::LeftButton);
    QVERIFY(FJDriver::runBatch(window));
    const QString text = FJDriver::finalBox().text;
    QCOMPARE(text, QStringLiteral("1个订单下载完成!\nA1001-1 p1.CR2 拷贝失败：已存在且内容不同，未覆盖"));
    QVERIFY(marked.open(QIODevice::ReadOnly));
    QCOMPARE(marked.readAll(), QByteArray("edited by the studio"));
    QCOMPARE(FJDriver::fieldOf(m_fake, kDownloadSuccess, QStringLiteral("id")), QStringList{QStringLiteral("501-y2")});
    QCOMPARE(m_fake.requestsFor(kDetail).size(), 1);
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::secondRunIntoSameFolder_data()
{
    QTest::addColumn<QString>("card");
    for (const auto &card : kCards)
        QTest::newRow(card.first) << card.second;
}

// The same order run twice into the same folder in the same window: the
// second run finds its own work done, says the order is finished with no
// failure, and leaves the same files (no numbered copies).
void TestFJHome::secondRunIntoSameFolder()
{
    QFETCH(QString, card);
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, card, 1);
    QVERIFY(window);
    if (window->mode == DownloadPhotoDelivery)
        window->rightPanel->originalBox->setChecked(true);
    QStringList expected = modeResult(card).files;
    expected.sort();
    const QString root = orderRoot(QStringLiteral("A1001"));
    for (int run = 0; run < 2; ++run) {
        FJDriver::boxes().clear();
        if (window->mode == DownloadRawFiles) {
            // The second run picks the files from the downloaded list.
            QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
            QTest::mouseClick(run == 0 ? window->rightPanel->undownloadedSelectAllButton
                                       : window->rightPanel->downloadedSelectAllButton,
                              Qt::LeftButton);
        } else {
            QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
        }
        QVERIFY(FJDriver::runBatch(window));
        QCOMPARE(FJDriver::finalBox().text, window->mode == DownloadRawFiles ? QStringLiteral("1个订单下载完成!")
                                                                              : QStringLiteral("1个订单分件完成!"));
        QCOMPARE(filesUnder(root), expected);
        QCOMPARE(numberedFolders(root), QStringList());
        if (window->mode == DownloadRawFiles)
            QVERIFY(FJDriver::waitForSearch(window));
    }
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::deliveryWithNothingToDo_data()
{
    QTest::addColumn<bool>("originals");
    QTest::addColumn<QString>("said");
    // Nothing ticked: said before anything starts.
    QTest::newRow("no box ticked") << false << QStringLiteral("请勾选要下载的内容（原始档、原图、简修、简修含汰片或精修）");
    // Ticked, but the order holds nothing of it.
    QTest::newRow("ticked folder empty") << true
                                         << QStringLiteral("0个订单分件完成!\n1个订单未完成。\nA1001-1 没有可下载的文件;");
}

void TestFJHome::deliveryWithNothingToDo()
{
    QFETCH(bool, originals);
    QFETCH(QString, said);
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    const int index = m_fake.modelStore().orderIndex(QStringLiteral("501"));
    QJsonObject order = m_fake.modelStore().list(QStringLiteral("orders")).at(index).toObject();
    order.insert(QStringLiteral("images_yuanpian"), QJsonArray());
    m_fake.modelStore().replaceAt(QStringLiteral("orders"), index, order);
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载照片交付"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    FJRightPanel *panel = window->rightPanel;
    for (QCheckBox *box : {panel->rawBox, panel->originalBox, panel->simpleRetouchBox, panel->simpleRetouchRejectsBox,
                           panel->fineRetouchBox})
        box->setChecked(false);
    panel->originalBox->setChecked(originals);
    QTest::mouseClick(panel->startButton, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(FJDriver::boxes().size(), 1, 10000);
    QCOMPARE(FJDriver::boxes().first().text, said);
    QTRY_VERIFY(!window->isRunning());
    // No empty order folder is left behind.
    QVERIFY(!QFileInfo::exists(orderRoot(QStringLiteral("A1001"))));
    QVERIFY(panel->startButton->isEnabled());
    QCOMPARE(m_fake.requestsFor(kDetail).size(), originals ? 1 : 0);
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::rawOrderWithNothingPicked()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    addOrder(QStringLiteral("502"), QStringLiteral("A1002"));
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载原始档"), 2);
    QVERIFY(window);
    // Ticked with no raw file picked, and nothing picked anywhere: said, no
    // batch.
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1002")));
    QTest::mouseClick(window->rightPanel->startButton, Qt::LeftButton);
    QCOMPARE(FJDriver::boxes().size(), 1);
    QCOMPARE(FJDriver::boxes().first().text, QStringLiteral("请先在右侧选择要下载的原始档"));
    QVERIFY(!window->isRunning());
    QCOMPARE(m_fake.requestsFor(kDetail).size(), 0);

    // Beside an order with files picked: that one is done, this one is not,
    // and it leaves no folder.
    FJDriver::boxes().clear();
    QVERIFY(FJDriver::clickRow(window, QStringLiteral("A1001")));
    QTest::mouseClick(window->rightPanel->undownloadedSelectAllButton, Qt::LeftButton);
    QVERIFY(FJDriver::runBatch(window));
    QCOMPARE(FJDriver::finalBox().text,
             QStringLiteral("1个订单下载完成!\n1个订单未完成。\nA1002-1 没有选择原始档;"));
    // The batch is past both orders, and the bar says so as the label does.
    QVERIFY(window->leftPanel->progressLabel->text().startsWith(QStringLiteral("总进度 2/2")));
    QCOMPARE(window->leftPanel->progressBar->value(), window->leftPanel->progressBar->maximum());
    QCOMPARE(filesUnder(orderRoot(QStringLiteral("A1001"))), modeResult(QStringLiteral("下载原始档")).files);
    QVERIFY(!QFileInfo::exists(orderRoot(QStringLiteral("A1002"))));
    QVERIFY(FJDriver::waitForSearch(window));
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::finalBoxListsEveryFailure()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    QVERIFY(QFile::remove(share(QStringLiteral("A1001")) + QStringLiteral("/all/p2.jpg")));
    m_fake.setFault(QStringLiteral("&m=order&a=orderpicture"), FakeOrderService::Fault::Http500);
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("设计分件"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QVERIFY(FJDriver::runBatch(window));
    const QString text = FJDriver::finalBox().text;
    QVERIFY2(text.startsWith(QStringLiteral("1个订单分件完成!\n")), qPrintable(text));
    // The photo copy, both pictures (mark and crop) and the product that
    // missed its picture.
    QVERIFY2(text.contains(QStringLiteral("p2.jpg照片不存在")), qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("p1.jpg 下载失败")), 2);
    QVERIFY2(text.contains(QStringLiteral("产品")), qPrintable(text));
    // What did not fail is there.
    QVERIFY(QFile::exists(orderRoot(QStringLiteral("A1001")) + QStringLiteral("/其他/成品/p1.jpg")));
    QVERIFY(QFile::exists(orderRoot(QStringLiteral("A1001")) + QStringLiteral("/其他/明细制作单.pdf")));
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::longFailureListGoesToDetails()
{
    addOrder(QStringLiteral("501"), QStringLiteral("A1001"));
    const int index = m_fake.modelStore().orderIndex(QStringLiteral("501"));
    QJsonObject order = m_fake.modelStore().list(QStringLiteral("orders")).at(index).toObject();
    QJsonArray photos = order.value(QStringLiteral("images_all")).toArray();
    for (int i = 1; i <= 14; ++i)
        photos.append(QJsonObject{{QStringLiteral("img_name"), QStringLiteral("missing%1.jpg").arg(i)}});
    order.insert(QStringLiteral("images_all"), photos);
    m_fake.modelStore().replaceAt(QStringLiteral("orders"), index, order);
    ChooseTools chooser;
    QPointer<FJHome> window = openSearched(chooser, QStringLiteral("下载选片结果"), 1);
    QVERIFY(window);
    QVERIFY(FJDriver::tick(window, QStringLiteral("A1001")));
    QVERIFY(FJDriver::runBatch(window));
    const FJDriver::Box box = FJDriver::finalBox();
    QCOMPARE(box.text, QStringLiteral("1个订单分件完成!\n有 14 项失败，详见详细信息。"));
    for (int i = 1; i <= 14; ++i)
        QVERIFY(box.detailedText.contains(QStringLiteral("missing%1.jpg照片不存在").arg(i)));
    window->close();
    QTRY_VERIFY(!window);
}

void TestFJHome::secondStartRoad()
{
    // Handed over by another program: the saved login data gives the
    // account, and the window opens as its constructor leaves it.
    const QString saved = g_dataDir;
    g_dataDir = m_dir->path() + QStringLiteral("/data/");
    K::instance()->saveLoginData(QJsonObject{
        {QStringLiteral("UID"), QStringLiteral("501")},
        {QStringLiteral("EID"), QStringLiteral("7001")},
        {QStringLiteral("shop_data"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("11")}, {QStringLiteral("name"), QStringLiteral("一号店")}}}}});
    StartRoads::install();
    K::instance()->start(1);
    g_dataDir = saved;
    QPointer<FJHome> window;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *home = qobject_cast<FJHome *>(top))
            window = home;
    }
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("分件工具"));
    QCOMPARE(window->mode, int(DesignSplit));
    QCOMPARE(window->rightPanel->shopCombo->count(), 1);
    delete window;
}

void TestFJHome::fitsLaptopScreen_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("design split") << int(DesignSplit);
    QTest::newRow("raw files") << int(DownloadRawFiles);
    QTest::newRow("selection results") << int(DownloadSelectionResults);
    QTest::newRow("photo delivery") << int(DownloadPhotoDelivery);
}

// A studio laptop has 1366 x 768 pixels, less a 40-pixel task bar: the
// window's smallest size must fit it, or its bottom (the select buttons,
// the downloaded photos) lies below the screen.
void TestFJHome::fitsLaptopScreen()
{
    QFETCH(int, mode);
    FJHome window;
    window.mode = mode;
    window.init({{QStringLiteral("windowtitle"), QStringLiteral("分件")}});
    window.ensurePolished();
    const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
    QVERIFY2(smallest.width() <= 1366 && smallest.height() <= 728,
             qPrintable(QStringLiteral("%1 x %2").arg(smallest.width()).arg(smallest.height())));
}

QTEST_MAIN(TestFJHome)
#include "tst_fjhome.moc"
