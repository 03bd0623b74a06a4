#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QThread>

#include "base/orderinfo.h"

// One picked file waiting for its thumbnail.
struct ThumbnailTask
{
    QString path;
    QString fileName;
    int index = 0;
};

// Makes the thumbnails of an order's picked files, one at a time in list
// order, off the GUI thread; photos are cached beside their source in
// "DP_缩略图".
class tfthumbnailthread : public QThread
{
    Q_OBJECT

public:
    explicit tfthumbnailthread(QObject *parent = nullptr);
    ~tfthumbnailthread() override;

    void setPhotos(const QList<PhotoInfo> &photos);
    void stop();
    // Ends the thread at its next check; it cannot be restarted.
    void quit();

    QPixmap generateThumbnail(const QString &path);
    QPixmap loadThumbnail(const QString &path);
    static QSize calcThumbnailReadSize(const QSize &size);

    // The drawn picture shown for a file that cannot be read.
    static QImage placeholder();

signals:
    void thumbnailGenerated(QString fileName, QString filePath, QPixmap thumbnail, int index);
    void allTasksCompleted();

protected:
    void run() override;

private:
    QImage makeThumbnail(const QString &fsPath);

    // Standard primitives: ThreadSanitizer sees their waits, not Qt's.
    std::mutex mutex;
    std::condition_variable taskCondition;
    // Set as the last step of run(); read after wait() in the destructor.
    std::atomic<bool> runEnded{false};
    QList<ThumbnailTask> tasks;
    bool stopFlag = false;
    bool quitFlag = false;
};
