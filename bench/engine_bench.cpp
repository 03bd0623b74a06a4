// Photo-transfer engine benchmark: imports a folder of photos as one order
// through the import manager with two workers, as the photo-transfer window
// runs it, and prints photos per second and the peak resident memory.
//
//   engine_bench --generate N DIR   make N 24-megapixel JPEGs in DIR (once)
//   engine_bench --generate-odd N DIR
//                                   the same at 5999 x 3999 in 4:4:4, whose
//                                   turns cannot be lossless
//   engine_bench --generate-detail N DIR
//                                   finished exports: 6000 x 4000 in 4:4:4
//                                   with fine detail in every channel, half
//                                   of them turned (orientation 6)
//   engine_bench --bestcase DIR OUT the same copies on one thread with
//                                   nothing around them: the floor of the
//                                   CPU a photo needs
//   engine_bench --import DIR OUT [RUNS]
//                                   import every JPEG of DIR into OUT; with
//                                   RUNS > 1 the same photos are imported
//                                   again through the same manager, each
//                                   run into a folder of its own

#include <atomic>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QTextStream>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include "base/heaptuning.h"
#include "base/fileops.h"
#include "bench/guistall.h"
#include "tests/support/jpegfixture.h"
#include "imaging/tfimageprocessing.h"
#include "imaging/tfjpeg.h"
#include "imaging/tfbufferpool.h"
#include "imaging/tfphotojob.h"
#include "transferphotos/jobs/tfimportthreadmanager.h"

namespace {

QTextStream out(stdout);

double processCpuMs()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// A camera-like picture: smooth light with fine sensor noise, so that it
// compresses to about 8-15 MB at quality 92.
QImage cameraPicture(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 s = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int gy = (y * 255) / height;
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            const int n = int((s >> 24) & 0x3f) - 32;
            const int gx = (x * 255) / width;
            const int r = qBound(0, ((gx + gy) >> 1) + n, 255);
            const int g = qBound(0, (gx ^ int(seed & 0xff)) / 2 + 64 + n, 255);
            const int b = qBound(0, 255 - gy + n / 2, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

// A finished export: a scene of edges and fine texture, retouched and
// sharpened, with grain in every channel kept by 4:4:4, so that its
// entropy-coded data is about twice a camera photo's at quality 92.
QImage detailPicture(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 s = seed * 2654435761u + 7;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int gy = (y * 255) / height;
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            const int nr = int((s >> 28) & 0x0f) - 8;
            const int ng = int((s >> 22) & 0x0f) - 8;
            const int nb = int((s >> 16) & 0x0f) - 8;
            // Stripes of a fabric and a tiled pattern: edges every few pixels.
            const int stripe = ((x + y / 3 + int(seed)) / 5) % 2 ? 16 : -16;
            const int tile = ((x / 37 + y / 29) & 1) ? 24 : -24;
            const int gx = (x * 255) / width;
            const int r = qBound(0, ((gx + gy) >> 1) + stripe + nr, 255);
            const int g = qBound(0, (gx ^ int(seed & 0xff)) / 2 + 64 + tile + ng, 255);
            const int b = qBound(0, 255 - gy + stripe / 2 - tile + nb, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

enum class Set {
    Camera, // 6000 x 4000, 4:2:0, half turned (6)
    Odd,    // 5999 x 3999, 4:4:4, orientations 1, 6, 8, 3
    Detail, // 6000 x 4000, 4:4:4, fine detail, half turned (6)
};

int generate(int count, const QString &dirPath, Set set)
{
    QDir().mkpath(dirPath);
    std::atomic<int> made{0};
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    for (int i = 0; i < count; ++i) {
        const QString path = dirPath + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (QFileInfo::exists(path))
            continue;
        pool.start([path, i, set, &made]() {
            JpegFixture::Options options;
            options.quality = 92;
            options.cameraMake = QStringLiteral("Velquora Optics");
            options.cameraModel = QStringLiteral("VQ-5D Mark II");
            options.dateTaken = QStringLiteral("2024:05:09 10:11:12");
            options.pixelSize = true;
            options.thumbnail = true;
            // Odd sizes in 4:4:4 cut blocks on both edges: every turn but a
            // transposition needs a decode and an encode.
            const QSize size = set == Set::Odd ? QSize(5999, 3999) : QSize(6000, 4000);
            if (set == Set::Odd) {
                options.sampling = 444;
                options.orientation = QList<int>({1, 6, 8, 3}).at(i % 4);
            } else {
                options.sampling = set == Set::Detail ? 444 : 420;
                options.orientation = (i % 2) ? 6 : 1;
            }
            const QImage picture = set == Set::Detail ? detailPicture(size.width(), size.height(), quint32(i + 1))
                                                      : cameraPicture(size.width(), size.height(), quint32(i + 1));
            const QByteArray data = JpegFixture::encode(picture, options);
            QFile file(path + QStringLiteral(".part"));
            if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size()) {
                file.close();
                QFile::rename(path + QStringLiteral(".part"), path);
                ++made;
            }
        });
    }
    pool.waitForDone();
    out << "generated " << made.load() << " new photos in " << dirPath << "\n";
    return 0;
}

int import(const QString &photoDir, const QString &outDir, int runs)
{
    QLoggingCategory::setFilterRules(QStringLiteral("velquora.*.debug=false"));
    const QStringList names = QDir(photoDir).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.JPG"),
                                                        QStringLiteral("*.jpeg"), QStringLiteral("*.JPEG")},
                                                       QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        out << "no photos in " << photoDir << "\n";
        return 1;
    }
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);

    // VQ_BENCH_BUDGET_MB: the photo jobs' memory budget, to see what it
    // costs in throughput (the program always runs with the default).
    const int budgetMb = qEnvironmentVariableIntValue("VQ_BENCH_BUDGET_MB");
    if (budgetMb > 0)
        TfBufferPool::instance().setBudget(qint64(budgetMb) * 1024 * 1024);

    tfimportthreadmanager manager;
    manager.setWorkerCount(2);
    int failed = 0;
    QObject::connect(&manager, &tfimportthreadmanager::photoImported,
                     [&failed](OrderInfo, QString name, int, bool success, QString message) {
                         if (!success) {
                             ++failed;
                             out << "failed: " << name << " " << message << "\n";
                         }
                     });
    qint64 bytes = 0;
    for (int run = 1; run <= runs; ++run) {
        OrderInfo order;
        order.orderpayforkey = QStringLiteral("BENCH");
        order.servicetimes = QString::number(run);
        order.importPath = QDir(outDir).absoluteFilePath(run == 1 ? QString() : QStringLiteral("run%1").arg(run));
        QDir().mkpath(order.importPath);
        bytes = 0;
        for (const QString &name : names) {
            const QString path = QDir(photoDir).absoluteFilePath(name);
            bytes += QFileInfo(path).size();
            for (const char *tag : {"all", "90", "190", "1920"}) {
                PhotoInfo p;
                p.img_name = name;
                p.url = path;
                p.sizeTag = QString::fromLatin1(tag);
                p.ratio = p.sizeTag == QLatin1String("all") ? QString() : p.sizeTag;
                p.targetDir = order.importPath;
                order.selectedFiles.append(p);
            }
        }

        QEventLoop loop;
        QElapsedTimer timer;
        qint64 elapsed = 0;
        double cpuStart = 0;
        double cpuMs = 0;
        const QMetaObject::Connection done = QObject::connect(
            &manager, &tfimportthreadmanager::orderImportCompleted, [&](OrderInfo, bool, QString) {
                elapsed = timer.elapsed();
                cpuMs = processCpuMs() - cpuStart;
                loop.quit();
            });
        QTimer::singleShot(0, [&]() {
            cpuStart = processCpuMs();
            timer.start();
            manager.addBatchTasks({order});
        });
        loop.exec();
        QObject::disconnect(done);

        const double seconds = double(elapsed) / 1000.0;
        if (run == 1) {
            out << "engine: " << names.size() << " photos (" << QString::number(double(bytes) / 1048576.0, 'f', 0)
                << " MB), 4 outputs each, 2 workers\n";
            out << "engine_seconds " << QString::number(seconds, 'f', 2) << "\n";
            out << "engine_photos_per_second " << QString::number(names.size() / seconds, 'f', 2) << "\n";
            out << "engine_cpu_ms_per_photo " << QString::number(cpuMs / names.size(), 'f', 1) << "\n";
            out << "engine_cores_used " << QString::number(cpuMs / double(qMax<qint64>(1, elapsed)), 'f', 2) << "\n";
        } else {
            out << "engine_run" << run << "_seconds " << QString::number(seconds, 'f', 2) << "\n";
        }
    }
    out << "engine_peak_rss_mb " << QString::number(double(GuiStall::peakRssKiB()) / 1024.0, 'f', 0) << "\n";
    out << "engine_full_decodes " << TfPhotoJob::stats().fullDecodes << "\n";
    // What the engine's buffer pool still holds once the manager has seen all work
    // done, as the photo-transfer window's batch ends.
    {
        QEventLoop loop;
        QObject::connect(&manager, &tfimportthreadmanager::allTasksCompleted, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    out << "engine_held_mb_after " << QString::number(double(TfBufferPool::instance().blockBytes()) / 1048576.0, 'f', 0)
        << "\n";
    out << "engine_failed " << failed << "\n";
    return failed == 0 ? 0 : 1;
}

// The best case of the same work on one thread, with nothing around it: one
// read of each photo, the full-size copy as the bytes read or turned
// without decoding, one decode at the smallest DCT-scaled size that covers
// the "1920" copy, each smaller copy from the one above, every file written
// through the same atomic, flushed write. Prints CPU time per stage.
int bestCase(const QString &photoDir, const QString &outDir)
{
    const QStringList names = QDir(photoDir).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.JPG")}, QDir::Files,
                                                       QDir::Name);
    QDir(outDir).removeRecursively();
    for (const char *sub : {"all", "1920", "190", "90"})
        QDir().mkpath(outDir + QLatin1Char('/') + QString::fromLatin1(sub));
    QLoggingCategory::setFilterRules(QStringLiteral("velquora.*.debug=false"));
    // The same memory setting as the engine: no fresh pages for the codec.
    TfBufferPool::keepFreedMemory();
    QMap<QString, double> stage;
    const double start = GuiStall::threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    int failed = 0;
    std::vector<uchar> pixels;
    for (const QString &name : names) {
        double t = GuiStall::threadCpuMs();
        auto lap = [&](const char *what) {
            const double now = GuiStall::threadCpuMs();
            stage[QString::fromLatin1(what)] += now - t;
            t = now;
        };
        QFile file(QDir(photoDir).absoluteFilePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            ++failed;
            continue;
        }
        const QByteArray bytes = file.readAll();
        lap("read");
        const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
        TfJpeg::Header header;
        if (!TfJpeg::readHeader(data, bytes.size(), &header)) {
            ++failed;
            continue;
        }
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        int orientation = TfImage::jpegExifOrientation(&buffer);
        orientation = orientation < 1 ? 1 : orientation;
        const QString all = outDir + QStringLiteral("/all/") + name;
        if (orientation == 1) {
            FileOps::writeAtomically(all, bytes);
            lap("write");
        }
        QString error;
        bool fullDecoded = false;
        if (orientation != 1) {
            QByteArray turned;
            if (TfJpeg::turnLossless(data, bytes.size(), orientation, &turned, &error) == TfJpeg::TurnResult::Turned) {
                lap("lossless turn");
            } else {
                // The size allows no lossless turn: decode, turn, encode.
                pixels.resize(size_t(header.width) * header.height * 4);
                TfJpeg::decode(data, bytes.size(), 1, pixels.data(), header.width * 4, &error);
                fullDecoded = true;
                const QImage full(pixels.data(), header.width, header.height, header.width * 4, QImage::Format_RGB32);
                lap("full decode");
                const QSize up = TfImage::uprightSize(full.size(), orientation);
                QImage upright(up, QImage::Format_RGB32);
                TfImage::orientInto(full, orientation, &upright);
                lap("turn");
                TfJpeg::encode(upright, 95, TfJpeg::uprightSampling(header.subsampling, orientation), &turned, &error);
                lap("full encode");
            }
            FileOps::writeAtomically(all, turned);
            lap("write");
        }
        int d = 1;
        for (int candidate : {8, 4, 2}) {
            const QSize sz = TfJpeg::scaledSize(header, candidate);
            if (!fullDecoded && qMax(sz.width(), sz.height()) >= 1920) {
                d = candidate;
                break;
            }
        }
        const QSize size = TfJpeg::scaledSize(header, d);
        if (!fullDecoded) {
            pixels.resize(size_t(size.width()) * size.height() * 4);
            TfJpeg::decode(data, bytes.size(), d, pixels.data(), size.width() * 4, &error);
            lap("scaled decode");
        }
        const QImage decoded(pixels.data(), size.width(), size.height(), size.width() * 4, QImage::Format_RGB32);
        QImage from = decoded;
        for (int target : {1920, 190, 90}) {
            const QImage scaled = from.scaled(QSize(header.width, header.height).scaled(target, target, Qt::KeepAspectRatio),
                                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            from = scaled;
            const QImage upright = TfImage::rotateImageByExif(scaled, orientation);
            lap("scale and turn");
            QByteArray encoded;
            TfJpeg::encode(upright, 90, TfJpeg::kSampling420, &encoded, &error);
            lap("encode");
            FileOps::writeAtomically(outDir + QLatin1Char('/') + QString::number(target) + QLatin1Char('/') + name,
                                     encoded);
            lap("write");
        }
    }
    const double total = GuiStall::threadCpuMs() - start;
    out << "bestcase: " << names.size() << " photos, one thread\n";
    out << "bestcase_seconds " << QString::number(wall.elapsed() / 1000.0, 'f', 2) << "\n";
    out << "bestcase_cpu_ms_per_photo " << QString::number(total / names.size(), 'f', 1) << "\n";
    for (auto it = stage.cbegin(); it != stage.cend(); ++it)
        out << "bestcase_stage_ms_per_photo " << QString(it.key()).replace(QLatin1Char(' '), QLatin1Char('_')) << " "
            << QString::number(it.value() / names.size(), 'f', 1) << "\n";
    out << "bestcase_peak_rss_mb " << QString::number(double(GuiStall::peakRssKiB()) / 1024.0, 'f', 0) << "\n";
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does first thing.
    HeapTuning::apply();
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--generate"))
        return generate(args.at(2).toInt(), args.at(3), Set::Camera);
    if (args.size() == 4 && args.at(1) == QLatin1String("--generate-odd"))
        return generate(args.at(2).toInt(), args.at(3), Set::Odd);
    if (args.size() == 4 && args.at(1) == QLatin1String("--generate-detail"))
        return generate(args.at(2).toInt(), args.at(3), Set::Detail);
    if ((args.size() == 4 || args.size() == 5) && args.at(1) == QLatin1String("--import"))
        return import(args.at(2), args.at(3), args.size() == 5 ? qMax(1, args.at(4).toInt()) : 1);
    if (args.size() == 4 && args.at(1) == QLatin1String("--bestcase"))
        return bestCase(args.at(2), args.at(3));
    out << "usage: engine_bench --generate N DIR | --import DIR OUT [RUNS] | --bestcase DIR OUT\n"
           "       engine_bench --generate-odd N DIR  (5999 x 3999, 4:4:4)\n"
           "       engine_bench --generate-detail N DIR  (6000 x 4000, 4:4:4, fine detail)\n";
    return 2;
}
