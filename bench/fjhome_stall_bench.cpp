// Design-split window responsiveness: one order of N photos through the real
// window in design-split mode, against the in-process fake order service
// over TLS (on a thread of its own, as a remote service would be), with real
// share folders: photo, thumbnail and raw file per photo, products with crop
// pictures to download.
//
//   fjhome_stall_bench [N] [CROPS]   default 1000 photos, 300 crop pictures
//   fjhome_stall_bench --search N    an order search that finds N orders
//
// Prints the batch time, the longest GUI stall (a 5 ms timer measures it: a
// gap between two ticks beyond 5 ms is time the loop could not react), the
// time the same files take to copy on their own, and the time of the crop
// downloads through one client against a new client per picture.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>

#include "base/heaptuning.h"
#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "bench/guistall.h"
#include "designsplit/fjhome.h"
#include "designsplit/fjleftpanel.h"
#include "designsplit/fjrightpanel.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/servicethread.h"

namespace {

QTextStream out(stdout);

using GuiStall::waitFor;

// A photo that compresses like a camera's: noise over the quadrants.
QByteArray cameraLikeJpeg(int width, int height)
{
    QImage image = JpegFixture::quadrants(width, height);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(64)) - 32;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255), qBound(0, qBlue(c) + n, 255));
        }
    }
    JpegFixture::Options options;
    options.quality = 92;
    return JpegFixture::encode(image, options);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// How long a plain pool of three threads takes to copy the same files: the
// photo, its thumbnail and raw file, and the photo once more into its
// product's folder.
qint64 copyBaseline(const QString &share, const QString &target, int count)
{
    QDir().mkpath(target);
    QElapsedTimer clock;
    clock.start();
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    for (int i = 0; i < count; ++i) {
        pool.start([share, target, i]() {
            const QString name = QStringLiteral("IMG_%1").arg(i, 4, 10, QLatin1Char('0'));
            QFile::copy(share + QStringLiteral("/all/") + name + QStringLiteral(".jpg"),
                        target + QLatin1Char('/') + name + QStringLiteral(".jpg"));
            QFile::copy(share + QStringLiteral("/90/") + name + QStringLiteral(".jpg"),
                        target + QLatin1Char('/') + name + QStringLiteral("_90.jpg"));
            QFile::copy(share + QStringLiteral("/原始档/") + name + QStringLiteral(".CR2"),
                        target + QLatin1Char('/') + name + QStringLiteral(".CR2"));
            QFile::copy(target + QLatin1Char('/') + name + QStringLiteral(".jpg"),
                        target + QLatin1Char('/') + name + QStringLiteral("_product.jpg"));
        });
    }
    pool.waitForDone();
    return clock.elapsed();
}

// The crop pictures fetched one after the other, through one client or a
// new client (its own connection) per picture.
qint64 downloadTime(const QStringList &urls, bool clientPerPicture)
{
    QElapsedTimer clock;
    clock.start();
    BaseReq shared;
    int done = 0;
    for (const QString &url : urls) {
        BaseReq *req = clientPerPicture ? new BaseReq : &shared;
        bool finished = false;
        req->downloadImage(url, [&finished, &done](bool ok, const QByteArray &, const QString &) {
            finished = true;
            done += ok ? 1 : 0;
        });
        waitFor([&finished]() { return finished; }, 30000);
        if (clientPerPicture)
            delete req;
    }
    return done == urls.size() ? clock.elapsed() : -1;
}

// One search of the design-split window that finds `count` orders: the
// longest GUI stall from the press of the search button until the last row
// is in (the reply is parsed off the GUI thread; records and rows are made
// in slices). Run twice, the second search replacing the first list.
int searchBench(int count)
{
    FakeServiceThread service(
        [count](FakeOrderService &fake) {
            QJsonObject data = FakeModel::testData();
            QJsonArray orders;
            for (int i = 0; i < count; ++i) {
                const QString n = QString::number(i);
                orders.append(QJsonObject{{QStringLiteral("shopid"), QStringLiteral("11")},
                                          {QStringLiteral("id"), QStringLiteral("9") + n},
                                          {QStringLiteral("order_photo_id"), QStringLiteral("8") + n},
                                          {QStringLiteral("orderpayforkey"), QStringLiteral("B%1").arg(i, 6, 10, QLatin1Char('0'))},
                                          {QStringLiteral("servicetimes"), QStringLiteral("1")},
                                          {QStringLiteral("mname"), QStringLiteral("张伟") + n},
                                          {QStringLiteral("wname"), QStringLiteral("李娜") + n},
                                          {QStringLiteral("comboname"), QStringLiteral("婚纱照 A 套系")},
                                          {QStringLiteral("shotdate"), QStringLiteral("2024-05-01")},
                                          {QStringLiteral("mphone"), QStringLiteral("13800000000")},
                                          {QStringLiteral("wphone"), QStringLiteral("13900000000")},
                                          {QStringLiteral("pickuptime"), QStringLiteral("06-01")},
                                          {QStringLiteral("netpath"), QStringLiteral("/tmp/none")}});
            }
            data.insert(QStringLiteral("orders"), orders);
            fake.loadModel(data);
        },
        FakeOrderService::Mode::Tls);
    if (service.indexUrl().isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        return 1;
    }
    FakeOrderService::trustTestCa();
    g_indexUrl = service.indexUrl();
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    ModalBox::setHook([](QDialog *) { return int(QMessageBox::Ok); });

    // The program reads the system's certificates when it starts, long
    // before any search: read here before the meter runs, or the first
    // request pays for it.
    BaseReq::tlsConfiguration();

    auto *window = new FJHome;
    window->mode = DesignSplit;
    window->init({{QStringLiteral("windowtitle"), QStringLiteral("设计分件")}});
    window->resize(1366, 728);
    window->show();
    int result = 0;
    for (int run = 1; run <= 2; ++run) {
        GuiStall::Meter meter;
        // Each stall over 50 ms with what the window had when it ended, to
        // tell the request, the reply and the fill apart.
        meter.onStall = [window](qint64 gap, qint64 endedAt, double work) {
            out << "  stall of " << gap << " ms (" << qRound(work) << " ms of CPU) ending at " << endedAt << " ms, "
                << window->leftPanel->orders.size() << " rows in" << (window->leftPanel->isFilling() ? ", filling" : "")
                << Qt::endl;
        };
        meter.start();
        window->rightPanel->onSearchOrderClicked();
        const bool filled = GuiStall::runUntil(
            [window, count]() {
                return window->leftPanel->orders.size() == count && !window->leftPanel->isFilling()
                    && window->rightPanel->searchButton->isEnabled();
            },
            10 * 60 * 1000);
        // The turn that added the last rows ends before the meter ticks
        // again: let it tick, so that gap is read too.
        meter.settle();
        meter.stop();
        out << "search " << run << ": " << count << " orders, " << (filled ? "filled" : "NOT filled") << " in "
            << meter.elapsed() << " ms; longest GUI stall: " << meter.longest << " ms; stalls over 50 ms: "
            << meter.over50 << ", over 100 ms: " << meter.over100 << Qt::endl;
        if (!filled || meter.longest >= 50)
            result = 1;
    }
    delete window;
    ModalBox::setHook(nullptr);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does first thing.
    HeapTuning::apply();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    const QStringList args = app.arguments();
    const int searchAt = args.indexOf(QStringLiteral("--search"));
    if (searchAt > 0)
        return searchBench(args.value(searchAt + 1, QStringLiteral("20000")).toInt());
    const int count = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int crops = args.size() > 2 ? qMin(args.at(2).toInt(), count) : qMin(300, count);

    QTemporaryDir dir;
    const QString share = dir.path() + QStringLiteral("/共享/B0001");
    for (const char *folder : {"/all", "/90", "/原始档"})
        QDir().mkpath(share + QString::fromUtf8(folder));
    const QByteArray photo = cameraLikeJpeg(1600, 1200);
    const QByteArray thumb = cameraLikeJpeg(160, 120);
    const QByteArray raw(2 * 1024 * 1024, '\x5a');
    QJsonArray images;
    QJsonArray goods;
    QJsonArray productImages;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("IMG_%1").arg(i, 4, 10, QLatin1Char('0'));
        if (!writeFile(share + QStringLiteral("/all/") + name + QStringLiteral(".jpg"), photo)
            || !writeFile(share + QStringLiteral("/90/") + name + QStringLiteral(".jpg"), thumb)
            || !writeFile(share + QStringLiteral("/原始档/") + name + QStringLiteral(".CR2"), raw)) {
            out << "cannot write the share" << Qt::endl;
            return 1;
        }
        images.append(QJsonObject{{QStringLiteral("id"), QString::number(i)},
                                  {QStringLiteral("img_name"), name + QStringLiteral(".jpg")}});
        QJsonObject picture{{QStringLiteral("img_name"), name + QStringLiteral(".jpg")}};
        if (i < crops) {
            picture.insert(QStringLiteral("cropping_imgurl"),
                           QStringLiteral("/index.php?g=QuorplexDPc&m=order&a=orderpicture&name=crop_") + name
                               + QStringLiteral(".jpg"));
        }
        productImages.append(picture);
        // Ten products of a hundred pictures each.
        if (productImages.size() == 100 || i == count - 1) {
            goods.append(QJsonObject{{QStringLiteral("id"), QString::number(goods.size() + 1)},
                                     {QStringLiteral("goodname"), QStringLiteral("相册")},
                                     {QStringLiteral("goodtypename"), QStringLiteral("相册")},
                                     {QStringLiteral("goodamount"), QStringLiteral("1")},
                                     {QStringLiteral("factoryname"), QStringLiteral("厂A")},
                                     {QStringLiteral("isurgent"), QStringLiteral("0")},
                                     {QStringLiteral("imgs"), productImages}});
            productImages = QJsonArray();
        }
    }

    // The service answers over TLS from its own thread.
    FakeServiceThread service(
        [&](FakeOrderService &fake) {
            QJsonObject data = FakeModel::testData();
            QJsonObject order{{QStringLiteral("shopid"), QStringLiteral("11")},
                              {QStringLiteral("id"), QStringLiteral("9001")},
                              {QStringLiteral("order_photo_id"), QStringLiteral("900")},
                              {QStringLiteral("orderpayforkey"), QStringLiteral("B0001")},
                              {QStringLiteral("servicetimes"), QStringLiteral("1")},
                              {QStringLiteral("mname"), QStringLiteral("张伟")},
                              {QStringLiteral("wname"), QStringLiteral("李娜")},
                              {QStringLiteral("pickuptime"), QStringLiteral("06-01")},
                              {QStringLiteral("netpath"), share},
                              {QStringLiteral("images"), images},
                              {QStringLiteral("servicetime"),
                               QJsonArray{QJsonObject{{QStringLiteral("order_sample_infoservicetimes"), QStringLiteral("1")},
                                                      {QStringLiteral("goods"), goods}}}}};
            data.insert(QStringLiteral("orders"), QJsonArray{order});
            fake.loadModel(data);
        },
        FakeOrderService::Mode::Tls);
    const QString indexUrl = service.indexUrl();
    const QString baseUrl = service.baseUrl();
    if (indexUrl.isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        return 1;
    }
    FakeOrderService::trustTestCa();
    g_indexUrl = indexUrl;
    g_barcodeUrl = indexUrl + g_groupParam + QStringLiteral("&m=order&a=getbarcodegen");
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};

    QString summary;
    ModalBox::setHook([&summary](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            summary = box->text();
        return int(QMessageBox::Ok);
    });
    const QString target = dir.path() + QStringLiteral("/输出");
    QDir().mkpath(target);
    ModalBox::setFolderHook([&target](QWidget *, const QString &) { return target; });

    auto *window = new FJHome;
    window->mode = DesignSplit;
    window->init({{QStringLiteral("windowtitle"), QStringLiteral("设计分件")}});
    window->resize(1400, 900);
    window->show();
    window->rightPanel->onSearchOrderClicked();
    if (!waitFor([window]() { return window->leftPanel->orders.size() == 1; }, 30000)) {
        out << "no order found" << Qt::endl;
        return 1;
    }
    window->rightPanel->onChooseDirectoryClicked();
    window->leftPanel->onSelectAllClicked();

    qint64 copiesDone = 0;
    qint64 productsDone = 0;
    GuiStall::Meter meter;
    meter.onTick = [&](qint64 now) {
        if (!copiesDone && window->copyPicTotal > 0 && window->copyPicFinishNum == window->copyPicTotal)
            copiesDone = now;
        if (!productsDone && copiesDone && window->proFinishNum == goods.size())
            productsDone = now;
    };
    meter.start();
    window->rightPanel->onStartProcessClicked();
    GuiStall::runUntil([&summary]() { return !summary.isEmpty(); }, 30 * 60 * 1000);
    meter.stop();
    const qint64 batch = meter.elapsed();
    delete window;

    QStringList urls;
    for (int i = 0; i < crops; ++i) {
        urls << baseUrl + QStringLiteral("/index.php?g=QuorplexDPc&m=order&a=orderpicture&name=crop_IMG_%1.jpg")
                              .arg(i, 4, 10, QLatin1Char('0'));
    }
    const qint64 baseline = copyBaseline(share, dir.path() + QStringLiteral("/baseline"), count);
    const qint64 shared = downloadTime(urls, false);
    const qint64 perPicture = downloadTime(urls, true);

    out << "photos: " << count << " (" << photo.size() / 1024 << " KB each, thumbnail " << thumb.size() / 1024
        << " KB, raw " << raw.size() / 1024 << " KB), crop pictures: " << crops << ", products: " << goods.size()
        << Qt::endl;
    out << "batch time: " << batch << " ms (photo copies done at " << copiesDone << " ms, product folders at "
        << productsDone << " ms, then the sheet)" << Qt::endl;
    out << "longest GUI stall: " << meter.longest << " ms" << Qt::endl;
    out << "stalls over 50 ms: " << meter.over50 << ", over 100 ms: " << meter.over100 << Qt::endl;
    out << "the same copies alone (photo, thumbnail, raw, product; 3 threads): " << baseline << " ms" << Qt::endl;
    out << crops << " crop downloads one after another, one client: " << shared
        << " ms; a new client per picture: " << perPicture << " ms" << Qt::endl;
    out << "summary: " << summary << Qt::endl;

    ModalBox::setHook(nullptr);
    return summary.startsWith(QStringLiteral("1个订单分件完成!")) ? 0 : 1;
}
