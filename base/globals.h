#pragma once

#include <QList>
#include <QString>

class QJsonObject;

// One shop (branch) of the signed-in account.
struct ShopInfo
{
    QString id;
    QString name;
    QString goodsfoldernamerule;
};

// Fixed configuration, set before main runs.
extern QString g_dataDir;
extern QString g_version;
extern QString g_architecture;
extern QString g_token;
extern QString g_baseUrl;
extern QString g_indexUrl;
extern QString g_groupParam;
extern QString g_loginUrl;
extern QString g_barcodeUrl;
extern float g_uiScale;

// Values of the signed-in account, written by a successful login.
extern QString g_superId;
extern QString g_enterpriseId;
extern QString g_userId;
extern QString g_currentShopId;
extern QList<ShopInfo> g_shopList;

// Written by the design-split window's panels: the searched shop's id, the
// chosen output folder, and the "SUPERID" and "EID" of its last shop switch.
extern QString g_splitShopId;
extern QString g_splitDirectory;
extern QString g_splitSuperId;
extern QString g_splitEnterpriseId;

// Fills the account values from a login reply (or the saved login data):
// "SUPERID", "EID", "UID" and one ShopInfo per element of "shop_data"; the
// first shop becomes the current one (with no shop it keeps its value).
// Without namingRules the shops' folder-naming rules stay empty.
void setAccountValues(const QJsonObject &loginData, bool namingRules = true);
