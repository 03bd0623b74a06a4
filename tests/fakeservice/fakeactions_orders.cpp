// The order-search actions of the fake order service: retouchers, order
// search and one order's photos. They read the model, so photos saved or
// deleted by other actions show in the next reply.
//
// Two conveniences for the demo data set: a path that starts with "~/" lies
// in the home folder of whoever runs the service (the folder is made when
// an order that names it is listed), and a "selectphototime" (or
// "fulfil_time") that starts with "today" is today's date followed by the
// rest of the text.

#include <QDate>
#include <QDir>
#include <QJsonArray>

#include "tests/fakeservice/fakeorderservice.h"

// The order as replies show it: paths in the home and share folders.
QJsonObject fakePresentedOrder(const QJsonObject &order);

namespace {

using Request = FakeOrderService::Request;

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QJsonObject fail(const QString &text)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QStringLiteral("message"), text}};
}

QString expandHome(const QString &path)
{
    if (!path.startsWith(QLatin1String("~/")))
        return path;
    const QString expanded = QDir::homePath() + path.mid(1);
    QDir().mkpath(expanded);
    return expanded;
}

QString expandToday(const QString &value)
{
    if (!value.startsWith(QLatin1String("today")))
        return value;
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + value.mid(5);
}

// "2024-3-5" and "2024-03-05" are the same day.
QDate dayOf(const QString &value)
{
    const QStringList parts = value.left(10).split(QLatin1Char(' ')).first().split(QLatin1Char('-'));
    if (parts.size() != 3)
        return QDate();
    return QDate(parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt());
}

// Paths of the photo lists may name the order's share folder as
// "{netpath}"; no reply hands the placeholder out.
QJsonArray withShare(const QJsonArray &items, const QString &share)
{
    QJsonArray out;
    for (const QJsonValue &value : items) {
        QJsonObject item = value.toObject();
        for (auto it = item.begin(); it != item.end(); ++it) {
            const QString path = it.value().toString();
            if (path.contains(QLatin1String("{netpath}")))
                it.value() = QString(path).replace(QStringLiteral("{netpath}"), share);
        }
        out.append(value.isObject() ? QJsonValue(item) : value);
    }
    return out;
}

QJsonObject presented(QJsonObject order)
{
    order.insert(QStringLiteral("netpath"), expandHome(text(order, "netpath")));
    const QString share = text(order, "netpath");
    for (auto it = order.begin(); it != order.end(); ++it) {
        if (it.value().isArray())
            it.value() = withShare(it.value().toArray(), share);
    }
    QJsonObject shared = order.value(QStringLiteral("picpathnew")).toObject();
    shared.insert(QStringLiteral("netpath"), expandHome(text(shared, "netpath")));
    order.insert(QStringLiteral("picpathnew"), shared);
    order.insert(QStringLiteral("selectphototime"), expandToday(text(order, "selectphototime")));
    if (order.contains(QStringLiteral("fulfil_time")))
        order.insert(QStringLiteral("fulfil_time"), expandToday(text(order, "fulfil_time")));
    return order;
}

bool matches(const QJsonObject &order, const QString &searchType, const QString &keyword)
{
    if (searchType == QLatin1String("4"))
        return dayOf(text(order, "shotdate")).isValid() && dayOf(text(order, "shotdate")) == dayOf(keyword);
    if (searchType == QLatin1String("6")) {
        const QDate day = dayOf(text(order, "fulfil_time"));
        return day.isValid() && day == dayOf(keyword);
    }
    if (searchType == QLatin1String("5")) {
        const QDate day = dayOf(text(order, "selectphototime"));
        return day.isValid() && day == dayOf(keyword);
    }
    if (keyword.isEmpty())
        return true;
    for (const char *key : {"orderpayforkey", "mname", "wname", "wphone", "mphone"}) {
        if (text(order, key).contains(keyword))
            return true;
    }
    return false;
}

int flag(const FakeModel &model, const QString &shopId, const char *key)
{
    const QJsonValue own = model.shop(shopId).value(QLatin1String(key));
    if (!own.isUndefined())
        return own.toInt();
    const QJsonValue global = model.toJson().value(QLatin1String(key));
    return global.isUndefined() ? 1 : global.toInt();
}

// "&m=order&a=get_persons": the retouchers of the shop.
QJsonObject getPersons(FakeModel &model, const Request &request)
{
    const QString shopId = request.field(QStringLiteral("shopid"));
    if (model.shop(shopId).isEmpty())
        return fail(QStringLiteral("门店不存在"));
    QJsonArray persons;
    for (const QJsonValue &value : model.list(QStringLiteral("persons"))) {
        const QJsonObject person = value.toObject();
        if (text(person, "shopid") == shopId)
            persons.append(QJsonObject{{QStringLiteral("id"), text(person, "id")},
                                       {QStringLiteral("name"), text(person, "name")}});
    }
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                       {QStringLiteral("message"), QStringLiteral("获取成功")},
                       {QStringLiteral("persons"), persons}};
}

// "&m=order&a=order_list": the shop's orders by keyword (searchtype 1), shot
// date (4), selection date (5) or closing date ("fulfil_time", 6), optionally
// of one retoucher ("role7id").
QJsonObject orderList(FakeModel &model, const Request &request)
{
    const QString shopId = request.field(QStringLiteral("shopid"));
    if (model.shop(shopId).isEmpty())
        return fail(QStringLiteral("门店不存在"));
    const QString keyword = request.field(QStringLiteral("keyword"));
    const QString searchType = request.field(QStringLiteral("searchtype"));
    const QString retoucherId = request.field(QStringLiteral("role7id"));
    const QString retoucher = retoucherId.isEmpty()
        ? QString()
        : text(model.find(QStringLiteral("persons"), QStringLiteral("id"), retoucherId), "name");

    QJsonArray data;
    for (const QJsonValue &value : model.ordersOf(shopId)) {
        const QJsonObject order = presented(value.toObject());
        if (!retoucherId.isEmpty() && text(order, "tiaosename") != retoucher)
            continue;
        if (matches(order, searchType, keyword))
            data.append(order);
    }
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                       {QStringLiteral("message"), QStringLiteral("获取成功")},
                       {QStringLiteral("data"), data},
                       {QStringLiteral("openypml"), flag(model, shopId, "openypml")},
                       {QStringLiteral("delyp"), flag(model, shopId, "delyp")}};
}

// "&m=order&a=getorderphotoimg": every photo and video the order holds now.
QJsonObject orderPhotos(FakeModel &model, const Request &request)
{
    const QJsonObject order = model.order(request.field(QStringLiteral("order_photo_id")));
    if (order.isEmpty())
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {QStringLiteral("msg"), QStringLiteral("订单不存在")}};
    const QJsonObject shown = fakePresentedOrder(order);
    QJsonArray images = shown.value(QStringLiteral("images")).toArray();
    for (const QJsonValue &value : shown.value(QStringLiteral("images_taipian")).toArray())
        images.append(value);
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                       {QStringLiteral("msg"), QStringLiteral("获取成功")},
                       {QStringLiteral("images"), images}};
}

} // namespace

QJsonObject fakePresentedOrder(const QJsonObject &order)
{
    return presented(order);
}

QHash<QString, FakeOrderService::Action> fakeOrderSearchActions()
{
    return {
        {QStringLiteral("&m=order&a=get_persons"), getPersons},
        {QStringLiteral("&m=order&a=order_list"), orderList},
        {QStringLiteral("&m=order&a=getorderphotoimg"), orderPhotos},
    };
}
