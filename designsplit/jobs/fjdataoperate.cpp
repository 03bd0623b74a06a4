#include "designsplit/jobs/fjdataoperate.h"

#include <QThreadPool>

#include "base/basereq.h"
#include "base/handover.h"
#include "designsplit/jobs/fjdatathread.h"

FJDataOperate::FJDataOperate(QObject *parent)
    : QObject(parent)
{
}

QString FJDataOperate::value(const QString &key) const
{
    return order.value(key).toString();
}

void FJDataOperate::setAllDir(const QString &root)
{
    allDir = root + QStringLiteral("/all/");
}

void FJDataOperate::dispatch(const QJsonArray &photos, const QString &category, Source source,
                             const QString &destDir, QThreadPool *pool, QObject *owner)
{
    for (const QJsonValue &value : photos) {
        const QJsonObject photo = value.toObject();
        const QString name = photo.value(QLatin1String("img_name")).toString();
        QString path;
        switch (source) {
        case Source::LocalPath:
            path = photo.value(QLatin1String("localpath")).toString();
            break;
        case Source::LocalPath90:
            path = photo.value(QLatin1String("localpath90")).toString();
            break;
        case Source::AllDir:
            path = allDir + name;
            break;
        }
        auto *job = new FJDataThread(QStringLiteral("拷贝照片"), category, path, name, destDir, owner);
        job->orderRoot = orderRoot;
        job->gate = gate;
        HandOver::start(pool, job);
    }
}

void FJDataOperate::copyRetouchedPhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool,
                                        QObject *owner)
{
    dispatch(photos, QStringLiteral("精修成品"), Source::LocalPath, destDir, pool, owner);
}

void FJDataOperate::copyFinishedThumbnails(const QJsonArray &photos, const QString &destDir, QThreadPool *pool,
                                           QObject *owner)
{
    dispatch(photos, QStringLiteral("成品缩略图"), Source::LocalPath90, destDir, pool, owner);
}

void FJDataOperate::copyFinishedOnly(const QJsonArray &photos, const QString &destDir, QThreadPool *pool,
                                     QObject *owner)
{
    dispatch(photos, QStringLiteral("只要成品"), Source::AllDir, destDir, pool, owner);
}

void FJDataOperate::copyFinishedPhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool,
                                       QObject *owner)
{
    dispatch(photos, QStringLiteral("成品"), Source::AllDir, destDir, pool, owner);
}

void FJDataOperate::copyRejectedPhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool,
                                       QObject *owner)
{
    dispatch(photos, QStringLiteral("汰片"), Source::AllDir, destDir, pool, owner);
}

void FJDataOperate::copyBasePhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool,
                                   QObject *owner)
{
    dispatch(photos, QStringLiteral("入底"), Source::AllDir, destDir, pool, owner);
}

void FJDataOperate::collectCropImages(const QJsonArray &images)
{
    for (const QJsonValue &value : images) {
        QJsonObject image = value.toObject();
        const QString url = image.value(QLatin1String("cropping_imgurl")).toString();
        downImgUrls.append(url);
        image.insert(QStringLiteral("image_type"), QStringLiteral("标记"));
        downImgInfos.insert(url, image);
    }
}

void FJDataOperate::queueCropImages(const QJsonArray &pictures)
{
    for (const QJsonValue &value : pictures) {
        QJsonObject picture = value.toObject();
        const QString url = picture.value(QLatin1String("cropping_imgurl")).toString();
        if (url.isEmpty() || downImgUrls.contains(url))
            continue;
        downImgUrls.append(url);
        picture.insert(QStringLiteral("image_type"), QStringLiteral("裁剪"));
        downImgInfos.insert(url, picture);
    }
}

void FJDataOperate::normaliseGoods(const QJsonObject &order)
{
    QStringList used;
    const auto uniqueName = [&used](const QString &base) {
        QString candidate = base;
        for (int n = 1; used.contains(candidate); ++n)
            candidate = base + QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
        used.append(candidate);
        return candidate;
    };
    const auto normalise = [&](const QJsonArray &products) {
        for (const QJsonValue &value : products) {
            QJsonObject product = value.toObject();
            product.insert(QStringLiteral("goodname"), uniqueName(product.value(QLatin1String("goodname")).toString()));
            queueCropImages(product.value(QLatin1String("imgs")).toArray());
            QJsonArray subProducts = product.value(QLatin1String("son_good")).toArray();
            for (int i = 0; i < subProducts.size(); ++i) {
                QJsonObject sub = subProducts.at(i).toObject();
                sub.insert(QStringLiteral("goodname"), uniqueName(sub.value(QLatin1String("goodname")).toString()));
                queueCropImages(sub.value(QLatin1String("picpath")).toArray());
                subProducts.replace(i, sub);
            }
            product.insert(QStringLiteral("son_good"), subProducts);
            pros.append(product);
        }
    };
    normalise(order.value(QLatin1String("goods")).toArray());
    normalise(order.value(QLatin1String("urgentgoods")).toArray());
}

void FJDataOperate::normaliseOrders(const QJsonArray &orders)
{
    for (const QJsonValue &value : orders)
        normaliseGoods(value.toObject());
}

void FJDataOperate::downloadImageAsDataUrl(const QString &url,
                                           const std::function<void(bool, const QString &, const QString &)> &callback)
{
    auto *request = new BaseReq(nullptr);
    request->downloadImageAsDataUrl(url, [request, url, callback](bool ok, const QString &data) {
        callback(ok, url, data);
        request->deleteLater();
    });
}

FJThread::FJThread(QObject *parent)
    : QThread(parent)
{
}

FJThread::~FJThread() = default;

void FJThread::run()
{
}
