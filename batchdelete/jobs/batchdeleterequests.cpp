#include "batchdelete/jobs/batchdeleterequests.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "base/confined.h"
#include "base/formfield.h"
#include "base/pathutil.h"

namespace BatchDeleteRequests {

namespace {

FormBody &addBranch(FormBody &body, const Branch &branch)
{
    return body.add(QStringLiteral("eid"), branch.eid)
        .add(QStringLiteral("superid"), branch.superId)
        .add(QStringLiteral("personid"), branch.eid);
}

} // namespace

QByteArray switchShopBody(const QString &shopId)
{
    return FormBody().add(QStringLiteral("shopid"), shopId);
}

QByteArray orderListBody(int searchType, const QString &keyword, const QDate &date, const QString &role7id,
                         const Branch &branch)
{
    FormBody body;
    if (searchType == 0)
        body.add(QStringLiteral("keyword"), keyword).add(QStringLiteral("searchtype"), QStringLiteral("1"));
    else
        body.add(QStringLiteral("keyword"), date.toString(QStringLiteral("yyyy-MM-dd")))
            .add(QStringLiteral("searchtype"), QStringLiteral("6"));
    body.add(QStringLiteral("role7id"), role7id).add(QStringLiteral("ratio"), QStringLiteral("90"));
    body.add(QStringLiteral("shopid"), branch.shopId);
    return addBranch(body, branch);
}

QByteArray personsBody(const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("shopid"), branch.shopId);
    return addBranch(body, branch);
}

QByteArray picsJson(const QList<BatchDeleteFileInfo> &files)
{
    QJsonArray pics;
    for (const BatchDeleteFileInfo &file : files)
        pics.append(QJsonObject{{QStringLiteral("picname"), file.fileName},
                                {QStringLiteral("picpath"), file.filePath},
                                {QStringLiteral("picshortpath"), file.dirName}});
    return QJsonDocument(pics).toJson(QJsonDocument::Compact);
}

QByteArray deleteBeforeBody(const Branch &branch, const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files)
{
    FormBody body;
    body.add(QStringLiteral("shopid"), branch.shopId);
    addBranch(body, branch);
    body.add(QStringLiteral("order_photo_id"), orderPhotoId);
    body.add(QStringLiteral("pics"), QString::fromUtf8(picsJson(files)));
    return body;
}

QByteArray deleteAfterBody(const Branch &branch, const QString &orderPhotoId, const BatchDeleteFileInfo &file)
{
    FormBody body;
    body.add(QStringLiteral("shopid"), branch.shopId);
    addBranch(body, branch);
    body.add(QStringLiteral("order_photo_id"), orderPhotoId);
    body.addPercentEncoded(QStringLiteral("picpath"), file.filePath);
    body.addPercentEncoded(QStringLiteral("picname"), file.fileName);
    return body;
}

} // namespace BatchDeleteRequests

QString orderFolderRefusal(const QString &netpath, const QString &commonRoot)
{
    if (netpath.trimmed().isEmpty())
        return QStringLiteral("订单目录为空");
    if (PathUtil::hasDotComponent(netpath))
        return QStringLiteral("订单目录含有非法的目录名: %1").arg(netpath);

    if (PathUtil::isRootFolder(netpath)) {
        return PathUtil::isUnc(netpath) ? QStringLiteral("订单目录是共享的根目录: %1").arg(netpath)
                                         : QStringLiteral("订单目录是磁盘的根目录: %1").arg(netpath);
    }
    if (!PathUtil::isUnc(netpath) && !PathUtil::isAbsolute(netpath))
        return QStringLiteral("订单目录不是绝对路径: %1").arg(netpath);
    // Spelled as the root or leading to it through links or "..".
    if (QDir(PathUtil::cleanAbsolute(netpath)).isRoot())
        return QStringLiteral("订单目录是磁盘的根目录: %1").arg(netpath);
    if (!commonRoot.trimmed().isEmpty() && PathUtil::isInside(commonRoot, netpath))
        return QStringLiteral("订单目录是分店的公共目录: %1").arg(netpath);
    // The account's home and the program's own folder, or a folder holding
    // either, are never an order's folder.
    for (const QString &own : {QDir::homePath(), QCoreApplication::applicationDirPath()}) {
        if (!own.isEmpty() && PathUtil::isInside(own, netpath))
            return QStringLiteral("订单目录是用户或程序的目录: %1").arg(netpath);
    }
    return Confined::orderFolderRefusal(PathUtil::toFs(netpath));
}

QString orderFolderRefusal(const BatchDeleteOrderInfo &order, const QList<BatchDeleteOrderInfo> &searched)
{
    const QString refusal = orderFolderRefusal(order.netpath, order.publicNetpath);
    if (!refusal.isEmpty())
        return refusal;
    for (const BatchDeleteOrderInfo &other : searched) {
        // The same order listed twice is still one order.
        if (other.order_photo_id == order.order_photo_id || other.netpath.trimmed().isEmpty())
            continue;
        if (!PathUtil::isInside(other.netpath, order.netpath))
            continue;
        if (PathUtil::isInside(order.netpath, other.netpath))
            return QStringLiteral("订单目录也是订单 %1 的目录，不是一个订单的文件: %2").arg(other.label(), order.netpath);
        return QStringLiteral("订单目录包含订单 %1 的目录，不是一个订单的文件: %2").arg(other.label(), order.netpath);
    }
    return QString();
}
