#include "tests/fakeservice/fakemodel.h"

#include <QUrl>

namespace {

QJsonObject makeOrder(const QString &shopId, const QString &id, const QString &orderPhotoId, const QString &number,
                      const QString &man, const QString &woman, const QString &shotDate, const QString &store)
{
    QJsonObject order;
    order.insert(QStringLiteral("shopid"), shopId);
    order.insert(QStringLiteral("id"), id);
    order.insert(QStringLiteral("order_photo_id"), orderPhotoId);
    order.insert(QStringLiteral("orderpayforkey"), number);
    order.insert(QStringLiteral("servicetimes"), QStringLiteral("1"));
    order.insert(QStringLiteral("mname"), man);
    order.insert(QStringLiteral("wname"), woman);
    order.insert(QStringLiteral("shotdate"), shotDate);
    order.insert(QStringLiteral("imagesize_small"), QStringLiteral("0"));
    order.insert(QStringLiteral("imagesize_middle"), QStringLiteral("0"));
    order.insert(QStringLiteral("imagesize_big"), QStringLiteral("0"));
    order.insert(QStringLiteral("issample"), QStringLiteral("0"));
    order.insert(QStringLiteral("tiaosename"), QStringLiteral("周修图"));
    order.insert(QStringLiteral("storesname"), store);
    order.insert(QStringLiteral("selectphotoname"), QStringLiteral("吴选片"));
    order.insert(QStringLiteral("wphone"), QStringLiteral("13900000001"));
    order.insert(QStringLiteral("mphone"), QStringLiteral("13800000001"));
    order.insert(QStringLiteral("selectphototime"), QString());
    order.insert(QStringLiteral("role1"), QStringLiteral("郑摄影"));
    order.insert(QStringLiteral("role2"), QStringLiteral("王化妆"));
    order.insert(QStringLiteral("netpath"), QString());
    order.insert(QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), QString()}});
    order.insert(QStringLiteral("images"), QJsonArray());
    order.insert(QStringLiteral("images_taipian"), QJsonArray());
    return order;
}

} // namespace

FakeModel::FakeModel()
{
    load(testData());
}

void FakeModel::load(const QJsonObject &data)
{
    m_data = data;
    for (const char *key : {"accounts", "shops", "orders", "persons"}) {
        if (!m_data.value(QLatin1String(key)).isArray())
            m_data.insert(QLatin1String(key), QJsonArray());
    }
    if (!m_data.contains(QStringLiteral("nextId")))
        m_data.insert(QStringLiteral("nextId"), 1000);
}

QString FakeModel::fileUrl(const QString &path)
{
    QString local = path;
    if (!local.startsWith(QLatin1String("\\\\")))
        local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QUrl::fromLocalFile(local).toString();
}

QJsonObject FakeModel::testData()
{
    QJsonObject account{
        {QStringLiteral("username"), QStringLiteral("tester")},
        {QStringLiteral("password"), QStringLiteral("secret")},
        {QStringLiteral("UID"), QStringLiteral("501")},
        {QStringLiteral("SUPERID"), QStringLiteral("9001")},
        {QStringLiteral("EID"), QStringLiteral("7001")},
        {QStringLiteral("shops"), QJsonArray{QStringLiteral("11"), QStringLiteral("12")}},
    };
    const QString rule = QStringLiteral(
        R"([{"name":"订单号","key":"orderpayforkey","separator":"_"},{"name":"产品名称","key":"name"}])");
    QJsonArray shops{
        QJsonObject{{QStringLiteral("id"), QStringLiteral("11")},
                    {QStringLiteral("name"), QStringLiteral("一号店")},
                    {QStringLiteral("goodsfoldernamerule"), QString()},
                    {QStringLiteral("SUPERID"), QStringLiteral("9001")},
                    {QStringLiteral("EID"), QStringLiteral("7001")}},
        QJsonObject{{QStringLiteral("id"), QStringLiteral("12")},
                    {QStringLiteral("name"), QStringLiteral("二号店")},
                    {QStringLiteral("goodsfoldernamerule"), rule},
                    {QStringLiteral("SUPERID"), QStringLiteral("9001")},
                    {QStringLiteral("EID"), QStringLiteral("7002")}},
    };
    QJsonArray orders{
        makeOrder(QStringLiteral("11"), QStringLiteral("1"), QStringLiteral("301"), QStringLiteral("A20240507001"),
                  QStringLiteral("张伟"), QStringLiteral("李娜"), QStringLiteral("2024-5-7"), QStringLiteral("一号店")),
        makeOrder(QStringLiteral("11"), QStringLiteral("2"), QStringLiteral("302"), QStringLiteral("A20240612002"),
                  QStringLiteral("王强"), QStringLiteral("刘芳"), QStringLiteral("2024-06-12"), QStringLiteral("一号店")),
        makeOrder(QStringLiteral("12"), QStringLiteral("3"), QStringLiteral("303"), QStringLiteral("B20240701001"),
                  QStringLiteral("陈杰"), QStringLiteral("赵敏"), QStringLiteral("2024-07-01"), QStringLiteral("二号店")),
    };
    QJsonArray persons{
        QJsonObject{{QStringLiteral("id"), QStringLiteral("41")}, {QStringLiteral("name"), QStringLiteral("周修图")}, {QStringLiteral("shopid"), QStringLiteral("11")}},
        QJsonObject{{QStringLiteral("id"), QStringLiteral("42")}, {QStringLiteral("name"), QStringLiteral("孙修图")}, {QStringLiteral("shopid"), QStringLiteral("12")}},
    };
    return QJsonObject{
        {QStringLiteral("accounts"), QJsonArray{account}},
        {QStringLiteral("shops"), shops},
        {QStringLiteral("orders"), orders},
        {QStringLiteral("persons"), persons},
        {QStringLiteral("nextId"), 1000},
    };
}

int FakeModel::indexOf(const QString &key, const QString &field, const QString &value) const
{
    const QJsonArray items = list(key);
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).toObject().value(field).toString() == value)
            return i;
    }
    return -1;
}

QJsonObject FakeModel::find(const QString &key, const QString &field, const QString &value) const
{
    const int index = indexOf(key, field, value);
    return index < 0 ? QJsonObject() : list(key).at(index).toObject();
}

void FakeModel::replaceAt(const QString &key, int index, const QJsonObject &item)
{
    QJsonArray items = list(key);
    if (index < 0 || index >= items.size())
        return;
    items.replace(index, item);
    setList(key, items);
}

void FakeModel::append(const QString &key, const QJsonObject &item)
{
    QJsonArray items = list(key);
    items.append(item);
    setList(key, items);
}

void FakeModel::removeAt(const QString &key, int index)
{
    QJsonArray items = list(key);
    if (index < 0 || index >= items.size())
        return;
    items.removeAt(index);
    setList(key, items);
}

QJsonArray FakeModel::shopsOf(const QJsonObject &account) const
{
    QJsonArray result;
    for (const QJsonValue &id : account.value(QStringLiteral("shops")).toArray()) {
        const QJsonObject s = shop(id.toString());
        if (!s.isEmpty())
            result.append(s);
    }
    return result;
}

QJsonArray FakeModel::ordersOf(const QString &shopId) const
{
    QJsonArray result;
    for (const QJsonValue &value : list(QStringLiteral("orders"))) {
        if (value.toObject().value(QStringLiteral("shopid")).toString() == shopId)
            result.append(value);
    }
    return result;
}

QString FakeModel::newId()
{
    const int id = m_data.value(QStringLiteral("nextId")).toInt(1000);
    m_data.insert(QStringLiteral("nextId"), id + 1);
    return QString::number(id);
}

void FakeModel::merge(const QJsonObject &data)
{
    for (auto it = data.begin(); it != data.end(); ++it) {
        if (!it.value().isArray()) {
            m_data.insert(it.key(), it.value());
            continue;
        }
        QJsonArray items = m_data.value(it.key()).toArray();
        for (const QJsonValue &item : it.value().toArray())
            items.append(item);
        m_data.insert(it.key(), items);
    }
}

QJsonArray FakeModel::manyOrders(const QJsonObject &order, int count, const QString &prefix, int firstId)
{
    QJsonArray orders;
    for (int i = 0; i < count; ++i) {
        QJsonObject copy = order;
        const QString id = QString::number(firstId + i);
        copy.insert(QStringLiteral("id"), id);
        copy.insert(QStringLiteral("order_photo_id"), id);
        copy.insert(QStringLiteral("orderpayforkey"), prefix + id);
        copy.insert(QStringLiteral("mname"), QStringLiteral("客户%1").arg(i));
        orders.append(copy);
    }
    return orders;
}
