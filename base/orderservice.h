#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "base/orderinfo.h"

class QObject;

// The order service as the windows see it: the actions it offers, the body
// each of them is sent with and the check of a reply's "code". The windows
// ask here and show the answer; BaseReq carries the bytes. No widgets: tests
// drive it directly.
namespace OrderService {

// One value per action; action() gives the query part the service knows
// it by (its name follows each value).
enum class Action {
    Login,                 // public/dologin
    SwitchShop,            // public/switch_shop
    SaveNamingRule,        // public/save_goodsfoldernamerule
    Persons,               // order/get_persons
    OrderList,             // order/order_list
    RawOrderList,          // order/order_list_type_1
    OrderPhotos,           // order/getorderphotoimg
    SavePhoto,             // order/savepicpath
    SaveVideo,             // order/savepicpathmv
    SaveBatch,             // order/savepicpath_batch
    SaveOrderFolder,       // order/saveorderphotopath
    LogImport,             // order/logreadpic
    DeletePhotos,          // order/delimages
    DeleteVideos,          // order/delmv
    Originals,             // order/getorder_pics
    DeleteOriginals,       // order/delete_pics
    OrderDetail,           // order/orderphotodetail
    DownloadDone,          // order/download_success
    DeleteAnnounce,        // order/delete_pic_before
    DeleteConfirm,         // order/delete_pic_after
    Barcode,               // order/getbarcodegen (fetched by address, not posted)
};

// "&m=<module>&a=<name>", as BaseReq::post takes it.
QString action(Action action);

// What every tool says when the account has no branch (shop) to work in:
// the same words everywhere, and what to do about it.
QString noShopText();

using Callback = std::function<void(bool, const QJsonDocument &)>;

// Posts body for action on a request object of its own, a child of owner,
// which goes once callback has run. When owner goes first the request goes
// with it and callback never runs.
void send(QObject *owner, Action action, const QByteArray &body, Callback callback);

// ------------------------------------------------------------ replies

// Where a refusal's text is: most actions answer with "message", the branch
// switch and the batch report with "msg"; some readers take "message" and,
// when it is empty, "msg".
enum class TextField {
    Message,
    Msg,
    MessageOrMsg,
};

struct Answer
{
    // "code" is the text "1"; the number 1 is not success.
    bool ok = false;
    // "code" is a text at all: a refusal the service meant, whose text can
    // be shown. A reply without it, or with a number, is not understood.
    bool codeIsText = false;
    // The text of the asked field; anything that is not a JSON text (a
    // number, an absent key) reads as empty.
    QString message;

    QString messageOr(const QString &fallback) const { return message.isEmpty() ? fallback : message; }
};

// A reply that is not a JSON object has no code: it is never ok.
Answer check(const QJsonDocument &reply, TextField field = TextField::Message);
Answer check(const QJsonObject &reply, TextField field = TextField::Message);

// ------------------------------------------------------------ bodies

// The branch every request about an order speaks for: the shop id sent in a
// branch switch and the EID and SUPERID of its reply.
using Branch = ReportContext;

// The branch of a successful switch to shopId.
Branch switchedBranch(const QString &shopId, const QJsonObject &reply);

QByteArray loginBody(const QString &username, const QString &password);
QByteArray switchShopBody(const QString &shopId);
// The retouchers of the branch.
QByteArray personsBody(const Branch &branch);

// What an order search looks by; each is a "searchtype" of the service.
enum class SearchBy {
    Keyword,
    ShotDate,
    SelectDate,
    ClosingDate,
};

struct OrderQuery
{
    // The words, or the date written "yyyy-MM-dd".
    QString keyword;
    // Unset: no "searchtype" at all.
    std::optional<SearchBy> searchBy = SearchBy::Keyword;
    // The retoucher the orders are limited to (empty: all). Unset: not sent,
    // as the import and design-split windows have no retoucher filter.
    std::optional<QString> role7id;
    // "ratio=90", sent by every window but the design-split one.
    bool ratio = true;
};

// "order_list" and "order_list_type_1".
QByteArray orderListBody(const OrderQuery &query, const Branch &branch);
// The photos and videos the order holds now.
QByteArray orderPhotosBody(const QString &orderPhotoId, const Branch &branch);

// One imported file, "savepicpath" or "savepicpathmv".
struct SavedFile
{
    QString orderPhotoId;
    // The account's EID.
    QString personId;
    qint64 size = 0;
    // The copy reported ("all" for a photo of the photo-transfer window);
    // the import window sends none.
    std::optional<QString> ratio;
    // The file as the service stores it (a share path).
    QString path;
    std::optional<QString> type;
    std::optional<QString> photoNames;
};
QByteArray savedFileBody(const SavedFile &file, const Branch &branch);

// The order's import folder, reported once its first file is in.
QByteArray orderFolderBody(const QString &orderPhotoId, const QString &personId, const QString &path,
                           const Branch &branch);

// The summary of an import run: how many files of the type, their names
// joined by "|:|" and the folder they are in.
QByteArray importLogBody(const QString &orderPhotoId, int count, const QString &folder, const QString &names,
                         const QString &type, const Branch &branch);

// Imported photos or videos of the order, by id.
QByteArray deleteImportedBody(const QString &orderPhotoId, const QStringList &ids, const Branch &branch);

// What the order's folders hold after an import: imageNames and rawNames
// are compact JSON arrays. Without rawNames the batch is of retouched
// photos ("type" 5), with them of originals and raw files ("type" 1).
QByteArray savedBatchBody(const QString &orderPhotoId, const QString &orderId, const QString &imageNames,
                          const std::optional<QString> &rawNames, const QString &localPath, const Branch &branch);

// The order's stored originals and raw files; the service echoes stamp, so
// an answer to an earlier request can be told apart.
QByteArray originalsBody(const QString &shopId, const QString &orderPhotoId, const QString &stamp);
QByteArray deleteOriginalsBody(const QString &shopId, const QString &orderPhotoId, const QStringList &ids,
                               const QString &stamp);

// Everything the design-split window needs of one order.
QByteArray orderDetailBody(const QString &orderPhotoId, const Branch &branch);
// The raw file with this id has been downloaded.
QByteArray downloadDoneBody(const QString &photoId, const Branch &branch);
// The shop's product-folder naming rule, a compact JSON array (empty text
// for none).
QByteArray namingRuleBody(const QString &ruleText, const Branch &branch);

// The whole file list of an order (picsJson), announced before anything of
// it is deleted.
QByteArray deleteAnnounceBody(const Branch &branch, const QString &orderPhotoId, const QByteArray &picsJson);
// One deleted file, confirmed. The service decodes path and name as URL
// components: every byte but letters, digits and "-._~" is percent-encoded.
QByteArray deleteConfirmBody(const Branch &branch, const QString &orderPhotoId, const QString &path,
                             const QString &name);

} // namespace OrderService
