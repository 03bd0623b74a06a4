// File import: copy rate and GUI responsiveness of one order of many files
// imported through the real import window (originals), its copy jobs and
// its report, against the in-process fake order service on a thread of its
// own. In the same run the same files are copied with cp for comparison.
//
//   import_bench [JPEGS RAWS RAW_MB [WORKDIR]]
//       default 1600 JPEGs (about 1.3 MB) and 400 raws of 25 MB,
//       in /tmp/vq-import-bench (the source files are kept for the next run)
//   import_bench --search N
//       the order search of the window when the service answers with N
//       orders: the time until every row is in and the longest GUI stall
//
// Both copies are timed until their data is on disk (cp, then sync; the
// import, whose copies are flushed file by file, then sync). A 5 ms timer
// measures the GUI thread: a gap between two ticks beyond 5 ms is time the
// window could not react.

#include <time.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>

#include "base/heaptuning.h"
#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "bench/guistall.h"
#include "importfiles/importfiles.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/servicethread.h"
#include "tests/support/transferorders.h"

namespace {

QTextStream out(stdout);

using GuiStall::waitFor;

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A photo-like JPEG that does not compress to nothing: noise over a gradient.
QByteArray noisyJpeg()
{
    QImage image(2400, 1600, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(48));
            line[x] = qRgb((x / 10 + n) & 0xff, (y / 7 + n) & 0xff, (x / 13 + y / 11 + n) & 0xff);
        }
    }
    return JpegFixture::encode(image, JpegFixture::Options());
}

qint64 sizeOf(const QStringList &files)
{
    qint64 total = 0;
    for (const QString &file : files)
        total += QFileInfo(file).size();
    return total;
}

double mbPerSecond(qint64 bytes, qint64 ms)
{
    return ms > 0 ? double(bytes) / (1024.0 * 1024.0) / (double(ms) / 1000.0) : 0.0;
}

// The window's search answered with count orders, from the reply to the
// last row added.
int runSearch(int count)
{
    const QString share = QStringLiteral("/tmp/vq-import-bench-search");
    FakeServiceThread service([&share, count](FakeOrderService &fake) {
        TransferOrders::loadTestOrders(fake, share);
        const QJsonObject model = fake.modelStore().list(QStringLiteral("orders")).at(0).toObject();
        fake.modelStore().setList(QStringLiteral("orders"), FakeModel::manyOrders(model, count));
    });
    if (service.indexUrl().isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        return 1;
    }
    g_indexUrl = service.indexUrl();
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    g_enterpriseId = QStringLiteral("7001");
    ModalBox::setHook([](QDialog *) { return int(QMessageBox::Ok); });

    // The program reads the system's CAs at start, long before a search.
    BaseReq::tlsConfiguration();
    auto *window = new ImportFiles;
    window->setImportType(Originals);
    window->resize(1600, 1000);
    window->show();
    // The window's first layout and paint are not the search's.
    waitFor([]() { return false; }, 500);
    GuiStall::Meter beat;
    beat.onStall = [](qint64 gap, qint64 endedAt, double work) {
        out << "  stall of " << gap << " ms ending at " << endedAt << " ms, GUI thread busy " << qint64(work)
            << " ms of it" << Qt::endl;
    };
    QElapsedTimer clock;
    clock.start();
    beat.start();
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    qint64 firstRowMs = -1;
    beat.onTick = [&](qint64) {
        if (firstRowMs < 0 && !window->orderList().isEmpty())
            firstRowMs = clock.elapsed();
    };
    if (!GuiStall::runUntil([window, count]() { return window->orderList().size() >= count; }, 600000)) {
        out << "the table did not fill: " << window->orderList().size() << " of " << count << Qt::endl;
        delete window;
        return 1;
    }
    const qint64 fillMs = clock.elapsed();
    // The wait may return in the turn that added the last rows: the meter
    // ticks again so that the gap holding them is read.
    beat.settle();
    beat.stop();
    out << "search of " << count << " orders: first rows after " << firstRowMs << " ms, all rows after " << fillMs
        << " ms" << Qt::endl;
    out << "longest GUI stall of the search: " << beat.longest << " ms (ending at " << beat.longestAt
        << " ms, GUI thread busy " << qint64(beat.longestWork) << " ms of it), stalls over 50 ms: " << beat.over50
        << Qt::endl;
    delete window;
    ModalBox::setHook(nullptr);
    QDir(share).removeRecursively();
    return beat.longest < 50 ? 0 : 2;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does first thing.
    HeapTuning::apply();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    const QStringList args = app.arguments();
    if (args.size() > 2 && args.at(1) == QLatin1String("--search"))
        return runSearch(args.at(2).toInt());
    const int jpegs = args.size() > 3 ? args.at(1).toInt() : 1600;
    const int raws = args.size() > 3 ? args.at(2).toInt() : 400;
    const int rawMb = args.size() > 3 ? args.at(3).toInt() : 25;
    const QString work = args.size() > 4 ? args.at(4) : QStringLiteral("/tmp/vq-import-bench");
    const QString source = work + QStringLiteral("/source");
    const QString share = work + QStringLiteral("/share");
    const QString cpTarget = work + QStringLiteral("/cp");
    QDir(share).removeRecursively();
    QDir(cpTarget).removeRecursively();
    QDir().mkpath(source);
    QDir().mkpath(cpTarget);

    // Source files, made once and kept for later runs.
    QStringList files;
    QByteArray jpeg;
    QByteArray raw;
    for (int i = 0; i < jpegs + raws; ++i) {
        const bool isRaw = i >= jpegs;
        const QString path = source + (isRaw ? QStringLiteral("/IMG_%1.CR2") : QStringLiteral("/IMG_%1.JPG"))
                                          .arg(isRaw ? i - jpegs : i, 5, 10, QLatin1Char('0'));
        files << path;
        if (QFileInfo(path).size() > 0)
            continue;
        QByteArray &data = isRaw ? raw : jpeg;
        if (data.isEmpty()) {
            if (isRaw) {
                data.resize(rawMb * 1024 * 1024);
                QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
            } else {
                data = noisyJpeg();
            }
        }
        if (!writeAll(path, data)) {
            out << "cannot write " << path << Qt::endl;
            return 1;
        }
    }
    const qint64 bytes = sizeOf(files);
    QProcess::execute(QStringLiteral("sync"), {});

    // cp of the same files, until they are on disk.
    QElapsedTimer cpClock;
    cpClock.start();
    QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("cp %1/* %2/ && sync").arg(source, cpTarget)});
    const qint64 cpMs = cpClock.elapsed();
    QDir(cpTarget).removeRecursively();
    QProcess::execute(QStringLiteral("sync"), {});

    // The service answers from its own thread.
    FakeServiceThread service([&share](FakeOrderService &fake) { TransferOrders::loadTestOrders(fake, share); });
    const QString indexUrl = service.indexUrl();
    if (indexUrl.isEmpty()) {
        out << "fake service did not start" << Qt::endl;
        return 1;
    }
    g_indexUrl = indexUrl;
    g_shopList = {ShopInfo{QStringLiteral("11"), QStringLiteral("一号店"), QString()}};
    g_enterpriseId = QStringLiteral("7001");

    bool finished = false;
    ModalBox::setHook([&finished](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            finished = finished || box->text() == QStringLiteral("导入完成！");
        return int(QMessageBox::Ok);
    });
    ModalBox::setFilesHook([&files](QWidget *, const QString &, const QString &) { return files; });
    // How many copies run at once.
    std::atomic_int running{0};
    std::atomic_int mostRunning{0};
    ImportFileCopyRunnable::setCheckpointHook(
        [&](ImportFileCopyRunnable::Checkpoint point, const ImportFile &, const std::atomic_bool &) {
            if (point == ImportFileCopyRunnable::BeforeStart) {
                const int now = ++running;
                int seen = mostRunning;
                while (now > seen && !mostRunning.compare_exchange_weak(seen, now)) {
                }
            } else if (point == ImportFileCopyRunnable::Renamed) {
                --running;
            }
        });

    auto *window = new ImportFiles;
    window->setImportType(Originals);
    window->resize(1600, 1000);
    window->show();
    window->findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    if (!waitFor([window]() { return !window->orderList().isEmpty(); }, 10000)) {
        out << "no orders found" << Qt::endl;
        return 1;
    }
    window->orderTable()->selectRow(0);

    GuiStall::Meter beat;
    beat.onStall = [](qint64 gap, qint64 endedAt, double work) {
        out << "  stall of " << gap << " ms ending at " << endedAt << " ms, GUI thread busy " << qint64(work)
            << " ms of it" << Qt::endl;
    };
    beat.start();
    QElapsedTimer pickClock;
    pickClock.start();
    window->orderTable()->cellWidget(0, window->headers().indexOf(QStringLiteral("操作")))
        ->findChild<QPushButton *>(QStringLiteral("selectFilesButton"))
        ->click();
    const qint64 pickMs = pickClock.elapsed();
    waitFor([]() { return false; }, 200);
    const qint64 pickStall = qMax(beat.longest, pickMs);

    beat.start();
    QElapsedTimer importClock;
    importClock.start();
    window->findChild<QPushButton *>(QStringLiteral("startAllButton"))->click();
    if (!waitFor([&finished]() { return finished; }, 60 * 60 * 1000)) {
        out << "the import did not finish" << Qt::endl;
        return 1;
    }
    beat.stop();
    const qint64 copyMs = importClock.elapsed();
    QProcess::execute(QStringLiteral("sync"), {});
    const qint64 importMs = importClock.elapsed();

    int copied = 0;
    for (const ImportFile &file : window->orderList().at(0).files)
        copied += file.status == Succeeded ? 1 : 0;
    out << "files: " << files.size() << " (" << jpegs << " JPEG, " << raws << " raw of " << rawMb << " MB), "
        << bytes / (1024 * 1024) << " MB" << Qt::endl;
    out << "cp + sync: " << cpMs << " ms, " << QString::number(mbPerSecond(bytes, cpMs), 'f', 0) << " MB/s" << Qt::endl;
    out << "import (copies and report): " << copyMs << " ms; + sync: " << importMs << " ms, "
        << QString::number(mbPerSecond(bytes, importMs), 'f', 0) << " MB/s ("
        << QString::number(double(cpMs) / double(importMs), 'f', 2) << " of cp's rate)" << Qt::endl;
    out << "copied: " << copied << ", most copies at once: " << mostRunning.load() << Qt::endl;
    out << "pick of " << files.size() << " files on the GUI thread: " << pickStall << " ms" << Qt::endl;
    out << "longest GUI stall during the import: " << beat.longest << " ms, stalls over 50 ms: " << beat.over50
        << Qt::endl;

    delete window;
    ImportFileCopyRunnable::setCheckpointHook(nullptr);
    ModalBox::setHook(nullptr);
    ModalBox::setFilesHook(nullptr);
    QDir(share).removeRecursively();
    return copied == files.size() ? 0 : 1;
}
