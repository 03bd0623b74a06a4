// The batch-delete actions of the fake order service. An order's announced
// file list is kept on the order ("deletePlan"), and each confirmed file is
// appended to its "deletedPics", for tests to read. A confirmation is taken
// only for a file of the announced list, and only with the branch values of
// the order's own shop, as the service checks them.
//
// Scripted refusals, for the paths that send again:
//   order "refuseDeleteBefore": a message; the announcement is refused.
//   model "deleteAfterRefusals": [{"picname", "times", "message"}]; that many
//   confirmations of the file are refused with the message (a missing
//   "message" refuses without one).

#include <QJsonArray>
#include <QJsonDocument>

#include "tests/fakeservice/fakeorderservice.h"

namespace {

using Request = FakeOrderService::Request;

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QJsonObject fail(const QString &message)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QStringLiteral("message"), message}};
}

QJsonObject success(const QString &message)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")}, {QStringLiteral("message"), message}};
}

// The order the request names, checked against the branch values it sends;
// an empty text when they fit, else why not.
QString checkOrder(const FakeModel &model, const Request &request, int *index)
{
    const QJsonObject shop = model.shop(request.field(QStringLiteral("shopid")));
    if (shop.isEmpty())
        return QStringLiteral("门店不存在");
    if (request.field(QStringLiteral("eid")) != text(shop, "EID")
        || request.field(QStringLiteral("personid")) != text(shop, "EID")
        || request.field(QStringLiteral("superid")) != text(shop, "SUPERID"))
        return QStringLiteral("门店参数不一致");
    *index = model.orderIndex(request.field(QStringLiteral("order_photo_id")));
    if (*index < 0)
        return QStringLiteral("订单不存在");
    const QJsonObject order = model.list(QStringLiteral("orders")).at(*index).toObject();
    if (text(order, "shopid") != text(shop, "id"))
        return QStringLiteral("订单不属于该门店");
    return QString();
}

// "&m=order&a=delete_pic_before": the order's whole file list, before any
// file is deleted.
QJsonObject deletePicBefore(FakeModel &model, const Request &request)
{
    int index = -1;
    const QString problem = checkOrder(model, request, &index);
    if (!problem.isEmpty())
        return fail(problem);
    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    const QString refusal = text(order, "refuseDeleteBefore");
    if (!refusal.isEmpty())
        return fail(refusal);
    QJsonParseError error;
    const QJsonDocument pics = QJsonDocument::fromJson(request.field(QStringLiteral("pics")).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !pics.isArray())
        return fail(QStringLiteral("图片列表格式错误"));
    for (const QJsonValue &value : pics.array()) {
        const QJsonObject pic = value.toObject();
        if (text(pic, "picname").isEmpty() || text(pic, "picpath").isEmpty())
            return fail(QStringLiteral("图片列表格式错误"));
    }
    order.insert(QStringLiteral("deletePlan"), pics.array());
    order.insert(QStringLiteral("deletedPics"), QJsonArray());
    model.replaceAt(QStringLiteral("orders"), index, order);
    return success(QStringLiteral("提交成功"));
}

// "&m=order&a=delete_pic_after": one deleted file of the announced list.
QJsonObject deletePicAfter(FakeModel &model, const Request &request)
{
    int index = -1;
    const QString problem = checkOrder(model, request, &index);
    if (!problem.isEmpty())
        return fail(problem);
    const QString path = request.field(QStringLiteral("picpath"));
    const QString name = request.field(QStringLiteral("picname"));

    QJsonArray refusals = model.list(QStringLiteral("deleteAfterRefusals"));
    for (int i = 0; i < refusals.size(); ++i) {
        QJsonObject refusal = refusals.at(i).toObject();
        const int times = refusal.value(QStringLiteral("times")).toInt();
        if (text(refusal, "picname") != name || times <= 0)
            continue;
        refusal.insert(QStringLiteral("times"), times - 1);
        refusals.replace(i, refusal);
        model.setList(QStringLiteral("deleteAfterRefusals"), refusals);
        return fail(text(refusal, "message"));
    }

    QJsonObject order = model.list(QStringLiteral("orders")).at(index).toObject();
    bool announced = false;
    for (const QJsonValue &value : order.value(QStringLiteral("deletePlan")).toArray()) {
        const QJsonObject pic = value.toObject();
        if (text(pic, "picpath") == path && text(pic, "picname") == name)
            announced = true;
    }
    if (!announced)
        return fail(QStringLiteral("图片不在删除列表中"));
    QJsonArray deleted = order.value(QStringLiteral("deletedPics")).toArray();
    deleted.append(QJsonObject{{QStringLiteral("picpath"), path}, {QStringLiteral("picname"), name}});
    order.insert(QStringLiteral("deletedPics"), deleted);
    model.replaceAt(QStringLiteral("orders"), index, order);
    return success(QStringLiteral("删除成功"));
}

} // namespace

QHash<QString, FakeOrderService::Action> fakeBatchDeleteActions()
{
    return {
        {QStringLiteral("&m=order&a=delete_pic_before"), deletePicBefore},
        {QStringLiteral("&m=order&a=delete_pic_after"), deletePicAfter},
    };
}
