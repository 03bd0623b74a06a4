#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include "base/orderservice.h"
#include "batchdelete/jobs/batchdeleterecords.h"

// The batch-delete window's records as the bodies of its service requests
// (OrderService builds them). Every value goes through the program's form
// encoder, so a name with "&", "+" or "%" reaches the service as it is on
// disk.
namespace BatchDeleteRequests {

// The branch values every order request carries; a run keeps its own copy.
using Branch = OrderService::Branch;

// searchType 0 searches by keyword, 1 by closing date.
QByteArray orderListBody(int searchType, const QString &keyword, const QDate &date, const QString &role7id,
                         const Branch &branch);
// The whole file list of an order, announced before anything is deleted.
QByteArray deleteBeforeBody(const Branch &branch, const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files);
// One deleted file, confirmed.
QByteArray deleteAfterBody(const Branch &branch, const QString &orderPhotoId, const BatchDeleteFileInfo &file);
// The "pics" value: a compact JSON array of {"picname", "picpath", "picshortpath"}.
QByteArray picsJson(const QList<BatchDeleteFileInfo> &files);

} // namespace BatchDeleteRequests

// Why an order's folder must not be emptied as a whole, or an empty text
// when it may: an empty or relative path, a drive, file-system or share root,
// the branch's common root, the account's home or the program's folder (or a
// folder holding one of them), a folder that is itself a link or lies below
// one (Confined::orderFolderRefusal).
QString orderFolderRefusal(const QString &netpath, const QString &commonRoot);

// The same for an order of a search, which also refuses a folder that holds
// the folder of another order of the search, or is that folder: a root the
// orders' folders share is not one order's files, whether or not the
// service names it as the branch's common root.
QString orderFolderRefusal(const BatchDeleteOrderInfo &order, const QList<BatchDeleteOrderInfo> &searched);
