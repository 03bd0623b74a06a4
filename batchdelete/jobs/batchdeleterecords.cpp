#include "batchdelete/jobs/batchdeleterecords.h"

#include "base/k.h"

BatchDeleteOrderInfo BatchDeleteOrderInfo::fromJson(const QJsonObject &object, int row)
{
    const auto text = [&object](const char *key) { return object.value(QLatin1String(key)).toString(); };
    BatchDeleteOrderInfo order;
    order.id = text("id");
    order.order_photo_id = text("order_photo_id");
    order.orderpayforkey = text("orderpayforkey");
    order.servicetimes = text("servicetimes");
    order.mname = text("mname");
    order.wname = text("wname");
    order.customerName = customerNameOf(order.mname, order.wname);
    order.role1 = text("role1");
    order.tiaosename = text("tiaosename");
    order.netpath = K::instance()->toLocalPath(text("netpath"));
    order.fulfil_time = text("fulfil_time");
    order.row = row;
    const QJsonValue common = object.value(QStringLiteral("picpathnew"));
    order.publicNetpath = K::instance()->toLocalPath(
        common.isObject() ? common.toObject().value(QStringLiteral("netpath")).toString() : common.toString());
    return order;
}

QString BatchDeleteOrderInfo::customerNameOf(const QString &mname, const QString &wname)
{
    QString name = mname;
    if (!wname.isEmpty())
        name += name.isEmpty() ? wname : QStringLiteral("/") + wname;
    return name;
}

QString BatchDeleteOrderInfo::label() const
{
    return orderpayforkey + QLatin1Char('-') + servicetimes;
}

BatchDeleteOrderInfo BatchDeleteOrderInfo::header() const
{
    BatchDeleteOrderInfo copy = *this;
    copy.successFiles.clear();
    copy.failedFiles.clear();
    copy.allFiles.clear();
    return copy;
}

namespace BatchDeleteRecords {

void registerMetaTypes()
{
    qRegisterMetaType<BatchDeleteOrderInfo>("BatchDeleteOrderInfo");
    qRegisterMetaType<BatchDeleteFileInfo>("BatchDeleteFileInfo");
    qRegisterMetaType<QList<BatchDeleteOrderInfo>>("QList<BatchDeleteOrderInfo>");
    qRegisterMetaType<QList<BatchDeleteFileInfo>>("QList<BatchDeleteFileInfo>");
    qRegisterMetaType<FileScanResult>("FileScanResult");
}

} // namespace BatchDeleteRecords
