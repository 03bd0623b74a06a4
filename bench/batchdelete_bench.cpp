// Batch-delete window responsiveness and throughput: deletes N orders of M
// files each through the real window (search, tick all, account check, run)
// against the in-process fake order service on a thread of its own, over
// TLS on loopback as a studio's service would be reached, and measures how
// long the GUI thread's event loop stalls while every file is announced,
// deleted and confirmed.
//
//   batchdelete_bench [ORDERS] [FILES] [--no-reuse] [--http] [--rtt MS]
//   default 100 orders of 100 files, connections kept alive and reused
//
//   batchdelete_bench --search N [--http]
//   the order search alone: the service answers with N orders, and the
//   longest GUI stall is measured from the click until every row is in the
//   table, then again for a second search that replaces them
//
// With --rtt every byte between the program and the service passes a relay
// that holds it for half the round trip in each direction, as a network to
// a remote service would (the TCP handshake itself is not delayed, which
// favours a new connection per request by one round trip).
//
// Prints the run time, the requests per second, the longest stall and how
// many stalls exceeded 50 ms. A 5 ms timer measures the stalls: a gap
// between two of its ticks beyond 5 ms is time the loop could not react.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "base/heaptuning.h"
#include "base/basereq.h"
#include "base/globals.h"
#include "bench/guistall.h"
#include "base/modalbox.h"
#include "batchdelete/batchdelete.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "batchdelete/batchlogindialog.h"
#include "public/glasswidgets.h"
#include "public/elementbutton.h"
#include "tests/fakeservice/fakeorderservice.h"

namespace {

QTextStream out(stdout);

// Forwards every connection to the service, each chunk held for delayMs in
// the order it came.
class LatencyRelay : public QObject
{
public:
    LatencyRelay(quint16 target, int delayMs)
        : target(target)
        , delayMs(delayMs)
    {
        connect(&server, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket *client = server.nextPendingConnection()) {
                auto *upstream = new QTcpSocket(client);
                upstream->connectToHost(QHostAddress::LocalHost, this->target);
                relay(client, upstream);
                relay(upstream, client);
            }
        });
    }
    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }

private:
    void relay(QTcpSocket *from, QTcpSocket *to)
    {
        auto queue = std::make_shared<QList<QByteArray>>();
        connect(from, &QTcpSocket::readyRead, to, [this, from, to, queue]() {
            queue->append(from->readAll());
            QTimer::singleShot(delayMs, Qt::PreciseTimer, to, [to, queue]() {
                if (!queue->isEmpty())
                    to->write(queue->takeFirst());
            });
        });
        connect(from, &QTcpSocket::disconnected, to, [this, to]() {
            QTimer::singleShot(delayMs + 1, Qt::PreciseTimer, to, [to]() { to->disconnectFromHost(); });
        });
    }

    QTcpServer server;
    quint16 target;
    int delayMs;
};

ElementButton *buttonOf(QWidget *window, const QString &text)
{
    for (ElementButton *button : window->findChildren<ElementButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does first thing.
    HeapTuning::apply();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    QStringList args = app.arguments();
    const bool reuse = !args.removeAll(QStringLiteral("--no-reuse"));
    const bool tls = !args.removeAll(QStringLiteral("--http"));
    int rtt = 0;
    const int rttAt = args.indexOf(QStringLiteral("--rtt"));
    if (rttAt > 0 && rttAt + 1 < args.size()) {
        rtt = args.at(rttAt + 1).toInt();
        args.removeAt(rttAt + 1);
        args.removeAt(rttAt);
    }
    int searchCount = 0;
    const int searchAt = args.indexOf(QStringLiteral("--search"));
    if (searchAt > 0 && searchAt + 1 < args.size()) {
        searchCount = args.at(searchAt + 1).toInt();
        args.removeAt(searchAt + 1);
        args.removeAt(searchAt);
    }
    const bool searchOnly = searchCount > 0;
    const int orderCount = searchOnly ? searchCount : args.size() > 1 ? args.at(1).toInt() : 100;
    const int fileCount = searchOnly ? 0 : args.size() > 2 ? args.at(2).toInt() : 100;

    QTemporaryDir dir;
    const QString common = dir.path() + QStringLiteral("/photos");
    QJsonArray orders;
    for (int o = 0; o < orderCount; ++o) {
        const QString number = QStringLiteral("BD%1").arg(o, 5, 10, QLatin1Char('0'));
        const QString folder = common + QLatin1Char('/') + number + QStringLiteral("-1");
        // A search lists the orders; their folders are not looked at.
        if (!searchOnly)
            QDir().mkpath(folder + QStringLiteral("/原片"));
        for (int f = 0; f < fileCount; ++f) {
            QFile file(folder + QStringLiteral("/原片/IMG_%1.jpg").arg(f, 4, 10, QLatin1Char('0')));
            if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(2048, 'x')) != 2048) {
                out << "cannot write into " << folder << Qt::endl;
                return 1;
            }
        }
        orders.append(QJsonObject{{QStringLiteral("shopid"), QStringLiteral("11")},
                                  {QStringLiteral("id"), QString::number(90000 + o)},
                                  {QStringLiteral("order_photo_id"), QString::number(70000 + o)},
                                  {QStringLiteral("orderpayforkey"), number},
                                  {QStringLiteral("servicetimes"), QStringLiteral("1")},
                                  {QStringLiteral("mname"), QStringLiteral("张伟")},
                                  {QStringLiteral("netpath"), folder},
                                  {QStringLiteral("fulfil_time"), QStringLiteral("today 18:00:00")},
                                  {QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), common}}}});
    }

    // The service answers from its own thread.
    QThread serviceThread;
    serviceThread.start();
    auto *fake = new FakeOrderService;
    fake->moveToThread(&serviceThread);
    QString indexUrl;
    if (tls)
        FakeOrderService::trustTestCa();
    LatencyRelay *relay = nullptr;
    QMetaObject::invokeMethod(
        fake,
        [fake, &indexUrl, &orders, tls, rtt, &relay]() {
            QJsonObject data = FakeModel::testData();
            data.insert(QStringLiteral("orders"), orders);
            fake->loadModel(data);
            if (!fake->start(tls ? FakeOrderService::Mode::Tls : FakeOrderService::Mode::Http))
                return;
            indexUrl = fake->indexUrl();
            if (rtt > 0) {
                relay = new LatencyRelay(fake->port(), rtt / 2);
                if (!relay->listen()) {
                    indexUrl.clear();
                    return;
                }
                indexUrl.replace(QStringLiteral(":%1/").arg(fake->port()), QStringLiteral(":%1/").arg(relay->port()));
            }
        },
        Qt::BlockingQueuedConnection);
    if (indexUrl.isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        return 1;
    }
    g_indexUrl = indexUrl;
    g_userId = QStringLiteral("501");
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    BatchDeleteRun::setConnectionReuse(reuse);

    // The account the check confirms, in a configuration folder of its own.
    QStandardPaths::setTestModeEnabled(true);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    QFile credentials(config + QStringLiteral("/login_config.txt"));
    if (!credentials.open(QIODevice::WriteOnly) || credentials.write("username=tester\n") <= 0) {
        out << "cannot write the remembered account" << Qt::endl;
        return 1;
    }
    credentials.close();

    QString summary;
    ModalBox::setHook([&summary](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            summary = box->text();
        return int(QMessageBox::Ok);
    });

    // The program reads the system's CAs at start, long before a search.
    BaseReq::tlsConfiguration();
    auto *window = new BatchDelete;
    window->resize(1400, 900);
    window->show();
    BatchDelete_OrderListWidget *table = window->orderPanel();
    if (searchOnly) {
        int fills = 0;
        QObject::connect(table, &BatchDelete_OrderListWidget::ordersFilled, [&fills]() { ++fills; });
        int status = 0;
        // The window's first paint (style sheets, fonts) is not the search's.
        GuiStall::Meter().settle(500);
        for (int pass = 1; pass <= 2; ++pass) {
            const auto filled = [table, orderCount, &fills, pass]() {
                return fills == pass && table->table()->rowCount() == orderCount;
            };
            // The first search fills an empty table; the second replaces a
            // full one.
            GuiStall::Meter stalls;
            stalls.start();
            buttonOf(window, QStringLiteral("搜索"))->click();
            const bool done = GuiStall::runUntil(filled, 120000);
            const qint64 elapsed = stalls.elapsed();
            // Let the meter tick once more: the gap that held the last slice
            // is read only then.
            stalls.settle();
            stalls.stop();
            out << (pass == 1 ? "search" : "second search") << " of " << orderCount << " orders ("
                << (tls ? "TLS" : "HTTP") << "): " << (done ? "" : "NOT FILLED, ") << "rows in after " << elapsed
                << " ms" << Qt::endl;
            out << "  longest GUI stall: " << stalls.longest << " ms (ending " << stalls.longestAt << " ms in, "
                << QString::number(stalls.longestWork, 'f', 1) << " ms of it working); most work between two ticks: "
                << QString::number(stalls.longestBusy, 'f', 1) << " ms; stalls over 50 ms: " << stalls.over50
                << Qt::endl;
            if (!done)
                status = 1;
        }
        delete window;
        QMetaObject::invokeMethod(fake, [fake]() { delete fake; }, Qt::BlockingQueuedConnection);
        serviceThread.quit();
        serviceThread.wait();
        ModalBox::setHook(nullptr);
        QDir(config).removeRecursively();
        return status;
    }
    buttonOf(window, QStringLiteral("搜索"))->click();
    if (!GuiStall::waitFor([table, orderCount]() { return table->table()->rowCount() == orderCount; }, 30000)) {
        out << "orders not found" << Qt::endl;
        return 1;
    }
    table->selectAllBox()->setChecked(true);
    buttonOf(window, QStringLiteral("开始批量删除"))->click();
    BatchLoginDialog *dialog = window->findChild<BatchLoginDialog *>();
    if (!dialog) {
        out << "no account check" << Qt::endl;
        return 1;
    }
    for (GlassLineEdit *edit : dialog->findChildren<GlassLineEdit *>()) {
        if (edit->placeholderText() == QStringLiteral("密码"))
            edit->setText(QStringLiteral("secret"));
    }

    GuiStall::Meter stalls;
    stalls.start();
    dialog->handleOk();
    GuiStall::runUntil([&summary]() { return !summary.isEmpty(); }, 30 * 60 * 1000);
    stalls.stop();
    const qint64 elapsed = stalls.elapsed();

    int requests = 0;
    QMetaObject::invokeMethod(fake, [fake, &requests]() { requests = fake->requests().size(); },
                              Qt::BlockingQueuedConnection);
    out << "orders: " << orderCount << ", files: " << orderCount * fileCount << " ("
        << (tls ? "TLS" : "HTTP") << ", connections " << (reuse ? "reused" : "one per request") << ", round trip "
        << rtt << " ms)" << Qt::endl;
    out << "run time: " << elapsed << " ms, " << QString::number(requests * 1000.0 / elapsed, 'f', 0)
        << " requests/s (" << requests << " requests)" << Qt::endl;
    out << "longest GUI stall: " << stalls.longest << " ms (ending " << stalls.longestAt << " ms into the run, "
        << QString::number(stalls.longestWork, 'f', 1) << " ms of it working)" << Qt::endl;
    out << "most GUI-thread work between two ticks: " << QString::number(stalls.longestBusy, 'f', 1) << " ms"
        << Qt::endl;
    out << "stalls over 50 ms: " << stalls.over50 << ", over 100 ms: " << stalls.over100 << Qt::endl;
    out << "summary: " << summary << Qt::endl;

    delete window;
    QMetaObject::invokeMethod(
        fake,
        [fake, relay]() {
            delete relay;
            delete fake;
        },
        Qt::BlockingQueuedConnection);
    serviceThread.quit();
    serviceThread.wait();
    ModalBox::setHook(nullptr);
    QDir(config).removeRecursively();
    return summary == QStringLiteral("全部删除完成！") ? 0 : 1;
}
