#include "public/thumbnailloadworker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>

#include "base/basereq.h"
#include "imaging/imagedecode.h"
#include "public/publiclog.h"

ThumbnailLoadWorker::ThumbnailLoadWorker(int side, QObject *parent)
    : QObject(parent)
    , box(side, side)
{
}

ThumbnailLoadWorker::~ThumbnailLoadWorker()
{
    // The replies and the manager hold timers of this thread: they are ended
    // and deleted here, before the thread is gone.
    cancelAllRequests();
    delete networkManager;
    networkManager = nullptr;
}

void ThumbnailLoadWorker::loadPhoto(QString url, QString name, QString icon, int index, int generation)
{
    if (!icon.isEmpty()) {
        QString error;
        const QImage image = ImageDecode::decodeFile(icon, QSize(), &error);
        if (image.isNull()) {
            qCWarning(lcPublic) << "缩略图图标读取失败：" << icon << error;
            emit photoLoadFailed(name, index, generation);
            return;
        }
        emit photoLoaded(image, name, index, generation);
        return;
    }
    if (url.isEmpty()) {
        emit photoLoadFailed(name, index, generation);
        return;
    }

    if (!networkManager)
        networkManager = new QNetworkAccessManager(this);

    QNetworkReply *reply = BaseReq::getThumbnail(networkManager, url, ImageDecode::kMaxFileBytes);
    pendingReplies.append(reply);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, name, index, generation]() { onReplyFinished(reply, name, index, generation); });
}

void ThumbnailLoadWorker::onReplyFinished(QNetworkReply *reply, const QString &name, int index, int generation)
{
    pendingReplies.removeAll(reply);
    reply->deleteLater();
    if (reply->property("cancelled").toBool())
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qCWarning(lcPublic) << "缩略图下载失败：" << name << reply->errorString();
        emit photoLoadFailed(name, index, generation);
        return;
    }

    QString error;
    const QImage image = ImageDecode::decode(reply->readAll(), box, &error);
    if (image.isNull()) {
        qCWarning(lcPublic) << "缩略图无法解码：" << name << error;
        emit photoLoadFailed(name, index, generation);
        return;
    }
    emit photoLoaded(image, name, index, generation);
}

void ThumbnailLoadWorker::cancelAllRequests()
{
    // Aborting finishes a reply at once and its handler edits the list: walk a copy.
    const QList<QNetworkReply *> replies = pendingReplies;
    pendingReplies.clear();
    for (QNetworkReply *reply : replies) {
        reply->setProperty("cancelled", true);
        reply->abort();
    }
}

ThumbnailLoadThread::ThumbnailLoadThread(int side, QObject *parent)
    : QObject(parent)
    , thread(new QThread(this))
{
    auto *worker = new ThumbnailLoadWorker(side);
    worker->moveToThread(thread);
    // finished is emitted on the loader's thread after its loop has stopped,
    // and the deletions it asks for run there before the thread ends.
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(this, &ThumbnailLoadThread::loadPhoto, worker, &ThumbnailLoadWorker::loadPhoto, Qt::QueuedConnection);
    connect(this, &ThumbnailLoadThread::cancelAllRequests, worker, &ThumbnailLoadWorker::cancelAllRequests,
            Qt::QueuedConnection);
    connect(worker, &ThumbnailLoadWorker::photoLoaded, this, &ThumbnailLoadThread::photoLoaded, Qt::QueuedConnection);
    connect(worker, &ThumbnailLoadWorker::photoLoadFailed, this, &ThumbnailLoadThread::photoLoadFailed,
            Qt::QueuedConnection);
    thread->setObjectName(QStringLiteral("thumbnailLoader"));
    thread->start(QThread::InheritPriority);
}

ThumbnailLoadThread::~ThumbnailLoadThread()
{
    // Requests still queued for the loader are dropped with it; answers
    // still queued for this side go with this object.
    thread->quit();
    thread->wait();
}
