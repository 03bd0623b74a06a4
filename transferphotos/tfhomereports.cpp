#include "transferphotos/tfhomereports.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "base/basereq.h"
#include "base/formfield.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "transferphotos/tflog.h"

namespace {

QString replyText(const QJsonObject &reply)
{
    const QString message = reply.value(QStringLiteral("message")).toString();
    return message.isEmpty() ? reply.value(QStringLiteral("msg")).toString() : message;
}

FormBody &addTail(FormBody &body, const ReportContext &context)
{
    // The service reads the branch's EID as the person id as well.
    return body.add(QStringLiteral("shopid"), context.shopId)
        .add(QStringLiteral("eid"), context.eid)
        .add(QStringLiteral("superid"), context.superId)
        .add(QStringLiteral("personid"), context.eid);
}

} // namespace

tfhomereports::tfhomereports(QObject *parent)
    : QObject(parent)
    , m_req(new BaseReq(this))
{
}

tfhomereports::~tfhomereports() = default;

QString tfhomereports::photoAction(UploadType type)
{
    return type == UploadType::Photos ? QStringLiteral("&m=order&a=savepicpath")
                                      : QStringLiteral("&m=order&a=savepicpathmv");
}

QString tfhomereports::typeText(UploadType type)
{
    switch (type) {
    case UploadType::TrialVideo:
        return QStringLiteral("2");
    case UploadType::RetouchedVideo:
        return QStringLiteral("3");
    case UploadType::Photos:
        break;
    }
    return QStringLiteral("1");
}

QByteArray tfhomereports::photoBody(const QString &orderPhotoId, qint64 size, const QString &sharePath,
                                    const PhotoInfo &entry, UploadType type, const ReportContext &context)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("person_id"), g_enterpriseId)
        .add(QStringLiteral("size"), size)
        .add(QStringLiteral("ratio"), entry.ratio.isEmpty() ? QStringLiteral("all") : entry.ratio)
        .add(QStringLiteral("path"), sharePath);
    if (type != UploadType::Photos)
        body.add(QStringLiteral("type"), typeText(type)).add(QStringLiteral("photonames"), entry.img_name);
    return addTail(body, context);
}

QByteArray tfhomereports::orderPathBody(const QString &orderPhotoId, const QString &shareFolder,
                                        const ReportContext &context)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("person_id"), g_enterpriseId)
        .add(QStringLiteral("path"), shareFolder);
    return addTail(body, context);
}

QByteArray tfhomereports::orderDataBody(const QString &orderPhotoId, int count, const QString &shareFolder,
                                        const QString &names, UploadType type, const ReportContext &context)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("picnumber"), qint64(count))
        .add(QStringLiteral("orderpicpath"), shareFolder)
        .add(QStringLiteral("photonames"), names)
        .add(QStringLiteral("type"), typeText(type));
    return addTail(body, context);
}

QString tfhomereports::entryPath(const PhotoInfo &entry)
{
    QString path = entry.targetDir;
    if (!path.endsWith(QLatin1Char('\\')) && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('\\');
    path += entry.sizeTag + QLatin1Char('\\') + entry.img_name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

bool tfhomereports::isReported(const PhotoInfo &entry, UploadType type)
{
    return type != UploadType::Photos || entry.sizeTag == QLatin1String("all");
}

QString tfhomereports::orderLabel(const OrderInfo &order)
{
    return order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
}

void tfhomereports::post(const QString &action, const QByteArray &body,
                         std::function<void(bool, const QJsonDocument &)> callback)
{
    // One client for every report: each reply keeps its own callback, so a
    // 500-photo order does not build 500 network managers.
    m_req->post(action, body, std::move(callback));
}

void tfhomereports::addFailure(const QString &orderPhotoId, const QString &line)
{
    qCWarning(lcTransfer) << "照片上报失败:" << orderPhotoId << line;
    m_runs[orderPhotoId].failures.append(line);
}

void tfhomereports::settle(const QString &orderPhotoId)
{
    auto it = m_runs.find(orderPhotoId);
    if (it == m_runs.end() || !it->finished || it->pending > 0)
        return;
    const OrderRun run = it.value();
    m_runs.erase(it);
    if (!run.failures.isEmpty())
        emit orderReportsFailed(orderPhotoId, run.label, run.failures);
}

int tfhomereports::pendingReports(const QString &orderPhotoId) const
{
    return m_runs.value(orderPhotoId).pending;
}

void tfhomereports::reportPhoto(const OrderInfo &order, const PhotoInfo &entry, const QString &path,
                                UploadType type, bool copied, const QString &copyError)
{
    if (!isReported(entry, type))
        return;
    const QString orderPhotoId = order.order_photo_id;
    OrderRun &run = m_runs[orderPhotoId];
    run.label = orderLabel(order);
    if (!copied) {
        // Only a copy that exists may be reported as saved.
        addFailure(orderPhotoId, QStringLiteral("%1：导入失败，未上报（%2）").arg(entry.img_name, copyError));
        return;
    }
    const QFileInfo info(PathUtil::toFs(path));
    if (!info.isFile()) {
        qCDebug(lcTransfer) << "导入照片路径失败，不执行upImportPhotoInfo";
        addFailure(orderPhotoId, QStringLiteral("%1：导入后的文件不存在，未上报").arg(entry.img_name));
        return;
    }
    const QString sharePath = K::instance()->fixSharePath(order.resolvedImportPath, path);
    const QByteArray body = photoBody(orderPhotoId, info.size(), sharePath, entry, type, m_context);
    ++run.pending;
    const int row = order.row;
    const QString name = entry.img_name;
    post(photoAction(type), body, [this, orderPhotoId, row, name, type](bool ok, const QJsonDocument &doc) {
        auto it = m_runs.find(orderPhotoId);
        if (it != m_runs.end())
            --it->pending;
        const QJsonObject reply = doc.object();
        if (!ok) {
            addFailure(orderPhotoId, QStringLiteral("%1：网络错误，上报失败").arg(name));
        } else if (reply.value(QStringLiteral("code")).toString() != QLatin1String("1")) {
            const QString text = replyText(reply);
            addFailure(orderPhotoId, QStringLiteral("%1：%2").arg(name, text.isEmpty() ? QStringLiteral("上报失败") : text));
        } else if (reply.value(QStringLiteral("img_name")).toString() != name) {
            // The service answered about another file: nothing of it is kept.
            qCWarning(lcTransfer) << "上报回复的文件名不符，已丢弃:" << name
                                  << reply.value(QStringLiteral("img_name")).toString();
            addFailure(orderPhotoId, QStringLiteral("%1：服务器回复的文件名不符").arg(name));
        } else {
            PhotoInfo saved;
            saved.id = reply.value(QStringLiteral("id")).toString();
            saved.img_name = name;
            saved.url = reply.value(QStringLiteral("url")).toString();
            saved.localpath = reply.value(QStringLiteral("localpath")).toString();
            emit photoSaved(orderPhotoId, row, saved, int(type));
        }
        settle(orderPhotoId);
    });
}

void tfhomereports::reportOrderPath(const OrderInfo &order, const QString &folder)
{
    const QString shareFolder = K::instance()->fixSharePath(order.resolvedImportPath, folder);
    post(QStringLiteral("&m=order&a=saveorderphotopath"), orderPathBody(order.order_photo_id, shareFolder, m_context),
         [](bool ok, const QJsonDocument &doc) {
             if (!ok || doc.object().value(QStringLiteral("code")).toString() != QLatin1String("1"))
                 qCWarning(lcTransfer) << "导片目录上报失败";
         });
}

void tfhomereports::reportOrderData(const OrderInfo &order, int count, const QString &names, UploadType type)
{
    const QString shareFolder = K::instance()->fixSharePath(order.resolvedImportPath, order.importPath);
    post(QStringLiteral("&m=order&a=logreadpic"),
         orderDataBody(order.order_photo_id, count, shareFolder, names, type, m_context),
         [](bool ok, const QJsonDocument &doc) {
             if (!ok || doc.object().value(QStringLiteral("code")).toString() != QLatin1String("1"))
                 qCWarning(lcTransfer) << "订单导片记录上报失败";
         });
}

void tfhomereports::finishOrder(const OrderInfo &order)
{
    OrderRun &run = m_runs[order.order_photo_id];
    run.finished = true;
    run.label = orderLabel(order);
    settle(order.order_photo_id);
}
