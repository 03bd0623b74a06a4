#include "batchdelete/jobs/batchdeleterequests.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "base/confined.h"
#include "base/pathutil.h"

namespace BatchDeleteRequests {

QByteArray orderListBody(int searchType, const QString &keyword, const QDate &date, const QString &role7id,
                         const Branch &branch)
{
    OrderService::OrderQuery query;
    if (searchType == 0) {
        query.keyword = keyword;
        query.searchBy = OrderService::SearchBy::Keyword;
    } else {
        query.keyword = date.toString(QStringLiteral("yyyy-MM-dd"));
        query.searchBy = OrderService::SearchBy::ClosingDate;
    }
    query.role7id = role7id;
    return OrderService::orderListBody(query, branch);
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
    return OrderService::deleteAnnounceBody(branch, orderPhotoId, picsJson(files));
}

QByteArray deleteAfterBody(const Branch &branch, const QString &orderPhotoId, const BatchDeleteFileInfo &file)
{
    return OrderService::deleteConfirmBody(branch, orderPhotoId, file.filePath, file.fileName);
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
