#include "public/thumbnailloadworker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "base/basereq.h"
#include "imaging/imagedecode.h"
#include "base/k.h"
#include "public/publiclog.h"

ThumbnailLoadWorker::ThumbnailLoadWorker(QObject *parent)
    : QObject(parent)
{
}

ThumbnailLoadWorker::~ThumbnailLoadWorker()
{
    cancelAllRequests();
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
    const bool cancelled = reply->property("cancelled").toBool();
    if (cancelled) {
        reply->deleteLater();
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        qCWarning(lcPublic) << "缩略图下载失败：" << name << reply->errorString();
        emit photoLoadFailed(name, index, generation);
        reply->deleteLater();
        return;
    }

    const QByteArray bytes = reply->readAll();
    reply->deleteLater();
    const int side = K::instance()->scale(90);
    QString error;
    const QImage image = ImageDecode::decode(bytes, QSize(side, side), &error);
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
    for (QNetworkReply *reply : replies) {
        reply->setProperty("cancelled", true);
        reply->abort();
    }
    pendingReplies.clear();
}

void ThumbnailLoadWorker::shutdown()
{
    cancelAllRequests();
    delete networkManager;
    networkManager = nullptr;
}
