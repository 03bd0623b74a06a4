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
    copy.leftEntries.clear();
    return copy;
}

QString BatchDeleteLeftEntry::causeText(int cause)
{
    switch (cause) {
    case SpecialFile:
        return QStringLiteral("管道、设备或套接字");
    case UndecodableName:
        return QStringLiteral("无法识别的文件名");
    case Link:
        return QStringLiteral("链接");
    case UnreadableFolder:
        return QStringLiteral("无法读取的文件夹");
    default:
        return QStringLiteral("无法删除的文件");
    }
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
