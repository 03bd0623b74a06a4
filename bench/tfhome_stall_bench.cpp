// Photo-transfer window responsiveness: imports one order of N photos
// through the real window, engine and panels against the in-process fake
// order service (on a thread of its own, as a remote service would be), and
// measures how long the GUI thread's event loop stalls while it runs.
//
//   tfhome_stall_bench [N] [WIDTH HEIGHT]   default 500 photos of 1600 x 1200
//
// Prints the import time, the longest stall and how many stalls exceeded
// 50 ms and 100 ms. A 5 ms timer measures the stalls: a gap between two of
// its ticks beyond 5 ms is time the loop could not react.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include "base/globals.h"
#include "bench/benchsupport.h"
#include "base/modalbox.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "transferphotos/tfhome.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"

namespace {

QTextStream out(stdout);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    const QStringList args = app.arguments();
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
    serviceThread.start();
    auto *fake = new FakeOrderService;
    fake->moveToThread(&serviceThread);
    QString indexUrl;
    QMetaObject::invokeMethod(
        fake,
        [fake, &indexUrl, &dir]() {
            QJsonObject data = FakeModel::testData();
            QJsonArray orders = data.value(QStringLiteral("orders")).toArray();
            for (int i = 0; i < orders.size(); ++i) {
                QJsonObject order = orders.at(i).toObject();
                order.insert(QStringLiteral("picpathnew"),
                             QJsonObject{{QStringLiteral("netpath"), dir.path() + QStringLiteral("/share")}});
                order.insert(QStringLiteral("selectphototime"),
                             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
                orders.replace(i, order);
            }
            data.insert(QStringLiteral("orders"), orders);
            fake->loadModel(data);
            if (fake->start())
                indexUrl = fake->indexUrl();
        },
        Qt::BlockingQueuedConnection);
    if (indexUrl.isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        return 1;
    }
    g_indexUrl = indexUrl;
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    g_enterpriseId = QStringLiteral("7001");

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

    auto *window = new tfhome;
    window->resize(1400, 900);
    window->show();
    tfhomeorders_OrderListWidget *table = window->ordersPanel()->orderListWidget();
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    if (!BenchSupport::waitFor([table]() { return table->orderCount() >= 1; }, 10000)) {
        out << "no orders found" << Qt::endl;
        return 1;
    }
    table->tableWidget()->selectRow(0);
    table->tableWidget()->cellWidget(0, 6)->findChild<QPushButton *>(QStringLiteral("selectPhotosButton"))->click();

    BenchSupport::StallMeter stalls;
    stalls.start();
    table->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    BenchSupport::loopUntil([&summary]() { return !summary.isEmpty(); }, 30 * 60 * 1000);
    stalls.stop();

    out << "photos: " << count << " (" << width << " x " << height << ")" << Qt::endl;
    out << "import time: " << stalls.elapsed() << " ms" << Qt::endl;
    out << "longest GUI stall: " << stalls.longest << " ms" << Qt::endl;
    out << "stalls over 50 ms: " << stalls.over50 << ", over 100 ms: " << stalls.over100 << Qt::endl;
    out << "summary:" << summary << Qt::endl;

    delete window;
    QMetaObject::invokeMethod(fake, [fake]() { delete fake; }, Qt::BlockingQueuedConnection);
    serviceThread.quit();
    serviceThread.wait();
    ModalBox::setHook(nullptr);
    return summary.isEmpty() ? 1 : 0;
}
