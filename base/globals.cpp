#include "base/globals.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include "base/buildconfig.h"
#include "base/orderservice.h"

// The per-user data folder is the home folder on every platform: the runtime
// folder of Linux desktops is emptied at logout and would lose the login data.
QString g_dataDir = QDir::homePath() + QStringLiteral("/velquora_tools/");
QString g_version = QStringLiteral("1.4.2");
QString g_architecture = QStringLiteral("64");
QString g_token = QStringLiteral(VQ_SERVICE_TOKEN);
QString g_baseUrl = QStringLiteral(VQ_SERVICE_URL);
QString g_indexUrl = g_baseUrl + QStringLiteral("/index.php?");
QString g_groupParam = QStringLiteral("g=QuorplexDPc");
QString g_loginUrl = g_indexUrl + g_groupParam + OrderService::action(OrderService::Action::Login);
QString g_barcodeUrl = g_indexUrl + g_groupParam + OrderService::action(OrderService::Action::Barcode);
float g_uiScale = 1.0f;

QString g_superId;
QString g_enterpriseId;
QString g_userId;
QString g_currentShopId;
QList<ShopInfo> g_shopList;

QString g_splitShopId;
QString g_splitDirectory;
QString g_splitSuperId;
QString g_splitEnterpriseId;

void setAccountValues(const QJsonObject &loginData, bool namingRules)
{
    g_superId = loginData.value(QStringLiteral("SUPERID")).toString();
    g_enterpriseId = loginData.value(QStringLiteral("EID")).toString();
    g_userId = loginData.value(QStringLiteral("UID")).toString();

    g_shopList.clear();
    const QJsonArray shops = loginData.value(QStringLiteral("shop_data")).toArray();
    for (const QJsonValue &value : shops) {
        const QJsonObject shop = value.toObject();
        ShopInfo info;
        info.id = shop.value(QStringLiteral("id")).toString();
        info.name = shop.value(QStringLiteral("name")).toString();
        if (namingRules)
            info.goodsfoldernamerule = shop.value(QStringLiteral("goodsfoldernamerule")).toString();
        g_shopList.append(info);
    }
    if (!g_shopList.isEmpty())
        g_currentShopId = g_shopList.first().id;
}
