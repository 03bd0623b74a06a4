// Photo-transfer engine benchmark: imports a folder of photos as one order
// through the import manager with two workers, as the photo-transfer window
// runs it, and prints photos per second and the peak resident memory.
//
//   engine_bench --generate N DIR   make N 24-megapixel JPEGs in DIR (once)
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

#include "tests/support/jpegfixture.h"
#include "transferphotos/tfbufferpool.h"
#include "transferphotos/tfphotojob.h"
#include "transferphotos/tfimportthreadmanager.h"

namespace {

QTextStream out(stdout);

qint64 peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
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

int generate(int count, const QString &dirPath)
{
    QDir().mkpath(dirPath);
    std::atomic<int> made{0};
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    for (int i = 0; i < count; ++i) {
        const QString path = dirPath + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (QFileInfo::exists(path))
            continue;
        pool.start([path, i, &made]() {
            JpegFixture::Options options;
            options.orientation = (i % 2) ? 6 : 1;
            options.quality = 92;
            const QByteArray data = JpegFixture::encode(cameraPicture(6000, 4000, quint32(i + 1)), options);
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
        const QMetaObject::Connection done = QObject::connect(
            &manager, &tfimportthreadmanager::orderImportCompleted, [&](OrderInfo, bool, QString) {
                elapsed = timer.elapsed();
                loop.quit();
            });
        QTimer::singleShot(0, [&]() {
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
        } else {
            out << "engine_run" << run << "_seconds " << QString::number(seconds, 'f', 2) << "\n";
        }
    }
    out << "engine_peak_rss_mb " << QString::number(double(peakRssKiB()) / 1024.0, 'f', 0) << "\n";
    out << "engine_full_decodes " << TfPhotoJob::stats().fullDecodes << "\n";
    // What the decode cache still holds once the manager has seen all work
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

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--generate"))
        return generate(args.at(2).toInt(), args.at(3));
    if ((args.size() == 4 || args.size() == 5) && args.at(1) == QLatin1String("--import"))
        return import(args.at(2), args.at(3), args.size() == 5 ? qMax(1, args.at(4).toInt()) : 1);
    out << "usage: engine_bench --generate N DIR | --import DIR OUT [RUNS]\n";
    return 2;
}
