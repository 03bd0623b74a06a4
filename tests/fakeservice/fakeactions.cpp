// The actions of the fake order service: one function per action, listed in
// the table at the end by the action part of the query ("&m=...&a=...").
// Each reads the decoded form fields of the request and reads or changes the
// model; every "code" and id it returns is a JSON string.

#include "tests/fakeservice/fakeorderservice.h"

#include <QJsonArray>

namespace {

using Request = FakeOrderService::Request;

QJsonObject fail(const QString &text, const QString &key = QStringLiteral("message"))
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {key, text}};
}

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

// "&m=public&a=dologin": username and password of one of the model's accounts.
QJsonObject doLogin(FakeModel &model, const Request &request)
{
    const QJsonObject account = model.account(request.field(QStringLiteral("username")));
    if (account.isEmpty() || text(account, "password") != request.field(QStringLiteral("password")))
        return fail(QStringLiteral("账号或密码错误"));
    QJsonArray shops;
    for (const QJsonValue &value : model.shopsOf(account)) {
        const QJsonObject shop = value.toObject();
        shops.append(QJsonObject{
            {QStringLiteral("id"), text(shop, "id")},
            {QStringLiteral("name"), text(shop, "name")},
            {QStringLiteral("goodsfoldernamerule"), text(shop, "goodsfoldernamerule")},
        });
    }
    return QJsonObject{
        {QStringLiteral("code"), QStringLiteral("1")},
        {QStringLiteral("message"), QStringLiteral("登录成功")},
        {QStringLiteral("SUPERID"), text(account, "SUPERID")},
        {QStringLiteral("EID"), text(account, "EID")},
        {QStringLiteral("UID"), text(account, "UID")},
        {QStringLiteral("shop_data"), shops},
    };
}

// "&m=public&a=switch_shop": the ids the later requests of that shop send.
QJsonObject switchShop(FakeModel &model, const Request &request)
{
    const QJsonObject shop = model.shop(request.field(QStringLiteral("shopid")));
    if (shop.isEmpty())
        return fail(QStringLiteral("门店不存在"), QStringLiteral("msg"));
    // The branch's right to batch-delete, a JSON number: the shop's own
    // "is_all_del_photo", else the model's, else 1.
    QJsonValue right = shop.value(QStringLiteral("is_all_del_photo"));
    if (right.isUndefined())
        right = model.toJson().value(QStringLiteral("is_all_del_photo"));
    QJsonObject reply{
        {QStringLiteral("code"), QStringLiteral("1")},
        {QStringLiteral("msg"), QStringLiteral("切换成功")},
        {QStringLiteral("SUPERID"), text(shop, "SUPERID")},
        {QStringLiteral("EID"), text(shop, "EID")},
        {QStringLiteral("is_all_del_photo"), right.isUndefined() ? QJsonValue(1) : right},
    };
    // The design-split mode of the shop, when the data set gives one.
    if (shop.contains(QStringLiteral("issjfenjianms")))
        reply.insert(QStringLiteral("issjfenjianms"), shop.value(QStringLiteral("issjfenjianms")));
    return reply;
}

} // namespace

// Actions kept in files of their own, one function per file.
QHash<QString, FakeOrderService::Action> fakeOrderSearchActions(); // fakeactions_orders.cpp
QHash<QString, FakeOrderService::Action> fakeReportActions(); // fakeactions_reports.cpp
QHash<QString, FakeOrderService::Action> fakeDesignSplitActions(); // fakeactions_designsplit.cpp
QHash<QString, FakeOrderService::Download> fakeDesignSplitDownloads(); // fakeactions_designsplit.cpp
QHash<QString, FakeOrderService::Action> fakeImportFilesActions(); // fakeactions_importfiles.cpp
QHash<QString, FakeOrderService::Action> fakeBatchDeleteActions(); // fakeactions_batchdelete.cpp

QHash<QString, FakeOrderService::Action> FakeOrderService::builtinActions()
{
    QHash<QString, Action> actions{
        {QStringLiteral("&m=public&a=dologin"), doLogin},
        {QStringLiteral("&m=public&a=switch_shop"), switchShop},
    };
    actions.insert(fakeOrderSearchActions());
    actions.insert(fakeReportActions());
    actions.insert(fakeDesignSplitActions());
    actions.insert(fakeImportFilesActions());
    actions.insert(fakeBatchDeleteActions());
    return actions;
}

QHash<QString, FakeOrderService::Download> FakeOrderService::builtinDownloads()
{
    QHash<QString, Download> downloads;
    downloads.insert(fakeDesignSplitDownloads());
    return downloads;
}
