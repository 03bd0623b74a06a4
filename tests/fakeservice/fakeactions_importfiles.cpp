// The file-import tool's actions: the batch report of an order's folders,
// the stored originals of an order and their deletion.
//
// A batch report replaces the order's stored lists by what the folders now
// hold ("images_yuanpian" and "images_yuanshidang" for originals,
// "images_jingxiu" for retouched photos) and its counts ("number_yuanpian",
// "number_yuanshidang", "number_jingxiu"), which later "order_list" and
// "getorder_pics" replies carry. An order may hold a scripted answer under
// "reimport" ({"local_imgnames": ["a.jpg"], "server_rawimgnames": [...]}):
// the next batch report of the order is answered with those names once.

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QUrl>

#include "tests/fakeservice/fakeorderservice.h"

QJsonObject fakePresentedOrder(const QJsonObject &order); // fakeactions_orders.cpp
QString fakeOrderPictureUrl(const FakeOrderService::Request &request, const QString &name,
                            const QString &list); // fakeactions_designsplit.cpp

namespace {

using Request = FakeOrderService::Request;

const char *const kListKeys[] = {"local_imgnames", "server_imgnames", "local_rawimgnames", "server_rawimgnames"};

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QJsonObject fail(const QString &text, const char *key = "message")
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QLatin1String(key), text}};
}

// The reported files of one folder as stored records; names the order
// already holds keep their id and download flag.
QJsonArray storedList(FakeModel &model, const QJsonArray &reported, const QJsonArray &known, const QString &folder,
                      bool withUrl)
{
    QHash<QString, QJsonObject> byName;
    for (const QJsonValue &value : known)
        byName.insert(text(value.toObject(), "img_name"), value.toObject());
    QJsonArray stored;
    for (const QJsonValue &value : reported) {
        const QString name = text(value.toObject(), "name");
        QJsonObject record = byName.value(name);
        if (record.isEmpty()) {
            record.insert(QStringLiteral("id"), model.newId());
            record.insert(QStringLiteral("isdownload"), QStringLiteral("0"));
        }
        const QString path = folder + QLatin1Char('\\') + name;
        record.insert(QStringLiteral("img_name"), name);
        record.insert(QStringLiteral("size"), text(value.toObject(), "size"));
        record.insert(QStringLiteral("localpath"), path);
        record.insert(QStringLiteral("url"), withUrl ? FakeModel::fileUrl(path) : QString());
        stored.append(record);
    }
    return stored;
}

bool parseList(const QString &json, QJsonArray *list)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return false;
    *list = doc.array();
    return true;
}

// "&m=order&a=savepicpath_batch": what the order's folders hold after an
// import; answers with the names to import again.
QJsonObject savePicPathBatch(FakeModel &model, const Request &request)
{
    const int index = model.orderIndex(request.field(QStringLiteral("order_photo_id")));
    if (index < 0)
        return fail(QStringLiteral("订单不存在"), "msg");
    const QString type = request.field(QStringLiteral("type"));
    if (type != QLatin1String("1") && type != QLatin1String("5"))
        return fail(QStringLiteral("导入类型错误"), "msg");
    QJsonArray images;
    QJsonArray raws;
    if (!parseList(request.field(QStringLiteral("imgnames")), &images)
        || (type == QLatin1String("1") && !parseList(request.field(QStringLiteral("rawimgnames")), &raws)))
        return fail(QStringLiteral("文件列表格式错误"), "msg");
    const QString localPath = request.field(QStringLiteral("localpath"));

    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    if (type == QLatin1String("1")) {
        order.insert(QStringLiteral("images_yuanpian"),
                     storedList(model, images, order.value(QStringLiteral("images_yuanpian")).toArray(),
                                localPath + QStringLiteral("\\原片"), true));
        order.insert(QStringLiteral("images_yuanshidang"),
                     storedList(model, raws, order.value(QStringLiteral("images_yuanshidang")).toArray(),
                                localPath + QStringLiteral("\\原始档"), false));
        order.insert(QStringLiteral("number_yuanpian"), QString::number(images.size()));
        order.insert(QStringLiteral("number_yuanshidang"), QString::number(raws.size()));
    } else {
        order.insert(QStringLiteral("images_jingxiu"),
                     storedList(model, images, order.value(QStringLiteral("images_jingxiu")).toArray(),
                                localPath + QStringLiteral("\\精修片"), true));
        order.insert(QStringLiteral("number_jingxiu"), QString::number(images.size()));
    }
    order.insert(QStringLiteral("importpath"), localPath);

    QJsonObject reply{{QStringLiteral("code"), QStringLiteral("1")}, {QStringLiteral("msg"), QStringLiteral("保存成功")}};
    const QJsonObject script = order.value(QStringLiteral("reimport")).toObject();
    for (const char *key : kListKeys) {
        QJsonArray names;
        for (const QJsonValue &name : script.value(QLatin1String(key)).toArray())
            names.append(QJsonObject{{QStringLiteral("name"), name.toString()}});
        reply.insert(QLatin1String(key), names);
    }
    order.remove(QStringLiteral("reimport"));
    model.replaceAt(QStringLiteral("orders"), index, order);
    return reply;
}

// Every stored original has a picture to show: one without an address of
// its own (an order filed by another tool) gets one this service draws.
QJsonArray withPictures(const QJsonArray &items, const Request &request)
{
    QJsonArray out;
    for (const QJsonValue &value : items) {
        QJsonObject item = value.toObject();
        if (text(item, "url").isEmpty())
            item.insert(QStringLiteral("url"),
                        fakeOrderPictureUrl(request, text(item, "img_name"), QStringLiteral("images_yuanpian")));
        out.append(item);
    }
    return out;
}

// "&m=order&a=getorder_pics": the order's stored originals and raw files;
// "timestamp" comes back as the text it was sent as.
QJsonObject getOrderPics(FakeModel &model, const Request &request)
{
    const QJsonObject stored = model.order(request.field(QStringLiteral("order_photo_id")));
    QJsonObject reply;
    if (stored.isEmpty()) {
        reply = fail(QStringLiteral("订单不存在"));
    } else {
        const QJsonObject order = fakePresentedOrder(stored);
        reply = QJsonObject{
            {QStringLiteral("code"), QStringLiteral("1")},
            {QStringLiteral("message"), QStringLiteral("获取成功")},
            {QStringLiteral("images_yuanpian"), withPictures(order.value(QStringLiteral("images_yuanpian")).toArray(), request)},
            {QStringLiteral("images_yuanshidang"), order.value(QStringLiteral("images_yuanshidang")).toArray()},
        };
    }
    reply.insert(QStringLiteral("timestamp"), request.field(QStringLiteral("timestamp")));
    return reply;
}

// "&m=order&a=delete_pics": stored originals and raw files by id.
QJsonObject deletePics(FakeModel &model, const Request &request)
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
    const struct {
        const char *list;
        const char *count;
    } kinds[] = {{"images_yuanpian", "number_yuanpian"}, {"images_yuanshidang", "number_yuanshidang"}};
    for (const auto &kind : kinds) {
        QJsonArray kept;
        for (const QJsonValue &value : order.value(QLatin1String(kind.list)).toArray()) {
            if (ids.contains(text(value.toObject(), "id"))) {
                ++removed;
                continue;
            }
            kept.append(value);
        }
        order.insert(QLatin1String(kind.list), kept);
        order.insert(QLatin1String(kind.count), QString::number(kept.size()));
    }
    if (removed == 0)
        return fail(QStringLiteral("照片不存在"));
    model.replaceAt(QStringLiteral("orders"), index, order);
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                       {QStringLiteral("message"), QStringLiteral("删除成功")},
                       {QStringLiteral("timestamp"), request.field(QStringLiteral("timestamp"))}};
}

} // namespace

QHash<QString, FakeOrderService::Action> fakeImportFilesActions()
{
    return {
        {QStringLiteral("&m=order&a=savepicpath_batch"), savePicPathBatch},
        {QStringLiteral("&m=order&a=getorder_pics"), getOrderPics},
        {QStringLiteral("&m=order&a=delete_pics"), deletePics},
    };
}
