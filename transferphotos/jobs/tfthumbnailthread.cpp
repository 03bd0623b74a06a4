#include "transferphotos/jobs/tfthumbnailthread.h"

#include <exception>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "imaging/tfimageprocessing.h"
#include "transferphotos/jobs/tflog.h"

namespace {

constexpr int kThumbWidth = 160;
constexpr int kThumbHeight = 120;
const QString kVideoIcon = QStringLiteral(":/transferphotos/image/transferphotos/home/video.png");
const QString kCacheFolder = QStringLiteral("/DP_缩略图");

// Scales a decoded (stored-orientation) picture so that, once turned
// upright, it fits 160 x 120, and turns it.
QImage fitUpright(const QImage &decoded, int orientation)
{
    if (decoded.isNull())
        return QImage();
    QSize box(kThumbWidth, kThumbHeight);
    if (orientation >= 5 && orientation <= 8)
        box.transpose();
    const QImage small = decoded.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (small.isNull())
        return QImage();
    return orientation == 1 ? small : TfImage::rotateImageByExif(small, orientation);
}

} // namespace

tfthumbnailthread::tfthumbnailthread(QObject *parent)
    : QThread(parent)
{
}

tfthumbnailthread::~tfthumbnailthread()
{
    quit();
    wait();
    runEnded.load(std::memory_order_acquire);
}

void tfthumbnailthread::setPhotos(const QList<PhotoInfo> &photos)
{
    std::unique_lock<std::mutex> lock(mutex);
    tasks.clear();
    stopFlag = false;
    for (int i = 0; i < photos.size(); ++i) {
        const PhotoInfo &photo = photos.at(i);
        if (!photo.ratio.isEmpty())
            continue;
        ThumbnailTask task;
        task.path = photo.url;
        task.fileName = QFileInfo(PathUtil::toFs(photo.url)).fileName();
        task.index = i;
        tasks.append(task);
    }
    if (isRunning())
        taskCondition.notify_one();
    else
        start();
}

void tfthumbnailthread::stop()
{
    std::unique_lock<std::mutex> lock(mutex);
    stopFlag = true;
    tasks.clear();
    taskCondition.notify_one();
}

void tfthumbnailthread::quit()
{
    std::unique_lock<std::mutex> lock(mutex);
    stopFlag = true;
    quitFlag = true;
    tasks.clear();
    taskCondition.notify_one();
}

void tfthumbnailthread::run()
{
    for (;;) {
        ThumbnailTask task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            while (tasks.isEmpty() && !quitFlag)
                taskCondition.wait(lock);
            if (quitFlag)
                break;
            if (stopFlag)
                continue;
            task = tasks.takeFirst();
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (stopFlag || quitFlag)
                continue;
        }

        const QPixmap picture = generateThumbnail(task.path);

        std::unique_lock<std::mutex> lock(mutex);
        if (!stopFlag && !quitFlag) {
            emit thumbnailGenerated(task.fileName, task.path, picture, task.index);
            if (tasks.isEmpty() && !stopFlag && !quitFlag)
                emit allTasksCompleted();
        }
    }
    // The very last step, after the mutex is released: a destructor that has
    // waited for the thread then sees every access of the thread done.
    runEnded.store(true, std::memory_order_release);
}

QPixmap tfthumbnailthread::generateThumbnail(const QString &path)
{
    const int type = g_uploadType.load();
    if (type == static_cast<int>(UploadType::TrialVideo) || type == static_cast<int>(UploadType::RetouchedVideo))
        return QPixmap(kVideoIcon);
    return QPixmap::fromImage(makeThumbnail(PathUtil::toFs(path)));
}

QImage tfthumbnailthread::makeThumbnail(const QString &fsPath)
{
    const QFileInfo source(fsPath);
    const QString thumbDir = source.absolutePath() + kCacheFolder;
    const QString thumbPath = thumbDir + QLatin1Char('/') + source.fileName();

    if (QFileInfo(thumbDir).isDir()) {
        const QFileInfo cached(thumbPath);
        // A cache file older than its source belongs to an earlier version of
        // the photo and is made again.
        if (cached.isFile()
            && !(source.exists() && PathUtil::modifiedMSecs(thumbPath) < PathUtil::modifiedMSecs(fsPath))) {
            const QImage image(thumbPath);
            if (!image.isNull())
                return image;
        }
    } else {
        QDir().mkpath(thumbDir);
    }

    const QMap<QString, QString> made = K::instance()->makeThumbnail(fsPath, thumbPath, kThumbWidth, kThumbHeight);
    qCDebug(lcTransfer) << "用的新方法生成的" << made;

    QImage picture;
    if (made.value(QStringLiteral("code")) == QLatin1String("1")) {
        picture = QImage(thumbPath);
    } else if (source.exists()) {
        QFile file;
        if (FileOps::openSource(fsPath, &file)) {
            QImageReader reader(&file);
            reader.setAutoTransform(false);
            const QSize size = reader.size();
            if (reader.canRead() && size.width() >= 0 && size.height() >= 0) {
                const qint64 pixels = qint64(size.width()) * size.height();
                if (size.width() <= 5000 && size.height() <= 5000 && pixels <= 20000000) {
                    const int orientation = TfImage::orientationOf(&file, reader);
                    picture = fitUpright(reader.read(), orientation);
                } else {
                    file.close();
                    picture = loadThumbnail(fsPath).toImage();
                }
            }
        }
    }

    if (picture.isNull())
        return placeholder();
    // The cache is written only beside the photo: a link at the cache folder
    // or file would otherwise overwrite some other file with a thumbnail.
    QString refusal;
    if (!Confined::makePath(thumbDir, source.absolutePath(), &refusal)
        || !Confined::writeImage(thumbPath, source.absolutePath(), picture, TfImage::formatOf(thumbPath), -1,
                                 &refusal))
        qCWarning(lcTransfer) << "缩略图缓存未写入:" << thumbPath << refusal;
    return picture;
}

QPixmap tfthumbnailthread::loadThumbnail(const QString &path)
{
    try {
        const QString fs = PathUtil::toFs(path);
        QFile file;
        if (!FileOps::openSource(fs, &file))
            return QPixmap();
        QImageReader reader(&file);
        reader.setAutoTransform(false);
        const QSize size = reader.size();
        if (!reader.canRead() || size.width() < 0 || size.height() < 0)
            return QPixmap();
        const int orientation = TfImage::orientationOf(&file, reader);
        const QSize readSize = calcThumbnailReadSize(size);
        reader.setScaledSize(readSize);
        QImage image = reader.read();
        if (image.isNull()) {
            file.seek(0);
            QImageReader retry(&file);
            retry.setAutoTransform(false);
            retry.setScaledSize(QSize(qMin(readSize.width(), 1024), qMin(readSize.height(), 1024)));
            image = retry.read();
            if (image.isNull())
                return QPixmap();
        }
        const QImage small = fitUpright(image, orientation);
        if (small.isNull())
            return QPixmap();
        return QPixmap::fromImage(small);
    } catch (const std::exception &) {
        return QPixmap();
    } catch (...) {
        return QPixmap();
    }
}

QSize tfthumbnailthread::calcThumbnailReadSize(const QSize &size)
{
    const int w = size.width();
    const int h = size.height();
    const int longSide = qMax(w, h);
    if (longSide <= 1000)
        return size;
    int t;
    if (longSide > 15000)
        t = 800;
    else if (longSide > 10000)
        t = 1200;
    else if (longSide > 5000)
        t = 1600;
    else if (longSide >= 4098)
        t = 2048;
    else
        t = longSide / 2;
    const QSize result = w > h ? QSize(t, int(qint64(t) * h / w)) : QSize(int(qint64(t) * w / h), t);
    if (result.width() > w || result.height() > h)
        return size;
    return result;
}

QImage tfthumbnailthread::placeholder()
{
    QImage image(kThumbWidth, kThumbHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, kThumbWidth, kThumbHeight);
    gradient.setColorAt(0, QColor(100, 149, 237, 100));
    gradient.setColorAt(1, QColor(176, 196, 222, 100));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(QColor(70, 130, 180), 2));
    painter.drawRect(60, 40, 40, 40);
    painter.drawLine(60, 55, 80, 40);
    painter.drawLine(80, 40, 100, 55);
    painter.drawLine(100, 55, 100, 80);
    painter.drawLine(100, 80, 60, 80);
    painter.end();
    return image;
}
