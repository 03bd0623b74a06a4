// Production sheet of one order with N selected photos (100 px thumbnails),
// each also a picture of one of the order's products: time to the written
// PDF on a pool thread, the longest GUI-thread stall meanwhile, peak memory,
// and the pictures embedded in the PDF.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>

#include "base/k.h"
#include "bench/guistall.h"
#include "designsplit/jobs/fjdatathread.h"

namespace {

class Owner : public QObject
{
    Q_OBJECT

public:
    bool done = false;
    bool ok = false;

public slots:
    void slt_copypicthread(bool ok, QString, QString, QString, QString message)
    {
        done = true;
        this->ok = ok;
        if (!ok)
            std::printf("failed: %s\n", qPrintable(message));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    K::instance()->loadFont();
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;

    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/order/");
    QDir().mkpath(root + QStringLiteral("其他/缩略图"));
    QJsonArray selected;
    QJsonArray goods;
    QJsonArray productPictures;
    for (int i = 0; i < count; ++i) {
        // Thumbnails as the photo-transfer engine makes them: 100 px on the
        // long side, each with its own content.
        QImage thumb(100, 67, QImage::Format_RGB32);
        thumb.fill(QColor::fromHsv(i % 360, 120 + i % 100, 120 + (i / 360) % 120));
        for (int y = 0; y < thumb.height(); y += 4)
            for (int x = (i + y) % 7; x < thumb.width(); x += 7)
                thumb.setPixel(x, y, qRgb((x * i) % 255, (y * 3) % 255, (i * 7) % 255));
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        thumb.save(root + QStringLiteral("其他/缩略图/") + name, "JPEG", 85);
        selected.append(QJsonObject{{"img_name", name}});
        productPictures.append(QJsonObject{{"img_name", name}});
        if (productPictures.size() == 40) {
            goods.append(QJsonObject{{"goodname", QStringLiteral("相册%1").arg(goods.size() + 1)},
                                     {"isurgent", "0"},
                                     {"imgs", productPictures}});
            productPictures = QJsonArray();
        }
    }
    const QJsonObject reply{
        {"order", QJsonObject{{"shopname", "基准影楼"}, {"orderpayforkey", "BENCH"}, {"mname", "张"}, {"wname", "李"}}},
        {"servicetime", QJsonArray{QJsonObject{{"order_sample_infoservicetimes", "1"}, {"goods", goods}}}},
        {"images", selected},
    };
    const long before = long(GuiStall::peakRssKiB());

    Owner owner;
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    auto *job = new FJDataThread(QStringLiteral("生成Html"), &owner);
    job->orderRoot = root;
    job->orderDetail = reply;

    // The GUI thread only runs its event loop; a 5 ms timer measures how long
    // it is ever kept from it.
    QElapsedTimer clock;
    QElapsedTimer beat;
    qint64 longestStall = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestStall = qMax(longestStall, beat.restart());
        if (owner.done)
            app.quit();
    });
    clock.start();
    beat.start();
    heartbeat.start(5);
    pool.start(job);
    app.exec();
    const qint64 elapsed = clock.elapsed();
    pool.waitForDone();

    const QString pdf = root + QStringLiteral("其他/明细制作单.pdf");
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    images.waitForFinished(120000);
    QSet<QString> objects;
    int placements = 0;
    for (const QString &line : QString::fromUtf8(images.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).mid(2)) {
        objects.insert(line.simplified().section(' ', 10, 11));
        ++placements;
    }
    std::printf("photos %d, sheet %s in %lld ms, longest GUI stall %lld ms\n", count, owner.ok ? "written" : "FAILED",
                elapsed, longestStall);
    std::printf("PDF %.1f MB, %d pictures placed, %d embedded\n", QFileInfo(pdf).size() / 1048576.0, placements,
                int(objects.size()));
    std::printf("peak resident memory %ld MB (%ld MB before the job)\n", long(GuiStall::peakRssKiB()) / 1024, before / 1024);
    return owner.ok ? 0 : 1;
}

#include "sheet_bench.moc"
