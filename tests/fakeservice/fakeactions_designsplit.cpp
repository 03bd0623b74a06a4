// The actions of the design-split and download tools in the fake order
// service: the order list with raw files, one order's full detail, the
// report of a downloaded raw file, the shop's product-folder naming rule,
// and the GETs of the addresses the detail hands out (pictures, barcode,
// courier text).
//
// Model keys of an order, besides those of the order list:
//   "images", "images_jingxiu", "images_taipian", "images_rudi",
//   "images_all", "images_yuanpian": photo items {"id", "img_name", "url",
//       "url_all", "localpath", "localpath90"};
//   "images_1_1", "images_1_0": raw files downloaded / not downloaded
//       {"id", "img_name", "localpath", "url", "url_yuanpian"}; a report of
//       "download_success" moves an item from the second to the first;
//   "orderpicdescr": marked photos {"img_name", "remark", "cropping_imgurl"};
//   "servicetime": selection visits with "goods" and "urgentgoods";
//   "courier_text": the text served at "down_txt" (none when empty);
//   "count_order_sample_infoservicetimes".
// Every other member of the order goes into the detail's "order" object.
// A shop may carry "xztp" and "isbdyxzysd" (the detail's "shop_message")
// and "issjfenjianms" (the shop switch).
//
// Paths may hold "{netpath}" (the order's share folder, after "~/"
// expansion). A picture address that is empty becomes a picture this
// service draws; one that starts with "/" is taken relative to the service.

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QUrl>

#include "tests/fakeservice/fakeorderservice.h"

QHash<QString, FakeOrderService::Action> fakeOrderSearchActions(); // fakeactions_orders.cpp

namespace {

using Request = FakeOrderService::Request;

const QStringList kPhotoLists{QStringLiteral("images"),     QStringLiteral("images_jingxiu"),
                              QStringLiteral("images_taipian"), QStringLiteral("images_rudi"),
                              QStringLiteral("images_all"), QStringLiteral("images_yuanpian"),
                              QStringLiteral("images_1_1"), QStringLiteral("images_1_0")};
const QStringList kDetailOnly{QStringLiteral("orderpicdescr"), QStringLiteral("servicetime"),
                              QStringLiteral("courier_text"),
                              QStringLiteral("count_order_sample_infoservicetimes")};

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QJsonObject ok(const QString &message)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")}, {QStringLiteral("msg"), message}};
}

QJsonObject fail(const QString &message)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QStringLiteral("msg"), message}};
}

QString expandHome(const QString &path)
{
    if (!path.startsWith(QLatin1String("~/")))
        return path;
    return QDir::homePath() + path.mid(1);
}

// Each list and key has its own address, as the service's storage does.
QString pictureUrl(const Request &request, const QString &name, const QString &list, const QString &key)
{
    return request.serviceUrl + QStringLiteral("/index.php?g=QuorplexDPc&m=order&a=orderpicture&name=")
        + QString::fromLatin1(QUrl::toPercentEncoding(name)) + QStringLiteral("&list=") + list
        + QStringLiteral("&key=") + key;
}

QString absoluteUrl(const Request &request, const QString &value)
{
    return value.startsWith(QLatin1Char('/')) ? request.serviceUrl + value : value;
}

// A photo item as the service hands it out: paths in the share, addresses
// that can be fetched.
QJsonObject presentedItem(QJsonObject item, const Request &request, const QString &netpath, const QString &list)
{
    for (const char *key : {"localpath", "localpath90"}) {
        const QString value = text(item, key);
        if (!value.isEmpty())
            item.insert(QLatin1String(key), expandHome(QString(value).replace(QStringLiteral("{netpath}"), netpath)));
    }
    const QString name = text(item, "img_name");
    for (const char *key : {"url", "url_all", "url_yuanpian"}) {
        const QString value = text(item, key);
        item.insert(QLatin1String(key), value.isEmpty() ? pictureUrl(request, name, list, QLatin1String(key))
                                                        : absoluteUrl(request, value));
    }
    const QString crop = text(item, "cropping_imgurl");
    if (!crop.isEmpty())
        item.insert(QStringLiteral("cropping_imgurl"), absoluteUrl(request, crop));
    return item;
}

QJsonArray presentedList(const QJsonObject &order, const QString &list, const Request &request, const QString &netpath)
{
    QJsonArray out;
    for (const QJsonValue &value : order.value(list).toArray())
        out.append(presentedItem(value.toObject(), request, netpath, list));
    return out;
}

// Crop addresses of the products and sub-products of the selection visits.
QJsonArray presentedVisits(const QJsonArray &visits, const Request &request)
{
    const auto crops = [&request](const QJsonArray &pictures) {
        QJsonArray out;
        for (const QJsonValue &value : pictures) {
            QJsonObject picture = value.toObject();
            const QString crop = text(picture, "cropping_imgurl");
            if (!crop.isEmpty())
                picture.insert(QStringLiteral("cropping_imgurl"), absoluteUrl(request, crop));
            out.append(picture);
        }
        return out;
    };
    QJsonArray out;
    for (const QJsonValue &visitValue : visits) {
        QJsonObject visit = visitValue.toObject();
        for (const char *listKey : {"goods", "urgentgoods"}) {
            QJsonArray goods;
            for (const QJsonValue &goodValue : visit.value(QLatin1String(listKey)).toArray()) {
                QJsonObject good = goodValue.toObject();
                good.insert(QStringLiteral("imgs"), crops(good.value(QStringLiteral("imgs")).toArray()));
                QJsonArray sons;
                for (const QJsonValue &sonValue : good.value(QStringLiteral("son_good")).toArray()) {
                    QJsonObject son = sonValue.toObject();
                    son.insert(QStringLiteral("picpath"), crops(son.value(QStringLiteral("picpath")).toArray()));
                    sons.append(son);
                }
                good.insert(QStringLiteral("son_good"), sons);
                goods.append(good);
            }
            visit.insert(QLatin1String(listKey), goods);
        }
        out.append(visit);
    }
    return out;
}

QString shareOf(const QJsonObject &order)
{
    return expandHome(text(order, "netpath"));
}

// "&m=order&a=order_list_type_1": the order list of the raw-file download,
// each order with its downloaded and not downloaded raw files.
QJsonObject orderListRaw(FakeModel &model, const Request &request)
{
    static const FakeOrderService::Action list = fakeOrderSearchActions().value(QStringLiteral("&m=order&a=order_list"));
    QJsonObject reply = list(model, request);
    QJsonArray data;
    for (const QJsonValue &value : reply.value(QStringLiteral("data")).toArray()) {
        QJsonObject order = value.toObject();
        const QString share = shareOf(order);
        for (const char *key : {"images_1_1", "images_1_0"})
            order.insert(QLatin1String(key), presentedList(order, QLatin1String(key), request, share));
        data.append(order);
    }
    if (reply.contains(QStringLiteral("data")))
        reply.insert(QStringLiteral("data"), data);
    return reply;
}

// "&m=order&a=orderphotodetail": everything the four modes and the
// production sheet read of one order.
QJsonObject orderPhotoDetail(FakeModel &model, const Request &request)
{
    const QJsonObject stored = model.order(request.field(QStringLiteral("order_photo_id")));
    const QString shopId = request.field(QStringLiteral("shopid"));
    if (stored.isEmpty() || (!shopId.isEmpty() && text(stored, "shopid") != shopId))
        return fail(QStringLiteral("订单不存在"));
    const QString share = shareOf(stored);

    QJsonObject order = stored;
    for (const QString &key : kPhotoLists + kDetailOnly)
        order.remove(key);
    order.insert(QStringLiteral("netpath"), share);

    QJsonObject reply = ok(QStringLiteral("获取成功"));
    reply.insert(QStringLiteral("order"), order);
    for (const char *key : {"images", "images_jingxiu", "images_taipian", "images_rudi", "images_all", "images_yuanpian"})
        reply.insert(QLatin1String(key), presentedList(stored, QLatin1String(key), request, share));
    reply.insert(QStringLiteral("ysdimgs"),
                 QJsonObject{{QStringLiteral("images_1_1"), presentedList(stored, QStringLiteral("images_1_1"), request, share)},
                             {QStringLiteral("images_1_0"), presentedList(stored, QStringLiteral("images_1_0"), request, share)}});
    reply.insert(QStringLiteral("orderpicdescr"), presentedList(stored, QStringLiteral("orderpicdescr"), request, share));
    const QJsonArray visits = stored.value(QStringLiteral("servicetime")).toArray();
    reply.insert(QStringLiteral("servicetime"), presentedVisits(visits, request));
    const QString count = text(stored, "count_order_sample_infoservicetimes");
    reply.insert(QStringLiteral("count_order_sample_infoservicetimes"),
                 count.isEmpty() ? QString::number(visits.size()) : count);

    const QJsonObject shop = model.shop(text(stored, "shopid"));
    QJsonObject shopMessage;
    for (const char *key : {"xztp", "isbdyxzysd"})
        shopMessage.insert(QLatin1String(key), shop.contains(QLatin1String(key)) ? text(shop, key) : QStringLiteral("1"));
    reply.insert(QStringLiteral("shop_message"), shopMessage);

    reply.insert(QStringLiteral("down_txt"),
                 text(stored, "courier_text").isEmpty()
                     ? QString()
                     : request.serviceUrl + QStringLiteral("/index.php?g=QuorplexDPc&m=order&a=couriertext&order_photo_id=")
                         + QString::fromLatin1(QUrl::toPercentEncoding(text(stored, "order_photo_id"))));
    return reply;
}

// "&m=order&a=download_success": the raw file with this id has been
// downloaded; it moves to the order's downloaded list.
QJsonObject downloadSuccess(FakeModel &model, const Request &request)
{
    const QString id = request.field(QStringLiteral("id"));
    const QString shopId = request.field(QStringLiteral("shopid"));
    QJsonArray orders = model.list(QStringLiteral("orders"));
    for (int i = 0; i < orders.size(); ++i) {
        QJsonObject order = orders.at(i).toObject();
        if (!shopId.isEmpty() && text(order, "shopid") != shopId)
            continue;
        QJsonArray waiting = order.value(QStringLiteral("images_1_0")).toArray();
        QJsonArray done = order.value(QStringLiteral("images_1_1")).toArray();
        for (const QJsonValue &value : qAsConst(done)) {
            if (text(value.toObject(), "id") == id)
                return ok(QStringLiteral("已记录"));
        }
        for (int j = 0; j < waiting.size(); ++j) {
            if (text(waiting.at(j).toObject(), "id") != id)
                continue;
            done.append(waiting.at(j));
            waiting.removeAt(j);
            order.insert(QStringLiteral("images_1_0"), waiting);
            order.insert(QStringLiteral("images_1_1"), done);
            model.replaceAt(QStringLiteral("orders"), i, order);
            return ok(QStringLiteral("已记录"));
        }
    }
    return fail(QStringLiteral("照片不存在"));
}

// "&m=public&a=save_goodsfoldernamerule": the shop's product-folder naming
// rule, sent back in later logins' "shop_data".
QJsonObject saveNamingRule(FakeModel &model, const Request &request)
{
    const int index = model.indexOf(QStringLiteral("shops"), QStringLiteral("id"), request.field(QStringLiteral("shopid")));
    if (index < 0)
        return fail(QStringLiteral("门店不存在"));
    QJsonObject shop = model.list(QStringLiteral("shops")).at(index).toObject();
    shop.insert(QStringLiteral("goodsfoldernamerule"), request.field(QStringLiteral("goodsfoldernamerule")));
    model.replaceAt(QStringLiteral("shops"), index, shop);
    return ok(QStringLiteral("保存成功"));
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 85);
    return bytes;
}

// A picture told apart from others by the colours its name hashes to.
bool orderPicture(FakeModel &, const Request &request, QByteArray *body, QByteArray *mime)
{
    const QString name = request.query.queryItemValue(QStringLiteral("name"), QUrl::FullyDecoded);
    const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Md5);
    const int hue = (uchar(hash.at(0)) * 256 + uchar(hash.at(1))) % 360;
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(hue, 110, 230));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((hue + 150) % 360, 160, 170));
    painter.drawEllipse(QPointF(60 + uchar(hash.at(2)) % 200, 120), 70, 70);
    painter.end();
    const bool png = name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
    *body = encoded(image, png ? "PNG" : "JPEG");
    *mime = png ? "image/png" : "image/jpeg";
    return true;
}

// The order's barcode: a bar per bit of its order_photo_id, as PNG.
bool barcode(FakeModel &model, const Request &request, QByteArray *body, QByteArray *mime)
{
    const QString id = request.query.queryItemValue(QStringLiteral("order_photo_id"), QUrl::FullyDecoded);
    if (model.order(id).isEmpty())
        return false;
    const QByteArray bits = id.toUtf8();
    QImage image(40 + bits.size() * 8 * 3, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    int x = 20;
    for (const char c : bits) {
        for (int b = 7; b >= 0; --b) {
            if (c & (1 << b))
                painter.fillRect(x, 8, 2, 44, Qt::black);
            x += 3;
        }
    }
    painter.end();
    *body = encoded(image, "PNG");
    *mime = "image/png";
    return true;
}

bool courierText(FakeModel &model, const Request &request, QByteArray *body, QByteArray *mime)
{
    const QJsonObject order = model.order(request.query.queryItemValue(QStringLiteral("order_photo_id"), QUrl::FullyDecoded));
    const QString courier = text(order, "courier_text");
    if (courier.isEmpty())
        return false;
    *body = courier.toUtf8();
    *mime = "text/plain; charset=utf-8";
    return true;
}

} // namespace

QHash<QString, FakeOrderService::Action> fakeDesignSplitActions()
{
    return {
        {QStringLiteral("&m=order&a=order_list_type_1"), orderListRaw},
        {QStringLiteral("&m=order&a=orderphotodetail"), orderPhotoDetail},
        {QStringLiteral("&m=order&a=download_success"), downloadSuccess},
        {QStringLiteral("&m=public&a=save_goodsfoldernamerule"), saveNamingRule},
    };
}

// The address at which this service draws a photo of an order's list,
// for a stored photo that has no address of its own.
QString fakeOrderPictureUrl(const FakeOrderService::Request &request, const QString &name, const QString &list)
{
    return pictureUrl(request, name, list, QStringLiteral("url"));
}

QHash<QString, FakeOrderService::Download> fakeDesignSplitDownloads()
{
    return {
        {QStringLiteral("&m=order&a=orderpicture"), orderPicture},
        {QStringLiteral("&m=order&a=getbarcodegen"), barcode},
        {QStringLiteral("&m=order&a=couriertext"), courierText},
    };
}
