#include "base/orderservice.h"

#include <QJsonValue>
#include <QObject>

#include "base/basereq.h"
#include "base/formfield.h"

namespace OrderService {

namespace {

// The tail of most bodies. The service reads the branch's EID as the
// person id as well.
FormBody &addBranch(FormBody &body, const Branch &branch)
{
    return body.add(QStringLiteral("shopid"), branch.shopId)
        .add(QStringLiteral("eid"), branch.eid)
        .add(QStringLiteral("superid"), branch.superId)
        .add(QStringLiteral("personid"), branch.eid);
}

QString searchTypeText(SearchBy by)
{
    switch (by) {
    case SearchBy::ShotDate:
        return QStringLiteral("4");
    case SearchBy::SelectDate:
        return QStringLiteral("5");
    case SearchBy::ClosingDate:
        return QStringLiteral("6");
    case SearchBy::Keyword:
        break;
    }
    return QStringLiteral("1");
}

} // namespace

QString noShopText()
{
    return QStringLiteral("该账号没有可用的门店，无法查询订单。请联系管理员为账号分配门店后重新登录。");
}

QString action(Action action)
{
    switch (action) {
    case Action::Login:
        return QStringLiteral("&m=public&a=dologin");
    case Action::SwitchShop:
        return QStringLiteral("&m=public&a=switch_shop");
    case Action::SaveNamingRule:
        return QStringLiteral("&m=public&a=save_goodsfoldernamerule");
    case Action::Persons:
        return QStringLiteral("&m=order&a=get_persons");
    case Action::OrderList:
        return QStringLiteral("&m=order&a=order_list");
    case Action::RawOrderList:
        return QStringLiteral("&m=order&a=order_list_type_1");
    case Action::OrderPhotos:
        return QStringLiteral("&m=order&a=getorderphotoimg");
    case Action::SavePhoto:
        return QStringLiteral("&m=order&a=savepicpath");
    case Action::SaveVideo:
        return QStringLiteral("&m=order&a=savepicpathmv");
    case Action::SaveBatch:
        return QStringLiteral("&m=order&a=savepicpath_batch");
    case Action::SaveOrderFolder:
        return QStringLiteral("&m=order&a=saveorderphotopath");
    case Action::LogImport:
        return QStringLiteral("&m=order&a=logreadpic");
    case Action::DeletePhotos:
        return QStringLiteral("&m=order&a=delimages");
    case Action::DeleteVideos:
        return QStringLiteral("&m=order&a=delmv");
    case Action::Originals:
        return QStringLiteral("&m=order&a=getorder_pics");
    case Action::DeleteOriginals:
        return QStringLiteral("&m=order&a=delete_pics");
    case Action::OrderDetail:
        return QStringLiteral("&m=order&a=orderphotodetail");
    case Action::DownloadDone:
        return QStringLiteral("&m=order&a=download_success");
    case Action::DeleteAnnounce:
        return QStringLiteral("&m=order&a=delete_pic_before");
    case Action::DeleteConfirm:
        return QStringLiteral("&m=order&a=delete_pic_after");
    case Action::Barcode:
        return QStringLiteral("&m=order&a=getbarcodegen");
    }
    return QString();
}

void send(QObject *owner, Action action, const QByteArray &body, Callback callback)
{
    auto *request = new BaseReq(owner);
    request->post(OrderService::action(action), body,
                  [request, callback = std::move(callback)](bool ok, const QJsonDocument &reply) {
                      request->deleteLater();
                      callback(ok, reply);
                  });
}

Answer check(const QJsonObject &reply, TextField field)
{
    Answer answer;
    const QJsonValue code = reply.value(QStringLiteral("code"));
    answer.codeIsText = code.isString();
    answer.ok = code.toString() == QLatin1String("1");
    const QString message = reply.value(QStringLiteral("message")).toString();
    const QString msg = reply.value(QStringLiteral("msg")).toString();
    switch (field) {
    case TextField::Message:
        answer.message = message;
        break;
    case TextField::Msg:
        answer.message = msg;
        break;
    case TextField::MessageOrMsg:
        answer.message = message.isEmpty() ? msg : message;
        break;
    }
    return answer;
}

Answer check(const QJsonDocument &reply, TextField field)
{
    return check(reply.object(), field);
}

Branch switchedBranch(const QString &shopId, const QJsonObject &reply)
{
    return Branch{shopId,
                  reply.value(QStringLiteral("EID")).toString(),
                  reply.value(QStringLiteral("SUPERID")).toString()};
}

QByteArray loginBody(const QString &username, const QString &password)
{
    return FormBody().add(QStringLiteral("username"), username).add(QStringLiteral("password"), password);
}

QByteArray switchShopBody(const QString &shopId)
{
    return FormBody().add(QStringLiteral("shopid"), shopId);
}

QByteArray personsBody(const Branch &branch)
{
    FormBody body;
    return addBranch(body, branch);
}

QByteArray orderListBody(const OrderQuery &query, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("keyword"), query.keyword);
    if (query.searchBy)
        body.add(QStringLiteral("searchtype"), searchTypeText(*query.searchBy));
    if (query.role7id)
        body.add(QStringLiteral("role7id"), *query.role7id);
    if (query.ratio)
        body.add(QStringLiteral("ratio"), QStringLiteral("90"));
    return addBranch(body, branch);
}

QByteArray orderPhotosBody(const QString &orderPhotoId, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId).add(QStringLiteral("ratio"), QStringLiteral("90"));
    return addBranch(body, branch);
}

QByteArray savedFileBody(const SavedFile &file, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), file.orderPhotoId)
        .add(QStringLiteral("person_id"), file.personId)
        .add(QStringLiteral("size"), file.size);
    if (file.ratio)
        body.add(QStringLiteral("ratio"), *file.ratio);
    body.add(QStringLiteral("path"), file.path);
    if (file.type)
        body.add(QStringLiteral("type"), *file.type);
    if (file.photoNames)
        body.add(QStringLiteral("photonames"), *file.photoNames);
    return addBranch(body, branch);
}

QByteArray orderFolderBody(const QString &orderPhotoId, const QString &personId, const QString &path,
                           const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("person_id"), personId)
        .add(QStringLiteral("path"), path);
    return addBranch(body, branch);
}

QByteArray importLogBody(const QString &orderPhotoId, int count, const QString &folder, const QString &names,
                         const QString &type, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("picnumber"), qint64(count))
        .add(QStringLiteral("orderpicpath"), folder)
        .add(QStringLiteral("photonames"), names)
        .add(QStringLiteral("type"), type);
    return addBranch(body, branch);
}

QByteArray deleteImportedBody(const QString &orderPhotoId, const QStringList &ids, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId).add(QStringLiteral("ids"), ids.join(QLatin1Char(',')));
    return addBranch(body, branch);
}

QByteArray savedBatchBody(const QString &orderPhotoId, const QString &orderId, const QString &imageNames,
                          const std::optional<QString> &rawNames, const QString &localPath, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("shopid"), branch.shopId).add(QStringLiteral("imgnames"), imageNames);
    if (rawNames)
        body.add(QStringLiteral("rawimgnames"), *rawNames).add(QStringLiteral("type"), QStringLiteral("1"));
    else
        body.add(QStringLiteral("type"), QStringLiteral("5"));
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("eid"), branch.eid)
        .add(QStringLiteral("superid"), branch.superId)
        .add(QStringLiteral("personid"), branch.eid)
        .add(QStringLiteral("person_id"), branch.eid)
        .add(QStringLiteral("orderid"), orderId)
        .add(QStringLiteral("localpath"), localPath);
    return body;
}

QByteArray originalsBody(const QString &shopId, const QString &orderPhotoId, const QString &stamp)
{
    return FormBody()
        .add(QStringLiteral("shopid"), shopId)
        .add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("timestamp"), stamp);
}

QByteArray deleteOriginalsBody(const QString &shopId, const QString &orderPhotoId, const QStringList &ids,
                               const QString &stamp)
{
    return FormBody()
        .add(QStringLiteral("shopid"), shopId)
        .add(QStringLiteral("order_photo_id"), orderPhotoId)
        .add(QStringLiteral("ids"), ids.join(QLatin1Char(',')))
        .add(QStringLiteral("timestamp"), stamp);
}

QByteArray orderDetailBody(const QString &orderPhotoId, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), orderPhotoId);
    return addBranch(body, branch);
}

QByteArray downloadDoneBody(const QString &photoId, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("id"), photoId);
    return addBranch(body, branch);
}

QByteArray namingRuleBody(const QString &ruleText, const Branch &branch)
{
    FormBody body;
    body.add(QStringLiteral("goodsfoldernamerule"), ruleText);
    return addBranch(body, branch);
}

QByteArray deleteAnnounceBody(const Branch &branch, const QString &orderPhotoId, const QByteArray &picsJson)
{
    FormBody body;
    addBranch(body, branch);
    body.add(QStringLiteral("order_photo_id"), orderPhotoId).add(QStringLiteral("pics"), QString::fromUtf8(picsJson));
    return body;
}

QByteArray deleteConfirmBody(const Branch &branch, const QString &orderPhotoId, const QString &path,
                             const QString &name)
{
    FormBody body;
    addBranch(body, branch);
    body.add(QStringLiteral("order_photo_id"), orderPhotoId)
        .addPercentEncoded(QStringLiteral("picpath"), path)
        .addPercentEncoded(QStringLiteral("picname"), name);
    return body;
}

} // namespace OrderService
