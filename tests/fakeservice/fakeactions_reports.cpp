// The import reports and photo deletes of the photo-transfer tool: saved
// photos and videos become entries of the order's "images" (with the
// "type" the service keeps: "1" photos, "2" trial, "3" retouched videos), so
// later "getorderphotoimg" and "order_list" replies hold them; deleted ones
// are taken out again. The folder and summary reports are stored on the
// order ("importpath", "logreadpic") for tests to read.

#include "tests/fakeservice/fakeorderservice.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSet>
#include <QUrl>

namespace {

using Request = FakeOrderService::Request;

QJsonObject fail(const QString &text)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QStringLiteral("message"), text}};
}

QJsonObject success(const QString &text)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")}, {QStringLiteral("message"), text}};
}

// The file name of a reported path, whichever separator the path uses.
QString fileNameOf(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QJsonObject savePicture(FakeModel &model, const Request &request, const QString &type)
{
    const QString orderPhotoId = request.field(QStringLiteral("order_photo_id"));
    const int index = model.orderIndex(orderPhotoId);
    if (index < 0)
        return fail(QStringLiteral("订单不存在"));
    const QString path = request.field(QStringLiteral("path"));
    const QString name = fileNameOf(path);
    if (path.isEmpty() || name.isEmpty())
        return fail(QStringLiteral("路径不能为空"));

    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    QJsonArray images = order.value(QStringLiteral("images")).toArray();
    QJsonObject image{
        {QStringLiteral("img_name"), name},
        {QStringLiteral("url"), FakeModel::fileUrl(path)},
        {QStringLiteral("localpath"), path},
        {QStringLiteral("type"), type},
        {QStringLiteral("size"), request.field(QStringLiteral("size"))},
        {QStringLiteral("ratio"), request.field(QStringLiteral("ratio"))},
    };
    // A file saved again (an order imported a second time) keeps its record.
    int existing = -1;
    for (int i = 0; i < images.size(); ++i) {
        const QJsonObject known = images.at(i).toObject();
        if (known.value(QStringLiteral("img_name")).toString() == name
            && known.value(QStringLiteral("type")).toString() == type) {
            existing = i;
            break;
        }
    }
    if (existing >= 0) {
        image.insert(QStringLiteral("id"), images.at(existing).toObject().value(QStringLiteral("id")));
        images.replace(existing, image);
    } else {
        image.insert(QStringLiteral("id"), model.newId());
        images.append(image);
    }
    order.insert(QStringLiteral("images"), images);
    model.replaceAt(QStringLiteral("orders"), index, order);

    QJsonObject reply = success(QStringLiteral("保存成功"));
    reply.insert(QStringLiteral("id"), image.value(QStringLiteral("id")));
    reply.insert(QStringLiteral("img_name"), name);
    reply.insert(QStringLiteral("url"), image.value(QStringLiteral("url")));
    reply.insert(QStringLiteral("localpath"), path);
    return reply;
}

// "&m=order&a=savepicpath": one imported photo.
QJsonObject savePicPath(FakeModel &model, const Request &request)
{
    return savePicture(model, request, QStringLiteral("1"));
}

// "&m=order&a=savepicpathmv": one imported video, "type" "2" or "3".
QJsonObject savePicPathMv(FakeModel &model, const Request &request)
{
    const QString type = request.field(QStringLiteral("type"));
    if (type != QLatin1String("2") && type != QLatin1String("3"))
        return fail(QStringLiteral("视频类型错误"));
    if (request.field(QStringLiteral("photonames")) != fileNameOf(request.field(QStringLiteral("path"))))
        return fail(QStringLiteral("视频名称与路径不符"));
    return savePicture(model, request, type);
}

QJsonObject storeOnOrder(FakeModel &model, const Request &request, const QString &key, const QJsonValue &value)
{
    const int index = model.orderIndex(request.field(QStringLiteral("order_photo_id")));
    if (index < 0)
        return fail(QStringLiteral("订单不存在"));
    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    order.insert(key, value);
    model.replaceAt(QStringLiteral("orders"), index, order);
    return success(QStringLiteral("保存成功"));
}

// "&m=order&a=saveorderphotopath": the order's import folder.
QJsonObject saveOrderPhotoPath(FakeModel &model, const Request &request)
{
    return storeOnOrder(model, request, QStringLiteral("importpath"), request.field(QStringLiteral("path")));
}

// "&m=order&a=logreadpic": the summary of one import run of the order.
QJsonObject logReadPic(FakeModel &model, const Request &request)
{
    const QJsonObject log{
        {QStringLiteral("picnumber"), request.field(QStringLiteral("picnumber"))},
        {QStringLiteral("orderpicpath"), request.field(QStringLiteral("orderpicpath"))},
        {QStringLiteral("photonames"), request.field(QStringLiteral("photonames"))},
        {QStringLiteral("type"), request.field(QStringLiteral("type"))},
    };
    return storeOnOrder(model, request, QStringLiteral("logreadpic"), log);
}

QJsonObject deletePictures(FakeModel &model, const Request &request, bool videos)
{
    const int index = model.orderIndex(request.field(QStringLiteral("order_photo_id")));
    if (index < 0)
        return fail(QStringLiteral("订单不存在"));
    const QStringList idList = request.field(QStringLiteral("ids")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QSet<QString> ids(idList.begin(), idList.end());
    if (ids.isEmpty())
        return fail(QStringLiteral("请选择要删除的照片"));
    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    int removed = 0;
    for (const QString &key : {QStringLiteral("images"), QStringLiteral("images_taipian")}) {
        QJsonArray kept;
        for (const QJsonValue &value : order.value(key).toArray()) {
            const QJsonObject image = value.toObject();
            const QString type = image.value(QStringLiteral("type")).toString();
            const bool isVideo = type == QLatin1String("2") || type == QLatin1String("3");
            if (ids.contains(image.value(QStringLiteral("id")).toString()) && isVideo == videos) {
                ++removed;
                continue;
            }
            kept.append(image);
        }
        order.insert(key, kept);
    }
    if (removed == 0)
        return fail(QStringLiteral("照片不存在"));
    model.replaceAt(QStringLiteral("orders"), index, order);
    return success(QStringLiteral("删除成功"));
}

// "&m=order&a=delimages": photos of the order by id.
QJsonObject delImages(FakeModel &model, const Request &request)
{
    return deletePictures(model, request, false);
}

// "&m=order&a=delmv": videos of the order by id.
QJsonObject delMv(FakeModel &model, const Request &request)
{
    return deletePictures(model, request, true);
}

} // namespace

QHash<QString, FakeOrderService::Action> fakeReportActions()
{
    return {
        {QStringLiteral("&m=order&a=savepicpath"), savePicPath},
        {QStringLiteral("&m=order&a=savepicpathmv"), savePicPathMv},
        {QStringLiteral("&m=order&a=saveorderphotopath"), saveOrderPhotoPath},
        {QStringLiteral("&m=order&a=logreadpic"), logReadPic},
        {QStringLiteral("&m=order&a=delimages"), delImages},
        {QStringLiteral("&m=order&a=delmv"), delMv},
    };
}
