// Photo-transfer window responsiveness: imports one order of N photos
// through the real window, engine and panels against the in-process fake
// order service (on a thread of its own, as a remote service would be), and
// measures how long the GUI thread's event loop stalls while it runs.
//
//   tfhome_stall_bench [N] [WIDTH HEIGHT]   default 500 photos of 1600 x 1200
//   tfhome_stall_bench orders [N]           default 5000 orders
//
// Prints the import time, the longest stall and how many stalls exceeded
// 50 ms and 100 ms. A 5 ms timer measures the stalls: a gap between two of
// its ticks beyond 5 ms is time the loop could not react.
//
// The "orders" mode times how long a search that finds N orders takes to
// fill the order table (and the fill alone, called directly), then scrolls
// the table from top to bottom and back while measuring the stalls.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include "base/heaptuning.h"
#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "bench/guistall.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "transferphotos/tfhome.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"

namespace {

QTextStream out(stdout);

using GuiStall::waitFor;
using StallMeter = GuiStall::Meter;

void stopService(QThread &serviceThread, FakeOrderService *fake)
{
    QMetaObject::invokeMethod(fake, [fake]() { delete fake; }, Qt::BlockingQueuedConnection);
    serviceThread.quit();
    serviceThread.wait();
}

// Starts the fake service on serviceThread with the test data reshaped by
// shape; returns it (owned by the caller, deleted on that thread) or null.
FakeOrderService *startService(QThread &serviceThread, const std::function<void(QJsonObject &)> &shape)
{
    serviceThread.start();
    auto *fake = new FakeOrderService;
    fake->moveToThread(&serviceThread);
    QString indexUrl;
    QMetaObject::invokeMethod(
        fake,
        [fake, &indexUrl, &shape]() {
            QJsonObject data = FakeModel::testData();
            shape(data);
            fake->loadModel(data);
            if (fake->start())
                indexUrl = fake->indexUrl();
        },
        Qt::BlockingQueuedConnection);
    if (indexUrl.isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        stopService(serviceThread, fake);
        return nullptr;
    }
    g_indexUrl = indexUrl;
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    g_enterpriseId = QStringLiteral("7001");
    return fake;
}

int runOrders(int count)
{
    QThread serviceThread;
    FakeOrderService *fake = startService(serviceThread, [count](QJsonObject &data) {
        QJsonObject model = data.value(QStringLiteral("orders")).toArray().at(0).toObject();
        // The window opens searching by today's selection date.
        model.insert(QStringLiteral("selectphototime"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        data.insert(QStringLiteral("orders"), FakeModel::manyOrders(model, count));
    });
    if (!fake)
        return 1;
    ModalBox::setHook([](QDialog *) { return int(QMessageBox::Ok); });

    // The program reads the system's CAs at start, long before a search.
    BaseReq::tlsConfiguration();
    auto *window = new tfhome;
    window->resize(1400, 900);
    window->show();
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();

    StallMeter meter;
    QElapsedTimer clock;
    clock.start();
    meter.start();
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    if (!waitFor([table, count]() { return table->orderCount() >= count; }, 120000)) {
        out << "the table did not fill" << Qt::endl;
        delete window;
        stopService(serviceThread, fake);
        return 1;
    }
    const qint64 searchMs = clock.elapsed();
    // The wait returns in the turn that filled the table: let the meter
    // tick again so that the gap holding the fill is read.
    meter.settle();
    const qint64 searchStall = meter.longest;
    const double searchStallWork = meter.longestWork;
    const qint64 searchStallAt = meter.longestAt;

    // The fill alone, as the search panel does it.
    QList<OrderInfo> copies;
    for (int i = 0; i < count; ++i)
        copies << table->orderAt(i);
    clock.restart();
    table->clearOrders();
    for (const OrderInfo &order : qAsConst(copies))
        table->addOrderRow(order);
    const qint64 fillMs = clock.elapsed();

    // What follows the fill: layout and painting, then scrolling through it.
    meter.start();
    QTableWidget *view = table->tableWidget();
    QEventLoop loop;
    QTimer scroller;
    int step = 0;
    const int steps = 100;
    QObject::connect(&scroller, &QTimer::timeout, [&]() {
        QScrollBar *bar = view->verticalScrollBar();
        ++step;
        if (step <= steps)
            bar->setValue(bar->maximum() * step / steps);
        else if (step <= 2 * steps)
            bar->setValue(bar->maximum() * (2 * steps - step) / steps);
        else if (step == 2 * steps + 1)
            view->selectRow(count - 1);
        else if (step > 2 * steps + 60)
            loop.quit();
    });
    QTimer::singleShot(500, &scroller, [&scroller]() { scroller.start(16); });
    loop.exec();
    meter.stop();

    out << "orders: " << count << Qt::endl;
    out << "search to filled table: " << searchMs << " ms (longest GUI stall " << searchStall << " ms, "
        << searchStallWork << " ms of it CPU, ended " << searchStallAt << " ms after the click)" << Qt::endl;
    out << "fill alone (clearOrders + addOrderRow x " << count << "): " << fillMs << " ms" << Qt::endl;
    out << "after the fill (paint, scroll down and up, select the last row): longest GUI stall: " << meter.longest
        << " ms, stalls over 50 ms: " << meter.over50 << ", over 100 ms: " << meter.over100 << Qt::endl;

    delete window;
    stopService(serviceThread, fake);
    ModalBox::setHook(nullptr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does first thing.
    HeapTuning::apply();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("orders"))
        return runOrders(args.size() > 2 ? args.at(2).toInt() : 5000);
    const int count = args.size() > 1 ? args.at(1).toInt() : 500;
    const int width = args.size() > 3 ? args.at(2).toInt() : 1600;
    const int height = args.size() > 3 ? args.at(3).toInt() : 1200;

    QTemporaryDir dir;
    const QString source = dir.path() + QStringLiteral("/source");
    QDir().mkpath(source);
    const QByteArray jpeg = JpegFixture::encode(JpegFixture::quadrants(width, height), JpegFixture::Options());
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = source + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size()) {
            out << "cannot write " << path << Qt::endl;
            return 1;
        }
        files << path;
    }

    // The service answers from its own thread.
    QThread serviceThread;
    FakeOrderService *fake = startService(serviceThread, [&dir](QJsonObject &data) {
        QJsonArray orders = data.value(QStringLiteral("orders")).toArray();
        for (int i = 0; i < orders.size(); ++i) {
            QJsonObject order = orders.at(i).toObject();
            order.insert(QStringLiteral("picpathnew"),
                         QJsonObject{{QStringLiteral("netpath"), dir.path() + QStringLiteral("/share")}});
            order.insert(QStringLiteral("selectphototime"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
            orders.replace(i, order);
        }
        data.insert(QStringLiteral("orders"), orders);
    });
    if (!fake)
        return 1;

    QString summary;
    ModalBox::setHook([&summary](QDialog *dialog) {
        if (dialog->windowTitle() == QStringLiteral("全部导完")) {
            if (auto *box = qobject_cast<QMessageBox *>(dialog))
                summary = box->text();
        }
        return int(QMessageBox::Ok);
    });
    tfhomeorders_OrderListWidget::setFilePicker(
        [&files](QWidget *, const QString &, const QString &) { return files; });

    // The program reads the system's CAs at start, long before a search.
    BaseReq::tlsConfiguration();
    auto *window = new tfhome;
    window->resize(1400, 900);
    window->show();
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    if (!waitFor([table]() { return table->orderCount() >= 1; }, 10000)) {
        out << "no orders found" << Qt::endl;
        return 1;
    }
    table->tableWidget()->selectRow(0);
    table->tableWidget()->cellWidget(0, 6)->findChild<QPushButton *>(QStringLiteral("selectPhotosButton"))->click();

    StallMeter meter;
    meter.start();
    table->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        if (!summary.isEmpty() || meter.elapsed() > 30 * 60 * 1000)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    meter.stop();

    out << "photos: " << count << " (" << width << " x " << height << ")" << Qt::endl;
    out << "import time: " << meter.elapsed() << " ms" << Qt::endl;
    out << "longest GUI stall: " << meter.longest << " ms (ending " << meter.longestAt << " ms in, " << QString::number(meter.longestWork, 'f', 1) << " ms of it working)" << Qt::endl;
    out << "stalls over 50 ms: " << meter.over50 << ", over 100 ms: " << meter.over100 << Qt::endl;
    out << "summary:" << summary << Qt::endl;

    delete window;
    stopService(serviceThread, fake);
    ModalBox::setHook(nullptr);
    return summary.isEmpty() ? 1 : 0;
}
