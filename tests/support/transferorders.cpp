#include "tests/support/transferorders.h"

#include <QDate>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "tests/fakeservice/fakeorderservice.h"

namespace TransferOrders {

void loadTestOrders(FakeOrderService &fake, const QString &shareDir)
{
    fake.loadModel(FakeModel::testData());
    QJsonArray orders = fake.modelStore().list(QStringLiteral("orders"));
    for (int i = 0; i < orders.size(); ++i) {
        QJsonObject order = orders.at(i).toObject();
        order.insert(QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), shareDir}});
        order.insert(QStringLiteral("selectphototime"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        orders.replace(i, order);
    }
    fake.modelStore().setList(QStringLiteral("orders"), orders);
    QJsonArray shops = fake.modelStore().list(QStringLiteral("shops"));
    for (int i = 0; i < shops.size(); ++i) {
        QJsonObject shop = shops.at(i).toObject();
        shop.insert(QStringLiteral("delyp"), 1);
        shops.replace(i, shop);
    }
    fake.modelStore().setList(QStringLiteral("shops"), shops);
}

QList<PhotoInfo> photoEntries(const QString &path)
{
    QList<PhotoInfo> entries;
    for (const char *tag : {"all", "90", "190", "1920"}) {
        PhotoInfo p;
        p.img_name = QFileInfo(path).fileName();
        p.url = path;
        p.sizeTag = QString::fromLatin1(tag);
        p.ratio = p.sizeTag == QLatin1String("all") ? QString() : p.sizeTag;
        entries.append(p);
    }
    return entries;
}

OrderInfo importOrder(const QString &number, const QString &folder, const QList<PhotoInfo> &entries)
{
    OrderInfo order;
    order.orderpayforkey = number;
    order.servicetimes = QStringLiteral("1");
    order.importPath = folder;
    order.selectedFiles = entries;
    return order;
}

} // namespace TransferOrders
