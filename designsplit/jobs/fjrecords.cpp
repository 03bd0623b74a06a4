#include "designsplit/jobs/fjrecords.h"

#include <QJsonArray>

#include "base/k.h"

namespace FJReplies {

QString text(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

ThumbnailPhoto photoFromJson(const QJsonObject &element)
{
    ThumbnailPhoto photo;
    photo.id = text(element, QStringLiteral("id"));
    photo.name = text(element, QStringLiteral("img_name"));
    photo.imageUrl = text(element, QStringLiteral("url_yuanpian"));
    photo.filePath = text(element, QStringLiteral("localpath"));
    photo.fileUrl = text(element, QStringLiteral("url"));
    photo.selected = false;
    return photo;
}

namespace {

QList<ThumbnailPhoto> photosOf(const QJsonObject &element, const QString &key)
{
    QList<ThumbnailPhoto> photos;
    const QJsonArray array = element.value(key).toArray();
    photos.reserve(array.size());
    for (const QJsonValue &value : array)
        photos.append(photoFromJson(value.toObject()));
    return photos;
}

} // namespace

OrderData orderFromJson(const QJsonObject &element, int row)
{
    OrderData order;
    order.id = text(element, QStringLiteral("id"));
    order.order_photo_id = text(element, QStringLiteral("order_photo_id"));
    order.row = row;
    order.orderpayforkey = text(element, QStringLiteral("orderpayforkey"));
    order.servicetimes = text(element, QStringLiteral("servicetimes"));
    order.wname = text(element, QStringLiteral("wname"));
    order.mname = text(element, QStringLiteral("mname"));
    order.comboname = text(element, QStringLiteral("comboname"));
    order.shotdate = text(element, QStringLiteral("shotdate"));
    order.sampledate = text(element, QStringLiteral("sampledate"));
    order.order_price = text(element, QStringLiteral("order_price"));
    order.selectphotoname = text(element, QStringLiteral("selectphotoname"));
    order.netpath = K::instance()->toLocalPath(text(element, QStringLiteral("netpath")));
    order.wphone = text(element, QStringLiteral("wphone"));
    order.mphone = text(element, QStringLiteral("mphone"));
    order.selectphototime = text(element, QStringLiteral("selectphototime"));
    order.role1 = text(element, QStringLiteral("role1"));
    order.role2 = text(element, QStringLiteral("role2"));
    order.imageCount = QString::number(element.value(QStringLiteral("images")).toArray().size());
    order.number_jingxiu = text(element, QStringLiteral("number_jingxiu"));
    order.iszsysd = text(element, QStringLiteral("iszsysd"));
    order.iszsjx = text(element, QStringLiteral("iszsjx"));
    order.downloadedImages = photosOf(element, QStringLiteral("images_1_1"));
    order.undownloadedImages = photosOf(element, QStringLiteral("images_1_0"));
    return order;
}

} // namespace FJReplies
