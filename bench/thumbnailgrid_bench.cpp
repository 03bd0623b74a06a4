// Thumbnail grid with 5,000 records: time to the first cards and pictures,
// and the longest stall of the GUI thread while the user drags the scroll bar
// to the end and while a second list replaces the first.
//
//   thumbnailgrid_bench [records]      (default 5000)
//
// Pictures come from the in-process fake image server over real sockets.

#include <algorithm>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLoggingCategory>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVector>

#include "base/heaptuning.h"
#include "base/globals.h"
#include "bench/guistall.h"
#include "public/thumbnailphoto.h"
#include "public/thumbnailtableview.h"
#include "tests/fakeservice/fakeorderservice.h"

namespace {

// Gaps between turns of the event loop, measured by a 1 ms heartbeat: a gap
// is how long the GUI thread could not react. On a loaded machine a gap also
// holds time the thread waited for a processor; the CPU time the thread used
// within a gap is the program's own work in it.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        timer.setInterval(1);
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, [this]() {
            const qint64 now = clock.nsecsElapsed();
            const double cpu = GuiStall::threadCpuMs();
            if (last >= 0) {
                ends.append(now / 1e6);
                gaps.append((now - last) / 1e6);
                work.append(cpu - lastCpu);
            }
            last = now;
            lastCpu = cpu;
        });
    }
    void start()
    {
        gaps.clear();
        work.clear();
        ends.clear();
        last = -1;
        clock.start();
        timer.start();
    }
    void stop() { timer.stop(); }
    bool ticked() const { return last >= 0; }
    double longest() const { return gaps.isEmpty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end()); }
    // The CPU time the thread used in the longest gap, and the most it used
    // in any gap.
    double longestWork() const
    {
        return gaps.isEmpty() ? 0.0 : work.at(int(std::max_element(gaps.begin(), gaps.end()) - gaps.begin()));
    }
    // When the longest gap ended, in ms after start().
    double longestAt() const
    {
        return gaps.isEmpty() ? 0.0 : ends.at(int(std::max_element(gaps.begin(), gaps.end()) - gaps.begin()));
    }
    double busiest() const { return work.isEmpty() ? 0.0 : *std::max_element(work.begin(), work.end()); }
    double percentile(double p) const
    {
        if (gaps.isEmpty())
            return 0.0;
        QVector<double> sorted = gaps;
        std::sort(sorted.begin(), sorted.end());
        return sorted.at(qMin(sorted.size() - 1, int(sorted.size() * p)));
    }
    int over(double ms) const { return int(std::count_if(gaps.begin(), gaps.end(), [ms](double g) { return g > ms; })); }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = -1;
    double lastCpu = 0;
    QVector<double> gaps;
    QVector<double> work;
    QVector<double> ends;
};

QByteArray jpegBytes(int seed)
{
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((seed * 37) % 360, 160, 220));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

bool pictureShown(QWidget *card)
{
    if (!card)
        return false;
    auto *label = qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>());
    return label && !label->pixmap(Qt::ReturnByValue).isNull();
}

template <typename Pred>
bool runUntil(Pred done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does first thing.
    HeapTuning::apply();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("velquora.public.debug=false"));
    const int records = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;

    FakeOrderService images;
    if (!images.start(FakeOrderService::Mode::Http)) {
        fprintf(stderr, "fake image server did not start\n");
        return 1;
    }
    QStringList urls;
    for (int i = 0; i < 16; ++i)
        urls << images.addFile(QStringLiteral("p%1.jpg").arg(i), jpegBytes(i), QStringLiteral("image/jpeg"));

    auto makeList = [&](const QString &prefix) {
        QList<ThumbnailPhoto> list;
        list.reserve(records);
        for (int i = 0; i < records; ++i) {
            ThumbnailPhoto p;
            p.id = QString::number(i);
            p.name = QStringLiteral("%1%2.JPG").arg(prefix).arg(i, 5, 10, QLatin1Char('0'));
            p.imageUrl = urls.at(i % urls.size());
            list.append(p);
        }
        return list;
    };
    const QList<ThumbnailPhoto> first = makeList(QStringLiteral("DSC_"));
    const QList<ThumbnailPhoto> second = makeList(QStringLiteral("IMG_"));

    ThumbnailTableView grid;
    grid.resize(1000, 700);
    grid.show();
    runUntil([&] { return grid.isVisible(); }, 2000);
    QCoreApplication::processEvents();
    QScrollBar *bar = grid.findChild<QScrollArea *>()->verticalScrollBar();

    StallMeter meter;
    meter.start();
    QElapsedTimer clock;
    clock.start();
    grid.setPhotos(first);
    const double setPhotosMs = clock.nsecsElapsed() / 1e6;
    runUntil([&] { return grid.cardAt(0) && grid.cardAt(0)->isVisible(); }, 5000);
    const double firstCardsMs = clock.nsecsElapsed() / 1e6;
    runUntil([&] { return pictureShown(grid.cardAt(0)); }, 10000);
    const double firstPictureMs = clock.nsecsElapsed() / 1e6;
    meter.stop();
    const double startLongest = meter.longest();
    const double startWork = meter.longestWork();

    // Drag to the end: the bar is pulled to its maximum every 16 ms (one
    // frame) until the last card exists and shows its picture.
    meter.start();
    clock.restart();
    QTimer drag;
    drag.setInterval(16);
    QObject::connect(&drag, &QTimer::timeout, [&] { bar->setValue(bar->maximum()); });
    drag.start();
    const bool reachedEnd = runUntil([&] { return pictureShown(grid.cardAt(records - 1)); }, 600000);
    drag.stop();
    const double toEndMs = clock.nsecsElapsed() / 1e6;
    meter.stop();
    const double scrollLongest = meter.longest();
    const double scrollWork = meter.longestWork();
    const double scrollP99 = meter.percentile(0.99);
    const int scrollOver50 = meter.over(50.0);

    // A second list of the same size while every card of the first exists.
    // The meter ticks before the call, so that the gap holding the call
    // itself is measured too.
    meter.start();
    runUntil([&] { return meter.ticked(); }, 1000);
    clock.restart();
    grid.setPhotos(second);
    const double replaceMs = clock.nsecsElapsed() / 1e6;
    runUntil([&] { return pictureShown(grid.cardAt(0)); }, 10000);
    const double replaceFirstPictureMs = clock.nsecsElapsed() / 1e6;
    QElapsedTimer settle;
    settle.start();
    runUntil([&] { return settle.elapsed() > 1000; }, 2000);
    meter.stop();

    printf("records                                  %d\n", records);
    printf("setPhotos call                           %.1f ms\n", setPhotosMs);
    printf("first cards visible                      %.1f ms\n", firstCardsMs);
    printf("first picture shown                      %.1f ms\n", firstPictureMs);
    printf("longest GUI stall until then             %.1f ms (%.1f ms of it CPU)\n", startLongest, startWork);
    printf("drag to end: last picture shown after    %.1f ms%s\n", toEndMs, reachedEnd ? "" : " (not reached)");
    printf("drag to end: longest GUI stall           %.1f ms (%.1f ms of it CPU)\n", scrollLongest, scrollWork);
    printf("drag to end: 99th percentile gap         %.1f ms\n", scrollP99);
    printf("drag to end: gaps over 50 ms             %d\n", scrollOver50);
    printf("second list: setPhotos call              %.1f ms\n", replaceMs);
    printf("second list: first picture shown         %.1f ms\n", replaceFirstPictureMs);
    printf("second list: longest GUI stall (1 s)     %.1f ms (%.1f ms of it CPU, ended %.0f ms after the call)\n",
           meter.longest(), meter.longestWork(), meter.longestAt());
    printf("second list: most CPU in one gap         %.1f ms\n", meter.busiest());
    return reachedEnd ? 0 : 2;
}
